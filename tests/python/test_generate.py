"""generate against the text duneforge writes for the same command file."""
import pathlib
import shutil
import subprocess

import numpy as np

import terrain_toolkit as tt


def duneforge_text(program, command_file, folder):
    shutil.copy(command_file, folder / "cmd_noise.txt")
    subprocess.run([program], cwd=folder, check=True, timeout=120)
    return (folder / "noise_arr.txt").read_text()


def test_generate_prints_as_duneforges_height_array(duneforge, examples, tmp_path):
    for name, as_path in (("terrain.txt", True), ("all_types.txt", False)):
        command_file = examples / name
        text = duneforge_text(duneforge, command_file, tmp_path)
        expected = text.split(",")
        assert expected[-1] == "", name
        command = pathlib.Path(command_file) if as_path else command_file.read_text()
        tiles = tt.generate(command)
        values = np.concatenate([tile.ravel() for tile in tiles])
        assert all(tile.dtype == np.float32 for tile in tiles), name
        # duneforge prints each value as C++ streams print a float: %g.
        assert ["%g" % v for v in values.tolist()] == expected[:-1], name
        # Assembled as the terrain room assembles the height array (whose
        # values are the text's six digits).
        header = command_file.read_text().split()
        tiles_x, tiles_z, width, height = (int(v) for v in header[2:6])
        loaded = tt.load_terrain(tmp_path / "noise_arr.txt", shape=(tiles_z * height, tiles_x * width),
                                 tiles=(tiles_x, tiles_z))
        assembled = tt.generate(command, assemble=True)
        assert assembled.shape == (tiles_z * height, tiles_x * width), name
        np.testing.assert_allclose(assembled, loaded.heights, rtol=1e-5, atol=1e-6)
        (tmp_path / "noise_arr.txt").unlink()


def test_tiles_assemble_x_fastest_rows_from_the_lower_edge(examples):
    # Three tiles east by two north, each five samples wide and four deep.
    lines = (examples / "terrain.txt").read_text().splitlines()
    lines[1] = "3 2 5 4"
    command = "\n".join(lines) + "\n"
    tiles = tt.generate(command)
    assert len(tiles) == 6 and all(tile.shape == (4, 5) for tile in tiles)
    expected = np.vstack([np.hstack(tiles[3 * z:3 * z + 3]) for z in range(2)])
    assembled = tt.generate(command, assemble=True)
    assert assembled.shape == (8, 15) and assembled.dtype == np.float32
    np.testing.assert_array_equal(assembled, expected)
    assert len({tile.tobytes() for tile in tiles}) == 6
