"""Imports game models (MDL7, MDL2 to MDL6, IDPO, IDP2) and terrains (HMP5,
HMP7, height arrays, 16-bit PNG and RAW) through the module terrain_toolkit,
and exports meshes as MDL7 models and HMP7 terrains."""

bl_info = {
    "name": "Terrain toolkit: models and terrains",
    "author": "Terrain toolkit developers",
    "version": (0, 1, 0),
    "blender": (3, 4, 0),
    "location": "File > Import, File > Export",
    "description": "MDL7, MDL2 to MDL6, IDPO and IDP2 models; HMP5/HMP7, height array, PNG and RAW terrains",
    "category": "Import-Export",
}

import os

import bpy
from bpy.props import (BoolProperty, CollectionProperty, EnumProperty, FloatProperty, IntProperty,
                       IntVectorProperty, StringProperty)
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import models, terrains, toolkit


def _module(operator):
    """The module, or None once the operator has reported why it cannot be
    loaded."""
    tt = toolkit.module()
    if tt is None:
        operator.report({"ERROR"}, toolkit.missing())
    return tt


def _cannot(verb, path, text):
    """The report of a file that could not be imported or exported."""
    return "Cannot %s %s: %s" % (verb, toolkit.shown(os.path.basename(path)), text)


def _run(operator, verb, path, action):
    """Runs action(tt) and turns a failure of the file or mesh into the
    operator's error report."""
    tt = _module(operator)
    if tt is None:
        return {"CANCELLED"}
    try:
        action(tt)
    except Exception as error:
        text = toolkit.failure_text(error)
        if text is None:
            raise
        operator.report({"ERROR"}, _cannot(verb, path, text))
        return {"CANCELLED"}
    return {"FINISHED"}


class _ImportFiles(ImportHelper):
    """What both import operators share: an undoable import of several files
    chosen at once in the file browser."""

    bl_options = {"REGISTER", "UNDO"}
    files: CollectionProperty(type=bpy.types.OperatorFileListElement, options={"HIDDEN", "SKIP_SAVE"})
    directory: StringProperty(subtype="DIR_PATH", options={"HIDDEN", "SKIP_SAVE"})

    def chosen_paths(self):
        """The files chosen in the file browser, several at once, else the
        one path given."""
        names = [entry.name for entry in self.files if entry.name]
        if names and self.directory:
            return [os.path.join(self.directory, name) for name in names]
        return [self.filepath]


class ImportModel(bpy.types.Operator, _ImportFiles):
    """Import model files: MDL7, MDL2 to MDL6, IDPO or IDP2"""

    bl_idname = "import_scene.terrain_toolkit_model"
    bl_label = "Import Game Model"
    filename_ext = ".mdl"
    filter_glob: StringProperty(default="*.mdl;*.MDL;*.md2;*.MD2", options={"HIDDEN"})
    all_frames: BoolProperty(name="All Frames", default=True,
                             description="Import every frame as a shape key keyed on the timeline, "
                                         "else only the first frame")
    set_frame_rate: BoolProperty(name="Set Frame Rate and Range", default=False,
                                 description="Give the scene the frame rate below and end its timeline "
                                             "with the animation")
    frame_rate: IntProperty(name="Frame Rate", description="Frames per second of the animation",
                            default=10, min=1, max=240)

    def execute(self, context):
        tt = _module(self)
        if tt is None:
            return {"CANCELLED"}
        rate = self.frame_rate if self.set_frame_rate else None
        made, failed = models.import_models(context, self.chosen_paths(), self.all_frames, tt, rate)
        for path, error in failed:
            text = toolkit.failure_text(error)
            if text is None:
                raise error
            # Files that could not be read are an error when nothing was
            # imported, else a warning beside what was.
            self.report({"WARNING"} if made else {"ERROR"}, _cannot("import", path, text))
        return {"FINISHED"} if made else {"CANCELLED"}


