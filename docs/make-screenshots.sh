#!/usr/bin/env bash
# Renders the pictures of the README: the demo windows (fixed sample data, no display needed) and
# the real application on a virtual display with a tray, its icon clicked open.
#
#   docs/make-screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh docs
make --no-print-directory build
vantrel=build/app/shell/vantrel
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; kill $(jobs -p) 2>/dev/null || true' EXIT

# The demo windows. Settings come from an empty folder, so the stored preferences of whoever runs
# this cannot change the pictures.
demo() {
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$scratch/config" HOME="$scratch" \
    "$vantrel" --demo-window "$@" 2>/dev/null
}
demo docs/panel-light.png
demo dark docs/panel-dark.png
demo developer docs/developer-light.png
demo developer dark docs/developer-dark.png
demo advisor docs/advisor.png
demo advisor safe docs/advisor-safe.png
demo advisor expanded docs/advisor-expanded.png

# The real application on a virtual display with a tray (an empty machine: no USB devices here).
display=:97
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display
xsetroot -solid '#3a4a5a' 2>/dev/null || true
trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
  --transparent false --tint 0x202020 >/dev/null 2>&1 &
sleep 1
mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
env XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
  XDG_RUNTIME_DIR="$scratch/run" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
  "$vantrel" >/dev/null 2>&1 &
sleep 3
# The tray sits in the top-right corner, as wide as the one icon in it: click the icon, then the
# gear of the window that drops down.
xdotool mousemove 1268 14 click 1
sleep 2
xdotool mousemove 1257 183 click 1
sleep 2
import -window root -crop 560x330+720+0 docs/tray-xvfb.png
echo "docs/: $(ls docs/*.png | xargs -n1 basename | tr '\n' ' ')"
