"""Model files through the Python module: the corpus with the manifest's
counts, and a model written with write_mdl7 read back."""
import re

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
