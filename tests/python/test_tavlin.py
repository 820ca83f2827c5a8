"""The Python package against the in-process virtual camera."""

import ctypes
import os
import pathlib
import re
import struct
import subprocess
import sys
import zlib

import numpy as np
import pytest

import tavlin
from conftest import DEVICE


def image_bytes(cam):
    """Tavlin_GetImage's bytes, called directly through ctypes."""
    width, height, bits = cam.image_shape()
    size = ((width * bits // 8 + 3) & ~3) * height
    raw = (ctypes.c_uint8 * size)()
    assert tavlin.library().Tavlin_GetImage(cam.handle, ctypes.addressof(raw), size, 1) == 1
    return bytes(raw)


def test_snapshot_is_the_sdk_image(camera):
    snap = camera.snapshot()
    assert snap.shape == (128, 160, 3)
    assert snap.dtype == np.uint8
    assert snap.tobytes() == image_bytes(camera)
    assert snap.std() > 0  # the ramp scene, not an empty buffer
    # The array is the caller's own: a later frame does not change it.
    kept = snap.copy()
    camera.snapshot()
    assert np.array_equal(snap, kept)


def test_chart_scene_has_colour_and_bad_noise_is_refused(camera):
    tavlin.vcam.set_scene(DEVICE, tavlin.vcam.SCENE_CHART)
    snap = camera.snapshot().astype(int)
    assert (snap.max(axis=2) - snap.min(axis=2)).max() > 100  # saturated patches
    with pytest.raises(ValueError):
        tavlin.vcam.set_noise(DEVICE, 256)
    tavlin.vcam.set_noise(DEVICE, 0, 5)


@pytest.mark.parametrize("bits,shape,dtype", [(8, (128, 160), np.uint8),
                                              (48, (128, 160, 3), np.uint16)])
def test_snapshot_layout_follows_the_colour_mode(camera, bits, shape, dtype):
    camera.color_mode = bits
    snap = camera.snapshot()
    assert snap.shape == shape and snap.dtype == dtype
    assert snap.tobytes() == image_bytes(camera)


def test_stream_yields_increasing_sequence_numbers(camera):
    seen = []
    for image, frame in camera.frames(count=15):
        assert image.shape == (128, 160, 3)
        assert (frame.width, frame.height, frame.bits_per_pixel) == (160, 128, 24)
        seen.append(frame)
    sequences = [f.sequence for f in seen]
    assert sequences == sorted(set(sequences)) and sequences[0] >= 1
    stamps = [f.timestamp_ns for f in seen]
    assert stamps == sorted(stamps) and stamps[0] > 0
    stats = camera.stats()
    assert not stats.acquiring  # the iteration started the stream and stopped it
    assert stats.delivered == stats.processed + stats.skipped + stats.failed
    assert stats.processed >= 15


def test_stream_copies_unless_asked_to_reuse(camera):
    copies = [image for image, _ in camera.frames(count=3)]
    assert len({id(c) for c in copies}) == 3
    assert not np.shares_memory(copies[0], copies[1])
    shared = [image for image, _ in camera.frames(count=3, reuse=True)]
    assert np.shares_memory(shared[0], shared[2])


def test_stream_end_raises_with_the_sdk_code(camera):
    frames = camera.frames()
    next(frames)
    tavlin.vcam.fail_next(DEVICE, tavlin.vcam.FAULT_FRAME_READ)
    with pytest.raises(tavlin.TavlinError) as caught:
        for _ in frames:
            pass
    assert caught.value.code == 13
    stats = camera.stats()
    assert stats.failed == 1
    assert stats.delivered == stats.processed + stats.skipped + stats.failed


def test_invalid_settings_raise_code_9(camera):
    with pytest.raises(tavlin.TavlinError) as caught:
        camera.color_mode = 7
    assert caught.value.code == 9
    assert caught.value.function == "Tavlin_SetColorMode"
    with pytest.raises(tavlin.TavlinError) as caught:
        camera.configure(gamma=100000)
    assert caught.value.code == 9
    assert camera.color_mode == 24  # nothing changed


def test_settings_round_trip(camera):
    camera.configure(window=(64, 32, 640, 480), gamma=150, global_gain=20)
    assert camera.window == (64, 32, 640, 480)
    assert camera.get("gamma") == 150
    assert camera.get("global_gain") == 20
    camera.sub_sample = 1
    assert camera.snapshot().shape == (240, 320, 3)
    assert camera.info()["sensorWidth"] == 1280


def test_saved_png_has_the_image_size(camera, tmp_path):
    camera.snapshot()
    path = tmp_path / "frame.png"
    camera.save_image(path)
    data = path.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    length, kind = struct.unpack(">I4s", data[8:16])
    assert kind == b"IHDR"
    assert struct.unpack(">II", data[16:24]) == (160, 128)
    assert zlib.crc32(data[12:16 + length]) == struct.unpack(">I", data[16 + length:20 + length])[0]


def test_closed_camera_refuses(camera):
    camera.close()
    camera.close()
    with pytest.raises(tavlin.TavlinError):
        camera.color_mode = 24


def test_a_wrong_library_path_is_reported(tmp_path):
    env = dict(os.environ, TAVLIN_SDK_LIBRARY=str(tmp_path / "missing.so"))
    code = "import tavlin\ntry:\n tavlin.library()\nexcept OSError as e:\n print('missing.so' in str(e))"
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True,
                         cwd=os.path.dirname(tavlin.__path__[0]))
    assert out.stdout.strip() == "True", out.stderr


REPO = pathlib.Path(__file__).resolve().parents[2]


def header_error_codes():
    """TAVLIN_ERR_<NAME> = <code> from the C header."""
    text = (REPO / "include" / "tavlin" / "tavlin.h").read_text()
    return {int(code): name for name, code in re.findall(r"TAVLIN_ERR_(\w+) = (\d+)", text)}


def test_every_error_code_has_the_library_text():
    codes = header_error_codes()
    assert sorted(codes) == list(tavlin.errors.CODES)
    unknown = tavlin.errors.error_text(10)
    assert unknown == "unknown error"
    for code, name in codes.items():
        assert tavlin.errors.error_name(code) == name
        assert tavlin.MESSAGES[code] == tavlin.errors.error_text(code) != unknown
    assert len(set(tavlin.MESSAGES.values())) == len(codes)
    assert tavlin.MESSAGES.get(10, "none") == "none"
    assert tavlin.errors.error_text(-(2**31)) == unknown
    assert tavlin.errors.error_text(2**32 + 9) == unknown  # not wrapped round to 9


def test_the_exception_says_the_library_text(camera):
    with pytest.raises(tavlin.TavlinError) as caught:
        camera.color_mode = 7
    assert caught.value.code == 9
    assert str(caught.value).endswith("error 9 (invalid argument)")
    assert str(tavlin.TavlinError(77, "f")) == "f failed: error 77 (unknown error)"


def test_readme_error_table_is_the_library_table():
    readme = (REPO / "README.md").read_text()
    section = readme.split("### Error codes", 1)[1].split("\n## ", 1)[0]
    rows = dict(re.findall(r"^\| (\d+) \| (.+?) \|$", section, re.MULTILINE))
    assert {int(code): text for code, text in rows.items()} == {
        code: tavlin.errors.error_text(code) for code in tavlin.errors.CODES if code != 0
    }


def test_filters_are_the_library_catalogue():
    catalogue = tavlin.filter_catalogue()
    assert [entry.id for entry in catalogue] == list(range(1, 29))
    assert tavlin.FILTERS == {entry.name: entry.id for entry in catalogue}
    gamma = catalogue[tavlin.FILTERS["gamma"] - 1]
    assert (gamma.minimum, gamma.maximum, gamma.default, gamma.unit) == (0, 200, 100, "percent")
    assert catalogue[tavlin.FILTERS["exposure_lines"] - 1].sensor


def test_filter_ranges_hold_through_the_package(camera):
    for entry in tavlin.filter_catalogue():
        if entry.any_value:
            continue
        camera.set(entry.name, entry.maximum)
        with pytest.raises(tavlin.TavlinError) as caught:
            camera.set(entry.name, entry.maximum + 1)
        assert caught.value.code == 9
        with pytest.raises(tavlin.TavlinError):
            camera.set(entry.name, entry.minimum - 1)
        camera.set(entry.name, entry.minimum)
        assert camera.get(entry.name) == entry.minimum


def test_cli_doc_filter_rows_are_the_library_catalogue():
    """docs/cli.md names each filter id once, with the catalogue's range and unit."""
    doc = (REPO / "docs" / "cli.md").read_text()
    rows = re.findall(r"^\| `(\w+)` \| (.+?) \| `[^`]+` \(id (\d+)\) \|$", doc, re.MULTILINE)
    by_id = {int(fid): (name, rng) for name, rng, fid in rows}
    assert len(rows) == len(by_id)
    catalogue = tavlin.filter_catalogue()
    assert sorted(by_id) == [entry.id for entry in catalogue]
    for entry in catalogue:
        name, rng = by_id[entry.id]
        ctl_name = "exposure" if entry.name == "exposure_lines" else entry.name.replace("_", "")
        assert name == ctl_name
        if not entry.any_value:
            unit = f" {entry.unit}" if entry.unit else ""
            assert rng == f"{entry.minimum}..{entry.maximum}{unit}", name
