// One move-only owner for every kind of Win32 handle. Each kind names its empty value and its close
// function in a traits struct; the owner closes the handle exactly once and is never copied.
#pragma once
#include <windows.h>

#include <wininet.h>

#include <utility>

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : h_(h) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& o) noexcept : h_(o.release()) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  Handle get() const { return h_; }
  bool valid() const { return h_ != Traits::Empty(); }
  explicit operator bool() const { return valid(); }
  Handle release() { return std::exchange(h_, Traits::Empty()); }
  // Closes the held handle; returns the close function's verdict (true when nothing was held).
  bool reset(Handle h = Traits::Empty()) {
    bool ok = true;
    if (h_ != Traits::Empty()) ok = Traits::Close(h_);
    h_ = h;
    return ok;
  }

 private:
  Handle h_ = Traits::Empty();
};

// CreateFile reports failure with INVALID_HANDLE_VALUE, everything else with NULL.
struct FileTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return CloseHandle(h) != 0; }
};
// FindFirstFile reports failure with INVALID_HANDLE_VALUE too, but its handle is closed with FindClose.
struct FindTraits {
  using Handle = HANDLE;
  static Handle Empty() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return FindClose(h) != 0; }
};
struct KernelTraits {
  using Handle = HANDLE;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return CloseHandle(h) != 0; }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct InternetTraits {
  using Handle = HINTERNET;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return InternetCloseHandle(h) != 0; }
};
struct GdiTraits {
  using Handle = HGDIOBJ;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return DeleteObject(h) != 0; }
};
struct MemDcTraits {
  using Handle = HDC;
  static Handle Empty() { return nullptr; }
  static bool Close(Handle h) { return DeleteDC(h) != 0; }
};

using ScopedFile = ScopedHandle<FileTraits>;
using ScopedFind = ScopedHandle<FindTraits>;
using ScopedKernelHandle = ScopedHandle<KernelTraits>;  // threads, processes, events
using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedInternet = ScopedHandle<InternetTraits>;
using ScopedGdiObject = ScopedHandle<GdiTraits>;
using ScopedMemDc = ScopedHandle<MemDcTraits>;

// A window's device context, released with ReleaseDC.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
  ~ScopedWindowDc() {
    if (dc_) ReleaseDC(w_, dc_);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

// Selects an object into a device context for one scope and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), prev_(SelectObject(dc, obj)) {}
  ~ScopedSelect() {
    if (prev_) SelectObject(dc_, prev_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ prev_;
};
