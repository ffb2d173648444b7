"""Model files as mesh objects, and a mesh object as an MDL7 file."""

import bpy
import numpy as np

from . import images
from .toolkit import Refusal, file_stem, link_and_select


def _build_mesh(name, positions, triangles):
    mesh = bpy.data.meshes.new(name)
    mesh.vertices.add(len(positions))
    mesh.vertices.foreach_set("co", np.ascontiguousarray(positions, dtype=np.float32).ravel())
    count = len(triangles)
    mesh.loops.add(3 * count)
    mesh.loops.foreach_set("vertex_index", np.ascontiguousarray(triangles, dtype=np.int32).ravel())
    mesh.polygons.add(count)
    mesh.polygons.foreach_set("loop_start", np.arange(0, 3 * count, 3, dtype=np.int32))
    mesh.polygons.foreach_set("loop_total", np.full(count, 3, dtype=np.int32))
    mesh.update(calc_edges=True)
    return mesh


def _set_uvs(mesh, texcoords):
    """Texture coordinates per corner, (0, 0) the skin's top left; a corner
    without one gets (0, 0)."""
    uv = np.nan_to_num(np.asarray(texcoords, dtype=np.float32).reshape(-1, 2), nan=0.0)
    uv[:, 1] = 1.0 - uv[:, 1]
    mesh.uv_layers.new(name="UVMap").data.foreach_set("uv", uv.ravel())


def _materials(name, model):
    """One material per skin, each with the first true-colour skin (else the
    first palette skin) as its image, MDL7's colour and alpha where given."""
    image = None
    skins = [(k, s) for k, s in enumerate(model.skins) if s is not None]
    chosen = next(((k, s) for k, s in skins if s.ndim == 3), skins[0] if skins else None)
    if chosen is not None:
        image = images.image_from_skin("%s skin %d" % (name, chosen[0]), chosen[1])
    count = max(len(model.materials), 1 if image is not None else 0)
    result = []
    for k in range(count):
        given = model.materials[k] if k < len(model.materials) else None
        color = tuple(given["color"]) if given else None
        alpha = float(given["alpha"]) if given else 1.0
        result.append(images.make_material("%s %d" % (name, k), image, color, alpha))
    return result


def _add_frames(obj, model, first_frame):
    """Frame k becomes the shape key of its name, at full value on scene
    frame first_frame + k and off on every other frame."""
    obj.shape_key_add(name="Basis", from_mix=False)
    last = first_frame + len(model.frames) - 1
    for k, positions in enumerate(model.frames):
        name = model.frame_names[k] if k < len(model.frame_names) and model.frame_names[k] else "frame%d" % k
        key = obj.shape_key_add(name=name, from_mix=False)
        key.data.foreach_set("co", np.ascontiguousarray(positions, dtype=np.float32).ravel())
        frame = first_frame + k
        for at, value in ((frame - 1, 0.0), (frame, 1.0), (frame + 1, 0.0)):
            if first_frame <= at <= last:
                key.value = value
                key.keyframe_insert("value", frame=at)
    for curve in obj.data.shape_keys.animation_data.action.fcurves:
        for point in curve.keyframe_points:
            point.interpolation = "CONSTANT"
    return last


def import_model(context, path, all_frames, tt, frame_rate=None):
    """Reads a model and links it to the scene as a mesh object; returns it.
    With a frame rate the scene takes it, and its timeline is made to end
    with the animation; without one the scene's frame rate and range stay."""
    model = tt.open_model(path)
    name = file_stem(path, "model")
    mesh = _build_mesh(name, model.frames[0], model.triangles)
    if model.texcoords is not None and len(model.triangles):
        _set_uvs(mesh, model.texcoords)
    for material in _materials(name, model):
        mesh.materials.append(material)
    if model.triangle_materials is not None and len(mesh.materials) > 1:
        indices = np.clip(np.asarray(model.triangle_materials, dtype=np.int32), 0, len(mesh.materials) - 1)
        mesh.polygons.foreach_set("material_index", indices)
    obj = bpy.data.objects.new(name, mesh)
    link_and_select(context, obj)
    scene = context.scene
    if all_frames and len(model.frames) > 1:
        # The timeline ends with the animation, or with the longest one where
        # the scene holds others already.
        others = any(o.type == "MESH" and o.data.shape_keys and o.data.shape_keys.animation_data
                     for o in scene.objects if o is not obj)
        last = _add_frames(obj, model, scene.frame_start)
        if frame_rate is not None:
            scene.render.fps = frame_rate
            scene.render.fps_base = 1.0
            scene.frame_end = max(scene.frame_end, last) if others else last
    return obj


