#!/usr/bin/env bash
# What the headless guard costs while nothing happens: `vantrel --headless --json` over the
# benchmarks' generated machine of 20 USB devices (fixture_machine, under $VANTREL_ROOT), without
# a display or a session bus, for SECONDS: the CPU time used, the wake-ups of the whole process
# per second (its context switches), and its resident memory at the end.
#
#   bench/idle-headless.sh [SECONDS] [BUILD]     (defaults: 300 build)
set -euo pipefail
seconds=${1:-300}
build=$(realpath "${2:-build}")
scratch=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

"$build/bench/fixture_machine" "$scratch/root" 20
mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_RUNTIME_DIR="$scratch/run" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent VANTREL_ROOT="$scratch/root" \
    "$build/app/shell/vantrel" --headless --json >"$scratch/out" 2>"$scratch/err" & app=$!
# The first line is the start-up event, written after the first cycle.
until [ -s "$scratch/out" ]; do
  kill -0 "$app" 2>/dev/null || { cat "$scratch/err" >&2; exit 1; }
  sleep 0.05
done
sleep 10   # past the settling of the devices found at start

ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
switches() {
  for t in /proc/"$app"/task/*; do awk '/ctxt_switches/ { n += $2 } END { print n }' "$t/status"; done |
    awk '{ n += $1 } END { print n }'
}
cpu0=$(cpu); sw0=$(switches)
sleep "$seconds"
cpu1=$(cpu); sw1=$(switches)
awk -v c=$((cpu1 - cpu0)) -v t="$ticks" -v s="$seconds" -v w=$((sw1 - sw0)) 'BEGIN {
  printf "headless, %d s: CPU %.3f %% of one core (%.2f s), %.2f wake-ups/s (%.1f per 3-s cycle)\n",
         s, 100 * c / t / s, c / t, w / s, 3 * w / s }'
awk '/VmRSS/ { printf "resident memory: %.1f MiB\n", $2 / 1024 }' "/proc/$app/status"
echo "events printed: $(wc -l <"$scratch/out")"
