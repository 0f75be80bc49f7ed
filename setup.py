"""The Python package vxfreq, built with CMake.

    pip install --no-build-isolation .        (or: python3 -m build --no-isolation)

builds the library and the module with the project's own CMake files, in Release with
the project's flags, and installs the package as `cmake --install` lays it out: the
compiled module, libvxfreq.so.0 next to it (found through its RPATH $ORIGIN), the
Python files, the type stubs and py.typed. Tests, examples and benchmarks are not built.
It needs CMake, a C++17 compiler, pybind11's CMake files and numpy
(scripts/install-deps.sh installs Debian's).

Everything it writes goes under build/python-package (build/ is ignored by git).
The environment can add to the build:
  CMAKE_BUILD_PARALLEL_LEVEL  how many compile jobs (default: the number of processors)
  CMAKE_GENERATOR             the generator (default: CMake's)
  CMAKE_ARGS                  more options for the CMake configure, e.g. "-DVXFREQ_SIMD=OFF"
"""

import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE_DIR = Path(__file__).resolve().parent
BUILD_BASE = os.path.join("build", "python-package")


def project_version():
    """The version of project(vxfreq VERSION ...) in CMakeLists.txt."""
    text = (SOURCE_DIR / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(vxfreq\s+VERSION\s+([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    """The module vxfreq._vxfreq, whose sources CMake knows."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    """Configures, builds and installs the CMake project's Python component into the
    folder the wheel is made from."""

    def build_extension(self, ext):
        if self.inplace:
            raise RuntimeError(
                "vxfreq: editable installs are not supported; build with CMake and use "
                "PYTHONPATH=build/release/python (see the README's section on Python)")
        module = Path(self.get_ext_fullpath(ext.name)).resolve()
        package_root = module.parent.parent  # the folder that holds vxfreq/
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)

        configure = [
            "cmake", "-S", str(SOURCE_DIR), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DVXFREQ_BUILD_TESTS=OFF", "-DVXFREQ_BUILD_EXAMPLES=OFF",
            "-DVXFREQ_BUILD_BENCH=OFF", "-DVXFREQ_BUILD_FUZZ=OFF",
            "-DVXFREQ_BUILD_PYTHON=ON", "-DVXFREQ_PYTHON_WHEEL=ON",
            "-DVXFREQ_PYTHON_INSTALL_DIR=.",
            "-DPYBIND11_FINDPYTHON=ON", "-DPython_EXECUTABLE=" + sys.executable,
        ]
        pybind11_dir = self._pybind11_cmake_dir()
        if pybind11_dir:
            configure.append("-Dpybind11_DIR=" + pybind11_dir)
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))

        build = ["cmake", "--build", str(build_dir), "--target", "vxfreq_python"]
        if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
            jobs = self.parallel if isinstance(self.parallel, int) and self.parallel > 1 else 0
            build += ["--parallel", str(jobs or os.cpu_count() or 1)]

        install = ["cmake", "--install", str(build_dir), "--component", "python",
                   "--prefix", str(package_root)]

        for command in (configure, build, install):
            print(" ".join(shlex.quote(c) for c in command), flush=True)
            if command is configure:
                # python/CMakeLists.txt says "Python module: for <interpreter>" when it
                # builds the module, and why not when it leaves it out.
                output = subprocess.run(command, check=True, stdout=subprocess.PIPE,
                                        text=True).stdout
                print(output, end="", flush=True)
                if "-- Python module: for " not in output:
                    raise RuntimeError(
                        "vxfreq: CMake leaves out the Python module; its messages above "
                        "say why")
            else:
                subprocess.run(command, check=True)
        if not module.exists():
            raise RuntimeError("vxfreq: the installation holds no %s" % module.name)

    @staticmethod
    def _pybind11_cmake_dir():
        """pybind11's CMake files of the pybind11 package of this interpreter, if any."""
        try:
            import pybind11
        except ImportError:
            return None
        path = pybind11.get_cmake_dir()
        return path if os.path.exists(os.path.join(path, "pybind11Config.cmake")) else None


# egg_info needs its folder to exist before it runs (setuptools runs this file from the
# top of the source tree).
os.makedirs(BUILD_BASE, exist_ok=True)

setup(
    name="vxfreq",
    version=project_version(),
    description="Two-dimensional Fourier transforms of images and frequency-domain filters",
    packages=[],
    ext_modules=[CMakeExtension("vxfreq._vxfreq")],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    # The filter workbench: a page in the browser (python3 -m vxfreq.workbench).
    entry_points={"console_scripts": ["vxfreq-workbench = vxfreq.workbench:main"]},
    python_requires=">=3.7",
    zip_safe=False,
    options={"build": {"build_base": BUILD_BASE}, "egg_info": {"egg_base": BUILD_BASE}},
)
