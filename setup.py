"""Builds the Python module `pelkam` with CMake and installs it: `pip install .`

Works offline: nothing is downloaded.  It needs what the normal build needs (./setup.sh installs
it: cmake, a C++20 compiler, python3-dev, python3-numpy, pybind11-dev) and builds the module for
the interpreter that runs pip.  On Debian, whose own interpreter is managed by its packages,
install into a virtual environment that sees numpy:

    /usr/bin/python3 -m venv --system-site-packages ~/pelkam-env
    ~/pelkam-env/bin/pip install .
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def version():
    """The project's version, from CMakeLists.txt."""
    return re.search(r"project\(pelkam VERSION ([\d.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    """The extension is the CMake target pelkam_python, built in pip's build directory."""

    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        options = ["-DCMAKE_BUILD_TYPE=Release", f"-DPython_EXECUTABLE={sys.executable}", "-DPELKAM_BENCH=OFF",
                   "-DPELKAM_TESTS=OFF"]
        if shutil.which("ccache"):
            options.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *options], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 2))
        subprocess.run(["cmake", "--build", str(build), "--target", "pelkam_python", "-j", jobs], check=True)
        built = next((build / "python").glob("pelkam*" + (".pyd" if os.name == "nt" else ".so")))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    name="pelkam",
    version=version(),
    description="The equilibrium calculator's library for metamorphic petrology: databases, Gibbs energies "
                "of phases and reactions, fluids, solution models, curves and diagrams (needs numpy)",
    ext_modules=[Extension("pelkam", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    zip_safe=False,
)
