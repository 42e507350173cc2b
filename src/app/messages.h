// SPDX-License-Identifier: Apache-2.0
// The window's message boxes, in the application's palette over the window
// they tell about.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

void showMessage(QWidget *over, const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon);
// A Yes/No question; `yesFirst` makes Yes the default button (else No).
bool askYesNo(QWidget *over, const QString &text, bool yesFirst);
