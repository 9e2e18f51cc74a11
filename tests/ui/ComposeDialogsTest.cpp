// Tests of the composition and entry point dialogs, driven through their real
// widgets while they run modally. GUI thread.
#include "ui/ComposeDialogs.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs script on the modal dialog once it is open. A dialog the script leaves
// open is cancelled after a few seconds, so a failing test cannot hang.
void WhenOpen(std::function<void(QWidget*)> script) {
    QTimer::singleShot(0, [script] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        script(dialog);
    });
    QTimer::singleShot(5000, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
}

// Types text as key presses, one character each, as a keyboard would.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const bool enter = c == QLatin1Char('\n');
        QKeyEvent press(QEvent::KeyPress, enter ? Qt::Key_Return : Qt::Key_unknown, Qt::NoModifier,
                        enter ? QStringLiteral("\r") : QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, enter ? Qt::Key_Return : Qt::Key_unknown,
                          Qt::NoModifier, QString());
        QApplication::sendEvent(widget, &release);
    }
}

template <typename T> T* Child(QWidget* dialog, const char* name) {
    T* child = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void Click(QWidget* dialog, const char* button) {
    Child<QPushButton>(dialog, button)->click();
}

std::string Repeat(const std::string& unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

const std::string kA = "\x82\xa0"; // あ

} // namespace

TEST(ComposeDialogsTest, ThreadDialogSendsShiftJisCutAtCharacterBoundaries) {
    CThreadDraft draft;
    draft.category = "\x8e\x47\x92\x6b"; // 雑談
    bool categoryShownFixed = false;
    WhenOpen([&](QWidget* dialog) {
        auto* category = Child<QComboBox>(dialog, "category");
        categoryShownFixed =
            !category->isEnabled() && category->currentText() == QStringLiteral("雑談");
        // 1 + 49 * 2 bytes fit the title's 100; the 50th あ would split.
        Type(Child<QLineEdit>(dialog, "title"), QStringLiteral("a") + QString(60, QChar(0x3042)));
        Type(Child<QLineEdit>(dialog, "name"), QStringLiteral("名無し"));
        Type(Child<QLineEdit>(dialog, "mail"), QString(60, QLatin1Char('m')));
        auto* body = Child<QPlainTextEdit>(dialog, "body");
        Type(body, QStringLiteral("一\n"));
        body->insertPlainText(QString(2100, QChar(0x3042))); // a paste past 4,000 bytes
        Click(dialog, "send");
    });

    ASSERT_TRUE(RunThreadComposeDialog(nullptr, draft));
    EXPECT_TRUE(categoryShownFixed);
    EXPECT_EQ(draft.title, "a" + Repeat(kA, 49));
    EXPECT_EQ(draft.category, "\x8e\x47\x92\x6b");
    EXPECT_EQ(draft.name, "\x96\xbc\x96\xb3\x82\xb5");
    EXPECT_EQ(draft.mail, std::string(50, 'm'));
    // The line break counts two bytes, CR LF.
    EXPECT_EQ(draft.body, "\x88\xea\r\n" + Repeat(kA, 1998));
}

TEST(ComposeDialogsTest, CancelLeavesTheDraftUntouched) {
    CThreadDraft draft;
    draft.category = "cat";
    WhenOpen([](QWidget* dialog) {
        Type(Child<QLineEdit>(dialog, "title"), QStringLiteral("title"));
        Click(dialog, "cancel");
    });
    EXPECT_FALSE(RunThreadComposeDialog(nullptr, draft));
    EXPECT_EQ(draft.title, "");
    EXPECT_EQ(draft.category, "cat");
}

TEST(ComposeDialogsTest, OverLongFieldOnSendShowsItsLimitAndKeepsTheDialogOpen) {
    CResponseDraft draft;
    QString message;
    bool stayedOpenOnName = false;
    WhenOpen([&](QWidget* dialog) {
        auto* name = Child<QLineEdit>(dialog, "name");
        // Past the check made as text goes in, as text the field failed to stop.
        name->setValidator(nullptr);
        name->setText(QString(51, QLatin1Char('x')));
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        Click(dialog, "send");
        stayedOpenOnName = dialog->isVisible() && dialog->focusWidget() == name;
        name->setText(QStringLiteral("ok"));
        Click(dialog, "send");
    });
    ASSERT_TRUE(RunResponseComposeDialog(nullptr, draft));
    EXPECT_EQ(message, QStringLiteral("50 文字以内で入力してください。"));
    EXPECT_TRUE(stayedOpenOnName);
    EXPECT_EQ(draft.name, "ok");
}

TEST(ComposeDialogsTest, AngleBracketsCountAsTheEscapesTheyAreStoredAs) {
    // 20 "<" are 20 bytes typed but 80 stored as "&lt;": the name's 50 would
    // otherwise be met by cutting an escape in two.
    CResponseDraft draft;
    QString message;
    WhenOpen([&](QWidget* dialog) {
        auto* name = Child<QLineEdit>(dialog, "name");
        name->setText(QString(20, QLatin1Char('<')));
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        Click(dialog, "send");
        name->setText(QString(12, QLatin1Char('>'))); // 48 bytes stored
        Click(dialog, "send");
    });
    ASSERT_TRUE(RunResponseComposeDialog(nullptr, draft));
    EXPECT_EQ(message, QStringLiteral("50 文字以内で入力してください。"));
    EXPECT_EQ(draft.name, std::string(12, '>'));
}

TEST(ComposeDialogsTest, ConnectReturnsTheTypedAddressAndPutsItOnTopOfTheFile) {
    TempDir dir;
    const std::string path = dir / "entrypoint.dat";
    TempDir::WriteFile(path, "10.0.0.1:6340\r\n10.0.0.2\n");
    QString shownFirst;
    int listed = 0;
    WhenOpen([&](QWidget* dialog) {
        auto* edit = Child<QLineEdit>(dialog, "entry");
        shownFirst = edit->text();
        listed = Child<QListWidget>(dialog, "entries")->count();
        edit->clear();
        Type(edit, QStringLiteral("10.0.0.3:7000"));
        Click(dialog, "connect");
    });
    std::string entry;
    ASSERT_TRUE(RunEntryPointDialog(nullptr, path, entry));
    EXPECT_EQ(shownFirst, QStringLiteral("10.0.0.1:6340"));
    EXPECT_EQ(listed, 2);
    EXPECT_EQ(entry, "10.0.0.3:7000");
    EXPECT_EQ(TempDir::ReadFile(path), "10.0.0.3:7000\r\n10.0.0.1:6340\r\n10.0.0.2\r\n");
}

TEST(ComposeDialogsTest, ListChangesAreSavedAtOnceAndCancelReturnsNothing) {
    TempDir dir;
    const std::string path = dir / "entrypoint.dat";
    TempDir::WriteFile(path, "a\r\nb\r\nc\r\n");
    QString picked;
    WhenOpen([&](QWidget* dialog) {
        auto* list = Child<QListWidget>(dialog, "entries");
        list->setCurrentRow(2);
        picked = Child<QLineEdit>(dialog, "entry")->text();
        Click(dialog, "up"); // c moves above b and stays selected
        Click(dialog, "up");
        Click(dialog, "remove"); // c, now first, goes
        Click(dialog, "cancel");
    });
    std::string entry = "unchanged";
    EXPECT_FALSE(RunEntryPointDialog(nullptr, path, entry));
    EXPECT_EQ(picked, QStringLiteral("c"));
    EXPECT_EQ(entry, "unchanged");
    EXPECT_EQ(TempDir::ReadFile(path), "a\r\nb\r\n");
}

TEST(ComposeDialogsTest, FocusOnTheListKeepsTheTypedAddressOnlyASelectionReplacesIt) {
    TempDir dir;
    const std::string path = dir / "entrypoint.dat";
    TempDir::WriteFile(path, "a\r\nb\r\n");
    QString afterFocus;
    QString afterSelect;
    WhenOpen([&](QWidget* dialog) {
        auto* edit = Child<QLineEdit>(dialog, "entry");
        edit->clear();
        Type(edit, QStringLiteral("typed"));
        // Tabbing into the list makes its first row current, unselected.
        auto* list = Child<QListWidget>(dialog, "entries");
        list->setFocus(Qt::TabFocusReason);
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(list, &focusIn);
        afterFocus = edit->text();
        list->item(1)->setSelected(true);
        afterSelect = edit->text();
        Click(dialog, "cancel");
    });
    std::string entry;
    EXPECT_FALSE(RunEntryPointDialog(nullptr, path, entry));
    EXPECT_EQ(afterFocus, QStringLiteral("typed"));
    EXPECT_EQ(afterSelect, QStringLiteral("b"));
}
// Pasted text with line breaks: a single-line field keeps its first line.
TEST(ComposeDialogsTest, SingleLineFieldsKeepTheFirstLineOfWhatIsPasted) {
    CResponseDraft draft;
    WhenOpen([&](QWidget* dialog) {
        auto* title = Child<QLineEdit>(dialog, "title");
        Type(title, QStringLiteral("ab"));
        title->setCursorPosition(1);
        title->insert(QStringLiteral("x\r\ny\nz"));
        QApplication::clipboard()->setText(QStringLiteral("p\nq"));
        Child<QLineEdit>(dialog, "name")->paste();
        Click(dialog, "send");
    });
    ASSERT_TRUE(RunResponseComposeDialog(nullptr, draft));
    EXPECT_EQ(draft.title, "axb");
    EXPECT_EQ(draft.name, "p");

    TempDir dir;
    const std::string path = dir / "entrypoint.dat";
    TempDir::WriteFile(path, "a\r\nb\r\n");
    bool removedByEnter = false;
    WhenOpen([&](QWidget* dialog) {
        // Enter on a focused button presses that button, not "接続".
        Child<QListWidget>(dialog, "entries")->setCurrentRow(1);
        auto* remove = Child<QPushButton>(dialog, "remove");
        remove->setFocus();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(remove, &enter);
        removedByEnter = dialog->isVisible() && Child<QListWidget>(dialog, "entries")->count() == 1;
        auto* edit = Child<QLineEdit>(dialog, "entry");
        edit->clear();
        edit->insert(QStringLiteral("10.0.0.5\r\n10.0.0.6"));
        Click(dialog, "connect");
    });
    std::string entry;
    ASSERT_TRUE(RunEntryPointDialog(nullptr, path, entry));
    EXPECT_TRUE(removedByEnter);
    EXPECT_EQ(entry, "10.0.0.5");
    EXPECT_EQ(TempDir::ReadFile(path), "10.0.0.5\r\na\r\n");
}
