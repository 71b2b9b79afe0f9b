#!/usr/bin/env bash
# Installs shotscene into a scratch prefix and uses it from there (the tools, the
# batch and split scripts from another folder, the manual pages, the Python module),
# then builds the Debian package and checks its files, its declared dependencies, its
# copyright and its changelog.
# Usage: tests/scripts/install_test.sh BUILD_DIR MAKE_TEST_VIDEO VERSION [MODULE]
# MODULE: the Python module's path under a prefix other than /usr, when the build has one.
set -euo pipefail

build="$(cd "$1" && pwd)" maker="$2" version="$3" module="${4:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Installed layout: path and mode.
layout=(
  "bin/shotscene -rwxr-xr-x"
  "bin/shotscene-export -rwxr-xr-x"
  "bin/shotscene-batch -rwxr-xr-x"
  "bin/shotscene-split -rwxr-xr-x"
  "libexec/shotscene/batch-job -rwxr-xr-x"
  "share/man/man1/shotscene.1.gz -rw-r--r--"
  "share/man/man1/shotscene-export.1.gz -rw-r--r--"
  "share/man/man1/shotscene-batch.1.gz -rw-r--r--"
  "share/man/man1/shotscene-split.1.gz -rw-r--r--"
  "share/doc/shotscene/copyright -rw-r--r--"
  "share/doc/shotscene/changelog.gz -rw-r--r--"
)
[[ -z "$module" ]] || layout+=("$module -rw-r--r--")
# The package puts the module where Debian puts its packages' modules.
packaged="lib/python3/dist-packages/${module##*/}"
# Debian's python3 would look for the module in SYSTEM/MODULE (/usr/local for an install,
# /usr for the package), and imports it from ROOT/MODULE to find the shots the command
# lists. Usage: imports SYSTEM ROOT MODULE VIDEO SHOTS
imports() {
  /usr/bin/python3 -c 'import site, sys; sys.exit(sys.argv[1] not in site.getsitepackages())' \
    "$1/${3%/*}" || fail "Debian's python3 does not look in $1/${3%/*}"
  found="$(cd / && PYTHONPATH="$2/${3%/*}" /usr/bin/python3 -c \
    'import shotscene, sys; print(len(shotscene.detect_shots(sys.argv[1]).shots))' "$4")" ||
    fail "the module under $2 does not import or run"
  [[ "$found" == "$5" ]] || fail "the module under $2 finds $found shots, the command $5"
}

# == cmake --install into a prefix
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$work/install.log")"
for entry in "${layout[@]}"; do
  read -r path mode <<<"$entry"
  [[ -f "$prefix/$path" ]] || fail "not installed: $path"
  actual="$(stat -c %A "$prefix/$path")"
  [[ "$actual" == "$mode" ]] || fail "$path installed as $actual, not $mode"
done
# Nothing else: the sample-video maker (tools/) is for the demo, the bench and the tests.
printf '%s\n' "${layout[@]%% *}" >"$work/layout.txt"
extra="$(cd "$prefix" && find . -type f | sed 's#^\./##' | grep -vxF -f "$work/layout.txt")" &&
  fail "installed beyond the layout: $extra"
for tool in shotscene shotscene-export; do
  out="$("$prefix/bin/$tool" --version)"
  [[ "$out" == *"version: $version"* ]] || fail "$tool --version says '$out', the project is $version"
done

# The installed scripts, run from another folder with no build tree on the way: the
# batch must use the installed job helper and tools.
mkdir -p "$work/videos" "$work/elsewhere"
video="$work/videos/clip one.mp4"
"$maker" "$video" --width 160 --height 96 --seconds 6 --codec avc1 >/dev/null
cd "$work/elsewhere"
env -u PARALLEL_OPTIONS PATH=/usr/bin:/bin "$prefix/bin/shotscene-batch" -j 1 --export ../videos \
  >summary.txt 2>errors.txt || fail "installed batch failed: $(cat summary.txt errors.txt)"
grep -qx "1 jobs in the log, 0 failed" summary.txt || fail "batch summary: $(cat summary.txt)"
for suffix in _shots.txt _shots.srt _scenes.txt _scenes.srt _shots.csv _report.html; do
  [[ -s "$work/videos/clip one$suffix" ]] || fail "the installed batch wrote no clip one$suffix"
done
grep -qF "libexec/shotscene/batch-job $prefix/bin " shotscene-batch.log ||
  fail "the batch did not run the installed job and tools: $(cat shotscene-batch.log)"
pieces="$(PATH=/usr/bin:/bin "$prefix/bin/shotscene-split" "$video" | wc -l)"
shots="$(wc -l <"$work/videos/clip one_shots.txt")"
[[ "$pieces" -eq "$shots" ]] || fail "the installed split made $pieces pieces for $shots shots"
[[ -z "$module" ]] || imports /usr/local "$prefix" "$module" "$video" "$shots"

# The manual pages: found under the prefix and rendered without a warning.
for page in shotscene shotscene-export shotscene-batch shotscene-split; do
  found="$(MANPATH="$prefix/share/man" man -w "$page" 2>&1)" || fail "man -w $page: $found"
  [[ "$found" == "$prefix/share/man/man1/$page.1.gz" ]] || fail "man $page finds $found"
  LC_ALL=C.UTF-8 MANWIDTH=80 MANROFFOPT=-ww man -l "$found" >page.txt 2>warnings.txt ||
    fail "man -l $page failed: $(cat warnings.txt)"
  [[ ! -s warnings.txt ]] || fail "man -l $page warns: $(cat warnings.txt)"
  grep -q "^shotscene $version " page.txt || fail "the $page page does not give version $version"
  grep -q "^NAME" page.txt || fail "the $page page has no NAME section"
done

# == The Debian package
if [[ -n "$module" ]]; then
  layout=("${layout[@]/#$module /$packaged }")
  printf '%s\n' "${layout[@]%% *}" >"$work/layout.txt"
fi
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
deb="$work/package/shotscene_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || fail "no $(basename "$deb"); cpack made: $(ls "$work/package")"
dpkg-deb -c "$deb" | awk '{ print $6, $1, $2 }' >contents.txt
for entry in "${layout[@]}"; do
  read -r path mode <<<"$entry"
  grep -qx "./usr/$path $mode root/root" contents.txt ||
    fail "the package does not hold usr/$path as $mode root/root: $(cat contents.txt)"
done
extra="$(awk '$2 ~ /^-/ { print $1 }' contents.txt | sed 's#^\./usr/##' | grep -vxF -f "$work/layout.txt")" &&
  fail "the package holds files beyond the layout: $extra"
dpkg-deb -x "$deb" "$work/unpacked"
for script in bin/shotscene-batch bin/shotscene-split libexec/shotscene/batch-job; do
  cmp -s "$prefix/$script" "$work/unpacked/usr/$script" || fail "the package's $script differs"
done
if [[ -n "$module" ]]; then
  imports /usr "$work/unpacked/usr" "$packaged" "$video" "$shots"
  # Stripped like the tools, which install(TARGETS) would do for it.
  ! readelf -S "$work/unpacked/usr/$packaged" | grep -q '\.symtab' || fail "the package's module is not stripped"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == shotscene && "$(field Version)" == "$version" ]] ||
  fail "package $(field Package) version $(field Version)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\ ]+@[^@\ ]+\>$ ]] || fail "Maintainer '$(field Maintainer)' has no address"
[[ -n "$(field Description)" ]] || fail "no description"
for wanted in parallel ffmpeg; do
  [[ ", $(field Recommends), " == *", $wanted, "* ]] || fail "Recommends lacks $wanted: $(field Recommends)"
done

# Every OpenCV and OpenMP library the binaries load belongs to a package in Depends.
depends="$(field Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g')"
if [[ -n "$module" ]]; then
  for wanted in python3 python3-numpy; do
    grep -qx "$wanted" <<<"$depends" || fail "Depends lacks $wanted: $(field Depends)"
  done
fi
checked=0
for binary in shotscene shotscene-export; do
  while read -r library; do
    owner="$(dpkg -S "*/$library" | head -n 1 | cut -d: -f1)"
    [[ -n "$owner" ]] || fail "no installed package holds $library"
    grep -qx "$owner" <<<"$depends" || fail "$binary loads $library of $owner, not in Depends: $(field Depends)"
    checked=$((checked + 1))
  done < <(objdump -p "$work/unpacked/usr/bin/$binary" | awk '$1 == "NEEDED" { print $2 }' |
    grep -E '^lib(opencv_|gomp)')
done
((checked >= 2)) || fail "the binaries load no OpenCV or OpenMP library"

# The copyright file: Debian's machine-readable form, every file under Apache-2.0, and that
# licence's own paragraph.
doc="$work/unpacked/usr/share/doc/shotscene"
head -n 1 "$doc/copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
  fail "the copyright file is not in the machine-readable format: $(head -n 1 "$doc/copyright")"
grep -qzP '\nFiles: \*\nCopyright: [^\n]+\nLicense: Apache-2.0\n' "$doc/copyright" ||
  fail "the copyright file does not give every file as Apache-2.0"
grep -qzP '\n\nLicense: Apache-2.0\n [^\n]*\n' "$doc/copyright" ||
  fail "the copyright file has no Apache-2.0 licence paragraph"
# The changelog: compressed as gzip -9n does (no name, no time stamp), its latest entry
# for this package and version.
gzip -dc "$doc/changelog.gz" >changelog || fail "changelog.gz does not decompress"
gzip -9nc changelog | cmp -s - "$doc/changelog.gz" || fail "changelog.gz is not compressed with gzip -9n"
latest="$(dpkg-parsechangelog -l changelog -S Source 2>&1) $(dpkg-parsechangelog -l changelog -S Version 2>&1)"
[[ "$latest" == "shotscene $version" ]] || fail "the changelog's latest entry is not shotscene $version: $latest"
echo "install and package: ok"
