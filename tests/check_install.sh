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
