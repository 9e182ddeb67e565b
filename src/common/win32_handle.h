#pragma once
// Owners for Win32 handles: one template, one alias per kind. Handles move, never copy.
// Windows builds only.

#include <windows.h>

#include <utility>

#include "common/errors.h"

namespace kvr {

template <class Handle, Handle Empty, class Closer> class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    Handle release() { return std::exchange(handle_, Empty); }
    void reset(Handle handle = Empty) {
        if (handle_ != Empty) Closer{}(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = Empty;
};

struct CloseHandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct RegKeyCloser {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
struct LibraryCloser {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct WindowCloser {
    void operator()(HWND h) const { DestroyWindow(h); }
};
struct ViewCloser {
    void operator()(void* view) const { UnmapViewOfFile(view); }
};
struct GdiObjectCloser {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};

// Events, mappings, mutexes, threads: empty is null. (Files use UniqueHandleNull after
// turning INVALID_HANDLE_VALUE into null.)
using UniqueHandleNull = UniqueHandle<HANDLE, nullptr, CloseHandleCloser>;
using UniqueRegKey = UniqueHandle<HKEY, nullptr, RegKeyCloser>;
using UniqueLibrary = UniqueHandle<HMODULE, nullptr, LibraryCloser>;
using UniqueWindow = UniqueHandle<HWND, nullptr, WindowCloser>;
using UniqueView = UniqueHandle<void*, nullptr, ViewCloser>;
using UniqueFont = UniqueHandle<HFONT, nullptr, GdiObjectCloser>;

// Throws EOSError naming the call and GetLastError's code.
[[noreturn]] inline void throw_last_error(const char* call) {
    throw EOSError(call, GetLastError());
}

} // namespace kvr
