"""Skins as Blender images and materials, and images back as skin pixels."""

import struct

import bpy
import numpy as np


def image_from_skin(name, skin):
    """A packed image of a skin: (H, W, 4) RGBA, or (H, W) palette indices
    shown as grey levels. Skin rows run from the top, image rows from the
    bottom."""
    if skin.ndim == 2:
        skin = np.repeat(skin[:, :, None], 4, axis=2)
        skin[:, :, 3] = 255
    height, width = skin.shape[:2]
    image = bpy.data.images.new(name, width, height, alpha=True)
    pixels = np.ascontiguousarray(skin[::-1], dtype=np.float32) / 255.0
    image.pixels.foreach_set(pixels.ravel())
    image.pack()
    return image


def skin_from_image(image):
    """(H, W, 4) uint8 RGBA, rows from the top, of an image's pixels as
    stored (no colour transform)."""
    width, height = image.size
    if width == 0 or height == 0:
        return None
    pixels = np.empty(width * height * image.channels, dtype=np.float32)
    image.pixels.foreach_get(pixels)
    pixels = pixels.reshape(height, width, image.channels)
    if image.channels < 4:
        alpha = np.ones((height, width, 1), dtype=np.float32)
        grey = pixels if image.channels != 1 else np.repeat(pixels, 3, axis=2)
        pixels = np.concatenate([grey[:, :, :3], alpha], axis=2)
    bytes_ = np.clip(np.floor(pixels * 255.0 + 0.5), 0, 255).astype(np.uint8)
    return np.ascontiguousarray(bytes_[::-1])


def make_material(name, image=None, color=None, alpha=1.0, interpolation="Closest"):
    """A Principled material: the image as its base colour where there is
    one, else the colour, and the alpha given. Model skins are drawn pixel
    for pixel (Closest), terrain skins smoothly (Linear)."""
    material = bpy.data.materials.new(name)
    material.use_nodes = True
    nodes = material.node_tree.nodes
    shader = next(node for node in nodes if node.type == "BSDF_PRINCIPLED")
    if color is not None:
        shader.inputs["Base Color"].default_value = (*color, 1.0)
        material.diffuse_color = (*color, alpha)
    shader.inputs["Alpha"].default_value = alpha
    if image is not None:
        texture = nodes.new("ShaderNodeTexImage")
        texture.image = image
        texture.interpolation = interpolation
        texture.location = (-400, 300)
        links = material.node_tree.links
        links.new(texture.outputs["Color"], shader.inputs["Base Color"])
    if alpha < 1.0:
        material.blend_method = "BLEND"
    return material


def material_image(material):
    """The image of a material's first image texture node, or None."""
    if material is None or not material.use_nodes or material.node_tree is None:
        return None
    for node in material.node_tree.nodes:
        if node.type == "TEX_IMAGE" and node.image is not None:
            return node.image
    return None


def write_bmp24(path, rgba):
    """Writes (H, W, 4) RGBA, rows from the top, as a 24-bit BMP: the
    picture a terrain skin is taken from."""
    height, width = rgba.shape[:2]
    row_bytes = (width * 3 + 3) & ~3
    rows = np.zeros((height, row_bytes), dtype=np.uint8)
    rows[:, :width * 3] = rgba[::-1, :, 2::-1].reshape(height, width * 3)
    data = rows.tobytes()
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + data)
