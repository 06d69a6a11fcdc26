#pragma once

#include <windows.h>

#include <utility>

// Owns a kernel handle (thread, event...) and closes it once.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(HANDLE handle = nullptr) {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

// Owns a menu loaded from the resources and destroys it once.
class UniqueMenu {
  public:
    UniqueMenu() = default;
    explicit UniqueMenu(HMENU menu) : menu_(menu) {}
    UniqueMenu(UniqueMenu&& other) noexcept : menu_(std::exchange(other.menu_, nullptr)) {}
    UniqueMenu& operator=(UniqueMenu&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.menu_, nullptr));
        }
        return *this;
    }
    UniqueMenu(const UniqueMenu&) = delete;
    UniqueMenu& operator=(const UniqueMenu&) = delete;
    ~UniqueMenu() { reset(); }

    HMENU get() const { return menu_; }
    void reset(HMENU menu = nullptr) {
        if (menu_ != nullptr) {
            DestroyMenu(menu_);
        }
        menu_ = menu;
    }

  private:
    HMENU menu_ = nullptr;
};

// A window's device context, released on destruction.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint.
class PaintScope {
  public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }
    HDC dc() const { return dc_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};
