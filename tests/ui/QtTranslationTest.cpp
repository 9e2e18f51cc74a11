// Qt's own texts in Japanese: the Yes/No buttons of a question and the edit
// fields' menus, whatever the locale.
#include "ui/QtTranslation.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>

TEST(QtTranslationTest, StandardButtonsAndEditMenusReadJapanese) {
    QTranslator* translator = InstallQtJapanese(*qApp);
    ASSERT_NE(translator, nullptr);
    QMessageBox box(QMessageBox::NoIcon, "pelmar", "?", QMessageBox::Yes | QMessageBox::No);
    const QString yes = box.button(QMessageBox::Yes)->text();
    const QString no = box.button(QMessageBox::No)->text();
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            items << action->text();
    // Later tests see Qt as it was.
    QCoreApplication::removeTranslator(translator);
    delete translator;

    EXPECT_TRUE(yes.contains(QString::fromUtf8("はい"))) << yes.toStdString();
    EXPECT_TRUE(no.contains(QString::fromUtf8("いいえ"))) << no.toStdString();
    EXPECT_FALSE(items.filter(QString::fromUtf8("貼り付け")).isEmpty())
        << items.join(',').toStdString();
    EXPECT_FALSE(items.filter(QString::fromUtf8("元に戻す")).isEmpty())
        << items.join(',').toStdString();
}
