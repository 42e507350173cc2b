// SPDX-License-Identifier: Apache-2.0
#include "formats/kit/rowstream.h"
#include "formats/registry.h"
#include "import/dispatch.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace corvane;

// Flame setups read from the file piece by piece: a line cut by a piece's
// end reads as a whole line, errors name their lines, a file that is no
// text is told so first, and a setup whose tracker's channels lie apart
// reads as one whose channels are together.
class TestFlamePieces : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static constexpr qsizetype PieceEnd = qsizetype(4) << 20; // the file is read in 4 MB
    static constexpr int Trackers = 16, Keys = 1500;          // about 5 MB

    // Tracker t at key k (frame k + 1) stands at (100 + 1000 t + k / 4,
    // 50 - 1000 t - k / 8): the reference less the shift.
    static QByteArray channel(int t, const char *part, double start, double step)
    {
        QByteArray out = "Channel t" + QByteArray::number(t) + '/' + part +
                         "\n\tExtrapolation linear\n\tValue " + QByteArray::number(start) + '\n';
        for (int k = 0; step != 0 && k < Keys; ++k)
            out += "\tKey " + QByteArray::number(k) + "\n\t\tFrame " + QByteArray::number(k + 1) +
                   "\n\t\tValue " + QByteArray::number(start + k * step, 'f', 3) +
                   "\n\t\tRHandle_dX 0.333333\n\t\tLHandle_dX -0.333333\n"
                   "\t\tCurveOrder linear\n\t\tEnd\n";
        return out + "\tEnd\n";
    }
    static QByteArray tracker(int t)
    {
        return channel(t, "ref/x", 100, 0) + channel(t, "ref/y", 50, 0) +
               channel(t, "shift/x", -1000.0 * t, -0.25) + channel(t, "shift/y", 1000.0 * t, 0.125);
    }
    static QByteArray setup(const QByteArray &channels)
    {
        return "StabilizerFileVersion 6.0\nFrameWidth 1920\nFrameHeight 1080\nAnim\n" + channels +
               "ChannelEnd\nEnd\n";
    }
    static QByteArray setup()
    {
        QByteArray channels;
        for (int t = 0; t < Trackers; ++t)
            channels += tracker(t);
        return setup(channels);
    }
    // Header lines before the channels, so that target starts `into` bytes
    // before a piece's end.
    static QByteArray placed(QByteArray text, const QByteArray &target, int into)
    {
        qsizetype pad = PieceEnd - into - text.indexOf(target);
        QByteArray lines;
        while (pad > 0) {
            qsizetype n = std::min<qsizetype>(pad, 1000);
            if (pad - n > 0 && pad - n < 5) n -= 5; // a line is at least "Pad \n"
            lines += "Pad " + QByteArray(int(n) - 5, 'x') + '\n';
            pad -= n;
        }
        return text.insert(text.indexOf("Anim\n") + 5, lines);
    }
    static int lineAt(const QByteArray &text, qsizetype at)
    {
        return int(std::count(text.begin(), text.begin() + at, '\n')) + 1;
    }
    // The first row that is not where the setup puts it ("" when all are),
    // tracker 0's x shifted by x0.
    static QString wrongRow(const TrackSet &set, double x0 = 0)
    {
        if (set.count != Trackers * Keys) return QStringLiteral("%1 rows").arg(set.count);
        for (int i = 0; i < set.count; ++i) {
            const int t = i / Keys, k = i % Keys;
            const size_t r = size_t(i);
            if (set.names.at(i) != QStringLiteral("t%1").arg(t) || set.frames[r] != k + 1 ||
                set.x[r] != 100 + 1000.0 * t + k * 0.25 + (t == 0 ? x0 : 0) ||
                set.y[r] != 50 - 1000.0 * t - k * 0.125)
                return QStringLiteral("row %1").arg(i);
        }
        return QString();
    }
    ReadResult readFile(const QByteArray &text)
    {
        const QString path = dir.filePath(QStringLiteral("setup.stabilizer"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
        file.close();
        return dispatch(path, QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
    }

private slots:
    void lineAcrossAPieceEnd_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("into");
        QTest::addColumn<bool>("crlf");
        const QByteArray value = "\t\tValue -5200.250"; // tracker 5, key 801
        QTest::newRow("a line starts the piece") << value << 0 << false;
        QTest::newRow("the piece ends in the tabs") << value << 1 << false;
        QTest::newRow("the piece ends in the digits") << value << 11 << false;
        QTest::newRow("the piece ends before the line end") << value << 17 << false;
        QTest::newRow("the piece ends between CR and LF") << value << 18 << true;
        QTest::newRow("the piece ends in a channel's name")
            << QByteArray("Channel t5/shift/y") << 12 << false;
    }

    // Each line is read whole, its rows right, a bad number in it named
    // with its line, a file cut there told as cut at its last line.
    void lineAcrossAPieceEnd()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, into);
        QFETCH(bool, crlf);
        QByteArray text = setup();
        if (crlf) text.replace("\n", "\r\n");
        text = placed(text, target, into);
        QCOMPARE(text.indexOf(target), PieceEnd - into);
        QCOMPARE(wrongRow(readFile(text).set), QString());

        QByteArray spoiled = text; // the number in or after the line
        const qsizetype number = spoiled.indexOf("Value ", spoiled.indexOf(target)) + 6;
        spoiled[number] = 'x';
        const ReadResult bad = readFile(spoiled);
        QCOMPARE(bad.line, lineAt(text, number));
        QVERIFY2(bad.error.contains(QLatin1String("is not a number")), qPrintable(bad.error));

        const ReadResult cut = readFile(text.first(PieceEnd));
        QCOMPARE(cut.line, lineAt(text, PieceEnd - 1));
        QVERIFY2(cut.error.contains(QLatin1String("the file ends inside")), qPrintable(cut.error));
    }

    // A file that cannot be text is refused as such, as when it is read
    // whole, though a bad number comes long before the fault.
    void textFaultsComeFirst()
    {
        QByteArray text = setup();
        const qsizetype bad = text.indexOf("Value -0.250");
        text.replace(bad, 12, "Value -0.2x0");
        const qsizetype late = qsizetype(9) << 19; // in the second piece
        QByteArray nul = text;
        nul[late] = '\0';
        QByteArray longLine = text;
        longLine.insert(text.indexOf('\n', late) + 1, QByteArray(2 << 20, 'x') + '\n');
        QCOMPARE(readFile(text).line, lineAt(text, bad));
        QVERIFY(readFile(nul).error.contains(QLatin1String("NUL")));
        QVERIFY(readFile(longLine).error.contains(QLatin1String("line longer than 1 MB")));
    }

    // A tracker's channels apart, a channel given again after the next
    // tracker's, an offset set there: all count, from the file and from
    // memory, and a bad number after them is named with its line.
    void channelsApart()
    {
        const Format *flame = formatById(QStringLiteral("flame-stabilizer"));
        QByteArray rest;
        for (int t = 2; t < Trackers; ++t)
            rest += tracker(t);
        const QByteArray first = tracker(0), shiftY = channel(0, "shift/y", 0, 0.125);
        const QByteArray apart = setup(first.first(first.indexOf(shiftY)) + tracker(1) + shiftY +
                                       "Channel t0/ref/x\n\tValue 300\n\tEnd\n"
                                       "Channel t0/offset/x\n\tValue 2\n\tEnd\n" +
                                       rest);
        for (const ReadResult &read : {readFile(apart), flame->read(apart, QString())}) {
            QCOMPARE(wrongRow(read.set, 200), QString());
            QCOMPARE(read.notes.size(), 1);
            QVERIFY(read.notes.first().contains(QLatin1String("\"t0\" has an offset")));
        }
        QByteArray spoiled = apart;
        const qsizetype at = spoiled.lastIndexOf("Value 10050.000");
        spoiled.replace(at + 6, 1, "x");
        QCOMPARE(readFile(spoiled).line, lineAt(spoiled, at));
    }

    // A conversion's stream gives the rows and plate the reading gives, as
    // each tracker's are made; what the reading refuses, notes or reads
    // whole (channels apart) declines, however late it comes.
    void streamsAsItReads()
    {
        struct Gather : RowStream
        {
            TrackSet all;
            bool take(TrackSet &piece) override
            {
                all.plateWidth = piece.plateWidth;
                all.plateHeight = piece.plateHeight;
                all.append(piece);
                return true;
            }
        };
        const Format *flame = formatById(QStringLiteral("flame-stabilizer"));
        auto stream = [&](const QByteArray &text, Gather &out) {
            LineSource lines(text);
            return flame->stream(lines, QString(), out);
        };
        Gather plain;
        QCOMPARE(stream(setup(), plain), Streamed::Read);
        QCOMPARE(wrongRow(plain.all), QString());
        QCOMPARE(plain.all.plateWidth, 1920);
        QCOMPARE(plain.all.plateHeight, 1080);

        const QByteArray channels = tracker(0) + tracker(1);
        const QByteArray shiftY = channel(1, "shift/y", 1000, 0.125);
        QByteArray apart = channels;
        apart.remove(apart.indexOf(shiftY), shiftY.size());
        apart += tracker(2) + shiftY;
        QByteArray badNumber = setup();
        badNumber.replace(badNumber.lastIndexOf("Value ") + 6, 1, "x");
        const QList<std::pair<const char *, QByteArray>> declined{
            {"offset", setup(channels + "Channel t1/offset/y\n\tValue 2\n\tEnd\n")},
            {"channels apart", setup(apart)},
            {"plate after a tracker",
             setup(tracker(0) + tracker(1) + "FrameWidth 720\n" + tracker(2))},
            {"cut short", setup().first(setup().size() - 30)},
            {"tracker count", QByteArray(setup()).replace("Anim\n", "NbTrackers 3\nAnim\n")},
            {"bad number", badNumber},
            {"no key", setup(channel(0, "ref/x", 1, 0))},
        };
        for (const auto &[what, text] : declined) {
            Gather out;
            QVERIFY2(stream(text, out) == Streamed::Declined, what);
            const ReadResult whole = flame->read(text, QString());
            QVERIFY2(!whole.ok() || !whole.notes.isEmpty() ||
                         std::string(what) == "channels apart" ||
                         std::string(what) == "plate after a tracker",
                     what);
        }
    }
};

QTEST_GUILESS_MAIN(TestFlamePieces)
#include "tst_flamepieces.moc"
