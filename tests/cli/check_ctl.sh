#!/usr/bin/env bash
# End-to-end checks of tavlin-ctl: exit codes, messages, and the files it writes opened by
# independent readers.
#   check_ctl.sh TOOL VCAMD WORK GROUP     GROUP: help | settings | capture | daemon
set -euo pipefail
tool=$1 vcamd=$2 work=$3 group=$4
rm -rf "$work" && mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
# A private runtime folder: no daemon of the user's (or of another test) is found by accident.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the tool; expects exit status $1, keeps stdout in out.txt and stderr in err.txt.
expect() {
    local want=$1; shift
    local got=0
    "$tool" "$@" > out.txt 2> err.txt || got=$?
    [ "$got" = "$want" ] || { cat err.txt >&2; fail "tavlin-ctl $* exited $got, not $want"; }
}
says() { grep -q -- "$1" "${2:-out.txt}" || { cat "${2:-out.txt}" >&2; fail "no '$1' in ${2:-out.txt}"; }; }

help_group() {
    expect 0 --help
    says '^Usage: tavlin-ctl'
    cp out.txt help.txt
    expect 0 --version
    says '^tavlin-ctl [0-9]'
    says 'library version 26281247'
    expect 64 --no-such-option
    says 'unknown option --no-such-option' err.txt
    expect 64
    says 'no action given' err.txt
    expect 64 --get
    says 'needs a value' err.txt
    expect 64 --list=1
    expect 64 --format gif --list
    # The USB id list: entries that do not parse are named and passed over; the udev rules
    # grant the ids that do.
    TAVLIN_USB_IDS_FILE=/nonexistent TAVLIN_USB_IDS=12345:1,beef expect 0 -q --in-process --list
    says '^0	'
    says '^note: TAVLIN_USB_IDS.*12345:1'
    says '^note: TAVLIN_USB_IDS.*beef'
    TAVLIN_USB_IDS_FILE=/nonexistent TAVLIN_USB_IDS=1234:abcd,zz expect 0 --udev-rules
    says 'ATTR{idVendor}=="1234", ATTR{idProduct}=="abcd", MODE="0660", GROUP="plugdev", TAG+="uaccess"'
    [ "$(grep -c idVendor out.txt)" = 1 ] || fail "rules for ids that do not parse"
    printf '# none\n' > ids
    TAVLIN_USB_IDS_FILE=$PWD/ids expect 0 --udev-rules
    says 'id list is empty'
    # The manual page: every long option of the help is in it, and groff reads it cleanly.
    local page=$MANPAGE
    [ -s "$page" ] || fail "no manual page at $page"
    groff -man -Tutf8 -ww -z "$page" 2> groff.txt
    [ ! -s groff.txt ] || { cat groff.txt; fail "groff warnings"; }
    local text
    text=$(groff -man -Tutf8 -P-cbou "$page" 2> /dev/null)
    # Each option of the help heads an entry of its own.
    for option in $(grep -oE -- '^ +(-[a-zA-Z], )?--[a-z-]+' help.txt | grep -oE -- '--[a-z-]+'); do
        grep -qE -- "^ +(-[a-zA-Z], )?$option" <<< "$text" ||
            fail "$option does not head an entry of the manual page"
    done
}

settings_group() {
    expect 0 --list-settings
    for name in exposure realexposure globalgain colormode gamma subsample window; do
        says "^$name "
    done
    expect 0 --set exposure=500,colormode=24 --set gamma=150 --get exposure,colormode,gamma
    says '^exposure=500$'
    says '^colormode=24$'
    says '^gamma=150$'
    says 'using an in-process virtual camera' err.txt
    # Gains, exposure and filters are kept for the next command.
    expect 0 --get gamma --get exposure
    says '^gamma=150$'
    says '^exposure=500$'
    # The 16-bit modes read back as the value that sets them, so output can be fed back.
    expect 0 --set colormode=16 --get colormode --set colormode=48 --get Color_Mode
    [ "$(cat out.txt)" = $'colormode=16\ncolormode=48' ] || fail "colour modes: $(cat out.txt)"
    expect 0 -q --set Real-Exposure=20000 --get exposure_time
    says '^exposure='
    [ ! -s err.txt ] || fail "--quiet still wrote: $(cat err.txt)"

    # Refusals: exit status and message carry the SDK's code; nothing changes.
    expect 9 --set gamma=201
    says 'set gamma=201 (range 0..200): invalid argument (error 9)' err.txt
    # Filter ranges and units are the library's catalogue.
    expect 0 --list-settings
    says '^exposure  *1\.\.16383  *lines '
    says '^grayoffsetb  *-255\.\.255  *- '
    expect 9 --set nosuchthing=1
    says "unknown setting 'nosuchthing'" err.txt
    expect 9 --set gamma=high
    expect 9 --set gamma
    expect 9 --set colormode=10
    expect 9 --set subsample=4
    expect 9 --set exposure=16384
    expect 9 --set ioport=256
    expect 7 --set window=1280x1024+1+0
    says 'capture window invalid (error 7)' err.txt
    expect 0 --get gamma,exposure
    says '^gamma=150$'
    expect 0 --set window=640x480+16+32 --get window --set subsample=1 --info
    says '^window=640x480+16+32$'
    says 'Image: *320 x 240, 24 bits per pixel'
    # The first failing action ends the command: the later get never runs.
    expect 9 --set gamma=999 --get gamma
    [ ! -s out.txt ] || fail "an action ran after a failure"

    expect 0 --all
    [ "$(wc -l < out.txt)" -ge 38 ] || fail "--all shows $(wc -l < out.txt) settings"
    says '^globalgain  *14$'

    # Sensor registers and SROM identification bytes.
    expect 0 --write-register 9=0x123 --read-register 9
    says '^register 9 = 291 (0x0123)$'

    expect 0 --write-srom 0x20=0xA5 --read-srom 32
    says 'srom 32 = 165 (0xA5)'
    expect 9 --read-register 256
    expect 9 --write-register 9=70000
    expect 9 --write-srom 1=256
    expect 9 --read-srom x

    expect 0 --list
    says $'^0\tTavlin410QZ-VKE_01\tin-process\t(selected)$'
    expect 0 --attach 4 -d 4 --list --info
    says $'^4\tTavlin410QZ-VKE_05\tin-process\t(selected)$'
    says 'Sensor: *1280 x 1024'
    expect 1 --attach 4 --attach 4
    says 'already attached' err.txt
    expect 2 --detach 6
    expect 9 --attach 32
    expect 0 --trigger 0:2
    says '0 pulses accepted (the camera is not in trigger mode)'
}

