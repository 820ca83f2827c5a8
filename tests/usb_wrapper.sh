#!/bin/sh
# Runs a program under the umockdev preload: usb_wrapper.sh [--compiler=CXX] PROGRAM [ARGS...].
# AddressSanitizer insists on coming first in the library list, so a program linking it gets its
# runtime ahead of the preload in LD_PRELOAD. ThreadSanitizer has no such rule (its runtime loads
# as the program's dependency) but gets the suppressions for the libraries the bus runs on.
compiler=${CXX:-c++}
case "$1" in
    --compiler=*) compiler=${1#--compiler=}; shift ;;
esac
[ $# -gt 0 ] || { echo "usage: $0 [--compiler=CXX] PROGRAM [ARGS...]" >&2; exit 2; }

here=$(dirname "$0")
needed=$(readelf -d "$1" 2>/dev/null)
preload=libumockdev-preload.so.0
case "$needed" in
    *"[libasan.so."*) preload="$("$compiler" -print-file-name=libasan.so):$preload" ;;
esac
case "$needed" in
    *"[libtsan.so."*)
        TSAN_OPTIONS="suppressions=$here/sanitizer/usb_tsan.supp${TSAN_OPTIONS:+ $TSAN_OPTIONS}"
        export TSAN_OPTIONS ;;
esac
[ -n "$LD_PRELOAD" ] && preload="$preload:$LD_PRELOAD"
LD_PRELOAD=$preload exec "$@"
