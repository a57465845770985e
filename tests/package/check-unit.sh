#!/usr/bin/env bash
# Checks the headless guard's system service without installing or starting anything: systemd
# reads the unit cleanly, rates its exposure 3.0 or lower, and the polkit rules allow the service's
# user exactly its actions and nobody else anything. Exit 77 (skipped) where systemd-analyze
# cannot review a unit file offline.
set -euo pipefail

source_dir=$(realpath "${1:?usage: check-unit.sh SOURCE_DIR VANTREL_BINARY}")
binary=$(realpath "${2:?usage: check-unit.sh SOURCE_DIR VANTREL_BINARY}")
unit="$source_dir/packaging/system/vantrel-guard.service"
rules="$source_dir/packaging/system/50-vantrel.rules"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! systemd-analyze security --help 2>/dev/null | grep -q -- '--offline'; then
  echo "SKIP: this systemd-analyze cannot review a unit file offline"
  exit 77
fi

# The unit as installed, but running the executable of this build.
sed "s|^ExecStart=/usr/bin/vantrel |ExecStart=$binary |" "$unit" >"$work/vantrel-guard.service"
grep -q "^ExecStart=$binary --headless$" "$work/vantrel-guard.service" || fail "ExecStart changed"
systemd-analyze verify --man=no "$work/vantrel-guard.service" >"$work/verify" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$work/verify")"
[ ! -s "$work/verify" ] || fail "systemd-analyze verify warns: $(cat "$work/verify")"

systemd-analyze security --offline=true "$work/vantrel-guard.service" >"$work/security" 2>&1 || true
exposure=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/security")
[ -n "$exposure" ] || fail "no exposure level: $(cat "$work/security")"
echo "exposure $exposure"
awk -v e="$exposure" 'BEGIN { exit !(e <= 3.0) }' || fail "exposure $exposure is above 3.0"

# Never enabled on install, and never a privilege it could hand on.
grep -qx 'NoNewPrivileges=yes' "$unit" || fail "NoNewPrivileges is not set"
grep -qx 'User=vantrel' "$unit" || fail "not run as the user vantrel"

# The polkit rules, evaluated with a stand-in for polkit's rule engine.
if ! command -v node >/dev/null; then
  echo "node is not installed: the polkit rules were not evaluated"
  exit 0
fi
node - "$rules" <<'JS' || fail "the polkit rules decide wrongly"
const fs = require("fs");
const Result = { YES: "yes", NO: "no", NOT_HANDLED: "not handled" };
const added = [];
const polkit = { Result, addRule: (rule) => added.push(rule) };
new Function("polkit", fs.readFileSync(process.argv[2], "utf8"))(polkit);
const decide = (id, user) => added[0]({ id }, { user });
const cases = [
  ["org.freedesktop.login1.lock-sessions", "vantrel", Result.YES],
  ["org.freedesktop.udisks2.filesystem-unmount-others", "vantrel", Result.YES],
  ["org.freedesktop.udisks2.power-off-drive-other-seat", "vantrel", Result.YES],
  ["org.freedesktop.NetworkManager.network-control", "vantrel", Result.YES],
  ["org.freedesktop.NetworkManager.settings.modify.system", "vantrel", Result.YES],
  ["org.freedesktop.login1.lock-sessions", "ann", Result.NOT_HANDLED],
  ["org.freedesktop.login1.power-off", "vantrel", Result.NOT_HANDLED],
  ["org.usbguard.Devices1.applyDevicePolicy", "vantrel", Result.NOT_HANDLED],
  ["org.freedesktop.udisks2.filesystem-mount", "vantrel", Result.NOT_HANDLED],
];
let wrong = 0;
for (const [id, user, expected] of cases) {
  const got = decide(id, user);
  if (got !== expected) {
    console.error(`${user} ${id}: ${got}, expected ${expected}`);
    wrong++;
  }
}
if (added.length !== 1) {
  console.error(`${added.length} rules added`);
  wrong++;
}
process.exit(wrong ? 1 : 0);
JS
echo "unit checked"
