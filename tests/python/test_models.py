"""Model files through the Python module: the corpus with the manifest's
counts, and a model written with write_mdl7 read back."""
import array
import re
import struct
import types

import numpy as np
import pytest

import terrain_toolkit as tt


def manifest_table(text, first_header):
    """The rows of the manifest table whose header row starts with
    `first_header`, as dicts by column name."""
    lines = text.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("| " + first_header))
    names = [cell.strip() for cell in lines[start].strip("|").split("|")]
    rows = []
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        rows.append(dict(zip(names, (cell.strip() for cell in line.strip("|").split("|")))))
    return rows


def expected_counts(corpus):
    """Per model file: skins, vertices, triangles and frames, from the
    manifest's decoded tables (MDL7 summed over its groups)."""
    text = (corpus / "MANIFEST.md").read_text()
    counts = {}
    for row in manifest_table(text, "path | magic | skins"):
        counts[row["path"]] = [int(row[k]) for k in ("skins", "verts", "tris", "frames")]
    for row in manifest_table(text, "path | skin w x h | framesize"):
        counts[row["path"]] = [int(row[k]) for k in ("skins", "verts", "tris", "frames")]
    for row in manifest_table(text, "path | group | type"):
        total = counts.setdefault(row["path"], [0, 0, 0, 0])
        for i, k in enumerate(("skins", "verts", "tris", "frames")):
            total[i] += int(row[k])
    return counts


def test_every_corpus_model_opens_with_the_manifests_counts(corpus):
    counts = expected_counts(corpus)
    assert len(counts) == 15
    for name, (skins, vertices, triangles, frames) in sorted(counts.items()):
        path = corpus / name
        if vertices == 0 and triangles > 0:
            # A triangle that names a vertex of a model without vertices.
            with pytest.raises(tt.ModelError) as refused:
                tt.open_model(path)
            assert refused.value.offset is not None, name
            continue
        model = tt.open_model(path)
        assert model.format == path.read_bytes()[:4].decode(), name
        assert len(model.skins) == skins, name
        assert model.triangles.shape == (triangles, 3), name
        assert model.texcoords.shape == (triangles, 3, 2), name
        # MDL7 models without frames give their base vertices as one frame.
        assert len(model.frames) == max(frames, 1 if model.format == "MDL7" else 0), name
        for frame in model.frames:
            assert frame.shape == (vertices, 3) and frame.dtype == np.float32, name
            assert np.isfinite(frame).all(), name
        # Every one of these formats stores a unit normal per vertex.
        assert len(model.normals) == len(model.frames), name
        for normals in model.normals:
            assert normals.shape == (vertices, 3), name
            np.testing.assert_allclose(np.linalg.norm(normals, axis=1), 1.0, atol=2e-3, err_msg=name)
        assert (model.triangles >= 0).all() and (model.triangles < vertices).all(), name
    # Bytes in memory read as the file does.
    bolt = tt.open_model((corpus / "idpo/bolt.mdl").read_bytes())
    assert np.array_equal(bolt.frames[0], tt.open_model(corpus / "idpo/bolt.mdl").frames[0])
    # Skins come as palette indices (IDPO) or RGBA (MDL3's 16-bit skin); a
    # palette skin keeps the model's texture coordinates too.
    assert bolt.skins[0].shape == (16, 16) and bolt.skins[0].dtype == np.uint8
    assert np.isfinite(bolt.texcoords).all()
    assert tt.open_model(corpus / "mdl3/minigun.MDL").skins[0].shape == (1114, 1272, 4)


