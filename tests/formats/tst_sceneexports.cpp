// SPDX-License-Identifier: Apache-2.0
// Tracks into the 3D programs and the compositors' scripts: the Maya scene
// and the 3ds Max script read back by small readers of their statements,
// the After Effects script run under node with a stand-in for the objects
// it calls, mmSolver's .uv files of every version, and After Effects
// keyframe data of layers and the Corner Pin effect.
#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "table/namerule.h"
#include "testdata.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

// Rows as the writers take them (the target's coordinates): pixels from the
// lower-left for the scenes, from the top-left for After Effects.
const QList<TestRow> sceneRows{{QStringLiteral("Track 01"), 1, 0, 0},
                               {QStringLiteral("Track 01"), 2, 1920, 1080},
                               {QStringLiteral("Track 01"), 4, 960, 540},
                               {QStringLiteral("1st"), 5, 480, 270},
                               {QStringLiteral("tracks"), -3, 0.125, 1079.875},
                               {QStringLiteral("Bäume \"A\""), 7, 100.5, 200.25}};

// The statements of a MEL file (Maya ASCII): words and quoted texts, split
// at ";" outside quotes, "//" comments dropped.
QList<QStringList> melStatements(const QByteArray &text)
{
    QList<QStringList> out;
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    const QString s = QString::fromUtf8(text);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < s.size()) {
                word += s.at(++i);
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == QLatin1Char('/') && s.mid(i, 2) == QLatin1String("//")) {
            i = s.indexOf(QLatin1Char('\n'), i);
            if (i < 0) break;
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (c.isSpace() || c == QLatin1Char(';')) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
            if (c == QLatin1Char(';')) {
                out << words;
                words.clear();
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (!words.isEmpty() || inWord) out << (words << QStringLiteral("<unended>"));
    return out;
}

struct MayaTrack
{
    QString parent;
    bool locator = false;
    QList<QPair<double, double>> keys[2]; // translateX, translateY: (time, value)
};

// What a Maya ASCII scene makes: its transforms with their parents,
// locators and the keys of the curves connected to translateX and translateY.
QMap<QString, MayaTrack> readMayaScene(const QByteArray &text, QString &error, int &statements)
{
    QMap<QString, MayaTrack> nodes;
    QMap<QString, QList<QPair<double, double>>> curves;
    QString current, currentType;
    const QList<QStringList> all = melStatements(text);
    statements = int(all.size());
    for (const QStringList &st : all) {
        if (st.isEmpty()) continue;
        const QString command = st.first();
        if (command == QLatin1String("createNode")) {
            currentType = st.value(1);
            current = st.value(st.indexOf(QStringLiteral("-n")) + 1);
            const QString parent = st.contains(QStringLiteral("-p"))
                                       ? st.value(st.indexOf(QStringLiteral("-p")) + 1)
                                       : QString();
            if (currentType == QLatin1String("transform"))
                nodes[current].parent = parent;
            else if (currentType == QLatin1String("locator"))
                nodes[parent].locator = true;
            else if (currentType == QLatin1String("animCurveTL"))
                curves[current];
            else
                error += QStringLiteral("unknown node type %1; ").arg(currentType);
        } else if (command == QLatin1String("setAttr") && st.contains(QStringLiteral("-s"))) {
            const int size = st.value(st.indexOf(QStringLiteral("-s")) + 1).toInt();
            const int at = int(st.indexOf(QStringLiteral("-s"))) + 2;
            static const QRegularExpression range(QStringLiteral("^\\.ktv\\[0:(\\d+)\\]$"));
            const auto match = range.match(st.value(at));
            if (!match.hasMatch() || match.captured(1).toInt() != size - 1 ||
                st.size() - at - 1 != 2 * size)
                error += QStringLiteral("bad key list of %1; ").arg(current);
            for (int k = 0; k < size; ++k)
                curves[current].append(
                    {st.value(at + 1 + 2 * k).toDouble(), st.value(at + 2 + 2 * k).toDouble()});
        } else if (command == QLatin1String("connectAttr")) {
            const QString from = st.value(1).section(QLatin1Char('.'), 0, 0);
            const QString node = st.value(2).section(QLatin1Char('.'), 0, 0);
            const QString attr = st.value(2).section(QLatin1Char('.'), 1);
            if (!curves.contains(from) || !nodes.contains(node))
                error += QStringLiteral("connection of unknown nodes %1; ").arg(st.join(' '));
            nodes[node].keys[attr == QLatin1String("ty") ? 1 : 0] = curves.value(from);
        } else if (st.last() == QLatin1String("<unended>")) {
            error += QStringLiteral("a statement without \";\"; ");
        }
    }
    return nodes;
}

// What a 3ds Max script of point helpers makes: each helper's name and keys.
struct MaxKey
{
    int time;
    double x, y, z;
};
QList<QPair<QString, QList<MaxKey>>> readMaxScript(const QByteArray &text, QString &error)
{
    QList<QPair<QString, QList<MaxKey>>> points;
    static const QRegularExpression point(
        QStringLiteral("^\\s*p = Point name:\"((?:[^\"\\\\]|\\\\.)*)\" .*parent:tracks$"));
    static const QRegularExpression key(QStringLiteral(
        "^\\s*at time (-?\\d+) p\\.pos = \\[(-?[\\d.]+), (-?[\\d.]+), (-?[\\d.]+)\\]$"));
    int depth = 0;
    for (const QString &line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        depth += int(line.count(QLatin1Char('('))) - int(line.count(QLatin1Char(')')));
        if (const auto m = point.match(line); m.hasMatch()) {
            QString name = m.captured(1);
            name.replace(QLatin1String("\\\""), QLatin1String("\""));
            points.append({name, {}});
        } else if (const auto k = key.match(line); k.hasMatch()) {
            if (points.isEmpty())
                error += QStringLiteral("a key before any point; ");
            else
                points.last().second.append({k.captured(1).toInt(), k.captured(2).toDouble(),
                                             k.captured(3).toDouble(), k.captured(4).toDouble()});
        } else if (line.contains(QLatin1String("p.pos")) ||
                   line.contains(QLatin1String("Point "))) {
            error += QStringLiteral("unread line: %1; ").arg(line);
        }
    }
    if (depth != 0) error += QStringLiteral("unbalanced parentheses; ");
    return points;
}

} // namespace

