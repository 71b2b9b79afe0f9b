#!/usr/bin/env bash
# Runs shotscene over every video under the given folders with GNU parallel, on this
# machine or spread over several.
# Usage: scripts/batch.sh [-j JOBS] [-S LOGIN[,LOGIN...] [--transfer]] [--export] [--resume]
#                         [--joblog FILE] FOLDER... [-- SHOTSCENE_OPTION...]
# (installed as shotscene-batch)
#   -S         the hosts, as GNU parallel's --sshlogin takes them ([N/]host, ":" for this
#              machine); each runs the shotscene tools on its PATH. A host that cannot be
#              reached or lacks the tools is named and gets no videos. By default every
#              host sees the videos at the same path and writes the outputs beside them.
#   --transfer with -S: sends each video to its host, runs it in a folder of its own there
#              and brings every output back beside the video (none of a failed job),
#              leaving nothing on the host
#   --export   also runs shotscene-export on each video
#   --resume   skips the videos the job log already holds (after an interruption);
#              refused when the shotscene options or the videos found differ from the
#              logged run's (kept in FILE.videos)
#   --joblog   the job log (default: shotscene-batch.log in the current folder)
#   after --   options for every shotscene run (--refine_shots, --kf_shot, -p DIR, ...),
#              kept in FILE.options beside the job log
# Extra options for parallel can be given in PARALLEL_OPTIONS; its own settings (such as
# PARALLEL_SSH) apply.
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

