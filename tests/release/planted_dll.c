/* The DLL the planting test puts beside UpDate.exe under the names of system
   DLLs. Loaded into a process, it leaves a mark: a file named after itself
   with ".loaded" added, in its own folder. It exports nothing; Wine binds a
   caller's imports from it to stubs, so the process goes on. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        WCHAR mark[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameW(self, mark, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(mark, L".loaded");
            HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}
