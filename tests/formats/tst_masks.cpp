// SPDX-License-Identifier: Apache-2.0
// Fusion, After Effects and Combustion mask shapes: examples written and
// read back, other programs' layouts, and every shape format carrying a
// shape table to 3DE v4 and back unchanged.
#include "export/exporter.h"
#include "formats/kit/shapes.h"
#include "formats/registry.h"
#include "import/dispatch.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestMasks : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static TrackTable table(const QList<std::tuple<QString, int, double, double>> &rows)
    {
        QList<TestRow> plain;
        for (auto [name, frame, x, y] : rows)
            plain.append({name, frame, x, y});
        return importedTable(plain);
    }

    QByteArray save(const TrackTable &t, const char *id, const QString &file, int w, int h)
    {
        ExportResult r = saveAs(t, id, dir.filePath(file), w, h);
        return r.ok() ? fileContents(dir.filePath(file)) : r.error.toUtf8();
    }

    TrackSet read(const char *id, const QString &file)
    {
        return dispatch(dir.filePath(file),
                        QLatin1String(formatById(QLatin1String(id))->importFilter))
            .set;
    }

    static QList<std::tuple<QString, int, double, double>> shapes(int count, int vertices,
                                                                  int frames)
    {
        QList<std::tuple<QString, int, double, double>> rows;
        for (int s = 1; s <= count; ++s)
            for (int v = 1; v <= vertices; ++v)
                for (int f = 1; f <= frames; ++f)
                    rows.append({shapeVertexName(s, v), f, 100.0 * s + v + f / 8.0, 50.0 * v - f});
        return rows;
    }

    // A table with what shape writers meet: shapes of one and of many vertices,
    // vertices without a key at some frames, a repeated vertex and frame,
    // frames out of order and below zero, point-track rows among them.
    static TrackTable mixedShapes()
    {
        QList<TestRow> rows;
        for (int s = 1; s <= 40; ++s) {
            const int vertices = s % 7 + 1;
            for (int v = 1; v <= vertices; ++v)
                for (int f = 0; f < 12; ++f) {
                    if ((s + v + f) % 5 == 0) continue; // no key here
                    const int frame = (f * 7) % 12 - 2;
                    rows.append({shapeVertexName(s, v), frame, 0.125 * s + v * 3.5 - f / 3.0,
                                 1000.0 - s * 1.75 + v / 7.0 + f});
                }
        }
        rows.append({shapeVertexName(3, 1), 4, 1.5, 2.5}); // a second row for one key
        rows.append({QStringLiteral("track_1"), 1, 10, 20});
        return importedTable(rows);
    }

