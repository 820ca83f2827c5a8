"""The in-process virtual camera: plug cameras in and out, choose scenes, pace them, inject faults."""

import ctypes
from typing import Dict, Literal, Optional

from ._native import VcamCounters, library

SCENE_RAMP, SCENE_FLAT, SCENE_RAW, SCENE_CHART = 0, 1, 2, 3
PACING_REAL_TIME, PACING_FAST, PACING_AS_TAKEN = 0, 1, 2
FAULT_COMMAND_SEND, FAULT_REPLY_READ, FAULT_FRAME_READ, FAULT_SHORT_FRAME = 0, 1, 2, 3


def _check(result: int, what: str) -> None:
    if result != 1:
        raise ValueError(f"{what} refused by the virtual camera")


def attach(index: int = 0, pacing: Optional[int] = None, scene: Optional[int] = None) -> None:
    """Plugs a virtual camera in at the device index (0..31) of this process."""
    _check(library().TavlinVcam_Attach(index), f"attach at {index}")
    if pacing is not None:
        set_pacing(index, pacing)
    if scene is not None:
        set_scene(index, scene)


def detach(index: int = 0) -> None:
    _check(library().TavlinVcam_Detach(index), f"detach at {index}")


def detach_all() -> int:
    """Detaches every virtual camera; returns how many there were."""
    return int(library().TavlinVcam_DetachAll())


def is_attached(index: int = 0) -> bool:
    return bool(library().TavlinVcam_IsAttached(index) == 1)


def set_scene(index: int, scene: int) -> None:
    """SCENE_RAMP, SCENE_FLAT, SCENE_CHART, or SCENE_RAW once raw frames are loaded."""
    _check(library().TavlinVcam_SetScene(index, scene), "scene")


def set_noise(index: int, amplitude: int, seed: int = 0) -> None:
    """Seeded sensor noise of +-amplitude 10-bit steps (0..255; 0 turns it off)."""
    _check(library().TavlinVcam_SetNoise(index, amplitude, seed), "noise")


def set_pacing(index: int, pacing: int) -> None:
    _check(library().TavlinVcam_SetPacing(index, pacing), "pacing")


def trigger(index: int = 0, pulses: int = 1) -> int:
    """Gives trigger pulses; returns the number accepted (0 outside trigger mode)."""
    return int(library().TavlinVcam_Trigger(index, pulses))


def fail_next(index: int, kind: int, count: int = 1) -> None:
    _check(library().TavlinVcam_FailNext(index, kind, count), "fault injection")


def set_stall(index: int, stalled: bool) -> None:
    _check(library().TavlinVcam_SetStall(index, 1 if stalled else 0), "stall")


def counters(index: int = 0) -> Dict[str, int]:
    """The camera's counters since attach, as a dict."""
    c = VcamCounters()
    _check(library().TavlinVcam_GetCounters(index, ctypes.byref(c)), "counters")
    return {name: getattr(c, name) for name, _ in VcamCounters._fields_}


class VirtualCamera:
    """A context manager that attaches a virtual camera and detaches it again."""

    def __init__(
        self, index: int = 0, pacing: Optional[int] = PACING_FAST, scene: Optional[int] = None
    ) -> None:
        self.index = index
        self.pacing = pacing
        self.scene = scene

    def __enter__(self) -> "VirtualCamera":
        attach(self.index, self.pacing, self.scene)
        return self

    def __exit__(self, *exc: object) -> Literal[False]:
        if is_attached(self.index):
            detach(self.index)
        return False
