"""What help() and inspect show of the module: signatures with named
keywords, the version, reprs, and a Terrain built from an array."""
import inspect
import re

import numpy as np
import pytest

import terrain_toolkit as tt


def test_functions_name_their_keywords():
    keywords = {
        tt.load_terrain: ["format", "shape", "tiles", "range", "spacing"],
        tt.save_terrain: ["format", "spacing", "range", "height_scale", "skin", "default_skin", "engine_values",
                          "hmp"],
        tt.write_mdl7: ["materials"],
        tt.generate: ["assemble"],
        tt.render_relief: ["spacing", "azimuth", "elevation", "brightness", "contrast"],
    }
    for function, names in keywords.items():
        parameters = inspect.signature(function).parameters.values()
        assert [p.name for p in parameters if p.kind is p.KEYWORD_ONLY] == names, function.__name__
        assert all(p.kind is not p.VAR_KEYWORD and p.annotation is not p.empty for p in parameters), \
            function.__name__
    assert list(inspect.signature(tt.open_model).parameters) == ["source"]
    with pytest.raises(TypeError, match="colour"):
        tt.save_terrain("a.png", np.zeros((2, 2)), colour=1)


def test_version_is_the_projects(examples):
    project = (examples.parent / "CMakeLists.txt").read_text()
    assert tt.__version__ == re.search(r"project\(terrain_toolkit VERSION ([0-9.]+)", project).group(1)


def test_a_terrain_from_an_array_is_saved_with_its_spacing_and_range(tmp_path):
    heights = [[0.0, 10.0, 20.0], [30.0, 40.0, 50.0]]
    terrain = tt.Terrain(heights, spacing=(2.0, 3.0), range=(-10.0, 65525.0))
    assert terrain.heights.dtype == np.float64 and terrain.heights.shape == (2, 3)
    assert repr(terrain) == "<Terrain array: shape=(2, 3), spacing=(2.0, 3.0), range=(-10.0, 65525.0)>"
    # On the range's whole steps, packed 10, 20, ... 60: the RAW file holds them.
    written = tt.save_terrain(tmp_path / "a.r16", terrain)
    assert written["range"] == pytest.approx((-10.0, 65525.0)) and written["spacing"] == (2.0, 3.0)
    # The rows from the north, the southern row 0 last.
    assert np.fromfile(tmp_path / "a.r16", "<u2").tolist() == [40, 50, 60, 10, 20, 30]
    back = tt.load_terrain(tmp_path / "a.r16", shape=(2, 3), range=(-10.0, 65525.0))
    np.testing.assert_array_equal(back.heights, heights)
    assert tt.Terrain(np.ones((1, 1))).spacing == (1.0, 1.0) and tt.Terrain(np.ones((1, 1))).range is None
    for bad, keywords in [(np.ones(3), {}), (np.ones((0, 2)), {}), ([[1.0]], {"spacing": 0}),
                          ([[1.0]], {"range": (2.0, 1.0)})]:
        with pytest.raises(ValueError):
            tt.Terrain(bad, **keywords)


def test_reprs_say_format_and_counts(tmp_path):
    tt.save_terrain(tmp_path / "a.hmp", np.zeros((3, 4)), spacing=5.0)
    loaded = repr(tt.load_terrain(tmp_path / "a.hmp"))
    assert loaded.startswith("<Terrain HMP: shape=(3, 4), spacing=(5.0, 5.0), range=(") and "\n" not in loaded
    model = {"frames": [np.eye(3, dtype=np.float32)] * 2, "triangles": np.array([[0, 1, 2]], np.int32)}
    tt.write_mdl7(tmp_path / "m.mdl", model)
    assert repr(tt.open_model(tmp_path / "m.mdl")) == "<Model MDL7: 3 vertices, 1 triangles, 2 frames, 0 skins>"
    assert repr(tt.Model()) == "<Model : 0 vertices, 0 triangles, 0 frames, 0 skins>"


def test_a_str_that_names_a_file_is_not_taken_as_a_command(tmp_path, examples):
    command = str(examples / "single_perlin.txt")
    with pytest.raises(ValueError, match=r"pathlib\.Path"):
        tt.generate(command)
    with pytest.raises(TypeError):
        tt.generate(command.encode())
