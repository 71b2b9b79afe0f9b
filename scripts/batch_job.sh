#!/usr/bin/env bash
# One job of scripts/batch.sh: shotscene on one video, then its exports if asked.
# Usage: scripts/batch_job.sh TOOLS VIDEO EXPORT(0|1) [OPTIONS_FILE]
#   TOOLS is the folder that holds shotscene and shotscene-export; OPTIONS_FILE
#   holds shotscene's options, one a line.
set -uo pipefail
options=()
[[ -n "${4:-}" && -s "$4" ]] && mapfile -t options <"$4"
"$1/shotscene" "${options[@]+"${options[@]}"}" -- "$2" >/dev/null || exit $?
if [[ "$3" == 1 ]]; then
  "$1/shotscene-export" -- "$2" >/dev/null || exit $?
fi
