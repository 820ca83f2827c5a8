#!/usr/bin/env bash
# Installs the SDK into a temporary prefix, checks what landed where, and builds and runs the
# out-of-tree example against it twice: found by pkg-config and by find_package.
set -euo pipefail
build=$1 example=$2 work=$3
rm -rf "$work" && mkdir -p "$work/config"
export XDG_CONFIG_HOME="$work/config"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

fail() { echo "install check: $*" >&2; exit 1; }
libdir=$(dirname "$(find "$prefix" -name 'libTavlinSdk_410QZ_VKE.so.1' | head -n 1)")
[ -d "$libdir" ] || fail "no library with the major-version name"
[ "$(readlink "$libdir/libTavlinSdk_410QZ_VKE.so")" = libTavlinSdk_410QZ_VKE.so.1 ] ||
    fail "development link does not point at the SONAME"
[ -f "$libdir/$(readlink "$libdir/libTavlinSdk_410QZ_VKE.so.1")" ] || fail "SONAME link dangles"
readelf -d "$libdir/libTavlinSdk_410QZ_VKE.so.1" | grep -q 'SONAME.*\[libTavlinSdk_410QZ_VKE.so.1\]' ||
    fail "wrong SONAME"
for f in include/tavlin/tavlin.h include/tavlin/tavlin_host.h include/tavlin/tavlin_vcam.h \
         include/tavlin/tavlin_ext.h \
         bin/tavlin-demo bin/tavlin-vcamd share/doc/TavlinSdk/README.md \
         share/doc/TavlinSdk/daemon.md share/doc/TavlinSdk/usb.md etc/tavlin/usb-ids \
         lib/udev/rules.d/60-tavlin.rules; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
# Manual pages, the daemon's systemd user units (naming the daemon of this prefix) and completion.
for f in share/man/man1/tavlin-ctl.1 share/man/man1/tavlin-vcamd.1 share/man/man1/tavlin-viewer.1 \
         share/man/man1/tavlin-demo.1 lib/systemd/user/tavlin-vcamd.socket \
         lib/systemd/user/tavlin-vcamd.service share/bash-completion/completions/tavlin-ctl; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
grep -q "^ExecStart=$prefix/bin/tavlin-vcamd " "$prefix/lib/systemd/user/tavlin-vcamd.service" ||
    fail "the installed service does not start the installed daemon"
