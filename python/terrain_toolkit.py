"""The terrain toolkit from Python: model files, terrains and the noise
generator as NumPy arrays.

Paths are taken as open() takes them: str (surrogate escapes included),
bytes or os.PathLike; their bytes go to the file system unchanged."""

from __future__ import annotations

import functools
import os
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Tuple, Union

if TYPE_CHECKING:
    import numpy as np
    import numpy.typing as npt

    _Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
    _Pair = Union[float, Tuple[float, float]]

try:
    from . import _terrain_toolkit as _compiled
except ImportError:
    import _terrain_toolkit as _compiled

Model = _compiled.Model
Terrain = _compiled.Terrain
ModelError = _compiled.ModelError
TerrainError = _compiled.TerrainError
__version__ = _compiled.__version__

__all__ = ["Model", "ModelError", "Terrain", "TerrainError", "generate", "load_terrain", "open_model",
           "render_relief", "save_terrain", "write_mdl7"]

# How load_terrain's refusals name its grid keywords: (what a height array
# or RAW file needs, the size, the tiles, whether a size reads (rows, columns)).
_KEYWORD_NAMES = ("shape=(rows, columns)", "shape=", "tiles=", True)


def _given(**options: Any) -> Dict[str, Any]:
    """The options the caller gave: those that are not None."""
    return {key: value for key, value in options.items() if value is not None}


def _refuses_size(function):
    """Refuses size=, which once took (columns, rows), pointing to shape=."""
    @functools.wraps(function)
    def checked(*arguments, **keywords):
        if "size" in keywords:
            raise TypeError(function.__name__ + "() takes shape=(rows, columns), in the order of NumPy's "
                            ".shape, not size=")
        return function(*arguments, **keywords)
    return checked


def _load_terrain(path, names, options):
    """load_terrain with refusals of the grid options worded by `names`
    (what a height array or RAW file needs, the size, the tiles, whether a
    size reads (rows, columns)): for callers that name them otherwise."""
    return _compiled.load_terrain(os.fsencode(path), _given(**options), names)


@_refuses_size
def load_terrain(path: _Path, *, format: Optional[str] = None, shape: Optional[Tuple[int, int]] = None,
                 tiles: Union[str, Tuple[int, int], None] = None, range: Optional[Tuple[float, float]] = None,
                 spacing: Optional[_Pair] = None) -> Terrain:
    """Reads a terrain: a height array (.txt, needs shape= and, when tiled,
    tiles=), HMP5/HMP7, greyscale PNG or 16-bit RAW (.raw, .r16, needs
    shape=).

    format: "txt", "hmp", "png", "raw" or "r16", where the name and content
    do not tell it. shape: (rows, columns) of a height array or RAW file, in
    the order of NumPy's .shape. tiles: (x, z), a height array's tiles along
    x (east) and z (north), x running fastest, or "XxZ". range: (low, high),
    the heights packed 0 and 65535 stand for. spacing: a number or (east,
    north), the distance between samples.

    Raises TerrainError for a file that cannot be taken, OSError when it
    cannot be read."""
    return _load_terrain(path, _KEYWORD_NAMES,
                         dict(format=format, shape=shape, tiles=tiles, range=range, spacing=spacing))


def save_terrain(path: _Path, terrain: Union[Terrain, npt.NDArray[Any]], *, format: Optional[str] = None,
                 spacing: Optional[_Pair] = None, range: Optional[Tuple[float, float]] = None,
                 height_scale: Optional[float] = None, skin: Optional[_Path] = None,
                 default_skin: Optional[str] = None, engine_values: bool = False,
                 hmp: Optional[Dict[str, Any]] = None) -> Dict[str, Tuple[float, ...]]:
    """Writes a Terrain, or a bare (rows, columns) float64 or float32 array,
    as HMP7, 16-bit PNG, RAW or OBJ by the name or format=.

    spacing: a number or (east, north). range: (low, high), the heights
    packed 0 and 65535 stand for. height_scale: every height (and the range)
    is multiplied by it first; above 0. skin: a 24-bit BMP's path, the skin
    of HMP and OBJ output. default_skin: the HMP skin when neither skin= nor
    the terrain gives one: "relief" (the terrain's lit relief in true colour),
    "blank" or "none"; None, the default, is none for a terrain read from an
    HMP file without skins, else the relief. engine_values: heights rounded to 1/1024 as the
    exports take them. hmp: an HMP header as Terrain.hmp gives it: the file
    keeps its scales, offsets, param0 and, unless spacing= is given, its
    spacing, and heights are packed on its z steps. The file is replaced
    whole or not at all. A PNG keeps the range and the spacing in its text
    chunks, which load_terrain reads back.

    Returns what was written: {"range": (low, high), "spacing": (east,
    north), "shape": (rows, columns)}, the range being the heights packed 0
    and 65535 stand for, which a RAW file cannot carry.

    Raises TerrainError for a terrain that cannot be written, OSError when
    the file cannot."""
    options = _given(format=format, spacing=spacing, range=range, height_scale=height_scale, hmp=hmp,
                     skin=None if skin is None else os.fsencode(skin), default_skin=default_skin)
    if engine_values:
        options["engine_values"] = True
    return _compiled.save_terrain(os.fsencode(path), terrain, options)


