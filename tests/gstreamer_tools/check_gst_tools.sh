#!/usr/bin/env bash
# The GStreamer plugin from outside, as a user meets it: GStreamer's own tools, the examples in
# examples/gstreamer, and independent readers of what they write, against cameras of a private
# virtual-camera daemon.
#   check_gst_tools.sh PLUGIN_DIR VCAMD APPSINK EXAMPLES DOC WORK GROUP
#     GROUP: inspect | record | opencv | appsink | monitor | refusals
set -euo pipefail
plugin_dir=$1 vcamd=$2 appsink=$3 examples=$4 doc=$5 work=$6 group=$7
rm -rf "$work" && mkdir -p "$work/config" "$work/run" && chmod 700 "$work/run"
# Daemon sockets, settings, the claim section and GStreamer's registry are this check's own.
section="/tavlin-gst-tools-$group-$$"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" TAVLIN_SHARED_SECTION=$section
export GST_PLUGIN_PATH=$plugin_dir GST_REGISTRY="$work/registry.bin"
# Only the daemon's cameras: a USB camera of the machine would take the indices the checks
# expect to be free.
export TAVLIN_USB_IDS_FILE=/nonexistent
unset TAVLIN_USB_IDS
# No help requester or crash dialog may wait for a user.
unset DISPLAY
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
daemon=
stop_daemon() {
    [ -n "$daemon" ] || return 0
    kill -TERM "$daemon" 2> /dev/null || true
    wait "$daemon" 2> /dev/null || true
    daemon=
}
trap 'stop_daemon; rm -f "/dev/shm/${section#/}"' EXIT
start_daemon() {
    "$vcamd" --scene chart --cameras "$1" > vcamd.log 2>&1 &
    daemon=$!
    for _ in $(seq 50); do grep -q serving vcamd.log && return 0; sleep 0.1; done
    fail "daemon did not start: $(cat vcamd.log)"
}

# Runs a command under a time limit; expects exit status $1 ("fail" for any but 0), keeps
# stdout in out.txt, stderr in err.txt and both in all.txt.
expect() {
    local want=$1; shift
    local got=0
    timeout 30 "$@" > out.txt 2> err.txt || got=$?
    cat out.txt err.txt > all.txt
    [ "$got" != 124 ] || fail "$* hung"
    # 128 + signal: a crash is never the clean failure a test asks for.
    [ "$got" -lt 128 ] || [ "$got" = 255 ] || { cat err.txt >&2; fail "$* died, status $got"; }
    if [ "$want" = fail ]; then
        [ "$got" != 0 ] || fail "$* succeeded"
    else
        [ "$got" = "$want" ] || { cat out.txt err.txt >&2; fail "$* exited $got, not $want"; }
    fi
}
says() { grep -q -- "$1" "${2:-all.txt}" || { cat "${2:-all.txt}" >&2; fail "no '$1' in ${2:-all.txt}"; }; }

inspect_group() {
    # Fatal warnings: any GLib critical or GStreamer warning while the plugin loads, registers
    # or describes its element aborts the tool.
    GST_DEBUG=2 expect 0 gst-inspect-1.0 --gst-fatal-warnings tavlinsrc
    [ ! -s err.txt ] || fail "gst-inspect-1.0 wrote to stderr: $(cat err.txt)"
    says '^  Description  *Streams the processed frames'
    says '^  Klass  *Source/Video'
    says "^  Filename  *$plugin_dir/libgsttavlin.so$"
    cp out.txt inspect.txt
    # The element's own properties are those after the base classes' ones; every one, and
    # every colour mode, has its entry in the documentation.
    local own
    own=$(sed -n '/^Element Properties:/,$p' inspect.txt | grep -oE '^  [a-z][a-z0-9-]* ' |
          tr -d ' ' | grep -vxE 'blocksize|do-timestamp|name|num-buffers|parent|typefind')
    [ "$(wc -w <<< "$own")" -ge 12 ] || fail "only these properties: $own"
    for property in $own; do
        grep -q -- "^| \`$property\` " "$doc" || fail "property $property is not in $doc"
    done
    for mode in $(grep -oE '^ +\([0-9]+\): [a-z0-9]+ ' inspect.txt | awk '{print $2}'); do
        grep -q -- "^| \`$mode\` " "$doc" || fail "colour mode $mode is not in $doc"
    done
    GST_DEBUG=2 expect 0 gst-inspect-1.0 --gst-fatal-warnings --print-plugin-auto-install-info tavlin
    [ ! -s err.txt ] || fail "auto-install info wrote to stderr: $(cat err.txt)"
    [ "$(cat out.txt)" = element-tavlinsrc ] || fail "auto-install info: $(cat out.txt)"
    # The plugin gives the device provider too.
    GST_DEBUG=2 expect 0 gst-inspect-1.0 --gst-fatal-warnings tavlin
    says 'tavlindeviceprovider'
}

