"""vortan as a package like any other: the project's one version in the module and the
metadata, type hints for the compiled module, and pip building and installing it."""

import ast
import importlib.metadata
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys

import vortan
from vortan import _vortan

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def project_version():
    text = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"^project\(\s*\w+\s+VERSION\s+([0-9.]+)", text, re.MULTILINE).group(1)


def test_version_is_the_projects_in_the_module_and_the_metadata():
    assert vortan.__version__ == _vortan.__version__ == project_version()
    assert importlib.metadata.version("vortan") == project_version()


def test_stub_declares_every_name_of_the_compiled_module():
    folder = pathlib.Path(vortan.__file__).parent
    assert (folder / "py.typed").exists()
    stub = ast.parse((folder / "_vortan.pyi").read_text())
    declared = {getattr(n, "name", None) or getattr(getattr(n, "target", None), "id", None)
                for n in stub.body}
    engine = next(n for n in stub.body if isinstance(n, ast.ClassDef) and n.name == "Engine")
    methods = {n.name for n in engine.body if isinstance(n, ast.FunctionDef)}
    assert {n for n in dir(_vortan) if not n.startswith("_")} | {"__version__"} <= declared
    assert {n for n in dir(_vortan.Engine) if not n.startswith("_")} | {"__init__"} == methods


def test_pip_builds_and_installs_the_package_into_a_virtual_environment(tmp_path):
    # A copy of python/, so that the build leaves nothing in the source tree.
    project = tmp_path / "python"
    shutil.copytree(SOURCE / "python", project,
                    ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    venv = tmp_path / "venv"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", venv],
                   check=True)
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env.update(VORTAN_SOURCE_DIR=str(SOURCE), PIP_NO_INDEX="1",
               PIP_DISABLE_PIP_VERSION_CHECK="1", CMAKE_BUILD_PARALLEL_LEVEL="2")
    pip = subprocess.run([venv / "bin/pip", "install", "--no-build-isolation", "."],
                         cwd=project, env=env, capture_output=True, text=True)
    assert pip.returncode == 0, pip.stdout[-3000:] + pip.stderr[-3000:]
    check = ("import importlib.metadata as m, json, pathlib, vortan\n"
             "folder = pathlib.Path(vortan.__file__).parent\n"
             "t = vortan.Transformer('htrs07-geographic', 'htrs07-xyz')\n"
             "print(json.dumps([str(folder), vortan.__version__, m.version('vortan'),\n"
             "                  sorted(p.name for p in folder.iterdir()),\n"
             "                  t.transform(38.0, 23.0, 100.0)]))\n")
    run = subprocess.run([venv / "bin/python", "-c", check], cwd=tmp_path, env=env,
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    folder, version, metadata, files, xyz = json.loads(run.stdout)
    assert folder.startswith(str(venv)) and version == metadata == project_version()
    assert {"py.typed", "_vortan.pyi", "crs.py", "geodataframe.py"} <= set(files)
    assert any(f.startswith("_vortan.") and f.endswith(".so") for f in files)
    assert xyz == list(vortan.Transformer("htrs07-geographic", "htrs07-xyz").transform(
        38.0, 23.0, 100.0))
