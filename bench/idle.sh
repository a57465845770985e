#!/usr/bin/env bash
# What the tray application costs while nothing happens: on a virtual display with a tray, over
# the benchmarks' generated machine of 20 USB devices (fixture_machine, under $VANTREL_ROOT), it
# measures for SECONDS with the window hidden and again with it open: the CPU time used, the
# wake-ups of the main thread and of the whole process per second, and the files opened per
# steady cycle (every open and folder listing, counted by bench/opencount.c preloaded), split
# into the machine's /sys, its other files and the rest.
#
#   bench/idle.sh [SECONDS] [BUILD]     (defaults: 300 build; needs `scripts/install-deps.sh bench`)
set -euo pipefail
seconds=${1:-300}
build=$(realpath "${2:-build}")
binary=$build/app/shell/vantrel
here=$(dirname "$(realpath "$0")")
scratch=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  [ -n "${tray:-}" ] && kill "$tray" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
for tool in Xvfb trayer xdotool cc; do
  command -v "$tool" >/dev/null || { echo "idle.sh: $tool is missing (scripts/install-deps.sh bench)" >&2; exit 1; }
done

cc -O2 -shared -fPIC -o "$scratch/opencount.so" "$here/opencount.c" -ldl
"$build/bench/fixture_machine" "$scratch/root" 20
root=$scratch/root

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
sleep 1
export DISPLAY=$display
trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 & tray=$!
sleep 1
mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
env XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache" \
    XDG_RUNTIME_DIR="$scratch/run" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    VANTREL_ROOT="$root" VANTREL_TIMING=1 OPENCOUNT_LOG="$scratch/opens.log" \
    LD_PRELOAD="$scratch/opencount.so" "$binary" 2>"$scratch/err" & app=$!
until grep -q "first cycle done" "$scratch/err" 2>/dev/null; do
  kill -0 "$app" 2>/dev/null || { cat "$scratch/err" >&2; exit 1; }
  sleep 0.05
done
sleep 10   # past the settling of the devices found at start, and the start's own work

ticks=$(getconf CLK_TCK)
# CPU time of the process in clock ticks (exited threads included), and context switches.
cpu() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
switches() { awk '/ctxt_switches/ { n += $2 } END { print n }' "$1"; }
# "tid switches" for every thread alive now.
thread_switches() {
  for t in /proc/"$app"/task/*; do
    echo "${t##*/} $(switches "$t/status" 2>/dev/null)"
  done
}
# Run time of the main thread in nanoseconds, finer than the clock ticks.
main_ns() { awk '{ print $1 }' "/proc/$app/task/$app/schedstat"; }

measure() {
  local what=$1
  local cpu0 main0 run0 cpu1 main1 run1 all
  cpu0=$(cpu); main0=$(switches "/proc/$app/task/$app/status"); run0=$(main_ns)
  thread_switches >"$scratch/threads0"
  local mono0; mono0=$(awk '{ print $1 }' /proc/uptime)
  sleep "$seconds"
  cpu1=$(cpu); main1=$(switches "/proc/$app/task/$app/status"); run1=$(main_ns)
  # Threads started since count from zero; those that ended since are not seen.
  all=$(thread_switches | awk 'NR == FNR { before[$1] = $2; next } { n += $2 - before[$1] } END { print n }' "$scratch/threads0" -)
  local mono1; mono1=$(awk '{ print $1 }' /proc/uptime)
  awk -v what="$what" -v t0="$mono0" -v t1="$mono1" -v root="$root" \
      -v cpu="$((cpu1 - cpu0))" -v ticks="$ticks" -v main="$((main1 - main0))" \
      -v all="$all" -v run="$((run1 - run0))" '
    { ns = $1 / 1e9 }
    ns >= t0 && ns < t1 {
      if (index($3, root "/sys/") == 1) sys[$2]++
      else if (index($3, root "/") == 1) machine[$2]++
      else other[$2]++
    }
    END {
      span = t1 - t0; cycles = span / 3
      printf "%s, %.0f s:\n", what, span
      printf "  CPU time %.2f s, %.3f %% of one core (main thread %.3f s, %.4f %%)\n", cpu / ticks, 100 * cpu / ticks / span, run / 1e9, 100 * run / 1e9 / span
      printf "  wake-ups per second: main thread %.2f (%.2f per cycle), threads alive at the end %.2f\n", main / span, main / cycles, all / span
      printf "  per cycle: /sys %.1f opens + %.1f listings; other machine files %.1f opens + %.1f listings; outside the machine %.1f opens + %.1f listings\n",
        sys["open"] / cycles, sys["list"] / cycles, machine["open"] / cycles, machine["list"] / cycles,
        other["open"] / cycles, other["list"] / cycles
    }' "$scratch/opens.log"
  if [ -n "${IDLE_LIST:-}" ]; then
    awk -v t0="$mono0" -v t1="$mono1" '{ ns = $1 / 1e9 } ns >= t0 && ns < t1 { print $2, $3 }' "$scratch/opens.log" | sort | uniq -c | sort -rn | head -n "$IDLE_LIST"
  fi
}

measure "window hidden"
# The tray holds one icon in the top-right corner: a click opens the window under it.
xdotool mousemove 1268 14 click 1
sleep 3
measure "window open"
