// SPDX-License-Identifier: Apache-2.0
// Makes the manual's PDF from its HTML at build time, with Qt's own PDF
// writer: makepdf MANUAL.html OUTPUT.pdf
#include "manualpdf.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The HTML's pixels are 96 to the inch whatever screen the build runs on.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: makepdf MANUAL.html OUTPUT.pdf\n");
        return 1;
    }
    // A missing picture stops the build rather than leaving a hole.
    QString error;
    if (!corvane::writeManualPdf(args.at(1), args.at(2), &error)) {
        std::fprintf(stderr, "makepdf: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