class ImportTerrain(bpy.types.Operator, _ImportFiles):
    """Import a terrain: HMP5/HMP7, a height array (.txt), 16-bit PNG or RAW"""

    bl_idname = "import_scene.terrain_toolkit_terrain"
    bl_label = "Import Terrain"
    filename_ext = ".hmp"
    filter_glob: StringProperty(default="*.hmp;*.txt;*.png;*.raw;*.r16", options={"HIDDEN"})
    file_format: EnumProperty(
        name="Format", default="AUTO",
        items=[("AUTO", "By Name or Content", ""), ("hmp", "HMP", ""), ("txt", "Height Array", ""),
               ("png", "PNG", ""), ("raw", "RAW", "")])
    size: IntVectorProperty(name="Size", size=2, default=(0, 0), min=0,
                            description="Columns and rows, in that order, of a height array or RAW file "
                                        "(0: not given)")
    tiles: IntVectorProperty(name="Tiles", size=2, default=(1, 1), min=1,
                             description="Tiles along x and z of a height array")
    use_range: BoolProperty(name="Height Range", default=False,
                            description="Give the heights packed 0 and 65535 stand for (PNG and RAW). "
                                        "Without it a PNG's stored range is taken, else the heights "
                                        "span a tenth of the terrain's larger side")
    range_low: FloatProperty(name="Low", default=0.0)
    range_high: FloatProperty(name="High", default=1.0)
    spacing: FloatProperty(name="Spacing", default=0.0, min=0.0,
                           description="Distance between samples (0: the file's, else 1)")

    def load_options(self):
        options = {}
        if self.file_format != "AUTO":
            options["format"] = self.file_format
        if self.size[0] > 0 and self.size[1] > 0:
            columns, rows = self.size
            options["shape"] = (rows, columns)
        if tuple(self.tiles) != (1, 1):
            options["tiles"] = tuple(self.tiles)
        if self.use_range:
            options["range"] = (self.range_low, self.range_high)
        if self.spacing > 0:
            options["spacing"] = self.spacing
        return options

    def execute(self, context):
        def action(path, tt):
            _, note = terrains.import_terrain(context, path, self.load_options(), tt)
            if note is not None:
                self.report({"INFO"}, note)

        for path in self.chosen_paths():
            result = _run(self, "import", path, lambda tt: action(path, tt))
            if result != {"FINISHED"}:
                return result
        return {"FINISHED"}


class ExportMdl7(bpy.types.Operator, ExportHelper):
    """Export meshes as one MDL7 model: triangles, UV maps, materials with their images as skins
    and shape keys as frames"""

    bl_idname = "export_scene.terrain_toolkit_mdl7"
    bl_label = "Export MDL7"
    filename_ext = ".mdl"
    filter_glob: StringProperty(default="*.mdl", options={"HIDDEN"})
    use_selection: BoolProperty(name="Selection Only", default=False,
                                description="Export the selected objects only, else every visible one")
    use_mesh_modifiers: BoolProperty(name="Apply Modifiers", default=True,
                                     description="Apply the objects' modifiers")
    global_scale: FloatProperty(name="Scale", default=1.0, min=0.001, max=1000.0,
                                description="Scale of every position, after the objects' transforms")

    def execute(self, context):
        return _run(self, "export", self.filepath,
                    lambda tt: models.export_mdl7(context, self.filepath, tt, self.use_selection,
                                                  self.use_mesh_modifiers, self.global_scale))


class ExportHmp7(bpy.types.Operator, ExportHelper):
    """Export the active grid mesh, modifiers and transform applied, as an HMP7 terrain with the
    material's image as skin"""

    bl_idname = "export_scene.terrain_toolkit_hmp7"
    bl_label = "Export HMP7"
    filename_ext = ".hmp"
    filter_glob: StringProperty(default="*.hmp", options={"HIDDEN"})
    default_skin: EnumProperty(
        name="Skin Without Image", default="AUTOMATIC",
        description="The skin when the material has no image",
        items=[("AUTOMATIC", "Automatic",
                "The relief, but none for a terrain imported from an HMP file without skins"),
               ("RELIEF", "Relief", "The terrain's lit relief in true colour, as terrainview draws it"),
               ("BLANK", "Blank", "An 8-bit skin of zeros, which some readers refuse"),
               ("NONE", "None", "No skin")])

    def execute(self, context):
        return _run(self, "export", self.filepath,
                    lambda tt: terrains.export_hmp7(context, context.active_object, self.filepath, tt,
                                                    self.default_skin))


def _import_menu(self, context):
    self.layout.operator(ImportModel.bl_idname, text="Game Model (.mdl, .md2)")
    self.layout.operator(ImportTerrain.bl_idname, text="Terrain (.hmp, .txt, .png, .raw)")


def _export_menu(self, context):
    self.layout.operator(ExportMdl7.bl_idname, text="MDL7 Model (.mdl)")
    self.layout.operator(ExportHmp7.bl_idname, text="HMP7 Terrain (.hmp)")


_classes = (ImportModel, ImportTerrain, ExportMdl7, ExportHmp7)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(_import_menu)
    bpy.types.TOPBAR_MT_file_export.append(_export_menu)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(_export_menu)
    bpy.types.TOPBAR_MT_file_import.remove(_import_menu)
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
