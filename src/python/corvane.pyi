# SPDX-License-Identifier: Apache-2.0
"""Corvane: read, convert and write the 2D tracks and roto shapes of camera
trackers and compositors."""

import os
from typing import Iterable, Iterator, List, Optional, Sequence, Tuple, Union

# A path holding a NUL character is refused (ValueError).
Path = Union[str, bytes, os.PathLike]

__version__: str

class ReadError(Exception):
    """A file could not be read as tracks."""

    file: Optional[str]
    line: Optional[int]

class SaveError(Exception):
    """Tracks could not be written; no file was changed."""

    file: Optional[str]
    line: Optional[int]

class Format:
    """A file format Corvane knows."""

    @property
    def id(self) -> str: ...
    @property
    def name(self) -> str: ...
    @property
    def extensions(self) -> List[str]: ...
    @property
    def shapes(self) -> bool: ...
    @property
    def per_track(self) -> bool: ...
    @property
    def reads(self) -> bool: ...
    @property
    def writes(self) -> bool: ...

class Track:
    """One track: its name and its rows' frames and coordinates."""

    @property
    def name(self) -> str: ...
    @property
    def frames(self) -> List[int]: ...
    @property
    def x(self) -> List[float]: ...
    @property
    def y(self) -> List[float]: ...
    def __len__(self) -> int: ...

class Tracks:
    """The tracks of a file or of rows, as Corvane's table holds them."""

    @staticmethod
    def from_rows(
        rows: Iterable[Tuple[str, int, float, float]],
        plate: Optional[Tuple[int, int]] = None,
        format: str = "3de4",
    ) -> "Tracks": ...
    @property
    def plate(self) -> Optional[Tuple[int, int]]: ...
    @property
    def first_frame(self) -> Optional[int]: ...
    @property
    def notes(self) -> List[str]: ...
    @property
    def rows(self) -> int: ...
    @property
    def converted_for(self) -> Optional[str]: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Track]: ...
    def __getitem__(self, key: Union[int, str]) -> Track: ...

class SaveReport:
    """What a write wrote."""

    @property
    def written(self) -> List[str]: ...
    @property
    def notes(self) -> List[str]: ...
    @property
    def renamed(self) -> List[Tuple[str, str]]: ...
    @property
    def rows(self) -> int: ...
    @property
    def tracks(self) -> int: ...

def formats() -> List[Format]: ...
def detect(path: Path) -> List[str]: ...
def read(
    path: Path, format: Optional[str] = None, strict: bool = False, camera: str = "all"
) -> Tracks: ...
def convert(
    tracks: Tracks,
    to: str,
    plate: Optional[Tuple[int, int]] = None,
    preset: str = "default",
    par: float = 1.0,
    first_frame: Optional[int] = None,
    conventions: str = "program",
) -> Tracks: ...
def write(
    tracks: Tracks,
    path: Path,
    format: Optional[str] = None,
    force: bool = False,
    corners: Optional[Sequence[str]] = None,
) -> SaveReport: ...
