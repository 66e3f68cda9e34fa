#ifdef _WIN32
#include "common/file.h"

#include <windows.h>

#include "common/win32/wide.h"

namespace {
HANDLE H(void* h) { return static_cast<HANDLE>(h); }
}

bool File::Open(const char* path, FileMode mode) {
  Close();
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case FileMode::Read: access = GENERIC_READ; break;
    case FileMode::Update: break;
    case FileMode::UpdateOrCreate: disposition = OPEN_ALWAYS; break;
    case FileMode::CreateAlways: share = 0; disposition = CREATE_ALWAYS; break;
  }
  // Paths are UTF-8: a file named in any script opens.
  const std::wstring widePath = Wide(path);
  HANDLE h = CreateFileW(widePath.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  failure_ = FileFailure::None;
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      failure_ = FileFailure::IsFolder;  // the system says "access denied" for a folder
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
      failure_ = FileFailure::NotFound;
    else if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      failure_ = FileFailure::InUse;
    else if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
      failure_ = FileFailure::AccessDenied;
    else
      failure_ = FileFailure::Other;
  }
  handle_ = h;
  return h != INVALID_HANDLE_VALUE;
}

bool File::IsOpen() const { return H(handle_) != INVALID_HANDLE_VALUE; }

void File::Close() {
  if (IsOpen()) CloseHandle(H(handle_));
  handle_ = INVALID_HANDLE_VALUE;
}

bool File::Read(void* data, uint32_t size, uint32_t* moved) {
  DWORD got = 0;
  BOOL ok = IsOpen() && ReadFile(H(handle_), data, size, &got, nullptr);
  *moved = ok ? got : 0;
  return ok;
}

bool File::Write(const void* data, uint32_t size, uint32_t* moved) {
  DWORD put = 0;
  BOOL ok = IsOpen() && WriteFile(H(handle_), data, size, &put, nullptr);
  *moved = ok ? put : 0;
  return ok;
}

bool File::SeekFromStart(uint32_t position) {
  LONG high = 0;
  DWORD r = SetFilePointer(H(handle_), static_cast<LONG>(position), &high, FILE_BEGIN);
  return !(r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool File::SeekRelative(int32_t delta) {
  DWORD r = SetFilePointer(H(handle_), delta, nullptr, FILE_CURRENT);
  return !(r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

uint32_t File::Position() {
  DWORD r = SetFilePointer(H(handle_), 0, nullptr, FILE_CURRENT);
  return r == INVALID_SET_FILE_POINTER ? 0 : r;
}

uint32_t File::Size() {
  DWORD r = GetFileSize(H(handle_), nullptr);
  return r == INVALID_FILE_SIZE ? 0 : r;
}

bool File::Truncate() { return IsOpen() && SetEndOfFile(H(handle_)) != 0; }

bool File::Flush() { return IsOpen() && FlushFileBuffers(H(handle_)) != 0; }
#endif
