// Win32-only: what the program does first, before any window exists.
#pragma once

namespace app {

// Keeps the program from loading DLLs from its own folder (a Downloads folder
// may hold planted ones) and from showing the system's critical-error boxes.
void HardenProcess();

}  // namespace app
