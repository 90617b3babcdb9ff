// Measures UpDate.exe against two baseline programs and against its peer, an
// NSIS patcher doing the same job, under Wine, run after run in turn, and
// prints medians, ratios and the targets:
//   start-up:        process created until its window is shown and it
//                    waits for input (UpDate.exe and both baselines: the
//                    least program with a window, and one that shows
//                    UpDate.exe's window and does nothing else);
//   working set at the window: the process's working set at that moment,
//                    which is what starting up cost;
//   click to box:    "开始更新" clicked, as soon as the window is up, until
//                    the message box is visible (UpDate.exe installing, the
//                    baselines showing their box only);
//   launch to box:   process created until the result box is visible
//                    (UpDate.exe with its click, the patcher by itself);
//   quiet, launch to exit: `UpDate.exe /quiet` and the patcher's silent
//                    mode (`/S`), process created until it has ended, as an
//                    administrator's deployment runs them;
//   peak working set of each, read while its box is open: start-up and
//                    install together;
//   the floor:       the durable write of the payload alone, in this process.
// Builds of UpDate.exe made to try a change (--variant, any number) are
// measured as UpDate.exe is, in the same turns, and reported against the
// baseline and against UpDate.exe beside it.
// Every install runs over a fresh installation and is checked afterwards: a
// run that did not install is no measure of an install, and the benchmark
// stops. The runs are made in rounds (three by default); the tables pool all
// of them, and each ratio with a target is also given round by round, which
// shows its spread.
//
//   bench_measure --app=UpDate.exe --baseline=bench_baseline.exe
//                 --window-baseline=bench_window_baseline.exe --peer=patcher.exe
//                 --payload=unit.xml [--runs=N] [--rounds=N] [--variant=OTHER.exe ...]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/driver/driver.h"

namespace {

const wchar_t kStartCaption[] = L"开始更新";
const char kSuccessText[] = u8"成功更新至版本7.0.8.";
const wchar_t kOldVersion[] = L"7.0.7";
const wchar_t kNewVersion[] = L"7.0.8";

double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

// Polls every millisecond for what `find` looks for.
template <class Find>
HWND WaitForWindow(Find find, DWORD timeoutMs = e2e::SettleBoundMs()) {
    const double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (const HWND window = find()) return window;
        if (NowMs() >= deadline) return nullptr;
        Sleep(1);
    }
}

