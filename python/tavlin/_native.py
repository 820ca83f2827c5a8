"""Finds and loads the SDK's shared library and declares the C functions the package calls."""

import ctypes
import glob
import os
import pathlib
from typing import Any, Dict, List, Optional, Tuple

LIBRARY_NAME = "libTavlinSdk_410QZ_VKE.so.1"

c_int32_p = ctypes.POINTER(ctypes.c_int32)

# TavlinExtLogCallback(context, level, category, camera, timestampNs, message)
LogCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p,
                               ctypes.c_int32, ctypes.c_int64, ctypes.c_char_p)


class FrameStats(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("acquiring", ctypes.c_int32),
        ("delivered", ctypes.c_uint64),
        ("processed", ctypes.c_uint64),
        ("skipped", ctypes.c_uint64),
        ("failed", ctypes.c_uint64),
        ("sequence", ctypes.c_uint64),
        ("timestampNs", ctypes.c_int64),
    ]


class FrameInfo(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("width", ctypes.c_int32),
        ("height", ctypes.c_int32),
        ("bitsPerPixel", ctypes.c_int32),
        ("stride", ctypes.c_int32),
        ("imageBytes", ctypes.c_int32),
        ("sequence", ctypes.c_uint64),
        ("timestampNs", ctypes.c_int64),
    ]


class FilterInfo(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_uint32),
        ("id", ctypes.c_int32),
        ("minimum", ctypes.c_int32),
        ("maximum", ctypes.c_int32),
        ("defaultValue", ctypes.c_int32),
        ("flags", ctypes.c_int32),
        ("name", ctypes.c_char * 32),
        ("unit", ctypes.c_char * 16),
    ]


class CameraInfo(ctypes.Structure):
    _fields_ = [("size", ctypes.c_uint32)] + [
        (name, ctypes.c_int32)
        for name in (
            "sensorWidth",
            "sensorHeight",
            "globalGainMin",
            "globalGainMax",
            "colorGainMin",
            "colorGainMax",
            "exposureMin",
            "exposureMax",
        )
    ]


class VcamCounters(ctypes.Structure):
    _fields_ = [
        (name, ctypes.c_uint64)
        for name in (
            "framesDelivered",
            "framesShort",
            "framesFailed",
            "commands",
            "triggersPending",
            "handlesOpen",
        )
    ]


def _candidates() -> List[str]:
    """Where the library is looked for, in order (see the package's docstring)."""
    explicit = os.environ.get("TAVLIN_SDK_LIBRARY")
    if explicit:
        # Given explicitly: nothing else is tried, so a wrong path is never papered over.
        return [explicit]
    found: List[str] = []
    here = pathlib.Path(__file__).resolve().parent
    # A source checkout: python/tavlin beside build/<preset>/src.
    checkout = here.parent.parent
    if here.parent.name == "python" and (checkout / "CMakeLists.txt").is_file():
        for preset in ("default", "*"):
            found += sorted(glob.glob(str(checkout / "build" / preset / "src" / LIBRARY_NAME)))
    # The prefix the package is installed in: <prefix>/lib/python3/dist-packages/tavlin (cmake
    # --install) or <prefix>/lib/python3.X/site-packages/tavlin (a wheel), beside
    # <prefix>/lib[/<multiarch>]/.
    if len(here.parents) > 3:
        prefix = here.parents[3]
        found += sorted(glob.glob(str(prefix / "lib" / LIBRARY_NAME)))
        found += sorted(glob.glob(str(prefix / "lib" / "*" / LIBRARY_NAME)))
    # Last the SONAME through the dynamic loader (LD_LIBRARY_PATH, ld.so.cache, /usr/lib/...):
    # only ABI 1, which is what the declarations below describe.
    found.append(LIBRARY_NAME)
    return found


class Library(ctypes.CDLL):
    """The loaded SDK library, with the path it was loaded from."""

    path: str = ""


# (restype, argtypes): ctypes types, which the type checker only knows loosely.
_Signature = Tuple[Any, List[Any]]


