// The fault matrix's judge, fed what runs could have left behind: every case
// of every suite rests on its verdict, so each rule must fail the observation
// it is there for, for its own reason, and let the true outcomes pass.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"

namespace {

using matrix::Bytes;
using matrix::Observation;
using matrix::Outcome;

const std::string kCarried = EXPECTED_DATA_VERSION;
const Bytes kOld = {'<', 'o', 'l', 'd', '/', '>', '\r', '\n'};
const Bytes kPayload(64, 'P');

const std::u16string kNothingToUpdate = u"" EXPECTED_NOTHING_TO_UPDATE;
const std::u16string kAlreadyUpdated = u"" EXPECTED_ALREADY_UPDATED;
const std::u16string kInstalled = u"" EXPECTED_INSTALLED;
const std::u16string kFailed = u"" EXPECTED_FAILED;

// One program over the old data file and 7.0.7; each case says what it then saw.
Observation Seen(std::optional<Bytes> dataAfter, std::optional<std::string> versionAfter,
                 std::vector<std::u16string> messages) {
    Observation seen;
    seen.suite = "judge";
    seen.name = "case";
    seen.dataBefore = kOld;
    seen.versionBefore = "7.0.7";
    seen.dataAfter = std::move(dataAfter);
    seen.versionAfter = std::move(versionAfter);
    seen.messages = std::move(messages);
    return seen;
}

Observation Installed() { return Seen(kPayload, kCarried, {kInstalled}); }
Observation FailedUntouched() { return Seen(kOld, "7.0.7", {kFailed}); }

// A run log line as the program writes it, with the fields the judge reads.
std::string LogLine(const std::string& outcome, const std::string& exit, const std::string& step,
                    const std::string& error, const std::string& copy = "-") {
    return "2026-12-08T10:00:00Z\tUpDate 7.0.8\tuser=me\toutcome=" + outcome + "\texit=" + exit + "\tstep=" + step +
           "\terror=" + error + "\terror-text=-\tfile=C:\\App\\unit.xml\tVerTOL=7.0.7->7.0.7\ttolvar-window=closed" +
           "\televated-copy=" + copy;
}

// `seen` with the run's log line.
Observation Logged(Observation seen, const std::string& line) {
    seen.logLine = line;
    return seen;
}

// A failed run whose folder refused it what an elevated process may do, with
// the step's code the case fixed (0: none) and its log line.
Observation Refused(const std::string& line, std::uint32_t failedWith = 0) {
    Observation seen = Logged(FailedUntouched(), line);
    seen.elevationWouldHelp = true;
    if (failedWith) seen.failedWith = failedWith;
    return seen;
}

Bytes Join(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct JudgeCase {
    const char* name;
    std::function<Observation()> seen;
    bool passed;
    bool dataLost;
    const char* why;  // a part of the verdict's reason; empty for a pass
};

void PrintTo(const JudgeCase& c, std::ostream* out) { *out << c.name; }

class JudgeTest : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeTest, FailsWhatIsFalseAndPassesWhatIsTrue) {
    const JudgeCase& c = GetParam();
    const matrix::Verdict verdict = matrix::Judge(c.seen(), kPayload, kCarried);
    EXPECT_EQ(verdict.passed, c.passed) << verdict.why;
    EXPECT_EQ(verdict.dataLost, c.dataLost) << verdict.why;
    if (c.passed) EXPECT_EQ(verdict.why, "");
    else EXPECT_NE(verdict.why.find(c.why), std::string::npos) << verdict.why;
}

const JudgeCase kCases[] = {
    // The four true outcomes, and the shapes of cases that are true too.
    {"Installed", Installed, true, false, ""},
    {"NoUpdateNeeded",
     [] {
         Observation seen = Seen(std::nullopt, "7.0.7", {kNothingToUpdate});
         seen.dataBefore.reset();
         return seen;
     },
     true, false, ""},
    {"AlreadyUpdated",
     [] {
         Observation seen = Seen(kOld, kCarried, {kAlreadyUpdated});
         seen.versionBefore = kCarried;
         return seen;
     },
     true, false, ""},
    {"Failed", FailedUntouched, true, false, ""},
    // The version refused after the rename: nothing is rolled back.
    {"FailedWithThePayloadInPlaceAndTheVersionUnchanged", [] { return Seen(kPayload, "7.0.7", {kFailed}); }, true,
     false, ""},
    {"ExpectedOutcomeTold",
     [] {
         Observation seen = Installed();
         seen.expected = Outcome::Installed;
         return seen;
     },
     true, false, ""},
    // A case that names two true outcomes (a path Windows reads two ways).
    {"SecondExpectedOutcomeTold",
     [] {
         Observation seen = Seen(kOld, "7.0.7", {kNothingToUpdate});
         seen.expected = Outcome::Failed;
         seen.alsoExpected = Outcome::NoUpdateNeeded;
         return seen;
     },
     true, false, ""},
    // Two copies at once: one installs, the other finds it done.
    {"TwoProgramsOneInstallsTheOtherFindsItDone",
     [] {
         Observation seen = Seen(kPayload, kCarried, {kInstalled, kAlreadyUpdated});
         seen.programs = 2;
         return seen;
     },
     true, false, ""},
    {"KilledRunLeftTheOldFileAndNoBox",
     [] {
         Observation seen = Seen(kOld, "7.0.7", {});
         seen.programs = 0;
         return seen;
     },
     true, false, ""},

    // Data lost.
    {"DataFileGone", [] { return Seen(std::nullopt, "7.0.7", {kFailed}); }, false, true, "the data file is gone"},
    {"MixedBytes", [] { return Seen(Join(Bytes(32, 'P'), kOld), kCarried, {kInstalled}); }, false, true,
     "neither its old bytes nor the payload"},
    {"PayloadCutShort", [] { return Seen(Bytes(63, 'P'), "7.0.7", {kFailed}); }, false, true,
     "neither its old bytes nor the payload"},
    {"VersionAheadOfTheData", [] { return Seen(kOld, kCarried, {kFailed}); }, false, true,
     "VerTOL names " EXPECTED_DATA_VERSION " but the payload is not on disk"},
    {"InstalledToldOverTheOldDataWithTheVersionRecorded", [] { return Seen(kOld, kCarried, {kInstalled}); }, false,
     true, "VerTOL names"},
    {"VersionAheadAfterAKill",
     [] {
         Observation seen = Seen(kOld, kCarried, {});
         seen.programs = 0;
         return seen;
     },
     false, true, "VerTOL names"},

    // The user told something untrue, or not told exactly once.
    {"InstalledToldOverTheOldData", [] { return Seen(kOld, "7.0.7", {kInstalled}); }, false, false,
     "told installed, but the payload or its version is not in place"},
    {"InstalledToldWithoutTheVersion", [] { return Seen(kPayload, "7.0.7", {kInstalled}); }, false, false,
     "told installed, but"},
    {"FailedToldWithTheVersionRecorded", [] { return Seen(kPayload, kCarried, {kFailed}); }, false, false,
     "told failed, but VerTOL changed"},
    {"FailedToldWithTheVersionErased", [] { return Seen(kOld, std::nullopt, {kFailed}); }, false, false,
     "told failed, but VerTOL changed"},
    {"AlreadyUpdatedToldButTheDataChanged",
     [] {
         Observation seen = Seen(kPayload, kCarried, {kAlreadyUpdated});
         seen.versionBefore = kCarried;
         return seen;
     },
     false, false, "told already updated, but something changed"},
    {"NoUpdateNeededToldButTheVersionChanged", [] { return Seen(kOld, "7.0.6", {kNothingToUpdate}); }, false, false,
     "told no update needed, but something changed"},
    {"TwoBoxesFromOneRun",
     [] {
         return Seen(kPayload, kCarried, {kInstalled, kInstalled});
     },
     false, false, "2 boxes from 1 program(s)"},
    {"NoBoxFromOneRun", [] { return Seen(kOld, "7.0.7", {}); }, false, false, "0 boxes from 1 program(s)"},
    {"OneBoxFromTwoPrograms",
     [] {
         Observation seen = Installed();
         seen.programs = 2;
         return seen;
     },
     false, false, "1 boxes from 2 program(s)"},
    {"UnknownMessage", [] { return Seen(kOld, "7.0.7", {u"" EXPECTED_INSTALLED_PREFIX "7.0.7."}); }, false, false,
     "an unknown message"},
    {"UnexpectedOutcome",
     [] {
         Observation seen = FailedUntouched();
         seen.expected = Outcome::Installed;
         return seen;
     },
     false, false, "expected installed, told failed"},
    {"NeitherExpectedOutcome",
     [] {
         Observation seen = Installed();
         seen.expected = Outcome::Failed;
         seen.alsoExpected = Outcome::NoUpdateNeeded;
         return seen;
     },
     false, false, "expected failed, told installed"},

    // The run's log line: the outcome the box told, the exit code a deployment
    // tool gets for it, and for a failure its step and error.
    {"LoggedInstalled", [] { return Logged(Installed(), LogLine("installed", "0", "-", "0")); }, true, false, ""},
    {"LoggedNoUpdateNeeded",
     [] {
         Observation seen = Seen(std::nullopt, "7.0.7", {kNothingToUpdate});
         seen.dataBefore.reset();
         return Logged(seen, LogLine("no-update-needed", "1642", "-", "0"));
     },
     true, false, ""},
    {"LoggedFailureWithItsCode", [] { return Logged(FailedUntouched(), LogLine("failed", "5", "rename", "5")); }, true,
     false, ""},
    {"LoggedFailureAskingForElevation", [] { return Refused(LogLine("failed", "740", "create-temporary", "5"), 5); },
     true, false, ""},
    {"LoggedFailedElevatedCopyWithItsCode",
     [] { return Refused(LogLine("failed", "112", "elevate", "112", "112")); }, true, false, ""},
    {"LoggedElevationRequiredWhereElevationWouldNotHelp",
     [] { return Logged(FailedUntouched(), LogLine("failed", "740", "create-temporary", "5")); }, false, false,
     "exit code 740 for failed"},
    {"LoggedElevationRequiredAfterAnElevatedCopyFailed",
     [] { return Refused(LogLine("failed", "740", "elevate", "112", "112")); }, false, false, "exit code 740 for failed"},
    {"LoggedTheStepsCodeWhereElevationWouldHelp",
     [] { return Refused(LogLine("failed", "5", "create-temporary", "5")); }, false, false, "exit code 5 for failed"},
    {"LoggedTheExitCodeAsTheError", [] { return Refused(LogLine("failed", "740", "create-temporary", "740"), 5); },
     false, false, "error=740, but the step failed with 5"},
    {"LoggedAnotherCodeThanTheStepFailedWith",
     [] {
         Observation seen = Logged(FailedUntouched(), LogLine("failed", "1603", "write", "1603"));
         seen.failedWith = 112;
         return seen;
     },
     false, false, "error=1603, but the step failed with 112"},
    {"LoggedFailedElevatedCopyWithAnotherCode",
     [] { return Refused(LogLine("failed", "1603", "elevate", "1603", "112")); }, false, false,
     "but the elevated copy exited with 112"},
    {"LogTellsAnotherOutcome", [] { return Logged(Installed(), LogLine("failed", "0", "-", "0")); }, false, false,
     "the log says failed"},
    {"LoggedFailureExitingZero", [] { return Logged(FailedUntouched(), LogLine("failed", "0", "rename", "5")); }, false,
     false, "exit code 0 for failed"},
    {"LoggedSuccessExitingWithACode", [] { return Logged(Installed(), LogLine("installed", "5", "-", "0")); }, false,
     false, "exit code 5 for installed"},
    {"LoggedFailureWithoutItsStep", [] { return Logged(FailedUntouched(), LogLine("failed", "1603", "-", "1603")); },
     false, false, "a failure logged without its step or error"},
    {"LoggedSuccessWithAStep", [] { return Logged(Installed(), LogLine("installed", "0", "rename", "0")); }, false,
     false, "a step logged for a run that did not fail"},
    {"LogLineLackingAField",
     [] { return Logged(Installed(), "2026-12-08T10:00:00Z\tUpDate 7.0.8\toutcome=installed"); }, false, false,
     "the log line lacks a field"},

    // Something left beside the data file.
    {"LeftoverBesideTheDataFile",
     [] {
         Observation seen = Installed();
         seen.newFiles = {"unit.xml.4242-1.new"};
         return seen;
     },
     false, false, "left unit.xml.4242-1.new"},
};

INSTANTIATE_TEST_SUITE_P(Observations, JudgeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
