"""Terrains in Blender: HMP7 export round trips of imported corpus
terrains, HMP5, height array and RAW import, a grid built here, and a mesh
that is not a grid."""

import os
import subprocess
import sys

import bmesh
import bpy
import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

tt = harness.install_addon()
folder = harness.corpus()
out = harness.output_folder()
import_terrain = bpy.ops.import_scene.terrain_toolkit_terrain
export_hmp7 = bpy.ops.export_scene.terrain_toolkit_hmp7


def z_values(obj):
    values = np.empty(3 * len(obj.data.vertices), dtype=np.float64)
    obj.data.vertices.foreach_get("co", values)
    return values.reshape(-1, 3)


# Corpus terrains, the flat one (z scale 0) too: the packed heights read back
# exactly, and the header keeps its scales and offsets.
for name in ("terrain.hmp", "formatDetection"):
    source = folder / "hmp7" / name
    original = tt.load_terrain(source, format="hmp")
    obj = harness.new_object(import_terrain, filepath=str(source), file_format="hmp")
    assert (len(obj.data.vertices), len(obj.data.polygons)) == (33 * 33, 32 * 32)
    target = out / (name + ".hmp")
    assert export_hmp7(filepath=str(target)) == {"FINISHED"}
    back = tt.load_terrain(target)
    assert np.array_equal(back.heights, original.heights), name
    for field in ("scale", "offset"):
        assert back.hmp[field] == original.hmp[field], (name, back.hmp)
    assert back.spacing == (5.0, 5.0)
    # The file has no skins and goes back without skins, as large as it came.
    data = target.read_bytes()
    assert len(data) == 4476 and int.from_bytes(data[48:52], "little") == 0, (name, len(data))

# A flat terrain raised in one place no longer fits its header: its heights
# are packed over their own range instead of being cut off.
flat = bpy.data.objects["formatDetection"]
harness.make_active(flat)
flat.data.vertices[40].co.z = 3.0
assert export_hmp7(filepath=str(out / "raised.hmp")) == {"FINISHED"}
raised = tt.load_terrain(out / "raised.hmp").heights
assert abs(raised.max() - 3.0) < 1e-3 and raised.min() == 0.0, (raised.min(), raised.max())

