# SPDX-License-Identifier: Apache-2.0
"""The Python module against the converter: the same readings, conversions
and files, and every error kind raised with the core's message."""

import os
import re
import subprocess
import sys
import time

import pytest

import corvane

SAMPLES = os.environ.get("CORVANE_TEST_SAMPLES", "")
CONVERT = os.environ.get("CORVANE_CONVERT", "corvane-convert")


def converter(*args):
    return subprocess.run([CONVERT, *args], capture_output=True, text=True)


def info(path):
    """The converter's --info lines as a dict."""
    out = converter("--info", path).stdout
    return dict(re.findall(r"^\s+(\w+): (.*)$", out, re.M))


def test_formats_are_the_registry():
    listed = [line.split()[0] for line in converter("--list-formats").stdout.splitlines()]
    formats = corvane.formats()
    assert [f.id for f in formats] == listed
    v4 = formats[0]
    assert (v4.id, v4.reads, v4.writes, v4.shapes, v4.per_track) == (
        "3de4", True, True, False, False)
    assert "txt" in [e.lstrip("*.") for e in v4.extensions]
    assert any(f.shapes for f in formats) and any(f.per_track for f in formats)
    assert repr(v4).startswith("<corvane.Format 3de4")


@pytest.mark.parametrize("name", ["3de_export_cube.txt", "nuke_camtracker.txt"])
def test_a_real_file_reads_as_the_converter_reads_it(name):
    path = os.path.join(SAMPLES, name)
    expected = info(path)
    assert corvane.detect(path)[0] == expected["format"].split()[0]
    tracks = corvane.read(path)
    assert len(tracks) == int(expected["tracks"])
    assert tracks.rows == int(expected["rows"])
    frames = [f for t in tracks for f in t.frames]
    assert "%d..%d" % (min(frames), max(frames)) == expected["frames"]
    plate = tracks.plate
    assert (expected["plate"] == "not stated") == (plate is None)
    first = tracks[0]
    assert tracks[first.name].frames.tolist() == first.frames.tolist()
    assert len(first.x) == len(first.y) == len(first.frames) == len(first)


def test_rows_from_python_convert_write_and_read_back(tmp_path):
    rows = [("Track_%04d" % t, f, 100.25 * t + f, 900.5 - 2 * f)
            for t in range(1, 6) for f in range(1, 51)]
    tracks = corvane.Tracks.from_rows(rows, plate=(1920, 1080))
    assert (len(tracks), tracks.rows, tracks.plate) == (5, 250, (1920, 1080))
    # 3DE to 3DE: the values stay as they are.
    report = corvane.write(tracks, str(tmp_path / "out.txt"), "3de4")
    assert (report.rows, report.tracks) == (250, 5)
    back = corvane.read(report.written[0])
    assert [(t.name, f, x, y) for t in back for f, x, y in zip(t.frames, t.x, t.y)] == rows

    # Converted as the converter converts: the same bytes.
    source = tmp_path / "source.txt"
    corvane.write(tracks, str(source), "3de4")
    converted = corvane.convert(corvane.read(str(source)), "nuke-tracker", plate=(1920, 1080),
                                first_frame=1001)
    assert converted.converted_for == "nuke-tracker"
    assert converted[0].frames[0] == 1001
    ours = corvane.write(converted, str(tmp_path / "ours.txt"))
    theirs = converter("--to", "nuke-tracker", "--plate", "1920x1080", "--first-frame", "1001",
                       "-o", str(tmp_path / "theirs.txt"), str(source))
    assert theirs.returncode == 0, theirs.stderr
    # The target and one file per track, as the converter writes them.
    assert len(ours.written) == 6
    assert len(list(tmp_path.glob("theirs*"))) == 6
    for path in ours.written:
        other = path.replace("ours", "theirs")
        with open(path, "rb") as a, open(other, "rb") as b:
            assert a.read() == b.read()


