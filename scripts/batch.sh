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
# second reported as a conflict and not run (what each writes comes from
# shotscene-export --paths). Exits non-zero when a
# video failed or conflicted; the summary lists each failure with its status.
set -euo pipefail

me="$(basename -- "$0")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The tools, the job helper and the set-up as laid out in the source tree. The
# installed copy has this line replaced with the installed places (cmake/Install.cmake).
tools="$(cd "$here/.." && pwd)/build" job="$here/batch_job.sh" setup="$here/setup.sh"

usage="usage: $me [-j JOBS] [--export] [--resume] [--joblog FILE] FOLDER... [-- SHOTSCENE_OPTION...]"
jobs="$(nproc)" export=0 resume=() joblog="shotscene-batch.log" folders=() options=() kf_path=()
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
      [[ "${options[k]}" == -n || "${options[k]}" == --kf_num ]] || kf_path=(--kf_path "${options[k + 1]}")
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
if [[ ! -x "$tools/shotscene" || ! -x "$tools/shotscene-export" ]]; then
  [[ -n "$setup" ]] || { echo "$me: $tools/shotscene or $tools/shotscene-export is missing" >&2; exit 1; }
  "$setup"
fi

list="$(mktemp)"
trap 'rm -f "$list"' EXIT
# The video listed before that writes a file or folder of this one's, by path
# (a folder's ends with "/").
declare -A writer=()
earlier() {  # PATH...: sets clash to that video, or to nothing
  clash=""
  local path
  for path; do
    [[ -z "${writer[$path]+x}" ]] || { clash="${writer[$path]}"; return; }
  done
}
conflicts=0
while IFS= read -r -d '' video; do
  mapfile -d '' -t entries < <("$tools/shotscene-export" --paths "${kf_path[@]+"${kf_path[@]}"}" -0 -- "$video")
  ((${#entries[@]})) || { echo "$me: $tools/shotscene-export --paths gave nothing for $video" >&2; exit 1; }
  files=() dirs=()
  for entry in "${entries[@]}"; do
    path="${entry#*$'\t'}"
    case "${entry%%$'\t'*}" in
      *_pieces) ;;  # shotscene-split's, which the batch does not run
      *) if [[ "$path" == */ ]]; then dirs+=("$path"); else files+=("$path"); fi ;;
    esac
  done
  earlier "${files[@]}"
  if [[ -n "$clash" ]]; then
    echo "conflict: $video writes the same files as $clash; not run" >&2
    conflicts=$((conflicts + 1))
    continue
  fi
  earlier "${dirs[@]}"
  if [[ -n "$clash" ]]; then
    echo "conflict: $video shares the keyframe folders of $clash; not run" >&2
    conflicts=$((conflicts + 1))
    continue
  fi
  for path in "${files[@]}" "${dirs[@]}"; do writer[$path]="$video"; done
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
