# SPDX-License-Identifier: Apache-2.0
"""The module as a pipeline's scripts use it: tracks edited in place, the
coordinates as NumPy arrays over the module's memory, paths, errors, copies
and pickles as Python's own types behave."""

import copy
import os
import pathlib
import pickle
import subprocess
import sys

import numpy as np
import pytest

import corvane

SAMPLES = pathlib.Path(os.environ.get("CORVANE_TEST_SAMPLES", ""))


def abc():
    return corvane.Tracks.from_rows(
        [("a", 1, 10.0, 20.0), ("a", 2, 11.0, 21.0), ("b", 1, 30.0, 40.0),
         ("c", 5, 50.0, 60.0), ("c", 6, 51.0, 61.0), ("c", 7, 52.0, 62.0)],
        plate=(100, 100))


def rows_of(tracks):
    return [(t.name, f, x, y) for t in tracks
            for f, x, y in zip(t.frames.tolist(), t.x.tolist(), t.y.tolist())]


def test_tracks_are_edited_in_place_and_written_as_edited(tmp_path):
    tracks = abc()
    tracks["a"].name = "renamed"
    for track in tracks:
        if track.name == "c":
            track.name = "C"
    assert [t.name for t in tracks] == ["renamed", "b", "C"]
    with pytest.raises(ValueError, match='track named "b" already'):
        tracks["C"].name = "b"
    with pytest.raises(ValueError, match="not empty"):
        tracks[0].name = ""

    del tracks["b"]
    assert [t.name for t in tracks] == ["renamed", "C"] and tracks.rows == 5
    tracks.append(corvane.Track("new", [3, 4], [1.5, 2.5], [3.5, 4.5]))
    with pytest.raises(ValueError, match='"new" already'):
        tracks.append(corvane.Track("new", [9], [0.0], [0.0]))
    del tracks[0]
    assert rows_of(tracks) == [("C", 5, 50.0, 60.0), ("C", 6, 51.0, 61.0),
                               ("C", 7, 52.0, 62.0), ("new", 3, 1.5, 3.5), ("new", 4, 2.5, 4.5)]
    with pytest.raises(KeyError):
        del tracks["gone"]
    with pytest.raises(IndexError):
        del tracks[5]

    # A track replaced stays in its place, under its new name or the old one.
    tracks["C"] = corvane.Track("C", [5, 6], tracks["C"].x[:2] + 1, [0.0, 0.0])
    tracks[0] = corvane.Track("first", [1], [2.0], [3.0])
    tracks[-1] = corvane.Track("new", [3], [1.5], [3.5])
    assert rows_of(tracks) == [("first", 1, 2.0, 3.0), ("new", 3, 1.5, 3.5)]
    with pytest.raises(ValueError, match='another track named "new"'):
        tracks[0] = corvane.Track("new", [1], [0.0], [0.0])
    with pytest.raises(TypeError, match="slice"):
        tracks[:1] = corvane.Track("x", [1], [0.0], [0.0])
    tracks[0] = corvane.Track("C", [5, 6, 7], [50.0, 51.0, 52.0], [60.0, 61.0, 62.0])
    tracks["new"] = corvane.Track("new", [3, 4], [1.5, 2.5], [3.5, 4.5])

    # A track taken out and deleted from them is a track of its own.
    loose = tracks["new"]
    del tracks["new"]
    loose.name = "free"
    assert loose.name == "free" and [t.name for t in tracks] == ["C"]

    # The edits reach the file, and the track operations still chain.
    tracks.append(corvane.Track("D", np.arange(1, 4), np.full(3, 7.0), np.zeros(3)))
    path = tmp_path / "edited.txt"
    corvane.write(tracks.slip(10).prefix("x_"), path, "3de4")
    back = corvane.read(path)
    assert [(t.name, t.frames.tolist()) for t in back] == [("x_C", [15, 16, 17]),
                                                           ("x_D", [11, 12, 13])]
    assert corvane.Tracks([corvane.Track("a", [1], [2.0], [3.0])]).rows == 1


