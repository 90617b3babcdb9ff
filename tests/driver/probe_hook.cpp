// e2e_probe.dll: loaded into UpDate.exe by the driver's hook. When the
// window thread is sent the probe message, the hook reads the font and the
// icons of the window the message was sent to and writes them to the shared
// reply block.
#include "tests/driver/probe.h"

namespace {

void Answer(HWND window) {
    const HANDLE memory = OpenFileMappingW(FILE_MAP_WRITE, FALSE, e2e::kProbeMemory);
    if (!memory) return;
    if (auto* reply =
            static_cast<e2e::ProbeReply*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(e2e::ProbeReply)))) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
        reply->hasFont = font && GetObjectW(font, sizeof reply->font, &reply->font) == sizeof reply->font;
        e2e::DrawIconOnWhite(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)), reply->icons[0]);
        e2e::DrawIconOnWhite(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)), reply->icons[1]);
        InterlockedExchange(&reply->answered, 1);
        UnmapViewOfFile(reply);
    }
    CloseHandle(memory);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    static const UINT probe = RegisterWindowMessageW(e2e::kProbeMessage);
    if (code == HC_ACTION) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (sent->message == probe) Answer(sent->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
