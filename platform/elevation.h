// Elevation on demand: whether this process is elevated, and running an
// elevated copy of this program for what the user's own process is refused.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace platform {

// Whether the process runs with an elevated (administrator) token. A token
// that cannot be asked fails at `step` with the code of the query: not
// knowing is not "no".
Result<bool> ProcessIsElevated(Step step);

// Starts this program's own file again as an elevated process (the "runas"
// verb), with `parameters` as its command line after the program name, and
// waits for it to end: its exit code. Fails at `step` when the copy did not
// run to its end, with ERROR_CANCELLED when the user declined the consent
// prompt, which belongs to the prompt owner (below).
Result<std::uint32_t> RunElevatedCopy(const std::u16string& parameters, Step step);

// Where Windows offers it (Windows 11, late Windows 10), turns on redirection
// trust: this process no longer follows the junctions and mount points that
// users who are not administrators made. Other links are not covered. The
// elevated copy turns it on before it looks at any path. Elsewhere it does
// nothing.
void EnforceRedirectionTrust();

// The window the consent prompt belongs to, as an opaque handle (an HWND on
// Windows); null for none.
void SetPromptOwner(void* window);

}  // namespace platform
