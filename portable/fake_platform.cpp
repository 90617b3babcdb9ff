// The portable stand-ins for message boxes, window lookup, the process,
// elevation and the known folders.
#include "portable/fake_platform.h"

#include <utility>

#include "platform/decimal.h"
#include "platform/elevation.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/system_error.h"
#include "platform/window_lookup.h"

namespace fake {
void ResetRegistry();  // registry_api_portable.cpp

namespace {

struct State {
    std::vector<Message> messages;
    std::vector<std::u16string> lookups;
    bool windowExists = false;
    std::vector<std::uint32_t> pauses;
    bool killed = false;
    std::uint32_t processId = 4242;
    bool elevated = false;
    bool redirectionTrust = false;
    Consent consent = Consent::Declined;
    std::function<std::uint32_t(const std::u16string&)> copy;
    std::vector<std::u16string> elevationRequests;
    std::vector<std::u16string> virtualized{u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Windows",
                                            u"C:\\ProgramData"};
    std::u16string localAppData = u"C:\\Users\\me\\AppData\\Local";
};

State& S() {
    static State state;
    return state;
}

}  // namespace

std::vector<Message>& Messages() { return S().messages; }
std::vector<std::u16string>& WindowLookups() { return S().lookups; }
void SetWindowExists(bool exists) { S().windowExists = exists; }
std::vector<std::uint32_t>& Pauses() { return S().pauses; }

void KillProcess() {
    CloseEveryHandle();
    S().killed = true;
}

void StartProcess(std::uint32_t processId) {
    S().killed = false;
    S().processId = processId;
    S().messages.clear();
    S().lookups.clear();
}

bool ProcessKilled() { return S().killed; }
std::uint32_t ProcessId() { return S().processId; }

void SetElevated(bool elevated) { S().elevated = elevated; }
void AnswerPrompts(Consent consent) { S().consent = consent; }
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string&)> copy) { S().copy = std::move(copy); }
std::vector<std::u16string>& ElevationRequests() { return S().elevationRequests; }
bool RedirectionTrustEnforced() { return S().redirectionTrust; }
void SetKnownFolders(std::vector<std::u16string> virtualized, std::u16string localAppData) {
    S().virtualized = std::move(virtualized);
    S().localAppData = std::move(localAppData);
}

void Reset() {
    S() = State{};
    ResetFiles();
    ResetSession();
    ResetRegistry();
}

}  // namespace fake

namespace platform {
using fake::S;

void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon) {
    S().messages.push_back({text, title, icon});
}

bool TopLevelWindowExists(const std::u16string& title) {
    S().lookups.push_back(title);
    return S().windowExists;
}

bool ProcessIsElevated() { return S().elevated; }

ElevatedCopy RunElevatedCopy(const std::u16string& parameters) {
    S().elevationRequests.push_back(parameters);
    switch (S().consent) {
        case fake::Consent::Declined: return {false, kErrorCancelled};
        case fake::Consent::CannotStart: return {false, kErrorFileNotFound};
        case fake::Consent::Granted: break;
    }
    if (!S().copy) return {false, kErrorFileNotFound};
    const bool wasElevated = std::exchange(S().elevated, true);
    const bool hadTrust = std::exchange(S().redirectionTrust, false);
    const std::uint32_t code = S().copy(u"\"" + std::u16string(fake::kOwnPath) + u"\" " + parameters);
    S().elevated = wasElevated;
    S().redirectionTrust = hadTrust;
    return {true, code};
}

void SetPromptOwner(void*) {}

void EnforceRedirectionTrust() { S().redirectionTrust = true; }

std::vector<std::u16string> VirtualizedFolders() { return S().virtualized; }
std::u16string LocalAppDataFolder() { return S().localAppData; }

std::uint32_t LastSystemError() { return kErrorGenFailure; }

std::u16string SystemErrorText(std::uint32_t error) { return u"系统错误 " + Decimal(error); }

}  // namespace platform
