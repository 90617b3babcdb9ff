// Start-up of UpDate.exe.
#include <windows.h>

#include "app/startup_win32.h"
#include "app/update_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    app::HardenProcess();
    app::UpdateRun();
    return 0;
}