def open_model(source: Union[str, os.PathLike[str], os.PathLike[bytes], bytes, bytearray, memoryview]) -> Model:
    """Reads a model file (MDL7, MDL2 to MDL6, IDPO, IDP2) from its path
    (str or os.PathLike) or from its bytes (bytes, bytearray, memoryview or
    any other buffer).

    Raises ModelError for a file the readers refuse, OSError when it cannot
    be read."""
    if isinstance(source, (str, os.PathLike)):
        return _compiled.open_model(os.fsdecode(source))
    if not isinstance(source, bytes):
        try:
            source = memoryview(source).tobytes()
        except TypeError:
            raise TypeError("open_model() takes a path (str or os.PathLike) or a file's bytes (a buffer), "
                            "not " + type(source).__name__) from None
    return _compiled.open_model(source)


def write_mdl7(path: _Path, model: Union[Model, Dict[str, Any], Any], *,
               materials: Optional[List[Optional[Dict[str, Any]]]] = None) -> None:
    """Writes `model` (a Model, or any object or dict with the same fields)
    as an MDL7 file of one group: frames[0] as the base vertices, every
    frame as a vertex frame, triangles with their texture coordinates and
    the skin each takes (triangle_materials; where they name no written
    skin, the first), each (height, width, 4) uint8 RGBA skin as a 32-bit
    skin and each (height, width) uint8 skin of palette indices as an 8-bit
    skin with the indices unchanged (no palette is stored). Per skin,
    `materials` (else the model's own) gives None or a dict with "color"
    (r, g, b) and "alpha", stored as the skin's material record; a skin
    without image and material (None) is left out. The file is replaced
    whole or not at all.

    Raises ValueError for arrays of another dtype or shape, OSError when the
    file cannot be written."""
    _compiled.write_mdl7(os.fsencode(path), model, materials=materials)


def generate(command: Union[str, os.PathLike[str]], *,
             assemble: bool = False) -> Union[List[npt.NDArray[np.float32]], npt.NDArray[np.float32]]:
    """Builds the tiles of a command file, exactly as duneforge writes them
    to noise_arr.txt. `command` is the file's text (str) or its path
    (os.PathLike, such as pathlib.Path).

    Returns a list of (tileHeight, tileWidth) float32 arrays, one per tile
    with x running fastest, each row by row from the lower z edge; with
    assemble=True one (tilesZ * tileHeight, tilesX * tileWidth) array, row 0
    at the lower z edge. Runs on every core (DUNEFORGE_THREADS,
    DUNEFORGE_MEMORY_MB and DUNEFORGE_EVALUATOR as for duneforge) with the
    GIL released.

    Raises ValueError for a command the generator refuses or a str that
    names a file, OSError for a file that cannot be read."""
    if isinstance(command, str):
        if "\n" not in command and os.path.isfile(command):
            raise ValueError("generate() takes a str as a command file's text, and " + repr(command) +
                             " names a file: pass pathlib.Path(" + repr(command) + ") to read it")
        return _compiled.generate(command, assemble=assemble)
    if isinstance(command, os.PathLike):
        return _compiled.generate(os.fsencode(command), assemble=assemble)
    raise TypeError("generate() takes a command file's text (str) or its path (os.PathLike), not " +
                    type(command).__name__)


def render_relief(heights: npt.NDArray[Any], *, spacing: Optional[float] = None, azimuth: Optional[float] = None,
                  elevation: Optional[float] = None, brightness: Optional[float] = None,
                  contrast: Optional[float] = None) -> npt.NDArray[np.uint8]:
    """A lit, coloured relief of (rows, columns) float32 or float64 heights
    (row 0 at the south), as terrainview draws it: (rows, columns, 3) uint8
    RGB, north at row 0.

    spacing: the distance between samples; by default one that keeps rough
    ground readable. azimuth, elevation, brightness and contrast: the
    light's."""
    return _compiled.render_relief(heights, **_given(spacing=spacing, azimuth=azimuth, elevation=elevation,
                                                     brightness=brightness, contrast=contrast))
