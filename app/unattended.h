// Updating many PCs: the quiet start. Its exit code is the run's
// (app/outcome.h).
#pragma once

#include <cstdint>

#include "app/command_line.h"

namespace app {

// The program started with /quiet: one update run with no window, box or
// prompt, logged when asked, its exit code returned. ERROR_INVALID_PARAMETER,
// with nothing done, for a command line it does not know.
std::uint32_t RunQuietly(const Switches& switches);

}  // namespace app
