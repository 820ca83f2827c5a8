#!/usr/bin/env bash
# Builds the Debian packages from a copy of the source tree, reusing an already built tree
# (nothing is compiled), checks them with lintian, and runs the packaged programs, Python module,
# GStreamer plugin and pkg-config file from the unpacked packages.
#   check_debian.sh SOURCE TREE WORK      TREE: a build tree of the preset "default"
set -euo pipefail
source=$(realpath "$1") tree=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work/src" && work=$(realpath "$work")
fail() { echo "debian check: $*" >&2; exit 1; }

# dpkg-buildpackage writes its products beside the source folder.
tar -C "$source" --exclude=./build --exclude=./.git -c . | tar -C "$work/src" -x
(cd "$work/src" && TAVLIN_DEB_BUILD_TREE="$tree" dpkg-buildpackage -us -uc -b) \
    > "$work/build.log" 2>&1 || { tail -40 "$work/build.log" >&2; fail "dpkg-buildpackage failed"; }
# The library's exports were compared with the symbols file (DPKG_GENSYMBOLS_CHECK_LEVEL=4 in
# debian/rules): a symbol added or lost fails the build above.

changes=("$work"/tavlin-sdk_*.changes)
[ -f "${changes[0]}" ] || fail "no .changes file"
lintian --fail-on error,warning --display-info "${changes[0]}" > "$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian reports errors or warnings"; }

# Which package holds what.
declare -A expect=(
    [libtavlinsdk-410qz-vke1]="usr/lib/*/libTavlinSdk_410QZ_VKE.so.1"
    [libtavlinsdk-dev]="usr/include/tavlin/tavlin.h usr/lib/*/libTavlinSdk_410QZ_VKE.so
                        usr/lib/*/pkgconfig/tavlin-sdk.pc usr/lib/*/cmake/TavlinSdk/TavlinSdkConfig.cmake"
    [tavlin-tools]="usr/bin/tavlin-ctl usr/bin/tavlin-viewer usr/bin/tavlin-vcamd usr/bin/tavlin-demo
                    lib/udev/rules.d/60-tavlin.rules etc/tavlin/usb-ids"
    [python3-tavlin]="usr/lib/python3/dist-packages/tavlin/__init__.py"
    [gstreamer1.0-tavlin]="usr/lib/*/gstreamer-1.0/libgsttavlin.so"
)
root="$work/root"
for package in "${!expect[@]}"; do
    deb=$(ls "$work/${package}"_*.deb 2> /dev/null | head -n 1)
    [ -n "$deb" ] || fail "no package $package"
    dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' > "$work/$package.list"
    for pattern in ${expect[$package]}; do
        grep -qx "${pattern//\*/[^/]*}" "$work/$package.list" || fail "$package lacks $pattern"
    done
    dpkg -x "$deb" "$root"
done
dpkg-deb -f "$work"/libtavlinsdk-410qz-vke1_*.deb Recommends | grep -q 'fonts-noto-cjk' ||
    fail "the library does not recommend a CJK font for its dialogs"
dpkg-deb -I "$work"/tavlin-tools_*.deb conffiles | grep -qx /etc/tavlin/usb-ids ||
    fail "the USB id list is not a conffile"
# Every module of the source's Python package is packaged.
for module in "$source"/python/tavlin/*.py; do
    [ -f "$root/usr/lib/python3/dist-packages/tavlin/$(basename "$module")" ] ||
        fail "python3-tavlin lacks $(basename "$module")"
done
# Debian's policy: no run paths under /usr.
for file in "$root"/usr/bin/* "$root"/usr/lib/*/*.so.* "$root"/usr/lib/*/gstreamer-1.0/*.so; do
    ! readelf -d "$file" | grep -qE 'RPATH|RUNPATH' || fail "$file has a run path"
done

# The unpacked packages at work, reached through the search paths a /usr install would not need.
libdir=$(dirname "$(ls "$root"/usr/lib/*/libTavlinSdk_410QZ_VKE.so.1)")
mkdir -p "$work/run" "$work/config" && chmod 700 "$work/run"
export LD_LIBRARY_PATH="$libdir" PATH="$root/usr/bin:$PATH"
export PYTHONPATH="$root/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1
export GST_PLUGIN_SYSTEM_PATH_1_0="" GST_PLUGIN_PATH="$libdir/gstreamer-1.0"
export GST_REGISTRY="$work/gst-registry.bin" PKG_CONFIG_PATH="$libdir/pkgconfig"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
export TAVLIN_SHARED_SECTION="${TAVLIN_SHARED_SECTION:-/tavlin}-debian"
unset TAVLIN_SDK_LIBRARY

: > "$work/vcamd.log"
tavlin-vcamd --cameras 0 --pacing fast > "$work/vcamd.log" 2>&1 &
daemon=$!
trap 'kill $daemon 2> /dev/null || true' EXIT
for _ in $(seq 50); do grep -q serving "$work/vcamd.log" && break; sleep 0.1; done
grep -q serving "$work/vcamd.log" || fail "the packaged daemon did not start: $(cat "$work/vcamd.log")"
[ "$(command -v tavlin-ctl)" = "$root/usr/bin/tavlin-ctl" ] || fail "tavlin-ctl is not the packaged one"
tavlin-ctl --daemon --list --info --snapshot "$work/snapshot.png" > "$work/ctl.out" 2> "$work/ctl.err" ||
    { cat "$work/ctl.err" >&2; fail "the packaged tavlin-ctl"; }
grep -q $'^0\t.*\tdaemon' "$work/ctl.out" || fail "tavlin-ctl lists no daemon camera: $(cat "$work/ctl.out")"
grep -q '^Sensor: *1280 x 1024' "$work/ctl.out" || fail "tavlin-ctl --info: $(cat "$work/ctl.out")"
[ -s "$work/snapshot.png" ] || fail "no snapshot"

# The packaged module loads the packaged library and takes a frame from the daemon's camera.
/usr/bin/python3 - "$libdir" > "$work/python.out" << 'PY' || fail "the packaged Python module"
import os, sys
import tavlin
assert os.path.realpath(tavlin.library().path).startswith(sys.argv[1]), tavlin.library().path
assert tavlin.__file__.startswith(os.environ["PYTHONPATH"]), tavlin.__file__
with tavlin.Camera() as camera:
    print(camera.snapshot().shape)
PY
grep -q '(1024, 1280' "$work/python.out" || fail "python snapshot: $(cat "$work/python.out")"
kill "$daemon" && wait "$daemon" || true

gst-inspect-1.0 tavlinsrc > "$work/inspect.log" 2>&1 || { cat "$work/inspect.log" >&2; fail "gst-inspect-1.0"; }
grep -q "$libdir/gstreamer-1.0/libgsttavlin.so" "$work/inspect.log" || fail "gst-inspect-1.0 found another plugin"
read -r -a libs <<< "$(pkg-config --libs tavlin-sdk)"
[ "${#libs[@]}" = 2 ] && [ "${libs[1]}" = -lTavlinSdk_410QZ_VKE ] &&
    [ "$(realpath "${libs[0]#-L}")" = "$libdir" ] || fail "pkg-config --libs tavlin-sdk: ${libs[*]}"
echo "Debian packages built, lintian-clean and working from $root"
