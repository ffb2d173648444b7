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
assert export_mdl7(filepath=str(out / "minigun.mdl"), use_selection=True) == {"FINISHED"}
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
built.active_shape_key_index = 1
assert export_mdl7(filepath=str(out / "built.mdl"), use_selection=True) == {"FINISHED"}
# Each shape key was evaluated on its own, and the object shows them as before.
assert not built.show_only_shape_key and built.active_shape_key_index == 1
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
harness.expect_error(export_mdl7, "no mesh object is selected", filepath=str(kept), use_selection=True)
assert kept.read_bytes() == b"earlier"

# MDL7 materials come back: the sphere's pink at alpha 0.9.
sphere = harness.new_object(bpy.ops.import_scene.terrain_toolkit_model,
                            filepath=str(folder / "mdl7/sphere_alpha90.mdl"))
assert export_mdl7(filepath=str(out / "sphere.mdl"), use_selection=True) == {"FINISHED"}
back = tt.open_model(out / "sphere.mdl")
assert len(back.materials) == 1 and (back.triangle_materials == 0).all()
assert np.allclose(back.materials[0]["color"], (236 / 255, 0, 1), atol=1e-6), back.materials
assert abs(back.materials[0]["alpha"] - 0.9) < 1e-6, back.materials

# The scene as it is shown: a cube at (10, 0, 0) scaled 3 with a Bevel of
# width 0.1 has 24 vertices, on each face the four at +-0.9 of its two
# other axes; a plane mirrored in x, with a material of its own.
for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
bpy.ops.mesh.primitive_cube_add(location=(10, 0, 0))
cube = bpy.context.active_object
cube.scale = (3, 3, 3)
bevel = cube.modifiers.new("Bevel", "BEVEL")
bevel.width, bevel.segments, bevel.limit_method = 0.1, 1, "NONE"
bpy.ops.mesh.primitive_plane_add(location=(0, 0, 5))
plane = bpy.context.active_object
plane.scale = (-2, 1, 1)
tint = bpy.data.materials.new("tint")
tint.diffuse_color = (0.25, 0.5, 1.0, 0.75)
plane.data.materials.append(tint)
bevelled = np.array([[a, b * 0.9, c * 0.9] for a in (-1, 1) for b in (-1, 1) for c in (-1, 1)])
cube_points = np.vstack([np.roll(bevelled, k, axis=1) for k in range(3)]) * 3 + (10, 0, 0)
plane_points = np.array([[x, y, 5] for x in (-2, 2) for y in (-1, 1)], dtype=np.float64)


def exported(name, **options):
    assert export_mdl7(filepath=str(out / name), **options) == {"FINISHED"}
    return tt.open_model(out / name)


def same_points(points, expected):
    order = lambda p: p[np.lexsort(np.round(p, 4).T)]
    return points.shape == expected.shape and np.allclose(order(points), order(expected), atol=1e-5)


harness.make_active(cube)
back = exported("cube.mdl", use_selection=True, global_scale=2)
assert same_points(back.frames[0], cube_points * 2), back.frames[0]
assert back.triangles.shape == (6 * 2 + 12 * 2 + 8, 3)
assert back.materials == [] and (back.triangle_materials == -1).all()
# Nothing of the scene changed.
assert len(cube.data.vertices) == 8 and len(cube.modifiers) == 1 and tuple(cube.location) == (10, 0, 0)
# Without the modifiers: the cube's 8 corners.
back = exported("plain.mdl", use_selection=True, use_mesh_modifiers=False)
assert same_points(back.frames[0], np.array([[a, b, c] for a in (-1, 1) for b in (-1, 1) for c in (-1, 1)])
                   * 3 + (10, 0, 0))

# Both selected: one mesh of both; the mirrored plane still faces up and
# takes its material's colour.
plane.select_set(True)
for options in ({"use_selection": True}, {}):
    back = exported("both.mdl", **options)
    assert same_points(back.frames[0], np.vstack([cube_points, plane_points])), options
    assert len(back.triangles) == 44 + 2
    assert back.materials == [{"color": (0.25, 0.5, 1.0), "alpha": 0.75}], back.materials
    on_plane = np.isclose(back.frames[0][back.triangles][:, :, 2], 5).all(axis=1)
    assert on_plane.sum() == 2 and (back.triangle_materials[on_plane] == 0).all()
    assert (back.triangle_materials[~on_plane] == -1).all()
    a, b, c = (back.frames[0][back.triangles[on_plane][:, k]] for k in range(3))
    assert (np.cross(b - a, c - a)[:, 2] > 0).all()
    # Without Selection Only every visible object goes, selected or not.
    cube.select_set(False)
assert len(bpy.data.meshes["Cube"].vertices) == 8
print("models exported")
