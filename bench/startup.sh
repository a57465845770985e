#!/usr/bin/env bash
# Start-up and memory of the tray application on a virtual display: the time from starting the
# process to the end of its first scan cycle (several runs), and the resident memory after it has
# run for a while. Settings, events and the lock live in a scratch folder; the machine is real.
#
#   bench/startup.sh [BINARY] [RUNS] [SECONDS]     (defaults: build/app/shell/vantrel 5 60)
set -euo pipefail
binary=$(realpath "${1:-build/app/shell/vantrel}")
runs=${2:-5}
seconds=${3:-60}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${BENCH_UNDER_XVFB:-}" ]; then
  exec env BENCH_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$binary" "$runs" "$seconds"
fi

launch() {
  env XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
      XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run" VANTREL_TIMING=1 \
      "$binary" 2>"$scratch/err" &
  pid=$!
}

mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
for i in $(seq "$runs"); do
  rm -rf "$scratch/config" "$scratch/data"   # every run is a first start: the baseline is recorded
  start=$(date +%s.%N)
  launch
  until grep -q "first cycle done" "$scratch/err" 2>/dev/null; do sleep 0.005; done
  done_at=$(sed -n 's/.*first cycle done at //p' "$scratch/err")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  awk -v s="$start" -v d="$done_at" -v i="$i" 'BEGIN { printf "run %d: first cycle %.0f ms after start\n", i, (d - s) * 1000 }'
done

launch
sleep "$seconds"
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "resident memory after ${seconds} s: $((rss / 1024)) MiB ($rss kB)"
