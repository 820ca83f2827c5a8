"""Python access to the Tavlin 410QZ-VKE camera SDK through its C interface (ctypes).

The shared library is loaded on first use, from the first of these that loads:

1. $TAVLIN_SDK_LIBRARY, when set: that file only, nothing else is tried;
2. a build folder of the source tree this package sits in (build/default, then the others);
3. the prefix the package is installed in: <prefix>/lib or <prefix>/lib/<multiarch>, where
   `cmake --install` puts the library beside lib/python3/dist-packages/tavlin (a wheel installed
   with `pip install --prefix` finds it the same way);
4. the SONAME libTavlinSdk_410QZ_VKE.so.1 through the dynamic loader (LD_LIBRARY_PATH, the
   ld.so cache, the system's library folders).
"""

from ._version import __version__
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
    "__version__",
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
