"""The terrain toolkit from Python: model files, terrains and the noise
generator as NumPy arrays."""

import os
from typing import Any, Dict, List, Literal, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
_Heights = Union[npt.NDArray[np.float64], npt.NDArray[np.float32]]
_Buffer = Union[bytes, bytearray, memoryview, npt.NDArray[Any]]

__version__: str
__all__ = ["Model", "ModelError", "Terrain", "TerrainError", "generate", "load_terrain", "open_model",
           "render_relief", "save_terrain", "write_mdl7"]

class ModelError(ValueError):
    """A model file the readers refuse, or a model the writer cannot take."""

    reason: str
    """The reader's or writer's reason, as modelinfo prints it."""
    offset: Optional[int]
    """The byte offset the reason names; None where it names none."""

class TerrainError(ValueError):
    """A terrain file that cannot be read, or a terrain that cannot be written."""

    reason: str
    offset: Optional[int]

class Model:
    """A model as NumPy arrays: what open_model reads and write_mdl7 writes."""

    format: str
    """The file's magic: "MDL7", "IDPO", "IDP2", "MDL3", ..."""
    header: Dict[str, Any]
    """The header's fields by name (counts, scale, origin, ...)."""
    frames: List[npt.NDArray[np.float32]]
    """One (N, 3) float32 array of positions per frame."""
    frame_names: List[str]
    normals: List[npt.NDArray[np.float32]]
    """Per frame, the (N, 3) float32 unit normals the file stores; empty when it stores none.
    write_mdl7 makes them from the triangles when none are given."""
    triangles: npt.NDArray[np.int32]
    """(M, 3) vertex indices."""
    texcoords: Optional[npt.NDArray[np.float32]]
    """(M, 3, 2) texture coordinates per corner, (0, 0) the skin's top left; NaN where a corner has none."""
    triangle_materials: Optional[npt.NDArray[np.int32]]
    """(M,) MDL7: the skin whose material each triangle takes; -1 elsewhere. Where it names no
    skin that write_mdl7 writes, write_mdl7 gives every triangle the first skin."""
    skins: List[Optional[npt.NDArray[np.uint8]]]
    """Per skin: (H, W, 4) RGBA for true colour, (H, W) palette indices, or None."""
    skin_names: List[str]
    materials: List[Optional[Dict[str, Any]]]
    """MDL7: per skin None or {"color": (r, g, b), "alpha": a}, components from 0 to 1."""
    def __init__(self) -> None: ...
    def __repr__(self) -> str: ...

class Terrain:
    """A terrain: heights as a NumPy array and what its file said."""

    def __init__(
        self,
        heights: npt.ArrayLike,
        *,
        spacing: Union[float, Tuple[float, float]] = ...,
        range: Optional[Tuple[float, float]] = ...,
    ) -> None:
        """A terrain of (rows, columns) heights (row 0 at the south), copied as float64, with its
        (east, north) spacing (by default (1, 1)) and, where given, the (low, high) heights packed
        0 and 65535 stand for, which save_terrain then keeps. Its format is "array"."""
    def __repr__(self) -> str: ...
    heights: npt.NDArray[np.float64]
    """(rows, columns) heights, row 0 at the southern edge, each row from west to east."""
    spacing: Tuple[float, float]
    """(east, north) distance between samples; 0 where the file does not say."""
    @property
    def range(self) -> Optional[Tuple[float, float]]:
        """The heights packed 0 and 65535 stand for, where the file held packed heights."""
    @property
    def range_known(self) -> bool:
        """Whether the range is the file's own (an HMP header, a PNG's stored range) or range=
        gave it; False where 0 .. 65535 stands in."""
    @property
    def hmp(self) -> Optional[Dict[str, Any]]:
        """An HMP file's header: magic, version, scale, offset, param0, spacing."""
    @property
    def skins(self) -> List[Optional[npt.NDArray[np.uint8]]]:
        """An HMP file's skins: (H, W, 4) RGBA, rows as the file stores them, the picture's bottom row first."""
    @property
    def format(self) -> str:
        """The format read: "height array", "HMP", "PNG" or "RAW"; "array" for a terrain built from an array."""

