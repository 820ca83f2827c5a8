#!/bin/sh
# Runs a program under the umockdev preload: usb_wrapper.sh [--compiler=CXX] PROGRAM [ARGS...].
# A sanitizer runtime the program links goes first in LD_PRELOAD (AddressSanitizer refuses to
# start otherwise), then the preload, then whatever LD_PRELOAD held already.
compiler=${CXX:-c++}
case "$1" in
    --compiler=*) compiler=${1#--compiler=}; shift ;;
esac
[ $# -gt 0 ] || { echo "usage: $0 [--compiler=CXX] PROGRAM [ARGS...]" >&2; exit 2; }

runtime=
needed=$(readelf -d "$1" 2>/dev/null)
for lib in libasan.so libtsan.so; do
    case "$needed" in
        *"[$lib."*) runtime=$("$compiler" -print-file-name="$lib") ;;
    esac
done

preload=libumockdev-preload.so.0
[ -n "$runtime" ] && preload="$runtime:$preload"
[ -n "$LD_PRELOAD" ] && preload="$preload:$LD_PRELOAD"
LD_PRELOAD=$preload exec "$@"
