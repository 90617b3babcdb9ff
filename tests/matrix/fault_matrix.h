// The fault matrix: what a run left behind, judged by one set of rules
// wherever the fault was made (the native build's injected faults, Wine's
// real registry and files, two programs at once through the window).
//
// A case passes when the user was told the truth and the data is whole:
// - each program showed exactly one of the four messages;
// - the data file is byte for byte what it was, or the payload; anything
//   else (a mix, a half-written file, a file gone) is data lost;
// - "VerTOL" never names the carried version unless the payload is on disk
//   (a version recorded over old data is data lost too);
// - "成功更新至版本…" only with the payload on disk and the version recorded;
//   "该版本无需更新." and "已经更新，无需重复更新." only when nothing changed;
//   "更新失败." only with "VerTOL" unchanged;
// - the run's log line, where the case has one, tells the same outcome, the
//   exit code a deployment tool would get for it (0, 1642, the failing step's
//   code, or 740 exactly where elevation would have helped and no elevated
//   copy ran), and for a failure the step and its own code: the code the case
//   made it fail with, where it fixes one, and a failed elevated copy's exit
//   code when that is what failed;
// - no file is left beside the data file that was not there before;
// - and, where the case fixes it, the outcome is the one expected.
// Every case is also written as one row of a tab-separated log (the file
// named by UPDATE_FAULT_MATRIX_LOG, when set) for scripts/fault-summary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace matrix {

using Bytes = std::vector<unsigned char>;

enum class Outcome { NoUpdateNeeded, AlreadyUpdated, Installed, Failed };

// The outcome a message tells, or nothing for a text that is none of the four.
std::optional<Outcome> OutcomeOf(const std::u16string& message, const std::string& carriedVersion);
const char* Name(Outcome outcome);

struct Observation {
    std::string suite;  // "native", "wine", "e2e"
    std::string name;
    std::optional<Bytes> dataBefore;  // the data file as the case left it before the run
    std::optional<Bytes> dataAfter;
    std::optional<std::string> versionBefore;  // "VerTOL" as text, nothing when absent
    std::optional<std::string> versionAfter;
    std::vector<std::u16string> messages;  // every box shown, by every program of the case
    std::size_t programs = 1;              // how many programs ran the update
    std::vector<std::string> newFiles;     // files beside the data file that were not there before
    std::optional<Outcome> expected;       // when the case fixes the outcome
    std::optional<Outcome> alsoExpected;   // a second outcome as true, where the case says why
    std::optional<std::string> logLine;    // the run's line in its /log file, when it kept one
    bool elevationWouldHelp = false;       // the case refuses this process what an elevated one may do
    std::optional<std::uint32_t> failedWith;  // the Windows code the case makes the failing step fail with
};

struct Verdict {
    bool passed;
    bool dataLost;
    std::string why;  // empty when passed
};

// `payload` is what an install writes; `carriedVersion` what it records.
Verdict Judge(const Observation& seen, const Bytes& payload, const std::string& carriedVersion);

// Judges, writes the case's log row, and returns the verdict for the test to assert.
Verdict Record(const Observation& seen, const Bytes& payload, const std::string& carriedVersion);

// A case the machine cannot make, with the reason; counted as skipped.
void RecordSkipped(const std::string& suite, const std::string& name, const std::string& reason);

// What a kill storm saw: installs started and killed at a random moment, and
// what each kill left.
struct StormTally {
    std::size_t killed = 0;            // installs ended by the kill
    std::size_t finished = 0;          // installs that ended before the kill came
    std::size_t missing = 0;           // no data file under its name afterwards
    std::size_t notOrdinary = 0;       // a folder, a link or the like under its name
    std::size_t mixed = 0;             // a data file that is neither the old one nor the payload
    std::size_t versionAhead = 0;      // "VerTOL" names the carried version over other data
    std::size_t old = 0, payload = 0;  // the whole files seen after kills
    std::size_t leftovers = 0;         // files a killed install left beside the data file
};

// Writes the storm's row ("storm", its name, pass or FAIL, its figures, why);
// scripts/fault-summary prints it apart from the cases.
void RecordStorm(const std::string& name, const StormTally& tally, bool passed, const std::string& why);

std::string Sha256(const Bytes& bytes);  // lower-case hex

// The whole lines of a run log's text, each ended by CR LF (an unfinished
// last line is left out), and the last of them: the line of the run that
// ended last, nothing unless the text ends a line.
std::vector<std::string> WholeLines(const std::string& text);
std::optional<std::string> LastWholeLine(const std::string& text);
// The value of `name=` in a tab-separated log line; nothing when absent.
std::optional<std::string> LogField(const std::string& line, const std::string& name);

}  // namespace matrix
