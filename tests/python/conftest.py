"""What the Python module's tests share: where the reference data, the
examples and the built duneforge are (CTest sets them)."""
import os
import pathlib

import pytest


def _folder(variable):
    value = os.environ.get(variable)
    return pathlib.Path(value) if value else None


@pytest.fixture
def corpus():
    """The shared model corpus; a missing one skips the test, and fails it in CI."""
    shared = _folder("TOOLKIT_SHARED_DIR")
    folder = shared / "corpus" if shared else None
    if folder is None or not (folder / "MANIFEST.md").is_file():
        if os.environ.get("CI") == "true":
            pytest.fail("the shared corpus is missing (TOOLKIT_SHARED_DIR)")
        pytest.skip("the shared corpus is missing (TOOLKIT_SHARED_DIR)")
    return folder


@pytest.fixture
def examples():
    folder = _folder("TOOLKIT_EXAMPLES_DIR")
    assert folder is not None and folder.is_dir(), "TOOLKIT_EXAMPLES_DIR names no folder"
    return folder


@pytest.fixture
def duneforge():
    program = os.environ.get("DUNEFORGE_PROGRAM")
    assert program and os.access(program, os.X_OK), "DUNEFORGE_PROGRAM names no program"
    return program
