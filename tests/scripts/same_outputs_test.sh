#!/usr/bin/env bash
# The output comparison reports every case, however large a difference, and
# fails when any differed: a second build that prints a line more and leaves
# thirty files more beside the video differs in each of four cases.
# Usage: tests/scripts/same_outputs_test.sh SHOTSCENE MAKE_TEST_VIDEO
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
shotscene="$1"
maker="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$maker" "$work/clip.avi" --width 160 --height 96 --seconds 3 >/dev/null
cat >"$work/noisy" <<SCRIPT
#!/usr/bin/env bash
"$shotscene" "\$@"
status=\$?
echo "one line more"
for i in \$(seq 30); do : >"\$(dirname "\${@: -1}")/extra_\$i.txt"; done
exit \$status
SCRIPT
chmod +x "$work/noisy"

set +e
"$root/bench/same_outputs.sh" --options ';--trans_type' --threads '1 2' \
  "$shotscene" "$work/noisy" "$work/clip.avi" >"$work/report.txt" 2>&1
status=$?
set -e
((status == 1)) || fail "exit status $status, not 1"
[[ "$(grep -c '^DIFFERENT: out files: ' "$work/report.txt")" == 4 ]] ||
  fail "not every case reported: $(cat "$work/report.txt")"
[[ "$(tail -n 1 "$work/report.txt")" == "4 cases, 4 different" ]] || fail "no summary line"

"$root/bench/same_outputs.sh" --threads 1 "$shotscene" "$shotscene" "$work/clip.avi" >"$work/same.txt" ||
  fail "one build against itself differed: $(cat "$work/same.txt")"
echo "same_outputs_test: ok"
