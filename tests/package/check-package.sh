#!/usr/bin/env bash
# Builds the Debian package from a built tree into a temporary folder and checks it there, never
# installing it: its name, control data, dependencies, programs, manual page and lintian's verdict.
set -euo pipefail

build=$(realpath "${1:?usage: check-package.sh BUILD_DIR}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack could not build the package"
fi
debs=("$work"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -I "$deb"

version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$arch" = "$(dpkg --print-architecture)" ] || fail "architecture $arch"
[ "$(basename "$deb")" = "vantrel_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"

# Nothing runs on install: the control part holds no maintainer scripts.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E '(preinst|postinst|prerm|postrm|config)$' || true)
[ -z "$scripts" ] || fail "maintainer scripts: $scripts"

root="$work/root"
dpkg-deb -x "$deb" "$root"
vantrel="$root/usr/bin/vantrel"
for file in usr/share/applications/vantrel.desktop usr/share/icons/hicolor/scalable/apps/vantrel.svg \
  usr/share/man/man1/vantrel.1.gz usr/share/doc/vantrel/copyright usr/share/doc/vantrel/changelog.gz \
  usr/lib/systemd/system/vantrel-guard.service usr/lib/sysusers.d/vantrel.conf \
  usr/share/polkit-1/rules.d/50-vantrel.rules usr/lib/vantrel/vantrel-headless \
  usr/lib/vantrel/vantrel-gnome-proxy; do
  [ -f "$root/$file" ] || fail "missing $file"
done
# The headless guard's service is installed, never enabled.
! find "$root" -path '*.wants/*' | grep -q . || fail "the package enables a unit"

# Every library the programs link is provided by a package that Depends names.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depended=$(tr ',|' '\n' <<<"$depends" | sed 's/^ *//; s/[ (:].*//')
grep -qx 'libqt6widgets6' <<<"$depended" || fail "Depends does not name Qt's widgets library"
for soname in $(for program in "$vantrel" "$root"/usr/lib/vantrel/*; do readelf -d "$program"; done |
  sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u); do
  owners=$(dpkg -S "*/$soname*" 2>/dev/null | sed 's/[:,].*//' | sort -u) || fail "no package holds $soname"
  covered=no
  for owner in $owners; do
    grep -qxF "$owner" <<<"$depended" && covered=yes
  done
  [ $covered = yes ] || fail "$soname (from ${owners//$'\n'/ }) is not in Depends"
done

# The changelog's latest entry is this version.
latest=$(zcat "$root/usr/share/doc/vantrel/changelog.gz" | sed -n 1p)
[[ $latest == "vantrel ($version) "* ]] || fail "the changelog's latest entry is not $version: $latest"

# The programs run from the unpacked tree, without a display.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$vantrel" --version)" = "Vantrel $version" ] ||
  fail "--version does not print Vantrel $version"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$vantrel" --self-test \
  >"$work/self-test" 2>"$work/self-test.err" || status=$?
cat "$work/self-test"
[ $status -eq 0 ] || fail "--self-test exited with $status: $(cat "$work/self-test.err")"
grep -q '^PASS  lock screen available: \|^FAIL  lock screen available: ' "$work/self-test" ||
  fail "--self-test has no screen lock line"
! grep -qv '^PASS  \|^FAIL  ' "$work/self-test" || fail "--self-test printed a line that is not PASS or FAIL"

# The reader of GNOME's proxy settings runs from the unpacked tree and prints one JSON object.
"$root/usr/lib/vantrel/vantrel-gnome-proxy" | grep -qx '{.*}' ||
  fail "vantrel-gnome-proxy did not print a JSON object"

# The manual page reads without a warning and names every switch of --help.
man_page="$root/usr/share/man/man1/vantrel.1.gz"
MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$man_page" >"$work/man.txt" 2>"$work/man.err"
[ ! -s "$work/man.err" ] || fail "man: $(cat "$work/man.err")"
[ -s "$work/man.txt" ] || fail "the manual page is empty"
for switch in $("$vantrel" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$switch" "$work/man.txt" || fail "the manual page does not mention $switch"
done

# lintian finds no error.
status=0
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || status=$?
cat "$work/lintian"
[ $status -le 1 ] || fail "lintian did not run (status $status)"
! grep -q '^E:' "$work/lintian" || fail "lintian reports errors"
echo "package checked: $(basename "$deb")"
