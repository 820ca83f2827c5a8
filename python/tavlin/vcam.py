"""The in-process virtual camera: plug cameras in and out, choose scenes, pace them, inject faults."""

import ctypes

from ._native import VcamCounters, library

SCENE_RAMP, SCENE_FLAT, SCENE_RAW, SCENE_CHART = 0, 1, 2, 3
PACING_REAL_TIME, PACING_FAST = 0, 1
FAULT_COMMAND_SEND, FAULT_REPLY_READ, FAULT_FRAME_READ, FAULT_SHORT_FRAME = 0, 1, 2, 3


def _check(result, what):
    if result != 1:
        raise ValueError(f"{what} refused by the virtual camera")


def attach(index=0, pacing=None, scene=None):
    """Plugs a virtual camera in at the device index (0..31) of this process."""
    _check(library().TavlinVcam_Attach(index), f"attach at {index}")
    if pacing is not None:
        set_pacing(index, pacing)
    if scene is not None:
        set_scene(index, scene)


def detach(index=0):
    _check(library().TavlinVcam_Detach(index), f"detach at {index}")


def detach_all():
    """Detaches every virtual camera; returns how many there were."""
    return library().TavlinVcam_DetachAll()


def is_attached(index=0):
    return library().TavlinVcam_IsAttached(index) == 1


def set_scene(index, scene):
    """SCENE_RAMP, SCENE_FLAT, SCENE_CHART, or SCENE_RAW once raw frames are loaded."""
    _check(library().TavlinVcam_SetScene(index, scene), "scene")


def set_noise(index, amplitude, seed=0):
    """Seeded sensor noise of +-amplitude 10-bit steps (0..255; 0 turns it off)."""
    _check(library().TavlinVcam_SetNoise(index, amplitude, seed), "noise")


def set_pacing(index, pacing):
    _check(library().TavlinVcam_SetPacing(index, pacing), "pacing")


def trigger(index=0, pulses=1):
    """Gives trigger pulses; returns the number accepted (0 outside trigger mode)."""
    return library().TavlinVcam_Trigger(index, pulses)


def fail_next(index, kind, count=1):
    _check(library().TavlinVcam_FailNext(index, kind, count), "fault injection")


def set_stall(index, stalled):
    _check(library().TavlinVcam_SetStall(index, 1 if stalled else 0), "stall")


def counters(index=0):
    """The camera's counters since attach, as a dict."""
    c = VcamCounters()
    _check(library().TavlinVcam_GetCounters(index, ctypes.byref(c)), "counters")
    return {name: getattr(c, name) for name, _ in VcamCounters._fields_}


class VirtualCamera:
    """A context manager that attaches a virtual camera and detaches it again."""

    def __init__(self, index=0, pacing=PACING_FAST, scene=None):
        self.index = index
        self.pacing = pacing
        self.scene = scene

    def __enter__(self):
        attach(self.index, self.pacing, self.scene)
        return self

    def __exit__(self, *exc):
        if is_attached(self.index):
            detach(self.index)
        return False
