#!/usr/bin/env bash
# tavlin-vcamd under a service manager, without one running: the installed systemd user units
# checked by systemd-analyze, socket activation through systemd-socket-activate (the sockets the
# unit lists, handed to the daemon), and Type=notify readiness on a notification socket of our own.
#   check_vcamd_service.sh VCAMD CTL BUILD_DIR UNIT_SOURCE_DIR WORK GROUP
#   GROUP: units | activation | notify
set -euo pipefail
vcamd=$1 ctl=$2 build=$3 units=$4 work=$5 group=$6
rm -rf "$work" && mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
cd "$work"
folder=$XDG_RUNTIME_DIR/tavlin

fail() { echo "FAIL: $*" >&2; exit 1; }
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done' EXIT

# Waits up to 10 s for a command to succeed.
wait_for() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
    return 1
}

# The sockets tavlin-vcamd.socket listens on, %t being this run's runtime folder.
unit_sockets() {
    sed -n 's/^ListenStream=//p' "$units/tavlin-vcamd.socket" | sed "s|%t|$XDG_RUNTIME_DIR|"
}

# Connects to a Unix stream socket and closes again (the connection that activates a service).
poke() {
    python3 -c 'import socket, sys; s = socket.socket(socket.AF_UNIX); s.connect(sys.argv[1]); s.close()' "$1"
}

units_group() {
    # Installed for a prefix given only at install time: the service names that prefix's daemon.
    "${CMAKE:-cmake}" --install "$build" --prefix "$work/prefix" --component tavlin-units > install.log
    local installed=$work/prefix/lib/systemd/user
    [ -f "$installed/tavlin-vcamd.socket" ] || fail "no socket unit in $installed"
    grep -qx "ExecStart=$work/prefix/bin/tavlin-vcamd --cameras 0" "$installed/tavlin-vcamd.service" ||
        fail "ExecStart not of the prefix: $(grep ExecStart "$installed/tavlin-vcamd.service")"
    # verify checks that ExecStart names an executable.
    mkdir -p "$work/prefix/bin" && ln -s "$vcamd" "$work/prefix/bin/tavlin-vcamd"
    local got=0
    systemd-analyze --user verify --man=no --generators=no \
        "$installed/tavlin-vcamd.socket" "$installed/tavlin-vcamd.service" > verify.txt 2>&1 || got=$?
    [ "$got" = 0 ] && [ ! -s verify.txt ] || { cat verify.txt >&2; fail "systemd-analyze verify ($got)"; }
    # The unit's sockets are the daemon's: the control socket and camera 0's, in its folder.
    [ "$(unit_sockets)" = "$folder/control.sock"$'\n'"$folder/TvlnQZ410VKE-0.sock" ] ||
        fail "socket unit listens on $(unit_sockets)"
}

