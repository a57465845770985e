#!/usr/bin/env bash
# Installs the Debian packages Vantrel needs to build, run and test, and only those missing.
# Quiet when everything is present; runs `apt-get update` only when something must be installed.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake make pkg-config
  # libraries
  libicu-dev nlohmann-json3-dev libudev-dev
  # the system journal, where every event also goes
  libsystemd-dev
  # GIO's GSettings, for the desktop's proxy settings; the tests compile the proxy schema of
  # gsettings-desktop-schemas with glib-compile-schemas (libglib2.0-bin)
  libglib2.0-dev libglib2.0-bin gsettings-desktop-schemas
  # Qt 6 for the tray application and its windows; the platform plugins (xcb, offscreen)
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins
  # the X11 connection, to ask the window manager for the advisor panel on every workspace
  libxcb1-dev
  # a font for the offscreen platform, a session bus and a virtual display for the tests
  fonts-dejavu-core dbus-daemon xvfb xauth
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the USB policy daemon in tests: its libraries (its programs are only unpacked, by
  # scripts/usbguard-programs.sh), polkit, and a mock USB tree
  libusbguard1 polkitd umockdev libumockdev-dev
  # a Wayland session for the tests: a headless compositor and Qt's Wayland platform
  weston qt6-wayland
  # the fleet path in tests: the journal's upload and remote services, on the loopback address
  systemd-journal-remote
  # `make package` (CPack's dependency lookup needs dpkg-shlibdeps and file) and its test, which
  # reads the manual page and checks the package with lintian
  dpkg-dev file man-db lintian
)

# `install-deps.sh docs` adds what docs/make-screenshots.sh uses: a tray and a screenshot tool for
# the virtual display, and a way to click.
if [ "${1:-}" = docs ]; then
  packages+=(imagemagick trayer xdotool)
fi
# `install-deps.sh bench` adds what bench/idle.sh uses: a virtual display with a tray, a way to
# click, and a C compiler for its open counter.
if [ "${1:-}" = bench ]; then
  packages+=(xvfb trayer xdotool gcc)
fi
# `install-deps.sh fuzz` adds what `make fuzz` and bench/fuzz.sh use: clang with libFuzzer and
# the sanitizer runtimes, and the symbolizer for readable reports.
if [ "${1:-}" = fuzz ]; then
  packages+=(clang-14 libclang-rt-14-dev llvm-14)
fi

missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "These packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
