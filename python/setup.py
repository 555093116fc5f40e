"""The build of the module vortan._vortan for pip (pyproject.toml): the project's CMake build,
configured without the desktop programs, tests and benchmarks, and only the module target
built. VORTAN_CMAKE_BUILD_DIR names a build folder to use (an existing build of the project
is reused as it is); CMAKE_BUILD_PARALLEL_LEVEL the compile jobs (default 2)."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = pathlib.Path(os.environ.get("VORTAN_SOURCE_DIR", HERE.parent)).resolve()


def project_version():
    """The version of the project() line of the top CMakeLists.txt: the one version."""
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"^project\(\s*\w+\s+VERSION\s+([0-9][0-9.]*)", text, re.MULTILINE)
    if not match:
        sys.exit(f"{SOURCE / 'CMakeLists.txt'}: no project(... VERSION x.y.z) line")
    return match.group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("VORTAN_CMAKE_BUILD_DIR") or
                             pathlib.Path(self.build_temp).resolve() / "cmake")
        if not (build / "CMakeCache.txt").exists():
            subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build),
                            "-DCMAKE_BUILD_TYPE=Release", "-DVORTAN_BUILD_GUI=OFF",
                            "-DVORTAN_BUILD_TESTS=OFF", "-DVORTAN_BUILD_BENCH=OFF",
                            "-DVORTAN_BUILD_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}"],
                           check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "vortan_python", "-j", jobs],
                       check=True)
        built = sorted((build / "python" / "vortan").glob("_vortan*.so"))
        if not built:
            sys.exit(f"{build}: the build made no module _vortan")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=project_version(),
      ext_modules=[Extension("vortan._vortan", sources=[])],
      cmdclass={"build_ext": CMakeBuild})
