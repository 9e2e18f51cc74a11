// bytelimit: counting and keeping composition fields within their CP932 byte
// limits (and single-line fields to one line) while the user types, and the
// check made when sending.
#include "ui/ByteLimit.h"

#include "res/Strings.h"
#include "ui/Cp932.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <algorithm>
#include <memory>

namespace {

// Bytes of one character (or surrogate pair); ASCII needs no conversion.
std::size_t UnitBytes(QStringView unit, bool crlf) {
    if (unit.size() == 1 && unit[0].unicode() < 0x80)
        return (crlf && unit[0] == QLatin1Char('\n')) ? 2 : 1;
    return cp932::FromQString(unit.toString()).size();
}

// What to remove so that a text fits its limit after an insertion that ended
// at the cursor: the end of the insertion, keeping what was there before.
struct CCut {
    qsizetype from = 0;
    qsizetype to = 0; // nothing to remove when equal
};

CCut CutAroundCursor(const QString& text, qsizetype cursor, std::size_t limit, bool crlf) {
    cursor = std::clamp<qsizetype>(cursor, 0, text.size());
    const std::size_t tailBytes = bytelimit::CountBytes(text.mid(cursor), crlf);
    if (tailBytes > limit) // too long even without what comes before: keep the start
        return {bytelimit::FitToBytes(text, limit, crlf).size(), text.size()};
    return {bytelimit::FitToBytes(text.left(cursor), limit - tailBytes, crlf).size(), cursor};
}

qsizetype FirstLineBreak(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n'))
            return i;
    }
    return -1;
}

class CByteLimitValidator : public QValidator {
public:
    static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

    CByteLimitValidator(std::size_t limit, QObject* parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString& input, int& pos) const override {
        // A single-line field takes one line: pasted text ends at its first
        // line break. Only an insertion can bring one, and it ends at pos.
        const qsizetype lineBreak = FirstLineBreak(input);
        if (lineBreak >= 0) {
            const qsizetype end = std::clamp<qsizetype>(pos, lineBreak, input.size());
            input.remove(lineBreak, end - lineBreak);
            input.remove(QLatin1Char('\r'));
            input.remove(QLatin1Char('\n'));
            pos = static_cast<int>(std::min<qsizetype>(pos, lineBreak));
        }
        if (m_limit == kNoLimit || bytelimit::CountBytes(input) <= m_limit)
            return Acceptable;
        const CCut cut = CutAroundCursor(input, pos, m_limit, false);
        input.remove(cut.from, cut.to - cut.from);
        pos = static_cast<int>(cut.from);
        return Acceptable;
    }

private:
    std::size_t m_limit;
};

} // namespace

namespace bytelimit {

std::size_t CountBytes(const QString& text, bool crlf) {
    std::size_t bytes = cp932::FromQString(text).size();
    if (crlf)
        bytes += static_cast<std::size_t>(text.count(QLatin1Char('\n')));
    return bytes;
}

std::size_t StoredBytes(const QString& text, bool crlf) {
    const auto brackets =
        static_cast<std::size_t>(text.count(QLatin1Char('<')) + text.count(QLatin1Char('>')));
    return CountBytes(text, crlf) + 3 * brackets;
}

QString FitToBytes(const QString& text, std::size_t budget, bool crlf) {
    std::size_t used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        const std::size_t bytes = UnitBytes(QStringView(text).mid(i, n), crlf);
        if (used + bytes > budget)
            break;
        used += bytes;
        i += n;
    }
    return text.left(i);
}

std::string BodyBytes(const QString& text) {
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return cp932::FromQString(lines);
}

void Apply(QLineEdit* edit, std::size_t limit) {
    edit->setValidator(new CByteLimitValidator(limit, edit));
}

void KeepOneLine(QLineEdit* edit) {
    edit->setValidator(new CByteLimitValidator(CByteLimitValidator::kNoLimit, edit));
}

void Apply(QPlainTextEdit* edit, std::size_t limit) {
    // The document tells where an insertion ended; the cut is made once the
    // change is complete, not from inside the document's own notification.
    auto insertionEnd = std::make_shared<int>(-1);
    auto cutting = std::make_shared<bool>(false);
    QObject::connect(edit->document(), &QTextDocument::contentsChange, edit,
                     [insertionEnd](int position, int, int added) {
                         if (added > 0)
                             *insertionEnd = position + added;
                     });
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [=] {
        const int end = *insertionEnd;
        *insertionEnd = -1;
        if (*cutting || end < 0)
            return;
        const QString text = edit->toPlainText();
        if (CountBytes(text, true) <= limit)
            return;
        const CCut cut = CutAroundCursor(text, end, limit, true);
        if (cut.to <= cut.from)
            return;
        *cutting = true;
        QTextCursor cursor(edit->document());
        cursor.setPosition(static_cast<int>(cut.from));
        cursor.setPosition(static_cast<int>(cut.to), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        edit->setTextCursor(cursor);
        *cutting = false;
    });
}

bool Check(QWidget* dialog, QWidget* field, std::size_t bytes, std::size_t limit) {
    if (bytes <= limit)
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("pelmar"),
                    QString::fromUtf8(strings::kTooLong).arg(limit), QMessageBox::Ok, dialog);
    box.setObjectName(QStringLiteral("tooLong"));
    box.exec();
    field->setFocus();
    return false;
}

} // namespace bytelimit
