// SPDX-License-Identifier: Apache-2.0
// 3ds Max scripts (.ms): run from Scripting > Run Script, each track becomes
// a point helper keyed at its rows' frames, on a plane of the plate's aspect
// upright in the XZ plane (3ds Max's Z up, the Front view), ten units wide
// and centred on the origin, as the Maya scene lays it out. One undo step;
// names are kept (UTF-8, with the byte order mark 3ds Max reads it by).
#include "formats/families.h"
#include "formats/kit/scripttext.h"
#include "table/numbers.h"

namespace corvane {

namespace {

void writeScript(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    const ScenePlane plane(ctx.windowWidth, ctx.windowHeight);
    ctx.write("\xEF\xBB\xBF-- 2D tracks of a ");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(" x ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write(" plate as point helpers: the plate is 10 units wide, centred on the\n"
              "-- origin, upright in the XZ plane (the Front view). Run it from Scripting >\n"
              "-- Run Script.\n(\n"
              "\tundo \"Import 2D tracks\" on\n\t(\n"
              "\t\tlocal tracks = Dummy name:\"tracks\" boxsize:[");
    QByteArray &head = ctx.out();
    appendFixedExact(head, plane.width());
    head += ", 0.01, ";
    appendFixedExact(head, plane.height());
    ctx.write("]\n\t\tlocal p\n");
    const double total = std::max(1, ctx.exportRowCount());
    for (const TrackRun &run : runs) {
        QByteArray &out = ctx.out();
        out += "\t\tp = Point name:";
        appendQuoted(out, run.name, Literal::Utf8);
        out += " size:0.1 cross:true box:false centermarker:false parent:tracks\n"
               "\t\twith animate on\n\t\t(\n";
        for (int i = 0; i < run.count; ++i) {
            const ExportRow row = ctx.exportRow(run.first + i);
            QByteArray &keys = ctx.out();
            keys += "\t\t\tat time ";
            appendInt(keys, row.frame);
            keys += " p.pos = [";
            appendFixedExact(keys, plane.x(row.x()));
            keys += ", 0, ";
            appendFixedExact(keys, plane.y(row.y()));
            keys += "]\n";
            if ((i & 4095) == 4095 && !ctx.mayFlush((run.first + i) / total)) return;
        }
        ctx.write("\t\t)\n");
    }
    ctx.write("\t)\n)\n");
}

const WriterSteps writer{writeScript, nullptr, nullptr};

} // namespace

Formats maxScriptFormats()
{
    Format f;
    f.id = "max-nulls";
    f.name = "3ds Max Script";
    f.importFilter = f.treeExportFilter = "3ds Max Script (*.ms)";
    f.writer = &writer;
    f.source = SourceRule::Flip; // pixels from the lower-left, as the scene lays them out
    f.target = TargetRule::Flip;
    return {f};
}

} // namespace corvane
