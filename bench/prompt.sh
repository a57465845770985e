#!/usr/bin/env bash
# From the policy daemon's signal to the advisor panel, and from "Allow" to `authorized` = 1, over
# the real daemon, its D-Bus bridge and polkit on a private bus (needs root, as the stack tests).
set -euo pipefail
build=${1:-build}
cmake --build "$build" -j "$(nproc)" --target prompt_bench >/dev/null
exec umockdev-wrapper "$build/bench/prompt_bench"
