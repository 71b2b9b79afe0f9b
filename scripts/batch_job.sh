#!/usr/bin/env bash
# One job of scripts/batch.sh: shotscene on one video, then its exports if asked.
# Usage: scripts/batch_job.sh TOOLS VIDEO EXPORT(0|1)
#   TOOLS is the folder that holds shotscene and shotscene-export.
set -uo pipefail
"$1/shotscene" -- "$2" >/dev/null || exit $?
if [[ "$3" == 1 ]]; then
  "$1/shotscene-export" -- "$2" >/dev/null || exit $?
fi
