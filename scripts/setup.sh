#!/usr/bin/env bash
# Installs the Debian packages that a build, a test run or a benchmark needs,
# and only those that are missing, so that a second run costs nothing.
# Usage: scripts/setup.sh [build|run|test|bench|package]
set -euo pipefail

what=${1:-build}

build_pkgs=(cmake make ninja-build g++ pkg-config qt6-base-dev libgl-dev libcanberra-dev libcap-ng-dev
            libsystemd-dev librsvg2-bin fonts-ipafont-mincho)
run_pkgs=(libcanberra-pulse sound-theme-freedesktop qt6-wayland)
test_pkgs=(libgtest-dev xvfb x11-utils xdotool imagemagick pulseaudio
           pulseaudio-utils sox faketime at-spi2-core python3-pyatspi python3-xlib
           clang-14 libfuzzer-14-dev libclang-rt-14-dev libbenchmark-dev
           desktop-file-utils appstream dpkg-dev lintian file man-db dbus
           dbus-daemon dbus-bin libfaketime weston xwayland openbox python3-dbusmock
           libcap2-bin strace xdg-desktop-portal)
bench_pkgs=(libbenchmark-dev valgrind xvfb x11-utils x11-apps pulseaudio
            pulseaudio-utils python3 libx11-dev libxdamage-dev weston xwayland imagemagick procps
            xdotool openbox)

case "$what" in
  build)   want=("${build_pkgs[@]}") ;;
  run)     want=("${build_pkgs[@]}" "${run_pkgs[@]}") ;;
  test)    want=("${build_pkgs[@]}" "${run_pkgs[@]}" "${test_pkgs[@]}") ;;
  bench)   want=("${build_pkgs[@]}" "${run_pkgs[@]}" "${bench_pkgs[@]}") ;;
  package) want=("${build_pkgs[@]}" "${run_pkgs[@]}" dpkg-dev lintian file python3) ;;
  *) echo "setup.sh: unknown set '$what' (build, run, test, bench, package)" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup.sh: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
