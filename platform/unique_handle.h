// One owner per kind of platform handle: move-only, closed on every path.
//
// Traits name the handle type, its invalid value and the close call:
//   struct Traits { using Type = ...; static Type Invalid(); static bool Close(Type); };
// Every Win32 close follows one rule (ClosedKeepingLastError in
// handles_win32.h): a successful close keeps the caller's last error, so a
// caller reports the call that failed rather than the cleanup; a failed
// close leaves its own.
#pragma once

#include <utility>

namespace platform {

template <class Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    bool valid() const { return handle_ != Traits::Invalid(); }
    Type get() const { return handle_; }

    // Gives up ownership without closing.
    Type release() { return std::exchange(handle_, Traits::Invalid()); }

    // Closes the owned handle (if any) and takes `handle`.
    void reset(Type handle = Traits::Invalid()) {
        Type old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

    // Closes now and says whether the close succeeded; the owner is empty afterwards.
    bool close() {
        Type old = release();
        return old == Traits::Invalid() || Traits::Close(old);
    }

private:
    Type handle_ = Traits::Invalid();
};

}  // namespace platform
