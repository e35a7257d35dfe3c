#!/usr/bin/env bash
# Installs the Debian packages that a build, a test run or a benchmark needs,
# and only those that are missing, so that a second run costs nothing.
# Works on Debian 12 and 13: versioned tools are chosen from what the release offers.
# Usage: scripts/setup.sh [build|run|test|bench|package]
#        scripts/setup.sh llvm   prints N of the clang-N that `make fuzz` builds with
set -euo pipefail

what=${1:-build}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

# The newest LLVM whose clang, libFuzzer and sanitizer runtimes the release has as
# packages (14 on Debian 12 at its release, 19 on Debian 13; point releases add newer).
newest_llvm() {
  local n p
  for n in $(apt-cache pkgnames libfuzzer- 2>/dev/null |
             sed -n 's/^libfuzzer-\([0-9]\+\)-dev$/\1/p' | sort -rn); do
    for p in "clang-$n" "libfuzzer-$n-dev" "libclang-rt-$n-dev"; do
      [[ $(apt-cache policy "$p" 2>/dev/null) == *"Candidate: "[0-9]* ]] || continue 2
    done
    echo "$n"
    return 0
  done
  return 1
}

# The package lists are read before choosing; a fresh system has none yet.
updated=
apt_update() {
  [ -n "$updated" ] && return 0
  if [ ${#sudo[@]} -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "setup.sh: need root or sudo to install packages" >&2
    exit 1
  fi
  "${sudo[@]}" apt-get update -q
  updated=1
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# A clang that is installed with its libFuzzer is kept, so that a point release does
# not move an existing fuzz build to another compiler; otherwise the newest is taken.
llvm_choice() {
  local n
  for n in $(dpkg-query -W -f='${Package}\n' 'libfuzzer-*-dev' 2>/dev/null |
             sed -n 's/^libfuzzer-\([0-9]\+\)-dev$/\1/p' | sort -rn); do
    installed "clang-$n" && installed "libfuzzer-$n-dev" && installed "libclang-rt-$n-dev" &&
      { echo "$n"; return 0; }
  done
  n=$(newest_llvm) || { apt_update >&2; n=$(newest_llvm); } ||
    { echo "setup.sh: no clang with libFuzzer among the packages of this release" >&2; exit 1; }
  echo "$n"
}

build_pkgs=(cmake make ninja-build g++ pkg-config qt6-base-dev libgl-dev libcanberra-dev libcap-ng-dev
            libsystemd-dev librsvg2-bin fonts-ipafont-mincho)
run_pkgs=(libcanberra-pulse sound-theme-freedesktop qt6-wayland)
test_pkgs=(libgtest-dev xvfb x11-utils xdotool imagemagick pulseaudio
           pulseaudio-utils sox faketime at-spi2-core python3-pyatspi python3-xlib
           libbenchmark-dev
           desktop-file-utils appstream dpkg-dev lintian file man-db dbus
           dbus-daemon dbus-bin libfaketime weston xwayland openbox python3-dbusmock
           libcap2-bin strace xdg-desktop-portal)
bench_pkgs=(libbenchmark-dev valgrind xvfb x11-utils x11-apps pulseaudio
            pulseaudio-utils python3 libx11-dev libxdamage-dev weston xwayland imagemagick procps
            xdotool openbox)

case "$what" in
  build)   want=("${build_pkgs[@]}") ;;
  run)     want=("${build_pkgs[@]}" "${run_pkgs[@]}") ;;
  test)    llvm=$(llvm_choice)
           want=("${build_pkgs[@]}" "${run_pkgs[@]}" "${test_pkgs[@]}"
                 "clang-$llvm" "libfuzzer-$llvm-dev" "libclang-rt-$llvm-dev") ;;
  bench)   want=("${build_pkgs[@]}" "${run_pkgs[@]}" "${bench_pkgs[@]}") ;;
  package) want=("${build_pkgs[@]}" "${run_pkgs[@]}" dpkg-dev lintian file python3 libcap2-bin) ;;
  llvm)    llvm=$(llvm_choice); echo "$llvm"; exit 0 ;;
  *) echo "setup.sh: unknown set '$what' (build, run, test, bench, package, llvm)" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# A package may enable a user service for every login (pulseaudio does, which on a
# PipeWire desktop starts the wrong sound server): such links are taken back, and only
# those that the install made. The tests start their own servers.
user_units=/etc/systemd/user
links() { find "$user_units" -type l 2>/dev/null | sort; }
before=$(links)

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt_update
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

added=$(comm -13 <(echo "$before") <(links))
if [ -n "$added" ]; then
  echo "Not enabled for logins (the tests start their own):" $added
  "${sudo[@]}" rm -f $added
fi
