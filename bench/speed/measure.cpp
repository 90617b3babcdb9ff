// Measures UpDate.exe against the baseline program under Wine, run after run
// in turn, and prints medians, ratios and the targets:
//   start-up:        process created until its window is shown and it
//                    waits for input;
//   click to box:    "开始更新" clicked until the message box is visible
//                    (UpDate.exe installing over a fresh installation each
//                    time, the baseline showing its box only);
//   peak working set of each, read while its box is open;
//   the floor:       the durable write of the payload alone, in this process.
// Every UpDate.exe run is checked to have installed: a run that did not is
// no measure of an install, and the benchmark stops.
//
//   bench_measure --app=UpDate.exe --baseline=bench_baseline.exe --payload=unit.xml [--runs=N]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <optional>
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
    double peakWorkingSetMiB = 0;
    std::string boxText;
};

// One run of `exe` in `folder`: start it, click "开始更新", read its box and
// working set, dismiss the box and close the window.
std::optional<Sample> RunOnce(const std::wstring& exe, const std::wstring& folder) {
    Sample sample;
    e2e::App app;
    const double started = NowMs();
    if (!app.Start(exe, folder)) return std::nullopt;
    const HWND window = WaitForStartUp(app);
    sample.startMs = NowMs() - started;
    const HWND button = window ? ChildButton(window, kStartCaption) : nullptr;
    if (!button) {
        std::printf("no window with a \"开始更新\" button appeared\n");
        return std::nullopt;
    }
    Sleep(100);  // anything the start-up left to do is done before the click

    const double clicked = NowMs();
    PostMessageW(button, BM_CLICK, 0, 0);
    const HWND box = WaitForWindow([&] { return e2e::FindProcessWindow(app.processId(), L"#32770", nullptr); });
    sample.clickMs = NowMs() - clicked;
    if (!box) {
        std::printf("no message box appeared\n");
        return std::nullopt;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(app.process(), &counters, sizeof counters)) {
        std::printf("GetProcessMemoryInfo failed: %lu\n", GetLastError());
        return std::nullopt;
    }
    sample.peakWorkingSetMiB = counters.PeakWorkingSetSize / 1048576.0;
    sample.boxText = e2e::WindowText(GetDlgItem(box, 0xFFFF));

    e2e::MessageBoxSeen seen;
    seen.window = box;
    if (!e2e::DismissMessageBox(seen)) return std::nullopt;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!app.WaitForExit()) return std::nullopt;
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
           e2e::ProductValue(L"VerTOL") == std::wstring(kNewVersion) && entries == std::vector<std::wstring>{L"unit.xml"};
}

