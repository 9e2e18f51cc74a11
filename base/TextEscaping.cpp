// EscapeAngleBrackets: the replacement applied to composed texts before they
// are stored. Plain code; any thread.
#include "base/TextEscaping.h"

std::string ReplaceAll(std::string_view text, char from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == from)
            out += to;
        else
            out += c;
    }
    return out;
}

std::string EscapeAngleBrackets(std::string_view text) {
    // Two passes in this order: the "&lt;" made by the first holds no ">".
    return ReplaceAll(ReplaceAll(text, '<', "&lt;"), '>', "&gt;");
}
