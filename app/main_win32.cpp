// Start-up of UpDate.exe: the program is its window, Form1. Two starts are
// not: the elevated copy the update run starts (app/elevated_replace.h),
// which replaces the data file and ends, and an unattended run (/quiet,
// app/unattended.h), which runs the update once and ends with its exit code.
#include <windows.h>

#include <string>

#include "app/Form1.h"
#include "app/elevated_replace.h"
#include "app/privilege.h"
#include "app/startup_win32.h"
#include "app/unattended.h"
#include "app/update_run.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    app::HardenProcess();  // before anything loads a DLL or opens a window
    app::GuardPrivilegedRun();  // before any path is looked at
    const std::u16string commandLine = reinterpret_cast<const char16_t*>(GetCommandLineW());
    if (const std::optional<std::uint32_t> code = app::RunElevatedModeIfAsked(commandLine))
        return static_cast<int>(*code);
    const app::Switches switches = app::ParseSwitches(commandLine);
    if (switches.quiet) return static_cast<int>(app::RunQuietly(switches));
    app::LogRunsTo(&switches.logFile);  // without /quiet, other arguments are ignored
    return app::RunForm1(instance, showCommand);
}
