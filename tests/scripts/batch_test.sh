#!/usr/bin/env bash
# Batch runs over a folder of three generated videos and one broken file, a
# resumed run, and splitting a video into shots.
# Usage: tests/scripts/batch_test.sh MAKE_TEST_VIDEO
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
maker="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/videos/more"
for name in "one" "two & a half" "more/three"; do
  "$maker" "$work/videos/$name.mp4" --width 160 --height 96 --seconds 6 --codec avc1 >/dev/null
done
head -c 5000 /dev/urandom >"$work/videos/broken.mp4"
cp "$work/videos/one.mp4" "$work/videos/one.mkv"  # same stem as one.mp4
cp "$work/videos/one.mp4" "$work/videos/two___a_half.avi"  # keyframe folders as "two & a half"

cd "$work"
set +e
"$root/scripts/batch.sh" -j 2 --export "$work/videos" >summary.txt 2>errors.txt
status=$?
set -e
((status != 0)) || fail "a failed video must make the batch fail"
for name in "one" "two & a half" "more/three"; do
  for suffix in _shots.txt _shots.srt _scenes.txt _scenes.srt _shots.csv _shotscene.json; do
    [[ -s "$work/videos/$name$suffix" ]] || fail "missing $name$suffix"
  done
done
grep -q "1 failed" summary.txt || fail "summary: $(cat summary.txt)"
grep -q "failed (status 255): .*broken.mp4" summary.txt || fail "summary: $(cat summary.txt)"
grep -q "conflict: .*one.mkv" errors.txt || fail "no conflict reported: $(cat errors.txt)"
grep "keyframe folders" errors.txt | grep "two & a half.mp4" | grep -q "two___a_half.avi" ||
  fail "no keyframe folder conflict reported: $(cat errors.txt)"
jobs_before=$(wc -l <shotscene-batch.log)
[[ "$jobs_before" -eq 5 ]] || fail "job log holds $jobs_before lines"

set +e
"$root/scripts/batch.sh" -j 2 --resume "$work/videos" >summary2.txt 2>/dev/null
set -e
[[ $(wc -l <shotscene-batch.log) -eq "$jobs_before" ]] || fail "--resume started a job"

# shotscene's options reach every run; resuming with other options, or an
# option shotscene does not take, is refused before any job starts.
"$root/scripts/batch.sh" -j 2 --joblog opts.log "$work/videos/more" -- --refine_shots --trans_type \
  --shots >/dev/null 2>&1 || fail "batch with shotscene options failed"
awk 'NF != 6 { exit 1 }' "$work/videos/more/three_shots.txt" || fail "no type column: options lost"
# A video added since the logged run would shift the others' places in the job log.
cp "$work/videos/one.mp4" "$work/videos/0 new.mp4"
refusals=(
  "-j 2 --resume $work/videos|--resume: the folders hold other videos than when shotscene-batch.log was begun"
  "--resume --joblog opts.log $work/videos/more -- --trans_type|was run with other shotscene options (--refine_shots --trans_type --shots)"
  "$work/videos -- --bogus|not a shotscene option: --bogus"
  "$work/videos -- -p|shotscene option -p needs a value"
)
for refusal in "${refusals[@]}"; do
  args="${refusal%%|*}" expected="${refusal#*|}"
  set +e
  # shellcheck disable=SC2086
  "$root/scripts/batch.sh" $args >/dev/null 2>refused.txt
  status=$?
  set -e
  ((status == 2)) || fail "batch $args: status $status"
  grep -qF -- "$expected" refused.txt || fail "batch $args: $(cat refused.txt)"
done
[[ $(wc -l <opts.log) -eq 2 && $(wc -l <shotscene-batch.log) -eq "$jobs_before" ]] ||
  fail "a refused batch ran jobs"

out="$("$root/scripts/split.sh" "$work/videos/one.mp4" --exact)"
shots=$(wc -l <"$work/videos/one_shots.txt")
[[ $(echo "$out" | wc -l) -eq "$shots" ]] || fail "split made $(echo "$out" | wc -l) pieces for $shots shots"
first_frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
  -of csv=p=0 "$work/videos/one-Shot-001.mp4")
expected=$(awk 'NR == 1 { print $2 - $1 + 1 }' "$work/videos/one_shots.txt")
[[ "$first_frames" -eq "$expected" ]] || fail "first piece has $first_frames frames, not $expected"
echo "batch and split: ok"
