#!/usr/bin/env bash
# Runs the real corvane for 60 s on a quiet link with no panel open and prints its CPU
# time, peak RSS and wake-ups (voluntary context switches over all threads).
#
# The app runs on private session and system buses with a stand-in tray watcher, pinned to
# the loopback interface, with a throwaway config: nothing of the user's is touched and no
# packet leaves the machine.
#
# usage: bench/app_idle.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
app=$build/src/app/corvane
watcher=$build/bench/fake_sni_watcher
[ -x "$app" ] && [ -x "$watcher" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }

warmup=${WARMUP:-25} # ten quiet ticks at 2 s, then the loop settles at its idle cadence
window=${WINDOW:-60}

tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT

# Not in a subshell, so that the clean-up knows every pid; no inherited output either.
start_bus() {
  dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --nopidfile \
    --print-address=1 >"$tmp/$1.addr" 2>/dev/null </dev/null &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$tmp/$1.addr" ] && break; sleep 0.1; done
}
start_bus session
start_bus system
session=$(head -n1 "$tmp/session.addr")
system=$(head -n1 "$tmp/system.addr")

"$watcher" "$session" >"$tmp/watcher.log" 2>&1 </dev/null &
pids+=($!)
mkdir -p "$tmp/config/corvane"
printf '[General]\ninterfaceOverride=lo\n' >"$tmp/config/corvane/corvane.conf"

env -u CORVANE_DEMO -u CORVANE_RENDER_LABEL -u CORVANE_RENDER_PANEL -u DISPLAY -u WAYLAND_DISPLAY \
  QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS="$session" DBUS_SYSTEM_BUS_ADDRESS="$system" \
  XDG_CONFIG_HOME="$tmp/config" "$app" >/dev/null 2>"$tmp/app.err" </dev/null &
app_pid=$!
pids+=($app_pid)

ticks() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
switches() { cat /proc/"$app_pid"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}'; }

sleep "$warmup"
cpu0=$(ticks); sw0=$(switches); t0=$(date +%s.%N)
sleep "$window"
cpu1=$(ticks); sw1=$(switches); t1=$(date +%s.%N)
hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$app_pid/status")
threads=$(ls /proc/"$app_pid"/task | wc -l)

hz=$(getconf CLK_TCK)
awk -v c0="$cpu0" -v c1="$cpu1" -v s0="$sw0" -v s1="$sw1" -v t0="$t0" -v t1="$t1" \
    -v hz="$hz" -v hwm="$hwm" -v th="$threads" -v warm="$warmup" 'BEGIN {
  wall = t1 - t0; cpu = (c1 - c0) / hz; wake = s1 - s0
  ticks = wall / 4  # idle cadence with the panel closed
  printf "window            %.1f s (after %s s warm-up), %d threads\n", wall, warm, th
  printf "cpu time          %.3f s  = %.4f %% of one core (target < 0.1 %%)\n", cpu, 100 * cpu / wall
  printf "peak rss          %.1f MB (target < 40 MB)\n", hwm / 1024
  printf "wake-ups          %d = %.2f /s = %.2f per tick at the 4 s idle cadence (target <= 1)\n", wake, wake / wall, wake / ticks
}'
