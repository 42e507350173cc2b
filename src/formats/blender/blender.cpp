// SPDX-License-Identifier: Apache-2.0
// Blender has no file of 2D tracks: they reach it as a Python script, run
// from its Text Editor or with "blender --python". The script makes a movie
// clip of the plate's size and frame range (or takes the footage it is
// given, or a clip of that size already open) and adds a tracking track
// per track, a marker per row. Marker coordinates are Blender's: 0..1 over
// the frame from its lower-left corner. A marker's frame is the clip's own
// (1 at its start frame): the script places each row at the scene frame of
// the row's frame. A track stops with a disabled marker after its last row
// and after each run of frames that a gap ends, as Blender's own tracks do.
#include "formats/families.h"
#include "formats/kit/scripttext.h"
#include "table/numbers.h"

#include <QSet>

namespace corvane {

namespace {

// Blender keeps a track's name in 63 bytes of UTF-8, and makes names apart.
constexpr int NameBytes = 63;

QString blenderName(const QString &name, QSet<QString> &used)
{
    QString base = name;
    while (base.toUtf8().size() > NameBytes)
        base.chop(base.size() >= 2 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
    QString out = base;
    for (int n = 1; used.contains(out); ++n) {
        const QString suffix = QStringLiteral(".%1").arg(n, 3, 10, QLatin1Char('0'));
        out = base;
        while ((out + suffix).toUtf8().size() > NameBytes)
            out.chop(1);
        out += suffix;
    }
    used.insert(out);
    return out;
}

const char scriptCode[] = R"(

def clip_for_tracks():
    """The footage asked for, the active clip or a clip of the plate's size,
    or a new clip of a still image of the plate's size."""
    scene = bpy.context.scene
    if FOOTAGE:
        clip = bpy.data.movieclips.load(FOOTAGE, check_existing=True)
        return clip, False
    for clip in [scene.active_clip] + list(bpy.data.movieclips):
        if clip is not None and tuple(clip.size) == PLATE:
            return clip, False
    folder = bpy.path.abspath("//") if bpy.data.filepath else bpy.app.tempdir
    path = os.path.join(folder, "plate_%dx%d.png" % PLATE)
    image = bpy.data.images.new("plate_%dx%d" % PLATE, PLATE[0], PLATE[1])
    image.filepath_raw = path
    image.file_format = "PNG"
    image.save()
    bpy.data.images.remove(image)
    clip = bpy.data.movieclips.load(path)
    clip.frame_start = FRAMES[0]
    return clip, True


def add_tracks(clip):
    tracks = clip.tracking.tracks
    start = clip.frame_start
    for name, keys in TRACKS:
        marker_frames = [frame - start + 1 for frame, _, _ in keys]
        track = tracks.new(name=name, frame=max(marker_frames[0], 0))
        markers = track.markers
        for (frame, x, y), at in zip(keys, marker_frames):
            if at >= 0:
                markers.insert_frame(at, co=(x, y))
        # The track ends after its last key and before each gap.
        ends = [a + 1 for a, b in zip(marker_frames, marker_frames[1:]) if b > a + 1]
        for at in ends + [marker_frames[-1] + 1]:
            if at >= 1:
                markers.insert_frame(at, co=markers.find_frame(at - 1).co).mute = True
    return clip


def main():
    clip, made = clip_for_tracks()
    scene = bpy.context.scene
    scene.active_clip = clip
    if made:
        scene.frame_start, scene.frame_end = FRAMES
    add_tracks(clip)
    screen = bpy.context.screen
    for area in screen.areas if screen else []:
        if area.type == "CLIP_EDITOR":
            area.spaces.active.clip = clip
    print("%d tracks added to the movie clip \"%s\"" % (len(TRACKS), clip.name))


main()
)";

void writeScript(WriteContext &ctx)
{
    const std::vector<TrackRun> runs = trackRuns(ctx);
    int first = 0, last = 0;
    for (int k = 0; k < ctx.exportRowCount(); ++k) {
        const int frame = ctx.exportRow(k).frame;
        first = k == 0 ? frame : std::min(first, frame);
        last = k == 0 ? frame : std::max(last, frame);
    }
    ctx.write(
        "# 2D tracks for Blender's Movie Clip Editor. Run this script from Blender's Text\n"
        "# Editor (Run Script) or with \"blender --python\" and it adds a tracking track per\n"
        "# track to a movie clip of the plate's size: the one named in FOOTAGE, else the\n"
        "# active clip or another clip of that size, else a new clip of a still image.\n"
        "# Marker coordinates are Blender's, 0..1 from the frame's lower-left corner.\n"
        "import os\n\nimport bpy\n\nPLATE = (");
    ctx.writeInt(ctx.windowWidth);
    ctx.write(", ");
    ctx.writeInt(ctx.windowHeight);
    ctx.write(")\nFRAMES = (");
    ctx.writeInt(first);
    ctx.write(", ");
    ctx.writeInt(last);
    ctx.write(")\n# The footage's file, to load it as the clip instead.\nFOOTAGE = \"\"\n"
              "# Each track: its name and its keys, (scene frame, x, y).\nTRACKS = [\n");
    QSet<QString> used;
    const double total = std::max(1, ctx.exportRowCount());
    for (const TrackRun &run : runs) {
        const QString name = blenderName(run.name, used);
        if (name != run.name)
            ctx.note(QStringLiteral("track \"%1\" is \"%2\" in Blender: its track names are "
                                    "apart and hold 63 bytes.")
                         .arg(run.name, name));
        QByteArray &out = ctx.out();
        out += "    (";
        appendQuoted(out, name, Literal::Python);
        out += ", (";
        for (int i = 0; i < run.count; ++i) {
            const ExportRow row = ctx.exportRow(run.first + i);
            QByteArray &keys = ctx.out();
            keys += i % 3 == 0 ? "\n        (" : " (";
            appendInt(keys, row.frame);
            keys += ", ";
            appendFixedExact(keys, row.x());
            keys += ", ";
            appendFixedExact(keys, row.y());
            keys += "),";
            if ((i & 4095) == 4095 && !ctx.mayFlush((run.first + i) / total)) return;
        }
        ctx.write(")),\n");
    }
    ctx.write("]\n");
    ctx.write(scriptCode);
}

const WriterSteps writer{writeScript, nullptr, nullptr};

} // namespace

Formats blenderFormats()
{
    Format f;
    f.id = "blender-tracks";
    f.name = "Blender Script";
    f.importFilter = f.treeExportFilter = "Blender Tracks Script (*.py)";
    f.writer = &writer;
    f.source = SourceRule::AfterEffectsMask; // 0..1 from the lower-left, as Blender's markers
    f.target = TargetRule::AfterEffectsMask;
    return {f};
}

} // namespace corvane
