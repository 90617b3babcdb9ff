// The modal message box: one OK button, an icon and a title.
#pragma once

#include <string>

namespace platform {

// The caption of the window and the title of every box the program shows.
inline constexpr char16_t kApplicationTitle[] = u"Tolvar Update";

enum class MessageIcon { None, Information, Critical };

// Shows the box and returns when the user has dismissed it.
void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon);

}  // namespace platform