capture_group() {
    # Device 2, not 0: other programs streaming from device 0 on this machine hold its claim.
    local small=(-q -d 2 --pacing fast --set subsample=2)   # 320 x 256 frames
    expect 0 "${small[@]}" --snapshot s.bmp --snapshot s.raw --snapshot s100.jpg \
        --snapshot s.png --snapshot s.tiff
    expect 0 "${small[@]}" -f jpg20 --snapshot s20.jpg
    [ ! -s err.txt ] || fail "logging off, yet the SDK wrote: $(cat err.txt)"
    # -v and --debug turn the SDK's log on, on standard error; the environment takes precedence.
    expect 0 "${small[@]}" -v --snapshot v.bmp
    says ' info camera pid=[0-9]* tid=[0-9]* cam=[-0-9]* device 2 selected' err.txt
    grep -q ' debug ' err.txt && fail "-v logged at debug"
    expect 0 "${small[@]}" --debug --snapshot d.bmp
    says ' debug camera .* snapshot in idle mode' err.txt
    TAVLIN_LOG_LEVELS='*:error' expect 0 "${small[@]}" --debug --snapshot e.bmp
    [ ! -s err.txt ] || fail "--debug overrode TAVLIN_LOG_LEVELS: $(cat err.txt)"
    for f in s.bmp s100.jpg s.png s.tiff s20.jpg; do
        [ "$(identify -format '%w %h' "$f")" = "320 256" ] || fail "bad size: $f"
    done
    [ "$(stat -c %s s.raw)" = $((320 * 3 * 256)) ] || fail "raw size $(stat -c %s s.raw)"
    pngcheck -q s.png
    tiffinfo s.tiff > /dev/null
    local q100 q20
    q100=$(identify -format '%Q' s100.jpg) q20=$(identify -format '%Q' s20.jpg)
    [ "$q100" = 100 ] && [ "$q20" = 20 ] || fail "JPEG qualities $q100 and $q20"
    expect 0 "${small[@]}" -f jpg70 --snapshot q70.jpg
    expect 0 "${small[@]}" --set colormode=8 --snapshot gray.png
    [ "$(identify -format '%Q' q70.jpg)" = 70 ] || fail "jpg70 quality"
    [ "$(identify -format '%[type]' gray.png)" = Grayscale ] || fail "8-bit snapshot not gray"
    # The chart scene has colour: its mean saturation is several times the ramp's.
    expect 0 "${small[@]}" --scene chart --snapshot chart.png
    local saturation
    saturation=$(convert chart.png -colorspace HSL -channel G -separate -format '%[fx:mean]' info:)
    awk -v s="$saturation" 'BEGIN { exit !(s > 0.1) }' || fail "chart saturation $saturation"
    expect 64 "${small[@]}" --scene sky --snapshot sky.png
    says 'bad scene sky' err.txt

    expect 0 "${small[@]}" --capture 3 -o 'frame-%02d.png'
    [ "$(cat out.txt)" = $'frame-01.png\nframe-02.png\nframe-03.png' ] || fail "$(cat out.txt)"
    for f in frame-0{1,2,3}.png; do pngcheck -q "$f"; done
    # The ramp scene moves with every frame, so three frames are three pictures.
    [ "$(md5sum frame-0?.png | cut -d' ' -f1 | sort -u | wc -l)" = 3 ] || fail "frames repeat"
    expect 0 "${small[@]}" --capture 2 -o shot.bmp
    [ -s shot-001.bmp ] && [ -s shot-002.bmp ] || fail "numbered names without a pattern"

    # Refusals before any frame is taken.
    expect 9 "${small[@]}" -f png --snapshot wrong.jpg
    says 'does not suit' err.txt
    expect 9 "${small[@]}" --snapshot noextension
    expect 9 "${small[@]}" --capture 0
    expect 9 "${small[@]}" --capture 2 -o 'bad-%s.png'
    [ ! -e wrong.jpg ] && [ ! -e noextension ] || fail "a refused file was written"
    expect 12 "${small[@]}" --snapshot missing-folder/x.png
    says 'file or name failure (error 12)' err.txt

    expect 0 "${small[@]}" --record clip.avi --duration 400
    local frames
    frames=$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_read_frames -of csv=p=0 clip.avi)
    [ "$frames" -ge 2 ] || fail "clip has $frames frames"
    says "clip.avi: $frames frames"
    [ "$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 \
        clip.avi)" = "320,256" ] || fail "clip size"

    expect 0 "${small[@]}" --stream 10 --stats
    says '^10 frames in'
    local delivered processed skipped failed
    delivered=$(sed -n 's/^delivered=//p' out.txt) processed=$(sed -n 's/^processed=//p' out.txt)
    skipped=$(sed -n 's/^skipped=//p' out.txt) failed=$(sed -n 's/^failed=//p' out.txt)
    [ "$processed" -ge 10 ] || fail "processed $processed"
    [ "$delivered" = $((processed + skipped + failed)) ] || fail "accounting: $(cat out.txt)"

    # Ctrl-C ends a stream cleanly: the camera is released, so its settings are saved.
    # The signal comes once the stream runs (the camera's log says so), however slow the start.
    TAVLIN_LOG_LEVELS=camera:info "$tool" "${small[@]}" --set gamma=77 --stream 1000000 \
        > out.txt 2> err.txt &
    local streaming=$! status=0
    for _ in $(seq 300); do grep -q 'idle -> preview' err.txt && break; sleep 0.1; done
    says 'idle -> preview' err.txt
    kill -INT "$streaming"
    wait "$streaming" || status=$?
    [ "$status" = 130 ] || fail "interrupted stream exited $status"
    says 'interrupted' err.txt
    expect 0 -q -d 2 --get gamma
    says '^gamma=77$'

    expect 0 "${small[@]}" --trigger-capture 2 -o 'trig-%d.bmp'
    [ "$(identify -format '%w %h\n' trig-1.bmp trig-2.bmp | sort -u)" = "320 256" ] ||
        fail "trigger frames"
}

