/* A program with everything check_exe.py and check_api_floor.py reject,
   built with the linker options that switch the mitigations off and ask
   for Windows 8: the release tests run the checks on it to show that each
   of them can fail. */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0602 /* declares Windows 8's GetSystemTimePreciseAsFileTime */
#include <windows.h>

int main(void) {
    DWORD handle = 0;
    FILETIME now;
    HMODULE planted = LoadLibraryW(L"version.dll");
    GetSystemTimePreciseAsFileTime(&now);
    return (int)GetFileVersionInfoSizeW(L"unsafe_program.exe", &handle) + (planted != NULL) + (int)now.dwLowDateTime;
}
