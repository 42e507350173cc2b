# SPDX-License-Identifier: Apache-2.0
"""Corvane: read, convert and write the 2D tracks and roto shapes of camera
trackers and compositors."""

from ._corvane import (
    Format,
    MissingFileError,
    ReadError,
    SaveError,
    SaveReport,
    SettingsError,
    Track,
    Tracks,
    __version__,
    convert,
    convert_files,
    detect,
    formats,
    read,
    write,
)

__all__ = [
    "Format",
    "MissingFileError",
    "ReadError",
    "SaveError",
    "SaveReport",
    "SettingsError",
    "Track",
    "Tracks",
    "__version__",
    "convert",
    "convert_files",
    "detect",
    "formats",
    "read",
    "write",
]

# The classes are the package's: corvane.Track, also in pickles.
for _name in ("Format", "SaveReport", "Track", "Tracks"):
    globals()[_name].__module__ = __name__
del _name
