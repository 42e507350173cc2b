// SPDX-License-Identifier: Apache-2.0
#include "dialogm.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

DialogM::DialogM(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Attention!"));
    setFixedSize(380, 100);
    setFont(QFont(QStringLiteral("Arial"), 8));

    auto *ic = new QLabel(this);
    ic->setObjectName(QStringLiteral("ic"));
    ic->setPixmap(QPixmap(QStringLiteral(":/others/Move.png")));
    ic->setGeometry(10, 10, 48, 48);

    auto *attention = new QLabel(QStringLiteral("What would you like to do?"), this);
    attention->setObjectName(QStringLiteral("attention"));
    attention->setGeometry(70, 8, 300, 18);

    m_importLabel = new QLabel(this);
    m_importLabel->setObjectName(QStringLiteral("importLabel"));
    m_importLabel->setGeometry(70, 28, 300, 32); // two lines: the longest filters fit
    m_importLabel->setWordWrap(true);

    auto *newGridList = new QPushButton(QStringLiteral("New Grid List"), this);
    newGridList->setObjectName(QStringLiteral("newGridList"));
    newGridList->setGeometry(70, 64, 95, 26);
    auto *addtoCurrentList = new QPushButton(QStringLiteral("Add to Curent List"), this);
    addtoCurrentList->setObjectName(QStringLiteral("addtoCurrentList"));
    addtoCurrentList->setGeometry(170, 64, 110, 26);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(285, 64, 85, 26);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    QFile font(QStringLiteral(":/others/bna.ttf"));
    if (font.open(QIODevice::ReadOnly)) QFontDatabase::addApplicationFontFromData(font.readAll());

    QMetaObject::connectSlotsByName(this);
}

QString DialogM::ask()
{
    m_answer = QStringLiteral("cancel");
    exec();
    return m_answer;
}

void DialogM::setMessage(const QString &message)
{
    m_importLabel->setText(message);
    m_importLabel->setToolTip(message);
    m_importLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

void DialogM::on_newGridList_clicked()
{
    m_answer = QStringLiteral("new");
    close();
}

void DialogM::on_addtoCurrentList_clicked()
{
    m_answer = QStringLiteral("add");
    close();
}

void DialogM::on_cancel_clicked()
{
    m_answer = QStringLiteral("cancel");
    close();
}
