// cp932: the widgets' side of the conversion; the bytes themselves are
// converted by the standard-library helper in base/.
#include "ui/Cp932.h"

#include "base/Cp932Text.h"
#include "base/ShiftJis.h"

namespace cp932 {
QString ToQString(std::string_view bytes) {
    const std::string utf8 = cp932text::ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return cp932text::FromUtf8(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string CutToBytes(const std::string& bytes, std::size_t limit) {
    return bytes.substr(0, shiftjis::FitLength(bytes, limit));
}
} // namespace cp932
