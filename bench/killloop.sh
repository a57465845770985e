#!/usr/bin/env bash
# The kill loop of the tests, run many more times: the replay of a write-heavy scenario as a real
# process with a state folder, killed with SIGKILL at random points; after each kill every stored
# file must be whole and one of the versions the run writes, and the next start must leave no
# temporary file. Prints how the kills fell and how long it took.
#
#   bench/killloop.sh [BUILD] [KILLS]     (defaults: build 1000)
set -euo pipefail
build=${1:-build}
kills=${2:-1000}
test="$build/tests/replay/killloop_tests"
if [ ! -x "$test" ]; then
  echo "no $test: build it first (make build)" >&2
  exit 1
fi
start=$(date +%s.%N)
status=0
VANTREL_KILLS="$kills" "$test" --gtest_brief=1 || status=$?
awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "took %.1f s\n", e - s }'
exit "$status"