BOOL CALLBACK KeepIfMainWindow(HWND window, LPARAM found) {
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The thread's visible top-level window that no other window owns.
HWND VisibleMainWindow(DWORD threadId) {
    HWND found = nullptr;
    EnumThreadWindows(threadId, KeepIfMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Waits until the program has shown its window and waits for input. The
// system says when it first waits for input, so the start-up is not timed by
// polling, which would compete with it: under Wine every look at another
// process's windows is a request to the wineserver the starting program
// needs too. Polls only if it went idle before showing its window.
HWND WaitForStartUp(const e2e::App& app) {
    if (WaitForInputIdle(app.process(), e2e::StartBoundMs()) != 0) return nullptr;
    return WaitForWindow([&] { return VisibleMainWindow(app.threadId()); }, e2e::StartBoundMs());
}

HWND ChildButton(HWND parent, const wchar_t* caption) {
    for (HWND child : e2e::ChildrenInZOrder(parent))
        if (e2e::ClassName(child) == "Button" && e2e::WindowText(child) == e2e::Utf8(caption)) return child;
    return nullptr;
}

struct Sample {
    double startMs = 0;
    double clickMs = 0;
    double launchMs = 0;
    double windowWorkingSetMiB = 0;
    double peakWorkingSetMiB = 0;
    std::string boxText;
};

std::optional<PROCESS_MEMORY_COUNTERS> MemoryOf(const e2e::App& app) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(app.process(), &counters, sizeof counters)) return counters;
    std::printf("GetProcessMemoryInfo failed: %lu\n", GetLastError());
    return std::nullopt;
}

// Reads what the open `box` says and the process's peak working set, then
// dismisses the box.
bool ReadAndDismissBox(const e2e::App& app, HWND box, Sample& sample) {
    const std::optional<PROCESS_MEMORY_COUNTERS> counters = MemoryOf(app);
    if (!counters) return false;
    sample.peakWorkingSetMiB = counters->PeakWorkingSetSize / 1048576.0;
    sample.boxText = e2e::WindowText(GetDlgItem(box, 0xFFFF));
    e2e::MessageBoxSeen seen;
    seen.window = box;
    return e2e::DismissMessageBox(seen);
}

HWND WaitForBox(const e2e::App& app) {
    return WaitForWindow([&] { return e2e::FindProcessWindow(app.processId(), L"#32770", nullptr); });
}

// One run of a program with a window (UpDate.exe or the baseline) in
// `folder`: start it, click "开始更新" as soon as the window is up, read its
// box and working set, dismiss the box and close the window.
std::optional<Sample> RunWindowProgram(const std::wstring& exe, const std::wstring& folder) {
    Sample sample;
    e2e::App app;
    const double started = NowMs();
    if (!app.Start(exe, folder)) return std::nullopt;
    const HWND window = WaitForStartUp(app);
    const double shown = NowMs();
    sample.startMs = shown - started;
    const std::optional<PROCESS_MEMORY_COUNTERS> atWindow = MemoryOf(app);
    if (!atWindow) return std::nullopt;
    sample.windowWorkingSetMiB = atWindow->WorkingSetSize / 1048576.0;
    // The button is there once the window is shown; a read of its caption
    // that the loaded machine let time out is tried again.
    const HWND button = window ? WaitForWindow([&] { return ChildButton(window, kStartCaption); }) : nullptr;
    if (!button) {
        std::printf("\n%s: %s\n", e2e::Utf8(exe).c_str(),
                    window ? "its window has no \"开始更新\" button" : "no window was shown");
        return std::nullopt;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    const HWND box = WaitForBox(app);
    const double boxShown = NowMs();
    sample.clickMs = boxShown - shown;
    sample.launchMs = boxShown - started;
    if (!box) {
        std::printf("no message box appeared\n");
        return std::nullopt;
    }
    if (!ReadAndDismissBox(app, box, sample)) return std::nullopt;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!app.WaitForExit()) return std::nullopt;
    return sample;
}

// One run of the patcher in `folder`: start it and wait for its box, which
// it shows by itself; it ends when the box is dismissed. It first waits for
// input in the box, so, as with the window programs, the system says when
// rather than polling competing with the start.
// One quiet run in `folder`: `exe` started with `arguments` (UpDate.exe with
// /quiet, the patcher with /S), timed from its creation until it has ended;
// nothing but its exit code of 0 counts as done.
std::optional<Sample> RunQuiet(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
    Sample sample;
    e2e::App app;
    const double started = NowMs();
    if (!app.Start(exe, folder, arguments)) return std::nullopt;
    const std::optional<DWORD> exitCode = app.WaitForExit();
    sample.launchMs = NowMs() - started;
    if (exitCode != DWORD{0}) {
        std::printf("\n%s %s: %s\n", e2e::Utf8(exe).c_str(), e2e::Utf8(arguments).c_str(),
                    exitCode ? ("exit code " + std::to_string(*exitCode)).c_str() : "did not end");
        return std::nullopt;
    }
    sample.boxText = kSuccessText;  // no box: the exit code said it
    return sample;
}

std::optional<Sample> RunPatcher(const std::wstring& exe, const std::wstring& folder) {
    Sample sample;
    e2e::App app;
    const double started = NowMs();
    if (!app.Start(exe, folder)) return std::nullopt;
    WaitForInputIdle(app.process(), e2e::StartBoundMs());
    const HWND box = WaitForBox(app);
    sample.launchMs = NowMs() - started;
    if (!box) {
        std::printf("the patcher showed no message box\n");
        return std::nullopt;
    }
    if (!ReadAndDismissBox(app, box, sample) || !app.WaitForExit()) return std::nullopt;
    return sample;
}

// A Tolvar installation as UpDate.exe finds it before an update: the old
// table in `folder`, "PathTOL" naming it, "VerTOL" older than the payload's.
bool MakeInstallation(const std::wstring& folder, const std::vector<char>& oldTable) {
    e2e::RemoveTree(folder);
    if (!e2e::MakeFolders(folder) || !e2e::WriteBytes(folder + L"\\unit.xml", oldTable)) return false;
    e2e::DeleteProductKey();
    e2e::SetProductValue(L"PathTOL", folder);
    e2e::SetProductValue(L"VerTOL", kOldVersion);
    return true;
}

// The run installed: the message says so, the table is the payload, the
// version is recorded, and nothing else is left in the folder.
bool Installed(const Sample& sample, const std::wstring& folder, const std::vector<char>& payload) {
    const std::vector<std::wstring> entries = e2e::FolderEntries(folder);
    return sample.boxText == kSuccessText && e2e::ReadBytes(folder + L"\\unit.xml") == payload &&
           e2e::ProductValue(L"VerTOL") == std::wstring(kNewVersion) &&
           entries == std::vector<std::wstring>{L"unit.xml"};
}

// The floor of an install: the payload written to a new file beside the old
// one, flushed to the disk, and renamed over it.
std::optional<double> DurableWriteMs(const std::wstring& folder, const std::vector<char>& payload,
                                     const std::vector<char>& oldTable) {
    e2e::RemoveTree(folder);
    const std::wstring target = folder + L"\\unit.xml", temp = folder + L"\\unit.xml.new";
    if (!e2e::MakeFolders(folder) || !e2e::WriteBytes(target, oldTable)) return std::nullopt;

    const double started = NowMs();
    const HANDLE file =
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    DWORD written = 0;
    const bool ok = WriteFile(file, payload.data(), static_cast<DWORD>(payload.size()), &written, nullptr) &&
                    written == payload.size() && FlushFileBuffers(file);
    if (!CloseHandle(file) || !ok ||
        !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::nullopt;
    const double elapsed = NowMs() - started;

    if (e2e::ReadBytes(target) != payload) return std::nullopt;
    return elapsed;
}

double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const std::size_t below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}
double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

struct Series {
    std::vector<double> start, click, launch, windowWorkingSet, workingSet;
    void Add(const Sample& sample) {
        start.push_back(sample.startMs);
        click.push_back(sample.clickMs);
        launch.push_back(sample.launchMs);
        windowWorkingSet.push_back(sample.windowWorkingSetMiB);
        workingSet.push_back(sample.peakWorkingSetMiB);
    }
    void Add(const Series& more) {
        for (auto [to, from] : {std::pair{&start, &more.start}, {&click, &more.click}, {&launch, &more.launch},
                                {&windowWorkingSet, &more.windowWorkingSet}, {&workingSet, &more.workingSet}})
            to->insert(to->end(), from->begin(), from->end());
    }
};

// What one round (or all of them pooled) measured.
struct Round {
    Series baseline, window, app, peer, quiet, silent;
    std::vector<Series> variants;
    std::vector<double> floor;
    void Add(const Round& more) {
        baseline.Add(more.baseline);
        window.Add(more.window);
        app.Add(more.app);
        peer.Add(more.peer);
        quiet.Add(more.quiet);
        silent.Add(more.silent);
        for (std::size_t i = 0; i < variants.size(); ++i) variants[i].Add(more.variants[i]);
        floor.insert(floor.end(), more.floor.begin(), more.floor.end());
    }
};

// "12.3 (11.9-12.8)": the median and, in brackets, the middle half of the runs.
std::string Figure(const std::vector<double>& values, int decimals = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, Median(values), decimals, Quantile(values, 0.25),
                  decimals, Quantile(values, 0.75));
    return text;
}

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The figures that have targets, and UpDate.exe against the window baseline.
struct Ratios {
    double start, startOverWindow, windowSet, windowSetOverWindow, launch, quiet;
    explicit Ratios(const Round& r)
        : start(Median(r.app.start) / Median(r.baseline.start)),
          startOverWindow(Median(r.app.start) / Median(r.window.start)),
          windowSet(Median(r.app.windowWorkingSet) - Median(r.baseline.windowWorkingSet)),
          windowSetOverWindow(Median(r.app.windowWorkingSet) - Median(r.window.windowWorkingSet)),
          launch(Median(r.app.launch) / Median(r.peer.launch)),
          quiet(Median(r.quiet.launch) / Median(r.silent.launch)) {}
};

