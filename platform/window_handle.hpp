#pragma once
// An opaque window identity as the platform layer hands it out: a number,
// not a pointer, so that it can be stored and passed between threads
// safely. Only the platform layer turns it back into a window, on the
// user-interface thread, and a window that has gone resolves to none. The
// default handle (also made from nullptr) is "no window".

#include <cstddef>
#include <cstdint>

class WindowHandle {
public:
    constexpr WindowHandle() = default;
    constexpr WindowHandle(std::nullptr_t) {}
    constexpr explicit WindowHandle(std::uint64_t id) : id_(id) {}

    constexpr std::uint64_t Id() const { return id_; }
    constexpr explicit operator bool() const { return id_ != 0; }
    friend constexpr bool operator==(WindowHandle, WindowHandle) = default;

private:
    std::uint64_t id_ = 0;
};
