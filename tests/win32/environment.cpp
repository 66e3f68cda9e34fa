// What every Windows test needs before its first window: the common controls
// registered and COM initialised on this (the user-interface) thread.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

namespace {
class Win32Environment : public testing::Environment {
 public:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                                ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    OleInitialize(nullptr);
  }
  void TearDown() override { OleUninitialize(); }
};

testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new Win32Environment);
}  // namespace
