#!/usr/bin/env bash
# Headless demonstration: the start-up page (address 1234567, message "123",
# every list at its first item) travels from pelmora-send through a
# pseudo-terminal to pelmora-sim, which shows what a transmitter received.
# Usage: tools/demo.sh BIN_DIR   (the directory holding both tools)
set -u

bin_dir=${1:-build/bin}
send="$bin_dir/pelmora-send"
sim="$bin_dir/pelmora-sim"
wait_limit_s=10   # per step; a healthy run takes milliseconds

fail() { echo "demo: $*" >&2; exit 1; }

[ -x "$send" ] || fail "$send not found or not executable (build first)"
[ -x "$sim" ] || fail "$sim not found or not executable (build first)"

work_dir=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-demo.XXXXXX") || fail "cannot make a temporary directory"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  rm -rf "$work_dir"
}
trap cleanup EXIT

# Line N of the simulator's output, waiting at most wait_limit_s seconds.
# Only a line with its newline counts: the simulator may be mid-write.
sim_line() {
  local n=$1 waited=0
  while :; do
    if [ "$(wc -l <"$work_dir/sim.out")" -ge "$n" ]; then
      sed -n "${n}p" "$work_dir/sim.out"
      return 0
    fi
    kill -0 "$sim_pid" 2>/dev/null || { sed -n "${n}p" "$work_dir/sim.out"; return 1; }
    [ "$waited" -ge $((wait_limit_s * 10)) ] && return 1
    sleep 0.1
    waited=$((waited + 1))
  done
}

"$sim" --once >"$work_dir/sim.out" 2>"$work_dir/sim.err" &
sim_pid=$!

first=$(sim_line 1) || fail "the simulator did not start: $(cat "$work_dir/sim.err")"
device=${first#pelmora-sim: transmitter on }
[ "$device" != "$first" ] && [ -n "$device" ] || fail "unexpected first line from the simulator: $first"
echo "$first"

echo "\$ pelmora-send --device $device --address 1234567 123"
"$send" --device "$device" --address 1234567 123 || fail "pelmora-send failed with exit code $?"

received=$(sim_line 2) || fail "the simulator reported nothing within ${wait_limit_s} s"
echo "transmitter received: ${received#frame: }"

waited=0
while kill -0 "$sim_pid" 2>/dev/null; do
  [ "$waited" -ge $((wait_limit_s * 10)) ] && fail "the simulator did not exit after the frame"
  sleep 0.1
  waited=$((waited + 1))
done
wait "$sim_pid"
status=$?
sim_pid=""
[ "$status" -eq 0 ] || fail "the simulator exited with code $status"

case "$received" in
  *"[23 50 31 32 33 34 35 36 37 31 48 4E 31 32 33 24]") ;;
  *) fail "the transmitter did not receive the expected 16 bytes" ;;
esac
echo "demo: the page command arrived intact"
