#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
# These tests mostly wait for the simulated device (a few CPU seconds in two minutes), so
# twice as many run as there are cores; the sanitizer build's tests need their cores.
ctest --test-dir build --output-on-failure -j "$((2 * $(nproc)))"

# The benchmarks and the screenshot tool are already built above; no test runs them.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTORVANE_SANITIZE=ON -DTORVANE_EXTRAS=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
