"""Terrains as grid meshes, and a grid mesh as an HMP7 file."""

import os
import tempfile

import bpy
import numpy as np

from . import images
from .toolkit import Refusal, file_stem, link_and_select, shown

# The custom property that carries an HMP file's header with the object, so
# that an export packs the heights on the same steps.
HEADER_PROPERTY = "terrain_toolkit_hmp"


def _grid_mesh(name, heights, spacing):
    rows, columns = heights.shape
    y, x = np.mgrid[0:rows, 0:columns]
    positions = np.stack([x * spacing[0], y * spacing[1], heights], axis=2).astype(np.float32)
    mesh = bpy.data.meshes.new(name)
    mesh.vertices.add(rows * columns)
    mesh.vertices.foreach_set("co", positions.ravel())
    corner = (np.arange(rows - 1)[:, None] * columns + np.arange(columns - 1)[None, :]).ravel()
    quads = np.stack([corner, corner + 1, corner + columns + 1, corner + columns], axis=1).astype(np.int32)
    mesh.loops.add(4 * len(quads))
    mesh.loops.foreach_set("vertex_index", quads.ravel())
    mesh.polygons.add(len(quads))
    mesh.polygons.foreach_set("loop_start", np.arange(0, 4 * len(quads), 4, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(len(quads), 4, dtype=np.int32))
    if len(quads):
        u = (x / max(columns - 1, 1)).ravel()
        v = (y / max(rows - 1, 1)).ravel()
        uv = np.stack([u[quads.ravel()], v[quads.ravel()]], axis=1).astype(np.float32)
        mesh.uv_layers.new(name="UVMap").data.foreach_set("uv", uv.ravel())
    mesh.update(calc_edges=True)
    return mesh


# How the module's refusals name the grid options: as the import panel's
# fields, Size being columns and rows.
GRID_OPTION_NAMES = ("Size (columns and rows)", "Size", "Tiles", False)

# Without a known range, packed heights span this share of the terrain's
# larger side, as the studio's exports do by default.
DEFAULT_SPAN_SHARE = 0.1


def default_span(shape, spacing):
    """The height span of a terrain whose file says none: a tenth of its
    larger side."""
    rows, columns = shape
    return DEFAULT_SPAN_SHARE * max((columns - 1) * spacing[0], (rows - 1) * spacing[1], 1.0)


def import_terrain(context, path, options, tt):
    """Reads a terrain with load_terrain's options and links it to the scene as
    a grid mesh: x east, y north, z the height; returns the object and a
    note for the user, or None. Packed heights without a known range (a PNG
    without its stored range, a RAW file, no range given) span a tenth of
    the terrain's larger side."""
    terrain = tt._load_terrain(path, GRID_OPTION_NAMES, options)
    spacing = tuple(s if s > 0 else 1.0 for s in terrain.spacing)
    name = file_stem(path, "terrain")
    heights, note = terrain.heights, None
    if terrain.range is not None and not terrain.range_known:
        span = default_span(heights.shape, spacing)
        heights = heights * (span / 65535.0)
        note = ("%s says no height range: its heights span %g, a tenth of its larger side "
                "(set Height Range to choose)" % (shown(os.path.basename(path)), span))
    mesh = _grid_mesh(name, heights, spacing)
    skin = next((s for s in terrain.skins if s is not None), None)
    if skin is not None:
        # An HMP skin holds its picture's rows from the bottom (south) row up,
        # the order in which the plug-in's writer stores a picture handed to
        # it, so the first row it holds is the image's bottom row.
        image = images.image_from_skin(name + " skin", skin[::-1])
        mesh.materials.append(images.make_material(name, image, interpolation="Linear"))
    obj = bpy.data.objects.new(name, mesh)
    if terrain.hmp is not None:
        # The count of skins says whether the file had any, so that a file
        # without skins is exported without skins.
        obj[HEADER_PROPERTY] = {"scale": list(terrain.hmp["scale"]), "offset": list(terrain.hmp["offset"]),
                                "param0": terrain.hmp["param0"], "spacing": list(spacing),
                                "skins": len(terrain.skins)}
    link_and_select(context, obj)
    return obj, note


def _axis_steps(values, what):
    """The sorted distinct values of one axis, where values closer than a
    thousandth of the smallest step count as one."""
    ordered = np.sort(values)
    extent = ordered[-1] - ordered[0]
    if not extent > 0:
        raise Refusal("the mesh is not a grid: all its vertices lie on one line along " + what)
    gaps = np.diff(ordered)
    tolerance = 1e-5 * extent
    starts = np.concatenate([[0], np.nonzero(gaps > tolerance)[0] + 1])
    return ordered[starts]


def evaluated_positions(context, obj):
    """(count, 3) vertex positions of an object as the scene shows it:
    modifiers applied, then the object's transform."""
    evaluated = obj.evaluated_get(context.evaluated_depsgraph_get())
    mesh = evaluated.to_mesh()
    try:
        count = len(mesh.vertices)
        co = np.empty(3 * count, dtype=np.float64)
        mesh.vertices.foreach_get("co", co)
    finally:
        evaluated.to_mesh_clear()
    matrix = np.array(evaluated.matrix_world, dtype=np.float64)
    return co.reshape(count, 3) @ matrix[:3, :3].T + matrix[:3, 3]


def grid_heights(co):
    """(rows, columns) heights and the (x, y) spacing of (count, 3) vertex
    positions that lie one on each point of a regular grid; Refusal
    otherwise."""
    count = len(co)
    if count < 4:
        raise Refusal("the mesh is not a grid: a terrain needs at least 2 x 2 vertices")
    xs, ys = _axis_steps(co[:, 0], "y"), _axis_steps(co[:, 1], "x")
    columns, rows = len(xs), len(ys)
    if columns * rows != count:
        raise Refusal("the mesh is not a grid: %d vertices do not make %d columns x %d rows"
                      % (count, columns, rows))
    spacing = ((xs[-1] - xs[0]) / (columns - 1), (ys[-1] - ys[0]) / (rows - 1))
    column = np.rint((co[:, 0] - xs[0]) / spacing[0]).astype(np.int64)
    row = np.rint((co[:, 1] - ys[0]) / spacing[1]).astype(np.int64)
    off_x = np.abs(co[:, 0] - (xs[0] + column * spacing[0])).max()
    off_y = np.abs(co[:, 1] - (ys[0] + row * spacing[1])).max()
    if off_x > 1e-3 * spacing[0] or off_y > 1e-3 * spacing[1]:
        raise Refusal("the mesh is not a grid: its vertices are not evenly spaced")
    cell = row * columns + column
    if len(np.unique(cell)) != count:
        raise Refusal("the mesh is not a grid: two vertices share a grid point")
    heights = np.empty(count, dtype=np.float64)
    heights[cell] = co[:, 2]
    return heights.reshape(rows, columns), spacing


def _fits_header(heights, spacing, header):
    """Whether the heights and spacing can be written with the header of the
    HMP file they came from: the same spacing, and every height within the
    header's range (on its offset where the z scale is 0, a flat terrain), so
    that none is cut off at its ends."""
    if header is None or not np.allclose(spacing, list(header["spacing"]), rtol=1e-5, atol=0):
        return False
    scale, offset = float(header["scale"][2]), float(header["offset"][2])
    ends = sorted((offset, offset + 65535.0 * scale))
    slack = abs(scale) / 2 + 1e-6 * max(1.0, abs(ends[0]), abs(ends[1]))
    return bool(heights.min() >= ends[0] - slack and heights.max() <= ends[1] + slack)


def _default_skin(choice, header):
    """save_terrain's default_skin for the panel's choice: AUTOMATIC writes
    none for a terrain imported from an HMP file without skins, else the
    relief."""
    if choice != "AUTOMATIC":
        return choice.lower()
    return "none" if header is not None and header.get("skins") == 0 else None


def export_hmp7(context, obj, path, tt, default_skin="AUTOMATIC"):
    """Writes a grid mesh object as an HMP7 file, whole or not at all, with
    its material's image as the skin, else the skin default_skin names
    (AUTOMATIC, RELIEF, BLANK or NONE). The heights are those of the mesh
    as the scene shows it, its modifiers and transform applied. A terrain
    imported from an HMP file keeps that file's scales and offsets while its
    spacing is unchanged and its heights stay within the file's range;
    otherwise its heights are packed over their own range."""
    if obj is None or obj.type != "MESH":
        raise Refusal("the active object is not a mesh")
    heights, spacing = grid_heights(evaluated_positions(context, obj))
    options = {"spacing": spacing}
    header = obj.get(HEADER_PROPERTY)
    if _fits_header(heights, spacing, header):
        options = {"spacing": tuple(header["spacing"]),
                   "hmp": {"scale": list(header["scale"]), "offset": list(header["offset"]),
                           "param0": header["param0"]}}
    material = obj.data.materials[0] if len(obj.data.materials) else None
    image = images.material_image(material)
    skin = images.skin_from_image(image) if image is not None else None
    if skin is None:
        tt.save_terrain(path, heights, format="hmp", default_skin=_default_skin(default_skin, header),
                        **options)
        return
    with tempfile.TemporaryDirectory() as folder:
        picture = os.path.join(folder, "skin.bmp")
        images.write_bmp24(picture, skin)
        tt.save_terrain(path, heights, format="hmp", skin=picture, **options)