def _declare(lib: Library) -> Library:
    i32 = ctypes.c_int32
    hwnd = ctypes.c_void_p
    buf = ctypes.c_void_p
    signatures: Dict[str, _Signature] = {
        "Tavlin_Initialize": (i32, [hwnd]),
        "Tavlin_Release": (i32, [i32]),
        "Tavlin_GetLastError": (i32, [i32]),
        "Tavlin_GetDllVersion": (i32, []),
        "Tavlin_SetDeviceNumber": (i32, [i32, i32]),
        "Tavlin_EnumDevice": (i32, [i32, ctypes.c_char_p]),
        "Tavlin_GetCameraInfo": (i32, [i32, ctypes.POINTER(CameraInfo)]),
        "Tavlin_SetColorMode": (i32, [i32, i32]),
        "Tavlin_GetColorMode": (i32, [i32]),
        "Tavlin_SetSubSample": (i32, [i32, i32]),
        "Tavlin_GetSubSample": (i32, [i32]),
        "Tavlin_SetWaitTime": (i32, [i32, i32]),
        "Tavlin_SetCaptureWindowEx": (i32, [i32] * 7),
        "Tavlin_GetCaptureWindowEx": (i32, [i32] + [c_int32_p] * 6),
        "Tavlin_SetRealExposureTime": (i32, [i32, i32]),
        "Tavlin_GetRealExposureTime": (i32, [i32, c_int32_p]),
        "Tavlin_SetFilterValue": (i32, [i32, i32, i32]),
        "Tavlin_GetFilterValue": (i32, [i32, i32, c_int32_p]),
        "Tavlin_SetMirrorH": (i32, [i32, i32]),
        "Tavlin_SetMirrorV": (i32, [i32, i32]),
        "Tavlin_Capture": (i32, [i32]),
        "Tavlin_SnapShot": (i32, [i32, buf, i32, i32]),
        "Tavlin_StartPreview": (i32, [i32]),
        "Tavlin_StopPreview": (i32, [i32]),
        "Tavlin_GetImage": (i32, [i32, buf, i32, i32]),
        "Tavlin_Close": (i32, [i32]),
        "Tavlin_SaveImage": (i32, [i32, ctypes.c_char_p, i32]),
        "Tavlin_Record": (i32, [i32, ctypes.c_char_p, i32, i32]),
        "TavlinExt_GetFrameStats": (i32, [i32, ctypes.POINTER(FrameStats)]),
        "TavlinExt_WaitFrame": (
            i32,
            [i32, ctypes.c_uint64, i32, buf, i32, i32, ctypes.POINTER(FrameInfo)],
        ),
        "TavlinExt_GetErrorText": (ctypes.c_char_p, [i32]),
        "TavlinExt_GetFilterCount": (i32, []),
        "TavlinExt_GetFilterInfo": (i32, [i32, ctypes.POINTER(FilterInfo)]),
        "TavlinExt_GetErrorName": (ctypes.c_char_p, [i32]),
        "TavlinExt_SetLogCallback": (i32, [LogCallback, ctypes.c_void_p, i32]),
        "TavlinExt_SetLogLevels": (i32, [ctypes.c_char_p]),
        "TavlinHost_CreateMessageWindow": (hwnd, []),
        "TavlinHost_DestroyWindow": (i32, [hwnd]),
        "TavlinVcam_Attach": (i32, [i32]),
        "TavlinVcam_Detach": (i32, [i32]),
        "TavlinVcam_IsAttached": (i32, [i32]),
        "TavlinVcam_DetachAll": (i32, []),
        "TavlinVcam_Trigger": (i32, [i32, i32]),
        "TavlinVcam_SetScene": (i32, [i32, i32]),
        "TavlinVcam_SetNoise": (i32, [i32, i32, ctypes.c_uint32]),
        "TavlinVcam_SetPacing": (i32, [i32, i32]),
        "TavlinVcam_FailNext": (i32, [i32, i32, i32]),
        "TavlinVcam_SetStall": (i32, [i32, i32]),
        "TavlinVcam_LoadRawFile": (i32, [i32, ctypes.c_char_p, i32]),
        "TavlinVcam_GetCounters": (i32, [i32, ctypes.POINTER(VcamCounters)]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


_library: Optional[Library] = None


def library() -> Library:
    """The loaded library (loaded on first use). Raises OSError naming every place tried."""
    global _library
    if _library is None:
        tried = []
        for path in _candidates():
            try:
                _library = _declare(Library(path))
                _library.path = path
                break
            except OSError as error:
                tried.append(f"{path}: {error}")
        else:
            raise OSError(
                "the Tavlin SDK library was not found (set TAVLIN_SDK_LIBRARY):\n  "
                + "\n  ".join(tried)
            )
    return _library