record_group() {
    start_daemon 1
    expect 0 bash "$examples/record-mp4.sh" 1 12 "$work/clip.mp4" sub-sample=1
    says 'Got EOS'
    local probe
    probe=$(ffprobe -v error -count_frames -select_streams v:0 -of csv=p=0 \
        -show_entries stream=codec_name,width,height,pix_fmt,nb_read_frames clip.mp4)
    [ "$probe" = "h264,640,512,yuv420p,12" ] || fail "clip: $probe"
    # The clip's frame rate is the camera's, not a made-up one.
    local rate
    rate=$(ffprobe -v error -select_streams v:0 -of csv=p=0 -show_entries stream=avg_frame_rate \
        clip.mp4)
    awk -F/ -v r="$rate" 'BEGIN { split(r, f, "/"); exit !(f[2] > 0 && f[1] / f[2] > 5) }' ||
        fail "clip frame rate $rate"
    # The documented defaults record camera 0 to tavlin.mp4: here no camera is at 0.
    expect fail bash "$examples/record-mp4.sh"
    says 'no camera free at device index 0' err.txt
}

opencv_group() {
    start_daemon 0
    # Debian's interpreter and OpenCV (with GStreamer), whatever python3 is first on PATH.
    expect 0 /usr/bin/python3 "$examples/opencv_capture.py" --count 3
    says '^1280x1024, 3 channel(s) of uint8$'
    [ "$(grep -c '^frame [0-9]*: mean' out.txt)" = 3 ] || fail "frames: $(cat out.txt)"
    # The colour chart at the default exposure: neither black nor white.
    awk '/^frame/ { if ($4 < 20 || $4 > 235) exit 1 }' out.txt || fail "levels: $(cat out.txt)"
    expect 0 /usr/bin/python3 "$examples/opencv_capture.py" --count 2 --color-mode gray16
    says '^1280x1024, 1 channel(s) of uint16$'
    # 10 significant bits: the mean is above 8-bit range and below 1024.
    awk '/^frame/ { if ($4 <= 255 || $4 >= 1024) exit 1 }' out.txt || fail "gray16: $(cat out.txt)"
    # No camera at the index: the pipeline does not open.
    expect 2 /usr/bin/python3 "$examples/opencv_capture.py" --device 3 --count 2
    says 'cannot open the pipeline' err.txt
}

