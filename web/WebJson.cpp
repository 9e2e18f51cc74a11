// webjson: converting at the API's boundary.
#include "web/WebJson.h"

#include "base/Cp932Text.h"
#include "res/Strings.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace webjson {

QString Text(const std::string& raw) {
    const std::string utf8 = cp932text::ToUtf8(raw);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
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
    const QByteArray utf8 = text.toUtf8();
    raw = cp932text::FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (field.limit != 0 && raw.size() > field.limit) {
        reason = QString::fromUtf8(strings::kTooLong).arg(field.limit);
        return false;
    }
    return true;
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