def test_every_error_kind_raises_with_its_message(tmp_path):
    bad = tmp_path / "bad.txt"
    bad.write_text("2\nTrack\n0\n2\n1 10 20\n2 ten 20\n")
    with pytest.raises(corvane.ReadError) as caught:
        corvane.read(str(bad), "3de4")
    assert caught.value.file == str(bad) and caught.value.line == 6
    assert "bad.txt" in str(caught.value)

    with pytest.raises(corvane.ReadError) as caught:
        corvane.read(str(tmp_path / "missing.txt"))
    assert "missing.txt" in str(caught.value)

    with pytest.raises(ValueError, match="unknown format"):
        corvane.read(str(bad), "no-such-format")
    tracks = corvane.Tracks.from_rows([("A", 1, 10.0, 20.0)], plate=(100, 100))
    with pytest.raises(ValueError, match="unknown preset"):
        corvane.convert(tracks, "nuke-tracker", preset="sideways")
    with pytest.raises(ValueError, match="plate"):
        corvane.convert(corvane.Tracks.from_rows([("A", 1, 0.5, 0.5)], format="syntheyes"),
                        "nuke-tracker")
    with pytest.raises(ValueError):
        corvane.Tracks.from_rows([("A", 1, 2.0)])

    folder = tmp_path / "folder.txt"
    folder.mkdir()
    with pytest.raises(corvane.SaveError) as caught:
        corvane.write(tracks, str(folder), "3de4")
    assert caught.value.file == str(folder) and "folder.txt" in str(caught.value)


