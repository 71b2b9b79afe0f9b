#!/usr/bin/env bash
# Builds shotscene, makes a 30 s synthetic sample with known boundaries and
# cuts it into shots.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
video="$demo/sample.mp4"
stem="${video%.*}"

echo
echo "== Making the sample (known boundaries)"
"$root/build/tools/make_test_video" "$video" --width 640 --height 360 --fps 25 --seconds 30 --codec avc1

echo
echo "== shotscene --trans_type $video"
"$root/build/shotscene" --trans_type "$video"

echo
echo "== Shot list ($stem""_shots.txt: start end keyframe1 keyframe2 keyframe3 type)"
cat "${stem}_shots.txt"

echo
echo "== Start of the subtitles (${stem}_shots.srt)"
head -n 12 "${stem}_shots.srt"

if [[ -f "${stem}_scenes.txt" ]]; then
  echo
  echo "== Scene list (${stem}_scenes.txt)"
  cat "${stem}_scenes.txt"
fi

echo
echo "== The same shots from Python (the module is in build/python)"
PYTHONPATH="$root/build/python" /usr/bin/python3 -c '
import shotscene, sys
found = shotscene.detect_shots(sys.argv[1])
print(len(found.shots), "shots; similarity of frames 1-2 .. 5-6:", found.stats["similarity"][:5])' "$video"

echo
echo "== Exports and contact sheet (shotscene-export)"
"$root/build/shotscene-export" "$video"
echo "Open the contact sheet in a browser: file://${stem}_report.html"
