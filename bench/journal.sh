#!/usr/bin/env bash
# The cost of one event written to the journal (target: under 50 µs). journal_bench runs against a
# journald of its own, in a private mount namespace with empty tmpfs over /run and the journal
# folders, so the machine's own journal (if any) is never written. Needs root and unshare.
#
#   bench/journal.sh [BUILD]     (default: build)
set -euo pipefail
build=$(realpath "${1:-build}")
[ "$(id -u)" = 0 ] || { echo "journal.sh: needs root for a mount namespace of its own" >&2; exit 1; }
exec unshare -m --propagation private bash -c '
  set -euo pipefail
  for dir in /run /var/log/journal; do mkdir -p "$dir"; mount -t tmpfs -o mode=0755 tmpfs "$dir"; done
  /lib/systemd/systemd-journald >/dev/null 2>&1 & journald=$!
  trap "kill $journald 2>/dev/null" EXIT
  for _ in $(seq 100); do [ -S /run/systemd/journal/socket ] && break; sleep 0.05; done
  "$1/bench/journal_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
' journal "$build"
