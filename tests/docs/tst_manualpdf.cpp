// SPDX-License-Identifier: Apache-2.0
#include "manualpdf.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

using corvane::wrapCodeLine;

namespace {

// What a PDF of Qt's writer draws, read back from the file: where each page
// puts its pictures and the origins of its glyphs, and how each picture is
// stored.
struct StoredPicture
{
    QSize size;
    QString filter;
    QByteArray pixels; // decompressed, as the file holds them
};

struct Page
{
    QSizeF size;
    QList<QPair<QRectF, StoredPicture>> pictures;
    QList<QPointF> glyphs;
};

class Pdf
{
public:
    explicit Pdf(const QByteArray &bytes) : text(QString::fromLatin1(bytes))
    {
        static const QRegularExpression kids(QStringLiteral("/Kids\\s*\\[([^\\]]*)\\]"));
        static const QRegularExpression ref(QStringLiteral("(\\d+) 0 R"));
        for (const auto &kid : ref.globalMatch(kids.match(text).captured(1)))
            pages << page(object(kid.captured(1).toInt()));
    }

    QList<Page> pages;

private:
    QString text;

    QString object(int number) const
    {
        const qsizetype from = text.indexOf(QStringLiteral("\n%1 0 obj").arg(number));
        return from < 0 ? QString()
                        : text.mid(from, text.indexOf(QStringLiteral("endobj"), from) - from);
    }
    QString entry(const QString &dictionary, const QString &key) const
    {
        const QRegularExpression value(QStringLiteral("/%1\\s+(\\d+ 0 R|/?[^\\s/>]+)").arg(key));
        const QString found = value.match(dictionary).captured(1);
        return found.endsWith(QLatin1String(" 0 R")) ? object(found.section(' ', 0, 0).toInt())
                                                           .section(QStringLiteral("obj"), 1)
                                                           .trimmed()
                                                     : found;
    }
    QByteArray stream(const QString &body) const
    {
        const qsizetype start = body.indexOf(QStringLiteral("stream\n")) + 7;
        QByteArray data = body.mid(start, entry(body, QStringLiteral("Length")).toInt()).toLatin1();
        if (entry(body, QStringLiteral("Filter")) != QLatin1String("/FlateDecode")) return data;
        data.prepend(QByteArray(4, '\0')); // qUncompress's size, unknown: it grows as it must
        return qUncompress(data);
    }

    Page page(const QString &dictionary) const
    {
        Page page;
        static const QRegularExpression box(
            QStringLiteral("/MediaBox\\s*\\[0 0 ([\\d.]+) ([\\d.]+)"));
        const auto size = box.match(dictionary);
        page.size = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
        const QString resources = entry(dictionary, QStringLiteral("Resources"));
        // The PDF's matrices [a b c d e f] as QTransform's, which also map row vectors.
        QTransform ctm, text;
        QList<QTransform> saved;
        QStringList operands;
        const QString ops =
            QString::fromLatin1(stream(entry(dictionary, QStringLiteral("Contents"))));
        for (const QString &token : ops.split(QRegularExpression(QStringLiteral("\\s+")))) {
            bool number = false;
            token.toDouble(&number);
            if (number || token.startsWith('/') || token.startsWith('<')) {
                operands << token;
                continue;
            }
            const auto matrix = [&operands](qsizetype at) {
                const auto n = [&](int i) { return operands.at(at + i).toDouble(); };
                return QTransform(n(0), n(1), n(2), n(3), n(4), n(5));
            };
            if (token == QLatin1String("q"))
                saved << ctm;
            else if (token == QLatin1String("Q") && !saved.isEmpty())
                ctm = saved.takeLast();
            else if (token == QLatin1String("cm"))
                ctm = matrix(operands.size() - 6) * ctm;
            else if (token == QLatin1String("Tm"))
                text = matrix(operands.size() - 6);
            else if (token == QLatin1String("Td")) {
                text = QTransform::fromTranslate(operands.at(operands.size() - 2).toDouble(),
                                                 operands.last().toDouble()) *
                       text;
                page.glyphs << (text * ctm).map(QPointF(0, 0));
            } else if (token == QLatin1String("Do")) {
                const QString body = entry(resources, operands.last().mid(1));
                const QRectF drawn = ctm.mapRect(QRectF(0, 0, 1, 1));
                page.pictures.append({drawn,
                                      {QSize(entry(body, QStringLiteral("Width")).toInt(),
                                             entry(body, QStringLiteral("Height")).toInt()),
                                       entry(body, QStringLiteral("Filter")), stream(body)}});
            }
            operands.clear();
        }
        return page;
    }
};

// The page's text area: everything drawn lies within it, in points, with a
// little slack for rounding.
void checkInsideText(const Page &page)
{
    const double margin = corvane::manualMarginMm / 25.4 * 72;
    const QRectF text = QRectF(QPointF(0, 0), page.size).adjusted(margin - 0.5, 0, 0.5 - margin, 0);
    for (const auto &[rect, picture] : page.pictures) {
        QVERIFY2(rect.left() >= text.left() && rect.right() <= text.right(),
                 qPrintable(QStringLiteral("a picture at x %1..%2 of %3..%4")
                                .arg(rect.left())
                                .arg(rect.right())
                                .arg(text.left())
                                .arg(text.right())));
        // Scaled with its aspect kept, not cropped.
        const double aspect = double(picture.size.width()) / picture.size.height();
        QVERIFY(qAbs(rect.width() / rect.height() / aspect - 1) < 0.01);
        QVERIFY2(picture.filter != QLatin1String("/DCTDecode"), "a picture is stored as JPEG");
    }
    for (const QPointF &glyph : page.glyphs)
        QVERIFY2(glyph.x() >= text.left() && glyph.x() <= text.right(),
                 qPrintable(QStringLiteral("a glyph at x %1").arg(glyph.x())));
}

// The pixels as the PDF stores them: 8-bit RGB, row after row.
QByteArray rgbOf(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    return out;
}

} // namespace

