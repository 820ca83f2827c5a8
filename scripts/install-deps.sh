#!/usr/bin/env bash
# Installs the Debian packages the build, the tests or the benchmarks need, when missing.
#   scripts/install-deps.sh build|test|bench
set -euo pipefail
what=${1:-build}

packages=(cmake ninja-build g++ pkg-config libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev)
case "$what" in
    test) packages+=(libgtest-dev libgmock-dev imagemagick libjpeg-turbo-progs pngcheck libtiff-tools ffmpeg) ;;
    bench) packages+=(libbenchmark-dev libopencv-dev) ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
