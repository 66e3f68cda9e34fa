// Owners of the handles a function or an object frees: each frees its handle when
// it goes out of scope. They move but never copy (a critical section neither).
#pragma once
#include <windows.h>
#include <objbase.h>

#include <utility>

// A handle and the call that frees it.
template <typename Handle, typename Free>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  ~Owned() { Reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Frees the handle held, if any, and holds `handle` instead.
  void Reset(Handle handle = nullptr) {
    if (handle_) Free()(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

struct FreeGdiObject {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct FreeDc {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct FreeKernelHandle {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};

using Font = Owned<HFONT, FreeGdiObject>;
using Brush = Owned<HBRUSH, FreeGdiObject>;
using Pen = Owned<HPEN, FreeGdiObject>;
using Bitmap = Owned<HBITMAP, FreeGdiObject>;
using Region = Owned<HRGN, FreeGdiObject>;
struct FreeLibraryModule {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

using KernelHandle = Owned<HANDLE, FreeKernelHandle>;
using Library = Owned<HMODULE, FreeLibraryModule>;

// A memory device context like `like` (the screen when null).
class MemoryDc : public Owned<HDC, FreeDc> {
 public:
  MemoryDc() = default;
  explicit MemoryDc(HDC like) : Owned(CreateCompatibleDC(like)) {}
};

// A window's device context, released to the window at the end.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A drawing object selected into a context until the end, then the one before it.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A critical section, made with its owner and deleted with it.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }
  // Waits on `variable` until `done()` holds or `timeoutMs` (INFINITE: no limit)
  // have passed, the section held on entry, while `done` is asked and on return.
  template <typename Done>
  void SleepUntil(CONDITION_VARIABLE& variable, DWORD timeoutMs, Done done) {
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; !done() && waited < timeoutMs; waited = GetTickCount() - start)
      SleepConditionVariableCS(&variable, &section_, timeoutMs == INFINITE ? INFINITE : timeoutMs - waited);
  }

 private:
  CRITICAL_SECTION section_;
};

// Holds a critical section from here to the end of the scope.
class Lock {
 public:
  explicit Lock(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~Lock() { section_.Leave(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& section_;
};

// One reference to a COM object, released at the end.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (object_) object_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  // Where CoCreateInstance and QueryInterface put the object.
  void** Out() { return reinterpret_cast<void**>(&object_); }
  Interface* operator->() const { return object_; }
  Interface* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  Interface* object_ = nullptr;
};

// COM on this thread (a single-threaded apartment) until the end of the scope;
// left again only when it was joined here.
class ComApartment {
 public:
  ComApartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool joined_;
};

// Movable global memory, locked for as long as it is held (the memory of wave
// buffers).
class LockedGlobalMemory {
 public:
  LockedGlobalMemory() = default;
  ~LockedGlobalMemory() { Reset(); }
  LockedGlobalMemory(const LockedGlobalMemory&) = delete;
  LockedGlobalMemory& operator=(const LockedGlobalMemory&) = delete;

  // Holds `size` new bytes instead of what was held; false, holding nothing, when
  // they cannot be had.
  bool Allocate(SIZE_T size) {
    Reset();
    memory_ = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size);
    data_ = memory_ ? static_cast<char*>(GlobalLock(memory_)) : nullptr;
    if (!data_) Reset();
    return data_ != nullptr;
  }
  char* data() const { return data_; }
  void Reset() {
    if (data_) GlobalUnlock(memory_);
    if (memory_) GlobalFree(memory_);
    memory_ = nullptr;
    data_ = nullptr;
  }

 private:
  HGLOBAL memory_ = nullptr;
  char* data_ = nullptr;
};
