#!/usr/bin/env bash
# Checks the systemd units as `cmake --install` writes them with systemd-analyze verify, pointed
# at the program just built (the installed path does not exist before installing). Any finding
# fails: verify itself exits 0 on unknown keys. Exits 77 (skipped) without systemd-analyze.
# Usage: verify_units.sh UNIT_DIR PROGRAM
set -euo pipefail
unit_dir="$1"
program="$2"
command -v systemd-analyze >/dev/null || { echo "systemd-analyze not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -m 0700 "$work/runtime"
for unit in corvanta-headless.service corvanta-headless@.service; do
  sed "s#^ExecStart=.*#ExecStart=$program#" "$unit_dir/$unit" >"$work/$unit"
done

status=0
check() {
  local output
  output="$("$@" 2>&1)" || status=1
  if [ -n "$output" ]; then
    echo "$output"
    status=1
  fi
}
check systemd-analyze verify --man=no "$work/corvanta-headless@.service"
XDG_RUNTIME_DIR="$work/runtime" check systemd-analyze --user verify --man=no \
  "$work/corvanta-headless.service"

# What the units promise, beyond what verify can know.
for unit in corvanta-headless.service corvanta-headless@.service; do
  for line in Type=notify Restart=on-failure Nice=10 NoNewPrivileges=yes ProtectSystem=strict \
              ProtectHome=read-only PrivateTmp=yes WatchdogSec=2min; do
    grep -qx "$line" "$work/$unit" || { echo "$unit: no $line"; status=1; }
  done
  grep -q '^EnvironmentFile=' "$work/$unit" || { echo "$unit: no EnvironmentFile="; status=1; }
done
exit "$status"
