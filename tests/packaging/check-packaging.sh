#!/usr/bin/env bash
# The files in packaging/ are what the desktop and systemd accept: desktop-file-validate for the
# desktop entry, systemd-analyze verify for the unit with its paths pointed at the built program.
# Usage: check-packaging.sh SOURCE_DIR PROGRAM. Exit 77 (skipped) without the tools, except in CI.
set -euo pipefail
source_dir=$1
program=$2
missing() {
    echo "$1" >&2
    if [ "${KELVORA_CI:-}" = 1 ]; then
        exit 1
    fi
    exit 77
}
command -v desktop-file-validate >/dev/null || missing "desktop-file-validate is not installed (Debian package desktop-file-utils)"
command -v systemd-analyze >/dev/null || missing "systemd-analyze is not installed (Debian package systemd)"
[ -x "$program" ] || { echo "the program was not built: $program" >&2; exit 1; }

failed=0
shopt -s nullglob
desktops=("$source_dir"/packaging/*.desktop)
units=("$source_dir"/packaging/*.service)
if [ ${#desktops[@]} -eq 0 ] || [ ${#units[@]} -eq 0 ]; then
    echo "packaging/ holds no desktop entry or no unit" >&2
    exit 1
fi

for desktop in "${desktops[@]}"; do
    # Errors and warnings fail; hints are only shown.
    output=$(desktop-file-validate "$desktop" 2>&1) || failed=1
    [ -z "$output" ] || echo "$output"
    if grep -Eq ': (error|warning): ' <<<"$output"; then
        failed=1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for unit in "${units[@]}"; do
    name=$(basename "$unit")
    # The unit as installed beside the built program: systemd checks that its command exists.
    sed -e "s|^ExecStart=[^ ]*|ExecStart=$program|" \
        -e "s|^WorkingDirectory=.*|WorkingDirectory=$(dirname "$program")|" "$unit" >"$work/$name"
    if ! grep -q "^ExecStart=$program" "$work/$name"; then
        echo "$name: no ExecStart line" >&2
        failed=1
        continue
    fi
    # A user unit; without a user manager's runtime folder it is verified as a system unit, which
    # checks the same keys.
    mode=()
    if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -d "${XDG_RUNTIME_DIR}" ]; then
        mode=(--user)
    fi
    # systemd-analyze only warns about unknown keys and bad values; any word about this unit fails.
    output=$(systemd-analyze "${mode[@]}" verify "$work/$name" 2>&1) || failed=1
    ours=$(grep -F "$name" <<<"$output" || true)
    if [ -n "$ours" ]; then
        echo "$ours" >&2
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "packaging: ${#desktops[@]} desktop entry and ${#units[@]} unit verified"
exit "$failed"
