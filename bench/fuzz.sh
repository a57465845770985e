#!/usr/bin/env bash
# Runs every libFuzzer target of `make fuzz` for SECONDS each (300 by default), one at a time,
# each from a copy of its seed corpus in fuzz/corpus/, with AddressSanitizer, UBSan and leak
# detection on. Prints per target the inputs it ran and what it found: crashes (a sanitizer
# report or a failed property), leaks, timeouts (an input running past 10 s) and inputs past
# 2 GB of memory. A finding restarts the target for the rest of its time; the inputs that caused
# them stay in $FUZZ_BUILD/findings/<target>/ with the log. Exit status 1 when anything was found.
#
#   bench/fuzz.sh [SECONDS] [TARGET...]      targets: settings events scenario sysfs ...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
build=${FUZZ_BUILD:-build-fuzz}
mkdir -p "$build"
if ! make -s fuzz FUZZ_BUILD="$build" >"$build/make-fuzz.log" 2>&1; then
  cat "$build/make-fuzz.log" >&2
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    [ -x "$build/fuzz/fuzz_$name" ] && targets+=("$name")
  done
fi

# The corpora grow in a scratch folder, so the seeds in the repository stay as they are; the
# targets' own scratch files go to memory when the machine has /dev/shm.
scratch=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
work=$(mktemp -d "$scratch/vantrel-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
found_any=0
count() { find "$findings" -maxdepth 1 -name "$1-*" | wc -l; }
printf '%-10s %12s %8s %6s %9s %6s\n' target executions crashes leaks timeouts oom
for target in "${targets[@]}"; do
  findings="$build/findings/$target"
  rm -rf "$findings"
  mkdir -p "$findings" "$work/$target"
  cp -r "fuzz/corpus/$target/." "$work/$target/"
  executions=0
  deadline=$((SECONDS + seconds))
  for run in $(seq 1 20); do
    left=$((deadline - SECONDS))
    [ "$left" -ge 1 ] || break
    log="$findings/run-$run.log"
    TMPDIR="$work" "$build/fuzz/fuzz_$target" -max_total_time="$left" -timeout=10 \
      -rss_limit_mb=2048 -detect_leaks=1 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work/$target" >"$log" 2>&1 && ended=0 || ended=$?
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    executions=$((executions + ${n:-0}))
    [ "$ended" -eq 0 ] && break
    if [ "$(find "$findings" -maxdepth 1 -name '*-*' ! -name '*.log' | wc -l)" -lt "$run" ]; then
      echo "$target: stopped ($ended) without a finding, see $log" >&2
      found_any=1
      break
    fi
  done
  crashes=$(count crash)
  leaks=$(count leak)
  timeouts=$(count timeout)
  ooms=$(count oom)
  [ $((crashes + leaks + timeouts + ooms)) -gt 0 ] && found_any=1
  printf '%-10s %12d %8d %6d %9d %6d\n' "$target" "$executions" "$crashes" "$leaks" "$timeouts" \
    "$ooms"
done
[ "$found_any" -eq 0 ] || echo "findings in $build/findings/"
exit "$found_any"
