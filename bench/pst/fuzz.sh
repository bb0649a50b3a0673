#!/bin/sh
# Builds the Outlook data file libFuzzer harness with clang (AddressSanitizer
# and UndefinedBehaviorSanitizer) in its own build directory and runs it,
# niced. Its inputs are recipes of damage to the real test files of the npm
# package pst-extractor (scripts/setup installs it under build/npm). Not part
# of the normal build or CI.
#
#   bench/pst/fuzz.sh [SECONDS]   (default 600)
#
# Crashes land in build-pst-fuzz/findings/; each one found becomes a
# regression test in tests/platform/pst.
set -eu
SECONDS_TOTAL=${1:-600}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$ROOT/build-pst-fuzz
SAN="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DKESTREL_BUILD_TESTS=OFF -DKESTREL_PST_FUZZERS=ON >/dev/null
cmake --build "$BUILD" --target kestrel-fuzz-pst-read -j2

# Seeds: each file untouched, cut short, and with a few bits flipped.
SEEDS=$BUILD/seeds
rm -rf "$SEEDS" && mkdir -p "$SEEDS"
printf '\000' >"$SEEDS/pst"
printf '\001' >"$SEEDS/ost"
printf '\000\200\000\100\000' >"$SEEDS/pst-cut"
printf '\001\000\000\000\000\000\020\000\000\001\000\000\040\000\000\200' >"$SEEDS/ost-flips"

WORK=$BUILD/work FINDINGS=$BUILD/findings
mkdir -p "$WORK" "$FINDINGS"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1
echo "== pst-read for ${SECONDS_TOTAL}s"
nice -n 15 "$BUILD/bin/kestrel-fuzz-pst-read" "$WORK" "$SEEDS" \
    -max_total_time="$SECONDS_TOTAL" -rss_limit_mb=2048 -timeout=120 -max_len=256 \
    -artifact_prefix="$FINDINGS/" -print_final_stats=1 2>&1 | tee "$BUILD/pst-read.log" |
    grep -E "^#|ERROR|SUMMARY|stat::" | tail -15 || true
echo "findings:"; ls -l "$FINDINGS" 2>/dev/null || true
