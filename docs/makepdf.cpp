// SPDX-License-Identifier: Apache-2.0
// Makes the manual's PDF from its HTML at build time, with Qt's own PDF
// writer: makepdf MANUAL.html OUTPUT.pdf
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: makepdf MANUAL.html OUTPUT.pdf\n");
        return 1;
    }
    QFile html(args.at(1));
    if (!html.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "makepdf: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QTextDocument document;
    document.setBaseUrl(
        QUrl::fromLocalFile(QFileInfo(args.at(1)).absolutePath() + QLatin1Char('/')));
    document.setHtml(QString::fromUtf8(html.readAll()));
    QPdfWriter pdf(args.at(2));
    pdf.setTitle(QStringLiteral("Corvane manual"));
    pdf.setCreator(QStringLiteral("Corvane"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    document.print(&pdf);
    return QFileInfo(args.at(2)).size() > 0 ? 0 : 1;
}
