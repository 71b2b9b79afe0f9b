#!/usr/bin/env bash
# Times the whole tool, and the split between its stages, against a decode-only ffmpeg pass on two 2-minute
# synthetic H.264 videos (1280x720 and 640x360), and the shot stage with --refine_shots against
# without, there and on the accuracy bench's moving 720p video when it has been made
# (bench/accuracy/run.sh). Videos are cached in build/bench/.
# Usage: bench/shot_stage.sh [runs]   (default 3 runs each, median reported)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-3}"
tool="$root/build/shotscene"
maker="$root/build/tools/make_test_video"
if [[ ! -x "$tool" || ! -x "$maker" ]]; then
  "$root/scripts/setup.sh"
fi

bench="$root/build/bench"
mkdir -p "$bench"

# Wall time of one run of the command, in seconds; output discarded.
wall() {
  local t0 t1
  t0=$(date +%s.%N)
  if ! "$@" >/dev/null 2>"$bench/last_error.txt" </dev/null; then
    echo "bench: failed: $*" >&2
    cat "$bench/last_error.txt" >&2
    return 1
  fi
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", b - a }'
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "shot stage bench: $runs runs each, median wall time, $(nproc) cores"
printf '%-10s %8s %10s %12s %8s %8s %10s %8s %10s %8s\n' size frames decode_s shotscene_s fps ratio shots_s ratio \
  refine_s vs_shots
for size in 1280x720 640x360; do
  w=${size%x*} h=${size#*x}
  video="$bench/bench_${size}.mp4"
  if [[ ! -s "$video" ]]; then
    "$maker" "$video" --width "$w" --height "$h" --fps 25 --seconds 120 --codec avc1 >"$bench/bench_${size}.boundaries"
  fi
  frames=$(ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=nb_read_packets -of csv=p=0 "$video")

  decode_times="" shot_times="" stage_times="" refine_times=""
  : >"$bench/stages_${size}.txt"
  for ((i = 0; i < runs; i++)); do
    t=$(wall ffmpeg -v error -i "$video" -f null -)
    decode_times+="$t"$'\n'
    t=$(SHOTSCENE_TIMINGS=1 wall "$tool" "$video")
    shot_times+="$t"$'\n'
    grep '^timing: ' "$bench/last_error.txt" >>"$bench/stages_${size}.txt" || true
    t=$(wall "$tool" --shots "$video")
    stage_times+="$t"$'\n'
    t=$(wall "$tool" --shots --refine_shots "$video")
    refine_times+="$t"$'\n'
  done
  decode=$(printf '%s' "$decode_times" | median)
  shots=$(printf '%s' "$shot_times" | median)
  stageonly=$(printf '%s' "$stage_times" | median)
  refine=$(printf '%s' "$refine_times" | median)

  awk -v s="$size" -v n="$frames" -v d="$decode" -v t="$shots" -v a="$stageonly" -v r="$refine" \
    'BEGIN { printf "%-10s %8d %10.3f %12.3f %8.1f %8.2f %10.3f %8.2f %10.3f %8.2f\n",
             s, n, d, t, n / t, t / d, a, a / d, r, r / a }'
  # Median time of each stage the tool reports, and its share of the whole run.
  split=""
  for stage in $(awk '{ print $2 }' "$bench/stages_${size}.txt" | awk '!seen[$0]++'); do
    m=$(awk -v st="$stage" '$2 == st { print $3 }' "$bench/stages_${size}.txt" | median)
    split+=$(awk -v st="$stage" -v m="$m" -v t="$shots" 'BEGIN { printf "  %s %.3f s (%.1f%%)", st, m, 100 * m / t }')
  done
  echo "$split"
done
# Median wall time of `runs` runs of the command.
median_wall() {
  local times="" i
  for ((i = 0; i < runs; i++)); do times+="$(wall "$@")"$'\n'; done
  printf '%s' "$times" | median
}

moving="$root/build/accuracy/tune/motion_handheld_3.mp4"
if [[ -s "$moving" ]]; then
  plain=$(median_wall "$tool" --shots "$moving")
  refine=$(median_wall "$tool" --shots --refine_shots "$moving")
  awk -v p="$plain" -v r="$refine" \
    'BEGIN { printf "moving 720p (tune set, motion_handheld_3): shots_s %.3f refine_s %.3f vs_shots %.2f\n", p, r, r / p }'
fi
echo "shotscene_s: whole run; shots_s: --shots (shot stage only); fps = frames / whole run;"
echo "each ratio = the time before it / decode-only time, but vs_shots = --shots --refine_shots / --shots;"
echo "stage lines: median and share of the whole run"
