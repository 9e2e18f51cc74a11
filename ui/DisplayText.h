// Peer and file texts made fit for single-line widgets. A title may carry
// line breaks and "&" from another node; shown on one line a break becomes a
// space, and where a widget reads "&" as a keyboard mnemonic (tab labels,
// menus, buttons) or "[*]" as the modified mark (window titles) it is
// escaped. Only what is shown changes: the raw bytes stay with the widget.
// GUI thread.
#pragma once

#include <QString>

#include <string_view>

namespace displaytext {
// CP932 bytes on one line: CR LF, CR and LF each become one space.
QString SingleLine(std::string_view bytes);
// For widgets with mnemonics: one line, every "&" doubled.
QString Label(std::string_view bytes);
// For the window title: "pelmar - " and the title on one line, "[*]" kept.
QString WindowTitle(std::string_view title);
} // namespace displaytext
