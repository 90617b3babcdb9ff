// The stand-ins for platform/message_box_win32.cpp and
// platform/window_lookup_win32.cpp: boxes recorded, windows looked up in a list.
#include "portable/message_box_portable.h"

#include "platform/window_lookup.h"

namespace fake {
namespace {

struct Screen {
    std::vector<Message> messages;
    std::vector<std::u16string> lookups;
    bool windowExists = false;
};

Screen& S() {
    static Screen screen;
    return screen;
}

}  // namespace

std::vector<Message>& Messages() { return S().messages; }
std::vector<std::u16string>& WindowLookups() { return S().lookups; }
void SetWindowExists(bool exists) { S().windowExists = exists; }
void ResetMessages() { S() = Screen{}; }

}  // namespace fake

namespace platform {

void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon) {
    fake::S().messages.push_back({text, title, icon});
}

bool TopLevelWindowExists(const std::u16string& title) {
    fake::S().lookups.push_back(title);
    return fake::S().windowExists;
}

}  // namespace platform