struct Row {
    const char* name;
    std::string baseline, window, app, peer, measure, overWindow;
    const char* target;
    const char* verdict;
};

void Print(const Row& row) {
    std::printf("%-34s %-20s %-20s %-20s %-20s %-9s %-11s %-9s %s\n", row.name, row.baseline.c_str(),
                row.window.c_str(), row.app.c_str(), row.peer.c_str(), row.measure.c_str(), row.overWindow.c_str(),
                row.target, row.verdict);
}

const char* Verdict(bool met) { return met ? "pass" : "MISS"; }

// Each run's figure over the run beside it in the same turn: the machine's
// load drifts, and this shows how much of a ratio of medians is that drift.
std::vector<double> Paired(const std::vector<double>& runs, const std::vector<double>& beside) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < runs.size(); ++i) ratios.push_back(runs[i] / beside[i]);
    return ratios;
}

// "1.05x, 1.19x, 1.24x (1.05-1.24)": a figure in each round, and its spread.
template <class Pick>
std::string RoundByRound(const std::vector<Ratios>& rounds, const char* format, Pick pick) {
    std::string text;
    std::vector<double> values;
    for (const Ratios& ratios : rounds) {
        values.push_back(pick(ratios));
        text += (text.empty() ? "" : ", ") + Format(format, values.back());
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return text + " (" + Format(format, *low) + " to " + Format(format, *high) + ")";
}

void PrintTable(const Round& all, const std::vector<Ratios>& rounds) {
    const Ratios r(all);
    const double installRatio = Median(all.app.click) / (Median(all.floor) + Median(all.baseline.click));
    const double peakSetDiff = Median(all.app.workingSet) - Median(all.baseline.workingSet);
    std::printf("\n");
    Print({"medians (middle half), all rounds", "baseline", "window baseline", "UpDate.exe", "NSIS patcher", "measure",
           "over window", "target", ""});
    Print({"start-up to window shown, ms", Figure(all.baseline.start), Figure(all.window.start), Figure(all.app.start),
           "", Format("%.2fx", r.start), Format("%.2fx", r.startOverWindow), "<= 1.10x", Verdict(r.start <= 1.10)});
    Print({"working set at the window, MiB", Figure(all.baseline.windowWorkingSet),
           Figure(all.window.windowWorkingSet), Figure(all.app.windowWorkingSet), "", Format("%+.2f", r.windowSet),
           Format("%+.2f", r.windowSetOverWindow), "<= +1", Verdict(r.windowSet <= 1.0)});
    Print({"click to message box shown, ms", Figure(all.baseline.click), Figure(all.window.click),
           Figure(all.app.click), "", "", "", "", ""});
    Print({"launch to result box shown, ms", "", "", Figure(all.app.launch), Figure(all.peer.launch),
           Format("%.2fx", r.launch), "", "<= 1.00x", Verdict(r.launch <= 1.00)});
    Print({"quiet: launch to exit, ms", "", "", Figure(all.quiet.launch), Figure(all.silent.launch),
           Format("%.2fx", r.quiet), "", "<= 0.80x", Verdict(r.quiet <= 0.80)});
    Print({"durable write alone (floor), ms", "", "", Figure(all.floor), "", "", "", "", ""});
    Print({"install / (floor + baseline box)", "", "", "", "", Format("%.2fx", installRatio), "", "<= 2x",
           Verdict(installRatio <= 2.0)});
    Print({"peak working set at the box, MiB", Figure(all.baseline.workingSet), Figure(all.window.workingSet),
           Figure(all.app.workingSet), Figure(all.peer.workingSet), Format("%+.2f", peakSetDiff), "", "", ""});
    std::printf("(UpDate.exe /quiet against the patcher's /S; the patcher with its box against UpDate.exe with its"
                " window and click)\n");
    std::printf("ratios run by run (UpDate.exe over the run beside it): start-up %s, over the window baseline %s,"
                " launch to box %s, quiet %s\n",
                Figure(Paired(all.app.start, all.baseline.start), 2).c_str(),
                Figure(Paired(all.app.start, all.window.start), 2).c_str(),
                Figure(Paired(all.app.launch, all.peer.launch), 2).c_str(),
                Figure(Paired(all.quiet.launch, all.silent.launch), 2).c_str());
    std::printf("round by round (spread):\n");
    std::printf("  start-up over the baseline          %s\n",
                RoundByRound(rounds, "%.2fx", [](const Ratios& x) { return x.start; }).c_str());
    std::printf("  start-up over the window baseline   %s\n",
                RoundByRound(rounds, "%.2fx", [](const Ratios& x) { return x.startOverWindow; }).c_str());
    std::printf("  working set at the window, MiB      %s\n",
                RoundByRound(rounds, "%+.2f", [](const Ratios& x) { return x.windowSet; }).c_str());
    std::printf("  the same over the window baseline   %s\n",
                RoundByRound(rounds, "%+.2f", [](const Ratios& x) { return x.windowSetOverWindow; }).c_str());
    std::printf("  launch to result box                %s\n",
                RoundByRound(rounds, "%.2fx", [](const Ratios& x) { return x.launch; }).c_str());
    std::printf("  quiet launch to exit                %s\n",
                RoundByRound(rounds, "%.2fx", [](const Ratios& x) { return x.quiet; }).c_str());
}

// A build made to try a change, against the baseline and UpDate.exe of the same turns.
void PrintVariant(const std::wstring& exe, const Series& variant, const Series& baseline, const Series& app) {
    std::printf("\n%s\n", e2e::Utf8(exe).c_str());
    Print({"  start-up to window shown, ms", Figure(baseline.start), "", Figure(variant.start), "",
           Format("%.2fx", Median(variant.start) / Median(baseline.start)), "", "<= 1.10x",
           Verdict(Median(variant.start) / Median(baseline.start) <= 1.10)});
    Print({"  working set at the window, MiB", Figure(baseline.windowWorkingSet), "", Figure(variant.windowWorkingSet),
           "", Format("%+.2f", Median(variant.windowWorkingSet) - Median(baseline.windowWorkingSet)), "", "<= +1",
           Verdict(Median(variant.windowWorkingSet) - Median(baseline.windowWorkingSet) <= 1.0)});
    Print({"  click to message box shown, ms", Figure(baseline.click), "", Figure(variant.click), "", "", "", "", ""});
    Print({"  peak working set at the box, MiB", Figure(baseline.workingSet), "", Figure(variant.workingSet), "",
           Format("%+.2f", Median(variant.workingSet) - Median(baseline.workingSet)), "", "", ""});
    std::printf("  run by run over UpDate.exe beside it: start-up %s, working set at the window %s\n",
                Figure(Paired(variant.start, app.start), 2).c_str(),
                Figure(Paired(variant.windowWorkingSet, app.windowWorkingSet), 2).c_str());
}

struct Setup {
    std::wstring app, baseline, window, peer;
    std::vector<std::wstring> variants;
    std::vector<char> payload;
};

std::wstring Scratch() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"UpDate-bench";
}

