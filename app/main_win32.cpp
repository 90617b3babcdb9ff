// Start-up of UpDate.exe: the program is its window, Form1. The one
// exception is the copy the update run starts with the right to write
// (app/elevated_replace.h), which replaces the data file and ends.
#include <windows.h>

#include <string>

#include "app/Form1.h"
#include "app/elevated_replace.h"
#include "app/startup_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    app::HardenProcess();  // before anything loads a DLL or opens a window
    const std::u16string commandLine = reinterpret_cast<const char16_t*>(GetCommandLineW());
    if (const std::optional<std::uint32_t> code = app::RunElevatedModeIfAsked(commandLine))
        return static_cast<int>(*code);
    return app::RunForm1(instance, showCommand);
}
