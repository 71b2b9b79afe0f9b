#!/usr/bin/env bash
# Fuzzes every shot-list and scene-list reader with libFuzzer (clang, ASan and
# UBSan) for a bounded time. Not part of CI.
# Usage: scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/setup.sh" clang
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSHOTSCENE_SANITIZE=address,undefined,float-cast-overflow -DSHOTSCENE_FUZZ=ON </dev/null
cmake --build "$build" -j"$(nproc)" --target list_readers_fuzzer </dev/null

corpus="$build/corpus"
mkdir -p "$corpus"
# Seeds: a shot list with and without the type column, and a scene list.
printf '1 60 15 29 43 0\n61 117 75 89 103 1\n118 314 167 216 265 2\n' >"$corpus/shots_typed"
printf '1 60 15 29 43\n61 117 75 89 103\n' >"$corpus/shots"
printf '1 286 19 69 140 211 244\n287 532 329 386 421 439 503' >"$corpus/scenes"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/tests/fuzz/list_readers_fuzzer" "$corpus" -max_total_time="$seconds" -max_len=4096 \
  -artifact_prefix="$build/" \
  -print_final_stats=1