# HMP5, written by the plug-in's writer: 2 x 3 vertices 2 apart, vertex v
# packed v x 4099 with z scale 0.5 and offset -100; an 8 x 8 skin of bytes
# i x 11 stored blue, green, red, alpha, its first row the picture's bottom.
seeds = out / "seeds"
subprocess.run([os.environ["TOOLKIT_HMP5_WRITER"], str(seeds)], check=True)
hmp5 = harness.new_object(import_terrain, filepath=str(seeds / "hmp_file/hmp5.hmp"))
expected = [(2 * (v % 2), 2 * (v // 2), -100 + 0.5 * 4099 * v) for v in range(6)]
assert sorted(map(tuple, z_values(hmp5))) == sorted(expected), z_values(hmp5)
image = hmp5.data.materials[0].node_tree.nodes["Image Texture"].image
assert tuple(image.size) == (8, 8)
bottom_left = np.rint(np.array(image.pixels[0:4]) * 255).tolist()
assert bottom_left == [22, 11, 0, 33], bottom_left

# A height array and a RAW file with the tools' options.
(out / "heights.txt").write_text("0.5,1,1.5,2,2.5,3,")
flat = harness.new_object(import_terrain, filepath=str(out / "heights.txt"), size=(3, 2), spacing=4)
assert sorted(z_values(flat)[:, 2]) == [0.5, 1, 1.5, 2, 2.5, 3]
assert z_values(flat)[:, 0].max() == 8 and z_values(flat)[:, 1].max() == 4
np.array([0, 65535, 13107, 26214], dtype="<u2").tofile(out / "heights.raw")
raw = harness.new_object(import_terrain, filepath=str(out / "heights.raw"), size=(2, 2),
                         use_range=True, range_low=-10, range_high=40)
assert np.allclose(sorted(z_values(raw)[:, 2]), [-10, 0, 10, 40], atol=1e-5)
# Without a range, RAW heights span a tenth of the larger side: 4 here.
raw = harness.new_object(import_terrain, filepath=str(out / "heights.raw"), size=(2, 2), spacing=4)
assert np.allclose(sorted(z_values(raw)[:, 2]), [0, 0.08, 0.16, 0.4], atol=1e-6), z_values(raw)
# Refusals of the grid name the panel's fields, Size in columns x rows.
harness.expect_error(import_terrain, "a RAW file needs Size (columns and rows)", filepath=str(out / "heights.raw"))
harness.expect_error(import_terrain, "holds 8 bytes, but Size 3x1 needs 6", filepath=str(out / "heights.raw"),
                     size=(3, 1))
harness.expect_error(import_terrain, "Tiles must divide Size into whole tiles", filepath=str(out / "heights.txt"),
                     size=(3, 2), tiles=(2, 1))

# A PNG brings its stored range and spacing; two are imported at once.
ridge = np.array([[0.0, 2.0, 4.0], [1.0, 3.0, 6.0]])
tt.save_terrain(out / "ridge.png", ridge, spacing=(2.0, 5.0))
tt.save_terrain(out / "ridge2.png", ridge + 100.0)
before = set(bpy.data.objects)
assert import_terrain(directory=str(out), files=[{"name": "ridge.png"}, {"name": "ridge2.png"}]) == {"FINISHED"}
made = {obj.name: z_values(obj) for obj in set(bpy.data.objects) - before}
assert sorted(made) == ["ridge", "ridge2"], sorted(made)
co = made["ridge"]
order = np.lexsort((co[:, 0], co[:, 1]))
assert np.abs(co[order, 2] - ridge.ravel()).max() <= 6.0 / 65535, co
assert co[:, 0].max() == 4.0 and co[:, 1].max() == 5.0
assert abs(made["ridge2"][:, 2].min() - 100.0) <= 1e-3

# A grid built here with an image: heights within half a packed step, the
# spacing, and the image as the skin.
bpy.ops.mesh.primitive_grid_add(x_subdivisions=6, y_subdivisions=4, size=10)
grid = bpy.context.active_object
for vertex in grid.data.vertices:
    vertex.co.z = 0.5 * vertex.co.x + 0.1 * vertex.co.y ** 2
skin = (np.arange(8 * 8 * 4) * 7 % 256).astype(np.uint8).reshape(8, 8, 4)
skin[:, :, 3] = 255
picture = bpy.data.images.new("grid skin", 8, 8, alpha=True)
picture.pixels.foreach_set((skin[::-1].astype(np.float32) / 255).ravel())
material = bpy.data.materials.new("grid")
material.use_nodes = True
material.node_tree.nodes.new("ShaderNodeTexImage").image = picture
grid.data.materials.append(material)
assert export_hmp7(filepath=str(out / "grid.hmp")) == {"FINISHED"}
back = tt.load_terrain(out / "grid.hmp")
co = z_values(grid)
columns, rows = len(np.unique(co[:, 0].round(4))), len(np.unique(co[:, 1].round(4)))
assert back.heights.shape == (rows, columns), back.heights.shape
order = np.lexsort((co[:, 0], co[:, 1]))
step = (co[:, 2].max() - co[:, 2].min()) / 65535
assert np.abs(back.heights.ravel() - co[order, 2]).max() <= step / 2 + 1e-4
assert np.allclose(back.spacing, (10 / (columns - 1), 10 / (rows - 1)), atol=1 / 1024)
# The skin holds the picture's rows from the bottom up.
assert np.array_equal(back.skins[0], skin[::-1])
imported = harness.new_object(import_terrain, filepath=str(out / "grid.hmp"))
image = imported.data.materials[0].node_tree.nodes["Image Texture"].image
assert np.array_equal(np.rint(np.array(image.pixels[:]) * 255), np.rint(np.array(picture.pixels[:]) * 255))
assert np.allclose(z_values(imported)[:, :2].max(axis=0), (10, 10), atol=0.01)

def first_skin(path):
    """numSkins and the first skin's type, width and height, read from the
    file's bytes (the count at 48, the first skin's header at 84)."""
    data = path.read_bytes()
    count = int.from_bytes(data[48:52], "little")
    fields = [int.from_bytes(data[at:at + 4], "little") for at in (84, 88, 92)] if count else []
    return tuple([count] + fields)


# A grid without an image: the true-colour relief (type 12) by default, a
# blank skin (type 0) when asked for. The grid is moved up by 2,
# raised by 1 by a Displace modifier and turned a quarter round: the heights
# and the grid written are those the scene shows.
bpy.ops.mesh.primitive_grid_add(x_subdivisions=5, y_subdivisions=3, size=8)
plain = bpy.context.active_object
for vertex in plain.data.vertices:
    vertex.co.z = 0.25 * vertex.co.x
assert export_hmp7(filepath=str(out / "plain.hmp")) == {"FINISHED"}
assert first_skin(out / "plain.hmp") == (1, 12, 8, 8), first_skin(out / "plain.hmp")
assert export_hmp7(filepath=str(out / "blank.hmp"), default_skin="BLANK") == {"FINISHED"}
assert first_skin(out / "blank.hmp") == (1, 0, 8, 8)
plain_back = tt.load_terrain(out / "plain.hmp")
co = z_values(plain)
columns, rows = len(np.unique(co[:, 0].round(4))), len(np.unique(co[:, 1].round(4)))
assert plain_back.heights.shape == (rows, columns), plain_back.heights.shape
displace = plain.modifiers.new("raise", "DISPLACE")
displace.direction, displace.mid_level, displace.strength = "Z", 0.0, 1.0
plain.location.z = 2.0
plain.rotation_euler.z = np.pi / 2
bpy.context.view_layer.update()
assert export_hmp7(filepath=str(out / "moved.hmp")) == {"FINISHED"}
moved = tt.load_terrain(out / "moved.hmp")
# A quarter turn takes (x, y) to (-y, x): the columns become rows, the rows
# columns from the east, and the heights that rose to the east rise to the
# north, 3 higher.
assert moved.heights.shape == (columns, rows), moved.heights.shape
step = 2.0 / 65535
assert np.allclose(moved.heights, plain_back.heights.T[:, ::-1] + 3.0, atol=2 * step), moved.heights
plain.rotation_euler.z = np.pi / 6
bpy.context.view_layer.update()
harness.expect_error(export_hmp7, "the mesh is not a grid", filepath=str(out / "turned.hmp"))
assert not (out / "turned.hmp").exists()

# Meshes that are not grids, a sphere and a grid with a hole: a report, and
# the file as it was; nothing where there was none.
bpy.ops.mesh.primitive_uv_sphere_add()
kept = out / "kept.hmp"
kept.write_bytes(b"earlier")
harness.expect_error(export_hmp7, "the mesh is not a grid", filepath=str(kept))
assert kept.read_bytes() == b"earlier"
bpy.ops.mesh.primitive_grid_add(x_subdivisions=4, y_subdivisions=4)
holed = bpy.context.active_object.data
mesh = bmesh.new()
mesh.from_mesh(holed)
mesh.verts.ensure_lookup_table()
bmesh.ops.delete(mesh, geom=[mesh.verts[5]], context="VERTS")
mesh.to_mesh(holed)
harness.expect_error(export_hmp7, "the mesh is not a grid", filepath=str(out / "none.hmp"))
assert not (out / "none.hmp").exists()
print("terrains done")

# A file name that is not UTF-8: imported, its stray byte shown as a
# replacement character in the object's name and in a report.
odd = os.fsencode(out) + b"/odd\xff.hmp"
tt.save_terrain(odd, np.array([[0.0, 1.0], [2.0, 3.0]]), spacing=2.0)
imported = harness.new_object(import_terrain, filepath=os.fsdecode(odd))
assert imported.name == "odd\ufffd", imported.name
assert sorted(np.round(z_values(imported)[:, 2], 3)) == [0, 1, 2, 3]
with open(os.fsencode(out) + b"/odd\xff.raw", "wb") as raw_file:
    raw_file.write(bytes(8))
harness.expect_error(import_terrain, "Cannot import odd\ufffd.raw: ",
                     filepath=os.fsdecode(os.fsencode(out) + b"/odd\xff.raw"))
