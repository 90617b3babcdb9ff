// The stand-in for platform/elevation_win32.cpp: a prompt answered as the
// test says, and a granted copy run in this process, elevated.
#include "portable/elevation_portable.h"

#include <utility>

#include "platform/elevation.h"
#include "platform/system_error.h"

namespace fake {
namespace {

struct Elevation {
    bool elevated = false;
    std::uint32_t queryFailure = 0;
    bool redirectionTrust = false;
    Consent consent = Consent::Declined;
    std::function<std::uint32_t(const std::u16string&)> copy;
    std::vector<std::u16string> requests;
};

Elevation& E() {
    static Elevation elevation;
    return elevation;
}

}  // namespace

void SetElevated(bool elevated) { E().elevated = elevated; }
bool Elevated() { return E().elevated; }
void FailElevationQuery(std::uint32_t error) { E().queryFailure = error; }
void AnswerPrompts(Consent consent) { E().consent = consent; }
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string&)> copy) { E().copy = std::move(copy); }
std::vector<std::u16string>& ElevationRequests() { return E().requests; }
bool RedirectionTrustEnforced() { return E().redirectionTrust; }
void ResetElevation() { E() = Elevation{}; }

}  // namespace fake

namespace platform {

Result<bool> ProcessIsElevated(Step step) {
    if (const std::uint32_t error = std::exchange(fake::E().queryFailure, 0)) return Error(step, error);
    return fake::E().elevated;
}

Result<std::uint32_t> RunElevatedCopy(const std::u16string& parameters, Step step) {
    fake::Elevation& e = fake::E();
    e.requests.push_back(parameters);
    switch (e.consent) {
        case fake::Consent::Declined: return Error(step, kErrorCancelled);
        case fake::Consent::CannotStart: return Error(step, kErrorFileNotFound);
        case fake::Consent::Granted: break;
    }
    if (!e.copy) return Error(step, kErrorFileNotFound);
    const bool wasElevated = std::exchange(e.elevated, true);
    const bool hadTrust = std::exchange(e.redirectionTrust, false);
    const std::uint32_t code = e.copy(u"\"" + std::u16string(fake::kOwnPath) + u"\" " + parameters);
    e.elevated = wasElevated;
    e.redirectionTrust = hadTrust;
    return code;
}

void SetPromptOwner(void*) {}

void EnforceRedirectionTrust() { fake::E().redirectionTrust = true; }

}  // namespace platform
