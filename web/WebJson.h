// The JSON side of the web interface: raw Shift_JIS texts out as UTF-8
// strings, request bodies in as checked drafts. A request that does not fit
// gets a reason and never reaches the store. GUI thread.
#pragma once

#include <QJsonObject>
#include <QString>

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

// A request body that must be one JSON object. False with a reason.
bool ParseObject(const QByteArray& body, QJsonObject& object, QString& reason);

// One text field of a draft: absent is empty, anything but a string is an
// error. A single-line field must hold no line break; a body's line breaks
// become CR LF, as the dialogs store them. Converted to Shift_JIS (a
// character it cannot hold becomes "?") and checked against its limit; the
// reason is the dialogs' own message.
struct CFieldCheck {
    const char* key;
    std::size_t limit; // 0: no limit
    bool multiLine;
};
bool TakeField(const QJsonObject& object, const CFieldCheck& field, std::string& raw,
               QString& reason);

// A 32-digit lower-case hex id.
bool IsId(const QString& text);

} // namespace webjson
