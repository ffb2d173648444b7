"""Every corpus model imported in Blender: counts as the manifest gives
them, frames as shape keys keyed one per frame, skins and materials."""

import os
import sys

import bpy
import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

tt = harness.install_addon()
folder = harness.corpus()
counts = harness.manifest_counts(folder)
assert len(counts) == 15, sorted(counts)
import_model = bpy.ops.import_scene.terrain_toolkit_model


def coordinates(source, count):
    values = np.empty(3 * count, dtype=np.float32)
    source.foreach_get("co", values)
    return values.reshape(count, 3)


def image_skin(image):
    """The image's pixels as bytes, rows from the top."""
    width, height = image.size
    pixels = np.empty(width * height * 4, dtype=np.float32)
    image.pixels.foreach_get(pixels)
    return np.rint(pixels.reshape(height, width, 4)[::-1] * 255).astype(np.uint8)


def check_skin(mesh, model):
    """The material's image is the first true-colour skin, else the first
    palette skin in grey."""
    skins = [s for s in model.skins if s is not None]
    image = None
    if len(mesh.materials):
        nodes = mesh.materials[0].node_tree.nodes
        image = next((n.image for n in nodes if n.type == "TEX_IMAGE"), None)
    if not skins:
        assert image is None
        return
    colour = [s for s in skins if s.ndim == 3]
    expected = colour[0] if colour else np.dstack([skins[0]] * 3 + [np.full(skins[0].shape, 255, np.uint8)])
    assert np.array_equal(image_skin(image), expected)


def check_frames(obj, model, name):
    mesh = obj.data
    count = len(mesh.vertices)
    assert np.array_equal(coordinates(mesh.vertices, count), model.frames[0]), name
    if len(model.frames) == 1:
        assert mesh.shape_keys is None, name
        return
    keys = mesh.shape_keys.key_blocks[1:]
    assert len(keys) == len(model.frames), name
    middle = len(model.frames) // 2
    assert np.array_equal(coordinates(keys[middle].data, count), model.frames[middle]), name
    scene = bpy.context.scene
    scene.frame_set(scene.frame_start + middle)
    values = [key.value for key in keys]
    assert values[middle] == 1.0 and sum(values) == 1.0, (name, values)


objects = {}
for path in sorted(p for p in folder.rglob("*") if p.parent.name in ("idpo", "idp2", "mdl3", "mdl5", "mdl7")):
    name = path.relative_to(folder).as_posix()
    if name == "idp2/malformed_zero_numvertices.md2":
        before = len(bpy.data.objects)
        harness.expect_error(import_model, "malformed triangle vertex index at offset 68", filepath=str(path))
        assert len(bpy.data.objects) == before
        continue
    obj = harness.new_object(import_model, filepath=str(path), frame_rate=12, set_frame_rate=True)
    model = tt.open_model(path)
    vertices, triangles, frames = counts[name]
    assert (len(obj.data.vertices), len(obj.data.polygons)) == (vertices, triangles), name
    assert len(model.frames) == max(frames, 1), name
    check_frames(obj, model, name)
    check_skin(obj.data, model)
    objects[name] = obj
assert len(objects) == 14, sorted(objects)
scene = bpy.context.scene
assert scene.render.fps == 12
# The timeline ends with the longest animation: 114 frames.
assert scene.frame_end == scene.frame_start + 113, scene.frame_end

# MDL7 materials: colour and alpha per skin, by triangle.
sphere = objects["mdl7/sphere_alpha90.mdl"].data
shader = sphere.materials[0].node_tree.nodes["Principled BSDF"]
assert np.allclose(shader.inputs["Base Color"].default_value, (236 / 255, 0, 1, 1), atol=1e-6)
assert abs(shader.inputs["Alpha"].default_value - 0.9) < 1e-6
acid = objects["mdl7/phosphoric_acid.mdl"].data
assert len(acid.materials) == 3
indices = np.empty(len(acid.polygons), dtype=np.int32)
acid.polygons.foreach_get("material_index", indices)
assert set(indices.tolist()) == {0, 1, 2}

# Unasked, an import leaves the scene's frame rate and range alone.
scene.render.fps, scene.frame_end = 30, 50
anim = harness.new_object(import_model, filepath=str(folder / "idpo/anim_19frames.mdl"), frame_rate=12)
assert len(anim.data.shape_keys.key_blocks) == 1 + 19
assert (scene.render.fps, scene.frame_end) == (30, 50)

# Several files in one call, each its own object, all of them selected; a
# file that cannot be read is passed over when others can.
for names, expected in ((["bolt.mdl", "steg.mdl"], ["idpo/bolt.mdl", "idpo/steg.mdl"]),
                        (["malformed_zero_numvertices.md2", "tiny_1vert_0tri.md2"],
                         ["idp2/tiny_1vert_0tri.md2"])):
    before = set(bpy.data.objects)
    directory = folder / expected[0].split("/")[0]
    assert import_model(directory=str(directory), files=[{"name": n} for n in names]) == {"FINISHED"}
    made = set(bpy.data.objects) - before
    assert sorted(len(o.data.vertices) for o in made) == sorted(counts[e][0] for e in expected), names
    assert all(o.select_get() for o in made) and bpy.context.view_layer.objects.active in made

# Only the first frame: no shape keys.
first = harness.new_object(import_model, filepath=str(folder / "idpo/anim_19frames.mdl"), all_frames=False)
assert first.data.shape_keys is None

# A file name that is not UTF-8: the object's name shows the stray byte as a
# replacement character.
odd = os.fsencode(harness.output_folder()) + b"/odd\xff.mdl"
tt.write_mdl7(odd, {"frames": [np.eye(3, dtype=np.float32)], "triangles": np.array([[0, 1, 2]], np.int32)})
oddly_named = harness.new_object(import_model, filepath=os.fsdecode(odd))
assert oddly_named.name == "odd\ufffd" and len(oddly_named.data.vertices) == 3, oddly_named.name
print("models imported:", len(objects))
