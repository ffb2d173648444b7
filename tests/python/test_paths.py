"""File names that are not UTF-8: every function that takes a path takes
them as open() does (bytes, str with surrogate escapes, os.PathLike), and
messages that quote them are built."""
import os
import pathlib
import struct

import numpy as np
import pytest

import terrain_toolkit as tt


def bmp24(width, height):
    """A 24-bit BMP of `width` x `height` blue-green-red pixels."""
    stride = (3 * width + 3) // 4 * 4
    pixels = b"".join((bytes([10, y * 20 % 256, 200]) * width).ljust(stride, b"\0") for y in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + info + pixels


def test_file_names_of_any_bytes(tmp_path, examples):
    folder = os.fsencode(tmp_path)
    name = folder + b"/t\xff.png"
    # The same file as bytes, as a str with the surrogate escape, as a Path.
    as_str, as_path = os.fsdecode(name), pathlib.Path(os.fsdecode(name))
    heights = np.array([[0.0, 1.0, 2.0], [3.0, 4.0, 5.0]])
    tt.save_terrain(name, heights, range=(0.0, 5.0))
    assert os.path.isfile(name)
    for path in (name, as_str, as_path):
        np.testing.assert_allclose(tt.load_terrain(path).heights, heights, atol=1e-4)

    # Messages quote the name with its surrogate escape.
    missing = folder + b"/gone\xff.png"
    with pytest.raises(FileNotFoundError) as gone:
        tt.load_terrain(missing)
    assert gone.value.filename == os.fsdecode(missing)
    raw = folder + b"/r\xff.raw"
    with open(raw, "wb") as out:
        out.write(bytes(12))
    with pytest.raises(tt.TerrainError, match="r\udcff.raw: a RAW file needs shape"):
        tt.load_terrain(raw)
    with pytest.raises(ValueError, match="x\udcff.jpg: terrains are written to"):
        tt.save_terrain(folder + b"/x\xff.jpg", heights)

    # A skin, a model and a command file by such names.
    skin = folder + b"/s\xff.bmp"
    with open(skin, "wb") as out:
        out.write(bmp24(16, 8))
    tt.save_terrain(folder + b"/skinned.hmp", heights, skin=skin)
    assert tt.load_terrain(folder + b"/skinned.hmp").skins[0].shape == (8, 16, 4)
    model = folder + b"/m\xff.mdl"
    tt.write_mdl7(model, {"frames": [np.eye(3, dtype=np.float32)], "triangles": np.array([[0, 1, 2]], np.int32)})
    # open_model takes bytes as a file's content: its paths are str or Path.
    for path in (os.fsdecode(model), pathlib.Path(os.fsdecode(model))):
        assert tt.open_model(path).triangles.tolist() == [[0, 1, 2]]
    command = folder + b"/c\xff.txt"
    with open(command, "wb") as out:
        out.write((examples / "single_perlin.txt").read_bytes())
    from_file = tt.generate(pathlib.Path(os.fsdecode(command)), assemble=True)
    np.testing.assert_array_equal(from_file, tt.generate((examples / "single_perlin.txt").read_text(),
                                                         assemble=True))
