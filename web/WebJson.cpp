// webjson: converting at the API's boundary.
#include "web/WebJson.h"

#include "base/Cp932Text.h"
#include "base/TextEscaping.h"
#include "res/Strings.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace webjson {

QString Text(const std::string& raw) {
    const std::string utf8 = cp932text::ToUtf8(raw);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString Ascii(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool ParseObject(const QByteArray& body, QJsonObject& object, QString& reason) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        reason = QStringLiteral("malformed JSON: ") + error.errorString();
        return false;
    }
    if (!document.isObject()) {
        reason = QStringLiteral("the body must be a JSON object");
        return false;
    }
    object = document.object();
    return true;
}

bool TakeField(const QJsonObject& object, const CFieldCheck& field, std::string& raw,
               QString& reason) {
    raw.clear();
    const QJsonValue value = object.value(QLatin1String(field.key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString()) {
        reason = QStringLiteral("\"%1\" must be a string").arg(QLatin1String(field.key));
        return false;
    }
    QString text = value.toString();
    if (field.multiLine) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    } else if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
        reason = QStringLiteral("\"%1\" must be one line").arg(QLatin1String(field.key));
        return false;
    }
    // A NUL would end the text where a peer reads it; the others show as
    // boxes.
    for (const QChar c : text) {
        const bool allowed = field.multiLine && (c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
                                                 c == QLatin1Char('\n'));
        if ((c.unicode() < 0x20 || c.unicode() == 0x7f) && !allowed) {
            reason = QStringLiteral("\"%1\" must not hold control characters")
                         .arg(QLatin1String(field.key));
            return false;
        }
    }
    const QStringList unsendable = Unsendable(text);
    if (!unsendable.isEmpty()) {
        reason = QStringLiteral("Shift_JIS で送れない文字があります: ") +
                 unsendable.join(QStringLiteral(" "));
        return false;
    }
    const QByteArray utf8 = text.toUtf8();
    raw = cp932text::FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (field.limit != 0 && EscapeAngleBrackets(raw).size() > field.limit) {
        reason = QString::fromUtf8(strings::kTooLong).arg(field.limit);
        return false;
    }
    return true;
}

QStringList Unsendable(const QString& text) {
    QStringList found;
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80)
            continue;
        const QString one = QString::fromUcs4(&c, 1);
        const QByteArray utf8 = one.toUtf8();
        if (cp932text::FromUtf8(
                std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))) != "?")
            continue;
        // The code as well as the character: some have no visible shape.
        const QString name =
            QStringLiteral("U+") + QString::number(c, 16).toUpper().rightJustified(4, u'0');
        const QString shown = QStringLiteral("「") + one + QStringLiteral("」(") + name + ")";
        if (!found.contains(shown))
            found.append(shown);
    }
    return found;
}

bool IsId(const QString& text) {
    if (text.size() != 32)
        return false;
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

} // namespace webjson
