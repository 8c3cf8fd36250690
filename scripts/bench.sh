#!/usr/bin/env bash
# Builds the benchmark program (Release, in build-bench/) and runs it. Arguments go to the
# program, for example --benchmark_filter=Png or --benchmark_format=json.
# Installs the packages it needs first.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-packages.sh g++ cmake ninja-build zlib1g-dev libbenchmark-dev

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIM_BUILD_TESTS=OFF \
  -DTRIM_BUILD_BENCH=ON >/dev/null
ninja -C build-bench -j"${TRIM_JOBS:-2}" codec_bench
build-bench/bench/codec_bench "$@"
