// SPDX-License-Identifier: Apache-2.0
#include "look.h"
#include "mainwindow.h"
#include "splash.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QScreen>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/others/corvane.png")));
    QApplication::setOrganizationName(QStringLiteral("Corvane"));
    QApplication::setApplicationName(QStringLiteral("Corvane"));

    Widget splash;
    splash.resize(432, 284);
    QPoint centre;
    if (QScreen *screen = QGuiApplication::primaryScreen()) centre = screen->geometry().center();
    splash.move(centre.x() - 432 / 2, centre.y() - 284 / 2);
    splash.show();
    app.processEvents();

    QFile font(QStringLiteral(":/others/bna.ttf"));
    if (font.open(QIODevice::ReadOnly)) QFontDatabase::addApplicationFontFromData(font.readAll());

    MainWindow window;
    QApplication::setPalette(look::applicationPalette());
    QFont arial(QStringLiteral("Arial"), 8);
    QApplication::setFont(arial);
    window.setFont(arial);

    window.adjustSize();
    window.move(centre.x() - window.width() / 2, centre.y() - window.height() / 2);
    window.show();
    splash.finish(&window);
    // Files named on the command line open as dropped files do.
    const QStringList files = QApplication::arguments().mid(1);
    for (const QString &file : files)
        window.importDropped(file);
    return app.exec();
}
