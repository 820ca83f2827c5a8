#!/usr/bin/env bash
# Records the camera to an H.264 MP4 file through the tavlinsrc GStreamer element.
#   record-mp4.sh [DEVICE [FRAMES [FILE [PROPERTY=VALUE...]]]]
#     DEVICE  device index of the camera (default 0; see gst-device-monitor-1.0 Video/Source)
#     FRAMES  frames to record (default 100); the source then ends the stream itself
#     FILE    output file (default tavlin.mp4)
#     further arguments are properties of tavlinsrc, e.g. sub-sample=1 exposure-us=5000
# The plugin must be found: an installed one is, a build tree's needs
#   GST_PLUGIN_PATH=<build>/gstreamer
# x264enc comes with gstreamer1.0-plugins-ugly, mp4mux with gstreamer1.0-plugins-good.
set -euo pipefail
device=${1:-0}
frames=${2:-100}
file=${3:-tavlin.mp4}
shift $(($# < 3 ? $# : 3))

# -e turns Ctrl-C into an end of stream, so that a recording stopped early still gets the index
# mp4mux writes at the end and stays playable. I420 is what every H.264 player decodes; left to
# itself x264enc would take the colour frames as 4:4:4.
exec gst-launch-1.0 -e \
    tavlinsrc device="$device" num-buffers="$frames" "$@" \
    ! videoconvert ! video/x-raw,format=I420 \
    ! x264enc speed-preset=veryfast tune=zerolatency \
    ! mp4mux ! filesink location="$file"
