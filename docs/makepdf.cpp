// SPDX-License-Identifier: Apache-2.0
// Makes the manual's PDF from its HTML at build time, with Qt's own PDF
// writer: makepdf MANUAL.html OUTPUT.pdf
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
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
    document.setHtml(QString::fromUtf8(html.readAll()));
    // The pictures are found beside the HTML and given to the document
    // here; a missing one stops the build rather than leaving a hole. Wide
    // ones are scaled to the page's text width.
    const QDir folder = QFileInfo(args.at(1)).absoluteDir();
    const double widest = 600; // CSS pixels: A4 less the margins, with room to spare
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat()) continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage image(folder.filePath(format.name()));
            if (image.isNull()) {
                std::fprintf(stderr, "makepdf: cannot read the picture %s\n",
                             qPrintable(format.name()));
                return 1;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
            const double scale = std::min(1.0, widest / image.width());
            format.setWidth(image.width() * scale);
            format.setHeight(image.height() * scale);
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            // The text's line spacing would stretch a picture's line by as much.
            QTextBlockFormat spacing = block.blockFormat();
            spacing.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
            cursor.setBlockFormat(spacing);
        }
    }
    QPdfWriter pdf(args.at(2));
    pdf.setTitle(QStringLiteral("Corvane manual"));
    pdf.setCreator(QStringLiteral("Corvane"));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    document.print(&pdf);
    return QFileInfo(args.at(2)).size() > 0 ? 0 : 1;
}
