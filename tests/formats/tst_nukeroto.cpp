// SPDX-License-Identifier: Apache-2.0
#include "export/exporter.h"
#include "formats/kit/shapes.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "testdata.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace corvane;

namespace {

// A Nuke 7+ script: one shape keyed at frames 10 and 20 (values as
// numbers, runs and bare keys), a shape in a turned, scaled and moved
// layer, a paint stroke (an open shape), a shape keyed between frames and
// one that breaks.
const char script[] = R"(Root {
 inputs 0
 format "2048 1152 0 0 2048 1152 1 HD_1080"
}
RotoPaint {
 curves {{{v x3f99999a}
  {f 0}
  {n
   {layer Root
    {f 512}
    {t x44800000 x44100000}
    {a}
    {curvegroup Keyed 512 bezier
     {{cc
       {f 8192}
       {px {x41200000 x41a00000}
        {xc0a00000 0}
        {{x42c80000 x42f00000} {x43480000 x43520000}}
        {x40a00000 0}
        {xc0a00000 0}
        {{{x 2 {x43960000 -}}} {{x43160000 -} x43200000}}
        {x40a00000 0}}}
      {cc
       {f 8192}
       {px {x41200000 x41a00000}
        {0 0} {0 0} {0 0} {0 0} {0 0} {0 0}}}}
     {tx x41200000 x43000000 x43000000}
     {a str 1 ltn x41200000}}
    {layer Turned
     {f 512}
     {t x42c80000 x42c80000 0 x41200000 x41a00000 0 0 0 x42b40000 x40000000 x40000000 1 0}
     {a}
     {curvegroup Moved 512 bezier
      {{cc
        {f 8192}
        {px x3f800000
         {0 0}
         {x42dc0000 x42c80000}
         {0 0}}}     idem}
      {tx x3f800000 x42dc0000 x42c80000}
      {a}}
     {cubiccurve Brush1 512 catmullrom
      {cc
       {f 2080}
       {px x3f800000
        {x40000000 x40000000}}}
      {tx x3f800000 x40000000 x40000000}
      {a}}}
    {curvegroup Between 512 bezier
     {{cc
       {f 8192}
       {px x3fc00000
        {0 0} {x3f99999a x3f99999a} {0 0}}}}
     {a}}
    {curvegroup Broken 512 bezier
     {{cc
       {f 8192}
       {px x3f800000
        {0 0} {nonsense 1} {0 0}}}}
     {a}}}}}}
 toolbox {selectAll {
  { selectAll str 1 }
} }
 name RotoPaint3
}
)";

// Curves as compositors draw them, in the Nuke 7+ layout: a shape whose
// feather points are empty cells (the shape and feather curves not grouped),
// an open spline, a brush and a clone stroke, and a shape whose point is
// linked to a tracker.
const char drawing[] = R"(Root {
 format "2048 1152 0 0 2048 1152 1 HD_1080"
}
RotoPaint {
 curves {{{v x3f99999a}
  {f 0}
  {n
   {layer Root
    {f 512}
    {t x44800000 x44100000}
    {a}
    {curvegroup Feathered 512 bezier
     {cc
      {f 8192}
      {px x3f800000
       {0 0} {x42c80000 x42c80000} {0 0}}}
     {cc
      {f 8192}
      {px x3f800000
       {} {} {}}}
     {a}}
    {curvegroup OpenSpline1 512 bezier
     {{cc
       {f 8192}
       {px x40000000
        {{a osw {{x3f800000}} osf {{0}}} {{0}} {{0}}}
        {{a osw {{x3f800000}} osf {{0}}} {{0}} {{0}}}
        {{a osw {{x3f800000}} osf {{0}}} {{0}} {{0}}}
        {{a osw {{x3f800000}} osf {{0}}} {{0}} {{0}}}
        {{a osw {{x40000000}} osf {{0}}} {{x43480000}} {{x43480000}}}
        {{a osw {{x3f800000}} osf {{0}}} {{0}} {{0}}}}}
      idem}
     {a}}
    {cubiccurve Brush1 512 catmullrom
     {cc
      {f 2080}
      {px x40800000
       {x41200000 x41a00000 1}
       {x41400000 x41b00000 x3f000000}
       {x41600000 x41c00000 0}}}
     {tx x40800000 x41400000 x41b00000}
     {a bs x40800000 ltn x40800000}}
    {cubiccurve Clone1 512 catmullrom
     {cc
      {f 2080}
      {px x40a00000
       {x41f00000 x42200000 1}
       {x41f80000 x42240000 1}}}
     {tx x40a00000 x41f40000 x42220000}
     {a ltn x40a00000}}
    {curvegroup Linked 512 bezier
     {{cc
       {f 8192}
       {px x40400000
        {0 0}
        {{=Tracker1.tracks.1.track_x x42c80000} {=Tracker1.tracks.1.track_y x43480000}}
        {0 0}}}
      idem}
     {a}}}}}}
 name RotoPaint7
}
)";

} // namespace

