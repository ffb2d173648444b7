"""Finds the module terrain_toolkit and turns its failures into one line for
the user."""

import os

_module = None
_missing = None


def module():
    """The module: the copy that came in the add-on's zip, else one installed
    where Blender's Python finds it. None when neither loads (see missing())."""
    global _module, _missing
    if _module is None and _missing is None:
        try:
            from . import terrain_toolkit as found
        except ImportError:
            try:
                import terrain_toolkit as found
            except ImportError as error:
                _missing = str(error)
                return None
        _module = found
    return _module


def missing():
    """Why the module cannot be loaded, as a line for an error report."""
    return ("the Python module terrain_toolkit cannot be loaded (" + (_missing or "not found") +
            "); install the add-on from its zip, or the module where Blender's Python finds it")


def shown(text):
    """`text` as Blender can show and store it: bytes of a file name that
    are not UTF-8 (surrogate escapes) become replacement characters."""
    return os.fsencode(text).decode("utf-8", "replace")


def file_stem(path, fallback):
    """The name of a file without its folder and extension, as an object's
    name; `fallback` for a name without one."""
    return shown(os.path.splitext(os.path.basename(path))[0]) or fallback


class Refusal(Exception):
    """A file or mesh the add-on cannot take, with the line the user sees."""


def failure_text(error):
    """The line an operator reports for an exception of the module, or None
    for an exception that is not a failure of a file or mesh."""
    tt = _module
    if tt is not None and isinstance(error, (tt.ModelError, tt.TerrainError)):
        return shown(error.reason)
    if isinstance(error, Refusal):
        return shown(str(error))
    if isinstance(error, OSError):
        name = os.fsdecode(error.filename) if error.filename else ""
        text = error.strerror if error.strerror else str(error)
        return shown(name + ": " + text if name else text)
    if isinstance(error, ValueError):
        return shown(str(error))
    return None


def link_and_select(context, obj):
    """Links a new object to the scene and makes it the one selected and
    active object."""
    context.collection.objects.link(obj)
    for other in context.view_layer.objects:
        other.select_set(False)
    obj.select_set(True)
    context.view_layer.objects.active = obj
