#!/usr/bin/env bash
# Installs the build dependencies (Debian) when missing, with any extra
# packages named as arguments, then configures and builds shotscene into build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

# dpkg-dev (dpkg-shlibdeps) and file for cpack -G DEB; man-db and groff-base for the manual
# pages; Debian's Python headers and pybind11 for the Python module, NumPy for its arrays and
# pandas for the tests that read the statistics file; an SSH server and rsync for the batch
# test that spreads its videos over SSH.
packages=(cmake g++ make libopencv-dev libtclap-dev libgtest-dev libbenchmark-dev nlohmann-json3-dev ffmpeg chromium parallel
  dpkg-dev file man-db groff-base python3-dev pybind11-dev python3-numpy python3-pandas openssh-server rsync "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo=()
  [[ "$(id -u)" -ne 0 ]] && sudo=(sudo)
  "${sudo[@]}" apt-get update </dev/null
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release </dev/null
cmake --build "$root/build" -j"$(nproc)" </dev/null
