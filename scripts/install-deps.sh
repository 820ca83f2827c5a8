#!/usr/bin/env bash
# Installs the Debian packages the build, the tests or the benchmarks need, when missing.
#   scripts/install-deps.sh build|test|bench|fuzz|valgrind
set -euo pipefail
what=${1:-build}

packages=(cmake ninja-build g++ pkg-config libjpeg62-turbo-dev libpng-dev zlib1g-dev libtiff-dev
          libx11-dev libxext-dev libgtk-3-dev libusb-1.0-0-dev umockdev libumockdev-dev
          libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libsystemd-dev)
# GStreamer's tools and the elements the plugin's examples use (x264enc is in -ugly), and
# Debian's OpenCV, which is built with GStreamer.
gst_tools=(gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
           gstreamer1.0-plugins-ugly gstreamer1.0-plugins-base-apps python3-opencv)
# An X server of its own (Xvfb) and screenshot tools: the on-screen tests, the viewer's picture.
x11_tools=(xvfb x11-apps x11-utils imagemagick)
# Building and checking the Debian packages (tests/check_debian.sh).
deb_tools=(build-essential dpkg-dev debhelper dh-python fakeroot lintian chrpath)
case "$what" in
    build) packages+=("${x11_tools[@]}") ;;
    test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev libsimde-dev libxtst-dev make imagemagick libjpeg-turbo-progs pngcheck libtiff-tools ffmpeg
                     python3 python3-numpy python3-pytest groff-base clang-tidy systemd
                     python3-setuptools python3-build python3-venv mypy fonts-vlgothic
                     "${x11_tools[@]}" "${gst_tools[@]}" "${deb_tools[@]}") ;;
    bench) packages+=(libbenchmark-dev libopencv-dev) ;;
    fuzz) packages+=(clang libclang-rt-dev) ;;
    valgrind) packages+=(valgrind) ;;
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
