#!/usr/bin/env bash
# Cuts a video into one file per shot (or per scene) along shotscene's results,
# with the ffmpeg program, as STEM-Shot-NNN.EXT (STEM-Scene-NNN.EXT).
# Usage: scripts/split.sh VIDEO [--scenes] [--exact]   (installed as shotscene-split)
#   By default streams are copied: fast and lossless, but each cut lands on the
#   nearest keyframe at or before its start, so pieces may begin a little early.
#   --exact re-encodes (H.264/AAC) for frame-exact pieces.
# Run shotscene on VIDEO first. Arguments go to ffmpeg directly, never through
# a shell, so any file name is safe.
set -euo pipefail

me="$(basename -- "$0")"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shotscene-export as laid out in the source tree. The installed copy has this
# line replaced with the installed place (cmake/Install.cmake).
tools="$(cd "$here/.." && pwd)/build"

usage() { echo "usage: $me VIDEO [--scenes] [--exact]" >&2; exit 2; }
[[ $# -ge 1 ]] || usage
video="$1"
shift
list=shots pieces=shot_pieces exact=0
for arg in "$@"; do
  case "$arg" in
    --scenes) list=scenes pieces=scene_pieces ;;
    --exact) exact=1 ;;
    *) usage ;;
  esac
done
[[ -f "$video" ]] || { echo "$me: no video $video" >&2; exit 1; }

# The list and the pieces' name as the tools make them: the pieces' is
# STEM-Shot-NNN.EXT, with NNN for the number.
listfile="" name=""
while IFS= read -r -d '' entry; do
  case "${entry%%$'\t'*}" in
    "$list") listfile="${entry#*$'\t'}" ;;
    "$pieces") name="${entry#*$'\t'}" ;;
  esac
done < <("$tools/shotscene-export" --paths -0 -- "$video")
[[ -n "$listfile" && -n "$name" ]] || { echo "$me: $tools/shotscene-export --paths failed" >&2; exit 1; }
[[ -f "$listfile" ]] || { echo "$me: no $listfile; run shotscene first" >&2; exit 1; }

rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate -of csv=p=0 -- "$video")
[[ "$rate" == */* ]] || rate="$rate/1"
n=0
while read -r first last _; do
  [[ "$first" =~ ^[0-9]+$ && "$last" =~ ^[0-9]+$ ]] || { echo "$me: bad line in $listfile" >&2; exit 1; }
  n=$((n + 1))
  start=$(awk -v f="$first" -v r="$rate" 'BEGIN { split(r, q, "/"); printf "%.6f", (f - 1) * q[2] / q[1] }')
  frames=$((last - first + 1))
  duration=$(awk -v c="$frames" -v r="$rate" 'BEGIN { split(r, q, "/"); printf "%.6f", c * q[2] / q[1] }')
  out="${name%NNN.*}$(printf %03d "$n").${name##*NNN.}"
  if ((exact)); then
    ffmpeg -nostdin -v error -y -ss "$start" -i "$video" -frames:v "$frames" -t "$duration" \
      -c:v libx264 -crf 18 -c:a aac -- "$out"
  else
    ffmpeg -nostdin -v error -y -ss "$start" -i "$video" -t "$duration" -c copy \
      -avoid_negative_ts make_zero -- "$out"
  fi
  echo "$out"
done <"$listfile"
