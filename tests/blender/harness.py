"""What the tests in Blender share: the add-on installed from its zip into
this test's own scripts folder, the reference data, a fresh output folder,
and operator calls that must fail with an error report."""

import os
import pathlib
import re
import shutil
import sys

import bpy


def output_folder():
    """A fresh folder for what the test writes (CTest names it)."""
    folder = pathlib.Path(os.environ["TOOLKIT_TEST_OUTPUT"])
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    return folder


def install_addon():
    """Installs and enables the add-on from its zip, and returns the module
    terrain_toolkit it loaded, which must be the one the zip carries."""
    zip_path = os.environ["TOOLKIT_ADDON_ZIP"]
    scripts = os.environ["BLENDER_USER_SCRIPTS"]
    shutil.rmtree(scripts, ignore_errors=True)
    assert bpy.ops.preferences.addon_install(filepath=zip_path, overwrite=True) == {"FINISHED"}
    assert bpy.ops.preferences.addon_enable(module="io_terrain_toolkit") == {"FINISHED"}
    from io_terrain_toolkit import toolkit

    tt = toolkit.module()
    assert tt is not None, toolkit.missing()
    assert pathlib.Path(tt.__file__).resolve().is_relative_to(pathlib.Path(scripts).resolve()), tt.__file__
    return tt


def corpus():
    """The shared model corpus; a missing one skips the test (exit status
    77), and fails it in CI."""
    shared = os.environ.get("TOOLKIT_SHARED_DIR")
    folder = pathlib.Path(shared) / "corpus" if shared else None
    if folder is None or not (folder / "MANIFEST.md").is_file():
        print("the shared corpus is missing (TOOLKIT_SHARED_DIR)")
        sys.exit(1 if os.environ.get("CI") == "true" else 77)
    return folder


def manifest_counts(folder):
    """{relative path: (vertices, triangles, frames)} from the corpus
    manifest's tables; MDL7 groups are summed."""
    counts = {}
    heading = None
    for line in (folder / "MANIFEST.md").read_text(encoding="utf-8").splitlines():
        if line.startswith("#"):
            heading = line
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if not line.startswith("|") or not re.fullmatch(r"[a-z0-9]+/\S+", cells[0]):
            continue
        if heading.startswith("## 84-byte header models") and len(cells) == 13:
            counts[cells[0]] = (int(cells[4]), int(cells[5]), int(cells[6]))
        elif heading.startswith("## IDP2 (68-byte header)") and len(cells) == 12:
            counts[cells[0]] = (int(cells[4]), int(cells[6]), int(cells[8]))
        elif heading.startswith("## MDL7 (48-byte header)") and len(cells) == 10:
            v, t, f = counts.get(cells[0], (0, 0, 0))
            counts[cells[0]] = (v + int(cells[7]), t + int(cells[6]), f + int(cells[8]))
    return counts


def new_object(operator, **properties):
    """Runs an import operator and returns the one object it made."""
    before = set(bpy.data.objects)
    assert operator(**properties) == {"FINISHED"}
    made = set(bpy.data.objects) - before
    assert len(made) == 1, made
    return made.pop()


def expect_error(operator, needle, **properties):
    """Runs an operator that must end in an error report holding `needle`
    (Blender raises a report of an operator called from Python as
    RuntimeError), and no traceback."""
    try:
        operator(**properties)
    except RuntimeError as error:
        text = str(error)
        assert needle in text, text
        assert "Traceback" not in text, text
        return text
    raise AssertionError("no error report")


def make_active(obj):
    for other in bpy.context.view_layer.objects:
        other.select_set(False)
    obj.select_set(True)
    bpy.context.view_layer.objects.active = obj
