"""Model files as mesh objects, and a mesh object as an MDL7 file."""

import os

import bpy
import numpy as np

from . import images
from .toolkit import Refusal, link_and_select


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


def import_model(context, path, frame_rate, all_frames, tt):
    """Reads a model and links it to the scene as a mesh object; returns it."""
    model = tt.open_model(path)
    name = os.path.splitext(os.path.basename(path))[0] or "model"
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
        scene.render.fps = frame_rate
        scene.render.fps_base = 1.0
        last = _add_frames(obj, model, scene.frame_start)
        scene.frame_end = max(scene.frame_end, last) if others else last
    return obj


def _frames_of(mesh):
    """Positions per frame: every shape key but the basis, else the mesh's
    own vertices."""
    count = len(mesh.vertices)
    keys = mesh.shape_keys.key_blocks[1:] if mesh.shape_keys else []
    sources = [key.data for key in keys] or [mesh.vertices]
    frames = []
    for source in sources:
        positions = np.empty(3 * count, dtype=np.float32)
        source.foreach_get("co", positions)
        frames.append(positions.reshape(count, 3))
    names = [key.name for key in keys] or ["frame0"]
    return frames, names


def model_of_mesh(obj):
    """The arrays write_mdl7 takes for a mesh object: triangulated faces,
    the active UV map, the first material's image as the skin and the shape
    keys as frames."""
    if obj is None or obj.type != "MESH":
        raise Refusal("the active object is not a mesh")
    mesh = obj.data
    if len(mesh.vertices) == 0:
        raise Refusal("the mesh %s has no vertices" % mesh.name)
    mesh.calc_loop_triangles()
    count = len(mesh.loop_triangles)
    triangles = np.empty(3 * count, dtype=np.int32)
    mesh.loop_triangles.foreach_get("vertices", triangles)
    frames, names = _frames_of(mesh)
    model = {"frames": frames, "frame_names": names, "triangles": triangles.reshape(count, 3)}
    if mesh.uv_layers.active is not None and count:
        loops = np.empty(3 * count, dtype=np.int32)
        mesh.loop_triangles.foreach_get("loops", loops)
        uv = np.empty(2 * len(mesh.loops), dtype=np.float32)
        mesh.uv_layers.active.data.foreach_get("uv", uv)
        corners = uv.reshape(-1, 2)[loops]
        corners[:, 1] = 1.0 - corners[:, 1]
        model["texcoords"] = np.ascontiguousarray(corners.reshape(count, 3, 2))
    image = images.material_image(mesh.materials[0] if len(mesh.materials) else None)
    skin = images.skin_from_image(image) if image is not None else None
    model["skins"] = [skin] if skin is not None else []
    return model


def export_mdl7(obj, path, tt):
    """Writes the mesh object as an MDL7 file, whole or not at all."""
    tt.write_mdl7(path, model_of_mesh(obj))
