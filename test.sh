#!/usr/bin/env bash
# Checks the sources (includes point down the layers; texts beyond ASCII are converted to
# Windows-1252), then runs every test: the unit and script tests of the normal build, the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of each fuzz
# target. Expects ./setup.sh to have run (it installs what the programs need and builds build/);
# installs what only the tests and benchmarks need, and adds the tests to build/.
set -euo pipefail
cd "$(dirname "$0")"

# GoogleTest; clang and its runtime for the fuzz targets; clang-format and clang-tidy; the fixture
# servers' Python; tmux for the terminal trials; sox, curl, openssl and xsel beside the programs'
# own; an X server, xterm and the X utilities for the desktop tests (xset and xmodmap read Num Lock
# and load dead keys); tcl, time, wbrazilian and the espeak-ng command for the benchmarks; groff,
# man-db and desktop-file-utils for the install test's manual pages and desktop entry.
# brltty, whose virtual display driver the braille display tests play. xdotool and xwd (x11-apps)
# type into the console window and take its picture; setxkbmap (x11-xkb-utils) frees Ctrl+Alt+F11/F12.
# at-spi2-core, python3-gi, gir1.2-gtk-3.0 and dbus-x11 for the MSAA test's accessibility bus, GTK
# form and D-Bus session.
tools/install_packages.sh libgtest-dev clang libclang-rt-14-dev clang-format clang-tidy python3 tmux sox \
  curl openssl xsel xvfb x11-utils x11-xserver-utils xterm tcl time wbrazilian espeak-ng groff-base man-db \
  desktop-file-utils brltty xdotool x11-apps x11-xkb-utils at-spi2-core python3-gi gir1.2-gtk-3.0 dbus-x11
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLENDO_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
jobs="${PARLENDO_JOBS:-2}"
fuzz_seconds="${PARLENDO_FUZZ_SECONDS:-20}"

echo "== source checks"
# Includes point down the layers; every text beyond ASCII of the program's own code is converted
# to Windows-1252 while compiling.
python3 tools/check_layers.py
python3 tools/check_literals.py

echo "== tests"
ninja -C build

echo "== clang-format and clang-tidy"
# Every C++ file as .clang-format lays it out, and no finding of the checks in .clang-tidy in the
# program's own code.
clang-format --dry-run -Werror $(git ls-files '*.cpp' '*.h')
run-clang-tidy -p build -j "$jobs" -quiet "$PWD/src/" >/tmp/parlendo-tidy.log 2>&1 ||
  { grep -A3 'error:' /tmp/parlendo-tidy.log | head -60; echo "clang-tidy found something (all of it in /tmp/parlendo-tidy.log)"; exit 1; }
ctest --test-dir build --output-on-failure -j"$jobs"
plain=$(ctest --test-dir build -N | sed -n 's/^Total Tests: //p')

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARLENDO_SANITIZE=ON >/dev/null
ninja -C build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" ctest --test-dir build-asan --output-on-failure -j"$jobs"
sanitized=$(ctest --test-dir build-asan -N | sed -n 's/^Total Tests: //p')

if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzz targets, ${fuzz_seconds} s each"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPARLENDO_FUZZ=ON -DPARLENDO_TESTS=OFF >/dev/null
  ninja -C build-fuzz
  bash fuzz/run.sh "$fuzz_seconds" build-fuzz
fi

# Every test above passed (any failure stops this script first).
echo "tests: $((plain + sanitized)) passed, 0 failed"
