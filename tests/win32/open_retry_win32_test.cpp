// The retry rule against a real sharing violation: another handle holds the file
// without sharing it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "common/open_retry.h"

namespace {
std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

HANDLE HoldExclusively(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

TEST(OpenWithRetryWin32, GivesUpAfterAboutOneSecondOnALockedFile) {
  std::string path = TempPath("lirva-locked.mp3");
  HANDLE held = HoldExclusively(path);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  File f;
  DWORD start = GetTickCount();
  EXPECT_FALSE(OpenWithRetry(f, path.c_str(), FileMode::Update, kTagFileOpenBudgetMs));
  DWORD took = GetTickCount() - start;
  EXPECT_TRUE(f.LastFailureWasSharingViolation());
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 4000u);
  CloseHandle(held);
  DeleteFileA(path.c_str());
}

TEST(OpenWithRetryWin32, OpensOnceTheOtherProgramLetsGo) {
  std::string path = TempPath("lirva-briefly-locked.mp3");
  HANDLE held = HoldExclusively(path);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(150);
    CloseHandle(held);
  });
  File f;
  EXPECT_TRUE(OpenWithRetry(f, path.c_str(), FileMode::Read, kTagFileOpenBudgetMs));
  release.join();
  f.Close();
  DeleteFileA(path.c_str());
}

TEST(OpenWithRetryWin32, MissingFileFailsAtOnceAndIsNotCreated) {
  std::string path = TempPath("lirva-missing.mp3");
  DeleteFileA(path.c_str());
  File f;
  DWORD start = GetTickCount();
  EXPECT_FALSE(OpenWithRetry(f, path.c_str(), FileMode::Update, kTagFileOpenBudgetMs));
  EXPECT_LT(GetTickCount() - start, 500u);
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
