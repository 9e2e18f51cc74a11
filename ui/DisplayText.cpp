// Single-line display of peer texts. GUI thread.
#include "ui/DisplayText.h"

#include "ui/Cp932.h"

namespace displaytext {

QString SingleLine(std::string_view bytes) {
    QString text = cp932::ToQString(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString Label(std::string_view bytes) {
    return SingleLine(bytes).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString WindowTitle(std::string_view title) {
    // The title bar shows "[*][*]" as "[*]" and drops a lone "[*]".
    return QStringLiteral("pelmar - ") +
           SingleLine(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace displaytext
