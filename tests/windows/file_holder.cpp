// Holds a file open as another program would (a running Tolvar, say) until
// it is ended. Signals the named event once the file is open.
//
//   file_holder.exe PATH SHARE-MODE EVENT-NAME
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const DWORD share = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const HANDLE opened = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (!opened || !SetEvent(opened)) return 1;
    Sleep(INFINITE);
    return 0;
}
