#!/usr/bin/env bash
# Installs the Debian packages the build needs (when any is missing) and builds parlendo and
# sintonix into build/.
set -euo pipefail
cd "$(dirname "$0")"

# Build: compilers, CMake, GoogleTest, the libraries linked (ncursesw, OpenSSL, SDL2, espeak-ng,
# libxdo). Run time and tests: the programs the tuner starts (wget, mpv, ffmpeg), the clipboard
# tools, an X server for the desktop tests, and the tools the tests and benchmarks compare with.
packages=(cmake ninja-build g++ libgtest-dev clang libclang-rt-14-dev tcl libncurses-dev tmux python3
          libssl-dev openssl libsdl2-dev libespeak-ng-dev espeak-ng-data libxdo-dev libx11-dev
          wget curl mpv ffmpeg sox xclip xsel xvfb x11-utils xterm)
# sintonix-fontes: libcurl for HTTPS, nlohmann-json for the directory's JSON, libxml2 for RSS
# and HTML.
packages+=(libcurl4-openssl-dev nlohmann-json3-dev libxml2-dev)
# libspeechd: speech-dispatcher's client library, the system voice of engine types other than 4.
packages+=(libspeechd-dev)
# time: the benchmarks read peak memory with /usr/bin/time.
packages+=(time)
# xset and xmodmap: the desktop tests read Num Lock and load dead keys with them.
packages+=(x11-xserver-utils)
# wbrazilian: the Brazilian word list the built-in voice's coverage benchmark reads.
packages+=(wbrazilian)
# espeak-ng: the command-line voice the built-in voice's speed benchmark compares with.
packages+=(espeak-ng)
# groff-base and man-db: the install test renders the manual pages and reads their names;
# desktop-file-utils: it validates the desktop entry.
packages+=(groff-base man-db desktop-file-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
