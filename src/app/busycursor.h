// SPDX-License-Identifier: Apache-2.0
// The busy cursor of the long operations, restored however the scope ends.
#pragma once

#include <QApplication>
#include <QCursor>
#include <QPixmap>

class BusyCursor
{
public:
    BusyCursor()
    {
        QPixmap picture(QStringLiteral(":/others/cursor.png"));
        QApplication::setOverrideCursor(
            QCursor(picture, picture.width() / 2, picture.height() / 2));
    }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};
