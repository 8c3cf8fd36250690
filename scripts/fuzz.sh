#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on a corpus seeded
# with the sample images. Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-packages.sh cmake ninja-build zlib1g-dev clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRIM_BUILD_FUZZ=ON -DTRIM_BUILD_TESTS=OFF >/dev/null
ninja -C build-fuzz png_load_fuzzer bmp_load_fuzzer
for target in png bmp; do
  corpus="build-fuzz/corpus-$target"
  mkdir -p "$corpus"
  find examples -iname "*.$target" -exec cp {} "$corpus/" \;
  ASAN_OPTIONS=allocator_may_return_null=1 \
    "build-fuzz/fuzz/${target}_load_fuzzer" "$corpus" -max_total_time="$seconds" -rss_limit_mb=1024
done
