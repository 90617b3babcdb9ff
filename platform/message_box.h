// The modal message box: one OK button, an icon and a title.
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { None, Information, Critical };

// Shows the box and returns when the user has dismissed it.
void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon);

}  // namespace platform
