#!/usr/bin/python3
"""Reads camera frames into OpenCV through the tavlinsrc GStreamer element.

    /usr/bin/python3 opencv_capture.py [--device N] [--count N] [--color-mode MODE]

Needs an OpenCV built with GStreamer, such as Debian's python3-opencv (hence /usr/bin/python3:
a pip-installed opencv-python has no GStreamer). A plugin in a build tree is found with
GST_PLUGIN_PATH=<build>/gstreamer.

Prints the frame size once and one line per frame with the mean of each channel; exits 1 when
no frame arrived, 2 when the pipeline could not be opened.
"""

import argparse
import signal
import sys

import cv2

# The camera's colour modes, and the format OpenCV is given for each: its own BGR for colour, one
# channel for gray. gray16 keeps its 16-bit samples (10 significant bits). bgra64 is left out:
# videoconvert would read its 10-bit samples as 16-bit ones and hand over a nearly black picture.
APPSINK_FORMAT = {
    "auto": "BGR",
    "gray8": "GRAY8",
    "gray16": "GRAY16_LE",
    "bgr": "BGR",
    "bgrx": "BGR",
}


def pipeline(device, count, color_mode):
    # num-buffers ends the stream after the last frame, so the capture sees an end instead of
    # waiting; drop=false keeps every frame, sync=false takes them as they come.
    return (
        f"tavlinsrc device={device} color-mode={color_mode} num-buffers={count} "
        f"! videoconvert ! video/x-raw,format={APPSINK_FORMAT[color_mode]} "
        "! appsink drop=false max-buffers=4 sync=false"
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--device", type=int, default=0, help="device index (default 0)")
    parser.add_argument("--count", type=int, default=10, help="frames to read (default 10)")
    parser.add_argument(
        "--color-mode",
        choices=sorted(APPSINK_FORMAT),
        default="auto",
        help="the camera's colour mode (default auto)",
    )
    parser.add_argument(
        "--timeout", type=int, default=20, help="seconds to give up after (default 20)"
    )
    args = parser.parse_args()
    if args.count < 1:
        parser.error("--count must be at least 1")

    # OpenCV's read waits as long as the pipeline does; a camera that never delivers must not
    # hold the caller for ever.
    def give_up(signum, frame):
        print(f"no end after {args.timeout} s", file=sys.stderr)
        sys.exit(1)

    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(args.timeout)

    description = pipeline(args.device, args.count, args.color_mode)
    capture = cv2.VideoCapture(description, cv2.CAP_GSTREAMER)
    if not capture.isOpened():
        print(f"cannot open the pipeline: {description}", file=sys.stderr)
        print("(is the camera there, and GST_PLUGIN_PATH set for a build tree?)", file=sys.stderr)
        return 2

    frames = 0
    while frames < args.count:
        ok, image = capture.read()
        if not ok:
            break
        if frames == 0:
            channels = 1 if image.ndim == 2 else image.shape[2]
            print(f"{image.shape[1]}x{image.shape[0]}, {channels} channel(s) of {image.dtype}")
        means = cv2.mean(image)[: 1 if image.ndim == 2 else image.shape[2]]
        print(f"frame {frames}: mean " + " ".join(f"{m:.1f}" for m in means))
        frames += 1
    capture.release()
    signal.alarm(0)

    if frames == 0:
        print("no frames", file=sys.stderr)
        return 1
    print(f"{frames} frame(s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
