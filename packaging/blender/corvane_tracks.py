# SPDX-License-Identifier: Apache-2.0
"""Blender add-on: the 2D tracks of every format Corvane reads into the active
movie clip (File > Import > Tracks (Corvane)), and the clip's tracks out to
every format Corvane writes (File > Export > Tracks (Corvane)), with the
clip's size as the plate and its frames. Built on the Python module corvane."""

import os

import bpy
from bpy.props import EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

bl_info = {
    "name": "Corvane Tracks",
    "author": "The Corvane developers",
    "version": (1, 54, 0),
    "blender": (3, 0, 0),
    "location": "File > Import > Tracks (Corvane), File > Export > Tracks (Corvane)",
    "description": "2D tracks of camera trackers and compositors into and out of movie clips",
    "category": "Import-Export",
}

# Marker coordinates are 0..1 over the frame from its lower-left corner:
# the coordinates of Corvane's Blender script format.
BLENDER = "blender-tracks"


def corvane_module():
    try:
        import corvane
    except ImportError as error:
        raise RuntimeError("the Python module corvane is not installed for Blender's "
                           "Python: install Corvane's package") from error
    return corvane


def active_clip(context):
    space = context.space_data
    if space is not None and space.type == "CLIP_EDITOR" and space.clip is not None:
        return space.clip
    return context.scene.active_clip


def stand_in_clip(context, width, height, first_frame):
    """A movie clip of a still image of the plate's size, starting at the frame."""
    folder = bpy.path.abspath("//") if bpy.data.filepath else bpy.app.tempdir
    path = os.path.join(folder, "plate_%dx%d.png" % (width, height))
    image = bpy.data.images.new("plate_%dx%d" % (width, height), width, height)
    image.filepath_raw = path
    image.file_format = "PNG"
    image.save()
    bpy.data.images.remove(image)
    clip = bpy.data.movieclips.load(path)
    clip.frame_start = first_frame
    context.scene.active_clip = clip
    return clip


def add_track(clip, name, frames, xs, ys):
    """A tracking track with a marker per key at the keys' scene frames, a
    disabled marker after its last key and after each run a gap ends."""
    start = clip.frame_start
    at = [frame - start + 1 for frame in frames]
    keys = [(a, x, y) for a, x, y in zip(at, xs, ys) if a >= 0]
    if not keys:
        return 0
    track = clip.tracking.tracks.new(name=name, frame=keys[0][0])
    markers = track.markers
    for a, x, y in keys:
        markers.insert_frame(a, co=(x, y))
    ends = [a + 1 for (a, _, _), (b, _, _) in zip(keys, keys[1:]) if b > a + 1]
    for end in ends + [keys[-1][0] + 1]:
        markers.insert_frame(end, co=markers.find_frame(end - 1).co).mute = True
    return len(keys)


# Blender keeps no reference to an enum's items: they are kept here.
_WRITABLE = []


def writable_formats(self, context):
    if not _WRITABLE:
        _WRITABLE.extend((f.id, f.name, "%s (.%s)" % (f.name, f.extensions[0] if f.extensions
                                                      else "txt"))
                         for f in corvane_module().formats() if f.writes)
    return _WRITABLE


class ImportCorvaneTracks(bpy.types.Operator, ImportHelper):
    """Read a 2D track file of any format Corvane reads into the active movie clip"""

    bl_idname = "import_scene.corvane_tracks"
    bl_label = "Import Tracks (Corvane)"
    bl_options = {"REGISTER", "UNDO"}

    filter_glob: StringProperty(default="*", options={"HIDDEN"})
    width: IntProperty(name="Plate Width", min=0, default=0,
                       description="The plate's width where there is no active clip and the "
                                   "file states none")
    height: IntProperty(name="Plate Height", min=0, default=0,
                        description="The plate's height where there is no active clip and the "
                                    "file states none")

    def execute(self, context):
        try:
            corvane = corvane_module()
            tracks = corvane.read(self.filepath)
            clip = active_clip(context)
            if clip is None:
                plate = tracks.plate or ((self.width, self.height)
                                         if self.width and self.height else None)
                if plate is None:
                    self.report({"ERROR"}, "No movie clip is open and the file states no plate: "
                                           "open the footage or give the plate's size")
                    return {"CANCELLED"}
                clip = stand_in_clip(context, plate[0], plate[1], tracks.first_frame or 1)
            plate = tuple(clip.size)
            converted = corvane.convert(tracks, to=BLENDER, plate=plate)
        except (RuntimeError, ValueError, OSError) as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        keys = sum(add_track(clip, t.name, t.frames, t.x, t.y) for t in converted)
        for note in tracks.notes:
            self.report({"WARNING"}, note)
        self.report({"INFO"}, "%d tracks, %d markers into \"%s\"" % (len(converted), keys,
                                                                      clip.name))
        return {"FINISHED"}


class ExportCorvaneTracks(bpy.types.Operator, ExportHelper):
    """Write the active movie clip's tracks in a format Corvane writes"""

    bl_idname = "export_scene.corvane_tracks"
    bl_label = "Export Tracks (Corvane)"

    filename_ext = ""
    filter_glob: StringProperty(default="*", options={"HIDDEN"})
    format: EnumProperty(name="Format", items=writable_formats,
                         description="The program and format to write")

    def execute(self, context):
        clip = active_clip(context)
        if clip is None:
            self.report({"ERROR"}, "No movie clip is open: its tracks are what is exported")
            return {"CANCELLED"}
        start = clip.frame_start
        rows = [(track.name, marker.frame + start - 1, marker.co[0], marker.co[1])
                for track in clip.tracking.tracks for marker in track.markers if not marker.mute]
        if not rows:
            self.report({"ERROR"}, "The clip \"%s\" has no markers to export" % clip.name)
            return {"CANCELLED"}
        try:
            corvane = corvane_module()
            plate = tuple(clip.size)
            tracks = corvane.Tracks.from_rows(rows, plate=plate, format=BLENDER)
            report = corvane.write(corvane.convert(tracks, to=self.format, plate=plate),
                                   self.filepath, format=self.format)
        except (RuntimeError, ValueError, OSError) as error:
            self.report({"ERROR"}, str(error))
            return {"CANCELLED"}
        for note in report.notes:
            self.report({"WARNING"}, note)
        self.report({"INFO"}, "%d tracks, %d rows written" % (report.tracks, report.rows))
        return {"FINISHED"}


def menu_import(self, context):
    self.layout.operator(ImportCorvaneTracks.bl_idname, text="Tracks (Corvane)")


def menu_export(self, context):
    self.layout.operator(ExportCorvaneTracks.bl_idname, text="Tracks (Corvane)")


def register():
    bpy.utils.register_class(ImportCorvaneTracks)
    bpy.utils.register_class(ExportCorvaneTracks)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    bpy.utils.unregister_class(ExportCorvaneTracks)
    bpy.utils.unregister_class(ImportCorvaneTracks)


if __name__ == "__main__":
    register()
