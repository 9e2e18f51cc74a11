// Conversion between the node's raw Shift_JIS (CP932) bytes and UTF-8, for
// the places where text leaves or enters the node as characters: the widgets
// and the web interface. The core keeps raw bytes and never converts; a text
// is converted only to be shown or when a person typed it. Any thread (each
// thread keeps its own converters).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cp932text {
// Bytes that are not CP932 show as U+FFFD, one per bad character (a lead
// byte takes its trail byte with it); nothing is dropped silently.
std::string ToUtf8(std::string_view cp932);
// Characters CP932 cannot hold become "?", one per character; so does each
// byte of malformed UTF-8.
std::string FromUtf8(std::string_view utf8);
// Bytes text takes in CP932, as FromUtf8 would give it.
std::size_t CountBytes(std::string_view utf8);
} // namespace cp932text
