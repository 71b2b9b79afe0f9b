#!/usr/bin/env bash
# Holds the manual pages to the tools: the options each page lists are the ones
# the tool takes, its exit statuses the ones runs give, its output files the ones
# a run writes; and README.md and docs/tools.md name the same files and statuses.
# Usage: tests/scripts/man_pages_test.sh MAN_DIR SHOTSCENE SHOTSCENE_EXPORT MAKE_TEST_VIDEO
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
man_dir="$(realpath -- "$1")" shotscene="$(realpath -- "$2")"
export_tool="$(realpath -- "$3")" maker="$(realpath -- "$4")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The tags of a page's .TP paragraphs in one section, as they print, one a line.
tags() {
  awk -v want="$2" '
    function args(s, a,    n, i, c, w, q, has) {
      n = 0; w = ""; q = 0; has = 0
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "\"") { q = !q; has = 1; continue }
        if (c == " " && !q) { if (has) a[++n] = w; w = ""; has = 0; continue }
        w = w c; has = 1
      }
      if (has) a[++n] = w
      return n
    }
    /^\.SH / { section = $0; sub(/^\.SH +/, "", section); gsub(/"/, "", section); next }
    /^\.TP/ { tag = 1; next }
    tag {
      tag = 0
      if (section != want) next
      out = $0
      if ($1 ~ /^\./) {
        rest = $0; sub(/^\.[A-Z]+ */, "", rest)
        n = args(rest, a); out = ""
        # .B and .I join their words with blanks, the alternating-font macros without.
        for (i = 1; i <= n; i++) out = out (i > 1 && ($1 == ".B" || $1 == ".I") ? " " : "") a[i]
      }
      gsub(/\\f[BIRP]/, "", out); gsub(/\\-/, "-", out); gsub(/\\&/, "", out)
      print out
    }' "$man_dir/$1.1"
}
options_in() { grep -oE -- '-{1,2}[A-Za-z_]*' | sort -u; }
same() {  # what, documented list, actual list
  [[ -n "$3" ]] || fail "$1: nothing found to compare"
  [[ "$2" == "$3" ]] || fail "$1 differ; page: $(echo $2), actual: $(echo $3)"
}
# Runs a command and prints its exit status.
status_of() { local s=0; "$@" >/dev/null 2>&1 || s=$?; echo "$s"; }
# Runs shotscene, sends it the signal once its first line shows the run under
# way (paused, so that it is still running), and prints its exit status, or "killed by N" when it died of signal N
# (no handler ran). Fails when no first line comes within 60 s.
stopped() {  # SIGNAL ARGS...
  perl -MPOSIX=:sys_wait_h -e '
    my ($signal, @command) = @ARGV;
    pipe(my $from, my $to) or die "pipe: $!";
    my $pid = fork() // die "fork: $!";
    if ($pid == 0) {
      # As from a terminal, whatever the test runner ignores (nohup, a background job).
      $SIG{INT} = $SIG{TERM} = "DEFAULT";
      open(STDOUT, ">&", $to); open(STDERR, ">", "/dev/null"); exec(@command); exit 127;
    }
    close $to;
    $SIG{ALRM} = sub { kill("KILL", $pid); die "no first line in 60 s\n" };
    alarm 60;
    (<$from> // "") =~ /^Shot segmentation analysis/ or die "the run did not start\n";
    alarm 0;
    kill("STOP", $pid);
    waitpid($pid, WUNTRACED) == $pid && WIFSTOPPED(${^CHILD_ERROR_NATIVE}) or die "the run ended first\n";
    kill($signal, $pid);
    kill("CONT", $pid);
    1 while <$from>;
    waitpid($pid, 0);
    my $status = ${^CHILD_ERROR_NATIVE};
    print WIFEXITED($status) ? WEXITSTATUS($status) : "killed by " . WTERMSIG($status), "\n"' "$@" ||
    fail "stopping shotscene with SIG$1"
}

# == Options: from each tool's help and each script's option cases
for tool in "$shotscene" "$export_tool"; do
  page="$(basename "$tool")"
  documented="$(tags "$page" OPTIONS | options_in)"
  actual="$("$tool" --help | grep -E '^   -' | options_in)"
  same "$page options" "$documented" "$actual"
done
for script in batch split; do
  documented="$(tags "shotscene-$script" OPTIONS | options_in)"
  actual="$(grep -oE '^ +-[-a-zA-Z]+\)' "$root/scripts/$script.sh" | tr -d ' )' | sort -u)"
  same "shotscene-$script options" "$documented" "$actual"
done

# == Output files and exit statuses
cd "$work"
"$maker" clip.mp4 --width 160 --height 96 --seconds 6 --codec avc1 >/dev/null
head -c 5000 /dev/urandom >broken.mp4
mkdir long
"$maker" long/clip.mp4 --width 640 --height 360 --seconds 40 --codec avc1 >/dev/null
statuses="$(status_of "$shotscene"; status_of "$shotscene" missing.mp4
  status_of "$shotscene" --trans_type --kf_shot --kf_scene --stats clip.mp4
  stopped INT "$shotscene" long/clip.mp4; stopped TERM "$shotscene" long/clip.mp4)"
rm -r long
same "shotscene exit statuses" "$(tags shotscene "EXIT STATUS" | sort -u)" "$(sort -u <<<"$statuses")"
readme="$(sed -n '/^## Exit statuses/,/^## /p' "$root/README.md" | grep -E '^- `[0-9]+`' |
  grep -oE '`[0-9]+`' | tr -dc '0-9\n')"
same "README exit statuses" "$(tags shotscene "EXIT STATUS" | sort -u)" "$(sort -u <<<"$readme")"

listing() { ls -p | grep -v -e '^clip\.mp4$' -e '^broken\.mp4$' | sed 's/^clip/STEM/' | sort; }
written="$(listing)"
same "shotscene output files" "$(tags shotscene "OUTPUT FILES" | sort)" "$written"
while read -r name; do
  grep -qF "\`clip${name#STEM}\`" "$root/README.md" || fail "README.md does not name clip${name#STEM}"
done <<<"$written"

statuses="$(status_of "$export_tool" -f nope clip.mp4; status_of "$export_tool" broken.mp4
  status_of "$export_tool" clip.mp4)"
same "shotscene-export exit statuses" "$(tags shotscene-export "EXIT STATUS" | sort -u)" \
  "$(sort -u <<<"$statuses")"
exported="$(comm -13 <(echo "$written") <(listing))"
same "shotscene-export output files" "$(tags shotscene-export "OUTPUT FILES" | sed 's/, /\n/g' | sort)" \
  "$exported"
while read -r name; do
  grep -qF "\`${name%/}" "$root/docs/tools.md" || fail "docs/tools.md does not name $name"
done <<<"$exported"

# The source-tree scripts: each status the pages give, from a run that gives it.
mkdir good bad
cp clip.mp4 good/
mv broken.mp4 bad/
batch="$root/scripts/batch.sh"
statuses="$(status_of "$batch" --nope good; status_of "$batch" -j 1 bad; status_of "$batch" -j 1 good)"
same "shotscene-batch exit statuses" "$(tags shotscene-batch "EXIT STATUS" | sort -u)" \
  "$(sort -u <<<"$statuses")"
split="$root/scripts/split.sh"
statuses="$(status_of "$split" good/clip.mp4 --nope; status_of "$split" bad/missing.mp4
  status_of "$split" good/clip.mp4)"
same "shotscene-split exit statuses" "$(tags shotscene-split "EXIT STATUS" | sort -u)" \
  "$(sort -u <<<"$statuses")"
echo "manual pages: ok"
