"""A small Cycles picture of a corpus model on the example terrain, both
imported through the add-on: the picture the README shows."""

import os
import pathlib
import sys

import bpy
import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

tt = harness.install_addon()
folder = harness.corpus()
out = harness.output_folder()
from io_terrain_toolkit import images  # noqa: E402

# The example terrain, every fourth sample, coloured as terrainview draws it.
examples = pathlib.Path(os.environ["TOOLKIT_EXAMPLES_DIR"])
heights = tt.generate(examples / "terrain.txt", assemble=True)[::4, ::4].astype(np.float64)
relief = tt.render_relief(heights)
skin = np.dstack([relief, np.full(relief.shape[:2], 255, np.uint8)])
images.write_bmp24(str(out / "relief.bmp"), skin)
tt.save_terrain(out / "example.hmp", heights, spacing=4, height_scale=40, skin=out / "relief.bmp")
for obj in list(bpy.data.objects):
    bpy.data.objects.remove(obj)
terrain = harness.new_object(bpy.ops.import_scene.terrain_toolkit_terrain, filepath=str(out / "example.hmp"))
centre = 4 * (heights.shape[1] - 1) / 2

import_model = bpy.ops.import_scene.terrain_toolkit_model
gun = harness.new_object(import_model, filepath=str(folder / "mdl3/minigun.MDL"))
gun.scale = (2, 2, 2)
gun.location = (centre, 130, 40 * heights[30:36, 55:73].max() + 16)
gun.rotation_euler = (0, 0, 0.5)

scene = bpy.context.scene
camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
camera.data.lens = 28
camera.location = (centre, -180, 160)
camera.rotation_euler = (1.15, 0, 0)
scene.collection.objects.link(camera)
scene.camera = camera
sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
sun.data.energy = 4
sun.rotation_euler = (0.7, 0.2, 0.9)
scene.collection.objects.link(sun)
scene.world = bpy.data.worlds.new("sky")
scene.world.color = (0.45, 0.6, 0.8)

# Debian's Blender is built without the denoiser: rendering with it on fails.
scene.render.engine = "CYCLES"
scene.cycles.device = "CPU"
scene.cycles.samples = 16
scene.cycles.use_denoising = False
scene.render.resolution_x, scene.render.resolution_y = 480, 270
scene.render.resolution_percentage = 100
scene.view_settings.view_transform = "Standard"
scene.render.image_settings.file_format = "PNG"
scene.render.filepath = str(out / "blender-render.png")
bpy.ops.render.render(write_still=True)

picture = bpy.data.images.load(str(out / "blender-render.png"))
assert tuple(picture.size) == (480, 270)
pixels = np.array(picture.pixels[:]).reshape(270, 480, 4)
assert pixels[:, :, :3].std() > 0.05, "the picture is nearly uniform"
# The terrain's skin is on it: the relief's water blue shows on the ground,
# below the sky's horizon (rows from the bottom).
ground = pixels[:120, :, :3]
water = (ground[:, :, 2] > ground[:, :, 0] + 0.3).mean()
assert water > 0.02, water
print("rendered", out / "blender-render.png")