def import_models(context, paths, all_frames, tt, frame_rate=None):
    """Imports each file of `paths`; returns the objects made and, per file
    that could not be read, (path, error). Every object made is selected, the
    last one active."""
    made = []
    failed = []
    for path in paths:
        try:
            made.append(import_model(context, path, all_frames, tt, frame_rate))
        except Exception as error:  # noqa: BLE001 - the caller tells file failures from faults
            failed.append((path, error))
    for obj in made:
        obj.select_set(True)
    if made:
        context.view_layer.objects.active = made[-1]
    return made, failed


# Object types that give a mesh.
_MESH_TYPES = {"MESH", "CURVE", "SURFACE", "FONT", "META"}


def _triangles_of(mesh):
    """The mesh's faces as triangles: (T, 3) vertex indices, (T, 3) loop
    indices and (T,) material slot indices."""
    mesh.calc_loop_triangles()
    count = len(mesh.loop_triangles)
    vertices = np.empty(3 * count, dtype=np.int32)
    loops = np.empty(3 * count, dtype=np.int32)
    slots = np.empty(count, dtype=np.int32)
    mesh.loop_triangles.foreach_get("vertices", vertices)
    mesh.loop_triangles.foreach_get("loops", loops)
    mesh.loop_triangles.foreach_get("material_index", slots)
    return vertices.reshape(count, 3), loops.reshape(count, 3), slots


def _positions(vertices, count):
    positions = np.empty(3 * count, dtype=np.float64)
    vertices.foreach_get("co", positions)
    return positions.reshape(count, 3)


def _texcoords(mesh, loops):
    """Per corner the active UV map's coordinates, (0, 0) the skin's top
    left; NaN without a UV map."""
    if mesh.uv_layers.active is None:
        return np.full(loops.shape + (2,), np.nan, dtype=np.float32)
    uv = np.empty(2 * len(mesh.loops), dtype=np.float32)
    mesh.uv_layers.active.data.foreach_get("uv", uv)
    corners = uv.reshape(-1, 2)[loops]
    corners[:, :, 1] = 1.0 - corners[:, :, 1]
    return corners


class _Part:
    """One object's share of the exported mesh: its frames in its own
    space, triangles, texture coordinates and material slots."""

    def __init__(self, obj):
        self.obj = obj
        self.frames = []
        self.names = []
        self.triangles = None
        self.texcoords = None
        self.slots = None
        self.materials = []


def _read_mesh(part, mesh):
    part.triangles, loops, part.slots = _triangles_of(mesh)
    part.texcoords = _texcoords(mesh, loops)
    part.materials = [slot.material for slot in part.obj.material_slots]


def _part_as_is(obj):
    """The object's own mesh, without modifiers: its shape keys (but the
    basis) as frames, else its vertices."""
    part = _Part(obj)
    if obj.type == "MESH":
        mesh = obj.data
        _read_mesh(part, mesh)
        count = len(mesh.vertices)
        keys = mesh.shape_keys.key_blocks[1:] if mesh.shape_keys else []
        part.frames = [_positions(key.data, count) for key in keys] or [_positions(mesh.vertices, count)]
        part.names = [key.name for key in keys]
        return part
    mesh = obj.to_mesh()
    try:
        if mesh is not None:
            _read_mesh(part, mesh)
            part.frames = [_positions(mesh.vertices, len(mesh.vertices))]
    finally:
        obj.to_mesh_clear()
    return part


def _evaluated_positions(context, obj, part, first):
    """Evaluates the object with its modifiers; the first time it also reads
    the triangles, later it checks that they stayed."""
    depsgraph = context.evaluated_depsgraph_get()
    evaluated = obj.evaluated_get(depsgraph)
    mesh = evaluated.to_mesh()
    try:
        if mesh is None:
            return None
        if first:
            _read_mesh(part, mesh)
        elif len(mesh.vertices) != len(part.frames[0]) or not np.array_equal(
                _triangles_of(mesh)[0], part.triangles):
            raise Refusal("the modifiers of %s make another mesh for each shape key" % obj.name)
        return _positions(mesh.vertices, len(mesh.vertices))
    finally:
        evaluated.to_mesh_clear()


def _part_evaluated(context, obj):
    """The object with its modifiers: per shape key but the basis the mesh
    that key alone makes, else the mesh as the scene shows it. The object's
    shape key display is restored afterwards."""
    part = _Part(obj)
    keys = obj.data.shape_keys.key_blocks[1:] if obj.type == "MESH" and obj.data.shape_keys else []
    if not keys:
        positions = _evaluated_positions(context, obj, part, True)
        part.frames = [positions] if positions is not None else []
        return part
    shown = (obj.show_only_shape_key, obj.active_shape_key_index)
    try:
        obj.show_only_shape_key = True
        for k, key in enumerate(keys):
            obj.active_shape_key_index = k + 1
            context.view_layer.update()
            part.frames.append(_evaluated_positions(context, obj, part, k == 0))
            part.names.append(key.name)
    finally:
        obj.show_only_shape_key, obj.active_shape_key_index = shown
        context.view_layer.update()
    return part


