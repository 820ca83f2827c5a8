"""A camera opened through the SDK's C interface, with NumPy images."""

import ctypes
import os
from typing import Any, Dict, Iterator, List, Literal, NamedTuple, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

from ._native import CameraInfo, FilterInfo, FrameInfo, FrameStats, library
from .errors import TavlinError

# An image: uint8 or little-endian uint16 samples, (height, width) or (height, width, channels).
Image = npt.NDArray[Any]
PathLike = Union[str, "os.PathLike[str]", bytes, "os.PathLike[bytes]"]

SENSOR_WIDTH, SENSOR_HEIGHT = 1280, 1024
COLOR_MODES: Tuple[int, ...] = (8, 16, 24, 32, 48, 64)
# Tavlin_GetColorMode answers with its own numbers for the 16, 48 and 64-bit modes.
_COLOR_MODE_READ = {8: 8, 10: 16, 24: 24, 32: 32, 42: 48, 58: 64}

# Filter value ids of Tavlin_SetFilterValue / Tavlin_GetFilterValue, by name.
FILTERS: Dict[str, int] = {
    "brightness": 1,
    "contrast": 2,
    "hue": 3,
    "saturation": 4,
    "sharpness": 5,
    "bayer_gain_rgb": 6,
    "bayer_gain_red": 7,
    "bayer_gain_green": 8,
    "bayer_gain_blue": 9,
    "bayer_gain_auto": 10,
    "gamma": 11,
    "bayer_mode": 12,
    "global_gain": 13,
    "color_gain_red": 14,
    "color_gain_green1": 15,
    "color_gain_green2": 16,
    "color_gain_blue": 17,
    "exposure_lines": 18,
    "gray_mode": 19,
    "gray_gain_r": 20,
    "gray_gain_g1": 21,
    "gray_gain_g2": 22,
    "gray_gain_b": 23,
    "gray_offset_r": 24,
    "gray_offset_g1": 25,
    "gray_offset_g2": 26,
    "gray_offset_b": 27,
    "gray_auto": 28,
}

# One filter id as the library describes it (TavlinExt_GetFilterInfo): the setter accepts
# minimum..maximum; sensor values are read back from the sensor; any_value ids never refuse.
class FilterEntry(NamedTuple):
    id: int
    name: str
    minimum: int
    maximum: int
    default: int
    unit: str
    sensor: bool
    any_value: bool


def filter_catalogue() -> List[FilterEntry]:
    """The library's filter catalogue: a FilterEntry per id, in id order."""
    lib = library()
    entries = []
    for index in range(lib.TavlinExt_GetFilterCount()):
        info = FilterInfo(size=ctypes.sizeof(FilterInfo))
        if lib.TavlinExt_GetFilterInfo(index, ctypes.byref(info)) != 1:
            raise RuntimeError(f"TavlinExt_GetFilterInfo({index}) failed")
        entries.append(
            FilterEntry(
                info.id,
                info.name.decode("ascii"),
                info.minimum,
                info.maximum,
                info.defaultValue,
                info.unit.decode("ascii"),
                bool(info.flags & 1),
                bool(info.flags & 2),
            )
        )
    return entries

FILE_FORMATS: Dict[str, int] = {
    ".bmp": 0,
    ".raw": 1,
    ".jpg": 2,
    ".jpeg": 2,
    ".png": 5,
    ".tif": 6,
    ".tiff": 6,
}

# Pixel layout per colour mode: NumPy sample type and channels (blue first where there are
# several, as the SDK stores them).
_LAYOUT: Dict[int, Tuple["npt.DTypeLike", int]] = {
    8: (np.uint8, 1),
    16: (np.dtype("<u2"), 1),
    24: (np.uint8, 3),
    32: (np.uint8, 4),
    48: (np.dtype("<u2"), 3),
    64: (np.dtype("<u2"), 4),
}


class Frame(NamedTuple):
    """What came with a streamed image."""

    sequence: int  # its place among the frames the device delivered since the start, from 1
    timestamp_ns: int  # CLOCK_MONOTONIC nanoseconds of the raw frame's arrival
    width: int
    height: int
    bits_per_pixel: int


class Stats(NamedTuple):
    """Frame accounting since the acquisition started: delivered == processed + skipped + failed."""

    acquiring: bool
    delivered: int
    processed: int
    skipped: int
    failed: int
    sequence: int
    timestamp_ns: int