private slots:
    // Every shape writer's bytes for the mixed table, as fingerprints: the
    // writers' output does not change when their insides do.
    void shapeWritersKeepTheirBytes_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QByteArray>("sha256");
        const QList<std::pair<const char *, QByteArray>> expected{
            {"nuke-rotopaint", "eab88b5c373ecb59fc58cfd36d8e81ae3f91f0b81143d5918f9e3a94a96607bf"},
            {"shake-rotoshape", "10a9e102e751ec1d830eac487cd38bd24208c0854484aca5f71da4cbeffc18f6"},
            {"fusion-mask", "ae36f75356641df60fa2ccab0ebc4d5b0d56a1a4c6118390696ae7e982cb99eb"},
            {"ae-mask", "7ee4a865aad3c575c7920728ae33cea41795273cbff9cddf265a2c41cb4491f0"},
            {"combustion-gmask",
             "c4867f50db5b71f76a5a368134ad27b9d85891fcebb3db63d3b268e9ba669dca"},
        };
        for (const Format &f : formats())
            if (f.shapes) {
                QByteArray hash;
                for (const auto &[id, sha] : expected)
                    if (qstrcmp(id, f.id) == 0) hash = sha;
                QTest::newRow(f.id) << QString::fromLatin1(f.id) << hash;
            }
    }

    void shapeWritersKeepTheirBytes()
    {
        QFETCH(QString, id);
        QFETCH(QByteArray, sha256);
        ExportParams p;
        p.targetFilter = QLatin1String(formatById(id)->treeExportFilter);
        p.targetPath = dir.filePath(QStringLiteral("mixed.") + formatById(id)->fileExtension());
        p.windowWidth = QStringLiteral("1920");
        p.windowHeight = QStringLiteral("1080");
        p.pixelAspect = QStringLiteral("1.0");
        p.inMemory = true;
        ExportResult r = exportTable(mixedShapes(), p);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        qsizetype size = 0;
        for (const auto &[path, bytes] : r.contents) {
            hash.addData(bytes);
            size += bytes.size();
        }
        QVERIFY(size > 20000);
        QCOMPARE(hash.result().toHex(), sha256);
    }

    void fusionMask()
    {
        QByteArray written = save(table(shapes(2, 2, 1)), "fusion-mask", "a.comp", 1920, 1080);
        QVERIFY(written.startsWith("Composition {\n\tCurrentTime = 0,\n"));
        QVERIFY(written.contains("[1] = { 1, Flags = { LockedY = true, }, Value = Polyline {\n\t"
                                 "Closed = true,\n\tPoints = {\n\t{ Linear = true, X = 101.125000, "
                                 "Y = 49.000000, },\n\t{ Linear = true, X = 102.125000, Y = "
                                 "99.000000, },\n\t},\n\t},\n\t},\n\t"));
        QVERIFY(written.contains("\n\tEffectMask = Input {\n\tSourceOp = \"Polygon1\","));
        QVERIFY(written.contains("Pos = { 300, 100, }"));
        QVERIFY(written.endsWith("},\n\t}\n"));
        TrackSet back = read("fusion-mask", "a.comp");
        QCOMPARE(back.names.toList(),
                 QStringList({"S1_Track_0001", "S1_Track_0002", "S2_Track_0001", "S2_Track_0002"}));
        QCOMPARE(back.x.at(1), 102.125);

        // A negative key frame keeps its sign; eleven shapes stay in file order
        // (open ones: their polylines do not say "Closed = true").
        QByteArray comp = "Composition {\n";
        for (int s = 1; s <= 11; ++s)
            comp += "Polygon" + QByteArray::number(s) +
                    " = PolylineMask {\n\tKeyFrames = {\n"
                    "[-12] = { -12, Value = Polyline {\n\tPoints = {\n\t{ X = 0.25, Y = " +
                    QByteArray::number(s) + ", LX = 0, },\n\t},\n},\n},\n},\n},\n";
        writeFile(dir.filePath(QStringLiteral("b.comp")), comp + "}\n");
        back = read("fusion-mask", "b.comp");
        QCOMPARE(back.count, 11);
        QCOMPARE(back.frames.front(), -12);
        QCOMPARE(back.names.at(1), QStringLiteral("S2_Open_0001"));
        QCOMPARE(back.names.at(10), QStringLiteral("S11_Open_0001"));
        QCOMPARE(back.y.at(10), 11.0);
    }

    // Fusion's vertex names: the shape's number as it is, the vertex's
    // filled to four digits and longer when it needs more; an open shape's
    // vertices are "Open".
    void fusionMaskVertexNames()
    {
        QByteArray comp = "Composition {\n";
        const int vertices[] = {1, 12, 10001};
        for (int s = 1; s <= 3; ++s) {
            comp += "Polygon" + QByteArray::number(s) + " = PolylineMask {\n\tKeyFrames = {\n" +
                    "[3] = { 3, Value = Polyline {\n" + (s == 2 ? "" : "\tClosed = true,\n") +
                    "\tPoints = {\n";
            for (int v = 1; v <= vertices[s - 1]; ++v)
                comp += "\t{ X = " + QByteArray::number(v) + ", Y = 2, },\n";
            comp += "\t},\n},\n},\n},\n},\n";
        }
        writeFile(dir.filePath(QStringLiteral("names.comp")), comp + "}\n");
        const TrackSet back = read("fusion-mask", "names.comp");
        QCOMPARE(back.count, 1 + 12 + 10001);
        const QStringList runs = back.names.runs();
        QCOMPARE(runs.at(0), QStringLiteral("S1_Track_0001"));
        QCOMPARE(runs.at(1), QStringLiteral("S2_Open_0001"));
        QCOMPARE(runs.at(12), QStringLiteral("S2_Open_0012"));
        QCOMPARE(runs.at(13 + 9998), QStringLiteral("S3_Track_9999"));
        QCOMPARE(runs.last(), QStringLiteral("S3_Track_10001"));
        QCOMPARE(back.x.back(), 10001.0);
    }

    void afterEffectsMask()
    {
        QByteArray written = save(table(shapes(2, 3, 2)), "ae-mask", "a.txt", 1920, 1080);
        QVERIFY(
            written.startsWith("Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t24\n"
                               "\tSource Width\t1920\n\tSource Height\t1080\n"
                               "\tSource Pixel Aspect Ratio\t1\n\tComp Pixel Aspect Ratio\t1\n\n\n"
                               "Effects\tmocha shape #1\tShape data\n\tFrame\n\t1\tXSpline("
                               "Point(101.125000,49.000000,0,0.5,0)Point(102.125000,99.000000,"
                               "0,0.5,0)Point(103.125000,149.000000,0,0.5,0))\n"));
        QVERIFY(written.contains("mocha shape #1\tBlend mode\n\tFrame\n\t\t3\n"));
        QVERIFY(written.contains("mocha shape #2\tBlend mode\n\tFrame\n\t\t1\n"));
        QCOMPARE(written.count("XSpline("), 4);
        QVERIFY(written.endsWith("End of Keyframe Data\n"));
        TrackSet back = read("ae-mask", "a.txt");
        QCOMPARE(back.count, 12);
        QCOMPARE(back.names.at(2), QStringLiteral("S01_Track_0002"));
        QCOMPARE(QSize(back.plateWidth, back.plateHeight), QSize(1920, 1080));

        // Items separated by commas or blanks, CR LF, and other sections.
        writeFile(dir.filePath(QStringLiteral("b.txt")),
                  "Adobe After Effects 8.0 Keyframe Data\r\n\r\n\tSource Width\t640\r\n"
                  "Transform\tPosition\r\n\tFrame\tX pixels\r\n\t0\tXSpline(Point(9,9))\r\n"
                  "Effects\tmocha shape #12\tShape data\r\n\tFrame\r\n"
                  "\t5\tXSpline(Point(1,2,0,0.5,0), Point(3,4,0,0.5,0) Point(5,6))\r\n"
                  "Effects\tmocha shape #12\tOpacity\r\n\tFrame\r\n\t\t100\r\n"
                  "End of Keyframe Data\r\n");
        back = read("ae-mask", "b.txt");
        QCOMPARE(back.names.toList(),
                 QStringList({"S12_Track_0001", "S12_Track_0002", "S12_Track_0003"}));
        QCOMPARE(back.x, std::vector<double>({1, 3, 5}));
        QCOMPARE(back.frames, std::vector<int>({5, 5, 5}));
    }

    void combustionGMask()
    {
        QByteArray written =
            save(table(shapes(1, 3, 2)), "combustion-gmask", "a.GMask", 2048, 1556);
        QCOMPARE(written.count("Node Axis\n"), 1);
        QCOMPARE(written.count("Node Geom\n"), 1);
        QVERIFY(written.contains("\t\tVertices 3\n"));
        QCOMPARE(written.count("/active\n"), 3);
        QCOMPARE(written.count("/position/"), 12);
        QVERIFY(written.contains("\t\tChannel Spline/Vertex_1/position/x\n\t\t\tValue -922.875\n"
                                 "\t\t\tSize 2\n\t\t\tKey 0\n\t\t\t\tFrame 1\n"));
        TrackSet back = read("combustion-gmask", "a.GMask");
        QCOMPARE(back.count, 6);
        QCOMPARE(back.names.first(), QStringLiteral("S01_Vertex_0001"));
        QCOMPARE(back.x.front(), 101.125 - 1024);
        QCOMPARE(back.y.front(), 49.0 - 778);

        // The plate's centre is 0, 0; decimals are kept.
        written = save(table({{QStringLiteral("S1_a"), 1, 1024, 778},
                              {QStringLiteral("S1_b"), 1, 4000.1234, 0}}),
                       "combustion-gmask", "b.GMask", 2048, 1556);
        QVERIFY(written.contains("position/x\n\t\t\tValue 0\n"));
        QVERIFY(written.contains("position/y\n\t\t\tValue 0\n"));
        QVERIFY(written.contains("position/x\n\t\t\tValue 2976.1234\n"));
    }

    // A GMask file ends where its node database closes: one cut inside a
    // key, a channel, a node, the database or the header is refused at its
    // last line, naming the block it ends in and where that opens.
    void combustionGMaskCutFiles_data()
    {
        QTest::addColumn<QByteArray>("cutBefore"); // its last place in the file
        QTest::addColumn<QString>("inside");
        QTest::addColumn<QByteArray>("opening"); // its last place before the cut
        QTest::newRow("key") << QByteArray("\t\t\t\tInterpolation") << "key"
                             << QByteArray("\t\t\tKey ");
        QTest::newRow("channel") << QByteArray("\t\t\tEnd \n") << "channel"
                                 << QByteArray("\t\tChannel ");
        QTest::newRow("geometry node")
            << QByteArray("End \nConcreteEnd") << "node" << QByteArray("Node Geom");
        QTest::newRow("node database")
            << QByteArray("ConcreteEnd") << "node database" << QByteArray("ConcreteFileVersion");
        QTest::newRow("header") << QByteArray("RoiOn") << "header" << QByteArray("Module");
    }

    void combustionGMaskCutFiles()
    {
        QFETCH(QByteArray, cutBefore);
        QFETCH(QString, inside);
        QFETCH(QByteArray, opening);
        // Two shapes: the first geometry node is written without its "End".
        const QByteArray whole =
            save(table(shapes(2, 2, 3)), "combustion-gmask", "whole.GMask", 2048, 1556);
        QVERIFY(whole.endsWith("ConcreteEnd\t\n"));
        writeFile(dir.filePath("ends.GMask"), whole.chopped(2));
        QCOMPARE(read("combustion-gmask", "ends.GMask").count, 12);

        const QByteArray cut = whole.left(whole.lastIndexOf(cutBefore));
        const int opens = int(cut.left(cut.lastIndexOf(opening)).count('\n')) + 1;
        const QString path = writeFile(dir.filePath("cut.GMask"), cut);
        QCOMPARE(dispatch(path, QLatin1String(formatById("combustion-gmask")->importFilter)).error,
                 QStringLiteral("%1, line %2: the file ends inside the %3 of line %4: it is cut "
                                "short.")
                     .arg(path)
                     .arg(cut.count('\n'))
                     .arg(inside)
                     .arg(opens));
    }

    // A channel whose vertex path is not its line's one word after
    // "Channel" is no vertex's: it is passed, and no name is made from the
    // words (or the lines) around it.
    void combustionGMaskChannelPaths()
    {
        const QByteArray key = "\t\t\tKey 0\n\t\t\t\tFrame 1\n\t\t\t\tValue 3\n"
                               "\t\t\t\tInterpolation linear\n\t\t\t\tEnd\n";
        writeFile(dir.filePath("paths.GMask"),
                  "Node Geom\n\tSpecifics\n\t{\n"
                  "\t\tChannel foo Spline/Vertex_1/position/x\n" +
                      key + "\t\tChannel /position/x\n" + key +
                      "\t\tChannel Spline/Vertex_2/position/x\n" + key +
                      "\t\tChannel Spline/Vertex_2/position/y\n" + key + "\t}\nEnd\n");
        const TrackSet set = read("combustion-gmask", "paths.GMask");
        QCOMPARE(set.names.toList(), QStringList({"S01_Vertex_0002"}));
        QCOMPARE(set.x, std::vector<double>({3}));
    }

    // A GMask shape's part of its vertices' names: its number filled to two
    // digits and longer past 99; channels before any shape's node are shape 0's.
    void combustionGMaskShapeNumbers()
    {
        const QByteArray written =
            save(table(shapes(120, 1, 1)), "combustion-gmask", "numbers.GMask", 2048, 1556);
        writeFile(dir.filePath("numbers.GMask"), written);
        const TrackSet back = read("combustion-gmask", "numbers.GMask");
        QCOMPARE(back.count, 120);
        QCOMPARE(back.names.at(4), QStringLiteral("S05_Vertex_0001"));
        QCOMPARE(back.names.at(99), QStringLiteral("S100_Vertex_0001"));
        QCOMPARE(back.names.at(119), QStringLiteral("S120_Vertex_0001"));

        const QByteArray key = "\t\t\tKey 0\n\t\t\t\tFrame 1\n\t\t\t\tValue 3\n"
                               "\t\t\t\tInterpolation linear\n\t\t\t\tEnd\n\t\t\tEnd\n";
        writeFile(dir.filePath("noshape.GMask"), "\t\tChannel Spline/Vertex_7/position/x\n" + key +
                                                     "\t\tChannel Spline/Vertex_7/position/y\n" +
                                                     key);
        QCOMPARE(read("combustion-gmask", "noshape.GMask").names.toList(),
                 QStringList({"S00_Vertex_0007"}));
    }

    // A shape's vertices are told apart by their names within the shape,
    // however many it has and in whatever order its channels come: Y
    // channels after all the X ones, backwards, and a vertex keyed again
    // in a later channel of its own.
    void combustionGMaskManyVerticesInAnyOrder()
    {
        auto channel = [](int vertex, char axis, int frame, double value) {
            const QByteArray v = QByteArray::number(value);
            return "\t\tChannel Spline/Vertex_" + QByteArray::number(vertex) + "/position/" + axis +
                   "\n\t\t\tValue " + v + "\n\t\t\tSize 1\n\t\t\tKey 0\n\t\t\t\tFrame " +
                   QByteArray::number(frame) + "\n\t\t\t\tValue " + v +
                   "\n\t\t\t\tInterpolation linear\n\t\t\t\tEnd \n\t\t\tEnd \n";
        };
        QByteArray file = "Node Geom\n\tSpecifics\n\t{\n";
        for (int v = 1; v <= 40; ++v)
            file += channel(v, 'x', 1, v);
        for (int v = 40; v >= 1; --v)
            file += channel(v, 'y', 1, 100 + v);
        file += channel(5, 'x', 2, 55) + channel(5, 'y', 2, 155) + "\t}\nEnd\n";
        file += "Node Geom\n\tSpecifics\n\t{\n" + channel(5, 'x', 1, 7) + channel(5, 'y', 1, 8) +
                "\t}\nEnd\n";
        writeFile(dir.filePath("vertices.GMask"), file);
        const TrackSet set = read("combustion-gmask", "vertices.GMask");
        QCOMPARE(set.count, 42);
        for (int v = 1; v <= 40; ++v) {
            QCOMPARE(set.names.at(v - 1),
                     QStringLiteral("S01_Vertex_%1").arg(v, 4, 10, QLatin1Char('0')));
            QCOMPARE(set.x[size_t(v) - 1], double(v));
            QCOMPARE(set.y[size_t(v) - 1], 100.0 + v);
        }
        QCOMPARE(set.names.at(40), QStringLiteral("S01_Vertex_0005"));
        QCOMPARE(set.y[40], 155.0);
        QCOMPARE(set.names.at(41), QStringLiteral("S02_Vertex_0005"));
        QCOMPARE(set.y[41], 8.0);
    }

    // A closed and an open shape through every shape writer: a format that
    // holds open shapes writes the open one open (and its reader, where it
    // reads that, gives it back open); every other closes it and says so.
    void openShapesWrittenOpenOrNoted_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            if (f.shapes && f.writer) QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void openShapesWrittenOpenOrNoted()
    {
        QFETCH(QString, id);
        QList<std::tuple<QString, int, double, double>> rows;
        for (int s = 1; s <= 2; ++s)
            for (int v = 1; v <= 3; ++v)
                for (int f = 1; f <= 2; ++f)
                    rows.append({s == 1 ? shapeVertexName(s, v) : openShapeVertexName(s, v), f,
                                 100.0 * v + s, 50.0 * f + 300 * s});
        const QString file = QStringLiteral("open.") + formatById(id)->fileExtension();
        const ExportResult r = saveAs(table(rows), qPrintable(id), dir.filePath(file));
        QVERIFY2(r.ok(), qPrintable(r.error));
        const QStringList closing = r.notes.filter(QStringLiteral("written closed"));
        const QByteArray written = fileContents(dir.filePath(file));
        if (id == QLatin1String("combustion-gmask")) {
            // Its geometry nodes say "Closed yes" or "Closed no".
            QVERIFY(closing.isEmpty());
            QCOMPARE(written.count("\t\tClosed yes\n"), 1);
            QCOMPARE(written.count("\t\tClosed no\n"), 1);
        } else if (id == QLatin1String("fusion-mask")) {
            QVERIFY(closing.isEmpty());
            QCOMPARE(written.count("Closed = true"), 2); // S01's two keys
            const TrackSet back = read("fusion-mask", file);
            QCOMPARE(back.names.runs(),
                     QStringList({"S1_Track_0001", "S1_Track_0002", "S1_Track_0003", "S2_Open_0001",
                                  "S2_Open_0002", "S2_Open_0003"}));
        } else {
            QCOMPARE(closing.size(), 1);
            QVERIFY2(closing.first().startsWith(
                         QStringLiteral("1 open shape (S02) was written closed: ")),
                     qPrintable(closing.first()));
        }
    }

    // A shape table (read as 3DE v4) converted to each shape format, read
    // back and converted to 3DE v4 again keeps every vertex and position.
    void everyShapeFormatCarriesTheTable_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            if (f.shapes) QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void everyShapeFormatCarriesTheTable()
    {
        QFETCH(QString, id);
        const Format *format = formatById(id);
        if (!format->read || !format->writer) QSKIP("not built yet");
        const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
        QByteArray text = "6\n";
        QList<std::tuple<QString, int, double, double>> rows = shapes(2, 3, 4);
        for (int i = 0; i < rows.size(); ++i) {
            auto [name, frame, x, y] = rows[i];
            if (i % 4 == 0) text += name.toLatin1() + "\n0\n4\n";
            text += QByteArray::number(frame) + ' ' + QByteArray::number(x, 'f', 6) + ' ' +
                    QByteArray::number(y, 'f', 6) + '\n';
        }
        const QString source = writeFile(dir.filePath(id + QStringLiteral(".in.txt")), text);
        auto convert = [&](const QString &from, const Format &fromFormat, const Format &to,
                           const QString &target) {
            TrackTable t;
            PlateSettings settings;
            ImportResult imported = importFile(t, settings, from, fromFormat, ImportMode::NewList);
            settings.setPlateWidth(QStringLiteral("1920"));
            settings.setPlateHeight(QStringLiteral("1080"));
            const QString filter = QLatin1String(to.treeExportFilter);
            applySettings(t, applyParams(settings, filter));
            return imported.error + exportTable(t, exportParams(settings, filter, target)).error;
        };
        const QString middle = dir.filePath(id + QStringLiteral(".shape"));
        const QString back = dir.filePath(id + QStringLiteral(".back.txt"));
        QCOMPARE(convert(source, *formatById(QStringLiteral("3de4")), *format, middle), QString());
        QCOMPARE(convert(middle, *format, *formatById(QStringLiteral("3de4")), back), QString());
        TrackSet original = dispatch(source, v4).set, result = dispatch(back, v4).set;
        QCOMPARE(result.count, original.count);
        for (int i = 0; i < result.count; ++i) {
            QCOMPARE(result.frames[size_t(i)], original.frames[size_t(i)]);
            QVERIFY(qAbs(result.x[size_t(i)] - original.x[size_t(i)]) <= 1e-6);
            QVERIFY(qAbs(result.y[size_t(i)] - original.y[size_t(i)]) <= 1e-6);
        }
    }
};

QTEST_GUILESS_MAIN(TestMasks)
#include "tst_masks.moc"
