// A block of memory inside another process, for the control messages whose pointers
// the system does not carry across processes (list-view items, status-bar texts).
#pragma once
#include <windows.h>

#include <string>

namespace driver {

class RemoteBuffer {
 public:
  // Opens the process that owns `window` and reserves `size` bytes in it.
  RemoteBuffer(HWND window, size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return base_ != nullptr; }
  // The address inside the other process of byte `offset`.
  void* At(size_t offset) const { return static_cast<char*>(base_) + offset; }
  bool Write(size_t offset, const void* data, size_t length);
  bool Read(size_t offset, void* data, size_t length) const;
  // Reads a zero-terminated text of at most `limit` bytes from any address of the process.
  std::string ReadText(const void* address, size_t limit) const;
  // The same for a UTF-16 text of at most `limit` units, given as UTF-8.
  std::string ReadWideText(const void* address, size_t limit) const;

 private:
  HANDLE process_ = nullptr;
  void* base_ = nullptr;
};

}  // namespace driver
