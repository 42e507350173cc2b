# SPDX-License-Identifier: Apache-2.0
"""Every kind of document corvane-convert --json prints matches the schema in docs/."""
import json
import os
import pathlib
import subprocess

import pytest

jsonschema = pytest.importorskip("jsonschema")

CONVERT = os.environ["CORVANE_CONVERT"]
SOURCE = pathlib.Path(__file__).resolve().parents[2]
SCHEMA = json.loads((SOURCE / "docs" / "corvane-convert.schema.json").read_text())
SAMPLE = SOURCE / "tests" / "samples" / "3de_export_cube.txt"


def document(*args):
    run = subprocess.run([CONVERT, "--json", *args], capture_output=True, text=True)
    doc = json.loads(run.stdout)
    jsonschema.validate(doc, SCHEMA)
    assert doc["exitCode"] == run.returncode
    return doc


def test_every_document_matches_the_schema(tmp_path):
    assert document("--list-formats")["error"] is None
    info = document("--info", str(SAMPLE))
    assert info["inputs"][0]["frames"] == {"first": 1, "last": 100}
    done = document("--to", "3de4", "--plate", "1920x1080", "--slip", "10",
                    "-o", str(tmp_path / "out.txt"), str(SAMPLE))
    assert done["ok"] and done["inputs"][0]["frames"] == {"first": 1, "last": 100}
    assert isinstance(done["outputs"][0]["conventions"]["exportFirstFrame"], int)
    per_track = document("--to", "nuke-tracker", "--plate", "1920x1080",
                         "-o", str(tmp_path / "shot.txt"), str(SAMPLE))
    assert per_track["outputs"][0]["files"][1]["track"]
    usage = document("--to", "nope", str(SAMPLE))
    assert usage["mode"] == "usage" and usage["error"]["kind"] == "settings"
    missing = document("--info", str(tmp_path / "missing.txt"))
    assert missing["error"]["kind"] == "not-found"
    # In a batch, a missing plate names the input that lacks it.
    plain = tmp_path / "plain.txt"
    plain.write_text("1\nA\n0\n1\n1 10 20\n")
    batch = document("--to", "nuke-script", "-o", str(tmp_path), str(SAMPLE), str(plain))
    assert batch["error"]["kind"] == "settings"
    assert batch["error"]["file"].endswith("3de_export_cube.txt")
    assert batch["error"]["message"].startswith(str(SAMPLE))
