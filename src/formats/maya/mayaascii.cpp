// SPDX-License-Identifier: Apache-2.0
// Maya ASCII scenes (.ma): each track a locator whose translateX and
// translateY are animation curves, one key per row, on a plane of the
// plate's aspect in the XY plane, ten units wide and centred on the origin
// (Maya's Y up), under one group. A curve's keys are one setAttr of its
// keyTimeValue list, so a scene of a million keys is a few commands per
// track. Node names hold letters, digits and "_" only, and no leading digit.
#include "formats/families.h"
#include "formats/kit/scripttext.h"
#include "table/numbers.h"

#include <QFileInfo>
#include <QSet>

namespace corvane {

namespace {

// A name Maya takes for a node: letters, digits and "_", not starting with a digit.
QString legalNodeName(const QString &name)
{
    QString out;
    out.reserve(name.size() + 1);
    for (const QChar c : name)
        out += c.unicode() < 0x80 && (c.isLetterOrNumber() || c == QLatin1Char('_'))
                   ? c
                   : QLatin1Char('_');
    if (out.isEmpty() || out.at(0).isDigit()) out.prepend(QLatin1Char('_'));
    return out;
}

const char *const curveSuffix[2] = {"_translateX", "_translateY"};

// The track's node name, legal and apart from every node made before it
// (its shape and its curves, named after it, too).
QString nodeName(const QString &track, QSet<QString> &used)
{
    const QString base = legalNodeName(track);
    for (int n = 0;; ++n) {
        const QString name = n == 0 ? base : base + QString::number(n);
        const QStringList nodes{name, name + QStringLiteral("Shape"),
                                name + QLatin1String(curveSuffix[0]),
                                name + QLatin1String(curveSuffix[1])};
        if (std::none_of(nodes.begin(), nodes.end(),
                         [&](const QString &node) { return used.contains(node); })) {
            for (const QString &node : nodes)
                used.insert(node);
            return name;
        }
    }
}

void writeCurve(WriteContext &ctx, const TrackRun &run, const QString &node, int axis,
                const ScenePlane &plane, double &done, double total)
{
    ctx.write("createNode animCurveTL -n \"");
    ctx.write(node + QLatin1String(curveSuffix[axis]));
    ctx.write("\";\n\tsetAttr \".wgt\" no;\n\tsetAttr -s ");
    ctx.writeInt(run.count);
    ctx.write(" \".ktv[0:");
    ctx.writeInt(run.count - 1);
    ctx.write("]\"");
    for (int i = 0; i < run.count; ++i) {
        const ExportRow row = ctx.exportRow(run.first + i);
        QByteArray &out = ctx.out();
        out += i % 8 == 0 ? "\n\t\t" : " ";
        appendInt(out, row.frame);
        out += ' ';
        appendFixedExact(out, axis == 0 ? plane.x(row.x()) : plane.y(row.y()));
        if ((i & 4095) == 4095 && !ctx.mayFlush((done + i) / total)) return;
    }
    ctx.write(";\n");
    done += run.count;
}

void writeScene(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    const ScenePlane plane(ctx.windowWidth, ctx.windowHeight);
    ctx.write("//Maya ASCII 2018 scene\n//Name: ");
    ctx.write(QFileInfo(ctx.targetPath).fileName().toUtf8().replace('\n', ' '));
    ctx.write("\n//Codeset: UTF-8\nrequires maya \"2018\";\n"
              "currentUnit -l centimeter -a degree -t film;\n"
              "fileInfo \"application\" \"maya\";\n");
    QSet<QString> used;
    const QString group = nodeName(QStringLiteral("tracks"), used);
    // The group holds the plate's size in its notes, for people.
    ctx.write("createNode transform -n \"");
    ctx.write(group);
    ctx.write("\";\n\taddAttr -ci true -sn \"nts\" -ln \"notes\" -dt \"string\";\n"
              "\tsetAttr \".nts\" -type \"string\" \"2D tracks of a ");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(" x ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write(" plate: the plate is 10 units wide, centred on the origin, Y up.\";\n");
    std::vector<QString> nodes;
    nodes.reserve(runs.size());
    double done = 0;
    const double total = std::max(1.0, 2.0 * ctx.exportRowCount());
    for (const TrackRun &run : runs) {
        const QString node = nodeName(run.name, used);
        if (node != run.name)
            ctx.note(QStringLiteral("track \"%1\" is the locator \"%2\": Maya's node names "
                                    "hold letters, digits and \"_\" only, and are apart.")
                         .arg(run.name, node));
        nodes.push_back(node);
        ctx.write("createNode transform -n \"");
        ctx.write(node);
        ctx.write("\" -p \"");
        ctx.write(group);
        ctx.write("\";\ncreateNode locator -n \"");
        ctx.write(node);
        ctx.write("Shape\" -p \"");
        ctx.write(node);
        ctx.write("\";\n\tsetAttr -k off \".v\";\n"
                  "\tsetAttr \".los\" -type \"double3\" 0.05 0.05 0.05;\n");
        for (int axis = 0; axis < 2; ++axis) {
            writeCurve(ctx, run, node, axis, plane, done, total);
            if (!ctx.mayFlush(done / total)) return;
        }
    }
    for (const QString &node : nodes)
        for (int axis = 0; axis < 2; ++axis) {
            ctx.write("connectAttr \"");
            ctx.write(node + QLatin1String(curveSuffix[axis]));
            ctx.write(".o\" \"");
            ctx.write(node);
            ctx.write(axis == 0 ? ".tx\";\n" : ".ty\";\n");
        }
    ctx.write("// End of scene\n");
}

const WriterSteps writer{writeScene, nullptr, nullptr};

} // namespace

Formats mayaAsciiFormats()
{
    Format f;
    f.id = "maya-ascii";
    f.name = "Maya ASCII";
    f.importFilter = f.treeExportFilter = "Maya ASCII Scene (*.ma)";
    f.writer = &writer;
    f.source = SourceRule::Flip; // pixels from the lower-left, as the scene lays them out
    f.target = TargetRule::Flip;
    return {f};
}

} // namespace corvane
