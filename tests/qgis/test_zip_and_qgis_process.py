"""The plugin's zip: what it holds; installed into an empty QGIS profile folder it loads and runs
from there, with no vortan Python package on the path; and qgis_process runs
vortan:convertlayer with it (skipped, saying so, where qgis_process is not installed)."""

import json
import os
import shutil
import subprocess
import sys
import zipfile

import pytest

from conftest import DE, DN, ZIP, features, make_layer, tool

pytestmark = pytest.mark.skipif(not ZIP or not os.path.exists(ZIP),
                                reason=f"the plugin's zip {ZIP!r} is not built")


def install(profile):
    """What QGIS's "Install from ZIP" does: the zip unpacked into the profile's plugin folder."""
    plugins = profile / "python" / "plugins"
    plugins.mkdir(parents=True)
    with zipfile.ZipFile(ZIP) as z:
        z.extractall(plugins)
    return plugins


def test_the_zip_holds_the_plugin_and_the_libraries():
    with zipfile.ZipFile(ZIP) as z:
        names = set(z.namelist())
        metadata = z.read("vortan_transform/metadata.txt").decode("utf-8")
        so = z.read("vortan_transform/libvortan.so")
        dll = z.read("vortan_transform/vortan.dll") if "vortan_transform/vortan.dll" in names else None
    for name in ("__init__.py", "metadata.txt", "icon.svg", "library.py", "provider.py"):
        assert f"vortan_transform/{name}" in names
    assert so[:4] == b"\x7fELF"
    if dll is not None:  # after the Windows build: a 64-bit Windows DLL
        assert dll[:2] == b"MZ" and b"PE\0\0\x64\x86" in dll[:1024]
    assert "hasProcessingProvider=yes" in metadata and "name[el]=" in metadata
    version = os.path.basename(ZIP)[len("vortan_transform-"):-len(".zip")]
    assert f"version={version}" in metadata


LOAD_FROM_PROFILE = r"""
import importlib.util, json, os, sys
profile, plugins = sys.argv[1], sys.argv[2]
assert importlib.util.find_spec("vortan") is None, "a vortan package is on the path"
assert importlib.util.find_spec("vortan_transform") is None
from qgis.core import QgsApplication
app = QgsApplication([], False, profile)
app.initQgis()
sys.path.insert(0, "/usr/share/qgis/python/plugins")
import qgis.utils
# As QGIS starts the plugins of a profile.
qgis.utils.plugin_paths = [plugins]
sys.path.insert(0, plugins)
qgis.utils.updateAvailablePlugins()
from processing.core.Processing import Processing
Processing.initialize()
assert qgis.utils.loadPlugin("vortan_transform") and qgis.utils.startProcessingPlugin("vortan_transform")
import processing
r = processing.run("vortan:convertpoint", {"SOURCE_FORM": "htrs07-xyz", "COORDINATE_1": 4382064.771,
                   "COORDINATE_2": 2023782.319, "COORDINATE_3": 4155326.131,
                   "DN_GRID": sys.argv[3], "DE_GRID": sys.argv[4]})
from vortan_transform.common import Engine
print(json.dumps({"e": r["TM07_E"], "library": Engine.library.path,
                  "algorithms": sorted(a.id() for a in QgsApplication.processingRegistry().providerById("vortan").algorithms())}))
"""


def test_installed_into_an_empty_profile_it_loads_from_there(tmp_path):
    profile = tmp_path / "profile"
    plugins = install(profile)
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "VORTAN_PLUGIN_FOLDER")}
    result = subprocess.run([sys.executable, "-c", LOAD_FROM_PROFILE, str(profile), str(plugins),
                             DN, DE], capture_output=True, text=True, env=env, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    out = json.loads(result.stdout.strip().splitlines()[-1])
    assert abs(out["e"] - 566446.108) < 0.001
    assert out["library"] == str(plugins / "vortan_transform" / "libvortan.so")
    assert out["algorithms"] == ["vortan:convertlayer", "vortan:convertpoint",
                                 "vortan:convertrecordfile"]


def qgis_process():
    """The qgis_process command that runs here. Debian 12's wrapper passes the option
    --noversioncheck of /etc/default/qgis, which qgis_process does not know: then the program
    behind it, qgis_process.bin."""
    found = shutil.which("qgis_process")
    if not found:
        return None
    probe = subprocess.run([found, "--version"], capture_output=True, text=True)
    if probe.returncode != 0 and os.path.exists(found + ".bin"):
        return found + ".bin"
    return found


def test_qgis_process_runs_convert_layer(tmp_path, engine):
    command = qgis_process()
    if command is None:
        pytest.skip("qgis_process is not installed (Debian package qgis): vortan:convertlayer "
                    "not run through it")
    home = tmp_path / "home"
    install(home / ".local" / "share" / "QGIS" / "QGIS3" / "profiles" / "default")
    env = dict(os.environ, HOME=str(home), QT_QPA_PLATFORM="offscreen")
    env.pop("XDG_DATA_HOME", None)
    env.pop("PYTHONPATH", None)
    enable = subprocess.run([command, "plugins", "enable", "vortan_transform"],
                            capture_output=True, text=True, env=env)
    assert enable.returncode == 0, enable.stdout + enable.stderr
    layer = make_layer(tmp_path / "in.gpkg", engine, "polygons", 3, "htrs07-tm07", "mainland")
    out = tmp_path / "out.gpkg"
    result = subprocess.run(
        [command, "run", "vortan:convertlayer", "--", f"INPUT={layer}", "TARGET_FORM=ggrs87-tm87",
         f"DN_GRID={DN}", f"DE_GRID={DE}", f"OUTPUT={out}"],
        capture_output=True, text=True, env=env)
    assert result.returncode == 0, result.stdout + result.stderr
    expected = tool(layer, tmp_path / "tool.gpkg", "ggrs87-tm87")
    assert [v for _, v in features(out)[0]] == [v for _, v in features(expected)[0]]
