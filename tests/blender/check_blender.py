# SPDX-License-Identifier: Apache-2.0
"""Blender reads what Corvane gives it: a written script makes the clip's tracks
of a real 3D Equalizer file, and the add-on imports the file into a clip and
exports the clip to 3DE v4; each is compared, track by track, frame by frame,
with Corvane's own reading (within 1e-4 px). Exits 77 (skipped) where Blender
is not installed."""

import json
import os
import shutil
import subprocess
import sys
import tempfile

import corvane

SOURCE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(os.environ["CORVANE_TEST_SAMPLES"], "3de_export_cube.txt")
ADDON = os.path.join(SOURCE, "..", "..", "packaging", "blender")
PLATE = (1920, 1080)

# Run inside Blender after the script: the active clip's tracks in pixels
# from the lower-left corner, at scene frames, without the disabled markers.
DUMP = """
import bpy, json, os
clip = bpy.context.scene.active_clip
size = tuple(clip.size)
tracks = [[t.name, [[m.frame + clip.frame_start - 1, m.co[0] * size[0], m.co[1] * size[1]]
                    for m in t.markers if not m.mute]] for t in clip.tracking.tracks]
with open(os.environ["CORVANE_DUMP"], "w") as f:
    json.dump({"size": size, "tracks": tracks}, f)
"""

# Run inside Blender: the add-on imports the sample into a stand-in clip of
# the plate and exports the clip's tracks as 3DE v4.
ADDON_RUN = """
import os, sys
import bpy
sys.path.insert(0, os.environ["CORVANE_ADDON"])
import corvane_tracks
corvane_tracks.register()
assert bpy.ops.import_scene.corvane_tracks(filepath=os.environ["CORVANE_SAMPLE"], width=1920,
                                           height=1080) == {"FINISHED"}
assert bpy.ops.export_scene.corvane_tracks(filepath=os.environ["CORVANE_OUT"],
                                           format="3de4") == {"FINISHED"}
"""


def blender(folder, scripts, env):
    run = [BLENDER, "-b", "--factory-startup", "--python-exit-code", "1"]
    for i, text in enumerate(scripts):
        path = text if os.path.isfile(text) else os.path.join(folder, "run%d.py" % i)
        if path != text:
            with open(path, "w") as f:
                f.write(text)
        run += ["--python", path]
    done = subprocess.run(run, env=dict(os.environ, **env), capture_output=True, text=True,
                          timeout=240)
    if done.returncode != 0:
        sys.exit("blender failed:\n" + done.stdout[-3000:] + done.stderr[-3000:])


def compare(expected, got, what):
    """Same track names, frames and values within 1e-4 px; got holds
    [name, [[frame, x, y], ...]] per track."""
    names = [t.name for t in expected]
    assert [t[0] for t in got] == names, "%s: tracks %s, not %s" % (what, [t[0] for t in got],
                                                                      names)
    for track, (_, keys) in zip(expected, got):
        assert [k[0] for k in keys] == list(track.frames), "%s: frames of %s" % (what, track.name)
        for (frame, x, y), ex, ey in zip(keys, track.x, track.y):
            assert abs(x - ex) < 1e-4 and abs(y - ey) < 1e-4, (
                "%s: %s at frame %d is (%f, %f), not (%f, %f)" % (what, track.name, frame, x, y,
                                                                  ex, ey))


def check_script(folder, expected):
    script = os.path.join(folder, "tracks.py")
    corvane.write(corvane.convert(expected, to="blender-tracks", plate=PLATE), script)
    dump = os.path.join(folder, "dump.json")
    blender(folder, [script, DUMP], {"CORVANE_DUMP": dump})
    with open(dump) as f:
        got = json.load(f)
    assert tuple(got["size"]) == PLATE, got["size"]
    compare(expected, got["tracks"], "the script")


def check_addon(folder, expected):
    out = os.path.join(folder, "exported.txt")
    blender(folder, [ADDON_RUN], {"CORVANE_ADDON": ADDON, "CORVANE_SAMPLE": SAMPLE,
                                  "CORVANE_OUT": out})
    back = corvane.read(out, format="3de4")
    compare(expected, [[t.name, [[f, x, y] for f, x, y in zip(t.frames, t.x, t.y)]]
                       for t in back], "the add-on")


BLENDER = os.environ.get("BLENDER") or shutil.which("blender")
if __name__ == "__main__":
    if not BLENDER:
        print("SKIP: blender is not installed (tools/setup.sh installs it)")
        sys.exit(77)
    # 3DE v4 counts pixels from the lower-left edge as Blender's markers do,
    # and Corvane's Blender frames are the scene's: the reading is the expectation.
    sample = corvane.read(SAMPLE, format="3de4")
    with tempfile.TemporaryDirectory() as folder:
        check_script(folder, sample)
        check_addon(folder, sample)
    print("blender: the script and the add-on give Corvane's tracks")