activation_group() {
    # The stand-in passes on only the environment it is told to, as a service manager would.
    local listen=(-E XDG_RUNTIME_DIR -E TAVLIN_SHARED_SECTION)
    for path in $(unit_sockets); do listen+=(-l "$path"); done
    # systemd creates the folder with the unit's DirectoryMode; the stand-in does not.
    mkdir -m 700 "$folder"
    systemd-socket-activate "${listen[@]}" "$vcamd" --cameras 0 --pacing fast > vcamd.log 2>&1 &
    local daemon=$!
    pids+=("$daemon")
    wait_for test -S "$folder/TvlnQZ410VKE-0.sock" || fail "no sockets: $(cat vcamd.log)"
    ! grep -q serving vcamd.log || fail "the daemon ran before anyone connected"

    # The first client starts the daemon, which serves on the sockets it was handed.
    "$ctl" --daemon --list > out.txt 2> err.txt || { cat err.txt; fail "list through the daemon"; }
    grep -q $'^0\tTavlin410QZ-VKE_01\tdaemon' out.txt || fail "camera 0 not listed: $(cat out.txt)"
    grep -q "serving 1 camera(s) in $folder" vcamd.log || fail "daemon log: $(cat vcamd.log)"
    "$ctl" --daemon -q --set subsample=3 --snapshot snap.png ||
        fail "snapshot through the handed-over camera socket"
    [ "$(identify -format '%w %h' snap.png)" = "160 128" ] || fail "snapshot size"

    # A handed-over camera socket stays bound while its camera is unplugged; opens are refused.
    "$ctl" -q --detach 0
    [ -S "$folder/TvlnQZ410VKE-0.sock" ] || fail "camera 0's handed-over socket was removed"
    local got=0
    "$ctl" -q --daemon --info 2> err.txt || got=$?
    [ "$got" = 2 ] || fail "open of a detached camera exited $got"
    "$ctl" -q --attach 0 --attach 1 --vcam-list > out.txt
    [ "$(cat out.txt)" = $'0\n1' ] || fail "vcam list: $(cat out.txt)"
    "$ctl" -q --daemon -d 1 --info > /dev/null || fail "camera 1 on a socket of the daemon's own"

    # Stopping: the sockets it bound itself go, those it was handed stay for the next start.
    "$vcamd" --send shutdown > /dev/null
    got=0
    wait "$daemon" || got=$?
    [ "$got" = 0 ] || fail "daemon exited $got: $(cat vcamd.log)"
    [ ! -e "$folder/TvlnQZ410VKE-1.sock" ] || fail "camera 1's socket left behind"
    [ -S "$folder/control.sock" ] && [ -S "$folder/TvlnQZ410VKE-0.sock" ] ||
        fail "handed-over sockets were removed"

    # A socket that is not one of the daemon's is refused, not served.
    systemd-socket-activate -E XDG_RUNTIME_DIR -l "$work/elsewhere.sock" "$vcamd" > wrong.log 2>&1 &
    daemon=$!
    pids+=("$daemon")
    wait_for test -S "$work/elsewhere.sock" || fail "no socket: $(cat wrong.log)"
    poke "$work/elsewhere.sock"
    got=0
    wait "$daemon" || got=$?
    [ "$got" = 1 ] || fail "daemon on a foreign socket exited $got"
    grep -q "socket passed in at $work/elsewhere.sock is neither" wrong.log ||
        fail "no reason given: $(cat wrong.log)"
}

notify_group() {
    # Records every datagram on the notification socket until the daemon says it stops.
    python3 -u -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
s.settimeout(60)
with open(sys.argv[2], "a") as log:
    while True:
        message = s.recv(4096).decode()
        log.write(message + "\n")
        log.flush()
        if "STOPPING=1" in message.split("\n"):
            break
' "$work/notify.sock" notify.txt &
    local listener=$!
    pids+=("$listener")
    wait_for test -S "$work/notify.sock" || fail "no notification socket"

    NOTIFY_SOCKET=$work/notify.sock "$vcamd" --cameras 0 --pacing fast > vcamd.log 2>&1 &
    local daemon=$!
    pids+=("$daemon")
    wait_for grep -qx READY=1 notify.txt || fail "no READY=1: $(cat vcamd.log)"
    # Ready means serving: the control socket answers at once.
    [ "$("$vcamd" --send ping)" = ok ] || fail "not serving when ready"
    grep -qx "STATUS=serving 1 camera(s) in $folder" notify.txt || fail "status: $(cat notify.txt)"

    # A daemon that cannot start reports no readiness.
    local got=0
    NOTIFY_SOCKET=$work/notify.sock "$vcamd" > second.log 2>&1 || got=$?
    [ "$got" = 1 ] || fail "second daemon exited $got"

    kill -TERM "$daemon"
    got=0
    wait "$daemon" || got=$?
    [ "$got" = 0 ] || fail "daemon exited $got"
    wait "$listener" || fail "listener: $(cat notify.txt)"
    [ "$(grep -cx READY=1 notify.txt)" = 1 ] || fail "readiness reported twice: $(cat notify.txt)"
    grep -qx STOPPING=1 notify.txt || fail "no STOPPING=1"
}

"${group}_group"
echo "tavlin-vcamd $group checks passed"
