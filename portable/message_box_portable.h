// Test controls of the message box and window lookup stand-ins (both in
// message_box_portable.cpp). Nothing here is part of the product.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace fake {

struct Message {
    std::u16string text;
    std::u16string title;
    platform::MessageIcon icon;
};
std::vector<Message>& Messages();              // every box shown, in order
std::vector<std::u16string>& WindowLookups();  // every title looked up
void SetWindowExists(bool exists);
void ResetMessages();  // no boxes shown, no titles looked up, no window there

}  // namespace fake
