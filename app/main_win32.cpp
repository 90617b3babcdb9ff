// Start-up of UpDate.exe: the program is its window, Form1.
#include <windows.h>

#include "app/Form1.h"
#include "app/startup_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    app::HardenProcess();  // before anything loads a DLL or opens a window
    return app::RunForm1(instance, showCommand);
}
