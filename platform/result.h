// A value or the error that a step raised.
//
// The product is built without C++ exceptions (they would triple the size of
// the exe), so an error that a routine "raises" travels back as a Result and
// the update run's single trap turns it into the failure message.
#pragma once

#include <utility>

namespace platform {

enum class Raised {
    InvalidArgument,   // a registry value that is empty after trimming
    ResourceNotFound,  // a string or data resource the program does not carry
    BadPath,           // a path the file system rejects as malformed
    FileSystem,        // any other file-system failure that is not "no such file"
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)), ok_(true) {}  // NOLINT: implicit by design
    Result(Raised error) : error_(error), ok_(false) {}       // NOLINT: implicit by design

    bool ok() const { return ok_; }
    Raised error() const { return error_; }
    const T& value() const& { return value_; }
    T&& value() && { return std::move(value_); }

private:
    T value_{};
    Raised error_ = Raised::InvalidArgument;
    bool ok_;
};

}  // namespace platform
