// Test controls of the process the native tests run the program in: killed
// at any instant, and started again as another. Nothing here is part of the
// product.
#pragma once

#include <cstdint>
#include <vector>

namespace fake {

// Kills the running process: its open handles are closed at once, and
// nothing it does from then on reaches the files or the registry.
void KillProcess();
// Starts the next process after a kill, with id `processId` and no boxes yet.
void StartProcess(std::uint32_t processId);
bool ProcessKilled();
std::uint32_t ProcessId();             // 4242 until another process starts
std::vector<std::uint32_t>& Pauses();  // every pause asked for, in ms; none really waits
void ResetProcess();

}  // namespace fake