def open_model(source: Union[str, "os.PathLike[str]", "os.PathLike[bytes]", _Buffer]) -> Model:
    """Reads a model file (MDL7, MDL2 to MDL6, IDPO, IDP2) from its path (str or os.PathLike) or
    from its bytes (bytes, bytearray, memoryview or any other buffer)."""

def write_mdl7(
    path: _Path,
    model: Union[Model, Dict[str, Any], Any],
    *,
    materials: Optional[List[Optional[Dict[str, Any]]]] = ...,
) -> None:
    """Writes a model of frames, triangles, texcoords, skins and materials as an MDL7 file of one group.

    Every model open_model returns is taken. A (height, width, 4) RGBA skin becomes a 32-bit skin, a
    (height, width) skin of palette indices an 8-bit skin (type 0) with its indices unchanged (no
    palette is stored). `materials` (else the model's own `materials`) gives per skin None or
    {"color": (r, g, b), "alpha": a}, stored as the skin's material record; a skin that is None and
    has no material is left out, and triangle_materials follow the skins that are written."""

def load_terrain(
    path: _Path,
    *,
    format: Optional[str] = ...,
    shape: Optional[Tuple[int, int]] = ...,
    tiles: Union[str, Tuple[int, int], None] = ...,
    range: Optional[Tuple[float, float]] = ...,
    spacing: Union[float, Tuple[float, float], None] = ...,
) -> Terrain:
    """Reads a height array (.txt), HMP5/HMP7, greyscale PNG or 16-bit RAW file.
    shape: (rows, columns) of a height array or RAW file, in the order of NumPy's .shape.
    tiles: (x, z), a height array's tiles along x (east) and z (north), or "XxZ".
    size= is refused: it took (columns, rows)."""

def save_terrain(
    path: _Path,
    terrain: Union[Terrain, _Heights],
    *,
    format: Optional[str] = ...,
    spacing: Union[float, Tuple[float, float], None] = ...,
    range: Optional[Tuple[float, float]] = ...,
    height_scale: Optional[float] = ...,
    skin: Optional[_Path] = ...,
    default_skin: Optional[Literal["relief", "blank", "none"]] = ...,
    engine_values: bool = ...,
    hmp: Optional[Dict[str, Any]] = ...,
) -> Dict[str, Tuple[float, ...]]:
    """Writes HMP7, 16-bit PNG, RAW or OBJ, replacing the file whole or not at all.
    An HMP file's skin is skin='s picture, else the terrain's skins, else as
    default_skin says: "relief" (the terrain's lit relief in true colour with mip
    levels), "blank" (an 8-bit skin of zeros) or "none"; None, the default, writes
    none for a terrain read from an HMP file without skins, else the relief.
    height_scale multiplies every height (and the range) first, and must be above 0.
    hmp= takes an HMP header as Terrain.hmp gives it: the file keeps its scales, offsets,
    param0 and (unless spacing= is given) spacing, and the heights are packed to the nearest
    step of its z scale. A PNG keeps the range and spacing in its text chunks.
    Returns {"range": (low, high), "spacing": (east, north), "shape": (rows, columns)}:
    the heights packed 0 and 65535 stand for, which a RAW file cannot carry."""

def generate(
    command: Union[str, "os.PathLike[str]"], *, assemble: bool = False
) -> Union[List[npt.NDArray[np.float32]], npt.NDArray[np.float32]]:
    """A command file's heights (its text, or a path), exactly as duneforge writes them.
    A str that names a file is refused: pass pathlib.Path(name) to read the file."""

def render_relief(
    heights: _Heights,
    *,
    spacing: Optional[float] = ...,
    azimuth: Optional[float] = ...,
    elevation: Optional[float] = ...,
    brightness: Optional[float] = ...,
    contrast: Optional[float] = ...,
) -> npt.NDArray[np.uint8]:
    """A lit, coloured relief as (rows, columns, 3) RGB, north at row 0."""
