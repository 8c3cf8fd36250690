#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and fuzzes each in turn, growing a
# working corpus seeded from the committed one, the sample images and (when a test build is
# present) every fixture the tests compose. Crashes land in build-fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target...]
#   TRIM_FUZZ_PARALLEL=1 scripts/fuzz.sh ...   # all targets at once, a log each in build-fuzz/
#   scripts/fuzz.sh --merge     # minimise the working corpora back into fuzz/corpus/
set -euo pipefail
cd "$(dirname "$0")/.."
targets_all=(png_load bmp_trim trim_file)

scripts/install-packages.sh cmake ninja-build zlib1g-dev clang libclang-rt-14-dev
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRIM_BUILD_FUZZ=ON -DTRIM_BUILD_TESTS=OFF >/dev/null
ninja -C build-fuzz -j2 "${targets_all[@]/%/_fuzzer}"

# A file the tool may legitimately hold is at most a few hundred megabytes for inputs of
# this size; anything near these limits is an allocation bomb and counts as a finding.
limits=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=30)
export ASAN_OPTIONS=allocator_may_return_null=0:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

dictionary() {
  case "$1" in
    png_load) echo fuzz/png.dict ;;
    bmp_trim) echo fuzz/bmp.dict ;;
    trim_file) cat fuzz/png.dict fuzz/bmp.dict >build-fuzz/all.dict && echo build-fuzz/all.dict ;;
  esac
}

seed() {
  local target="$1" work="build-fuzz/corpus/$1"
  mkdir -p "$work"
  cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  local kinds=(png bmp)
  [[ "$target" == png_load ]] && kinds=(png)
  [[ "$target" == bmp_trim ]] && kinds=(bmp)
  for kind in "${kinds[@]}"; do
    find examples -iname "*.$kind" -exec cp -n {} "$work"/ \;
    if [[ -x build/tests/unit_tests && ! -d build-fuzz/fixtures ]]; then
      mkdir -p build-fuzz/fixtures
      TRIM_DUMP_FIXTURES="$PWD/build-fuzz/fixtures" build/tests/unit_tests >/dev/null 2>&1 || true
    fi
    if [[ -d build-fuzz/fixtures ]]; then
      find build-fuzz/fixtures -name "*.$kind" -size -64k -exec cp -n {} "$work"/ \;
    fi
  done
}

if [[ "${1:-}" == --merge ]]; then
  for target in "${targets_all[@]}"; do
    rm -rf "fuzz/corpus/$target.new" && mkdir -p "fuzz/corpus/$target.new"
    "build-fuzz/fuzz/${target}_fuzzer" -merge=1 "${limits[@]}" "fuzz/corpus/$target.new" \
      "build-fuzz/corpus/$target"
    rm -rf "fuzz/corpus/$target" && mv "fuzz/corpus/$target.new" "fuzz/corpus/$target"
  done
  exit 0
fi

seconds="${1:-60}"
shift || true
targets=("${@:-${targets_all[@]}}")
[[ $# -eq 0 ]] && targets=("${targets_all[@]}")
run() {
  local target="$1"
  "build-fuzz/fuzz/${target}_fuzzer" "build-fuzz/corpus/$target" -dict="$(dictionary "$target")" \
    -max_total_time="$seconds" -max_len=65536 "${limits[@]}" \
    -artifact_prefix="build-fuzz/findings/$target/" -print_final_stats=1
}

for target in "${targets[@]}"; do
  seed "$target"
  mkdir -p "build-fuzz/findings/$target"
done
if [[ "${TRIM_FUZZ_PARALLEL:-0}" == 1 ]]; then
  for target in "${targets[@]}"; do run "$target" >"build-fuzz/$target.log" 2>&1 & done
  wait
  tail -n 8 build-fuzz/*.log
else
  for target in "${targets[@]}"; do run "$target"; done
fi