appsink_group() {
    start_daemon 0,2
    expect 0 "$appsink" 2 6 video/x-raw,format=GRAY8
    says '^caps: GRAY8 1280x1024, [0-9]*/[0-9]* fps, 1310720 bytes a frame$'
    [ "$(grep -c '^frame [0-9]*: pts [0-9:.]* offset [0-9]* captured [0-9:.]* (' out.txt)" = 6 ] ||
        fail "frames: $(cat out.txt)"
    # Capture times are recent: a frame is handed on within a second of its capture.
    awk '/^frame/ { age = substr($9, 2) + 0; if (age < 0 || age > 1000) exit 1 }' out.txt ||
        fail "capture ages: $(cat out.txt)"
    # The presentation times rise with the frames.
    awk '/^frame/ { if (seen && $4 <= last) exit 1; last = $4; seen = 1 }' out.txt ||
        fail "times out of order: $(cat out.txt)"
    expect 0 "$appsink" 0 2 video/x-raw,format=BGRA64_LE,width=1280
    says '^caps: BGRA64_LE 1280x1024, .* 10485760 bytes a frame$'

    # No camera at the index: a clean, readable failure.
    expect 2 "$appsink" 1 3
    says '^error from camera: .*device not available' err.txt
    [ "$(grep -c '^error' err.txt)" = 1 ] || fail "more than one error shown: $(cat err.txt)"

    # The daemon goes away while the example streams: the element reports the lost camera and
    # the example ends with its pipeline status rather than waiting.
    timeout 30 "$appsink" 0 100000 > unplug.txt 2> unplug.err &
    local reader=$!
    for _ in $(seq 100); do grep -q '^frame 3:' unplug.txt && break; sleep 0.1; done
    grep -q '^frame 3:' unplug.txt || fail "no frames before the unplug"
    stop_daemon
    local got=0
    wait "$reader" || got=$?
    [ "$got" = 2 ] || { cat unplug.err >&2; fail "after the unplug the example exited $got"; }
    grep -q '^error from camera: the camera stream stopped' unplug.err ||
        fail "unplug message: $(cat unplug.err)"
}

monitor_group() {
    start_daemon 0,2
    expect 0 gst-device-monitor-1.0 Video/Source
    # Each camera by name, its index among its properties, and a launch line that opens it.
    local listing
    listing=$(awk '/name  *: Tavlin410QZ-VKE_/ { name = $3 } /device.index = / && name { print name, $3; name = "" }' out.txt)
    [ "$listing" = $'Tavlin410QZ-VKE_01 0\nTavlin410QZ-VKE_03 2' ] || fail "devices: $listing"
    says 'device.reach = daemon'
    says 'gst-launch-1.0 tavlinsrc device=2 '
    expect 0 gst-launch-1.0 -q tavlinsrc device=2 num-buffers=2 ! fakesink
    stop_daemon
    expect 0 gst-device-monitor-1.0 Video/Source
    ! grep -q Tavlin out.txt || fail "cameras listed without the daemon: $(cat out.txt)"
}

refusals_group() {
    start_daemon 0
    # A format the camera has no mode for cannot even be linked.
    expect fail gst-launch-1.0 tavlinsrc num-buffers=2 ! video/x-raw,format=I420 ! fakesink
    says "tavlinsrc0 can't handle caps video/x-raw, format=(string)I420"
    # A size the template allows but the window does not give: refused at negotiation.
    expect fail gst-launch-1.0 tavlinsrc num-buffers=2 ! video/x-raw,width=640 ! fakesink
    says 'The camera cannot give a format downstream accepts'
    expect fail gst-launch-1.0 tavlinsrc color-mode=rgb565 num-buffers=2 ! fakesink
    says 'could not set property "color-mode" in element "tavlinsrc" to "rgb565"'
    expect fail gst-launch-1.0 tavlinsrc no-such-property=1 num-buffers=2 ! fakesink
    says 'no property "no-such-property" in element "tavlinsrc"'
    # A value the property admits but the camera refuses: an error at start, naming it.
    expect fail gst-launch-1.0 tavlinsrc exposure-lines=0 num-buffers=2 ! fakesink
    says 'exposure-lines 0: invalid argument'
    # The 48-bit mode has no GStreamer format; the message names the one to use.
    expect fail gst-launch-1.0 tavlinsrc color-mode=bgr48 num-buffers=2 ! fakesink
    says 'use color-mode=bgra64'
    # A window off the sensor is refused at start, with its numbers.
    expect fail gst-launch-1.0 tavlinsrc x=1000 width=640 num-buffers=2 ! fakesink
    says 'window 640x1024+1000+0 does not fit the 1280x1024 sensor'
    # After all that the camera still streams: nothing was left claimed.
    expect 0 gst-launch-1.0 -q tavlinsrc num-buffers=2 ! fakesink
}

"${group}_group"
echo "gstreamer tools: $group checks passed"
