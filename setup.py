"""Builds the Python module veldrix with setuptools and pybind11 (pip install .).

The module is compiled from the sources of the CMake build: the library's subsystem folders as
cmake/sources.cmake lists them, the batch front end's records, and the binding in src/python/. The version
is the one of CMakeLists.txt's project() line. gemmi, PEGTL, nlohmann-json and zlib are taken from the
system (Debian: gemmi-dev tao-pegtl-dev nlohmann-json3-dev zlib1g-dev).
"""

import re
from pathlib import Path

import pybind11
from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

cmake = Path("CMakeLists.txt").read_text()
major, minor, patch = re.search(r"project\(veldrix VERSION (\d+)\.(\d+)\.(\d+)", cmake).groups()
version = f"{major}.{minor}.{patch}"
subsystems = re.search(r"set\(VELDRIX_SUBSYSTEMS ([^)]*)\)", Path("cmake/sources.cmake").read_text()).group(1).split()

library = sorted(str(p) for folder in subsystems for p in Path("src", folder).glob("*.cpp"))
library.remove(str(Path("src/driver/main.cpp")))
sources = library + ["src/batch/parameters.cpp", "src/batch/record.cpp", "src/python/module.cpp"]

ParallelCompile("VELDRIX_BUILD_JOBS").install()  # every core, or as many as VELDRIX_BUILD_JOBS says

module = Pybind11Extension(
    "veldrix._veldrix",
    sources,
    include_dirs=["include", "src"],
    define_macros=[("VELDRIX_VERSION", f'"{version}"'), ("VELDRIX_VERSION_MAJOR", major),
                   ("VELDRIX_VERSION_MINOR", minor)],
    libraries=["z"],
    cxx_std=20,
    extra_compile_args=["-Wall", "-Wextra", "-Wshadow"],
)
# pybind11's headers as system headers, as CMake includes them: their own warnings are not ours.
module.include_dirs.remove(pybind11.get_include())
module.extra_compile_args += ["-isystem", pybind11.get_include()]

setup(
    version=version,
    packages=["veldrix"],
    package_dir={"": "src/python"},
    package_data={"veldrix": ["__init__.pyi", "py.typed"]},
    ext_modules=[module],
    # Beside, not in, the CMake build directory build/.
    options={"build": {"build_base": "build-python"}},
    zip_safe=False,
)
