#!/usr/bin/env bash
# One job of scripts/batch.sh: shotscene on one video, then its exports if asked.
# Usage: scripts/batch_job.sh VIDEO EXPORT(0|1)
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/build/shotscene" -- "$1" >/dev/null || exit $?
if [[ "$2" == 1 ]]; then
  "$root/build/shotscene-export" -- "$1" >/dev/null || exit $?
fi
