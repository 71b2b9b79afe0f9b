#!/usr/bin/env bash
# Accuracy bench: makes the labelled videos if missing (build/accuracy/), runs
# BINARY --trans_type --shots [OPTIONS] and ffmpeg's scdet on each, scores both
# and prints the table (also written as TSV and JSON into the run's folder).
# Usage: bench/accuracy/run.sh BINARY [OPTIONS]
set -euo pipefail

if (($# < 1)); then
  echo "usage: $0 BINARY [OPTIONS]" >&2
  exit 1
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
binary="$(realpath "$1")"
shift
options=("$@")
[[ -x "$binary" ]] || { echo "run.sh: $binary is not an executable" >&2; exit 1; }

# The generator needs Debian's OpenCV and numpy (for /usr/bin/python3) and the source photographs.
packages=(ffmpeg python3-opencv python3-numpy plasma-workspace-wallpapers gnome-backgrounds)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  if [[ "$(id -u)" -eq 0 ]]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update </dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
  else
    echo "run.sh: install these Debian packages first: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

seed=29
cache="$root/build/accuracy"
mkdir -p "$cache"
# The videos are remade when the generator or the seed changed, or a file is missing.
stamp="$(sha256sum "$here/generate.py" | cut -c1-16)-$seed"
if [[ "$(cat "$cache/stamp" 2>/dev/null || true)" != "$stamp" ]]; then
  rm -f "$cache"/*.mp4 "$cache"/*.truth.json "$cache/stamp"
  start=$SECONDS
  /usr/bin/python3 "$here/generate.py" "$cache" --seed "$seed" --jobs 2
  echo "generated in $((SECONDS - start)) s"
  echo "$stamp" >"$cache/stamp"
fi

# One output folder per set of options, so runs with other options do not clobber this one.
tag="default"
((${#options[@]} > 0)) && tag="$(printf '%s_' "${options[@]}" | tr -c 'A-Za-z0-9.=+-' '_' | sed 's/^-*//; s/_*$//')"
run="$cache/runs/$tag"
rm -rf "$run"
mkdir -p "$run" "$cache/scdet"
: >"$run/scores.jsonl"

tool_seconds=0
scdet_seconds=0
for truth in "$cache"/*.truth.json; do
  name="$(basename "$truth" .truth.json)"
  video="$cache/$name.mp4"
  ln -s "$video" "$run/$name.mp4"
  start=$SECONDS
  if ! "$binary" --trans_type --shots "${options[@]}" "$run/$name.mp4" >"$run/$name.log" 2>&1 </dev/null; then
    echo "run.sh: $binary failed on $name (see $run/$name.log)" >&2
    exit 1
  fi
  tool_seconds=$((tool_seconds + SECONDS - start))
  # scdet depends on the video only; its log is kept beside the videos.
  log="$cache/scdet/$name.log"
  if [[ ! -e "$log" || "$log" -ot "$video" ]]; then
    start=$SECONDS
    rm -f "$log"
    ffmpeg -nostdin -v error -i "$video" \
      -vf "scdet=threshold=10,metadata=mode=print:key=lavfi.scd.time:file=$log.part" -f null -
    touch "$log.part"  # no change found writes nothing
    mv "$log.part" "$log"
    scdet_seconds=$((scdet_seconds + SECONDS - start))
  fi
  tool=$(python3 "$here/score.py" "$truth" "$run/${name}_shots.txt")
  scdet=$(python3 "$here/score.py" "$truth" --scdet "$log")
  kind=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["kind"])' "$truth")
  printf '{"video": "%s", "kind": "%s", "tool": %s, "scdet": %s}\n' "$name" "$kind" "$tool" "$scdet" >>"$run/scores.jsonl"
done

echo "accuracy bench: $binary --trans_type --shots ${options[*]:-}"
python3 "$here/table.py" "$run/scores.jsonl" --tsv "$run/table.tsv" --json "$run/table.json"
echo "tool ${tool_seconds} s, scdet ${scdet_seconds} s (cached logs not counted); files in $run"
