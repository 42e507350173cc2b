// SPDX-License-Identifier: Apache-2.0
#include "mainwindow.h"
#include "splash.h"
#include "startup.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    startup::chooseStyle();
    QApplication app(argc, argv);

    Widget splash;
    splash.resize(432, 284);
    QPoint centre;
    if (QScreen *screen = QGuiApplication::primaryScreen()) centre = screen->geometry().center();
    splash.move(centre.x() - 432 / 2, centre.y() - 284 / 2);
    splash.show();
    app.processEvents();

    startup::prepareApplication();
    MainWindow window;
    startup::applyLook(window);

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
