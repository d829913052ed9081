#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test Kelvora.
set -euo pipefail
packages=(
    build-essential cmake pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev qt6-translations-l10n
    libespeak-ng-dev espeak-ng espeak-ng-data
    libsdl2-mixer-dev
    libxlsxwriter-dev
    libfreexl-dev libminizip-dev
    libicu-dev libical-dev
    fonts-noto-cjk
    sqlite3 libsqlite3-dev xvfb xauth
    python3-xlrd python3-openpyxl libreoffice-calc-nogui
    # What the tests need: lame makes their MP3 files, unzip opens the report workbook, libfaketime
    # fixes the wall clock of the real-time tests, clang-format checks the sources' format, and
    # desktop-file-utils and systemd (systemd-analyze) validate packaging/.
    lame unzip libfaketime clang-format desktop-file-utils systemd python3 util-linux
    # The install check and the screenshots: AppStream's validator, the manual page, the package tools,
    # a tray for Xvfb and the icon tools.
    appstream mandoc dpkg-dev file trayer imagemagick librsvg2-bin
    # The music benchmark's baselines: ffplay and ffmpeg (bench_music).
    ffmpeg
    # The idle benchmark clicks the tray icon (bench_idle.sh).
    xdotool
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
