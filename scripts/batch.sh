#!/usr/bin/env bash
# Runs shotscene over every video under the given folders with GNU parallel.
# Usage: scripts/batch.sh [-j JOBS] [--export] [--resume] [--joblog FILE] FOLDER...
#                         [-- SHOTSCENE_OPTION...]
# (installed as shotscene-batch)
#   --export   also runs shotscene-export on each video
#   --resume   skips the videos the job log already holds (after an interruption);
#              refused when the shotscene options differ from the logged run's
#   --joblog   the job log (default: shotscene-batch.log in the current folder)
#   after --   options for every shotscene run (--refine_shots, --kf_shot, -p DIR, ...),
#              kept in FILE.options beside the job log
# Extra options for parallel (such as --sshlogin) can be given in PARALLEL_OPTIONS.
# Two videos with the same stem (a.mp4, a.mkv) would write the same files, and
# two whose stems sanitise alike in keyframe folder names (a b.mp4, a_b.mp4)
# the same keyframe folders: before any job starts, the first is listed and the
# second reported as a conflict and not run. Exits non-zero when a
# video failed or conflicted; the summary lists each failure with its status.
set -euo pipefail

me="$(basename -- "$0")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The tools, the job helper and the set-up as laid out in the source tree. The
# installed copy has this line replaced with the installed places (cmake/Install.cmake).
tools="$(cd "$here/.." && pwd)/build" job="$here/batch_job.sh" setup="$here/setup.sh"

usage="usage: $me [-j JOBS] [--export] [--resume] [--joblog FILE] FOLDER... [-- SHOTSCENE_OPTION...]"
jobs="$(nproc)" export=0 resume=() joblog="shotscene-batch.log" folders=() options=()
while (($#)); do
  case "$1" in
    -j) jobs="$2"; shift 2 ;;
    --export) export=1; shift ;;
    --resume) resume=(--resume); shift ;;
    --joblog) joblog="$2"; shift 2 ;;
    --) shift; options=("$@"); break ;;
    -*) echo "$me: unknown option $1" >&2; exit 2 ;;
    *) folders+=("$1"); shift ;;
  esac
done
((${#folders[@]})) || { echo "$usage" >&2; exit 2; }
# shotscene's own options; the video is always given after its "--".
for ((k = 0; k < ${#options[@]}; ++k)); do
  case "${options[k]}" in
    --kf_shot | --kf_scene | --shots | --trans_type | --refine_shots) ;;
    -n | --kf_num | -p | --kf_path)
      ((k + 1 < ${#options[@]})) || { echo "$me: shotscene option ${options[k]} needs a value" >&2; exit 2; }
      k=$((k + 1)) ;;
    *) echo "$me: not a shotscene option: ${options[k]}" >&2; exit 2 ;;
  esac
done
# A resumed run must not mix results made with other options.
optfile="$joblog.options"
current="$(printf '%s\n' "${options[@]+"${options[@]}"}")"
if ((${#resume[@]})) && [[ -e "$joblog" ]]; then
  earlier="$(cat "$optfile" 2>/dev/null || true)"
  if [[ "$earlier" != "$current" ]]; then
    echo "$me: --resume: $joblog was run with other shotscene options ($(printf '%s' "$earlier" | tr '\n' ' ')); resume with the same options or start a new job log" >&2
    exit 2
  fi
fi
printf '%s' "$current" >"$optfile"
command -v parallel >/dev/null || { echo "$me: GNU parallel is needed (apt-get install parallel)" >&2; exit 1; }
if [[ ! -x "$tools/shotscene" ]]; then
  [[ -n "$setup" ]] || { echo "$me: $tools/shotscene is missing" >&2; exit 1; }
  "$setup"
fi

list="$(mktemp)"
trap 'rm -f "$list"' EXIT
# The keyframe folders' name as shotscene makes it (common/naming.cpp): in the
# stem's first 1000 bytes, ". , = ^ & ;" and blanks become "_".
sanitised() {
  local LC_ALL=C head="${1:0:1000}"
  printf '%s' "${head//[., =^&;]/_}${1:1000}"
}
declare -A seen=() folders_of=()
conflicts=0
while IFS= read -r -d '' video; do
  if [[ "${video:1}" == *.* ]]; then stem="${video%.*}"; else stem=""; fi
  folder="$(sanitised "$stem")"
  if [[ -n "${seen[$stem]+x}" ]]; then
    echo "conflict: $video writes the same files as ${seen[$stem]}; not run" >&2
    conflicts=$((conflicts + 1))
    continue
  fi
  if [[ -n "${folders_of[$folder]+x}" ]]; then
    echo "conflict: $video shares the keyframe folders of ${folders_of[$folder]}; not run" >&2
    conflicts=$((conflicts + 1))
    continue
  fi
  seen[$stem]="$video"
  folders_of[$folder]="$video"
  printf '%s\0' "$video" >>"$list"
done < <(find "${folders[@]}" -type f \( -iname '*.mp4' -o -iname '*.mkv' -o -iname '*.avi' \
  -o -iname '*.mov' -o -iname '*.m4v' -o -iname '*.mpg' -o -iname '*.mpeg' -o -iname '*.ts' \
  -o -iname '*.webm' -o -iname '*.wmv' -o -iname '*.flv' \) -print0 | sort -z)

status=0
progress=()
[[ -t 2 ]] && progress=(--bar)  # a progress line only on a terminal
# shellcheck disable=SC2086
parallel --will-cite --null -a "$list" -j "$jobs" --joblog "$joblog" "${resume[@]}" "${progress[@]}" \
  ${PARALLEL_OPTIONS:-} "$job" "$tools" {} "$export" "$optfile" >/dev/null || status=$?

# Summary from the job log: column 7 is the exit status, 9 the command.
awk -F'\t' 'NR > 1 { n++; if ($7 != 0) { f++; printf "failed (status %s): %s\n", $7, $9 } }
  END { printf "%d jobs in the log, %d failed\n", n, f }' "$joblog"
if ((status != 0 || conflicts != 0)); then exit 1; fi
