// Conversion between the node's raw Shift_JIS (CP932) bytes and the Qt
// widgets' text. The only place that converts: the core keeps raw bytes, and
// widgets keep those bytes beside what they show (item data), so text is
// never round-tripped. GUI thread.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace cp932 {
// Bytes that are not CP932 show as U+FFFD; nothing is dropped silently.
QString ToQString(std::string_view bytes);
// Characters CP932 cannot hold become "?".
std::string FromQString(const QString& text);
// The longest start of bytes that fits limit bytes without splitting a
// double-byte character.
std::string CutToBytes(const std::string& bytes, std::size_t limit);
} // namespace cp932
