// EscapeAngleBrackets: how text composed on this node is stored, so that the
// thread page can carry it into HTML unchanged. Plain code; any thread.
#pragma once

#include <string>
#include <string_view>

// Every "<" becomes "&lt;", then every ">" becomes "&gt;". Nothing else
// changes: "&" stays as typed, and the bytes are never decoded, so a
// Shift_JIS double-byte character is kept whole (neither of its bytes can be
// "<" or ">").
std::string EscapeAngleBrackets(std::string_view text);

// Every byte `from` becomes `to`. Byte-wise, so only ASCII `from` is safe on
// Shift_JIS text (a trail byte can be any value from 0x40 up).
std::string ReplaceAll(std::string_view text, char from, std::string_view to);
