// SPDX-License-Identifier: Apache-2.0
#include "mainwindow.h"
#include "splash.h"
#include "startup.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version are answered on the terminal, without a window (or a display).
bool answeredOnTerminal(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false; // what follows are files
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs("Usage: corvane [FILE...]\n"
                       "Opens Corvane's window; the files named open as if dropped on it.\n\n"
                       "  -h, --help     Show this help and exit.\n"
                       "  -v, --version  Show the version and exit.\n\n"
                       "Conversions without the window: corvane-convert --help.\n",
                       stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::fputs("corvane " CORVANE_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredOnTerminal(argc, argv)) return 0;
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
    QStringList files = QApplication::arguments().mid(1);
    files.removeOne(QStringLiteral("--"));
    for (const QString &file : std::as_const(files))
        window.importDropped(file);
    return app.exec();
}