class TestSceneExports : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QByteArray written(const char *id, const QList<TestRow> &rows, ExportResult *result = nullptr,
                       int w = 1920, int h = 1080)
    {
        const QString path = dir.filePath(QLatin1String(id) + QStringLiteral(".out"));
        const ExportResult r = saveAs(importedTable(rows), id, path, w, h);
        if (result) *result = r;
        return r.ok() ? fileContents(path) : QByteArray();
    }

    // The formats whose content a file of these bytes fits.
    QList<const Format *> detectFormatOf(const QByteArray &text)
    {
        return detectFormat(writeFile(dir.filePath(QStringLiteral("detect.txt")), text)).candidates;
    }

    static ReadResult read(const char *id, const QByteArray &text)
    {
        return formatById(QLatin1String(id))->read(text, QStringLiteral("test"));
    }

private slots:
    // Each track a locator under the group, its curves keyed at its rows'
    // frames on a plane 10 units wide centred on the origin; one key list per
    // curve however many keys; names made Maya's and said so.
    void mayaScene()
    {
        ExportResult result;
        const QByteArray scene = written("maya-ascii", sceneRows, &result);
        QVERIFY(scene.startsWith("//Maya ASCII"));
        QVERIFY(scene.contains("requires maya"));
        QString error;
        int statements = 0;
        const QMap<QString, MayaTrack> nodes = readMayaScene(scene, error, statements);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QStringList expected{QStringLiteral("Track_01"), QStringLiteral("_1st"),
                                   QStringLiteral("tracks1"), QStringLiteral("B_ume__A_")};
        for (const QString &name : expected) {
            QVERIFY2(nodes.contains(name), qPrintable(name));
            QCOMPARE(nodes[name].parent, QStringLiteral("tracks"));
            QVERIFY(nodes[name].locator);
        }
        QCOMPARE(nodes.size(), 5); // the group and four locators
        const MayaTrack &t = nodes[QStringLiteral("Track_01")];
        QCOMPARE(t.keys[0], (QList<QPair<double, double>>{{1, -5}, {2, 5}, {4, 0}}));
        QCOMPARE(t.keys[1], (QList<QPair<double, double>>{{1, -2.8125}, {2, 2.8125}, {4, 0}}));
        const MayaTrack &low = nodes[QStringLiteral("tracks1")];
        QCOMPARE(low.keys[0].first().first, -3.0);
        QCOMPARE(low.keys[0].first().second, (0.125 - 960) / 192);
        QCOMPARE(low.keys[1].first().second, (1079.875 - 540) / 192);
        // Every renamed track is named in a note.
        QCOMPARE(result.notes.filter(QStringLiteral("Maya's node names")).size(), 4);

        // 100,000 keys of one track: the same number of statements as three.
        QList<TestRow> many;
        for (int f = 0; f < 100000; ++f)
            many.append({QStringLiteral("A"), f, f * 0.01, 5});
        int manyStatements = 0, fewStatements = 0;
        readMayaScene(written("maya-ascii", many), error, manyStatements);
        readMayaScene(written("maya-ascii", many.mid(0, 3)), error, fewStatements);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(manyStatements, fewStatements);
    }

    // Point helpers under the group, keyed in the XZ plane as the Maya scene
    // lays them out; names kept, in UTF-8 after the byte order mark.
    void maxScript()
    {
        const QByteArray script = written("max-nulls", sceneRows);
        QVERIFY(script.startsWith("\xEF\xBB\xBF--"));
        QString error;
        const auto points = readMaxScript(script, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(points.size(), 4);
        QCOMPARE(points[0].first, QStringLiteral("Track 01"));
        QCOMPARE(points[3].first, QStringLiteral("Bäume \"A\""));
        const QList<MaxKey> &keys = points[0].second;
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys[1].time, 2);
        QCOMPARE(keys[1].x, 5.0);
        QCOMPARE(keys[1].y, 0.0);
        QCOMPARE(keys[1].z, 2.8125);
        QCOMPARE(points[2].second.first().time, -3);
        QVERIFY(script.contains("undo \"Import 2D tracks\" on"));
    }

    // The script under node, with a stand-in for the comp, its layers and
    // app: a null per track in one undo group, its Position keys at the
    // frames' times and the pixels as written.
    void afterEffectsScript()
    {
        const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
        if (node.isEmpty()) QSKIP("node is not installed (tools/setup.sh installs it)");
        const QByteArray script = written("ae-nulls", sceneRows);
        for (const char c : script)
            QVERIFY2(uchar(c) < 0x80, "the script is ASCII");
        const QString scriptPath = writeFile(dir.filePath(QStringLiteral("nulls.jsx")), script);
        const QString standIn = writeFile(dir.filePath(QStringLiteral("standin.js")), R"(
const fs = require("fs");
function CompItem() {}
const calls = [], layers = [];
const comp = new CompItem();
comp.width = 1920; comp.height = 1080; comp.frameDuration = 1 / 25;
comp.layers = {addNull: function () {
    const layer = {name: "", times: [], values: [], property: function (group) {
        if (group !== "ADBE Transform Group") throw new Error("no group " + group);
        return {property: function (name) {
            if (name !== "ADBE Position") throw new Error("no property " + name);
            return {setValuesAtTimes: function (t, v) {
                calls.push("keys");
                layer.times = layer.times.concat(t); layer.values = layer.values.concat(v); }};
        }};
    }};
    calls.push("null"); layers.push(layer); return layer; }};
const app = {project: {activeItem: comp},
             beginUndoGroup: function (name) { calls.push("begin"); },
             endUndoGroup: function () { calls.push("end"); }};
function alert(text) { calls.push("alert"); }
eval(fs.readFileSync(process.argv[2], "utf8"));
console.log(JSON.stringify({calls: calls, layers: layers.map(l => ({name: l.name, times: l.times,
                                                                    values: l.values}))}));
)");
        QProcess run;
        run.start(node, {standIn, scriptPath});
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitCode() == 0, run.readAllStandardError().constData());
        const QJsonObject out = QJsonDocument::fromJson(run.readAllStandardOutput()).object();
        const QJsonArray calls = out[QLatin1String("calls")].toArray();
        QCOMPARE(calls.first().toString(), QStringLiteral("begin"));
        QCOMPARE(calls.last().toString(), QStringLiteral("end"));
        QVERIFY(!calls.contains(QStringLiteral("alert")));
        const QJsonArray layers = out[QLatin1String("layers")].toArray();
        QCOMPARE(layers.size(), 4);
        QCOMPARE(layers[3][QLatin1String("name")].toString(), QStringLiteral("Bäume \"A\""));
        const QJsonObject first = layers[0].toObject();
        QCOMPARE(first[QLatin1String("name")].toString(), QStringLiteral("Track 01"));
        const QJsonArray times = first[QLatin1String("times")].toArray();
        QCOMPARE(times.size(), 3);
        QCOMPARE(times[2].toDouble(), 4 / 25.0);
        QCOMPARE(first[QLatin1String("values")][1].toArray(), QJsonArray({1920, 1080}));
        QCOMPARE(layers[2][QLatin1String("values")][0].toArray(), QJsonArray({0.125, 1079.875}));
        QCOMPARE(formatById(QStringLiteral("ae-nulls"))->frameBase, FrameBase::FromZero);
    }

    // Version 4 written and read back to the same rows and plate, every
    // value exact; versions 1 to 3 and 5 read; weights of 0 left out.
    void uvTracks()
    {
        const QList<TestRow> rows{{QStringLiteral("Track 01"), 1001, 0.1, 0.9},
                                  {QStringLiteral("Track 01"), 1002, 1.0 / 3, 2.0 / 3},
                                  {QStringLiteral("B \"2\""), 1001, -0.25, 1e-9}};
        ExportResult result;
        const QByteArray uv = written("uvtrack", rows, &result, 2048, 1152);
        const QJsonObject root = QJsonDocument::fromJson(uv).object();
        QCOMPARE(root[QLatin1String("version")].toInt(), 4);
        QCOMPARE(root[QLatin1String("num_points")].toInt(), 2);
        QCOMPARE(root[QLatin1String("camera")][QLatin1String("resolution")].toArray(),
                 QJsonArray({2048, 1152}));
        ReadResult back = read("uvtrack", uv);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(rowsOf(back.set).size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(back.set.names.at(i), rows[i].name);
            QCOMPARE(back.set.frames[size_t(i)], rows[i].frame);
            QCOMPARE(back.set.x[size_t(i)], rows[i].x); // exact
            QCOMPARE(back.set.y[size_t(i)], rows[i].y);
        }
        QCOMPARE(back.set.plateWidth, 2048);
        QVERIFY(formatById(QStringLiteral("uvtrack"))->sniff(uv));

        const QByteArray v1 = "2\nA\n2\n1 0.5 0.25 1.0\n2 0.5 0.5 0.0\nB\n1\n3 0.75 0.125 0.5\n";
        QVERIFY(formatById(QStringLiteral("uvtrack"))->sniff(v1));
        const auto fitting = detectFormatOf(v1);
        QCOMPARE(fitting.size(), 1);
        back = read("uvtrack", v1);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.set.count, 2);
        QCOMPARE(back.set.names.at(1), QStringLiteral("B"));
        QCOMPARE(back.set.y[1], 0.125);
        QCOMPARE(back.leftOut.keys, 1);
        QVERIFY(back.notes.join(' ').contains(QLatin1String("weights other than 1")));

        // Cut in a point's frames, and a line that is not one.
        ReadResult cut = read("uvtrack", "1\nA\n3\n1 0.5 0.5 1\n2 0.5 0.5 1\n");
        QVERIFY(!cut.ok());
        QCOMPARE(cut.line, 5);
        QVERIFY(cut.error.contains(QLatin1String("cut short")));
        ReadResult bad = read("uvtrack", "1\nA\n2\n1 0.5 0.5 1\n2 0.5 nan 1\n");
        QCOMPARE(bad.line, 5);

        // Version 2 has "pos" alone, 3 and 5 "pos_dist" too: the plate's is read.
        for (int version : {2, 3, 5}) {
            const QByteArray json =
                QStringLiteral("{\"version\": %1, \"num_points\": 1, \"points\": [{\"name\": "
                               "\"P\", \"per_frame\": [{\"frame\": 7, %2\"pos\": [0.5, 0.5], "
                               "\"weight\": 1.0}]}]}")
                    .arg(version)
                    .arg(version >= 3 ? QStringLiteral("\"pos_dist\": [0.25, 0.75], ") : QString())
                    .toUtf8();
            back = read("uvtrack", json);
            QVERIFY2(back.ok(), qPrintable(back.error));
            QCOMPARE(back.set.frames[0], 7);
            QCOMPARE(back.set.x[0], version >= 3 ? 0.25 : 0.5);
        }
        bad = read("uvtrack", "{\"version\": 4,\n \"points\": [\n {\"name\": \"P\",}\n]}");
        QVERIFY(!bad.ok());
        QCOMPARE(bad.line, 3);
        QVERIFY(!read("uvtrack", "{\"version\": 9, \"points\": []}").ok());
    }

    // The JSON is read as JSON is: members in any order, the last of a
    // repeated member, every escape; what is not JSON is refused with its
    // line, however deep its brackets go.
    void uvJsonIsReadAsJson()
    {
        const QByteArray shuffled =
            "{\"points\": [{\"per_frame\": [{\"weight\": 1, \"pos\": [0.5, 0.25], "
            "\"frame\": 3.0}], \"name\": \"first\"}],\n"
            " \"camera\": {\"resolution\": [640, 480]}, \"version\": 4.0}";
        ReadResult back = read("uvtrack", shuffled);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.set.names.at(0), QStringLiteral("first"));
        QCOMPARE(back.set.frames[0], 3);
        QCOMPARE(back.set.x[0], 0.5);
        QCOMPARE(back.set.plateWidth, 640);

        const QByteArray repeated =
            "{\"version\": 2, \"version\": 3, \"points\": [{\"name\": \"gone\", "
            "\"per_frame\": [{\"frame\": 1, \"pos\": [1, 1]}]}], \"points\": [{\"name\": "
            "\"x\", \"name\": \"\\u00e9\\\"\\\\\\/\\ud83d\\ude00\\t\", \"per_frame\": [{\"frame\": "
            "2, "
            "\"pos\": [0, 0], \"pos_dist\": [0.125, 1e-3], \"pos_dist\": [0.75, -2E+1]}, "
            "{\"frame\": 4, \"pos\": [0, 0], \"weight\": 0}]}]}";
        back = read("uvtrack", repeated);
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.set.count, 1);
        QCOMPARE(back.set.names.at(0), applyNameRule(QStringLiteral("é\"\\/\U0001F600\t")));
        QCOMPARE(back.set.x[0], 0.75);
        QCOMPARE(back.set.y[0], -20.0);
        QCOMPARE(back.leftOut.keys, 1); // the key of weight 0
        QVERIFY(back.notes.join(' ').contains(QLatin1String("\"pos_dist\"")));

        const QList<std::pair<QByteArray, int>> broken{
            {"{\"version\": 4,\n \"points\": []\n} x", 3},
            {"{\"version\" 4}", 1},
            {"{\"version\": 4, \"points\": [{\"name\": \"P\n}]}", 2},
            {"{\"version\": 4,\n\"points\": [1e400]}", 2},
            {"{\"version\": 4, \"deep\": " + QByteArray(5000, '[') + QByteArray(5000, ']') + "}",
             1},
            {"{\"version\": 4, \"points\": [", 1}};
        for (const auto &[text, line] : broken) {
            const ReadResult refused = read("uvtrack", text);
            QVERIFY2(!refused.ok() && refused.error.contains(QLatin1String("not JSON")), text);
            QCOMPARE(refused.line, line);
        }
        const ReadResult text = read("uvtrack", "{\"version\": \"4\", \"points\": []}");
        QVERIFY(text.error.contains(QLatin1String("version 4;")));
        const ReadResult notAPoint = read("uvtrack", "{\"version\": 4, \"points\": [7]}");
        QVERIFY(notAPoint.error.contains(QLatin1String("point 1 has no name")));
    }

    // A layer's Position and Anchor Point and the Corner Pin's corners, a
    // track each; Scale and Rotation named as left out; the plate read.
    void afterEffectsKeyframeData()
    {
        const QByteArray data = "Adobe After Effects 8.0 Keyframe Data\n\n"
                                "\tUnits Per Second\t25\n\tSource Width\t1280\n"
                                "\tSource Height\t720\n\tSource Pixel Aspect Ratio\t1\n"
                                "\tComp Pixel Aspect Ratio\t1\n\n"
                                "Transform\tPosition\n\tFrame\tX pixels\tY pixels\tZ pixels\t\n"
                                "\t0\t640\t360\t0\t\n\t1\t641.5\t359.25\t0\t\n\n"
                                "Transform\tAnchor Point\n\tFrame\tX pixels\tY pixels\tZ pixels\t\n"
                                "\t0\t10\t20\t0\t\n\n"
                                "Transform\tScale\n\tFrame\tX percent\tY percent\tZ percent\t\n"
                                "\t0\t100\t100\t100\t\n\n"
                                "Transform\tRotation\n\tFrame\tdegrees\t\n\t0\t12\t\n\n"
                                "Effects\tCorner Pin #1\tUpper Left #2\n\tFrame\tX pixels\tY "
                                "pixels\t\n\t0\t1\t2\t\n\n"
                                "Effects\tCorner Pin #1\tUpper Right #3\n\tFrame\tX pixels\tY "
                                "pixels\t\n\t0\t3\t4\t\n\n"
                                "Effects\tCorner Pin #1\tLower Left #4\n\tFrame\tX pixels\tY "
                                "pixels\t\n\t0\t5\t6\t\n\n"
                                "Effects\tCorner Pin #1\tLower Right #5\n\tFrame\tX pixels\tY "
                                "pixels\t\n\t0\t7\t8\t\n\n\nEnd of Keyframe Data\n";
        const auto fitting = detectFormatOf(data);
        QCOMPARE(fitting.size(), 1);
        QCOMPARE(QLatin1String(fitting.first()->id), QLatin1String("ae-track"));
        const ReadResult r = read("ae-track", data);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.names.runs(),
                 QStringList({"Position", "Anchor Point", "Corner Pin 1 Upper Left",
                              "Corner Pin 1 Upper Right", "Corner Pin 1 Lower Left",
                              "Corner Pin 1 Lower Right"}));
        QCOMPARE(r.set.count, 7);
        QCOMPARE(r.set.x[1], 641.5);
        QCOMPARE(r.set.y[1], 359.25);
        QCOMPARE(r.set.plateWidth, 1280);
        QCOMPARE(r.set.plateHeight, 720);
        QCOMPARE(r.leftOut.tracks, 2);
        const QString notes = r.notes.join('\n');
        QVERIFY(notes.contains(QLatin1String("\"Transform Scale\"")));
        QVERIFY(notes.contains(QLatin1String("\"Transform Rotation\"")));
        QVERIFY(notes.contains(QLatin1String("25 per second")));
        // Cut before its end.
        const ReadResult cut = read("ae-track", data.left(data.indexOf("Transform\tScale")));
        QVERIFY(!cut.ok());
        QVERIFY(cut.error.contains(QLatin1String("cut short")));
    }

    // Four tracks as the corners, by their names or as a table of four
    // holds them; read back as the Corner Pin's corners; anything else refused.
    void cornerPin()
    {
        QList<TestRow> rows;
        const QStringList names{"c", "d", "a", "b", "e"};
        for (int t = 0; t < names.size(); ++t)
            for (int f = 1; f <= 3; ++f)
                rows.append({names[t], f, 100.0 * t + f, 50.0 * t - f});
        const TrackTable table = importedTable(rows);
        ExportParams p;
        p.format = formatById(QStringLiteral("ae-cornerpin"));
        p.targetPath = dir.filePath(QStringLiteral("pin.txt"));
        p.windowWidth = QStringLiteral("1920");
        p.windowHeight = QStringLiteral("1080");
        p.pixelAspect = QStringLiteral("1.0");
        ExportResult result = exportTable(table, p);
        QVERIFY(result.error.contains(QLatin1String("has 5")));
        p.corners = QStringList{"a", "b", "c", "x"};
        QVERIFY(exportTable(table, p).error.contains(QLatin1String("no track \"x\"")));
        p.corners = QStringList{"a", "b", "c", "d"};
        result = exportTable(table, p);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.rows, 12); // the fifth track is left out, and said so
        QVERIFY(result.notes.join(' ').contains(QLatin1String("left out")));
        ReadResult back = read("ae-track", fileContents(p.targetPath));
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.set.names.runs(),
                 QStringList({"Corner Pin 1 Upper Left", "Corner Pin 1 Upper Right",
                              "Corner Pin 1 Lower Left", "Corner Pin 1 Lower Right"}));
        QCOMPARE(back.set.x[0], 201.0); // "a"
        QCOMPARE(back.set.y[11], 47.0); // "d" at frame 3
        QCOMPARE(back.set.plateWidth, 1920);

        // A table of four needs no names: its tracks in their order.
        const ExportResult four = saveAs(importedTable(rows.mid(0, 12)), "ae-cornerpin",
                                         dir.filePath(QStringLiteral("four.txt")));
        QVERIFY2(four.ok(), qPrintable(four.error));
        back = read("ae-track", fileContents(dir.filePath(QStringLiteral("four.txt"))));
        QCOMPARE(back.set.x[0], 1.0); // "c", the first
    }
};

QTEST_GUILESS_MAIN(TestSceneExports)
#include "tst_sceneexports.moc"