def test_coordinates_are_read_only_arrays_over_the_modules_memory():
    rows = [("big", f, f * 0.5, -f * 0.25) for f in range(1, 100001)]
    tracks = corvane.Tracks.from_rows(rows)
    track = tracks[0]
    x = track.x
    assert isinstance(x, np.ndarray) and x.dtype == np.float64 and x.shape == (100000,)
    assert track.frames.dtype.kind == "i" and track.frames[-1] == 100000
    # Every access views the same memory: no copy is made.
    assert np.shares_memory(track.x, track.x) and track.x.ctypes.data == x.ctypes.data
    with pytest.raises(ValueError):
        x[0] = 1.0
    assert sum(track.x[i] for i in range(0, 100000, 50)) == sum(
        r[2] for r in rows[::50])
    # The view outlives its track and tracks, and stays as it was after edits.
    tracks[0].name = "other"
    del track, tracks
    assert x[-1] == 50000.0 and x[1] == 1.0


def test_numpy_arrays_and_scalars_are_taken_in():
    frames = np.arange(1001, 1004, dtype=np.int32)
    t = corvane.Track("a", frames, np.array([1, 2, 3], dtype=np.int16), [0.5, 0.25, 0.125])
    assert t.frames.tolist() == [1001, 1002, 1003] and t.x.tolist() == [1.0, 2.0, 3.0]
    tracks = corvane.Tracks.from_rows([t, ("b", np.int64(7), np.float32(1.5), np.float64(2.5))])
    assert rows_of(tracks)[-1] == ("b", 7, 1.5, 2.5)
    assert tracks[np.int64(1)].name == "b"
    table = np.array([("a", 1, 2.0, 3.0), ("a", 2, 2.5, 3.5)],
                     dtype=[("name", "U8"), ("frame", "i4"), ("x", "f8"), ("y", "f8")])
    columns = zip(["a", "a"], np.arange(1, 3), np.array([2.0, 2.5]), np.array([3.0, 3.5]))
    assert rows_of(corvane.Tracks.from_rows(table)) == rows_of(corvane.Tracks.from_rows(columns)) \
        == [("a", 1, 2.0, 3.0), ("a", 2, 2.5, 3.5)]
    for args, kind, words in [
        (("a", [1.5], [0.0], [0.0]), TypeError, "frames"),
        (("a", np.array([1.5]), [0.0], [0.0]), TypeError, "whole numbers"),
        (("a", [1, 2], [0.0], [0.0, 1.0]), ValueError, "differ in length"),
        (("a", np.ones((2, 2), dtype=int), [0.0], [0.0]), ValueError, "one-dimensional"),
        (("a", [1], np.array(["x"]), [0.0]), TypeError, "numbers"),
        (("a", [], [], []), ValueError, "at least one row"),
        (("", [1], [0.0], [0.0]), ValueError, "not empty"),
        (("a", [2 ** 40], [0.0], [0.0]), ValueError, "out of range"),
    ]:
        with pytest.raises(kind, match=words):
            corvane.Track(*args)


def test_lookups_and_slices_agree_with_indexing():
    tracks = abc()
    assert "b" in tracks and "B" not in tracks and 0 not in tracks
    for name in ("a", "b", "c", "zz"):
        assert (name in tracks) == (name in [t.name for t in tracks])
    assert tracks["b"] in tracks and corvane.Track("b", [1], [30.0], [40.0]) in tracks
    part = tracks[1:]
    assert isinstance(part, corvane.Tracks) and [t.name for t in part] == ["b", "c"]
    assert [t.name for t in tracks[::-1]] == ["c", "b", "a"]
    assert [t.name for t in tracks[-1:]] == ["c"] and len(tracks[5:]) == 0
    assert part.plate == (100, 100) and part.format == "3de4"
    assert rows_of(tracks[::2]) == [r for r in rows_of(tracks) if r[0] != "b"]
    del tracks[:2]
    assert [t.name for t in tracks] == ["c"] and len(part) == 2  # the slice is a copy
    with pytest.raises(TypeError, match="slice"):
        tracks[1.0]


