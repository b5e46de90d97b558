#!/usr/bin/env bash
# Checks that no include of src/ runs up the layers, then runs every test: the unit and script
# tests of the normal build, the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzz target.
# Expects ./setup.sh to have run (it installs the packages and builds build/).
set -euo pipefail
cd "$(dirname "$0")"
jobs="${PARLENDO_JOBS:-2}"
fuzz_seconds="${PARLENDO_FUZZ_SECONDS:-20}"

echo "== includes point down the layers"
python3 tools/check_layers.py

echo "== tests"
ninja -C build
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
