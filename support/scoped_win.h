// Owners for Win32 handles that no record of the job holds: each gives its handle back
// with the one call that fits its kind, once, on every path out of its scope. They move
// but never copy. The job's own records still close explicitly (their Close may run
// twice); these keep the remaining paths honest.
#pragma once

#include <windows.h>

namespace qb {

// One handle of the kind that Traits describes: Traits::Handle, Traits::None() (the value
// that owns nothing) and Traits::Free(handle), which is called only for other values.
template <typename Traits>
class ScopedWin {
 public:
  using Handle = typename Traits::Handle;

  ScopedWin() = default;
  explicit ScopedWin(Handle handle) : handle_(handle) {}
  ~ScopedWin() { reset(); }
  ScopedWin(ScopedWin&& other) noexcept : handle_(other.release()) {}
  ScopedWin& operator=(ScopedWin&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedWin(const ScopedWin&) = delete;
  ScopedWin& operator=(const ScopedWin&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::None(); }
  // Frees the handle held so far and owns `handle` from now on.
  void reset(Handle handle = Traits::None()) {
    if (handle_ != Traits::None()) Traits::Free(handle_);
    handle_ = handle;
  }
  // Gives the handle up without freeing it.
  Handle release() {
    Handle handle = handle_;
    handle_ = Traits::None();
    return handle;
  }

 private:
  Handle handle_ = Traits::None();
};

// Kernel objects. Threads and events use null for "none"; a handle kept in a field whose
// "none" is INVALID_HANDLE_VALUE (files, the dialog's worker) uses the second kind.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static void Free(Handle handle) { CloseHandle(handle); }
};
struct KernelHandleOrInvalidTraits {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static void Free(Handle handle) {
    if (handle) CloseHandle(handle);
  }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle None() { return nullptr; }
  static void Free(Handle module) { FreeLibrary(module); }
};
// Icons and cursors that the program made or loaded with LoadImageA (shared system ones
// are never destroyed, so they are never put in these).
struct IconTraits {
  using Handle = HICON;
  static Handle None() { return nullptr; }
  static void Free(Handle icon) { DestroyIcon(icon); }
};
struct CursorTraits {
  using Handle = HCURSOR;
  static Handle None() { return nullptr; }
  static void Free(Handle cursor) { DestroyCursor(cursor); }
};
struct FontTraits {
  using Handle = HFONT;
  static Handle None() { return nullptr; }
  static void Free(Handle font) { DeleteObject(font); }
};
struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle None() { return nullptr; }
  static void Free(Handle key) { RegCloseKey(key); }
};

using ScopedHandle = ScopedWin<KernelHandleTraits>;
using ScopedHandleOrInvalid = ScopedWin<KernelHandleOrInvalidTraits>;
using ScopedModule = ScopedWin<ModuleTraits>;
using ScopedIcon = ScopedWin<IconTraits>;
using ScopedCursor = ScopedWin<CursorTraits>;
using ScopedFont = ScopedWin<FontTraits>;
using ScopedRegistryKey = ScopedWin<RegistryKeyTraits>;

// A window's device context (the screen's for a null window), released to that window.
class ScopedWindowDC {
 public:
  explicit ScopedWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedWindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedWindowDC(const ScopedWindowDC&) = delete;
  ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for the scope; the one it replaced goes back.
// A null object selects nothing.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace qb
