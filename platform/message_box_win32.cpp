#include "platform/message_box.h"
#include "platform/message_box_win32.h"

namespace platform {
namespace {
HWND g_owner = nullptr;

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return MB_ICONINFORMATION;
        case MessageIcon::Critical: return MB_ICONSTOP;
        case MessageIcon::None: break;
    }
    return 0;
}
}  // namespace

void SetMessageOwner(HWND owner) { g_owner = owner; }

void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon) {
    // With no owner the box is task-modal, so it still blocks the program's windows.
    const UINT modality = g_owner ? MB_APPLMODAL : MB_TASKMODAL;
    MessageBoxW(g_owner, reinterpret_cast<const wchar_t*>(text.c_str()),
                reinterpret_cast<const wchar_t*>(title.c_str()), MB_OK | IconStyle(icon) | modality);
}

}  // namespace platform