def test_write_mdl7_reads_back(tmp_path):
    # A tetrahedron in two frames, texture coordinates per corner (one corner
    # without), and a 2 x 3 skin whose pixels differ in every channel.
    base = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], dtype=np.float32)
    frames = [base, base * np.float32(2.5) + np.float32(0.125)]
    triangles = np.array([[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3]], dtype=np.int32)
    texcoords = np.zeros((4, 3, 2), dtype=np.float32)
    texcoords[:, :, 0] = [[0, 0.5, 1], [0.25, 0.75, 1], [0, 0, 0.5], [1, 1, 0.5]]
    texcoords[:, :, 1] = 0.125
    texcoords[3, 2] = np.nan
    skin = np.arange(2 * 3 * 4, dtype=np.uint8).reshape(2, 3, 4) * 10
    model = tt.Model()
    model.frames = frames
    model.frame_names = ["rest", "grown"]
    model.normals = [np.tile(np.float32([0.6, 0, 0.8]), (4, 1)), np.tile(np.float32([0, -1, 0]), (4, 1))]
    model.triangles = triangles
    model.texcoords = texcoords
    model.skins = [skin]
    path = tmp_path / "tetra.mdl"
    tt.write_mdl7(path, model)

    back = tt.open_model(path)
    assert back.format == "MDL7"
    assert back.frame_names == ["rest", "grown"]
    for written, read in zip(frames, back.frames):
        np.testing.assert_array_equal(read, written)
    for written, read in zip(model.normals, back.normals):
        np.testing.assert_array_equal(read, written)
    np.testing.assert_array_equal(back.triangles, triangles)
    np.testing.assert_array_equal(back.texcoords, texcoords)
    assert len(back.skins) == 1
    np.testing.assert_array_equal(back.skins[0], skin)


def tetra_model(scale, skins, frames, uv_start):
    """A model for write_mdl7: `frames` frames of four vertices (frame k is
    the base moved up by k), four triangles with texture coordinates from
    `uv_start` on, and the given skins."""
    base = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], dtype=np.float32) * np.float32(scale)
    uv = (uv_start + np.arange(24, dtype=np.float32) / 32).reshape(4, 3, 2)
    return {"frames": [base + np.float32(k) for k in range(frames)],
            "frame_names": ["g%g_%d" % (scale, k) for k in range(frames)],
            "triangles": np.array([[0, 2, 1], [0, 1, 3], [0, 3, 2], [1, 2, 3]], dtype=np.int32),
            "texcoords": uv.astype(np.float32), "skins": skins}


def joined_mdl7(first, second, second_materials):
    """One MDL7 file of the two single-group files' groups, the second
    group's triangles taking the model-wide skins `second_materials`."""
    assert struct.unpack_from("<3i", first, 16) == (len(first), 0, 0)
    second = bytearray(second)
    skins, texcoords, triangles = struct.unpack_from("<3i", second, 48 + 24)
    at = 48 + 44
    for _ in range(skins):
        width, height = struct.unpack_from("<2i", second, at + 4)
        at += 28 + width * height * 4
    at += 8 * texcoords
    for t in range(triangles):
        struct.pack_into("<i", second, at + 16 * t + 12, second_materials[t])
    joined = bytearray(first) + second[48:]
    struct.pack_into("<i", joined, 12, 2)
    struct.pack_into("<i", joined, 16, len(joined))
    return bytes(joined)


def test_several_groups_number_skins_vertices_and_frames_across_the_model(tmp_path):
    skin = lambda value, h, w: np.full((h, w, 4), value, dtype=np.uint8)
    first = tetra_model(1, [skin(10, 1, 2)], 2, 0.0)
    second = tetra_model(3, [skin(20, 2, 1), skin(30, 1, 1)], 3, 1.0)
    for name, model in (("a.mdl", first), ("b.mdl", second)):
        tt.write_mdl7(tmp_path / name, model)
    joined = joined_mdl7((tmp_path / "a.mdl").read_bytes(), (tmp_path / "b.mdl").read_bytes(), [1, 2, 2, 1])
    model = tt.open_model(joined)

    assert model.header["groups"] == 2
    assert len(model.skins) == 3 and len(model.materials) == 3
    for read, written in zip(model.skins, first["skins"] + second["skins"]):
        np.testing.assert_array_equal(read, written)
    assert model.triangle_materials.tolist() == [0, 0, 0, 0, 1, 2, 2, 1]
    np.testing.assert_array_equal(model.triangles, np.vstack([first["triangles"], second["triangles"] + 4]))
    np.testing.assert_array_equal(model.texcoords, np.concatenate([first["texcoords"], second["texcoords"]]))
    # Frame k holds each group's frame k; a group without one shows its base.
    expected = [(0, 0), (1, 1), (0, 2)]
    assert len(model.frames) == 3
    for frame, (a, b) in zip(model.frames, expected):
        np.testing.assert_array_equal(frame, np.vstack([first["frames"][a], second["frames"][b]]))
    assert model.frame_names == ["g1_0", "g1_1", "g3_2"]


