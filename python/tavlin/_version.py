"""The package's version: the SDK's, as the top CMakeLists.txt's project(VERSION) gives it."""

import pathlib
import re

_HERE = pathlib.Path(__file__).resolve().parent


def _read() -> str:
    # A wheel or an install carries the file VERSION, written from the project's version when it
    # was made; a source checkout reads the version where it is defined.
    try:
        return (_HERE / "VERSION").read_text().strip()
    except OSError:
        pass
    try:
        top = (_HERE.parents[1] / "CMakeLists.txt").read_text()
    except OSError:
        return "0+unknown"
    found = re.search(r"project\(\w+\s+VERSION\s+([0-9.]+)", top)
    return found.group(1) if found else "0+unknown"


__version__: str = _read()
