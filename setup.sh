#!/usr/bin/env bash
# Installs the Debian packages that building and running the programs need (when any is missing)
# and builds parlendo, sintonix and sintonix-fontes into build/. What only the tests and the
# benchmarks need is installed by test.sh.
set -euo pipefail
cd "$(dirname "$0")"

# Build: the compiler, CMake and the libraries the programs use: ncursesw, OpenSSL, SDL2 (sound
# and the console window, with SDL2_ttf, fontconfig and the DejaVu fonts),
# espeak-ng (the voice data are generated with it at build time, and it is a system voice),
# libspeechd (speech-dispatcher), libxdo and Xlib (the desktop), BrlAPI (the braille display, loaded
# when present), libmpv (media by alias, loaded at the first media command), libjpeg (IMAGEM),
# libchafa (IMAGEM's picture in a terminal, loaded at the first picture),
# libatspi (other programs' elements for MSAA, loaded when used), and for sintonix-fontes libcurl,
# nlohmann-json and libxml2.
packages=(cmake ninja-build g++ pkg-config libncurses-dev libssl-dev libsdl2-dev libespeak-ng-dev
          espeak-ng-data libspeechd-dev libxdo-dev libx11-dev libcurl4-openssl-dev nlohmann-json3-dev
          libxml2-dev libbrlapi-dev libmpv-dev libsdl2-ttf-dev libfontconfig-dev fonts-dejavu-core
          libjpeg-dev libchafa-dev libatspi2.0-dev)
# MIDI: FluidSynth (loaded at the first MIDI INICIA) and its General MIDI sound font.
packages+=(libfluidsynth-dev fluid-soundfont-gm)
# Run: the programs the tuner starts (wget, mpv, ffmpeg, xdg-open) and a clipboard tool.
packages+=(wget mpv ffmpeg xdg-utils xclip)
tools/install_packages.sh "${packages[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build
