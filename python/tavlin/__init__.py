"""Python access to the Tavlin 410QZ-VKE camera SDK through its C interface (ctypes).

The shared library is taken from $TAVLIN_SDK_LIBRARY when set, else from a build folder of the
source tree this package sits in (build/default first), else from an installed prefix around
the package, else from the system's library path.
"""

from . import vcam
from ._native import library
from .camera import (
    COLOR_MODES,
    FILE_FORMATS,
    FILTERS,
    Camera,
    FilterEntry,
    Frame,
    Stats,
    filter_catalogue,
)
from .errors import MESSAGES, TavlinError

__all__ = [
    "Camera",
    "Frame",
    "Stats",
    "TavlinError",
    "MESSAGES",
    "COLOR_MODES",
    "FILE_FORMATS",
    "FILTERS",
    "FilterEntry",
    "filter_catalogue",
    "library",
    "vcam",
]
