// The stand-in for platform/session_win32.cpp.
#include "portable/session_portable.h"

#include "platform/session.h"

namespace fake {
namespace {

struct Session {
    std::u16string user = u"me";
    bool localSystem = false;
    std::u16string timestamp = u"2026-01-02T03:04:05Z";
};

Session& S() {
    static Session session;
    return session;
}

}  // namespace

void SetUser(const std::u16string& name, bool localSystem) {
    S().user = name;
    S().localSystem = localSystem;
}
void ResetSession() { S() = Session{}; }

}  // namespace fake

namespace platform {

std::u16string UserName() { return fake::S().user; }
Result<bool> RunningAsLocalSystem(Step) { return fake::S().localSystem; }
std::u16string UtcTimestamp() { return fake::S().timestamp; }

}  // namespace platform
