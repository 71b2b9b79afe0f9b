#!/usr/bin/env bash
# Builds shotscene and runs the test suite; exits non-zero on any failure.
#   scripts/test.sh             every test on the plain build (build/)
#   scripts/test.sh --ci        that, then every test under AddressSanitizer and
#                               UndefinedBehaviorSanitizer (build-asan/)
#   scripts/test.sh --sanitize  the sanitizer builds only: ASan+UBSan with every
#                               test, then ThreadSanitizer (build-tsan/) with the
#                               threaded scan, classifier and reader tests
# ThreadSanitizer builds with clang and LLVM's OpenMP runtime, whose Archer tool
# tells the sanitizer about OpenMP's own synchronisation (GCC's runtime is not
# instrumented and would report its barriers as races).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:-}"
case "$mode" in
  "" | --ci | --sanitize) ;;
  *) echo "usage: scripts/test.sh [--ci | --sanitize]" >&2; exit 2 ;;
esac

# The threaded tests ThreadSanitizer runs: the scan over frame ranges, the
# refinement's parallel loop, the readers of a stage and a failure on one of them.
tsan_tests=('SinglePassScan*' 'ShotRefinementTest.Changes*' 'FrameRanges*' 'FrameReader*'
  'FaultsTest.Failure*')

extra=()
[[ "$mode" == --sanitize ]] && extra=(clang libomp-dev)
"$root/scripts/setup.sh" "${extra[@]}"

# A pattern left behind by a renamed or removed test would quietly run nothing, so
# each must name a test; checked in every mode, on the plain build, before any long run.
for pattern in "${tsan_tests[@]}"; do
  listed="$("$root/build/tests/shotscene_tests" --gtest_list_tests --gtest_filter="$pattern" </dev/null)"
  if ! grep -q '^  ' <<<"$listed"; then
    echo "test.sh: the ThreadSanitizer test pattern '$pattern' matches no test" >&2
    exit 1
  fi
done

if [[ "$mode" != --sanitize ]]; then
  (cd "$root/build" && ctest --output-on-failure </dev/null)
fi

if [[ -n "$mode" ]]; then
  echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSHOTSCENE_SANITIZE=address,undefined </dev/null
  cmake --build "$root/build-asan" -j"$(nproc)" </dev/null
  (cd "$root/build-asan" &&
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure </dev/null)
fi

if [[ "$mode" == --sanitize ]]; then
  echo "== ThreadSanitizer"
  archer="$(find /usr/lib/llvm-*/lib -name libarcher.so 2>/dev/null | sort | tail -n 1)"
  if [[ -z "$archer" ]]; then
    echo "test.sh: LLVM's OpenMP Archer tool (libarcher.so) not found" >&2
    exit 1
  fi
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSHOTSCENE_SANITIZE=thread </dev/null
  cmake --build "$root/build-tsan" -j"$(nproc)" --target shotscene shotscene_tests </dev/null
  (cd "$root/build-tsan" &&
    OMP_TOOL_LIBRARIES="$archer" TSAN_OPTIONS="halt_on_error=1 ignore_noninstrumented_modules=1" \
      ./tests/shotscene_tests --gtest_filter="$(IFS=:; echo "${tsan_tests[*]}")" </dev/null)
fi
