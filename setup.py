"""Builds the ls11kit wheel with libls11 inside the ls11 package: the
library is compiled by the project's own CMake, and the wheel is tagged for
this platform (it holds a native library, but no Python extension, so it
serves any Python 3). The version is the header's LS11_VERSION_STRING."""
import pathlib
import re
import shutil
import subprocess

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

ROOT = pathlib.Path(__file__).resolve().parent
HEADER = (ROOT / "include" / "ls11.h").read_text(encoding="utf-8")
VERSION = re.search(r'#define LS11_VERSION_STRING "(.+)"', HEADER).group(1)
SOVERSION = re.search(r"set\(LS11_SOVERSION (\d+)\)",
                      (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")).group(1)
# As CMake names the library on Linux, Windows (MinGW) and macOS.
SHARED_LIBRARY_NAMES = (f"libls11.so.{SOVERSION}", "ls11.dll", f"libls11.{SOVERSION}.dylib")


class BuildWithLibrary(build_py):
    """The module's files, then the shared library and the facts written
    for the module from the C sources (cmake/binding_facts.cmake) beside
    them."""

    def run(self):
        super().run()
        build = pathlib.Path(self.get_finalized_command("build").build_temp) / "libls11"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "ls11_shared", "--parallel", "2"],
                       check=True)
        built = [path for path in build.glob("*ls11*") if path.name in SHARED_LIBRARY_NAMES]
        if len(built) != 1:
            raise RuntimeError(f"expected one shared library in {build}, found {built}")
        shutil.copy(built[0], pathlib.Path(self.build_lib) / "ls11" / built[0].name)
        shutil.copy(build / "bindings" / "python" / "ls11" / "_facts.py",
                    pathlib.Path(self.build_lib) / "ls11" / "_facts.py")


class WithNativeLibrary(Distribution):
    """Installed into the platform's library folder, as native code is."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    """py3-none-PLATFORM: any Python 3, this system only."""

    def get_tag(self):
        return ("py3", "none", super().get_tag()[2])


setup(version=VERSION, distclass=WithNativeLibrary,
      cmdclass={"build_py": BuildWithLibrary, "bdist_wheel": PlatformWheel})
