// The process of the native tests, which a test can kill at any instant.
#include "portable/process_portable.h"

#include "portable/file_system_portable.h"
#include "portable/message_box_portable.h"

namespace fake {
namespace {

struct Process {
    bool killed = false;
    std::uint32_t id = 4242;
    std::vector<std::uint32_t> pauses;
};

Process& P() {
    static Process process;
    return process;
}

}  // namespace

void KillProcess() {
    CloseEveryHandle();
    P().killed = true;
}

void StartProcess(std::uint32_t processId) {
    P().killed = false;
    P().id = processId;
    ResetMessages();
}

bool ProcessKilled() { return P().killed; }
std::uint32_t ProcessId() { return P().id; }
std::vector<std::uint32_t>& Pauses() { return P().pauses; }
void ResetProcess() { P() = Process{}; }

}  // namespace fake
