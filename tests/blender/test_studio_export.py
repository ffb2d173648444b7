"""The studio's HMP7 export, as its browser test leaves it beside the view's
extents, imported here: the terrain spans what the studio's 3D view showed,
its x and z extent and its height span, within 1 %."""

import json
import os
import pathlib
import sys

import bpy

sys.path.insert(0, os.path.dirname(__file__))
import harness  # noqa: E402

harness.install_addon()
kept = pathlib.Path(os.environ["TOOLKIT_STUDIO_EXPORT"])
view = json.loads((kept / "view.json").read_text())["extent"]
obj = harness.new_object(bpy.ops.import_scene.terrain_toolkit_terrain, filepath=str(kept / "studio-test.hmp"))
# The grid lies x east, y north, z up; the view's extent is x, z (north)
# and the height span.
size = list(obj.dimensions)
for axis, shown in enumerate(view):
    assert abs(size[axis] - shown) <= 0.01 * shown, (size, view)
print("studio export in Blender: %s against the 3D view's %s" % (size, view))
