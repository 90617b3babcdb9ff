/* A program with everything check_exe.py rejects, built with the linker
   options that switch the mitigations off: the release tests run the check on
   it to show that each of its checks can fail. */
#include <windows.h>

int main(void) {
    DWORD handle = 0;
    HMODULE planted = LoadLibraryW(L"version.dll");
    return (int)GetFileVersionInfoSizeW(L"unsafe_program.exe", &handle) + (planted != NULL);
}
