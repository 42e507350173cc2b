// SPDX-License-Identifier: Apache-2.0
#include "manualpdf.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <memory>

namespace corvane {

namespace {

const QString continuation = QStringLiteral(" \\");

qsizetype leadingSpaces(const QString &text)
{
    qsizetype n = 0;
    while (n < text.size() && text.at(n) == QLatin1Char(' '))
        ++n;
    return n;
}

QString withoutTrailingSpaces(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

// The HTML's sizes are CSS pixels, 96 to the inch (makepdf has Qt assume a
// screen of 96 dpi); Qt's layout scales them to the writer's resolution.
constexpr double cssPixelsPerInch = 96;
constexpr double cssPixelsPerMm = cssPixelsPerInch / 25.4;

// A picture and its caption share a page: a picture is at most this much of
// the text's height.
constexpr double pictureHeightShare = 0.85;

// Gives every picture the document names to it, from beside the HTML.
bool loadPictures(QTextDocument &document, const QDir &folder, QString *error)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QString name = format.toImageFormat().name();
            const QImage image(folder.filePath(name));
            if (image.isNull()) {
                *error = QStringLiteral("cannot read the picture %1").arg(name);
                return false;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(name), image);
        }
    }
    return true;
}

// The document as it is drawn: laid out afresh at the writer's resolution
// on A4 pages with the manual's margins (a layout begun at the screen's
// resolution does not follow a new paint device).
std::unique_ptr<QTextDocument> layOutPages(const QTextDocument &source, QPdfWriter &pdf)
{
    std::unique_ptr<QTextDocument> document(source.clone());
    document->documentLayout()->setPaintDevice(&pdf);
    QTextFrameFormat frame = document->rootFrame()->frameFormat();
    frame.setMargin(manualMarginMm * cssPixelsPerMm);
    document->rootFrame()->setFrameFormat(frame);
    document->setPageSize(QSizeF(pdf.width(), pdf.height()));
    document->documentLayout()->documentSize(); // lays out all of it
    return document;
}

// The width the pages give each block's lines. A line too wide for the page
// is laid out as wide as it is, so this is measured on a copy whose pictures
// are one pixel and whose code lines may break.
QList<double> roomOfBlocks(const QTextDocument &source, QPdfWriter &pdf)
{
    const std::unique_ptr<QTextDocument> copy(source.clone());
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        QTextCursor cursor(block);
        QTextBlockFormat breakable = block.blockFormat();
        breakable.setNonBreakableLines(false);
        cursor.setBlockFormat(breakable);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().isImageFormat()) continue;
            QTextImageFormat dot = it.fragment().charFormat().toImageFormat();
            dot.setWidth(1);
            dot.setHeight(1);
            cursor.setPosition(it.fragment().position());
            cursor.setPosition(it.fragment().position() + it.fragment().length(),
                               QTextCursor::KeepAnchor);
            cursor.setCharFormat(dot);
        }
    }
    const std::unique_ptr<QTextDocument> pages = layOutPages(*copy, pdf);
    QList<double> rooms;
    for (QTextBlock block = pages->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *layout = block.layout();
        rooms << (layout && layout->lineCount() > 0 ? layout->lineAt(0).width() : 0.0);
    }
    return rooms;
}