class TestManualPdf : public QObject
{
    Q_OBJECT

private slots:
    // Code lines measured in characters: each wrapped line fits, breaks at a
    // space with " \" where it can, and goes on four spaces past the indent.
    void wrapsCodeLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("room");
        QTest::addColumn<QStringList>("wrapped");
        QTest::newRow("fits") << "ls -l /tmp" << 10 << QStringList{"ls -l /tmp"};
        QTest::newRow("trailing blanks do not count")
            << "ls -l /tmp   " << 10 << QStringList{"ls -l /tmp"};
        QTest::newRow("at the last space that fits")
            << "convert --to nuke -o out.nk in.txt" << 20
            << QStringList{"convert --to nuke \\", "    -o out.nk in.txt"};
        QTest::newRow("indented, a run of blanks")
            << "  call(a)      # says why" << 16 << QStringList{"  call(a) \\", "      # says why"};
        QTest::newRow("a word wider than the room")
            << "cat /very/long/path/to/a/file" << 12
            << QStringList{"cat \\", "    /very/l\\", "    ong/pat\\", "    h/to/a/\\", "    file"};
    }
    void wrapsCodeLines()
    {
        QFETCH(QString, line);
        QFETCH(int, room);
        QFETCH(QStringList, wrapped);
        const auto width = [](const QString &s) { return double(s.size()); };
        const QStringList lines = wrapCodeLine(line, room, width);
        QCOMPARE(lines, wrapped);
        for (const QString &l : lines)
            QVERIFY2(l.size() <= room || l == line, qPrintable(l));
    }

    // Room for less than the indent: it ends, and every character is kept.
    void wrapsInTooLittleRoom()
    {
        const QString line = QStringLiteral("        deeply indented words");
        const QStringList lines = wrapCodeLine(line, 3, [](const QString &s) { return s.size(); });
        QVERIFY(lines.size() > 10);
        QString kept = lines.join(QString());
        QCOMPARE(kept.remove(' ').remove('\\'), QString(line).remove(' '));
    }

    // A made-up manual with what ran off the page: a picture wider than the
    // page, one taller than it, and a command line of 200 characters.
    void keepsAManualInsideThePage()
    {
        QTemporaryDir folder;
        QImage wide(1600, 300, QImage::Format_RGB32);
        for (int x = 0; x < wide.width(); ++x)
            for (int y = 0; y < wide.height(); ++y)
                wide.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 251));
        QImage tall(300, 3000, QImage::Format_RGB32);
        tall.fill(Qt::darkCyan);
        QVERIFY(wide.save(folder.filePath("wide.png")) && tall.save(folder.filePath("tall.png")));
        QString command = QStringLiteral("corvane-convert --to nuke-script");
        while (command.size() < 200)
            command += QStringLiteral(" --shift 1,2");
        QFile html(folder.filePath("manual.html"));
        QVERIFY(html.open(QIODevice::WriteOnly));
        html.write(QStringLiteral("<html><body><p>Words.</p><p><img src=\"wide.png\"></p>"
                                  "<pre>%1</pre><p><img src=\"tall.png\"></p></body></html>")
                       .arg(command)
                       .toUtf8());
        html.close();

        QString error;
        QVERIFY2(corvane::writeManualPdf(html.fileName(), folder.filePath("manual.pdf"), &error),
                 qPrintable(error));
        QFile pdf(folder.filePath("manual.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const Pdf read(pdf.readAll());
        QList<StoredPicture> pictures;
        for (const Page &page : read.pages) {
            checkInsideText(page);
            if (QTest::currentTestFailed()) return;
            for (const auto &drawn : page.pictures) {
                pictures << drawn.second;
                QVERIFY(drawn.first.top() >= 0 && drawn.first.bottom() <= page.size.height());
            }
        }
        QCOMPARE(pictures.size(), 2);
        // All the pixels, as they were: scaled on the page, not in the file.
        QCOMPARE(pictures.at(0).size, wide.size());
        QVERIFY(pictures.at(0).pixels == rgbOf(wide));
        QCOMPARE(pictures.at(1).size, tall.size());

        // A picture it cannot find stops it, naming the picture.
        QVERIFY(QFile::remove(folder.filePath("tall.png")));
        QVERIFY(!corvane::writeManualPdf(html.fileName(), folder.filePath("manual.pdf"), &error));
        QVERIFY2(error.contains(QLatin1String("tall.png")), qPrintable(error));
    }

    // The manual the build made: every page keeps its pictures and text
    // inside, and each screenshot is stored with its own pixels.
    void theBuiltManualStaysInsideThePage()
    {
        QFile file(QStringLiteral(CORVANE_BUILT_DOCS "/Corvane.pdf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const Pdf pdf(file.readAll());
        QVERIFY(pdf.pages.size() >= 8);
        QList<QByteArray> shots;
        for (const QString &name :
             QDir(QStringLiteral(CORVANE_BUILT_DOCS "/shots")).entryList({"*.png"}))
            shots << rgbOf(QImage(QStringLiteral(CORVANE_BUILT_DOCS "/shots/") + name));
        int stored = 0;
        for (const Page &page : pdf.pages) {
            checkInsideText(page);
            if (QTest::currentTestFailed()) return;
            for (const auto &drawn : page.pictures)
                stored += shots.contains(drawn.second.pixels);
        }
        QCOMPARE(stored, shots.size());
    }
};

QTEST_MAIN(TestManualPdf)
#include "tst_manualpdf.moc"
