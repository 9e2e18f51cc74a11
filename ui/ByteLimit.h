// Byte limits of the composition fields. The node stores and sends Shift_JIS
// text, so a field's length is what its text takes in CP932 bytes (a
// double-byte character counts 2, a line break in a body counts 2 for its
// carriage return and line feed), not the number of characters shown. Also
// the one-line rule of single-line fields (the entry point's too). GUI
// thread.
#pragma once

#include <QString>

#include <cstddef>
#include <string>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace bytelimit {
// The fields' limits in bytes.
inline constexpr std::size_t kTitle = 100;
inline constexpr std::size_t kCategory = 50;
inline constexpr std::size_t kName = 50;
inline constexpr std::size_t kMail = 50;
inline constexpr std::size_t kBody = 4000;

// Bytes text takes in CP932; with crlf, each line feed counts as CR LF.
std::size_t CountBytes(const QString& text, bool crlf = false);
// Bytes text takes once stored: "<" and ">" are stored as "&lt;" and "&gt;",
// so each counts 4. A field is checked on this, so that the store never has to
// cut an escape in two.
std::size_t StoredBytes(const QString& text, bool crlf = false);
// The longest start of text that fits budget bytes, never ending inside a
// double-byte character or a surrogate pair.
QString FitToBytes(const QString& text, std::size_t budget, bool crlf = false);
// The raw bytes of a body: line feeds become CR LF.
std::string BodyBytes(const QString& text);

// Typing, pasting or setting text stops at the limit: what would go past it
// is not inserted. A single-line field also keeps only the first line of
// what is pasted into it, as the line ends at a line break.
void Apply(QLineEdit* edit, std::size_t limit);
// The line rule alone, for a single-line field without a byte limit.
void KeepOneLine(QLineEdit* edit);
void Apply(QPlainTextEdit* edit, std::size_t limit);

// On sending: false, after telling the user the limit and putting the focus
// on the field, when the field holds more than limit bytes.
bool Check(QWidget* dialog, QWidget* field, std::size_t bytes, std::size_t limit);
} // namespace bytelimit