[ -f "$libdir/pkgconfig/tavlin-sdk.pc" ] || fail "missing tavlin-sdk.pc"
[ -f "$libdir/cmake/TavlinSdk/TavlinSdkConfig.cmake" ] || fail "missing TavlinSdkConfig.cmake"
"$prefix/bin/tavlin-vcamd" --help > /dev/null
# The installed rules grant nothing until the id list names the camera.
grep -q 'id list is empty' "$prefix/lib/udev/rules.d/60-tavlin.rules" || fail "udev rules"
# The installed Python package loads the installed library.
loaded=$(PYTHONPATH="$prefix/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 -c 'import tavlin; print(tavlin.library().path)')
version=$(PYTHONPATH="$prefix/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 -c 'import tavlin; print(tavlin.__version__)')
[ "$version" != "0+unknown" ] || fail "the installed Python package has no version"
[ "$(realpath "$loaded")" = "$(realpath "$libdir/libTavlinSdk_410QZ_VKE.so.1")" ] ||
    fail "the installed Python package loads $loaded"
found=$(ldd "$prefix/bin/tavlin-demo" | awk '/libTavlinSdk_410QZ_VKE/ { print $3 }')
[ "$(realpath "$found")" = "$(realpath "$libdir/libTavlinSdk_410QZ_VKE.so.1")" ] ||
    fail "the installed demo does not find the installed library"

# The GStreamer plugin, when built: installed into GStreamer's folder of the prefix, finding the
# installed library by its run path.
if [ -f "$build/gstreamer/libgsttavlin.so" ]; then
    plugin="$libdir/gstreamer-1.0/libgsttavlin.so"
    [ -f "$plugin" ] || fail "missing the GStreamer plugin"
    found=$(ldd "$plugin" | awk '/libTavlinSdk_410QZ_VKE/ { print $3 }')
    [ "$(realpath "$found")" = "$(realpath "$libdir/libTavlinSdk_410QZ_VKE.so.1")" ] ||
        fail "the installed plugin does not find the installed library"
    GST_REGISTRY="$work/gst-registry.bin" GST_PLUGIN_SYSTEM_PATH_1_0= \
        GST_PLUGIN_PATH="$libdir/gstreamer-1.0" gst-inspect-1.0 tavlinsrc > "$work/inspect.log" ||
        fail "gst-inspect-1.0 does not load the installed plugin"
fi

# Every program installed into bin runs from the prefix with a clean environment (no
# LD_LIBRARY_PATH): its run path finds the installed library. A private runtime folder and claim
# table keep the daemon below apart from the suite's.
mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
clean=(env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config"
       XDG_RUNTIME_DIR="$work/run" TAVLIN_SHARED_SECTION="${TAVLIN_SHARED_SECTION:-/tavlin}-install")
programs=0
for program in "$prefix"/bin/*; do
    name=$(basename "$program")
    readelf -d "$program" | grep -q 'RUNPATH.*\$ORIGIN/\.\./' || fail "$name has no run path to the prefix"
    if [ "$name" = tavlin-demo ]; then
        # The demo takes no options: it runs once, writing into the folder given.
        "${clean[@]}" "$program" "$work/demo-output" > "$work/demo.log" 2>&1 ||
            { cat "$work/demo.log" >&2; fail "tavlin-demo does not run from the prefix"; }
    else
        "${clean[@]}" "$program" --help > "$work/$name.help" 2>&1 ||
            { cat "$work/$name.help" >&2; fail "$name --help does not run from the prefix"; }
    fi
    programs=$((programs + 1))
done
[ "$programs" -ge 4 ] || fail "only $programs programs installed into bin"

# tavlin-ctl against a daemon of the prefix: list, describe and snapshot its camera.
: > "$work/vcamd.log"
"${clean[@]}" "$prefix/bin/tavlin-vcamd" --cameras 0 --pacing fast > "$work/vcamd.log" 2>&1 &
daemon=$!
trap 'kill $daemon 2> /dev/null || true' EXIT
for _ in $(seq 50); do grep -q serving "$work/vcamd.log" && break; sleep 0.1; done
grep -q serving "$work/vcamd.log" || fail "the installed daemon did not start: $(cat "$work/vcamd.log")"
"${clean[@]}" "$prefix/bin/tavlin-ctl" --daemon --list --info --snapshot "$work/snapshot.bmp" \
    > "$work/ctl.out" 2> "$work/ctl.err" || { cat "$work/ctl.err" >&2; fail "installed tavlin-ctl"; }
grep -q "virtual-camera daemon" "$work/ctl.err" || fail "tavlin-ctl did not use the daemon"
grep -q $'^0\t' "$work/ctl.out" || fail "tavlin-ctl lists no camera 0: $(cat "$work/ctl.out")"
[ -s "$work/snapshot.bmp" ] || fail "no snapshot from the installed tavlin-ctl"
kill "$daemon" && wait "$daemon" || true

# The installed library reads the USB id list installed with it, <prefix>/etc/tavlin/usb-ids.
cp "$prefix/etc/tavlin/usb-ids" "$work/usb-ids.shipped"
echo 1234:abcd >> "$prefix/etc/tavlin/usb-ids"
"${clean[@]}" "$prefix/bin/tavlin-ctl" --udev-rules > "$work/rules.out"
cp "$work/usb-ids.shipped" "$prefix/etc/tavlin/usb-ids"
grep -q 'ATTR{idVendor}=="1234", ATTR{idProduct}=="abcd"' "$work/rules.out" ||
    fail "the installed library does not read the prefix's id list"

# pkg-config, with the example's Makefile.
cp -r "$example" "$work/by-pkgconfig"
PKG_CONFIG_PATH="$libdir/pkgconfig" make -s -C "$work/by-pkgconfig"
LD_LIBRARY_PATH="$libdir" "$work/by-pkgconfig/minimal" | tee "$work/pkgconfig.out"
grep -q 'one 1280x1024 snapshot' "$work/pkgconfig.out" || fail "pkg-config build did not run"

# find_package, with the example's CMakeLists.txt.
cmake -S "$example" -B "$work/by-cmake" -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log"
cmake --build "$work/by-cmake" > "$work/cmake-build.log"
"$work/by-cmake/minimal" | tee "$work/cmake.out"
grep -q 'one 1280x1024 snapshot' "$work/cmake.out" || fail "find_package build did not run"
echo "install verified in $prefix"
