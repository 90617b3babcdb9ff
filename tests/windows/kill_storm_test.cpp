// The kill storm: the install is started over a prepared installation again
// and again and killed (TerminateProcess) at a random instant within it.
// After every kill the data file must be there under its name, an ordinary
// file, byte for byte the old file or the payload, and "VerTOL" may name the
// carried version only with the payload on disk. What a killed install left
// beside the data file is counted and removed. The same storm, run against
// replaces that are unsafe in one known way each (kill_storm_child.cpp), must
// catch each on its own counter, or that counter could not move.
#include <algorithm>
#include <cstdio>
#include <random>

#include "tests/matrix/fault_matrix.h"
#include "win_test_support.h"
#include "tests/matrix/expected.h"

namespace {

using namespace wintest;

const Bytes kOld = BytesOf("<?xml version=\"1.0\" encoding=\"gb2312\"?><aboutunits version=\"7.0.7\"/>\r\n");
const Bytes kCarriedVersion =
    BytesOf(std::string(EXPECTED_DATA_VERSION, sizeof EXPECTED_DATA_VERSION));  // with its terminator
constexpr std::size_t kKills = 300;
// A control pauses in its unsafe stretch for most of its install, and three
// quarters or more of its kills land there; even where only one in four did,
// 50 kills would all miss it once in two million storms.
constexpr std::size_t kControlKills = 50;
constexpr DWORD kWaitMs = 60000;

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Spins rather than sleeps: Sleep's granularity is a millisecond or more,
// about the length of a whole install.
void SpinFor(double seconds) {
    const double until = Seconds() + seconds;
    while (Seconds() < until) {
    }
}

class Event {
public:
    explicit Event(const std::wstring& name) : name_(name), handle_(CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { CloseHandle(handle_); }
    const std::wstring& name() const { return name_; }
    HANDLE get() const { return handle_; }

private:
    std::wstring name_;
    HANDLE handle_;
};

// One install in a child process (kill_storm_child.exe), started and waited
// for until it is about to begin.
class Install : public ChildProcess {
public:
    // `control` names the control's replace; empty for the program's own.
    Install(const std::wstring& control, const Event& ready, const Event& done)
        : ChildProcess(L"kill_storm_child.exe", Arguments(control, ready, done), Reset(ready, done)) {}

private:
    static std::wstring Arguments(const std::wstring& control, const Event& ready, const Event& done) {
        return L"\"" + ScratchRegistryKey() + L"\" " + ready.name() + L" " + done.name() +
               (control.empty() ? L"" : L" --control=" + control);
    }
    static HANDLE Reset(const Event& ready, const Event& done) {
        ResetEvent(ready.get());
        ResetEvent(done.get());
        return ready.get();
    }
};

class KillStormTest : public QdKeyTest {
protected:
    // The installation before each install: the old data file and 7.0.7.
    void Prepare() {
        WriteFileBytes(data_, kOld);
        SetString("PathTOL", std::string(folder_.path().begin(), folder_.path().end()));
        SetString("VerTOL", "7.0.7");
    }

