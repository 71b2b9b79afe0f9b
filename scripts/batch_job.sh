#!/usr/bin/env bash
# One job of scripts/batch.sh: shotscene on one video, then its exports if asked.
# Usage: scripts/batch_job.sh TOOLS VIDEO EXPORT(0|1) DISCARD(0|1) NAMED [OPTION...]
#   TOOLS is the folder that holds shotscene and shotscene-export, or empty for the ones
#   on the PATH (on a remote host); the OPTIONs go to shotscene. For a copy of the video
#   (a run in a transfer folder), NAMED is the path the exports give for it, and with
#   DISCARD 1 a failed job removes every output it may have begun, so that none is
#   brought back.
set -uo pipefail
tools="$1" video="$2" export="$3" discard="$4" named="$5"
shift 5
tool() {  # NAME ARG...: runs the named tool from TOOLS or the PATH
  local name="$1"
  shift
  if [[ -n "$tools" ]]; then "$tools/$name" "$@"; else "$name" "$@"; fi
}
status=0
tool shotscene "$@" -- "$video" >/dev/null || status=$?
if ((status == 0)) && [[ "$export" == 1 ]]; then
  named_as=()
  [[ -z "$named" ]] || named_as=(--named_as "$named")
  tool shotscene-export "${named_as[@]+"${named_as[@]}"}" -- "$video" >/dev/null || status=$?
fi
if ((status != 0)) && [[ "$discard" == 1 ]]; then
  while IFS= read -r -d '' entry; do
    rm -rf -- "${entry#*$'\t'}"
  done < <(tool shotscene-export --paths -0 -- "$video")
fi
exit "$status"
