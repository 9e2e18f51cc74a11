// Qt's own texts in Japanese: the Yes button of a question and the edit
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
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")));
    EXPECT_TRUE(menu->actions().first()->text().contains(QString::fromUtf8("元に戻す")))
        << menu->actions().first()->text().toStdString();
    QCoreApplication::removeTranslator(translator); // later tests see Qt as it was
    delete translator;
}