    // How long an install takes from its start to its end, the median of a
    // few whole ones; each must have installed.
    double InstallSeconds(const std::wstring& control) {
        std::vector<double> times;
        for (int run = 0; run < 5; ++run) {
            Prepare();
            Install install(control, ready_, done_);
            EXPECT_TRUE(install.ready()) << "the install did not start";
            const double started = Seconds();
            EXPECT_EQ(WaitForSingleObject(done_.get(), kWaitMs), WAIT_OBJECT_0);
            times.push_back(Seconds() - started);
            EXPECT_EQ(install.ExitCode(), 0u) << "an install that was not killed did not install";
            Bytes after;
            EXPECT_TRUE(ReadFileBytes(data_, after) && after == payload_);
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    }

    // What a killed install left: the data file, the version, leftovers.
    void Inspect(matrix::StormTally& tally) {
        const DWORD attributes = GetFileAttributesW(data_.c_str());
        constexpr DWORD kNotOrdinary =
            FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        Bytes bytes;
        bool payloadOnDisk = false;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            ++tally.missing;
        } else if (attributes & kNotOrdinary) {
            ++tally.notOrdinary;
        } else if (!ReadFileBytes(data_, bytes) || (bytes != kOld && bytes != payload_)) {
            ++tally.mixed;
        } else {
            payloadOnDisk = bytes == payload_;
            ++(payloadOnDisk ? tally.payload : tally.old);
        }
        Bytes version;
        if (ReadValueA("VerTOL", version) && version == kCarriedVersion && !payloadOnDisk) ++tally.versionAhead;
        for (const std::wstring& name : folder_.Names()) {
            if (name == L"unit.xml") continue;
            ++tally.leftovers;
            SetFileAttributesW((folder_ / name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((folder_ / name).c_str());
        }
    }

    // Installs and kills until `kills` installs were killed, each at an
    // instant drawn evenly over the measured length of an install.
    matrix::StormTally Storm(const std::wstring& control, std::size_t kills, const char* label) {
        const double window = 1.2 * InstallSeconds(control);
        const unsigned seed = static_cast<unsigned>(Seconds() * 1e6);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> delay(0.0, window);
        matrix::StormTally tally;
        // Rarely (once in thousands of starts, seen under Wine) a child ends
        // before it signals that its install begins. Such a start touched
        // nothing and proves nothing, so it is tried again, a few times at most.
        constexpr int kFailedStartsAllowed = 3;
        int failedStarts = 0;
        for (std::size_t tries = 0; tally.killed < kills && tries < 3 * kills; ++tries) {
            Prepare();
            {
                Install install(control, ready_, done_);
                if (!install.ready()) {
                    std::printf("  an install did not start (exit code 0x%lx)\n",
                                static_cast<unsigned long>(install.ExitCode()));
                    if (++failedStarts <= kFailedStartsAllowed) continue;
                    ADD_FAILURE() << "installs did not start " << failedStarts << " times";
                    break;
                }
                SpinFor(delay(random));
                ++(install.Kill() ? tally.killed : tally.finished);
            }
            Inspect(tally);
        }
        std::printf(
            "%s: install %.2f ms, kills drawn over %.2f ms (seed %u): %zu killed, %zu ended first; "
            "old %zu, payload %zu, missing %zu, not ordinary %zu, mixed %zu, version ahead %zu, "
            "leftovers %zu\n",
            label, window / 1.2 * 1e3, window * 1e3, seed, tally.killed, tally.finished, tally.old, tally.payload,
            tally.missing, tally.notOrdinary, tally.mixed, tally.versionAhead, tally.leftovers);
        return tally;
    }

    ScratchFolder folder_;
    const std::wstring data_ = folder_ / L"unit.xml";
    const Bytes payload_ = Payload();
    Event ready_{L"Local\\UpDate.storm.ready." + std::to_wstring(GetCurrentProcessId())};
    Event done_{L"Local\\UpDate.storm.done." + std::to_wstring(GetCurrentProcessId())};
};

TEST_F(KillStormTest, TheDataFileIsWholeAfterEveryKill) {
    const matrix::StormTally tally = Storm(L"", kKills, "product");
    std::string why;
    if (tally.killed < kKills) why += "only " + std::to_string(tally.killed) + " installs killed; ";
    if (tally.missing + tally.notOrdinary + tally.mixed + tally.versionAhead > 0)
        why += "a kill left the data file missing, not ordinary, mixed or behind its version; ";
    // Kills spread over the whole install find it both before and after the rename.
    if (tally.old == 0 || tally.payload == 0) why += "every kill found the same file: the kills missed the rename";
    matrix::RecordStorm("product", tally, why.empty(), why);
    EXPECT_EQ(why, "");
}

// What a kill can leave wrong, each on its own counter.
struct Counter {
    std::size_t matrix::StormTally::*count;
    const char* name;
};
constexpr Counter kFaultCounters[] = {{&matrix::StormTally::missing, "missing"},
                                      {&matrix::StormTally::notOrdinary, "not ordinary"},
                                      {&matrix::StormTally::mixed, "mixed"},
                                      {&matrix::StormTally::versionAhead, "version ahead"}};

struct Control {
    const char* name;
    const wchar_t* kind;  // kill_storm_child.exe --control=KIND
    const char* label;    // in the fault matrix's log
    Counter caughtOn;
};

void PrintTo(const Control& control, std::ostream* out) { *out << control.label; }

class KillStormControlTest : public KillStormTest, public ::testing::WithParamInterface<Control> {};

TEST_P(KillStormControlTest, IsCaughtOnItsOwnCounterAndNoOther) {
    const Control& control = GetParam();
    const matrix::StormTally tally = Storm(control.kind, kControlKills, control.label);
    std::vector<std::string> wrong;
    if (tally.killed < kControlKills) wrong.push_back("only " + std::to_string(tally.killed) + " installs killed");
    if (tally.*control.caughtOn.count == 0) wrong.push_back(std::string("no kill counted as ") + control.caughtOn.name);
    for (const Counter& other : kFaultCounters)
        if (other.count != control.caughtOn.count && tally.*other.count > 0)
            wrong.push_back(std::string("kills counted as ") + other.name + " too");
    std::string why;
    for (const std::string& what : wrong) why += (why.empty() ? "" : "; ") + what;
    matrix::RecordStorm(std::string("control (") + control.label + ")", tally, why.empty(), why);
    EXPECT_EQ(why, "");
}

INSTANTIATE_TEST_SUITE_P(Controls, KillStormControlTest,
                         ::testing::Values(Control{"RemovesBeforeItRenames", L"remove-first", "remove, pause, rename",
                                                   kFaultCounters[0]},
                                           Control{"WritesInPlace", L"in-place", "write in place", kFaultCounters[2]},
                                           Control{"RecordsTheVersionFirst", L"version-first",
                                                   "record the version, pause, replace", kFaultCounters[3]}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
