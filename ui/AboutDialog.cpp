// CAboutDialog: the application icon, the version line and OK. GUI thread.
#include "ui/AboutDialog.h"

#include "ui/AppIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("pelmarのﾊﾞｰｼﾞｮﾝ情報"));

    auto* icon = new QLabel(this);
    icon->setPixmap(MakeApplicationIcon().pixmap(32, 32));
    auto* text = new QLabel(QString::fromUtf8("pelmar プロトタイプ Version 0.1.2"), this);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
