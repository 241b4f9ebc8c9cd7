#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the image-file fuzz target with clang (libFuzzer and AddressSanitizer, the libraries
# instrumented too) in build-fuzz, and runs it for a bounded time from sample images made by
# q71x-mkimage. Fails when the build fails or the target finds a crash.
#   FUZZ_SECONDS   how long the target runs (default 55)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build fuzz

build=build-fuzz
seconds=${FUZZ_SECONDS:-55}

scripts/fuzz-build.sh image_file_fuzzer q71x-mkimage

# Seeds: one image per header position, checksum form and end-marker case; the run's corpus
# starts empty so that every run is bounded the same way.
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$seeds" "$corpus"
mkdir -p "$seeds" "$corpus" "$artifacts"
mkimage="$build/tools/q71x-mkimage"
"$mkimage" --type 1 --rev 1 "$seeds/t1r1.bin"
"$mkimage" --type 4 --rev 5 --end-marker "$seeds/t4r5-marker.bin"
"$mkimage" --type 4 --rev 6 --size 65536 "$seeds/t4r6-64k.bin"
"$mkimage" --type 6 --rev 2 --nvram --size 8192 "$seeds/t6r2-nvram.bin"
"$mkimage" --type 7 --rev 2 --size 64 "$seeds/t7r2.bin"
"$mkimage" --type 9 --rev 1 --nvram "$seeds/t9r1-nvram.bin"
"$mkimage" --type 12 --rev 3 --size 16400 "$seeds/t12r3.bin"
"$mkimage" --type 14 --rev 1 --size 32768 "$seeds/t14r1.bin"
"$mkimage" --type 17 --rev 4 --stated-length 0xFFFF "$seeds/t17r4-stated.bin"

# libFuzzer exits non-zero on a crash, a leak or a sanitizer report; the outer timeout only
# guards against a hang of the harness itself.
timeout --kill-after=10 $((seconds + 60)) \
  "$build/fuzz/image_file_fuzzer" -max_total_time="$seconds" -max_len=70000 \
  -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"
echo "fuzz smoke: image_file_fuzzer ran ${seconds}s without a crash"
