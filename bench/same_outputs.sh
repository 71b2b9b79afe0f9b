#!/usr/bin/env bash
# Runs two builds of shotscene on the same videos and reports every difference
# in what they leave: the files (lists, subtitles, keyframe images), standard
# output, standard error and the exit status.
# Usage: bench/same_outputs.sh [--options 'SET;SET...'] [--threads 'N N...'] [--export]
#                              OLD_BINARY NEW_BINARY VIDEO...
#   --options  the option sets, separated by ";" (default: none at all;
#              "--trans_type --kf_shot --kf_scene"; and that with --refine_shots)
#   --threads  the OMP_NUM_THREADS values (default: 1 2 4)
#   --export   also runs shotscene-export from beside each binary after each run
# Each run gets a folder of its own under a scratch folder, holding a link to
# the video under its own name, so both builds see the same paths. Exits 0
# when every run of both builds left the same, 1 when any differed.
set -euo pipefail

me="$(basename -- "$0")"
usage="usage: $me [--options 'SET;SET...'] [--threads 'N N...'] [--export] OLD_BINARY NEW_BINARY VIDEO..."
sets="; --trans_type --kf_shot --kf_scene; --refine_shots --trans_type --kf_shot --kf_scene"
threads="1 2 4" export=0
while (($#)); do
  case "$1" in
    --options) sets="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    --export) export=1; shift ;;
    -*) echo "$me: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
(($# >= 3)) || { echo "$usage" >&2; exit 2; }
old="$(realpath -- "$1")" new="$(realpath -- "$2")"
shift 2
for binary in "$old" "$new"; do
  [[ -x "$binary" ]] || { echo "$me: $binary is not an executable" >&2; exit 2; }
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Runs BINARY with the options in folder DIR on the video linked there as NAME.
run() {
  local binary="$1" dir="$2" name="$3" count="$4"
  shift 4
  local status=0
  (cd "$dir" && env -u SHOTSCENE_TIMINGS OMP_NUM_THREADS="$count" "$binary" "$@" -- "$name" \
    >../"$(basename "$dir")".out 2>../"$(basename "$dir")".err </dev/null) || status=$?
  echo "$status" >"$dir/../$(basename "$dir").status"
  if ((export)); then
    status=0
    (cd "$dir" && "$(dirname "$binary")/shotscene-export" -- "$name" \
      >>../"$(basename "$dir")".out 2>>../"$(basename "$dir")".err </dev/null) || status=$?
    echo "export $status" >>"$dir/../$(basename "$dir").status"
  fi
}

runs=0 differing=0
IFS=';' read -r -a option_sets <<<"$sets"
for video in "$@"; do
  [[ -f "$video" ]] || { echo "$me: no video $video" >&2; exit 2; }
  name="$(basename -- "$video")"
  for set in "${option_sets[@]}"; do
    read -r -a options <<<"$set"
    for count in $threads; do
      case_dir="$scratch/case"
      rm -rf "$case_dir"
      mkdir -p "$case_dir/old" "$case_dir/new"
      for side in old new; do
        ln -s "$(realpath -- "$video")" "$case_dir/$side/$name"
        binary="$old"
        [[ "$side" == new ]] && binary="$new"
        run "$binary" "$case_dir/$side" "$name" "$count" "${options[@]+"${options[@]}"}"
      done
      runs=$((runs + 1))
      label="$video [${set# }] OMP_NUM_THREADS=$count"
      report=""
      for part in out err status; do
        cmp -s "$case_dir/old.$part" "$case_dir/new.$part" || report+=" $part"
      done
      files="$(diff -r --brief "$case_dir/old" "$case_dir/new" 2>&1 || true)"
      [[ -n "$files" ]] && report+=" files"
      if [[ -n "$report" ]]; then
        differing=$((differing + 1))
        echo "DIFFERENT:$report: $label"
        # The first lines of each difference; awk reads them all, so that no writer is
        # cut off by a closed pipe, which would end the whole comparison here.
        [[ -z "$files" ]] || printf '%s\n' "$files" | sed "s|$case_dir/||g; s|^|  |" | awk 'NR <= 20'
        for part in out err status; do
          cmp -s "$case_dir/old.$part" "$case_dir/new.$part" ||
            { diff "$case_dir/old.$part" "$case_dir/new.$part" || true; } | awk 'NR <= 10' | sed 's/^/  /'
        done
      else
        echo "same: $label"
      fi
    done
  done
done
echo "$runs cases, $differing different"
((differing == 0))
