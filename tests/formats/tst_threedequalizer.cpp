// SPDX-License-Identifier: Apache-2.0
#include "formats/3de/threedequalizer.h"
#include "formats/kit/stoprequest.h"
#include "table/namerule.h"
#include "testdata.h"

#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

using namespace corvane;

class TestThreeDEv4 : public QObject
{
    Q_OBJECT

    static TrackSet read(const QByteArray &text) { return readThreeDEv4(text).set; }

private slots:
    void nameRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("imported");
        QTest::newRow("one digit") << "Track_5"
                                   << "Track_0005";
        QTest::newRow("two digits") << "Track_12"
                                    << "Track_0012";
        QTest::newRow("three digits") << "Track_123"
                                      << "Track_0123";
        QTest::newRow("four digits stay") << "Track_0005"
                                          << "Track_0005";
        QTest::newRow("five digits stay") << "pt_12345"
                                          << "pt_12345";
        QTest::newRow("empty number part") << "pt_"
                                           << "pt_";
        QTest::newRow("last part only") << "a_b_12"
                                        << "a_b_0012";
        QTest::newRow("no underscore") << "corner"
                                       << "corner";
        QTest::newRow("letters stay") << "a_b"
                                      << "a_b";
        QTest::newRow("letters beyond ASCII stay")
            << QStringLiteral("naïve_ü") << QStringLiteral("naïve_ü");
        QTest::newRow("digits and letters stay") << "S01_1a"
                                                 << "S01_1a";
        QTest::newRow("other digits stay")
            << QStringLiteral("pt_\u0663") << QStringLiteral("pt_\u0663");
    }

    void nameRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, imported);
        QCOMPARE(applyNameRule(name), imported);
    }

    void realFileWithNumberedPoints()
    {
        TrackSet set = read(fileContents(samplePath("3de_export_cube.txt")));
        QCOMPARE(set.count, 701);
        QStringList names = set.names.toList();
        names.removeDuplicates();
        QCOMPARE(names.toList(), QStringList({"01", "02", "03", "04", "05", "06", "07", "08"}));
        QCOMPARE(set.firstFrame, QStringLiteral("1"));
        QCOMPARE(*std::max_element(set.frames.begin(), set.frames.end()), 100);
        QCOMPARE(set.names.first(), QStringLiteral("01"));
        QCOMPARE(set.frames[0], 40);
        QCOMPARE(set.x[0], 407.384758225105315);
        QCOMPARE(set.y[0], 232.449011732690479);
        QCOMPARE(set.plateWidth, 0);
    }

    void structuredReading()
    {
        TrackSet set =
            read("2\nTrack_0001\n0\n2\n1 100.5 200.25\n2 101 201\ncorner\n0\n1\n7 50 60\n");
        QCOMPARE(set.count, 3);
        QCOMPARE(set.names.toList(), QStringList({"Track_0001", "Track_0001", "corner"}));
        QCOMPARE(set.frames, std::vector<int>({1, 2, 7}));
        QCOMPARE(set.x[1], 101.0);
        QCOMPARE(set.firstFrame, QStringLiteral("1"));
        // CR LF line ends and a last line without an end read the same.
        TrackSet crlf = read("2\r\nTrack_0001\r\n0\r\n2\r\n1 100.5 200.25\r\n2 101 "
                             "201\r\ncorner\r\n0\r\n1\r\n7 50 60");
        QCOMPARE(crlf.names.toList(), set.names.toList());
        QCOMPARE(crlf.y, set.y);
        // A name that reads as a number, or a blank one, is still a name here.
        TrackSet numbered = read("2\n01\n0\n1\n5 1 2\n\n0\n1\n6 3 4\n");
        QCOMPARE(numbered.names.toList(), QStringList({"01", ""}));
        QCOMPARE(numbered.firstFrame, QStringLiteral("5"));
    }

    void lineRulesWhereTheStructureBreaks()
    {
        // No count line: the line rules read it all. "0" and counts are skipped,
        // a number other than 0 is no name, names get the name rule.
        TrackSet set = read("tracks\nTrack_5\n0\n2\n1 1 1\n2 2 2\n01\n0\n1\n3 3 3\n");
        QCOMPARE(set.names.toList(), QStringList({"Track_0005", "Track_0005", "Track_0005"}));
        // More tracks than the count says: the rest is read by the rules.
        set = read("1\nA\n0\n1\n1 1 1\nB\n0\n1\n2 2 2\n");
        QCOMPARE(set.names.toList(), QStringList({"A", "B"}));
        // A frame count larger than the lines that follow: cut short, what
        // was read is kept.
        ReadResult cut = readThreeDEv4("1\nA\n0\n5\n1 1 1\n2 2 2\n");
        QCOMPARE(cut.set.names.toList(), QStringList({"A", "A"}));
        QCOMPARE(cut.cutShort,
                 QStringLiteral("track \"A\" promises 5 rows, but the file ends after 2."));
        cut = readThreeDEv4("3\nA\n0\n1\n1 1 1\nB\n0\n1\n2 2 2\n");
        QCOMPARE(cut.cutShort, QStringLiteral("the file promises 3 tracks, but it ends after 2."));
        QVERIFY(readThreeDEv4("1\nA\n0\n1\n1 1 1\n").cutShort.isEmpty());
        // An indented frame line has four fields and is skipped; 00 is a name.
        set = read("x\n00\n  9 9 9\n4 4 4\n\n5 5 5\n");
        QCOMPARE(set.names.toList(), QStringList({"00", ""}));
        QCOMPARE(set.frames, std::vector<int>({4, 5}));
        // Two-field lines are skipped; exponents are numbers.
        set = read("x\nA\n1 2\n7 1e1 2E-1\n");
        QCOMPARE(set.count, 1);
        QCOMPARE(set.x[0], 10.0);
        QCOMPARE(set.y[0], 0.2);
    }

    // A frame line with a bad number is an error naming the line and the field.
    void badNumbersAreErrors_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("line");
        const QByteArray head = "1\nA\n0\n2\n1 1 1\n";
        QTest::newRow("word") << head + "2 abc 1\n"
                              << "the X coordinate \"abc\" is not a finite number." << 6;
        QTest::newRow("comma") << head + "2 1 12,5\n"
                               << "the Y coordinate \"12,5\" is not a finite number." << 6;
        QTest::newRow("hex") << head + "2 0x10 1\n"
                             << "the X coordinate \"0x10\" is not a finite number." << 6;
        QTest::newRow("overflow") << head + "2 1e309 1\n"
                                  << "the X coordinate \"1e309\" is not a finite number." << 6;
        QTest::newRow("nan") << head + "2 nan 1\n"
                             << "the X coordinate \"nan\" is not a finite number." << 6;
        // A count is a count: one that is no count of rows, or that the
        // rows do not follow, is wrong (not a name, not the line rules').
        QTest::newRow("huge count")
            << QByteArray("1\nA\n0\n99999999999\n1 1 1\n")
            << "the row count \"99999999999\" of track \"A\" is not a non-negative whole number."
            << 4;
        QTest::newRow("negative count")
            << QByteArray("1\nA\n0\n-3\n1 1 1\n")
            << "the row count \"-3\" of track \"A\" is not a non-negative whole number." << 4;
        QTest::newRow("count beyond the rows")
            << QByteArray("2\nA\n0\n3\n1 1 1\nB\n0\n1\n2 2 2\n")
            << "track \"A\" promises 3 rows, but this line is not row 2 (a frame and two "
               "coordinates)."
            << 6;
        QTest::newRow("cut in the last row") << QByteArray("1\nA\n0\n2\n1 1 1\n2 2")
                                             << "the file ends inside row 2 of track \"A\"." << 6;
        QTest::newRow("half frame")
            << QByteArray("x\nA\n1.5 1 1\n") << "the frame \"1.5\" is not a whole number." << 3;
        QTest::newRow("huge frame") << QByteArray("x\nA\n2147483648 1 1\n")
                                    << "the frame \"2147483648\" is outside the frames Corvane "
                                       "handles (-1000000000 to 1000000000)."
                                    << 3;
    }

    void badNumbersAreErrors()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFETCH(int, line);
        ReadResult result = readThreeDEv4(text);
        QCOMPARE(result.error, error);
        QCOMPARE(result.line, line);
    }

    // The first frame is the smallest frame read, whatever its size.
    void firstFrameIsTheSmallest()
    {
        QCOMPARE(read("1\nA\n0\n2\n1000005 1 1\n1000001 2 2\n").firstFrame,
                 QStringLiteral("1000001"));
        QCOMPARE(read("x\nA\n-7 1 1\n").firstFrame, QStringLiteral("-7"));
        QCOMPARE(read("").count, 0);
        QCOMPARE(read("3\n").count, 0);
    }

    // A stop asked while a large file is read (a signal, Ctrl+C in Python)
    // ends the reading with an error, by its structure or its line rules,
    // never with the rows read so far.
    void stopEndsTheReading_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("structure") << QByteArray("1\nA\n0\n100000\n");
        QTest::newRow("line rules") << QByteArray("x\nA\n");
    }

    void stopEndsTheReading()
    {
        QFETCH(QByteArray, head);
        QByteArray text = head;
        for (int f = 1; f <= 100000; ++f)
            text += QByteArray::number(f) + " 1.5 2.5\n";
        const auto clear = qScopeGuard([] { clearStopRequest(); });
        requestStop();
        ReadResult stopped = readThreeDEv4(text);
        QVERIFY(!stopped.ok());
        QCOMPARE(stopped.error, QLatin1String(stoppedMessage));
        clearStopRequest();
        QCOMPARE(readThreeDEv4(text).set.count, 100000);
    }

    void anyBytesReadWithoutHarm()
    {
        QByteArray good = "2\nA\n0\n2\n1 1 1\n2 2 2\nB\n0\n1\n3 3 3\n";
        for (int cut = 0; cut <= good.size(); ++cut)
            QVERIFY(read(good.left(cut)).count <= 3);
        QRandomGenerator random(7);
        for (int i = 0; i < 200; ++i) {
            QByteArray junk(int(random.bounded(2000)), Qt::Uninitialized);
            for (char &c : junk)
                c = char(random.bounded(256));
            if (i % 2) junk.prepend("99999999\n");
            TrackSet set = read(junk);
            QCOMPARE(set.names.size(), set.count);
        }
    }
};

QTEST_GUILESS_MAIN(TestThreeDEv4)
#include "tst_threedequalizer.moc"