// The floor of an install: the payload written to a new file beside the old
// one, flushed to the disk, and renamed over it.
std::optional<double> DurableWriteMs(const std::wstring& folder, const std::vector<char>& payload,
                                     const std::vector<char>& oldTable) {
    e2e::RemoveTree(folder);
    const std::wstring target = folder + L"\\unit.xml", temp = folder + L"\\unit.xml.new";
    if (!e2e::MakeFolders(folder) || !e2e::WriteBytes(target, oldTable)) return std::nullopt;

    const double started = NowMs();
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    std::vector<double> start, click, workingSet;
    void Add(const Sample& sample) {
        start.push_back(sample.startMs);
        click.push_back(sample.clickMs);
        workingSet.push_back(sample.peakWorkingSetMiB);
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

void Row(const char* name, const std::string& baseline, const std::string& app, const std::string& measure = "",
         const char* target = "", const char* verdict = "") {
    std::printf("%-34s %-20s %-20s %-10s %-10s %s\n", name, baseline.c_str(), app.c_str(), measure.c_str(), target,
                verdict);
}

const char* Verdict(bool met) { return met ? "pass" : "MISS"; }

void PrintTable(const Series& baseline, const Series& app, const std::vector<double>& floor) {
    const double startRatio = Median(app.start) / Median(baseline.start);
    const double installRatio = Median(app.click) / (Median(floor) + Median(baseline.click));
    const double workingSetDiff = Median(app.workingSet) - Median(baseline.workingSet);
    std::printf("\n");
    Row("medians (middle half)", "baseline", "UpDate.exe", "measure", "target");
    Row("start-up to window shown, ms", Figure(baseline.start), Figure(app.start), Format("%.2fx", startRatio),
        "<= 1.10x", Verdict(startRatio <= 1.10));
    Row("click to message box shown, ms", Figure(baseline.click), Figure(app.click));
    Row("durable write alone (floor), ms", "", Figure(floor));
    Row("install / (floor + baseline box)", "", "", Format("%.2fx", installRatio), "<= 2x", Verdict(installRatio <= 2.0));
    Row("peak working set, MiB", Figure(baseline.workingSet), Figure(app.workingSet), Format("%+.2f", workingSetDiff),
        "<= +2", Verdict(workingSetDiff <= 2.0));

    // The machine's load drifts; each UpDate.exe run over the baseline run
    // beside it shows how much of the start-up ratio is that drift.
    std::vector<double> paired;
    for (std::size_t i = 0; i < app.start.size(); ++i) paired.push_back(app.start[i] / baseline.start[i]);
    std::printf("start-up ratio run by run (UpDate.exe over the baseline run beside it): %s\n", Figure(paired, 2).c_str());
}

struct Setup {
    std::wstring app, baseline;
    std::vector<char> payload;
};

std::wstring Scratch() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"UpDate-bench";
}

// Runs the floor and both programs `runs` times, after one unrecorded run of
// each; false, having said why, when a run could not be measured.
bool MeasureAll(const Setup& setup, int runs, Series& baseline, Series& app, std::vector<double>& floor) {
    const std::wstring scratch = Scratch(), installation = scratch + L"\\Tolvar", floorFolder = scratch + L"\\floor";
    e2e::MakeFolders(scratch);
    // The table being replaced: an older, shorter one.
    const std::vector<char> oldTable(setup.payload.begin(), setup.payload.begin() + setup.payload.size() * 9 / 10);
    for (int run = 0; run <= runs; ++run) {
        const std::optional<double> write = DurableWriteMs(floorFolder, setup.payload, oldTable);
        if (!write) {
            std::printf("\nthe durable write failed: %lu\n", GetLastError());
            return false;
        }
        std::optional<Sample> base, update;
        // Alternate the order, so neither program always follows the other.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (run % 2 == 0)) {
                base = RunOnce(setup.baseline, scratch);
                continue;
            }
            if (!MakeInstallation(installation, oldTable)) {
                std::printf("\ncannot set up the installation in %s\n", e2e::Utf8(installation).c_str());
                return false;
            }
            update = RunOnce(setup.app, scratch);
            if (update && !Installed(*update, installation, setup.payload)) {
                std::printf("\nUpDate.exe did not install (its box said \"%s\")\n", update->boxText.c_str());
                return false;
            }
        }
        if (!base || !update) return false;
        if (run == 0) continue;  // the warm-up
        floor.push_back(*write);
        baseline.Add(*base);
        app.Add(*update);
        std::printf(".");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::wstring app, baseline, payloadPath, runsText = L"50";
    for (int i = 1; i < argc; ++i) {
        std::wstring value;
        if (e2e::Option(argv[i], L"--app=", value)) app = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--baseline=", value)) baseline = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--payload=", value)) payloadPath = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--runs=", value)) runsText = value;
    }
    const int runs = static_cast<int>(std::wcstol(runsText.c_str(), nullptr, 10));
    const std::optional<std::vector<char>> payload = e2e::ReadBytes(payloadPath);
    if (app.empty() || baseline.empty() || !payload || runs < 1) {
        std::printf("usage: bench_measure --app=UpDate.exe --baseline=EXE --payload=unit.xml [--runs=N]\n");
        return 2;
    }
    Series baselineSeries, appSeries;
    std::vector<double> floor;
    std::printf("%d runs of each, in turn, after one run of each to warm up\n", runs);
    const bool measured = MeasureAll(Setup{app, baseline, *payload}, runs, baselineSeries, appSeries, floor);
    e2e::DeleteProductKey();
    e2e::RemoveTree(Scratch());
    if (!measured) return 1;
    PrintTable(baselineSeries, appSeries, floor);
    return 0;
}
