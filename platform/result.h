// What failed and why: the one shape in which every step reports a failure,
// from the call that failed to the message box, the exit code and the log.
//
// The product is built without C++ exceptions (they would triple the size of
// the exe), so an error that a routine raises travels back as a Result and
// the update run's single trap turns it into the failure message.
#pragma once

#include <cstdint>
#include <utility>

namespace platform {

// The step a failure comes from. The platform names the steps of a file
// replace; each layer above names its own steps in a range of its own
// (kRegistrySteps, kResourceSteps, kRunSteps), and a platform call that
// serves some other step fails at the step its caller gives it.
enum class Step : std::uint8_t {
    FindDataFile,     // opening the file's folder, examining the file
    CreateTemporary,  // the new file beside it
    Write,            // its bytes
    Flush,            // pushing them to the disk
    CopyAttributes,   // the file's attributes, creation time and DACL, read and given to the new file
    Rename,           // the new file over the old
    Verify,           // the file read back after the rename
};
inline constexpr std::uint8_t kRegistrySteps = 0x10;  // registry/
inline constexpr std::uint8_t kResourceSteps = 0x20;  // resources/
inline constexpr std::uint8_t kRunSteps = 0x30;       // app/

// ERROR_INSTALL_FAILURE: the code of a failure that no system code names.
inline constexpr std::uint32_t kErrorInstallFailure = 1603;

class Error {
public:
    // `code` is the Windows error code of the failure; 0, which would read as
    // success wherever the code travels on, becomes ERROR_INSTALL_FAILURE.
    constexpr Error(Step step, std::uint32_t code) : step_(step), code_(code != 0 ? code : kErrorInstallFailure) {}

    constexpr Step step() const { return step_; }
    constexpr std::uint32_t code() const { return code_; }
    constexpr bool operator==(const Error& other) const { return step_ == other.step_ && code_ == other.code_; }

private:
    Step step_;
    std::uint32_t code_;
};

// A value, or the error that stopped a step from making it. The error is
// kept as its two parts, a code of 0 meaning none (an Error never has 0), so
// that a Result of a small value, a Status above all, is 8 bytes and comes
// back in registers.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T&& value) : value_(std::move(value)) {}  // NOLINT: implicit by design
    Result(const T& value) : value_(value) {}        // NOLINT: implicit by design
    Result(Error error) : step_(error.step()), code_(error.code()) {}  // NOLINT: implicit by design
    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    // Of a Result that holds a value: {FindDataFile, ERROR_INSTALL_FAILURE}.
    Error error() const { return Error(step_, code_); }
    const T& value() const& { return value_; }
    T&& value() && { return std::move(value_); }

private:
    T value_{};
    Step step_ = Step::FindDataFile;
    std::uint32_t code_ = 0;
};

// A step that makes nothing but may fail.
struct Done {};
using Status = Result<Done>;
inline Status Ok() { return Done{}; }

}  // namespace platform
