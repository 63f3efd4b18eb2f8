// Non-copyable owners of Win32 handles.
#pragma once

#include <windows.h>

#include <utility>

namespace win32 {

template <typename Handle, typename Closer>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Closer::IsValid(handle_); }
    Handle release() { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{}) {
        if (Closer::IsValid(handle_)) Closer::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_{};
};

struct KernelHandleCloser {
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct MenuCloser {
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }
};
struct IconCloser {
    static bool IsValid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleCloser>;
using UniqueMenu = UniqueHandle<HMENU, MenuCloser>;
using UniqueIcon = UniqueHandle<HICON, IconCloser>;

}  // namespace win32