def _stride(width: int, bits: int) -> int:
    return (width * (bits // 8) + 3) & ~3


def _image(data: npt.NDArray[np.uint8], width: int, height: int, bits: int) -> Image:
    """The caller-owned byte buffer seen as an image of `height` rows (padding dropped)."""
    dtype, channels = _LAYOUT[bits]
    rows = data[: _stride(width, bits) * height].reshape(height, _stride(width, bits))
    pixels = rows[:, : width * (bits // 8)].view(dtype)
    return pixels if channels == 1 else pixels.reshape(height, width, channels)


class Camera:
    """One camera handle. Use as a context manager, or call close().

    Images are NumPy arrays in memory Python owns: the SDK copies each frame into it, and
    nothing writes into an array once it has been returned, except in frames(reuse=True), where
    every frame is copied into the one array yielded each time. Rows come top row first;
    colour pixels are blue, green, red (and a fourth byte or word for 32 and 64 bits).
    """

    def __init__(self, device: Optional[int] = None) -> None:
        self._lib = library()
        self._window: Optional[int] = self._lib.TavlinHost_CreateMessageWindow()
        self._handle: int = self._lib.Tavlin_Initialize(self._window)
        if self._handle == 0:
            self._lib.TavlinHost_DestroyWindow(self._window)
            raise TavlinError(5, "Tavlin_Initialize")
        if device is not None:
            try:
                self._call("Tavlin_SetDeviceNumber", device)
            except TavlinError:
                self.close()
                raise

    # Lifetime

    def close(self) -> None:
        """Stops any acquisition and releases the camera handle. Idempotent."""
        if self._handle:
            self._lib.Tavlin_Release(self._handle)
            self._handle = 0
            self._lib.TavlinHost_DestroyWindow(self._window)
            self._window = None

    def __enter__(self) -> "Camera":
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        self.close()
        return False

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:
            pass

    @property
    def handle(self) -> int:
        """The C handle, for calls this package does not wrap."""
        return int(self._handle)

    def _call(self, name: str, *args: Any) -> None:
        if not self._handle:
            raise TavlinError(1, name)
        if getattr(self._lib, name)(self._handle, *args) != 1:
            raise TavlinError(self._lib.Tavlin_GetLastError(self._handle), name)

    def _get(self, name: str, *args: Any) -> int:
        ok = ctypes.c_int32(0)
        value = getattr(self._lib, name)(self._handle, *args, ctypes.byref(ok))
        if ok.value != 1:
            raise TavlinError(self._lib.Tavlin_GetLastError(self._handle), name)
        return int(value)

    # Settings

    @property
    def window(self) -> Tuple[int, int, int, int]:
        """Capture window (x, y, width, height) on the 1280 x 1024 sensor."""
        values = [ctypes.c_int32() for _ in range(6)]
        self._call("Tavlin_GetCaptureWindowEx", *[ctypes.byref(v) for v in values])
        _, x, width, _, y, height = (v.value for v in values)
        return (x, y, width, height)

    @window.setter
    def window(self, value: Tuple[int, int, int, int]) -> None:
        x, y, width, height = value
        self._call("Tavlin_SetCaptureWindowEx", SENSOR_WIDTH, x, width, SENSOR_HEIGHT, y, height)

    @property
    def color_mode(self) -> int:
        """Bits per output pixel: 8, 16 (gray), 24, 32, 48 or 64 (colour)."""
        read = self._lib.Tavlin_GetColorMode(self._handle)
        if read not in _COLOR_MODE_READ:
            raise TavlinError(self._lib.Tavlin_GetLastError(self._handle), "Tavlin_GetColorMode")
        return _COLOR_MODE_READ[read]

    @color_mode.setter
    def color_mode(self, bits: int) -> None:
        self._call("Tavlin_SetColorMode", bits)

    @property
    def sub_sample(self) -> int:
        """0: full resolution, 1: 1/2, 2: 1/4, 3: 1/8 in each direction."""
        return int(self._lib.Tavlin_GetSubSample(self._handle))

    @sub_sample.setter
    def sub_sample(self, code: int) -> None:
        self._call("Tavlin_SetSubSample", code)

    @property
    def exposure_us(self) -> int:
        return self._get("Tavlin_GetRealExposureTime")

    @exposure_us.setter
    def exposure_us(self, microseconds: int) -> None:
        self._call("Tavlin_SetRealExposureTime", microseconds)

    def set(self, name: str, value: int) -> None:
        """Sets a filter value by name (see FILTERS): 'gamma', 'global_gain', ..."""
        self._call("Tavlin_SetFilterValue", FILTERS[name], value)

    def get(self, name: str) -> int:
        return self._get("Tavlin_GetFilterValue", FILTERS[name])

    def configure(
        self,
        *,
        window: Optional[Tuple[int, int, int, int]] = None,
        color_mode: Optional[int] = None,
        sub_sample: Optional[int] = None,
        exposure_us: Optional[int] = None,
        wait_time_ms: Optional[int] = None,
        mirror_h: Optional[bool] = None,
        mirror_v: Optional[bool] = None,
        **filters: int,
    ) -> None:
        """Sets several values at once, in a fixed order; stops at the first refusal."""
        if window is not None:
            self.window = window
        if sub_sample is not None:
            self.sub_sample = sub_sample
        if color_mode is not None:
            self.color_mode = color_mode
        if exposure_us is not None:
            self.exposure_us = exposure_us
        if wait_time_ms is not None:
            self._call("Tavlin_SetWaitTime", wait_time_ms)
        if mirror_h is not None:
            self._call("Tavlin_SetMirrorH", 1 if mirror_h else 0)
        if mirror_v is not None:
            self._call("Tavlin_SetMirrorV", 1 if mirror_v else 0)
        for name, value in filters.items():
            if name not in FILTERS:
                raise KeyError(f"unknown setting {name!r}")
            self.set(name, value)

    def info(self) -> Dict[str, int]:
        """Sensor size and the gain and exposure limits."""
        info = CameraInfo(size=ctypes.sizeof(CameraInfo))
        self._call("Tavlin_GetCameraInfo", ctypes.byref(info))
        return {name: getattr(info, name) for name, _ in CameraInfo._fields_[1:]}

    # Images

    def image_shape(self) -> Tuple[int, int, int]:
        """(width, height, bits per pixel) of the images the current settings make."""
        _, _, width, height = self.window
        divisor = 1 << max(0, min(self.sub_sample, 3))
        return width // divisor, height // divisor, self.color_mode

    def _buffer(self) -> Tuple[npt.NDArray[np.uint8], int, int, int]:
        width, height, bits = self.image_shape()
        return np.zeros(_stride(width, bits) * height, np.uint8), width, height, bits

    def snapshot(self) -> Image:
        """Takes one frame on this thread (from idle or capture mode) and returns it as a new
        array. While streaming use frames() instead (the SDK refuses with error 1)."""
        data, width, height, bits = self._buffer()
        self._call("Tavlin_SnapShot", data.ctypes.data, data.size, 1)
        return _image(data, width, height, bits)

    def get_image(self) -> Image:
        """A copy of the current image (Tavlin_GetImage)."""
        data, width, height, bits = self._buffer()
        self._call("Tavlin_GetImage", data.ctypes.data, data.size, 1)
        return _image(data, width, height, bits)

    def start(self) -> None:
        """Starts streaming without messages (Tavlin_StartPreview)."""
        self._call("Tavlin_StartPreview")

    def stop(self) -> None:
        self._call("Tavlin_StopPreview")

    def stats(self) -> Stats:
        s = FrameStats(size=ctypes.sizeof(FrameStats))
        self._call("TavlinExt_GetFrameStats", ctypes.byref(s))
        return Stats(bool(s.acquiring), s.delivered, s.processed, s.skipped, s.failed,
                     s.sequence, s.timestampNs)

    def frames(
        self, count: Optional[int] = None, timeout_ms: int = 5000, reuse: bool = False
    ) -> Iterator[Tuple[Image, Frame]]:
        """Yields (image, Frame) for each new processed frame, sequence numbers increasing.

        Starts streaming when nothing runs and stops it again when the iteration ends; an
        acquisition the caller started is left running. Frames the loop could not keep up with
        are skipped (see stats()). Raises TavlinError 8 when no frame comes within timeout_ms,
        13 when the stream ends.
        """
        started = False
        if not self.stats().acquiring:
            self.start()
            started = True
        try:
            after = 0 if started else self.stats().sequence
            data, _, _, _ = self._buffer()
            info = FrameInfo()
            taken = 0
            while count is None or taken < count:
                info.size = ctypes.sizeof(FrameInfo)
                result = self._lib.TavlinExt_WaitFrame(self._handle, after, timeout_ms,
                                                       data.ctypes.data, data.size, 1,
                                                       ctypes.byref(info))
                if result != 1:
                    code = self._lib.Tavlin_GetLastError(self._handle)
                    if code == 5 and info.imageBytes > data.size:
                        data = np.zeros(info.imageBytes, np.uint8)  # the format changed
                        continue
                    raise TavlinError(code, "TavlinExt_WaitFrame")
                image = _image(data, info.width, info.height, info.bitsPerPixel)
                if not reuse:
                    image = image.copy()
                after = info.sequence
                taken += 1
                yield image, Frame(info.sequence, info.timestampNs, info.width, info.height,
                                   info.bitsPerPixel)
        finally:
            if started and self._handle:
                self._lib.Tavlin_StopPreview(self._handle)

    # Files

    def save_image(self, path: PathLike, file_format: Optional[int] = None) -> None:
        """Saves the current image; the format follows the extension unless given
        (0 BMP, 1 raw, 2/3/4 JPEG quality 100/70/20, 5 PNG, 6 TIFF)."""
        if file_format is None:
            file_format = FILE_FORMATS[os.path.splitext(str(path))[1].lower()]
        self._call("Tavlin_SaveImage", os.fsencode(path), file_format)

    def record(self, path: PathLike, duration_ms: int) -> None:
        """Records an AVI of the stream for duration_ms from its first frame (see Tavlin_Record)."""
        self._call("Tavlin_Record", os.fsencode(path), duration_ms, 0)
