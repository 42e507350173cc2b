// SPDX-License-Identifier: Apache-2.0
// Shapes: the shared ordering of shape rows, Shake RotoShape and Nuke
// RotoPaint written byte for byte and read back, and the real RotoPaint script.
#include "cliprocess.h"
#include "export/exporter.h"
#include "formats/kit/shapereading.h"
#include "formats/kit/shapes.h"
#include "formats/nuke/nukecurvetree.h"
#include "formats/registry.h"
#include "import/dispatch.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestShapes : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    using Row = TestRow;

    static TrackTable table(const QList<Row> &rows) { return importedTable(rows); }

    ExportResult save(const TrackTable &t, const char *id, const QString &file, int w = 2048,
                      int h = 1556)
    {
        return saveAs(t, id, dir.filePath(file), w, h);
    }

    // A shape of `vertices` vertices keyed on `frames` frames from 1.
    static QList<Row> shape(int number, int vertices, int frames)
    {
        QList<Row> rows;
        for (int v = 1; v <= vertices; ++v)
            for (int f = 1; f <= frames; ++f)
                rows.append({shapeVertexName(number, v), f, 10.0 * v + f, 20.0 * v - f});
        return rows;
    }

private slots:
    void shakeRotoShape()
    {
        ExportResult r = save(table(shape(1, 3, 2)), "shake-rotoshape", QStringLiteral("a.ssf"));
        QVERIFY(r.ok());
        QByteArray written = fileContents(dir.filePath(QStringLiteral("a.ssf")));
        auto vertexLine = [](std::initializer_list<std::pair<double, double>> points) {
            QByteArray line = "vertex_data ";
            for (auto [x, y] : points)
                for (int i = 0; i < 6; ++i)
                    line +=
                        QByteArray::number(x, 'f', 6) + ' ' + QByteArray::number(y, 'f', 6) + ' ';
            return line + '\n';
        };
        auto key = [&](int frame, std::initializer_list<std::pair<double, double>> points) {
            return "key_time " + QByteArray::number(frame) +
                   ".000000\ncenter_x 1024.000000\ncenter_y 778.500000\ncolor_r 1.000000\n"
                   "color_g 1.000000\ncolor_b 1.000000\ncolor_a 1.000000\n" +
                   vertexLine(points);
        };
        QCOMPARE(written, "shake_shape_data 4.0\nmotion_blur 0.000000\nshutter_timing 0.000000\n"
                          "shutter_offset 0.500000\nnum_shapes 1\nshape_name Shape1\n"
                          "parent_name \nclosed 1\nvisible 1\nlocked 0\ntangents 1\n"
                          "edge_shape 1\nnum_vertices 3\nnum_key_times 2\n" +
                              key(1, {{11, 19}, {21, 39}, {31, 59}}) +
                              key(2, {{12, 18}, {22, 38}, {32, 58}}) + "\n");
        TrackSet back = dispatch(dir.filePath(QStringLiteral("a.ssf")),
                                 QStringLiteral("Shake RotoShape File (*.ssf)"))
                            .set;
        QCOMPARE(back.count, 6);
        QCOMPARE(back.names.at(2), QStringLiteral("S01_Track_0002"));
        QCOMPARE(back.frames, std::vector<int>({1, 2, 1, 2, 1, 2}));
        QCOMPARE(back.x.at(3), 22.0);

        // Other programs: numbers without six decimals; vertex data before any key time.
        QString other = writeFile(dir.filePath(QStringLiteral("o.ssf")),
                                  "shake_shape_data 4.0\nshape_name outline\nnum_key_times 1\n"
                                  "key_time 7\nvertex_data 1 2 0 0 0 0 0 0 0 0 0 0\n");
        QCOMPARE(dispatch(other, QStringLiteral("Shake RotoShape File (*.ssf)")).set.y,
                 std::vector<double>({2}));
        QString early = writeFile(dir.filePath(QStringLiteral("e.ssf")),
                                  "shake_shape_data 4.0\nshape_name a\nvertex_data 1 2\n");
        QCOMPARE(dispatch(early, QStringLiteral("Shake RotoShape File (*.ssf)")).error,
                 early + QStringLiteral(", line 3: vertex data comes before any key time."));
    }

    // Many shapes: numbered in order, read back whole.
    // Shake RotoShape lines are read by their first words, whatever blanks
    // part the words: "vertex_data" followed by a tab is a key's vertices,
    // a longer word that starts like it is not.
    void shakeRotoShapeFirstWords()
    {
        auto twelve = [](const char *x, const char *y) {
            QByteArray numbers;
            for (int i = 0; i < 6; ++i)
                numbers += QByteArray(x) + '\t' + y + ' ';
            return numbers;
        };
        const QByteArray file = "shake_shape_data 4.0\nnum_shapes 1\nshape_name\tShape1\n"
                                "num_key_times\t2\nkey_time\t3.000000\nvertex_dataX " +
                                twelve("1", "2") + "\nvertex_data\t" + twelve("5", "6") +
                                "\n  key_time 4.0\r\n\tvertex_data  " + twelve("7", "8") + "\n";
        const QString path = writeFile(dir.filePath(QStringLiteral("words.ssf")), file);
        const ReadResult read = dispatch(path, QStringLiteral("Shake RotoShape File (*.ssf)"));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.set.count, 2);
        QCOMPARE(read.set.frames, std::vector<int>({3, 4}));
        QCOMPARE(read.set.x, std::vector<double>({5, 7}));
        QCOMPARE(read.set.y, std::vector<double>({6, 8}));
        QVERIFY(read.cutShort.isEmpty());
    }

    void manyShapes()
    {
        QList<Row> rows;
        for (int s = 1; s <= 100; ++s)
            rows += shape(s, 2, 2);
        QVERIFY(save(table(rows), "shake-rotoshape", QStringLiteral("many.ssf")).ok());
        QByteArray written = fileContents(dir.filePath(QStringLiteral("many.ssf")));
        QCOMPARE(written.count("shape_name Shape"), 100);
        QVERIFY(written.indexOf("shape_name Shape50\n") < written.indexOf("shape_name Shape51\n"));
        QVERIFY(written.endsWith("\n\n"));
        TrackSet back = dispatch(dir.filePath(QStringLiteral("many.ssf")),
                                 QStringLiteral("Shake RotoShape File (*.ssf)"))
                            .set;
        QCOMPARE(back.count, 400);
        QCOMPARE(back.names.at(200), QStringLiteral("S51_Track_0001"));
        QCOMPARE(back.x.at(200), 11.0);
    }

    // Every shape writer's bytes and notes, on a table with the awkward
    // cases mixed in: prefixes that sort as text ("S10" before "S2"),
    // vertices missing at some keys, a repeated vertex and frame, point
    // tracks, negative frames, long and tiny fractions, rows out of order,
    // and enough small shapes to cross the writers' flushes.
    void writtenBytesStayTheSame()
    {
        QList<Row> rows;
        const char *prefixes[] = {"S2", "S10", "S01", "Sx", "S02"};
        for (int s = 0; s < 5; ++s)
            for (int v = 1; v <= s + 1; ++v)
                for (int f = -3; f <= 6; ++f) {
                    if ((v + f) % 4 == 0) continue;
                    const QString name =
                        QLatin1String(prefixes[s]) + QStringLiteral("_Track_%1").arg(v);
                    rows.append({name, f * (s + 1), 100.0 / 3 * v + f, -0.0000004 * f + 1e7 * s});
                }
        std::reverse(rows.begin(), rows.begin() + rows.size() / 2);
        rows.insert(7, {QStringLiteral("Tracker1"), 4, 5.5, 6.5});
        rows.append({QStringLiteral("S01_Track_1"), 3, 0.125, 0.875}); // repeats frame 3
        for (int s = 0; s < 3000; ++s)
            rows.append({QStringLiteral("S%1_Track_0001").arg(100 + s), s % 7, s * 0.1, s * 0.2});
        const TrackTable t = table(rows);

        const QHash<QString, QByteArray> expected = {
            {QStringLiteral("nuke-rotopaint"),
             "ca20ee8239233d4edf0c33742f5df34b1d13c292c498990a4ecad646aa0f4676"},
            {QStringLiteral("shake-rotoshape"),
             "87dd79b3a438e9e09d63ae20b75ad6e306d97aa929deb04d7c5e773c88f8b1cb"},
            {QStringLiteral("fusion-mask"),
             "1d7fc1850bdd0b9c900d9bba8c7452e6f87f4b78b2cff3e6ad8ce22c596cf204"},
            {QStringLiteral("ae-mask"),
             "b2f0dad75890035fdcba1cf89c71dcc46c16a7905aad641adea851a684ea4017"},
            {QStringLiteral("combustion-gmask"),
             "03f61024f5fda03c7c06582b451223ee2141c4096efe9c7f2b65fea681e1be98"},
        };
        int checked = 0;
        for (const Format &format : formats()) {
            if (!format.shapes || !format.writer) continue;
            const QString file = QStringLiteral("bytes.") + format.fileExtension();
            ExportResult r = save(t, format.id, file, 1920, 1080);
            QVERIFY2(r.ok(), qPrintable(r.error));
            QCryptographicHash digest(QCryptographicHash::Sha256);
            digest.addData(fileContents(dir.filePath(file)));
            digest.addData(r.notes.join(QLatin1Char('\n')).toUtf8());
            const QByteArray got = digest.result().toHex();
            if (qEnvironmentVariableIsSet("CORVANE_PRINT_DIGESTS")) {
                qInfo("{QStringLiteral(\"%s\"), \"%s\"},", format.id, got.constData());
                continue;
            }
            QVERIFY2(expected.contains(QLatin1String(format.id)), format.id);
            QCOMPARE(got, expected.value(QLatin1String(format.id)));
            ++checked;
        }
        QCOMPARE(checked, int(expected.size()));
    }

    // The shape readers' own line scans against the text kit's: random lines
    // of blanks, other bytes, braces, quotes and backslashes, long enough to cross
    // the scans' blocks of 16 and 64 bytes at every place, give the same
    // fields and leave the braces and quotes open or closed alike.
    void lineScansMatchTheTextKit()
    {
        QRandomGenerator random(1547);
        // Blanks, the bytes on either side of them and beyond ASCII, braces,
        // quotes, backslashes, and word characters.
        const char alphabet[] = " \t\r\v\f\n"
                                "\x08"
                                "\x0e"
                                "\x89"
                                "\x8d"
                                "\xff{}\"\\aZ09._";
        std::vector<Field> fields, expected;
        ScriptBraces braces;
        NodeBraces reference;
        for (int n = 0; n < 4000; ++n) {
            QByteArray line(int(random.bounded(200)), Qt::Uninitialized);
            // Some lines are mostly one kind of byte: long words, long blanks.
            const int kinds = random.bounded(2) ? 3 : int(sizeof alphabet) - 1;
            const int first = int(random.bounded(int(sizeof alphabet) - kinds));
            for (char &c : line)
                c = alphabet[first + int(random.bounded(kinds))];
            const Field field{line.constData(), line.constData() + line.size()};
            splitFields(field, fields);
            splitTrimmed(field, expected);
            QCOMPARE(fields.size(), expected.size());
            for (size_t i = 0; i < fields.size(); ++i) {
                QCOMPARE(fields[i].begin, expected[i].begin);
                QCOMPARE(fields[i].end, expected[i].end);
            }
            braces.see(field, n + 1);
            reference.see(field, n + 1);
            QCOMPARE(braces.unclosed(), reference.unclosed());
        }
    }

    // Shapes are ordered by their prefixes as texts, then by the whole
    // names, whatever the prefixes' length or characters: those alike in
    // their first eight characters, one the start of another, beyond Latin-1.
    void shapesOrderedByTheirPrefixesAsTexts()
    {
        const QStringList prefixes{QStringLiteral("S0000000b"), QStringLiteral("S0000000"),
                                   QStringLiteral("S0000000a"), QStringLiteral("S\u0101"),
                                   QStringLiteral("Sz"),        QStringLiteral("S00000000"),
                                   QStringLiteral("S"),         QStringLiteral("S\u00ff"),
                                   QStringLiteral("S0001"),     QStringLiteral("S00005")};
        QList<Row> rows;
        for (int s = 0; s < prefixes.size(); ++s)
            for (int v = s % 3; v >= 0; --v)
                rows.append({prefixes[s] + QStringLiteral("_Track_%1").arg(v), 1, 10.0 * s + v, 0});
        QVERIFY(save(table(rows), "shake-rotoshape", QStringLiteral("order.ssf")).ok());
        const QByteArray written = fileContents(dir.filePath(QStringLiteral("order.ssf")));
        QStringList sorted = prefixes;
        std::sort(sorted.begin(), sorted.end());
        QByteArray expected;
        for (const QString &prefix : sorted) {
            const int s = int(prefixes.indexOf(prefix));
            expected += "num_vertices " + QByteArray::number(s % 3 + 1) + '\n';
            for (int v = 0; v <= s % 3; ++v)
                expected += QByteArray::number(10.0 * s + v, 'f', 6) + ' ';
        }
        QByteArray got;
        for (const QByteArray &line : written.split('\n')) {
            if (line.startsWith("num_vertices")) got += line + '\n';
            if (line.startsWith("vertex_data"))
                for (qsizetype i = 0; i < line.count(' ') / 12; ++i)
                    got += line.split(' ').at(1 + 12 * i) + ' ';
        }
        QCOMPARE(got, expected);
    }

    // A table of many shape tracks keeps each name once, by id: a name
    // asked again has its id, an id gives its name back (a null text as
    // null), and a table moved or copied gives the names of its own ids,
    // never those another table had under them.
    void shapeNamesInternedOnce()
    {
        TrackTable t;
        t.reserveNames(1000);
        for (int s = 0; s < 30000; ++s)
            QCOMPARE(t.internName(shapeVertexName(s, 1)), quint32(s));
        for (int s = 0; s < 30000; s += 7) {
            QCOMPARE(t.internName(shapeVertexName(s, 1)), quint32(s));
            QCOMPARE(t.nameOfId(quint32(s)), shapeVertexName(s, 1));
        }
        QVERIFY(t.nameOfId(30000).isNull());
        const quint32 null = t.internName(QString());
        QCOMPARE(t.internName(QStringLiteral("")), null);
        QVERIFY(t.nameOfId(null).isNull());
        const quint32 wide = t.internName(QStringLiteral("S\u00e9\u4e2d_Track_0001"));
        QCOMPARE(t.nameOfId(wide), QStringLiteral("S\u00e9\u4e2d_Track_0001"));

        TrackTable moved = std::move(t);
        QCOMPARE(moved.nameOfId(0), shapeVertexName(0, 1));
        TrackTable reused = std::move(t);
        QCOMPARE(reused.internName(QStringLiteral("S9_Open_0001")), 0u);
        QCOMPARE(reused.nameOfId(0), QStringLiteral("S9_Open_0001"));
        TrackTable copy = moved.clone();
        QCOMPARE(copy.nameOfId(0), shapeVertexName(0, 1));
        QCOMPARE(copy.internName(QStringLiteral("S1_Track_0009")), wide + 1);
        QCOMPARE(moved.internName(QStringLiteral("S2_Track_0009")), wide + 1);
        QCOMPARE(copy.nameOfId(wide + 1), QStringLiteral("S1_Track_0009"));
        QCOMPARE(moved.nameOfId(wide + 1), QStringLiteral("S2_Track_0009"));
    }

    void nukeRotoPaint()
    {
        QList<Row> rows = shape(1, 4, 10) + shape(2, 1, 1);
        ExportResult r = save(table(rows), "nuke-rotopaint", QStringLiteral("a.nk"), 1920, 1080);
        QVERIFY(r.ok());
        QByteArray written = fileContents(dir.filePath(QStringLiteral("a.nk")));
        QVERIFY(written.startsWith("RotoPaint { \nformat \"1920 1080 0 0 1920 1080 1\"\n"));
        QVERIFY(written.contains("  NumOfChildren: 2\n"));
        QCOMPARE(written.count("NumOfPoints: 12\n"), 2);
        QVERIFY(written.contains("\"vis\" S 0 1 \"r\" S 0.32 1 \"g\" S 0 0.32 \"b\""));
        QVERIFY(written.contains("\"vis\" S 0 1 \"r\" S 0.12 1 \"g\" S 0 0.54 \"b\""));
        QVERIFY(written.endsWith("}\n   }\n   }\n   }\n"));
        // The first vertex's shape curve: a zero point, the vertex, a zero point.
        QVERIFY(
            written.contains("      0 L 0 4096 0.5 2 0 0 \"\" 0 10 \"\" 1 0.000 0 0 0 0 256 0 "));
        QVERIFY(
            written.contains(" 0 0 L 0 4096 0.5 2 0 0 \"\" 0 10 \"\" 1 11.000000 0 0 0 0 256 0 "));
        TrackSet back = dispatch(dir.filePath(QStringLiteral("a.nk")),
                                 QStringLiteral("Nuke RotoPaint File (*.nk)"))
                            .set;
        QCOMPARE(back.count, 41);
        QCOMPARE(back.names.at(10), QStringLiteral("S01_Track_0002"));
        QCOMPARE(back.names.last(), QStringLiteral("S02_Track_0001"));
        QCOMPARE(back.x.at(10), 21.0);
        QCOMPARE(back.y.at(10), 39.0);
        QCOMPARE(QSize(back.plateWidth, back.plateHeight), QSize(1920, 1080));

        // No shapes: nothing to write, and nothing is written.
        r = save(table({{QStringLiteral("point"), 1, 1, 1}}), "nuke-rotopaint",
                 QStringLiteral("e.nk"));
        QCOMPARE(r.error,
                 QStringLiteral("Nuke RotoPaint files hold shapes, and none of the rows to "
                                "save is a shape vertex (a track named like "
                                "\"S01_Track_0001\"): nothing was written."));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("e.nk"))));
        // Point rows among shapes are left out, said, and not counted as written.
        r = save(table({{QStringLiteral("point"), 1, 1, 1}, {shapeVertexName(1, 1), 1, 2, 2}}),
                 "nuke-rotopaint", QStringLiteral("f.nk"));
        QCOMPARE(r.rows, 1);
        QCOMPARE(r.notes, QStringList({"1 rows of point tracks were not written: the format holds "
                                       "shapes only."}));
    }

    void realRotoPaintScript()
    {
        const QString path = QString::fromLocal8Bit(qgetenv("CORVANE_SHARED_SAMPLES")) +
                             QStringLiteral("/nuke-rotopaint/planar.nk");
        if (!QFile::exists(path)) QSKIP("no shared samples");
        ReadResult read = dispatch(path, QStringLiteral("Nuke RotoPaint File (*.nk)"));
        QVERIFY2(read.ok(), qPrintable(read.error));
        const TrackSet &set = read.set;
        QMap<QString, QSet<QString>> vertices;
        QList<int> firstFrames;
        for (int i = 0; i < set.count; ++i) {
            vertices[shapePrefix(set.names.at(i))].insert(set.names.at(i));
            if (set.names.at(i) == QLatin1String("S01_Track_0001"))
                firstFrames << set.frames[size_t(i)];
        }
        QCOMPARE(vertices.keys(), QStringList({"S01", "S02", "S03"}));
        QCOMPARE(vertices["S01"].size(), 23);
        QCOMPARE(vertices["S02"].size(), 1);
        QCOMPARE(vertices["S03"].size(), 6);
        QCOMPARE(firstFrames, QList<int>({63, 64, 67, 68, 69, 70}));
        QCOMPARE(QSize(set.plateWidth, set.plateHeight), QSize(4096, 2304));
        QCOMPARE(set.x.front(), 2989.0);
        QCOMPARE(set.y.front(), 1393.4);
    }

    // A vertex has one position per frame (the later row wins, and the save
    // says so); point tracks are not written, and the save says so too.
    // Of many open shapes a closing writer's one note lists ten, then "…".
    void manyOpenShapesClosedInOneNote()
    {
        QList<Row> rows;
        for (int s = 1; s <= 13; ++s)
            for (int v = 1; v <= 2; ++v)
                rows.append({s == 1 ? shapeVertexName(s, v) : openShapeVertexName(s, v), 1,
                             10.0 * v, 20.0 * s});
        const ExportResult r = save(table(rows), "shake-rotoshape", QStringLiteral("open.ssf"));
        QVERIFY(r.ok());
        QCOMPARE(r.notes.filter(QStringLiteral("open shape")),
                 QStringList({QStringLiteral("12 open shapes (S02, S03, S04, S05, S06, S07, S08, "
                                             "S09, S10, S11, \u2026) were written closed: Shake "
                                             "RotoShape shapes are closed.")}));
    }

    void repeatedRowsAndPointTracks()
    {
        TrackTable t = table({{"S01_Track_0001", 1, 1, 1},
                              {"corner", 1, 5, 5},
                              {"S01_Track_0001", 1, 2, 2},
                              {"S01_Track_0002", 1, 3, 3}});
        ExportResult r = save(t, "shake-rotoshape", QStringLiteral("r.ssf"));
        QCOMPARE(r.notes, QStringList({"1 rows of point tracks were not written: the format holds "
                                       "shapes only.",
                                       "1 rows were left out: a later row gives the same vertex "
                                       "at the same frame."}));
        QVERIFY(fileContents(dir.filePath(QStringLiteral("r.ssf")))
                    .contains("num_vertices 2\nnum_key_times 1\n"));
        QVERIFY(fileContents(dir.filePath(QStringLiteral("r.ssf")))
                    .contains("vertex_data 2.000000 2.000000 "));

        QString input = writeFile(dir.filePath(QStringLiteral("mixed.txt")),
                                  "2\nS01_Track_0001\n0\n1\n1 1 1\ncorner\n0\n1\n1 5 5\n");
        CliRun run = runConverter({"--to", "shake-rotoshape", "--plate", "100x100", "-o",
                                   dir.filePath(QStringLiteral("mixed.ssf")), input});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.err.contains(QLatin1String("note: ")));
        QVERIFY(run.err.contains(QLatin1String("1 rows of point tracks were not written")));
    }
};

QTEST_GUILESS_MAIN(TestShapes)
#include "tst_shapes.moc"
