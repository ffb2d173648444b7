"""MDL7 export in Blender, read back with terrain_toolkit: an imported
corpus model and a mesh built here."""

import os
import sys

import bpy
import mathutils
import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

tt = harness.install_addon()
folder = harness.corpus()
out = harness.output_folder()
export_mdl7 = bpy.ops.export_scene.terrain_toolkit_mdl7

# An imported model: MDL3 with a 16-bit skin, texture coordinates and 8 frames.
source = folder / "mdl3/minigun.MDL"
original = tt.open_model(source)
gun = harness.new_object(bpy.ops.import_scene.terrain_toolkit_model, filepath=str(source))
assert export_mdl7(filepath=str(out / "minigun.mdl")) == {"FINISHED"}
back = tt.open_model(out / "minigun.mdl")
assert back.format == "MDL7"
assert np.array_equal(back.triangles, original.triangles)
assert len(back.frames) == len(original.frames) == 8
for mine, theirs in zip(back.frames, original.frames):
    assert np.array_equal(mine, theirs)
assert np.allclose(back.texcoords, original.texcoords, rtol=0, atol=1e-6)
assert back.skins[0].shape == (1114, 1272, 4)
assert np.array_equal(back.skins[0], original.skins[0])

# A mesh built here: a quad (two triangles on the way out) and a triangle,
# a UV map, a 4 x 2 image and two shape keys.
mesh = bpy.data.meshes.new("built")
mesh.from_pydata([(0, 0, 0), (2, 0, 0), (2, 1, 0), (0, 1, 0), (3, 0.5, 1)], [], [(0, 1, 2, 3), (1, 4, 2)])
uv_of_vertex = {0: (0, 0), 1: (0.5, 0), 2: (0.5, 0.25), 3: (0, 0.25), 4: (1, 0.75)}
layer = mesh.uv_layers.new(name="UVMap")
for loop in mesh.loops:
    layer.data[loop.index].uv = uv_of_vertex[loop.vertex_index]
# Rows from the top, as a skin stores them; a Blender image keeps them from the bottom.
skin = np.array([[[255, 0, 0, 255], [0, 255, 0, 255], [0, 0, 255, 255], [255, 255, 255, 255]],
                 [[0, 0, 0, 255], [10, 20, 30, 128], [200, 100, 50, 255], [1, 2, 3, 4]]], dtype=np.uint8)
image = bpy.data.images.new("built skin", 4, 2, alpha=True)
image.pixels.foreach_set((skin[::-1].astype(np.float32) / 255).ravel())
material = bpy.data.materials.new("built")
material.use_nodes = True
material.node_tree.nodes.new("ShaderNodeTexImage").image = image
mesh.materials.append(material)
built = bpy.data.objects.new("built", mesh)
bpy.context.collection.objects.link(built)
built.shape_key_add(name="Basis")
basis = np.array([v.co for v in mesh.vertices], dtype=np.float32)
for name, shift in (("up", (0, 0, 1)), ("left", (-1, 0, 0))):
    key = built.shape_key_add(name=name)
    for point in key.data:
        point.co = point.co + mathutils.Vector(shift)
harness.make_active(built)
assert export_mdl7(filepath=str(out / "built.mdl")) == {"FINISHED"}
back = tt.open_model(out / "built.mdl")
assert back.frame_names == ["up", "left"]
assert np.array_equal(back.frames[0], basis + np.float32([0, 0, 1]))
assert np.array_equal(back.frames[1], basis + np.float32([-1, 0, 0]))
corners = [frozenset(t) for t in back.triangles.tolist()]
assert len(corners) == 3 and frozenset((1, 4, 2)) in corners, corners
assert all(len(c) == 3 and c <= {0, 1, 2, 3} for c in corners if c != {1, 2, 4}), corners
for t, triangle in enumerate(back.triangles):
    for c, vertex in enumerate(triangle):
        u, v = uv_of_vertex[int(vertex)]
        assert tuple(back.texcoords[t, c]) == (u, 1 - v), (t, c, back.texcoords[t, c])
assert np.array_equal(back.skins[0], skin)

# What cannot be exported ends in a report and leaves the file as it was.
kept = out / "kept.mdl"
kept.write_bytes(b"earlier")
empty = bpy.data.objects.new("empty", None)
bpy.context.collection.objects.link(empty)
harness.make_active(empty)
harness.expect_error(export_mdl7, "the active object is not a mesh", filepath=str(kept))
assert kept.read_bytes() == b"earlier"
print("models exported")
