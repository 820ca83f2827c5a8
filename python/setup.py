"""The wheel's version comes from the project's one place for it, the top CMakeLists.txt's
project(VERSION), and is written into the package as tavlin/VERSION."""

import pathlib
import re

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = pathlib.Path(__file__).resolve().parent


def project_version() -> str:
    top = (HERE.parent / "CMakeLists.txt").read_text()
    found = re.search(r"project\(\w+\s+VERSION\s+([0-9.]+)", top)
    if not found:
        raise SystemExit("no project(... VERSION x.y.z) in " + str(HERE.parent / "CMakeLists.txt"))
    return found.group(1)


VERSION = project_version()


class BuildWithVersion(build_py):
    def run(self) -> None:
        super().run()
        target = pathlib.Path(self.build_lib, "tavlin", "VERSION")
        target.write_text(VERSION + "\n")


setup(version=VERSION, cmdclass={"build_py": BuildWithVersion})
