#!/bin/sh
# Builds the .msg libFuzzer harnesses with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in their own build directory and runs each in
# turn, niced, seeded with the shared corpus. Not part of the normal build or CI.
#
#   bench/msg/fuzz.sh [SECONDS_PER_HARNESS]   (default 600)
#
# Crashes land in build-msg-fuzz/findings/<harness>/; each one found becomes a
# regression test in tests/platform/msg.
set -eu
SECONDS_EACH=${1:-600}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$ROOT/build-msg-fuzz
SHARED=$ROOT/../shared/corpus
SAN="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DKESTREL_BUILD_TESTS=OFF -DKESTREL_MSG_FUZZERS=ON >/dev/null
cmake --build "$BUILD" --target kestrel-fuzz-msg-read kestrel-fuzz-mime-to-msg -j2

# Seeds: the real Outlook files plus .msg files written from the .eml corpus.
SEEDS=$BUILD/seeds
rm -rf "$SEEDS" && mkdir -p "$SEEDS/msg-read" "$SEEDS/mime-to-msg"
cp "$SHARED"/msg/*.msg "$SEEDS/msg-read/"
cp "$SHARED"/eml/*.eml "$SEEDS/mime-to-msg/"
if [ -x "$ROOT/build-msg/bin/kestrel-msgconv" ]; then
    for f in "$SHARED"/eml/*.eml; do
        "$ROOT/build-msg/bin/kestrel-msgconv" "$f" "$SEEDS/msg-read/$(basename "$f" .eml).msg" || true
    done
fi

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1
for harness in msg-read mime-to-msg; do
    WORK=$BUILD/work/$harness FINDINGS=$BUILD/findings/$harness
    mkdir -p "$WORK" "$FINDINGS"
    echo "== $harness for ${SECONDS_EACH}s"
    nice -n 15 "$BUILD/bin/kestrel-fuzz-$harness" "$WORK" "$SEEDS/$harness" \
        -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=60 -max_len=400000 \
        -artifact_prefix="$FINDINGS/" -print_final_stats=1 2>&1 | tee "$BUILD/$harness.log" | grep -E "^#|ERROR|SUMMARY|stat::" | tail -15 || true
done
echo "findings:"; ls -l "$BUILD"/findings/*/ 2>/dev/null || true
