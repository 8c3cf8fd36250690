#!/usr/bin/env bash
# Builds the benchmark program trim-bench and the trim program it runs (Release, in
# build-bench/) and runs it. Arguments go to the program, for example --sizes 1,4 --runs 3,
# --filter photo, --dir some/folder or --json figures.json (see --help and bench/README.md).
# Installs the packages it needs first; libpng-dev is there for the comparison columns.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-packages.sh g++ cmake ninja-build zlib1g-dev libpng-dev

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIM_BUILD_TESTS=OFF \
  -DTRIM_BUILD_BENCH=ON >/dev/null
ninja -C build-bench -j"${TRIM_JOBS:-2}" trim-bench
build-bench/bench/trim-bench "$@"