// Runs the floor and the programs `runs` times, after one unrecorded run of
// each; false, having said why, when a run could not be measured.
bool MeasureRound(const Setup& setup, int runs, std::mt19937& order, Round& round) {
    const std::wstring scratch = Scratch(), installation = scratch + L"\\Tolvar", floorFolder = scratch + L"\\floor";
    e2e::MakeFolders(scratch);
    // The table being replaced: an older, shorter one.
    const std::vector<char> oldTable(setup.payload.begin(), setup.payload.begin() + setup.payload.size() * 9 / 10);
    // An install over a fresh installation, checked afterwards.
    const auto install = [&](const char* name, auto run) -> std::optional<Sample> {
        if (!MakeInstallation(installation, oldTable)) {
            std::printf("\ncannot set up the installation in %s\n", e2e::Utf8(installation).c_str());
            return std::nullopt;
        }
        std::optional<Sample> sample = run();
        if (sample && !Installed(*sample, installation, setup.payload)) {
            std::printf("\n%s did not install (its box said \"%s\")\n", name, sample->boxText.c_str());
            return std::nullopt;
        }
        return sample;
    };
    enum Turn { kBaseline, kWindow, kApp, kPeer, kQuiet, kSilent, kVariants };
    for (int run = 0; run <= runs; ++run) {
        const std::optional<double> write = DurableWriteMs(floorFolder, setup.payload, oldTable);
        if (!write) {
            std::printf("\nthe durable write failed: %lu\n", GetLastError());
            return false;
        }
        std::optional<Sample> samples[kVariants];
        std::vector<std::optional<Sample>> tried(setup.variants.size());
        // A new order each run, so that no program always follows the same
        // one (the one before may still be ending in the wineserver and the
        // X server): turned in a ring, each would. The warm-up keeps the
        // listed order: the first program in a new prefix can leave its
        // windows' texts unanswered for seconds, and of the baseline's only
        // the button's caption counts, which is read again until it answers.
        std::vector<int> turns(kVariants + setup.variants.size());
        std::iota(turns.begin(), turns.end(), 0);
        if (run > 0) std::shuffle(turns.begin(), turns.end(), order);
        for (const int which : turns) {
            switch (which) {
                case kBaseline: samples[which] = RunWindowProgram(setup.baseline, scratch); break;
                case kWindow: samples[which] = RunWindowProgram(setup.window, scratch); break;
                case kApp:
                    samples[which] = install("UpDate.exe", [&] { return RunWindowProgram(setup.app, scratch); });
                    break;
                case kPeer:
                    samples[which] = install("the patcher", [&] { return RunPatcher(setup.peer, scratch); });
                    break;
                case kQuiet:
                    samples[which] =
                        install("UpDate.exe /quiet", [&] { return RunQuiet(setup.app, L"/quiet", scratch); });
                    break;
                case kSilent:
                    samples[which] = install("the patcher /S", [&] { return RunQuiet(setup.peer, L"/S", scratch); });
                    break;
                default: {
                    const std::wstring& exe = setup.variants[which - kVariants];
                    tried[which - kVariants] =
                        install(e2e::Utf8(exe).c_str(), [&] { return RunWindowProgram(exe, scratch); });
                }
            }
        }
        for (const std::optional<Sample>& sample : samples)
            if (!sample) return false;
        for (const std::optional<Sample>& sample : tried)
            if (!sample) return false;
        if (run == 0) continue;  // the warm-up
        round.floor.push_back(*write);
        round.baseline.Add(*samples[kBaseline]);
        round.window.Add(*samples[kWindow]);
        round.app.Add(*samples[kApp]);
        round.peer.Add(*samples[kPeer]);
        round.quiet.Add(*samples[kQuiet]);
        round.silent.Add(*samples[kSilent]);
        for (std::size_t i = 0; i < tried.size(); ++i) round.variants[i].Add(*tried[i]);
        std::printf(".");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::wstring app, baseline, window, peer, payloadPath, runsText = L"50", roundsText = L"3";
    std::vector<std::wstring> variants;
    for (int i = 1; i < argc; ++i) {
        std::wstring value;
        if (e2e::Option(argv[i], L"--app=", value)) app = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--variant=", value)) variants.push_back(e2e::WindowsPath(value));
        else if (e2e::Option(argv[i], L"--baseline=", value)) baseline = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--window-baseline=", value)) window = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--peer=", value)) peer = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--payload=", value)) payloadPath = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--runs=", value)) runsText = value;
        else if (e2e::Option(argv[i], L"--rounds=", value)) roundsText = value;
    }
    const int runs = static_cast<int>(std::wcstol(runsText.c_str(), nullptr, 10));
    const int rounds = static_cast<int>(std::wcstol(roundsText.c_str(), nullptr, 10));
    const std::optional<std::vector<char>> payload = e2e::ReadBytes(payloadPath);
    if (app.empty() || baseline.empty() || window.empty() || peer.empty() || !payload || runs < 1 || rounds < 1) {
        std::printf(
            "usage: bench_measure --app=UpDate.exe --baseline=EXE --window-baseline=EXE --peer=EXE"
            " --payload=unit.xml [--runs=N] [--rounds=N] [--variant=EXE ...]\n");
        return 2;
    }
    const Setup setup{app, baseline, window, peer, variants, *payload};
    std::mt19937 order(20261208);  // the same orders every time the benchmark runs
    Round all;
    all.variants.resize(variants.size());
    std::vector<Ratios> perRound;
    bool measured = true;
    for (int i = 0; i < rounds && measured; ++i) {
        std::printf("round %d of %d: %d runs of each, in turn, after one run of each to warm up ", i + 1, rounds,
                    runs);
        Round round;
        round.variants.resize(variants.size());
        measured = MeasureRound(setup, runs, order, round);
        std::printf("\n");
        if (!measured) break;
        perRound.emplace_back(round);
        all.Add(round);
    }
    e2e::DeleteProductKey();
    e2e::RemoveTree(Scratch());
    if (!measured) return 1;
    PrintTable(all, perRound);
    for (std::size_t i = 0; i < variants.size(); ++i) PrintVariant(variants[i], all.variants[i], all.baseline, all.app);
    return 0;
}
