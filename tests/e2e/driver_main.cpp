// The driver is a GUI program started inside a Wine virtual desktop, where it
// has no console: everything it prints goes to the --log file, and its exit
// code is written to the --result file for the script that started it.
//
//   e2e_driver --app=UpDate.exe --payload=unit.xml --dpi=96 --log=FILE --result=FILE
//              [--scratch=FOLDER] [--demo=FOLDER] [--refused-install=FOLDER] [--links=FOLDER]
//              [GoogleTest flags]
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>

#include "tests/driver/driver.h"

namespace {

void BecomeDpiAware() {
    using SetContextFunction = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(-4)))  // per monitor, version 2
        SetProcessDPIAware();
}

// After a failed check the shared UpDate.exe may be in any state (a box
// open, a window half laid out): it is killed, so no later test waits on it.
class AbandonAfterFailure : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override {
        if (test.result()->Failed()) e2e::AbandonSharedApp();
    }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    e2e::Options options;
    std::wstring log, result, demo, dpi = L"96";
    for (int i = 1; i < argc; ++i) {
        std::wstring value;
        if (e2e::Option(argv[i], L"--app=", value)) options.app = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--payload=", value)) options.payload = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--scratch=", value)) options.scratch = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--dpi=", value)) dpi = value;
        else if (e2e::Option(argv[i], L"--log=", value)) log = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--result=", value)) result = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--demo=", value)) demo = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--refused-install=", value)) options.refusedInstall = e2e::WindowsPath(value);
        else if (e2e::Option(argv[i], L"--links=", value)) options.links = e2e::WindowsPath(value);
    }
    if (!log.empty()) _wfreopen(log.c_str(), L"w", stdout);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    options.dpi = static_cast<UINT>(std::wcstoul(dpi.c_str(), nullptr, 10));
    if (options.scratch.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        options.scratch = std::wstring(temp) + L"UpDate-e2e";
    }
    e2e::SetOptions(options);
    BecomeDpiAware();
    wchar_t desktop[256] = L"?";
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof desktop, nullptr);
    std::printf("driver on desktop %s at %u DPI\n", e2e::Utf8(desktop).c_str(), options.dpi);

    int code;
    if (options.app.empty() || (demo.empty() && options.payload.empty())) {
        std::printf("usage: e2e_driver --app=EXE --payload=FILE --dpi=N --log=FILE --result=FILE\n");
        code = 2;
    } else if (!demo.empty()) {
        code = e2e::RunDemo(demo);
    } else {
        e2e::MakeFolders(options.scratch);
        testing::UnitTest::GetInstance()->listeners().Append(new AbandonAfterFailure);
        code = RUN_ALL_TESTS();
        e2e::EndSharedApp();
        e2e::RemoveTree(options.scratch);
    }
    std::fflush(stdout);
    if (!result.empty()) {
        if (FILE* file = _wfopen(result.c_str(), L"w")) {
            std::fprintf(file, "%d\n", code);
            std::fclose(file);
        }
    }
    return code;
}
