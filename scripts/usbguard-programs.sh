#!/usr/bin/env bash
# Unpacks the USB policy daemon's programs into DEST (usbguard-daemon, usbguard-dbus and the
# polkit actions file) for the tests that run it on a private bus over a mock USB tree. The
# package is only downloaded and unpacked, never installed: no service is set up or started.
# Its shared libraries are ordinary packages that install-deps.sh installs.
set -euo pipefail
dest=${1:?usage: usbguard-programs.sh DEST}
[ -x "$dest/usr/sbin/usbguard-daemon" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# apt-get download runs as the _apt user where it can, which needs a folder it may write.
chmod 755 "$work"
if ! apt-get download -qq usbguard >/dev/null 2>&1; then
  apt-get update -qq >/dev/null
  apt-get download -qq usbguard >/dev/null
fi
mkdir -p "$dest"
dpkg-deb -x usbguard_*.deb "$dest"
[ -x "$dest/usr/sbin/usbguard-daemon" ]
