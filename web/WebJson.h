// The JSON side of the web interface: raw Shift_JIS texts out as UTF-8
// strings, request bodies in as checked drafts. A request that does not fit
// gets a reason and never reaches the store. GUI thread.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>

class QByteArray;

namespace webjson {

// The largest request body the API reads.
inline constexpr qsizetype kMaxBodyBytes = 64 * 1024;

// The composition fields' limits in Shift_JIS bytes, as the dialogs have them.
inline constexpr std::size_t kTitleLimit = 100;
inline constexpr std::size_t kCategoryLimit = 50;
inline constexpr std::size_t kNameLimit = 50;
inline constexpr std::size_t kMailLimit = 50;
inline constexpr std::size_t kBodyLimit = 4000;

// Raw Shift_JIS bytes as a JSON string (bad bytes show as U+FFFD).
QString Text(const std::string& raw);
// ASCII the node makes itself (ids, times, addresses) as a JSON string.
QString Ascii(const std::string& text);

// A request body that must be one JSON object. False with a reason.
bool ParseObject(const QByteArray& body, QJsonObject& object, QString& reason);

// One text field of a draft: absent is empty, anything but a string is an
// error. A single-line field must hold no line break; a body's line breaks
// become CR LF, as the dialogs store them. No field holds another control
// character (a body may hold a tab), nor a character Shift_JIS cannot hold:
// the reason names those instead of storing "?". Converted to Shift_JIS and
// checked against its limit as it will be stored, "<" and ">" escaped, so no
// stored text is cut inside an escape; the reason is the dialogs' own message.
struct CFieldCheck {
    const char* key;
    std::size_t limit; // 0: no limit
    bool multiLine;
};
bool TakeField(const QJsonObject& object, const CFieldCheck& field, std::string& raw,
               QString& reason);

// The characters of text that Shift_JIS (CP932) cannot hold, each once, in
// the order they first come.
QStringList Unsendable(const QString& text);

// A 32-digit lower-case hex id.
bool IsId(const QString& text);

} // namespace webjson
