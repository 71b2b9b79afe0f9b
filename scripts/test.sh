#!/usr/bin/env bash
# Builds shotscene and runs the whole test suite; exits non-zero on any failure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
cd "$root/build"
ctest --output-on-failure </dev/null
