#!/usr/bin/env bash
# Runs a command inside a private D-Bus session with an unlocked gnome-keyring, so secret-store
# tests talk to a real Secret Service without touching the user's own keyring.
# Usage: with_keyring.sh COMMAND [ARGS...]
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/runtime"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
       XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
exec dbus-run-session -- bash -c '
  echo -n corvanta-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$@"' keyring "$@"