// Roto shapes in the layout Nuke writes since version 7: read where Nuke
// draws them, the same as the older layout gives, and named in notes.
class TestNukeRoto : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static ReadResult read(const QByteArray &text)
    {
        return formatById(QStringLiteral("nuke-rotopaint"))->read(text, QStringLiteral("test"));
    }

    static bool noteContains(const ReadResult &r, const QString &text)
    {
        for (const QString &note : r.notes)
            if (note.contains(text)) return true;
        qWarning("no note has \"%s\" among:\n%s", qPrintable(text),
                 qPrintable(r.notes.join(QLatin1Char('\n'))));
        return false;
    }

private slots:
    // Keys with their shared frames; values in hexadecimal read exactly;
    // the layer's turn, scale and move applied about its centre.
    void readsShapesWhereNukeDrawsThem()
    {
        const ReadResult r = read(script);
        QVERIFY2(r.ok(), qPrintable(r.error));
        const QList<TestRow> rows = rowsOf(r.set);
        const QList<TestRow> expected{
            {"S01_Track_0001", 10, 100, 200}, {"S01_Track_0001", 20, 120, 210},
            {"S01_Track_0002", 10, 300, 150}, {"S01_Track_0002", 20, 300, 160},
            {"S02_Track_0001", 1, 110, 140},  {"S03_Open_0001", 1, 306, -76}};
        QCOMPARE(rows.size(), expected.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].name, expected[i].name);
            QCOMPARE(rows[i].frame, expected[i].frame);
            QCOMPARE(rows[i].x, expected[i].x);
            QCOMPARE(rows[i].y, expected[i].y);
        }
        QCOMPARE(r.set.plateWidth, 2048);
        QCOMPARE(r.set.plateHeight, 1152);
    }

    // What is left out is said, with the node, the knob and the line.
    void notesNameWhatWasLeftOut()
    {
        const ReadResult r = read(script);
        QVERIFY(noteContains(r, QStringLiteral("RotoPaint3: shapes S01 to S03 (\"Keyed\", "
                                               "\"Moved\", \"Brush1\"); 1 paint strokes (1 "
                                               "brush), read as open shapes")));
        QVERIFY(noteContains(r, QStringLiteral("1 shape keys between whole frames")));
        const int brokenLine =
            int(QByteArray(script).left(QByteArray(script).indexOf("nonsense")).count('\n')) + 1;
        QVERIFY(noteContains(r, QStringLiteral("RotoPaint3.curves, line %1: the shape \"Broken\" "
                                               "has a curve Corvane cannot read")
                                    .arg(brokenLine)));
    }

    // Hexadecimal singles are their float values, bit for bit.
    void hexadecimalFloatsAreExact()
    {
        QByteArray text(script);
        text.replace("{px x3fc00000", "{px x3f800000");
        const ReadResult r = read(text);
        QVERIFY2(r.ok(), qPrintable(r.error));
        const int last = r.set.count - 1;
        QCOMPARE(r.set.names.at(last), QStringLiteral("S04_Track_0001"));
        QCOMPARE(r.set.x[size_t(last)], double(1.2f));
        QVERIFY(r.set.x[size_t(last)] != 1.2);
    }

    // The shapes written through the RotoPaint writer (the older layout,
    // which every Nuke reads) read back as they were: both layouts agree,
    // but for the stroke, which that layout holds closed (and says so).
    void bothLayoutsGiveTheSameRows()
    {
        const ReadResult first = read(script);
        QVERIFY2(first.ok(), qPrintable(first.error));
        const QString path = dir.filePath(QStringLiteral("older.nk"));
        ExportResult saved =
            saveAs(importedTable(rowsOf(first.set)), "nuke-rotopaint", path, 2048, 1152);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        QVERIFY2(saved.notes.join(QLatin1Char(' ')).contains(QLatin1String("S03")),
                 qPrintable(saved.notes.join(QLatin1Char(' '))));
        QVERIFY(fileContents(path).contains("AnimTree"));
        ReadResult back = dispatch(path, QStringLiteral("Nuke RotoPaint File (*.nk)"));
        QVERIFY2(back.ok(), qPrintable(back.error));
        const QList<TestRow> a = rowsOf(first.set), b = rowsOf(back.set);
        QCOMPARE(b.size(), a.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            QCOMPARE(b[i].name,
                     QString(a[i].name).replace(QLatin1String("_Open_"), QLatin1String("_Track_")));
            QCOMPARE(b[i].frame, a[i].frame);
            QCOMPARE(b[i].x, a[i].x);
            QCOMPARE(b[i].y, a[i].y);
        }
    }

    // A real Nuke 8 script: 19 shapes in 22 RotoPaint nodes, tracked layers
    // and shape transforms, and 87 brush strokes, read as open shapes.
    void realNuke8Script()
    {
        const QString path = sharedSample(QStringLiteral("nuke-script/"
                                                         "tracker4_with_empty_tracks_knob.nk"));
        if (!QFile::exists(path)) QSKIP("the shared samples are not beside the project");
        const ReadResult r = dispatch(path, QStringLiteral("Nuke RotoPaint File (*.nk)"));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QSet<QString> shapes, strokes, vertices;
        int strokeRows = 0;
        for (int i = 0; i < r.set.count; ++i)
            strokeRows += isOpenShapeTrack(r.set.names.at(i)) ? 1 : 0;
        for (const QString &name : r.set.names.runs()) {
            vertices.insert(name);
            (isOpenShapeTrack(name) ? strokes : shapes).insert(shapePrefix(name));
        }
        QCOMPARE(shapes.size(), 19);
        QCOMPARE(strokes.size(), 87);
        QCOMPARE(vertices.size(), 95 + 669);
        // Two shapes are keyed more than once (at 4 and at 3 frames).
        QCOMPARE(r.set.count - strokeRows, 115);
        // Brush87, the first stroke: two points at its key, frame 1109.
        const qsizetype brush = r.set.names.runs().indexOf(QStringLiteral("S19_Open_0001"));
        QVERIFY(brush >= 0);
        const size_t at = size_t(r.set.names.runStarts()[brush]);
        QCOMPARE(r.set.frames[at], 1109);
        QCOMPARE(r.set.x[at], 1294.5);
        QCOMPARE(r.set.y[at], 823.5);
        QCOMPARE(r.set.names.at(0), QStringLiteral("S01_Track_0001"));
        QCOMPARE(r.set.frames[0], 1020);
        QCOMPARE(r.set.x[0], double(1332.0f));
        QCOMPARE(r.set.y[0], double(614.2f));
        QVERIFY(noteContains(r, QStringLiteral("RotoPaint5: shape S01 (\"Ellipse1\").")));
        QVERIFY(noteContains(r, QStringLiteral("87 paint strokes (87 brush)")));
        // S04's own transform moves it by (1, -17.8) from where its points are.
        const int s04 = int(r.set.names.runs().indexOf(QStringLiteral("S04_Track_0001")));
        QVERIFY(s04 >= 0);
        const int row = r.set.names.runStarts()[s04];
        QCOMPARE(r.set.frames[size_t(row)], 1001);
        QVERIFY(std::abs(r.set.x[size_t(row)] - 1422.576782) < 1e-5);
        QVERIFY(std::abs(r.set.y[size_t(row)] - 625.501087) < 1e-5);
    }

    // Curves as compositors draw them: a feather of empty points (on their
    // vertices), an open spline with its points' width and feather, a
    // brush and a clone stroke, and a point linked to a tracker.
    void everyCurveOfADrawing()
    {
        const ReadResult r = read(drawing);
        QVERIFY2(r.ok(), qPrintable(r.error));
        const QList<TestRow> expected{{"S01_Track_0001", 1, 100, 100}, {"S02_Open_0001", 2, 0, 0},
                                      {"S02_Open_0002", 2, 200, 200},  {"S03_Open_0001", 4, 10, 20},
                                      {"S03_Open_0002", 4, 12, 22},    {"S03_Open_0003", 4, 14, 24},
                                      {"S04_Open_0001", 5, 30, 40},    {"S04_Open_0002", 5, 31, 41},
                                      {"S05_Track_0001", 3, 100, 200}};
        const QList<TestRow> rows = rowsOf(r.set);
        QCOMPARE(rows.size(), expected.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i].name, expected[i].name);
            QCOMPARE(rows[i].frame, expected[i].frame);
            QCOMPARE(rows[i].x, expected[i].x);
            QCOMPARE(rows[i].y, expected[i].y);
        }
        QVERIFY(noteContains(r, QStringLiteral("2 paint strokes (1 brush, 1 clone) and 1 open "
                                               "splines, read as open shapes")));
        QVERIFY(noteContains(r, QStringLiteral("the shape \"Linked\" (S05) has 1 points that "
                                               "follow expressions (vertices 1)")));
        QCOMPARE(r.leftOut.changed, 1); // the link; nothing else was left out
        QCOMPARE(r.leftOut.shapes, 0);
    }

    // A script of strokes alone reads; one whose curves give no keyed point
    // says what its roto nodes hold.
    void scriptsWithoutClosedShapes()
    {
        QByteArray strokesOnly(drawing);
        for (const char *shape : {"Feathered", "OpenSpline1", "Linked"})
            strokesOnly.replace(QByteArray("curvegroup ") + shape, "unknownitem");
        const ReadResult strokes = read(strokesOnly);
        QVERIFY2(strokes.ok(), qPrintable(strokes.error));
        QCOMPARE(strokes.set.names.runs().first(), QStringLiteral("S01_Open_0001"));

        QByteArray unkeyed(drawing);
        unkeyed.replace("{px x3f800000", "{p").replace("{px x40000000", "{p");
        unkeyed.replace("{px x40400000", "{p").replace("{px x40800000", "{p");
        unkeyed.replace("{px x40a00000", "{p").replace(" ltn ", " ltx ");
        const ReadResult none = read(unkeyed);
        QVERIFY(!none.ok());
        QVERIFY2(none.error.contains(QLatin1String("hold 3 shapes and 2 paint strokes, and none "
                                                   "of them gives a keyed point")),
                 qPrintable(none.error));
    }

    // Without tracking nodes a roto script is found without being named;
    // with both, the choice is the user's.
    void detection()
    {
        Detection d = detectText(script, QStringLiteral("test.nk"));
        QVERIFY(d.format);
        QCOMPARE(QLatin1String(d.format->id), QLatin1String("nuke-rotopaint"));
    }

    // Damaged trees: every cut and every byte changed reads without a
    // crash or a hang, to rows or an error.
    void damagedTreesReadSafely()
    {
        const QByteArray text(script);
        for (qsizetype cut = 0; cut < text.size(); cut += 7)
            read(text.left(cut));
        // A layer without a name (found by fuzzing: its name was read from nowhere).
        const ReadResult unnamed =
            read(QByteArray(text).replace("{layer Turned", "{layer {") + "}");
        QVERIFY(unnamed.ok());
        for (qsizetype at = text.indexOf("{{v"); at < text.size(); at += 5) {
            QByteArray damaged = text;
            damaged[at] = damaged[at] == '{' ? '}' : '{';
            read(damaged);
        }
    }
};

QTEST_GUILESS_MAIN(TestNukeRoto)
#include "tst_nukeroto.moc"