daemon_group() {
    expect 2 --daemon --list
    says 'no virtual-camera daemon' err.txt
    "$vcamd" --cameras 2 --pacing fast > vcamd.log 2>&1 &
    daemon=$!
    trap 'kill $daemon 2> /dev/null || true' EXIT
    for _ in $(seq 50); do grep -q serving vcamd.log && break; sleep 0.1; done
    grep -q serving vcamd.log || fail "daemon did not start: $(cat vcamd.log)"

    expect 0 --vcam-list
    says "using the virtual-camera daemon's cameras" err.txt
    [ "$(cat out.txt)" = 2 ] || fail "daemon list: $(cat out.txt)"
    expect 0 --attach 3 --vcam-list -d 3 --list --info
    says '^3$'
    says $'^3\tTavlin410QZ-VKE_04\tdaemon\t(selected)$'
    says 'virtual-camera daemon'
    expect 1 --attach 3
    says 'already attached' err.txt
    expect 0 --detach 3 --vcam-list
    [ "$(cat out.txt)" = 2 ] || fail "camera 3 still listed"
    expect 2 -d 3 --info
    expect 2 --detach 3
    says 'no camera at 3' err.txt
    expect 0 --trigger 2:3
    says '0 pulses accepted'
    # Settings and SROM bytes through the daemon's camera; the next process sees them.
    expect 0 -d 2 --set exposure=321 --write-srom 0x21=0x5A
    expect 0 -d 2 --get exposure --read-srom 0x21
    says '^exposure=321$'
    says 'srom 33 = 90 (0x5A)'
    expect 0 -q -d 2 --set subsample=3 --trigger-capture 2 -o 'dtrig-%d.png'
    [ "$(identify -format '%w %h\n' dtrig-1.png dtrig-2.png | sort -u)" = "160 128" ] ||
        fail "trigger frames through the daemon"
    # Listing needs no camera at the selected index.
    expect 0 --list
    says $'^2\tTavlin410QZ-VKE_03\tdaemon$'
    expect 2 --info
    says 'camera 0: device not available' err.txt
    says 'device not available (absent or claimed elsewhere) (error 2)' err.txt
    expect 0 --detach 2 --list
    says '^no camera$'
    # An in-process camera is still available on request.
    expect 0 --in-process --list
    says 'using an in-process virtual camera' err.txt
    kill "$daemon"
    wait "$daemon" || true
    expect 0 --list
    says 'using an in-process virtual camera (no daemon runs)' err.txt
}

"${group}_group"
echo "tavlin-ctl $group checks passed"
