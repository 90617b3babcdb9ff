// Elevation on demand: whether this process is elevated, and running an
// elevated copy of this program for what the user's own process is refused.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// True when the process runs with an elevated (administrator) token.
bool ProcessIsElevated();

struct ElevatedCopy {
    bool started;        // the copy ran to its end
    std::uint32_t code;  // its exit code when started; otherwise why it did not start
                         // (kErrorCancelled when the user declined the prompt)
};

// Starts this program's own file again as an elevated process (the "runas"
// verb), with `parameters` as its command line after the program name, and
// waits for it to end. The consent prompt belongs to the prompt owner (below).
ElevatedCopy RunElevatedCopy(const std::u16string& parameters);

// Where Windows offers it (Windows 11, late Windows 10), refuses this process
// every link that a user who is not an administrator made: the elevated copy
// turns it on before it looks at any path. Elsewhere it does nothing.
void EnforceRedirectionTrust();

// The window the consent prompt belongs to, as an opaque handle (an HWND on
// Windows); null for none.
void SetPromptOwner(void* window);

}  // namespace platform
