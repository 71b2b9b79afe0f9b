#!/usr/bin/env bash
# Batch runs spread over SSH, to this machine as a host, through an SSH server of the
# test's own on the loopback address: with a shared folder, with --transfer for a login
# that cannot read the video folder, with a host whose port is closed, and interrupted
# then resumed. Every run must leave outputs byte-identical to a local run.
# Usage: tests/scripts/ssh_batch_test.sh MAKE_TEST_VIDEO
# Needs root (a login of its own for the transfer, the server's privilege separation
# folder); exits 77 (skipped) otherwise.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
maker="$1"
batch="$root/scripts/batch.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }
if [[ "$(id -u)" -ne 0 ]]; then
  echo "skipped: needs root for a login of its own"
  exit 77
fi
sshd=/usr/sbin/sshd
[[ -x "$sshd" ]] || fail "$sshd is missing (apt-get install openssh-server)"

work="$(mktemp -d -t ssh_batch_XXXXXX)"
chmod 711 "$work"  # the login may pass through, not list
user="shotscene-t$$"
server=""
finish() {
  for alias in here far; do ${PARALLEL_SSH:-false} -O exit "$alias" 2>/dev/null || true; done
  [[ -z "$server" ]] || { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  userdel "$user" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT

# Waits until FILE holds COUNT lines that match PATTERN, or until process PID ends.
lines_appear() {  # PID FILE PATTERN COUNT
  local found
  found="$(grep -a -m "$4" -e "$3" < <(tail --pid="$1" -n +1 -F "$2" 2>/dev/null) | wc -l)"
  ((found == $4))
}
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
port="$(free_port)" closed="$(free_port)" bare="$(free_port)"

# The login for --transfer: its home is empty, the video folder is closed to it, and the
# tools it runs are copies it may read.
mkdir -m 755 "$work/keys" "$work/bin"
mkdir -m 700 "$work/home" "$work/videos"
useradd -M -d "$work/home" -s /bin/bash "$user"
usermod -p '*' "$user"  # no password, yet not locked
chown "$user:" "$work/home"
cp "$root/build/shotscene" "$root/build/shotscene-export" "$work/bin/"
chmod 755 "$work/bin"/*
ssh-keygen -q -t ed25519 -N '' -f "$work/keys/host"
ssh-keygen -q -t ed25519 -N '' -f "$work/keys/login"
cp "$work/keys/login.pub" "$work/keys/authorized_keys"
chmod 644 "$work/keys/authorized_keys"
cat >"$work/sshd_config" <<EOF
Port $port
Port $bare
ListenAddress 127.0.0.1
HostKey $work/keys/host
PidFile $work/sshd.pid
AuthorizedKeysFile $work/keys/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
SetEnv PATH=$work/bin:/usr/bin:/bin
# A host without the tools.
Match LocalPort $bare
  SetEnv PATH=/usr/bin:/bin
EOF
host() {  # ALIAS PORT USER
  printf 'Host %s\n  HostName 127.0.0.1\n  Port %s\n  User %s\n' "$@"
  printf '  IdentityFile %s\n  IdentitiesOnly yes\n  BatchMode yes\n' "$work/keys/login"
  printf '  StrictHostKeyChecking no\n  UserKnownHostsFile /dev/null\n  LogLevel ERROR\n'
  # Each transfer is an rsync over SSH: one connection per login carries them all.
  printf '  ControlMaster auto\n  ControlPath %s/%%r@%%h:%%p\n  ControlPersist 30\n' "$work"
}
{
  host here "$port" root
  host far "$port" "$user"
  host closed "$closed" root
  host bare "$bare" "$user"
} >"$work/ssh_config"
export PARALLEL_SSH="ssh -F $work/ssh_config"
mkdir -p /run/sshd
"$sshd" -D -f "$work/sshd_config" -E "$work/sshd.log" &
server=$!
# Ready once it says it listens on both ports.
lines_appear "$server" "$work/sshd.log" "^Server listening" 2 ||
  fail "sshd ended: $(cat "$work/sshd.log")"
$PARALLEL_SSH far true || fail "no login: $(cat "$work/sshd.log")"

names=("a one" "b two & a half" "c three")
for name in "${names[@]}"; do
  "$maker" "$work/videos/$name.mp4" --width 160 --height 96 --seconds 6 --codec avc1 >/dev/null
done
options=(--export videos -- --kf_shot --kf_scene --trans_type)
clear_outputs() { find "$work/videos" -mindepth 1 ! -name '*.mp4' -delete; }
same_as_local() {  # WHAT
  diff -r expected videos >"$work/diff.txt" || fail "$1: $(head -20 "$work/diff.txt")"
}

cd "$work"
"$batch" -j 2 --joblog local.log "${options[@]}" >/dev/null
cp -a "$work/videos" "$work/expected"
[[ $(find expected -name '*_scenes.srt' | wc -l) -eq 3 ]] || fail "the local run left out a video"

clear_outputs
"$batch" -S here --joblog shared.log "${options[@]}" >/dev/null 2>errors.txt ||
  fail "shared folder: $(cat errors.txt)"
same_as_local "shared folder"

clear_outputs
"$batch" -S far --transfer --joblog transfer.log "${options[@]}" >/dev/null 2>errors.txt ||
  fail "transfer: $(cat errors.txt)"
same_as_local "transfer"
left="$(find "$work/home" -mindepth 1)"
[[ -z "$left" ]] || fail "transfer left in the login's home: $left"

# The refusals, before any job starts.
refusals=(
  "--transfer $work/videos|--transfer needs the hosts (-S)"
  "-S far --transfer $work/videos -- -p $work/kf|--transfer does not take shotscene's -p/--kf_path"
  "-S closed $work/videos|host closed cannot be reached"
)
[[ -e /usr/bin/shotscene ]] || refusals+=("-S bare $work/videos|host bare has no shotscene on its PATH")
for refusal in "${refusals[@]}"; do
  args="${refusal%%|*}" expected="${refusal#*|}"
  set +e
  # shellcheck disable=SC2086
  "$batch" --joblog refused.log $args >/dev/null 2>refused.txt
  status=$?
  set -e
  ((status != 0)) || fail "batch $args: status 0"
  grep -qF -- "$expected" refused.txt || fail "batch $args: $(cat refused.txt)"
done
[[ ! -s refused.log ]] || fail "a refused batch ran jobs: $(cat refused.log)"

# A host whose port is closed is named, and its share goes to the one that answers.
clear_outputs
"$batch" -S here,closed --joblog two.log "${options[@]}" >/dev/null 2>errors.txt ||
  fail "one host closed: $(cat errors.txt)"
grep -qF "host closed cannot be reached" errors.txt || fail "closed host not named: $(cat errors.txt)"
same_as_local "one host closed"

# Stopped once the first video is back (its job is logged), then resumed.
clear_outputs
setsid "$batch" -S 1/far --transfer --joblog stopped.log "${options[@]}" >/dev/null 2>&1 &
stopped=$!
lines_appear "$stopped" stopped.log "^[0-9]" 1 || true  # the batch may have ended first
kill -TERM -- "-$stopped" 2>/dev/null || true
wait "$stopped" || true
[[ -s "$work/videos/a one_scenes.srt" ]] || fail "the first video was not back before the stop"
"$batch" -S far --transfer --resume --joblog stopped.log "${options[@]}" >/dev/null 2>errors.txt ||
  fail "resume: $(cat errors.txt)"
same_as_local "stopped and resumed"
[[ $(awk -F'\t' '$1 == 1' stopped.log | wc -l) -eq 1 ]] || fail "the resumed run ran the first video again"
echo "batch over ssh: ok"
