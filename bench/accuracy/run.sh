#!/usr/bin/env bash
# Accuracy bench: makes the labelled videos of each set if missing (build/accuracy/SET/),
# runs BINARY --trans_type --shots [OPTIONS], ffmpeg's scdet and the two peers (peers.py)
# on each, scores them and prints the tables (also written as TSV and JSON into the run's
# folder). The check set's table comes last: it is the one that counts.
# Usage: bench/accuracy/run.sh BINARY [--set tune|check|both] [OPTIONS]
set -euo pipefail

usage="usage: $0 BINARY [--set tune|check|both] [OPTIONS]"
if (($# < 1)); then
  echo "$usage" >&2
  exit 1
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
binary="$(realpath "$1")"
shift
sets=(tune check)
if (($# > 0)) && [[ "$1" == --set || "$1" == --set=* ]]; then
  if [[ "$1" == --set ]]; then
    (($# > 1)) || { echo "$usage" >&2; exit 1; }
    choice="$2"
    shift 2
  else
    choice="${1#--set=}"
    shift
  fi
  case "$choice" in
    tune | check) sets=("$choice") ;;
    both) ;;
    *) echo "run.sh: --set must be tune, check or both, not '$choice'" >&2; exit 1 ;;
  esac
fi
options=("$@")
[[ -x "$binary" ]] || { echo "run.sh: $binary is not an executable" >&2; exit 1; }

# The generator and the peers need Debian's OpenCV and numpy (for /usr/bin/python3) and the
# source pictures.
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

declare -A seed=([tune]=29 [check]=47)
# One output folder per set of options, so runs with other options do not clobber this one.
tag="default"
((${#options[@]} > 0)) && tag="$(printf '%s_' "${options[@]}" | tr -c 'A-Za-z0-9.=+-' '_' | sed 's/^-*//; s/_*$//')"

for set in "${sets[@]}"; do
  cache="$root/build/accuracy/$set"
  mkdir -p "$cache"
  # The videos are remade when the generator or the seed changed, or a file is missing.
  stamp="$(sha256sum "$here/generate.py" | cut -c1-16)-${seed[$set]}"
  if [[ "$(cat "$cache/stamp" 2>/dev/null || true)" != "$stamp" ]]; then
    rm -rf "$cache"/*.mp4 "$cache"/*.truth.json "$cache/stamp" "$cache/scdet" "$cache/peers"
    start=$SECONDS
    /usr/bin/python3 "$here/generate.py" "$cache" --set "$set" --seed "${seed[$set]}" --jobs 2
    echo "$set set generated in $((SECONDS - start)) s"
    echo "$stamp" >"$cache/stamp"
  fi
  # The peers' results depend on the video and peers.py only; they are kept beside the videos.
  peers_stamp="$(sha256sum "$here/peers.py" | cut -c1-16)"
  if [[ "$(cat "$cache/peers/stamp" 2>/dev/null || true)" != "$peers_stamp" ]]; then
    rm -rf "$cache/peers"
    mkdir -p "$cache/peers"
    echo "$peers_stamp" >"$cache/peers/stamp"
  fi

  run="$root/build/accuracy/runs/$tag/$set"
  rm -rf "$run"
  mkdir -p "$run" "$cache/scdet"
  : >"$run/scores.jsonl"
  tool_seconds=0
  peer_seconds=0
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
    start=$SECONDS
    log="$cache/scdet/$name.log"
    if [[ ! -e "$log" || "$log" -ot "$video" ]]; then
      rm -f "$log"
      ffmpeg -nostdin -v error -i "$video" \
        -vf "scdet=threshold=10,metadata=mode=print:key=lavfi.scd.time:file=$log.part" -f null -
      touch "$log.part"  # no change found writes nothing
      mv "$log.part" "$log"
    fi
    peer="$cache/peers/$name"
    if [[ ! -e "$peer.adaptive" || "$peer.adaptive" -ot "$video" ]]; then
      /usr/bin/python3 "$here/peers.py" "$video" --content "$peer.content.part" --adaptive "$peer.adaptive.part"
      mv "$peer.content.part" "$peer.content"
      mv "$peer.adaptive.part" "$peer.adaptive"
    fi
    peer_seconds=$((peer_seconds + SECONDS - start))
    tool=$(python3 "$here/score.py" "$truth" "$run/${name}_shots.txt")
    scdet=$(python3 "$here/score.py" "$truth" --scdet "$log")
    content=$(python3 "$here/score.py" "$truth" --frames "$peer.content")
    adaptive=$(python3 "$here/score.py" "$truth" --frames "$peer.adaptive")
    kind=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["kind"])' "$truth")
    printf '{"video": "%s", "kind": "%s", "tool": %s, "peers": {"scdet": %s, "content": %s, "adaptive": %s}}\n' \
      "$name" "$kind" "$tool" "$scdet" "$content" "$adaptive" >>"$run/scores.jsonl"
  done

  python3 "$here/table.py" "$run/scores.jsonl" --title "$set set: $binary --trans_type --shots ${options[*]:-}" \
    --tsv "$run/table.tsv" --json "$run/table.json" | tee "$run/table.txt"
  echo "tool ${tool_seconds} s, peers ${peer_seconds} s (cached results not counted); files in $run"
  echo
done