def test_paths_errors_and_their_kinds(tmp_path):
    sample = SAMPLES / "3de_export_cube.txt"
    assert corvane.read(sample).format == "3de4" and corvane.detect(sample)[0] == "3de4"
    assert corvane.convert(corvane.read(sample), "nuke-tracker", plate=(64, 48)).format == "3de4"

    missing = tmp_path / "missing.txt"
    for call in (lambda: corvane.read(missing), lambda: corvane.detect(missing),
                 lambda: abc().rename_file(missing)):
        with pytest.raises(FileNotFoundError) as caught:
            call()
        error = caught.value
        assert isinstance(error, OSError) and isinstance(error, corvane.ReadError)
        assert error.kind == "not-found" and error.file == str(missing)
    assert issubclass(corvane.ReadError, ValueError)

    bad = tmp_path / "bad.txt"
    bad.write_text("2\nTrack\n0\n2\n1 10 20\n2 ten 20\n")
    with pytest.raises(corvane.ReadError) as caught:
        corvane.read(bad, "3de4")
    assert (caught.value.kind, caught.value.line) == ("bad-number", 6)
    short = tmp_path / "short.txt"
    short.write_text("1\nTrack\n0\n3\n1 10 20\n")
    with pytest.raises(corvane.ReadError) as caught:
        corvane.read(short, "3de4")
    assert caught.value.kind == "cut-short"
    prose = tmp_path / "prose.txt"
    prose.write_text("Dear diary, today nothing was tracked.\n")
    with pytest.raises(corvane.ReadError) as caught:
        corvane.read(prose)
    assert caught.value.kind == "not-a-track-file" and caught.value.file == str(prose)
    assert "format=" in str(caught.value) and "--from" not in str(caught.value)

    folder = tmp_path / "folder.txt"
    folder.mkdir()
    with pytest.raises(corvane.SaveError) as caught:
        corvane.write(abc(), folder, "3de4")
    assert caught.value.kind == "cannot-write"

    unstated = corvane.Tracks.from_rows([("A", 1, 0.5, 0.5)], format="syntheyes")
    messages = []
    for call in (lambda: corvane.convert(unstated, "nuke-tracker"),
                 lambda: corvane.write(unstated, tmp_path / "a.nk", "nuke-tracker"),
                 lambda: corvane.convert(abc(), "3de4", par=250)):
        with pytest.raises(corvane.SettingsError) as caught:
            call()
        assert isinstance(caught.value, ValueError) and caught.value.kind == "settings"
        assert "--" not in str(caught.value)
        messages.append(str(caught.value))
    assert "pass plate=(W, H)" in messages[0] and "pass plate=(W, H)" in messages[1]


def test_equality_copies_and_pickles_keep_the_contents():
    tracks = abc()
    assert tracks == abc() and tracks != abc().slip(1) and tracks != abc()[1:]
    assert tracks != corvane.Tracks.from_rows(rows_of(tracks))  # no plate
    assert tracks[0] == corvane.Track("a", [1, 2], [10.0, 11.0], [20.0, 21.0])
    assert tracks[0] != tracks[1] and tracks[0] != "a"

    shallow, deep = copy.copy(tracks), copy.deepcopy(tracks)
    del shallow["a"]
    deep["b"].name = "B"
    assert [t.name for t in tracks] == ["a", "b", "c"]
    assert [t.name for t in deep] == ["a", "B", "c"]

    converted = corvane.convert(tracks, "nuke-tracker", first_frame=1001)
    for original in (tracks, converted, tracks[0]):
        again = pickle.loads(pickle.dumps(original))
        assert again == original and type(again) is type(original)
    again = pickle.loads(pickle.dumps(converted))
    assert (again.format, again.converted_for, again.plate) == ("3de4", "nuke-tracker",
                                                                (100, 100))
    assert again.operations == converted.operations and again.notes == converted.notes
    alone = copy.copy(tracks[0])
    alone.name = "z"
    assert tracks[0].name == "a"


def test_the_package_carries_its_types_for_mypy(tmp_path):
    pytest.importorskip("mypy")
    package = pathlib.Path(corvane.__file__).parent
    assert {p.name for p in package.iterdir()} >= {"__init__.py", "__init__.pyi", "py.typed"}
    script = tmp_path / "script.py"
    script.write_text(
        "import pathlib\n"
        "import corvane\n"
        "tracks = corvane.read(pathlib.Path('a.txt'))\n"
        "tracks[0].name = 'b'\n"
        "del tracks['b']\n"
        "part: corvane.Tracks = tracks[1:]\n"
        "kind: str = corvane.ReadError('x').kind\n"
        "wrong: int = tracks[0].name\n")
    run = subprocess.run([sys.executable, "-m", "mypy", "--no-incremental",
                          "--cache-dir", os.devnull, str(script)],
                         capture_output=True, text=True, cwd=tmp_path)
    found = [line for line in run.stdout.splitlines() if ": error:" in line]
    assert len(found) == 1 and "script.py:8:" in found[0], run.stdout
