"""The stub terrain_toolkit.pyi against the module as it loads: every name,
signature and default the one declares the other has (mypy's stubtest)."""
import importlib.util
import os
import pathlib
import subprocess
import sys

import pytest

import terrain_toolkit as tt


def test_the_stub_matches_the_module(tmp_path):
    if importlib.util.find_spec("mypy") is None:
        if os.environ.get("CI") == "true":
            pytest.fail("mypy is missing (scripts/setup installs it)")
        pytest.skip("mypy is missing (scripts/setup installs it)")
    folder = pathlib.Path(tt.__file__).parent
    allowlist = pathlib.Path(__file__).with_name("stubtest_allowlist.txt")
    environment = dict(os.environ, MYPYPATH=str(folder), PYTHONPATH=str(folder))
    run = subprocess.run([sys.executable, "-m", "mypy.stubtest", "terrain_toolkit", "--allowlist", str(allowlist)],
                         cwd=tmp_path, env=environment, capture_output=True, text=True, timeout=240)
    assert run.returncode == 0, run.stdout + run.stderr