def test_every_corpus_model_that_opens_is_written_back(corpus, tmp_path):
    written = 0
    folders = ("idpo", "idp2", "mdl3", "mdl5", "mdl7")
    for path in sorted(p for p in corpus.rglob("*") if p.parent.name in folders):
        name = path.relative_to(corpus).as_posix()
        try:
            model = tt.open_model(path)
        except tt.ModelError:
            continue
        tt.write_mdl7(tmp_path / "back.mdl", model)
        back = tt.open_model(tmp_path / "back.mdl")
        written += 1
        assert back.format == "MDL7", name
        assert back.frame_names == model.frame_names, name
        for mine, theirs in zip(back.frames + back.normals, model.frames + model.normals, strict=True):
            np.testing.assert_array_equal(mine, theirs, err_msg=name)
        np.testing.assert_array_equal(back.triangles, model.triangles, err_msg=name)
        np.testing.assert_array_equal(back.texcoords, model.texcoords, err_msg=name)
        # A skin without image and material (an external skin name) is left
        # out; palette skins keep their indices, material skins their colours.
        materials = model.materials + [None] * (len(model.skins) - len(model.materials))
        kept = [(s, m) for s, m in zip(model.skins, materials) if s is not None or m is not None]
        assert len(back.skins) == len(back.materials) == len(kept), name
        for (skin, material), (mine, my_material) in zip(kept, zip(back.skins, back.materials)):
            assert (mine is None) == (skin is None), name
            if skin is not None:
                assert mine.dtype == np.uint8, name
                np.testing.assert_array_equal(mine, skin, err_msg=name)
            assert my_material == material, name
        if model.format == "MDL7":
            np.testing.assert_array_equal(back.triangle_materials, model.triangle_materials, err_msg=name)
            assert back.skin_names == model.skin_names, name
        else:
            # Triangles that name no skin all take the first, where there is one.
            assert (back.triangle_materials == (0 if kept else -1)).all(), name
    assert written == 14


def skin_records(data):
    """(type, width, height, name, bytes after the record up to the next
    one) of the first group's skins, walked with the record sizes: an 8-bit
    type 0 skin holds width x height bytes, type 5 four bytes per pixel, and
    bit 4 adds a 68-byte material."""
    count = struct.unpack_from("<i", data, 48 + 24)[0]
    at = 48 + 44
    skins = []
    for _ in range(count):
        kind, width, height, name = struct.unpack_from("<B3xii16s", data, at)
        size = width * height * {0: 1, 5: 4}[kind & 7] + (68 if kind & 0x10 else 0)
        skins.append((kind, width, height, name.rstrip(b"\0").decode(), data[at + 28:at + 28 + size]))
        at += 28 + size
    return skins, at


def test_write_mdl7_stores_palette_skins_and_materials(tmp_path):
    palette = np.array([[0, 7, 255], [128, 3, 9]], dtype=np.uint8)
    rgba = np.array([[[1, 2, 3, 4]]], dtype=np.uint8)
    model = triangle_model(
        frames=[np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [1, 1, 0]], dtype=np.float32)],
        triangles=np.array([[0, 1, 2], [1, 3, 2], [0, 2, 3]], dtype=np.int32),
        skins=[palette, None, None, rgba], skin_names=["indices", "", "gone", "colour"],
        triangle_materials=np.array([3, 1, 2], dtype=np.int32))
    tint = {"color": (0.25, 0.5, 1.0), "alpha": 0.75}
    red = {"color": (1.0, 0.0, 0.0), "alpha": 1.0}
    tt.write_mdl7(tmp_path / "x.mdl", model, materials=[None, tint, None, red])
    data = (tmp_path / "x.mdl").read_bytes()

    # The skin without image or material is left out; the others keep their
    # names, the one without a name is named by its place.
    skins, end = skin_records(data)
    assert [s[:4] for s in skins] == [(0, 3, 2, "indices"), (0x10, 0, 0, "skin1"), (0x15, 1, 1, "colour")]
    assert skins[0][4] == palette.tobytes()
    # Diffuse and ambient carry the colour and the alpha; specular, emissive
    # and the power are 0.
    tint_record = struct.pack("<17f", 0.25, 0.5, 1.0, 0.75, 0.25, 0.5, 1.0, 0.75, *[0] * 9)
    assert skins[1][4] == tint_record
    assert skins[2][4] == bytes([3, 2, 1, 4]) + struct.pack("<17f", 1, 0, 0, 1, 1, 0, 0, 1, *[0] * 9)
    # The triangles take the written skins: model skin 3 is now 2, skin 1
    # stays, and skin 2 (left out) is none.
    texcoords = struct.unpack_from("<i", data, 48 + 28)[0]
    at = end + 8 * texcoords
    assert [struct.unpack_from("<i", data, at + 16 * t + 12)[0] for t in range(3)] == [2, 1, -1]

    back = tt.open_model(data)
    np.testing.assert_array_equal(back.skins[0], palette)
    assert back.skins[1] is None
    assert back.materials[0] is None and back.materials[1] == tint and back.materials[2] == red
    # The model's own materials are taken where none are given.
    tt.write_mdl7(tmp_path / "y.mdl", back)
    assert tt.open_model(tmp_path / "y.mdl").materials == back.materials


