#include "remote_memory.h"

namespace driver {

RemoteBuffer::RemoteBuffer(HWND window, size_t size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                             PROCESS_QUERY_INFORMATION,
                         FALSE, pid);
  if (!process_) return;
  base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t length) {
  SIZE_T moved = 0;
  return WriteProcessMemory(process_, At(offset), data, length, &moved) && moved == length;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t length) const {
  SIZE_T moved = 0;
  return ReadProcessMemory(process_, At(offset), data, length, &moved) && moved == length;
}

std::string RemoteBuffer::ReadText(const void* address, size_t limit) const {
  std::string text;
  char chunk[256];
  const char* from = static_cast<const char*>(address);
  while (text.size() < limit) {
    SIZE_T moved = 0;
    if (!ReadProcessMemory(process_, from + text.size(), chunk, sizeof chunk, &moved) || moved == 0)
      break;
    for (SIZE_T i = 0; i < moved && text.size() < limit; ++i) {
      if (chunk[i] == '\0') return text;
      text += chunk[i];
    }
  }
  return text;
}

std::string RemoteBuffer::ReadWideText(const void* address, size_t limit) const {
  std::wstring units;
  WCHAR chunk[128];
  const WCHAR* from = static_cast<const WCHAR*>(address);
  bool ended = false;
  while (!ended && units.size() < limit) {
    SIZE_T moved = 0;
    if (!ReadProcessMemory(process_, from + units.size(), chunk, sizeof chunk, &moved) || moved < sizeof(WCHAR))
      break;
    for (SIZE_T i = 0; i < moved / sizeof(WCHAR) && units.size() < limit; ++i) {
      if (chunk[i] == L'\0') {
        ended = true;
        break;
      }
      units += chunk[i];
    }
  }
  if (units.empty()) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, units.data(), int(units.size()), nullptr, 0, nullptr, nullptr);
  std::string text(size_t(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, units.data(), int(units.size()), &text[0], bytes, nullptr, nullptr);
  return text;
}

}  // namespace driver