// Fits what would leave the page into the room the pages give each block:
// pictures are scaled down with their aspect kept, and code lines, which
// keep their breaks as written, are wrapped as a shell continues a line.
void fitToPage(QTextDocument &source, QPdfWriter &pdf)
{
    const double deviceScale = pdf.logicalDpiY() / cssPixelsPerInch;
    const double textHeight = pdf.height() - 2 * manualMarginMm * cssPixelsPerMm * deviceScale;
    const QList<double> rooms = roomOfBlocks(source, pdf);
    int index = 0;
    for (QTextBlock block = source.begin(); block.isValid() && index < rooms.size();
         block = block.next(), ++index) {
        const double room = rooms.at(index);
        if (room <= 0) continue;
        QList<QTextFragment> pictures;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) pictures << it.fragment();
        for (const QTextFragment &fragment : std::as_const(pictures)) {
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage image =
                source.resource(QTextDocument::ImageResource, QUrl(format.name())).value<QImage>();
            const double scale =
                std::min({1.0, room / deviceScale / image.width(),
                          textHeight * pictureHeightShare / deviceScale / image.height()});
            // The layout rounds sizes to whole pixels: round the width down, so
            // that a picture as wide as the text stays inside it, and the
            // height to the nearest that keeps the aspect.
            const double width = std::floor(image.width() * scale);
            format.setWidth(width);
            format.setHeight(std::round(width * image.height() / image.width()));
            QTextCursor cursor(&source);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            // The text's line spacing would stretch the picture's line by as much.
            QTextBlockFormat spacing = block.blockFormat();
            spacing.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
            cursor.setBlockFormat(spacing);
        }
        if (!block.blockFormat().nonBreakableLines()) continue;
        QTextCursor cursor(block);
        // The lines of a code block follow each other without gaps.
        QTextBlockFormat spacing = block.blockFormat();
        spacing.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
        cursor.setBlockFormat(spacing);
        QFont font = source.defaultFont();
        if (block.begin() != block.end())
            font = block.begin().fragment().charFormat().font().resolve(font);
        const QFontMetricsF metrics(font, &pdf);
        const auto width = [&metrics](const QString &text) {
            return metrics.horizontalAdvance(text);
        };
        QStringList lines;
        for (const QString &line : block.text().split(QChar::LineSeparator))
            lines << wrapCodeLine(line, room, width);
        const QString text = lines.join(QChar::LineSeparator);
        if (text == block.text()) continue;
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(text);
    }
}

} // namespace

QStringList wrapCodeLine(const QString &line, double room,
                         const std::function<double(const QString &)> &width)
{
    QStringList lines;
    const QString indent(leadingSpaces(line) + 4, QLatin1Char(' '));
    QString rest = line;
    while (width(rest) > room) {
        rest = withoutTrailingSpaces(rest);
        if (width(rest) <= room) break;
        const qsizetype lead = leadingSpaces(rest);
        // The last space before which the line still fits with its " \";
        // failing that, the most characters that fit with a "\".
        qsizetype cut = -1;
        for (qsizetype i = rest.size() - 1; i > lead && cut < 0; --i) {
            if (rest.at(i) != QLatin1Char(' ')) continue;
            const QString head = withoutTrailingSpaces(rest.left(i));
            if (head.size() > lead && width(head + continuation) <= room) cut = i;
        }
        if (cut >= 0) {
            lines << withoutTrailingSpaces(rest.left(cut)) + continuation;
            rest = indent + rest.mid(cut).trimmed();
            continue;
        }
        if (rest.size() <= lead + 1) break; // one character wider than the room
        qsizetype keep = rest.size() - 1;
        while (keep > lead + 1 && width(rest.left(keep) + QLatin1Char('\\')) > room)
            --keep;
        lines << rest.left(keep) + QLatin1Char('\\');
        rest = indent + rest.mid(keep);
    }
    lines << rest;
    return lines;
}

bool writeManualPdf(const QString &htmlPath, const QString &pdfPath, QString *error)
{
    QFile html(htmlPath);
    if (!html.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(htmlPath);
        return false;
    }
    QPdfWriter pdf(pdfPath);
    pdf.setTitle(QStringLiteral("Corvane manual"));
    pdf.setCreator(QStringLiteral("Corvane"));
    // The whole sheet is the writer's: the margins are the text frame's, so
    // that the page number can sit in the bottom one.
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));

    QTextDocument source;
    source.setHtml(QString::fromUtf8(html.readAll()));
    if (!loadPictures(source, QFileInfo(htmlPath).absoluteDir(), error)) return false;
    fitToPage(source, pdf);
    const std::unique_ptr<QTextDocument> document = layOutPages(source, pdf);

    QPainter painter;
    if (!painter.begin(&pdf)) {
        *error = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    // Else Qt's writer stores the screenshots as JPEG, which blurs their text.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    const QSizeF page = document->pageSize();
    const double margin = manualMarginMm * pdf.logicalDpiX() / 25.4;
    for (int number = 1; number <= document->pageCount(); ++number) {
        if (number > 1) pdf.newPage();
        const QRectF view(0, (number - 1) * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        document->documentLayout()->draw(&painter, context);
        painter.restore();

        painter.setFont(document->defaultFont());
        const QString label = QString::number(number);
        const QFontMetricsF metrics(document->defaultFont(), &pdf);
        painter.drawText(QPointF(page.width() - margin - metrics.horizontalAdvance(label),
                                 page.height() - margin / 2),
                         label);
    }
    if (!painter.end() || QFileInfo(pdfPath).size() == 0) {
        *error = QStringLiteral("could not write %1").arg(pdfPath);
        return false;
    }
    return true;
}

} // namespace corvane
