// SPDX-License-Identifier: Apache-2.0
#include "messages.h"

#include <QApplication>

void showMessage(QWidget *over, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, over);
    box.setPalette(QApplication::palette());
    box.exec();
}

bool askYesNo(QWidget *over, const QString &text, bool yesFirst)
{
    QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    over);
    box.setDefaultButton(yesFirst ? QMessageBox::Yes : QMessageBox::No);
    box.setPalette(QApplication::palette());
    return box.exec() == QMessageBox::Yes;
}
