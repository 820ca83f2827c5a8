import os
import pathlib
import sys

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[2] / "python"
# TAVLIN_TEST_INSTALLED: test the package the interpreter has installed (the wheel test's venv),
# never the one in this tree.
INSTALLED = os.environ.get("TAVLIN_TEST_INSTALLED") == "1"
if not INSTALLED:
    sys.path.insert(0, str(SOURCE))

import tavlin  # noqa: E402

if INSTALLED and SOURCE in pathlib.Path(tavlin.__file__).resolve().parents:
    raise RuntimeError(f"tavlin was imported from the source tree: {tavlin.__file__}")

DEVICE = 3


@pytest.fixture
def camera(tmp_path, monkeypatch):
    """A camera on a fast in-process virtual camera, with settings kept in a folder of its own,
    making 160 x 128 images of 24 bits. Device index 3 keeps clear of the cameras other test
    programs on the machine claim (claims are machine-wide)."""
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    tavlin.vcam.detach_all()
    tavlin.vcam.attach(DEVICE, pacing=tavlin.vcam.PACING_FAST)
    with tavlin.Camera(device=DEVICE) as cam:
        cam.configure(color_mode=24, sub_sample=3, wait_time_ms=0)
        yield cam
    tavlin.vcam.detach_all()
