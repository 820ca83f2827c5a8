#!/usr/bin/env bash
# Runs the demo on the in-process virtual camera and checks its files with independent readers.
set -euo pipefail
demo=$1 work=$2
rm -rf "$work" && mkdir -p "$work/config"
export XDG_CONFIG_HOME="$work/config"
"$demo" "$work/out" > "$work/demo.log"
cd "$work/out"
for f in snapshot.bmp snapshot-q100.jpg snapshot-q70.jpg snapshot-q20.jpg snapshot.png snapshot.tif; do
    [ "$(identify -format '%w %h' "$f")" = "640 512" ] || { echo "bad size: $f"; exit 1; }
done
[ "$(stat -c %s snapshot.raw)" = $((640 * 3 * 512)) ] || { echo "bad raw size"; exit 1; }
pngcheck -q snapshot.png
tiffinfo snapshot.tif > /dev/null
# Read the whole report first: grep -q closing the pipe early would fail djpeg under pipefail.
markers=$(djpeg -verbose -verbose -outfile /dev/null snapshot-q70.jpg 2>&1)
grep -q 'Start Of Frame 0xc2' <<< "$markers" || { echo "JPEG is not progressive"; exit 1; }
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 clip.avi)
[ "$frames" -ge 2 ] || { echo "clip has $frames frames"; exit 1; }
grep -qE '^[0-9]+ frames in [0-9.]+ s$' "$work/demo.log" || { echo "no frame count"; exit 1; }
grep -qE '^frame rate: SDK [0-9]+\.[0-9] fps, counted here [0-9]+\.[0-9] fps$' "$work/demo.log" ||
    { echo "no frame rates"; exit 1; }
# The colour chart: colourful, and nothing clipped at the default exposure and gains.
saturation=$(convert snapshot.png -colorspace HSL -channel G -separate -format '%[fx:mean]' info:)
brightest=$(convert snapshot.png -format '%[fx:maxima]' info:)
awk -v s="$saturation" -v b="$brightest" 'BEGIN { exit !(s > 0.1 && b < 1) }' ||
    { echo "snapshot saturation $saturation, brightest $brightest"; exit 1; }
echo "demo files verified ($frames frames recorded)"