usage="usage: $me [-j JOBS] [-S LOGIN[,LOGIN...] [--transfer]] [--export] [--resume] [--joblog FILE] FOLDER... [-- SHOTSCENE_OPTION...]"
jobs=() logins="" transfer=0 export=0 resume=() joblog="shotscene-batch.log" folders=() options=()
kf_path=()
valued() { (($# > 1)) || { echo "$me: $1 needs a value" >&2; exit 2; }; }  # OPTION ARG...
while (($#)); do
  case "$1" in
    -j) valued "$@"; jobs=(-j "$2"); shift 2 ;;
    -S) valued "$@"; logins="$2"; shift 2 ;;
    --joblog) valued "$@"; joblog="$2"; shift 2 ;;
    --transfer) transfer=1; shift ;;
    --export) export=1; shift ;;
    --resume) resume=(--resume); shift ;;
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
if ((transfer)); then
  [[ -n "$logins" ]] || { echo "$me: --transfer needs the hosts (-S)" >&2; exit 2; }
  # The keyframes are brought back beside each video; a folder elsewhere is not mapped.
  ((${#kf_path[@]} == 0)) || { echo "$me: --transfer does not take shotscene's -p/--kf_path" >&2; exit 2; }
fi
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

hosts=()
if [[ -n "$logins" ]]; then
  # Jobs on this machine (":") run the tools the batch found; remote ones their own.
  export PATH="$tools:$PATH"
  needed=(shotscene shotscene-export)
  ((transfer == 0)) || needed+=(rsync)
  check="for t in ${needed[*]}; do command -v \$t >/dev/null || { echo \"missing \$t\"; exit; }; done; echo ready"
  # Each host is asked once, before it is given any video.
  IFS=, read -r -a given <<<"$logins"
  for login in "${given[@]}"; do
    name="$login"
    [[ "$login" =~ ^[0-9]+/(.+)$ ]] && name="${BASH_REMATCH[1]}"
    answer="$(parallel --will-cite --nonall -S "$login" "$check" </dev/null 2>/dev/null || true)"
    case "$answer" in
      ready) hosts+=("$login") ;;
      "missing "*) echo "$me: host $name has no ${answer#missing } on its PATH (install shotscene there); it gets no videos" >&2 ;;
      *) echo "$me: host $name cannot be reached; it gets no videos" >&2 ;;
    esac
  done
  ((${#hosts[@]})) || { echo "$me: no host given with -S can run the videos" >&2; exit 1; }
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
list="$work/videos"
: >"$list"
: >"$work/named"  # the videos to run, by the paths found
# With --transfer, the outputs of the video on line N of the list are on line N of
# $work/out.K (K counts the kinds --paths names), as DIR/./NAME for rsync.
outputs=0
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
  printf '%s\0' "$video" >>"$work/named"
  if ((transfer)); then
    # On the host the video is run by its name alone in the job's folder: each output
    # there is what --paths names for that name, and here what it names for the video.
    dir="${video%/*}" name="${video##*/}"
    [[ "$video" == */* ]] || dir=.
    while [[ "$dir" == *"/./"* ]]; do dir="${dir/\/.\//\/}"; done  # rsync takes one /./
    mapfile -d '' -t there < <("$tools/shotscene-export" --paths -0 -- "$name")
    ((${#there[@]} == ${#entries[@]})) || { echo "$me: --paths differs for $name and $video" >&2; exit 1; }
    k=0
    for ((e = 0; e < ${#entries[@]}; ++e)); do
      kind="${entries[e]%%$'\t'*}" here_path="${entries[e]#*$'\t'}" there_path="${there[e]#*$'\t'}"
      [[ "$kind" != *_pieces ]] || continue
      [[ "$kind" == "${there[e]%%$'\t'*}" && "$here_path" == *"/$there_path" ]] ||
        { echo "$me: $here_path can not be brought back from $there_path" >&2; exit 1; }
      k=$((k + 1))
      path="${here_path%"$there_path"}./$there_path"
      printf '%s\0' "$path" >>"$work/out.$k"
      # What the video already has goes with it; in place of what it lacks, an empty file.
      [[ -e "$here_path" ]] || path="$work/./.shotscene-batch-none"
      printf '%s\0' "$path" >>"$work/in.$k"
    done
    ((outputs == 0 || outputs == k)) || { echo "$me: --paths named $k outputs for $video, $outputs for others" >&2; exit 1; }
    outputs=$k
    video="$dir/./$name"
  fi
  printf '%s\0' "$video" >>"$list"
done < <(find "${folders[@]}" -type f \( -iname '*.mp4' -o -iname '*.mkv' -o -iname '*.avi' \
  -o -iname '*.mov' -o -iname '*.m4v' -o -iname '*.mpg' -o -iname '*.mpeg' -o -iname '*.ts' \
  -o -iname '*.webm' -o -iname '*.wmv' -o -iname '*.flv' \) -print0 | sort -z)
# The job log knows jobs by their place in the list, so a resumed run must list the same
# videos: one added before another that ran would take its place and never run.
if ((${#resume[@]})) && [[ -e "$joblog" && -e "$joblog.videos" ]] &&
  ! cmp -s "$joblog.videos" "$work/named"; then
  echo "$me: --resume: the folders hold other videos than when $joblog was begun; resume with the same videos, or run the others with a new job log" >&2
  exit 2
fi
cp "$work/named" "$joblog.videos"

run=(parallel --will-cite --null -q --joblog "$joblog" "${resume[@]}" "${jobs[@]}" -a "$list")
[[ -t 2 ]] && run+=(--bar)  # a progress line only on a terminal
if [[ -z "$logins" ]]; then
  ((${#jobs[@]})) || run+=(-j "$(nproc)")
  command=("$job" "$tools" {} "$export" 0 "")
else
  # A job that fails on a host (one that went down, say) is tried on another.
  run+=(-S "$(IFS=,; echo "${hosts[*]}")" --retries "${#hosts[@]}")
  video="{1}" named=""
  # Paths are given as they were given here, so the outputs name them alike: with a shared
  # folder, relative ones are found from this folder, which the hosts share too.
  for path in "${folders[@]}" "${kf_path[@]:1}"; do
    [[ "$path" == /* ]] || { ((transfer)) || run+=(--workdir "$PWD"); break; }
  done
  if ((transfer)); then
    # Each job gets a folder of its own under the login's home, removed with everything
    # in it once its outputs are back. The outputs a video already has go with it, so
    # the tools treat them as they would here (stale keyframes are removed), and each
    # comes back as the host left it; one the job did not leave is skipped.
    run+=(--link --transferfile {1} --workdir ... --cleanup -a "$work/named")
    for ((k = 1; k <= outputs; ++k)); do
      run+=(-a "$work/in.$k" --transferfile "{$((2 * k + 1))}")
      run+=(-a "$work/out.$k" --return "{$((2 * k + 2))}")
    done
    : >"$work/.shotscene-batch-none"
    export PARALLEL_RSYNC_OPTS="${PARALLEL_RSYNC_OPTS:--rlDzR} --ignore-missing-args --delete"
    # parallel quotes the remote paths itself, as rsync before 3.2.4 expected.
    export RSYNC_OLD_ARGS=1
    video="{=1 s:.*/\./:: =}" named="{2}"
  fi
  # The job helper goes with each job as a command, so no host needs it at this path.
  command=(bash -c "$(<"$job")" batch-job "" "$video" "$export" "$transfer" "$named")
fi
status=0
# shellcheck disable=SC2086
"${run[@]}" ${PARALLEL_OPTIONS:-} "${command[@]}" "${options[@]+"${options[@]}"}" >/dev/null ||
  status=$?

# Summary from the job log (sequence number, exit status and signal in columns 1, 7, 8).
mapfile -d '' -t videos <"$list"
logged=0 failed=0
while IFS=$'\t' read -r seq _ _ _ _ _ exitval signal _; do
  [[ "$seq" =~ ^[0-9]+$ ]] || continue  # the header
  logged=$((logged + 1))
  if [[ "$exitval" != 0 || "$signal" != 0 ]]; then
    failed=$((failed + 1))
    video="${videos[seq - 1]:-job $seq}"
    ((transfer == 0)) || video="${video/\/.\//\/}"
    if [[ "$signal" != 0 ]]; then
      echo "failed (signal $signal): $video"
    else
      echo "failed (status $exitval): $video"
    fi
  fi
done <"$joblog"
echo "$logged jobs in the log, $failed failed"
if ((status != 0 || conflicts != 0)); then exit 1; fi
