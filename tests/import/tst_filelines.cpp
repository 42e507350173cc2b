// SPDX-License-Identifier: Apache-2.0
// Files read line by line, piece by piece: the same lines as the whole text
// cut at once, the same refusals as a file read whole, and the same rows
// from every reader that reads that way.
#include "export/exporter.h"
#include "formats/kit/shapes.h"
#include "formats/kit/stoprequest.h"
#include "formats/registry.h"
#include "import/dispatch.h"
#include "import/filetext.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

QList<QByteArray> scannedLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    LineScanner scanner(text);
    Field line;
    while (scanner.next(line))
        lines.append(line.bytes());
    return lines;
}

QList<QByteArray> fileLines(const QString &path, QString *error = nullptr, int *last = nullptr,
                            qsizetype maxLine = MaxLineLength)
{
    QList<QByteArray> lines;
    FileLines source(path, maxLine);
    Field line;
    while (source.next(line))
        lines.append(line.bytes());
    if (error) *error = source.error();
    if (last) *last = source.number();
    return lines;
}

} // namespace

class TestFileLines : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const char *name, const QByteArray &content)
    {
        return writeFile(dir.filePath(QLatin1String(name)), content);
    }

private slots:
    void sameLinesAsTheWholeText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no last line end") << QByteArray("a b\nc d");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n\r\nc\r\n");
        QTest::newRow("blank lines") << QByteArray("\n\n x \n\n");
        QTest::newRow("lone CR kept inside") << QByteArray("a\rb\nc\r");
        // Lines that run across the pieces a file is read in, and one longer than a piece.
        QByteArray across;
        for (int i = 0; across.size() < (9 << 20); ++i)
            across += QByteArray::number(i) + ' ' + QByteArray(i % 977, 'x') + '\n';
        across += QByteArray(5 << 20, 'y') + "\nlast";
        QTest::newRow("lines across pieces") << across;
    }
    void sameLinesAsTheWholeText()
    {
        QFETCH(QByteArray, text);
        int last = 0;
        QString error;
        // A format may allow lines longer than the pieces the file is read in.
        const QList<QByteArray> lines =
            fileLines(file("lines.txt", text), &error, &last, qsizetype(16) << 20);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(lines, scannedLines(text));
        QCOMPARE(last, int(lines.size()));
        // The same source over bytes in memory.
        LineSource memory(text);
        Field line;
        QList<QByteArray> fromMemory;
        while (memory.next(line))
            fromMemory.append(line.bytes());
        QCOMPARE(fromMemory, lines);
    }

    void marksAndOtherEncodings()
    {
        QCOMPARE(fileLines(file("bom.txt", "\xEF\xBB\xBF"
                                           "a 1\nb 2\n")),
                 QList<QByteArray>({"a 1", "b 2"}));
        const QString text = QStringLiteral("Ünïcode 1\nb 2\n");
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QCOMPARE(fileLines(file("utf16.txt", utf16)),
                 QList<QByteArray>({QStringLiteral("Ünïcode 1").toUtf8(), "b 2"}));
    }

    // A UTF-16 file that cannot be decoded whole is refused at the line of
    // the fault, never read with the fault dropped.
    void brokenUtf16IsRefusedAtItsLine_data()
    {
        QTest::addColumn<QByteArray>("units"); // little-endian, after the mark
        QTest::addColumn<QString>("fault");
        const auto le = [](std::initializer_list<char16_t> text) {
            QByteArray out;
            for (char16_t c : text)
                out.append(char(c & 0xFF)).append(char(c >> 8));
            return out;
        };
        QTest::newRow("odd last byte") << le({u'a', u'\n', u'b'}) + 'c'
                                       << QStringLiteral("line 2: ends in half a UTF-16 character");
        QTest::newRow("lone high surrogate")
            << le({u'a', u'\n', 0xD800, u'b', u'\n'})
            << QStringLiteral("line 2: holds a lone UTF-16 surrogate (U+D800)");
        QTest::newRow("lone low surrogate at the end")
            << le({u'a', u'\n', u'\n', 0xDC01})
            << QStringLiteral("line 3: holds a lone UTF-16 surrogate (U+DC01)");
    }

    void brokenUtf16IsRefusedAtItsLine()
    {
        QFETCH(QByteArray, units);
        QFETCH(QString, fault);
        const QString path = file("broken16.txt", QByteArray("\xFF\xFE", 2) + units);
        const QString name = QDir::toNativeSeparators(path);
        const FileText whole = loadTrackFile(path);
        QVERIFY2(whole.error.startsWith(name + QStringLiteral(", ") + fault),
                 qPrintable(whole.error));
        QString error;
        QVERIFY(fileLines(path, &error).isEmpty());
        QCOMPARE(error, whole.error);
        // A pair is one character, whichever the byte order.
        QByteArray pair("\xFE\xFF\xD8\x3D\xDE\x00\x00\n", 8);
        QCOMPARE(loadTrackFile(file("pair16.txt", pair)).bytes,
                 QStringLiteral("\U0001F600\n").toUtf8());
    }

    // A stop request ends a reading, whole or in pieces, and the table
    // fill; once it was dealt with, the same file reads.
    void stopRequestEndsTheReading()
    {
        QByteArray text = "1\nT\n0\n3\n1 1 1\n2 2 2\n3 3 3\n";
        const QString path = file("stop.txt", text);
        const QString stopped = QString::fromLatin1(stoppedMessage);
        requestStop();
        QCOMPARE(loadTrackFile(path).error, stopped);
        FileLines lines(path);
        Field line;
        QVERIFY(!lines.next(line));
        QCOMPARE(lines.error(), stopped);
        const QString filter = QLatin1String(formatById("3de4")->importFilter);
        QCOMPARE(dispatch(path, filter).error, stopped);
        TrackSet set;
        set.append(QStringLiteral("A"), 1, 0, 0);
        TrackTable table;
        QCOMPARE(fillRows(table, set, prepareFill(table, 1, false), filter), 0);
        clearStopRequest();
        QCOMPARE(dispatch(path, filter).set.count, 3);
    }

    // What a file read whole refuses is refused when it is read in pieces
    // too, however far into the file it lies; the error names the file.
    void refusals()
    {
        QString error;
        QByteArray late(12 << 20, 'a');
        for (qsizetype i = 80; i < late.size(); i += 81)
            late[i] = '\n';
        late[10 << 20] = '\0';
        const QString nul = file("nul.txt", late);
        fileLines(nul, &error);
        QVERIFY2(error.contains(QDir::toNativeSeparators(nul)), qPrintable(error));
        QVERIFY(error.contains(QStringLiteral("NUL bytes")));

        fileLines(file("long.txt", "a\n" + QByteArray((1 << 20) + 10, 'z') + "\nb\n"), &error);
        QVERIFY2(error.contains(QStringLiteral("longer than 1 MB")), qPrintable(error));

        fileLines(dir.filePath(QStringLiteral("missing.txt")), &error);
        QVERIFY(error.contains(QStringLiteral("cannot be opened")));

        // Written to while it is read: refused at its end, not read half old, half new.
        const QString growing = file("growing.txt", QByteArray(9 << 20, '\n'));
        FileLines source(growing);
        Field line;
        QVERIFY(source.next(line));
        {
            QFile f(growing);
            QVERIFY(f.open(QIODevice::Append));
            f.write("more\n");
        }
        while (source.next(line)) {
        }
        QVERIFY2(source.error().contains(QStringLiteral("changed while it was read")),
                 qPrintable(source.error()));
        // A reader taking such a file gets the refusal, not the rows it read.
        const QString shapes = file("nul.ssf", "shake_shape_data 4.0\n" + late);
        ReadResult read = dispatch(shapes, QStringLiteral("Shake RotoShape File (*.ssf)"));
        QVERIFY(!read.ok());
        QVERIFY(read.error.contains(QStringLiteral("NUL bytes")));
    }

    // Every reader that takes files line by line reads a file to the rows,
    // notes and plate it reads from the file's bytes held whole: shape
    // files its own writer made, and the real RotoPaint scripts.
    void readersGiveTheSameRows()
    {
        QList<TestRow> rows;
        for (int s = 1; s <= 40; ++s)
            for (int v = 1; v <= 1 + s % 5; ++v)
                for (int f = 1; f <= 1 + s % 7; ++f)
                    rows.append({shapeVertexName(s, v), f + s, s * 10.5 + v, f * 0.25 - v});
        const TrackTable table = importedTable(rows);
        int checked = 0;
        for (const Format &format : formats()) {
            if (!format.readLines) continue;
            QStringList paths;
            if (format.writer) {
                const QString path = dir.filePath(QStringLiteral("same.") + format.fileExtension());
                QVERIFY(saveAs(table, format.id, path).ok());
                paths << path;
            }
            if (QLatin1String(format.id) == QLatin1String("nuke-rotopaint"))
                paths << sharedSample(QStringLiteral("nuke-rotopaint/planar.nk"))
                      << sharedSample(
                             QStringLiteral("nuke-script/tracker4_with_empty_tracks_knob.nk"));
            for (const QString &path : paths) {
                const ReadResult lines = dispatch(path, QLatin1String(format.importFilter));
                const FileText whole = loadTrackFile(path);
                QVERIFY(whole.ok());
                const ReadResult bytes = readBytes(whole.bytes, path, format);
                QVERIFY2(lines.ok(), qPrintable(lines.error));
                QCOMPARE(lines.set.names.toList(), bytes.set.names.toList());
                QCOMPARE(lines.set.frames, bytes.set.frames);
                QCOMPARE(lines.set.x, bytes.set.x);
                QCOMPARE(lines.set.y, bytes.set.y);
                QCOMPARE(lines.notes, bytes.notes);
                QCOMPARE(lines.set.plateWidth, bytes.set.plateWidth);
                QCOMPARE(lines.set.plateHeight, bytes.set.plateHeight);
                ++checked;
            }
        }
        QVERIFY(checked >= 7);
    }
};

QTEST_GUILESS_MAIN(TestFileLines)
#include "tst_filelines.moc"