def test_a_million_rows_round_trip(tmp_path):
    rows = [("T%04d" % (i // 1000), i % 1000 + 1, i * 0.125, 1000 - i * 0.0625)
            for i in range(1000000)]
    tracks = corvane.Tracks.from_rows(rows, plate=(4096, 2160))
    report = corvane.write(tracks, str(tmp_path / "big.txt"), "3de4")
    back = corvane.read(report.written[0])
    assert (len(back), back.rows) == (1000, 1000000)
    last = back["T0999"]
    assert (last.frames[-1], last.x[-1], last.y[-1]) == rows[-1][1:]


def test_other_threads_run_while_corvane_works(tmp_path):
    import threading
    rows = [("T%03d" % (i // 2000), i % 2000 + 1, i * 0.5, i * 0.25) for i in range(1200000)]
    tracks = corvane.Tracks.from_rows(rows, plate=(1920, 1080))
    target = str(tmp_path / "t.txt")
    start = time.perf_counter()
    corvane.write(tracks, target, "nuke-cameratracker")
    one_save = time.perf_counter() - start
    worker = threading.Thread(target=lambda: corvane.write(tracks, target, "nuke-cameratracker"))
    longest_wait, last = 0.0, time.perf_counter()
    worker.start()
    while worker.is_alive():
        now = time.perf_counter()
        longest_wait, last = max(longest_wait, now - last), now
    worker.join()
    # Holding the interpreter, the save would stop this thread for all of it.
    assert one_save > 0.1
    assert longest_wait < one_save / 3, (longest_wait, one_save)


SHARED = os.environ.get("CORVANE_SHARED_SAMPLES", "")


def shared(relative):
    path = os.path.join(SHARED, relative)
    if not os.path.exists(path):
        pytest.skip("no shared samples")
    return path


def test_the_data_that_arrives_is_the_data_that_left(tmp_path):
    # A tracker is its reference less its shift: on its moved reference at frame 5.
    moved = corvane.read(shared("flame-stabilizer/stabilizer_2014_ref_for_reexport.stabilizer"))
    track = moved["tracker1_1"]
    assert track.frames[4] == 5 and track.x[4] == pytest.approx(1373.17554, abs=1e-9)
    # Nuke 6's versioned planar tracker class.
    planar = corvane.read(shared("nuke-rotopaint/planar.nk"), format="nuke-script")
    assert [t.name for t in planar] == ["outputBottomLeft", "outputBottomRight",
                                        "outputTopRight", "outputTopLeft"]
    assert planar.rows == 600
    # Names whose last part is no number pass unchanged; a number is padded.
    rows = [(name, 1, 10.0, 20.0) for name in ("a_b", "naïve_ü", "Track_5")]
    out = str(tmp_path / "names.txt")
    corvane.write(corvane.Tracks.from_rows(rows, plate=(100, 100)), out, format="3de4")
    assert [t.name for t in corvane.read(out)] == ["a_b", "naïve_ü", "Track_0005"]


def test_stereo_cameras_and_strict_reads(tmp_path):
    stereo = tmp_path / "shot.2dt"
    stereo.write_text('"A"\n"Primary"\n1\n1 10 20 0\n"Secondary"\n1\n1 8 20 0\n')
    assert [t.name for t in corvane.read(str(stereo))] == ["A", "A_Secondary"]
    secondary = corvane.read(str(stereo), camera="secondary")
    assert [(t.name, t.x.tolist()) for t in secondary] == [("A", [8.0])]
    with pytest.raises(ValueError):
        corvane.read(str(stereo), camera="left")
    script = shared("nuke-script/nuke7_planar.nk")
    assert corvane.read(script).rows == 180  # notes only, by default
    with pytest.raises(corvane.ReadError) as error:
        corvane.read(script, strict=True)
    assert error.value.file == script and error.value.line > 0
    assert "follows an expression; it is left out" in str(error.value)


def test_arguments_are_refused_by_name(tmp_path):
    good = tmp_path / "a.txt"
    good.write_text("1\nA\n0\n1\n1 10 20\n")
    tracks = corvane.Tracks.from_rows([("A", 1, 10.0, 20.0)], plate=(100, 100))
    # A NUL would cut the path short: another file than the one named.
    for call in (lambda: corvane.read(str(good) + "\0junk"),
                 lambda: corvane.detect(str(good) + "\0junk"),
                 lambda: corvane.write(tracks, str(tmp_path / "b.txt\0junk"), "3de4")):
        with pytest.raises(ValueError, match="^path: .*NUL"):
            call()
    assert sorted(os.listdir(tmp_path)) == ["a.txt"]
    # Paths may be os.PathLike.
    assert corvane.read(good).rows == 1

    wrong = [
        (lambda: corvane.read(5), TypeError, "path"),
        (lambda: corvane.detect(None), TypeError, "path"),
        (lambda: corvane.read(str(good), 3), TypeError, "format"),
        (lambda: corvane.read(str(good), strict="yes"), TypeError, "strict"),
        (lambda: corvane.read(str(good), camera=2), TypeError, "camera"),
        (lambda: corvane.read(str(good) + "\udc80"), ValueError, "path"),
        (lambda: corvane.convert(5, "3de4"), TypeError, "tracks"),
        (lambda: corvane.convert(tracks, 7), TypeError, "to"),
        (lambda: corvane.convert(tracks, "3de4", plate=(1, "a")), TypeError, "plate height"),
        (lambda: corvane.convert(tracks, "3de4", plate=5), TypeError, "plate"),
        (lambda: corvane.convert(tracks, "3de4", par="wide"), TypeError, "par"),
        (lambda: corvane.convert(tracks, "3de4", first_frame=1.5), TypeError, "first_frame"),
        (lambda: corvane.convert(tracks, "3de4", first_frame=2**40), ValueError, "first_frame"),
        (lambda: corvane.convert(tracks, "3de4", preset=None), TypeError, "preset"),
        (lambda: corvane.convert(tracks, "3de4", conventions=1), TypeError, "conventions"),
        (lambda: corvane.write("tracks", str(tmp_path / "c.txt")), TypeError, "tracks"),
        (lambda: corvane.write(tracks, str(tmp_path / "c.txt"), 1), TypeError, "format"),
        (lambda: tracks[1.5], TypeError, "key"),
        (lambda: corvane.Tracks.from_rows(5), TypeError, "rows"),
        (lambda: corvane.Tracks.from_rows([("A", 1, 2.0, 3.0)], format=None), TypeError, "format"),
        (lambda: corvane.Tracks.from_rows([("A", 1, 2.0, 3.0)], plate="big"), TypeError, "plate"),
    ]
    rows = [
        (["A", 1, 2.0, 3.0], 5, TypeError, "row 2: expected a"),
        (["A", 1, 2.0, 3.0], ("B", 1, 2.0), ValueError, "row 2 is not .* 3 values"),
        (["A", 1, 2.0, 3.0], "ABCD", TypeError, "row 2: expected a"),
        ([], (5, 1, 2.0, 3.0), TypeError, "row 1 name"),
        ([], ("A", "1", 2.0, 3.0), TypeError, "row 1 frame"),
        ([], ("A", 1.5, 2.0, 3.0), TypeError, "row 1 frame"),
        ([], ("A", 1, None, 3.0), TypeError, "row 1 x"),
        ([], ("A", 1, 2.0, "3"), TypeError, "row 1 y"),
    ]
    for before, row, kind, names in rows:
        rowsGiven = [tuple(before), row] if before else [row]
        wrong.append((lambda r=rowsGiven: corvane.Tracks.from_rows(r), kind, "rows: " + names))
    for call, kind, names in wrong:
        with pytest.raises(kind) as caught:
            call()
        message = str(caught.value)
        assert re.match(names, message), message
        assert "Unable to cast" not in message and "incompatible" not in message

    with pytest.raises(corvane.ReadError) as caught:
        corvane.read("")
    assert str(caught.value).startswith('"" (an empty path): ') and caught.value.file == ""


INTERRUPTED = r"""
import corvane, os, sys, time
source, target = sys.argv[1], sys.argv[2]
def timed(work):
    start = time.perf_counter()
    try:
        work()
    except KeyboardInterrupt:
        return time.perf_counter() - start, True
    return time.perf_counter() - start, False
if target:
    tracks = corvane.convert(corvane.read(source), "nuke-cameratracker", plate=(1920, 1080))
    whole, _ = timed(lambda: corvane.write(tracks, target + ".first"))
    os.remove(target + ".first")
    work = lambda: corvane.write(tracks, target)
else:
    whole, _ = timed(lambda: corvane.read(source))
    work = lambda: corvane.read(source)
print("start", flush=True)
taken, stopped = timed(work)
# Once stopped, the module works again.
rows = corvane.write(tracks, target + ".after").rows if target else corvane.read(source).rows
print(stopped, taken, whole, rows, flush=True)
"""


def interrupted(source, target=""):
    """Runs a long read (or write) in a child, Ctrl+C once it began: whether
    it was stopped, how long it ran, how long the whole work takes, and the
    rows the same work gives after it."""
    import signal
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED, source, target],
                             stdout=subprocess.PIPE, text=True, env=os.environ)
    assert child.stdout.readline() == "start\n"
    # Soon after the work starts: a whole read or write takes a few tenths
    # of a second, and a signal before the work is stopped alike.
    time.sleep(0.03)
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=120)
    stopped, taken, whole, rows = out.split()
    return stopped == "True", float(taken), float(whole), int(rows)


def big_shake_shape(path, keys=2000000):
    vertex = " ".join(["1.5 2.5"] + ["0"] * 10)
    with open(path, "w") as f:
        f.write("shake_shape_data 4.0\nshape_name S1\nnum_key_times %d\n" % keys)
        f.write("".join("key_time %d.000000\nvertex_data %s %s\n" % (k + 1, vertex, vertex)
                        for k in range(keys)))


def test_ctrl_c_stops_a_long_read(tmp_path):
    source = str(tmp_path / "big.ssf")
    big_shake_shape(source)
    stopped, taken, whole, rows = interrupted(source)
    # Stopped while it read (not after it), and the next read is whole.
    assert stopped and taken < whole / 2, (taken, whole)
    assert rows == 4000000


def test_ctrl_c_leaves_the_target_of_a_write_as_it_was(tmp_path):
    source = str(tmp_path / "big.ssf")
    big_shake_shape(source)
    target = tmp_path / "target.nk"
    target.write_bytes(b"the file before\n")
    before = sorted(os.listdir(tmp_path))
    stopped, taken, whole, rows = interrupted(source, str(target))
    assert stopped and taken < whole / 2, (taken, whole)
    assert target.read_bytes() == b"the file before\n"
    assert sorted(os.listdir(tmp_path)) == sorted(before + ["target.nk.after"])
    assert rows == 4000000


def test_track_operations_chain_as_the_converter_runs_them(tmp_path):
    rows = [("pt1", 1, 100.5, 200.25), ("pt1", 4, 130.5, 230.25), ("pt2", 2, 10.0, 20.0)]
    tracks = corvane.Tracks.from_rows(rows, plate=(200, 300))
    done = tracks.slip(1000).prefix("sh010_").fill_gaps().flip().reformat(100, 150)
    assert tracks["pt1"].frames.tolist() == [1, 4]  # the tracks operated on stay as they were
    assert done.plate == (100, 150)
    assert [t.name for t in done] == ["sh010_pt1", "sh010_pt2"]
    pt1 = done["sh010_pt1"]
    assert pt1.frames.tolist() == [1001, 1002, 1003, 1004]
    assert pt1.x.tolist() == [(200 - 100.5) / 2, (200 - 110.5) / 2, (200 - 120.5) / 2, (200 - 130.5) / 2]
    assert pt1.y[0] == 200.25 / 2
    assert len(done.operations) == 5 and done.operations[0].startswith("slip +1000 frames")
    # The same options give the converter's file.
    source = tmp_path / "in.txt"
    corvane.write(tracks, source, format="3de4")
    ours = tmp_path / "module.txt"
    corvane.write(done, ours, format="3de4")
    theirs = tmp_path / "converter.txt"
    run = converter("--to", "3de4", "--slip", "1000", "--prefix", "sh010_", "--fill-gaps",
                    "--flip", "--reformat", "100x150", "--plate", "200x300", "-o", str(theirs),
                    str(source))
    assert run.returncode == 0, run.stderr
    assert ours.read_bytes() == theirs.read_bytes()


def test_track_operations_refuse_by_name(tmp_path):
    tracks = corvane.Tracks.from_rows([("a", 1, 1.0, 1.0), ("b", 1, 2.0, 2.0)])
    with pytest.raises(ValueError, match=r'"a" and "b" would both be named "c"'):
        tracks.rename("^.$", "c")
    with pytest.raises(ValueError, match=r"^flip\(\): it needs the plate size"):
        tracks.flip()
    with pytest.raises(ValueError, match=r"^trim\(\): "):
        tracks.trim(10, 1)
    with pytest.raises(TypeError):
        tracks.slip(1.5)
    names = tmp_path / "names.txt"
    names.write_text("a\tA1\n")
    assert [t.name for t in tracks.rename_file(names)] == ["A1", "b"]
    assert [t.name for t in tracks.rename_map({"b": "B"})] == ["a", "B"]
    # The pattern is the pattern: an "=" in it is no separator.
    equal = corvane.Tracks.from_rows([("a=b", 1, 1.0, 1.0)]).rename("=", "_")
    assert [t.name for t in equal] == ["a_b"]
    # Distortion there and back gives the points back within 1e-9 of a pixel.
    plate = corvane.Tracks.from_rows([("a", 1, 10.0, 700.0)], plate=(1920, 1080))
    back = plate.lens_distort(-0.1, 0.02).lens_undistort(-0.1, 0.02)
    assert abs(back[0].x[0] - 10.0) < 1e-9 and abs(back[0].y[0] - 700.0) < 1e-9


def test_a_corner_pin_of_named_tracks_and_blender_script(tmp_path):
    rows = [(name, f, 10.0 * i + f, 20.0) for i, name in enumerate("abcde") for f in (1, 2)]
    tracks = corvane.Tracks.from_rows(rows, plate=(100, 100))
    with pytest.raises(corvane.SaveError, match="four tracks"):
        corvane.write(tracks, tmp_path / "pin.txt", format="ae-cornerpin")
    with pytest.raises(ValueError, match="corners"):
        corvane.write(tracks, tmp_path / "pin.txt", format="ae-cornerpin", corners=["a"])
    report = corvane.write(tracks, tmp_path / "pin.txt", format="ae-cornerpin",
                           corners=["e", "d", "c", "b"])
    assert report.rows == 8
    back = corvane.read(tmp_path / "pin.txt")
    assert [t.name for t in back] == ["Corner Pin 1 Upper Left", "Corner Pin 1 Upper Right",
                                      "Corner Pin 1 Lower Left", "Corner Pin 1 Lower Right"]
    assert back[0].x.tolist() == [41.0, 42.0]
    # Blender's script holds 0..1 from the lower-left, as 3DE v4 counts up from it.
    blender = corvane.convert(tracks, to="blender-tracks", plate=(100, 100))
    assert blender["a"].x.tolist() == [0.01, 0.02] and blender["a"].y.tolist() == [0.2, 0.2]
    corvane.write(blender, tmp_path / "tracks.py")
    assert "TRACKS = [" in (tmp_path / "tracks.py").read_text()


def test_settings_are_refused_with_the_converters_words(tmp_path):
    tracks = corvane.Tracks.from_rows([("A", 1, 10.0, 20.0)], plate=(100, 100))
    with pytest.raises(ValueError, match=r'ratio "250" is not a ratio above 0 and up to 100'):
        corvane.convert(tracks, "3de4", par=250.0)
    with pytest.raises(ValueError, match=r"is not a ratio above 0 and up to 100"):
        corvane.convert(tracks, "3de4", par=-1.0)
    with pytest.raises(ValueError, match=r'"1000000" is not a whole number from -999999 to 999999'):
        corvane.convert(tracks, "3de4", first_frame=1000000)
    source = tmp_path / "a.txt"
    corvane.write(tracks, source, format="3de4")
    run = converter("--to", "3de4", "--first-frame", "1000000", "-o", str(tmp_path / "b.txt"),
                    str(source))
    assert run.returncode == 1
    assert "is not a whole number from -999999 to 999999" in run.stderr
    run = converter("--to", "3de4", "--par", "250", "-o", str(tmp_path / "b.txt"), str(source))
    assert "is not a ratio above 0 and up to 100" in run.stderr


def test_tracks_from_rows_count_frames_from_their_first(tmp_path):
    rows = [("A", 1, 10.0, 20.0), ("A", 2, 11.0, 21.0)]
    tracks = corvane.Tracks.from_rows(rows, plate=(100, 100))
    assert corvane.convert(tracks, "3de4", first_frame=1001)["A"].frames.tolist() == [1001, 1002]
    # SynthEyes counts from 0, 3DE from 1: frame 0 becomes frame 1, as from a file.
    zero = corvane.Tracks.from_rows([("A", 0, 10.0, 20.0), ("A", 1, 11.0, 21.0)],
                                    plate=(100, 100), format="syntheyes")
    assert corvane.convert(zero, "3de4")["A"].frames.tolist() == [1, 2]
    source = tmp_path / "zero.txt"
    corvane.write(zero, source, format="syntheyes")
    assert corvane.convert(corvane.read(source, "syntheyes"), "3de4",
                           plate=(100, 100))["A"].frames.tolist() == [1, 2]


def test_convert_files_as_the_converter_with_jobs(tmp_path):
    sources = []
    for i in range(4):
        path = tmp_path / f"in{i}.txt"
        path.write_text("1\nA\n0\n2\n1 10 20\n2 11 21\n")
        sources.append(path)
    out = tmp_path / "out"
    out.mkdir()
    written = corvane.convert_files(sources, "nuke-script", output=out, plate=(100, 100), jobs=2)
    assert sorted(os.path.basename(p) for p in written) == [f"in{i}.nk" for i in range(4)]
    one = tmp_path / "one"
    one.mkdir()
    corvane.convert_files(sources, "nuke-script", output=one, plate=(100, 100), jobs=1)
    for i in range(4):
        assert (out / f"in{i}.nk").read_bytes() == (one / f"in{i}.nk").read_bytes()
    bad = tmp_path / "bad.txt"
    bad.write_text("no tracks\n")
    with pytest.raises(corvane.ReadError) as error:
        corvane.convert_files([sources[0], bad], "nuke-script", output=one,
                              plate=(100, 100), jobs=2)
    assert error.value.kind == "not-a-track-file"
    with pytest.raises(corvane.SettingsError, match="pass output= an existing folder"):
        corvane.convert_files(sources, "nuke-script", output=tmp_path / "none", plate=(100, 100))
    with pytest.raises(ValueError, match="jobs"):
        corvane.convert_files(sources, "3de4", jobs=0)