@pytest.mark.parametrize("fields, needle", [
    ({"skins": [np.zeros((2, 2, 3), np.uint8)]}, "(height, width, 4) or (height, width), not (2, 2, 3)"),
    ({"materials": [{"alpha": 1.0}]}, "materials[0] has no \"color\""),
    ({"materials": [None, {"color": (1, 0), "alpha": 1}]}, "materials[1] must hold"),
    ({"materials": [{"color": (1, 0, float("nan"))}]}, "not finite"),
    ({"materials": ["red"]}, "materials[0] must be None or a dict"),
    ({"materials": 5}, "materials must be a list"),
    ({"triangle_materials": np.zeros(2, np.int32)}, "triangle_materials must have the shape (1,)"),
])
def test_write_mdl7_names_what_it_refuses(tmp_path, fields, needle):
    with pytest.raises(ValueError) as refused:
        tt.write_mdl7(tmp_path / "x.mdl", triangle_model(**fields))
    assert needle in str(refused.value)
    assert not (tmp_path / "x.mdl").exists()


def test_mdl7_groups_triangles_name_their_own_groups_vertices(corpus):
    # Eight groups of 120 triangles over 62 vertices each (the manifest).
    model = tt.open_model(corpus / "mdl7/phosphoric_acid.mdl")
    assert model.frames[0].shape == (8 * 62, 3) and len(model.skins) == 3
    for group in range(8):
        corners = model.triangles[120 * group:120 * (group + 1)]
        assert corners.min() >= 62 * group and corners.max() < 62 * (group + 1), group


@pytest.mark.parametrize("path, fields", [
    ("idpo/bolt.mdl", {"skins": 1, "vertices": 52, "triangles": 26, "frames": 1, "skin_width": 16,
                       "skin_height": 16, "flags": 0, "radius": 33.1989,
                       "scale": (0.125459, 0.0447766, 0.039202), "origin": (-0.111736, -5.12486, -3.19899)}),
    ("idpo/gib_head_2skins.mdl", {"skins": 2, "skin_width": 64, "skin_height": 96, "flags": 4}),
    ("idp2/flag_10frames.md2", {"skins": 0, "vertices": 106, "texcoords": 612, "triangles": 204, "frames": 10,
                                "skin_width": 212, "skin_height": 243, "frame_size": 464, "gl_commands": 2041}),
    ("mdl7/phosphoric_acid.mdl", {"bones": 0, "groups": 8, "data_size": 28944}),
])
def test_header_fields_are_the_manifests(corpus, path, fields):
    header = tt.open_model(corpus / path).header
    for key, value in fields.items():
        assert header[key] == pytest.approx(value, rel=1e-5), key
    assert ("skins" in header) == (not path.startswith("mdl7"))


@pytest.mark.parametrize("wrap", [bytes, bytearray, memoryview, lambda data: np.frombuffer(data, np.uint8),
                                  lambda data: array.array("B", data)])
def test_models_open_from_any_bytes(corpus, wrap):
    model = tt.open_model(wrap((corpus / "idpo/bolt.mdl").read_bytes()))
    assert model.format == "IDPO" and model.frames[0].shape == (52, 3)
    assert model.triangle_materials.dtype == np.int32 and (model.triangle_materials == -1).all()


def triangle_model(**fields):
    model = {"frames": [np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], dtype=np.float32)],
             "triangles": np.array([[0, 1, 2]], dtype=np.int32)}
    model.update(fields)
    return model


