#!/usr/bin/env bash
# Builds trim and its tests twice, plainly (build/) and with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), and runs every test of both with ctest.
# Installs the packages it needs first. Fails on the first failing build or test.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-packages.sh g++ cmake ninja-build zlib1g-dev libgtest-dev googletest pngcheck \
  python3-pil libpng-dev libbenchmark-dev

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

build_and_test build -DTRIM_SANITIZE=OFF
build_and_test build-asan -DTRIM_SANITIZE=ON