def _material_entry(material):
    """A Blender material as write_mdl7 takes it: the Principled shader's
    base colour and alpha, else the viewport colour."""
    if material.use_nodes and material.node_tree is not None:
        shader = next((n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED"), None)
        if shader is not None:
            color = shader.inputs["Base Color"].default_value
            return {"color": (color[0], color[1], color[2]),
                    "alpha": float(shader.inputs["Alpha"].default_value)}
    color = material.diffuse_color
    return {"color": (color[0], color[1], color[2]), "alpha": float(color[3])}


def _objects_to_export(context, selection_only):
    objects = context.selected_objects if selection_only else context.view_layer.objects
    found = [o for o in objects if o.type in _MESH_TYPES and (selection_only or o.visible_get())]
    if not found:
        raise Refusal("no mesh object is selected" if selection_only else "the scene holds no mesh object")
    return found


def _skin_of_triangles(part, used):
    """The skin each of the part's triangles takes: its material's place in
    `used`, where each material is added once, in the order met; -1 for an
    empty slot or none."""
    slots = []
    for material in part.materials:
        if material is None:
            slots.append(-1)
            continue
        if material not in used:
            used.append(material)
        slots.append(used.index(material))
    lookup = np.array(slots + [-1], dtype=np.int32)
    return lookup[np.where((part.slots >= 0) & (part.slots < len(slots)), part.slots, len(slots))]


def model_of_objects(context, selection_only=False, apply_modifiers=True, scale=1.0):
    """The arrays write_mdl7 takes for the scene's (or the selected) objects
    joined into one mesh: positions with each object's transform and
    `scale` applied, and its modifiers where asked; faces as triangles; the
    active UV maps; one skin per material (its first image, its base colour
    and alpha); shape keys as frames. An object with fewer frames than
    another shows its last in the rest. Nothing in the scene is changed."""
    parts = []
    for obj in _objects_to_export(context, selection_only):
        part = _part_evaluated(context, obj) if apply_modifiers else _part_as_is(obj)
        if part.frames and len(part.frames[0]):
            parts.append(part)
    if not parts:
        raise Refusal("the objects to export have no vertices")
    frame_count = max(len(p.frames) for p in parts)
    names = next((p.names for p in parts if len(p.names) == frame_count), [])
    frames = [[] for _ in range(frame_count)]
    triangles, texcoords, chosen, used = [], [], [], []
    first = 0
    for part in parts:
        matrix = np.array(part.obj.matrix_world, dtype=np.float64)
        for k in range(frame_count):
            local = part.frames[min(k, len(part.frames) - 1)]
            frames[k].append((local @ matrix[:3, :3].T + matrix[:3, 3]) * scale)
        corners = part.triangles + first
        uv = part.texcoords
        if np.linalg.det(matrix[:3, :3]) < 0:
            # A mirroring transform turns the faces inside out: keep them facing out.
            corners = corners[:, [0, 2, 1]]
            uv = uv[:, [0, 2, 1]]
        triangles.append(corners)
        texcoords.append(uv)
        first += len(part.frames[0])
        chosen.append(_skin_of_triangles(part, used))
    model = {
        "frames": [np.ascontiguousarray(np.vstack(f), dtype=np.float32) for f in frames],
        "frame_names": names or ["frame%d" % k for k in range(frame_count)],
        "triangles": np.ascontiguousarray(np.vstack(triangles), dtype=np.int32),
        "texcoords": np.ascontiguousarray(np.concatenate(texcoords), dtype=np.float32),
        "triangle_materials": np.ascontiguousarray(np.concatenate(chosen), dtype=np.int32),
    }
    skins = []
    for material in used:
        image = images.material_image(material)
        skins.append(images.skin_from_image(image) if image is not None else None)
    model["skins"] = skins
    model["skin_names"] = [m.name for m in used]
    model["materials"] = [_material_entry(m) for m in used]
    return model


def export_mdl7(context, path, tt, selection_only=False, apply_modifiers=True, scale=1.0):
    """Writes the scene's (or the selected) objects as one MDL7 mesh, the
    file whole or not at all."""
    tt.write_mdl7(path, model_of_objects(context, selection_only, apply_modifiers, scale))
