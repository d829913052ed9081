#!/usr/bin/env bash
# Installs what is missing, builds, and starts the station from its program folder build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
args=("$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the station runs headless on Qt's offscreen platform (no window, no tray)." >&2
    echo "Its events go to build/bin/kelvora.log; stop it with Ctrl+C." >&2
    args=(--headless "${args[@]}")
fi
runtime="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
if ! compgen -G "/dev/snd/pcmC*" >/dev/null && [ ! -S "$runtime/pulse/native" ] \
    && [ ! -S "$runtime/pipewire-0" ] && [ -z "${SDL_AUDIODRIVER:-}" ]; then
    echo "No sound device: the station plays on SDL's silent driver and keeps its timing." >&2
    export SDL_AUDIODRIVER=dummy
fi
exec ./build/bin/kelvora "${args[@]}"
