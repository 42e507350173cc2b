// SPDX-License-Identifier: Apache-2.0
// What Corvane writes for After Effects besides its tracker data: an
// ExtendScript (.jsx) that makes a null layer per track in the active
// comp, its Position keyed at the rows' frames (frame 0 at the comp's
// start, a frame the comp's frameDuration long), in one undo group; and
// Corner Pin keyframe data, four tracks as the effect's four corners, to
// paste onto a layer.
#include "formats/families.h"
#include "formats/kit/scripttext.h"
#include "table/numbers.h"

#include <QSet>

#include <array>

namespace corvane {

namespace {

void writeNulls(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    ctx.write("// 2D tracks as null layers of the active comp, for After Effects' File >\n"
              "// Scripts > Run Script File. Positions are the comp's pixels from its top-left\n"
              "// corner; frame 0 is the comp's start.\n"
              "(function () {\n"
              "    var plate = [");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(", ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("];\n    // Each track: its name and its keys, frame, x, y.\n    var tracks = [\n");
    const double total = std::max(1, ctx.exportRowCount());
    for (size_t t = 0; t < runs.size(); ++t) {
        const TrackRun &run = runs[t];
        QByteArray &out = ctx.out();
        out += "        {name: ";
        appendQuoted(out, run.name, Literal::JavaScript);
        out += ", keys: [";
        for (int i = 0; i < run.count; ++i) {
            const ExportRow row = ctx.exportRow(run.first + i);
            QByteArray &keys = ctx.out();
            keys += i == 0 ? "\n            " : i % 4 == 0 ? ",\n            " : ", ";
            appendInt(keys, row.frame);
            keys += ", ";
            appendFixedExact(keys, row.x());
            keys += ", ";
            appendFixedExact(keys, row.y());
            if ((i & 4095) == 4095 && !ctx.mayFlush((run.first + i) / total)) return;
        }
        ctx.write(t + 1 < runs.size() ? "]},\n" : "]}\n");
    }
    ctx.write(
        "    ];\n"
        "    var comp = app.project.activeItem;\n"
        "    if (!(comp instanceof CompItem)) {\n"
        "        alert(\"Select a composition first: the tracks become null layers of the active "
        "comp.\");\n"
        "        return;\n"
        "    }\n"
        "    if (comp.width !== plate[0] || comp.height !== plate[1])\n"
        "        alert(\"The tracks are of a \" + plate[0] + \" x \" + plate[1] + \" plate, the "
        "comp \""
        " +\n"
        "              \"is \" + comp.width + \" x \" + comp.height + \": they are placed in its "
        "pixels as they are.\");\n"
        "    app.beginUndoGroup(\"Import 2D tracks\");\n"
        "    for (var t = 0; t < tracks.length; t++) {\n"
        "        var keys = tracks[t].keys, times = [], values = [];\n"
        "        for (var k = 0; k < keys.length; k += 3) {\n"
        "            times.push(keys[k] * comp.frameDuration);\n"
        "            values.push([keys[k + 1], keys[k + 2]]);\n"
        "        }\n"
        "        var layer = comp.layers.addNull();\n"
        "        layer.name = tracks[t].name;\n"
        "        var position = layer.property(\"ADBE Transform Group\").property(\"ADBE "
        "Position\");\n"
        "        position.setValuesAtTimes(times, values);\n"
        "    }\n"
        "    app.endUndoGroup();\n"
        "})();\n");
}

const WriterSteps nullsWriter{writeNulls, nullptr, nullptr};

// The effect's corners, in the order of --corners and of the keyframe data.
const char *const cornerNames[4] = {"Upper Left", "Upper Right", "Lower Left", "Lower Right"};

void writeCornerPin(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    std::array<const TrackRun *, 4> corners{};
    if (ctx.corners.isEmpty()) {
        QSet<QString> names;
        for (const TrackRun &run : runs)
            names.insert(run.name);
        if (names.size() == 4 && runs.size() == 4)
            for (size_t c = 0; c < 4; ++c)
                corners[c] = &runs[c];
        else
            ctx.note(QStringLiteral("no corner was written: a corner pin takes four tracks, the "
                                    "upper-left, upper-right, lower-left and lower-right corners, "
                                    "and the save has %1 (name the four corners' tracks).")
                         .arg(names.size()));
    } else {
        for (size_t c = 0; c < 4; ++c) {
            const QString name = ctx.corners.value(qsizetype(c));
            for (const TrackRun &run : runs)
                if (run.name == name && !corners[c]) corners[c] = &run;
            if (!corners[c])
                ctx.note(QStringLiteral("the %1 corner was not written: the save has no track "
                                        "\"%2\".")
                             .arg(QString::fromLatin1(cornerNames[c]).toLower(), name));
        }
    }
    const QString aspect = general6(ctx.pixelAspect);
    ctx.write("Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t24\n\tSource Width\t");
    ctx.writeInt(ctx.windowWidth);
    ctx.write("\n\tSource Height\t");
    ctx.writeInt(ctx.windowHeight);
    ctx.write("\n\tSource Pixel Aspect Ratio\t");
    ctx.write(aspect);
    ctx.write("\n\tComp Pixel Aspect Ratio\t");
    ctx.write(aspect);
    ctx.write("\n\n");
    int written = 0;
    for (size_t c = 0; c < 4; ++c) {
        if (!corners[c]) continue;
        ctx.write("Effects\tCorner Pin #1\t");
        ctx.write(cornerNames[c]);
        ctx.write(" #");
        ctx.writeInt(int(c) + 2);
        ctx.write("\n\tFrame\tX pixels\tY pixels\t\n");
        for (int i = 0; i < corners[c]->count; ++i) {
            const ExportRow row = ctx.exportRow(corners[c]->first + i);
            QByteArray &out = ctx.out();
            out += '\t';
            row.appendFrameXY(out, "\t");
            out += "\t\n";
        }
        written += corners[c]->count;
        ctx.write("\n");
        if (!ctx.mayFlush(double(c + 1) / 4)) return;
    }
    ctx.write("\nEnd of Keyframe Data\n");
    ctx.rowsLeftOut = ctx.exportRowCount() - written;
    if (ctx.rowsLeftOut > 0)
        ctx.note(QStringLiteral("%1 rows of tracks that are not corners were left out: a corner "
                                "pin holds four tracks.")
                     .arg(ctx.rowsLeftOut));
}

const WriterSteps cornerPinWriter{writeCornerPin, nullptr, nullptr};

} // namespace

Formats afterEffectsScriptFormats()
{
    Format nulls;
    nulls.id = "ae-nulls";
    nulls.name = "After Effects Script";
    nulls.importFilter = nulls.treeExportFilter = "After Effects Null Layers Script (*.jsx)";
    nulls.writer = &nullsWriter;
    nulls.frameBase = FrameBase::FromZero;

    Format pin;
    pin.id = "ae-cornerpin";
    pin.name = "After Effects Corner Pin";
    pin.importFilter = pin.treeExportFilter = "After Effects Corner Pin File (*.txt)";
    pin.writer = &cornerPinWriter;
    pin.cornerPin = true;
    return {nulls, pin};
}

} // namespace corvane
