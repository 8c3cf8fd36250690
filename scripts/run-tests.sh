#!/usr/bin/env bash
# Builds trim and its tests twice, optimised as released (build/, with the benchmark program)
# and as a debug build with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/,
# where the platform's handle checks are on too), and runs every test of both with ctest.
# The benchmark program gets a quick smoke run on small images; its figures are not checked.
# Installs the packages it needs first. Fails on the first failing build or test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-packages.sh g++ cmake ninja-build zlib1g-dev libgtest-dev googletest pngcheck \
  libpng-dev libbenchmark-dev

# Two cores: more parallel jobs only add memory pressure.
jobs="${TRIM_JOBS:-2}"

build_and_test() {
  local dir="$1"
  shift
  echo "== $dir: configure and build" >&2
  cmake -S . -B "$dir" -G Ninja -DTRIM_BUILD_TESTS=ON "$@"
  ninja -C "$dir" -j"$jobs"
  echo "== $dir: tests" >&2
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 900)
}

build_and_test build -DCMAKE_BUILD_TYPE=Release -DTRIM_SANITIZE=OFF -DTRIM_BUILD_BENCH=ON
echo "== build: benchmark smoke run" >&2
build/bench/trim-bench --smoke
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DTRIM_SANITIZE=ON
