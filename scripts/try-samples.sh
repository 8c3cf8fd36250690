#!/usr/bin/env bash
# Builds trim (Release, in build-release/), copies the sample images of examples/ (BMP and
# PNG files) to a temporary folder, and shows each image's size before and after trimming
# them there.
# Installs the packages it needs first.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-packages.sh g++ cmake ninja-build zlib1g-dev

# Quiet when the build works, its whole output when it fails.
log="$(mktemp)"
if ! { cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIM_BUILD_TESTS=OFF &&
  ninja -C build-release -j"${TRIM_JOBS:-2}" trim image_size; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "try-samples: the build failed" >&2
  exit 1
fi
rm -f "$log"

shopt -s nullglob
samples=(examples/*.bmp examples/*.png)
folder="$(mktemp -d "${TMPDIR:-/tmp}/trim-samples-XXXXXX")"
cp "${samples[@]}" "$folder"/
copies=("$folder"/*)

echo "Samples copied to $folder"
echo
echo "Before:"
build-release/examples/image_size "${copies[@]}"
build-release/trim/trim "${copies[@]}"
echo
echo "After trim:"
build-release/examples/image_size "${copies[@]}"
