#pragma once

#include <windows.h>

// Owns one OS handle. Traits names the kind: its type, how it is closed, and that both NULL and
// INVALID_HANDLE_VALUE mean "none" (Win32 uses either, depending on the call).
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
  ~ScopedHandle() { reset(); }

  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }

  bool valid() const { return IsValid(handle_); }
  explicit operator bool() const { return valid(); }
  Handle get() const { return handle_; }

  Handle release() {
    Handle handle = handle_;
    handle_ = Handle{};
    return handle;
  }

  // Closing keeps GetLastError: callers read it after the failure that made them give up.
  void reset(Handle handle = Handle{}) {
    if (handle == handle_) {
      return;
    }
    const DWORD error = GetLastError();
    if (IsValid(handle_)) {
      Traits::Close(handle_);
    }
    handle_ = handle;
    SetLastError(error);
  }

  static bool IsValid(Handle handle) {
    return handle != Handle{} && reinterpret_cast<HANDLE>(handle) != INVALID_HANDLE_VALUE;
  }

 private:
  Handle handle_{};
};

struct KernelObjectTraits {
  using Handle = HANDLE;
  static void Close(Handle handle) { CloseHandle(handle); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static void Close(Handle handle) { FreeLibrary(handle); }
};

struct WindowTraits {
  using Handle = HWND;
  static void Close(Handle handle) { DestroyWindow(handle); }
};

template <typename GdiHandle>
struct GdiObjectTraits {
  using Handle = GdiHandle;
  static void Close(Handle handle) { DeleteObject(handle); }
};

struct MemoryDcTraits {
  using Handle = HDC;
  static void Close(Handle handle) { DeleteDC(handle); }
};

using KernelObject = ScopedHandle<KernelObjectTraits>;
using ModuleHandle = ScopedHandle<ModuleTraits>;
using WindowHandle = ScopedHandle<WindowTraits>;
using BrushHandle = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using BitmapHandle = ScopedHandle<GdiObjectTraits<HBITMAP>>;
using MemoryDc = ScopedHandle<MemoryDcTraits>;