@pytest.mark.parametrize("fields", [
    {"frames": None}, {"frames": []},
    {"frames": [np.zeros((3, 3), np.float32), np.zeros((4, 3), np.float32)]},
    {"frames": [np.zeros((3, 2), np.float32)]},
    {"normals": [np.zeros((3, 3), np.float32)] * 2},
    {"normals": [np.zeros((2, 3), np.float32)]},
    {"triangles": np.array([[0, 1, 3]], dtype=np.int32)},
    {"triangles": np.array([[0, -1, 2]], dtype=np.int32)},
    {"triangles": np.array([[0, 1]], dtype=np.int32)},
    {"texcoords": np.zeros((2, 3, 2), np.float32)},
    {"skins": [np.zeros((2, 2, 3), np.uint8)]},
    {"frames": [np.zeros((65536, 3), np.float32)], "triangles": np.zeros((0, 3), np.int32)},
])
def test_write_mdl7_refuses_what_it_cannot_store(tmp_path, fields):
    with pytest.raises(ValueError) as refused:
        tt.write_mdl7(tmp_path / "x.mdl", triangle_model(**fields))
    assert refused.type is ValueError
    assert not (tmp_path / "x.mdl").exists()


def test_write_mdl7_takes_any_object_with_the_fields(tmp_path):
    # The most vertices a group holds, read from an object's attributes.
    frame = np.arange(65535 * 3, dtype=np.float32).reshape(65535, 3)
    model = types.SimpleNamespace(frames=[frame], triangles=np.array([[65534, 0, 1]], dtype=np.int32))
    tt.write_mdl7(tmp_path / "big.mdl", model)
    back = tt.open_model(tmp_path / "big.mdl")
    np.testing.assert_array_equal(back.frames[0], frame)
    assert back.triangles.tolist() == [[65534, 0, 1]]


def test_write_mdl7_fills_in_names_normals_and_texture_coordinates(tmp_path):
    # Vertices 0 and 1 are shared by a triangle of area 2 facing -z and one
    # of area 1 facing +x; vertex 4 lies in no triangle.
    base = np.array([[0, 0, 0], [0, 2, 0], [2, 0, 0], [0, 0, 1], [5, 5, 5]], dtype=np.float32)
    turned = base[:, [1, 0, 2]]
    triangles = np.array([[0, 1, 2], [0, 1, 3]], dtype=np.int32)
    texcoords = np.full((2, 3, 2), 0.5, dtype=np.float32)
    texcoords[0, 1, 0] = np.nan
    texcoords[1, 2, 1] = np.nan
    tt.write_mdl7(tmp_path / "x.mdl", {"frames": [base, turned], "frame_names": ["first"],
                                        "triangles": triangles, "texcoords": texcoords})
    back = tt.open_model(tmp_path / "x.mdl")
    assert back.frame_names == ["first", "frame1"]
    weighted = np.array([1.0, 0, -2.0]) / np.sqrt(5)
    expected = np.array([weighted, weighted, [0, 0, -1], [1, 0, 0], [0, 0, 1]])
    np.testing.assert_allclose(back.normals[0], expected, atol=1e-6)
    # The second frame's normals are its own: x and y swapped turn every
    # triangle over.
    turned_expected = expected[:, [1, 0, 2]] * [[-1], [-1], [-1], [-1], [1]]
    np.testing.assert_allclose(back.normals[1], turned_expected, atol=1e-6)
    # A corner missing either coordinate has none.
    missing = np.isnan(back.texcoords).any(axis=2)
    assert missing.tolist() == [[False, True, False], [False, False, True]]
    assert np.isnan(back.texcoords[missing]).all() and (back.texcoords[~missing] == 0.5).all()
    # Without skins the triangles take no skin's material; with one, the first.
    assert back.triangle_materials.tolist() == [-1, -1]
    tt.write_mdl7(tmp_path / "y.mdl", triangle_model(skins=[np.zeros((1, 1, 4), np.uint8)]))
    assert tt.open_model(tmp_path / "y.mdl").triangle_materials.tolist() == [0]
    tt.write_mdl7(tmp_path / "z.mdl", triangle_model())
    assert np.isnan(tt.open_model(tmp_path / "z.mdl").texcoords).all()
