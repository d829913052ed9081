#!/usr/bin/env bash
# Checks what the build installs and packages: `cmake --install` into a scratch root (every file in its
# place, the desktop entries, the AppStream metainfo, the manual page, the user unit), the installed
# program started by an ordinary user with a fresh home (its files in the XDG folders, nothing written
# beside it), and `cpack -G DEB` (control data, dependencies, contents).
# Usage: scripts/check-install.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
scratch=$(mktemp -d)
station_pid=
cleanup() {
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "check-install: $*" >&2; exit 1; }
step() { echo "check-install: $*"; }

root=$scratch/root
step "install into a scratch root"
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
expected=(
    usr/bin/kelvora
    usr/share/kelvora/draft.dat
    usr/share/kelvora/help/index.html
    usr/share/kelvora/kelvora-autostart.desktop
    usr/share/applications/kelvora.desktop
    usr/share/metainfo/org.kelvora.kelvora.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/kelvora.svg
    usr/share/man/man1/kelvora.1.gz
    usr/lib/systemd/user/kelvora.service
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/kelvora.png")
done
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "$file is not installed"
done
# Nothing of the build or the tests slips in.
unexpected=$(cd "$root" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort) \
    | grep -v '^usr/share/kelvora/help/' || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"
for size in 16 22 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/kelvora.png" | grep -q "PNG image data, $size x $size" \
        || fail "the ${size}x${size} icon is not ${size} pixels square"
done

step "desktop entries, metainfo, manual page, unit"
desktop-file-validate "$root/usr/share/applications/kelvora.desktop" "$root/usr/share/kelvora/kelvora-autostart.desktop"
grep -qx 'Exec=/usr/bin/kelvora' "$root/usr/share/applications/kelvora.desktop" || fail "desktop entry: wrong Exec"
grep -qx 'Exec=/usr/bin/kelvora --minimized' "$root/usr/share/kelvora/kelvora-autostart.desktop" \
    || fail "autostart entry: wrong Exec"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.kelvora.kelvora.metainfo.xml"
zcat "$root/usr/share/man/man1/kelvora.1.gz" | mandoc -Tlint -W warning
# Every option of the program is in the manual page.
for option in $("$root/usr/bin/kelvora" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    zcat "$root/usr/share/man/man1/kelvora.1.gz" | grep -q -- "${option//-/\\\\-}" \
        || fail "the manual page does not describe $option"
done
grep -qx 'ExecStart=/usr/bin/kelvora --headless' "$root/usr/lib/systemd/user/kelvora.service" \
    || fail "the user unit does not start /usr/bin/kelvora --headless"

step "the installed program, started by an ordinary user with a fresh home"
chmod 755 "$scratch"
home=$scratch/home
runtime=$scratch/runtime
mkdir -p "$home" "$runtime"
chown nobody "$home" "$runtime"
chmod 700 "$runtime"
setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" SDL_AUDIODRIVER=dummy LANG=C.UTF-8 \
    "$root/usr/bin/kelvora" --headless >"$scratch/station.out" 2>&1 &
station_pid=$!
log=$home/.local/state/kelvora/kelvora.log
for _ in $(seq 1 200); do
    grep -q "settings file" "$log" 2>/dev/null && break
    kill -0 "$station_pid" 2>/dev/null || break
    sleep 0.1
done
grep -q "settings file" "$log" 2>/dev/null || { cat "$scratch/station.out" "$log" >&2 || true; fail "the station did not start"; }
kill -TERM "$station_pid"
status=0
wait "$station_pid" || status=$?
station_pid=
[ "$status" -eq 0 ] || { cat "$scratch/station.out" "$log" >&2; fail "the station ended with $status"; }
grep -q "station folders (installed)" "$log" || fail "the station did not run as installed"
grep -q "Next_month=1" "$home/.config/kelvora/setinfo.ini" || fail "the settings were not saved"
cmp -s "$home/.local/share/kelvora/draft.dat" "$root/usr/share/kelvora/draft.dat" \
    || fail "draft.dat was not copied from the template"
[ -d "$home/.local/share/kelvora/mp3files" ] || fail "no music folder"
[ "$(stat -c %U "$home/.local/share/kelvora/draft.dat")" = nobody ] || fail "draft.dat does not belong to the user"
tail -n 1 "$log" | grep -q "Kelvora ended" || fail "the log does not end with the station's end"
[ "$(ls "$root/usr/bin")" = kelvora ] || fail "the station wrote beside the program"

step "the Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/kelvora_*.deb | head -n 1)
dpkg-deb --info "$deb" >"$scratch/info"
depends=$(sed -n 's/^ Depends: //p' "$scratch/info")
for package in qt6-qpa-plugins libqt6sql6-sqlite espeak-ng-data fonts-noto-cjk qt6-translations-l10n xdg-utils \
    libqt6widgets6 libqt6sql6 libqt6dbus6 libespeak-ng1 libsdl2-mixer-2.0-0 libxlsxwriter; do
    grep -q "$package" <<<"$depends" || fail "the package does not depend on $package: $depends"
done
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' >"$scratch/contents"
for file in "${expected[@]}"; do
    grep -qx "$file" "$scratch/contents" || fail "the package lacks $file"
done
mkdir -p "$scratch/unpacked"
dpkg-deb --extract "$deb" "$scratch/unpacked"
cmp -s "$scratch/unpacked/usr/lib/systemd/user/kelvora.service" "$root/usr/lib/systemd/user/kelvora.service" \
    || fail "the package's unit differs from the install's"
file "$scratch/unpacked/usr/bin/kelvora" | grep -q ', stripped' || fail "the packaged program is not stripped"
step "ok: $(basename "$deb") ($(du -h "$deb" | cut -f1))"
