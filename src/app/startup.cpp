// SPDX-License-Identifier: Apache-2.0
#include "startup.h"

#include "focusstyle.h"
#include "look.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QWidget>

namespace startup {

void chooseStyle()
{
    QApplication::setStyle(new FocusStyle);
}

void prepareApplication()
{
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/others/corvane.png")));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QFile font(QStringLiteral(":/others/bna.ttf"));
    if (font.open(QIODevice::ReadOnly)) QFontDatabase::addApplicationFontFromData(font.readAll());
}

void applyLook(QWidget &window)
{
    QApplication::setPalette(look::applicationPalette());
    QFont arial(QStringLiteral("Arial"), 8);
    QApplication::setFont(arial);
    window.setFont(arial);
}

} // namespace startup
