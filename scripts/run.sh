#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station from its program folder build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: the station runs on Qt's offscreen platform (no window, no tray). Stop it with Ctrl+C." >&2
    export QT_QPA_PLATFORM=offscreen
fi
# Without a sound device the station plays on SDL's silent driver and keeps its timing.
exec ./build/bin/kelvora "$@"
