"""The SDK's diagnostic log bridged to Python's logging (tavlin.log)."""

import logging
import threading

import pytest

import tavlin
import tavlin.log
from conftest import DEVICE


@pytest.fixture
def attached(tmp_path, monkeypatch):
    """A fast in-process virtual camera at DEVICE, no camera open yet."""
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    tavlin.vcam.detach_all()
    tavlin.vcam.attach(DEVICE, pacing=tavlin.vcam.PACING_FAST)
    yield
    tavlin.vcam.detach_all()


@pytest.fixture
def sdk_log(caplog):
    caplog.set_level(tavlin.log.TRACE, logger="tavlin")
    yield caplog
    tavlin.log.disable()


def test_levels_map_both_ways():
    assert [tavlin.log.sdk_level(v) for v in (logging.CRITICAL, logging.ERROR, logging.WARNING,
                                              logging.INFO, logging.DEBUG, 1)] == [1, 1, 2, 3, 4, 5]
    for sdk, python in tavlin.log.SDK_TO_LOGGING.items():
        assert tavlin.log.sdk_level(python) == sdk


def test_open_snapshot_failure_and_close_reach_category_loggers(attached, sdk_log):
    tavlin.log.enable(logging.DEBUG)
    with tavlin.Camera(device=DEVICE) as cam:
        handle = cam.handle
        cam.configure(color_mode=24, sub_sample=3)
        cam.snapshot()
        with pytest.raises(tavlin.TavlinError):
            cam.color_mode = 99
    records = [r for r in sdk_log.records if getattr(r, "camera", None) == handle]
    texts = {(r.name, r.getMessage()) for r in records}
    assert any(n == "tavlin.camera" and "opened on device" in m for n, m in texts), texts
    assert any(n == "tavlin.camera" and m.startswith("error 9 recorded") for n, m in texts)
    assert any(n == "tavlin.camera" and m == "closed" for n, m in texts)
    assert {r.levelno for r in records} <= {logging.ERROR, logging.WARNING, logging.INFO,
                                            logging.DEBUG}
    assert all(r.sdk_time_ns > 0 for r in records)
    # Nothing below the level asked for is passed.
    assert not [r for r in sdk_log.records if r.levelno < logging.DEBUG]

    tavlin.log.disable()
    sdk_log.clear()
    with tavlin.Camera(device=DEVICE):
        pass
    assert not [r for r in sdk_log.records if r.name.startswith("tavlin.")]


def test_messages_of_sdk_threads_arrive_and_disable_stops_them(camera, sdk_log):
    tavlin.log.enable(logging.DEBUG)
    seen = threading.Event()

    class Watch(logging.Handler):
        def emit(self, record):
            if record.name == "tavlin.transfer" and record.thread != threading.main_thread().ident:
                seen.set()

    handler = Watch()
    logging.getLogger("tavlin").addHandler(handler)
    try:
        lib = tavlin.library()
        assert lib.Tavlin_StartPreview(camera.handle) == 1
        assert lib.Tavlin_StopPreview(camera.handle) == 1
        assert seen.wait(5)
    finally:
        logging.getLogger("tavlin").removeHandler(handler)


def test_sdk_levels_are_checked():
    with pytest.raises(ValueError):
        tavlin.log.set_levels("lens:debug")
    tavlin.log.set_levels("*:error")
    tavlin.log.set_levels(None)
