#!/usr/bin/env bash
# Takes the README's screenshots of the main window on small and scaled screens: 1366x768 at 125 % and
# 1920x1080 at 200 %, under Xvfb with trayer as the tray (started after the station, as a panel at
# log-in is), on a demo station kept in a scratch folder (--folder). Needs a build (scripts/build.sh),
# and xvfb, trayer and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$PWD/build/bin/kelvora
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A roster with birthdays today and next month, and the settings of a station that has run before.
demo() {
    local folder=$1 width=$2 height=$3
    local today
    today=$(date +%m-%d)
    local next
    next=$(date -d "+1 month" +%m-15)
    cat >"$scratch/roster.csv" <<EOF
姓名,生日,入职,部门
李二,2001-$today,2019-05-05,财务部
王一,1996-$today,2020-01-01,生产部
孙四,1985-12-08,2017-03-01,技术部
钱五,1990-$next,2016-06-01,技术部
EOF
    "$program" --folder "$folder" --import "$scratch/roster.csv" >/dev/null
    printf '[System]\r\nCompany=示例公司\r\nTts_information=1\r\n[Window]\r\nLeft=0\r\nTop=0\r\nWidth=%s\r\nHeight=%s\r\nTrayNoticeShown=1\r\n' \
        "$width" "$height" >"$folder/setinfo.ini"
}

shoot() {
    local width=$1 height=$2 scale=$3 out=$4
    local folder=$scratch/station-$scale runtime=$scratch/runtime-$scale
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    # The window leaves the bottom strip (24 pixels) to the tray; sizes are device-independent pixels.
    demo "$folder" "$(awk "BEGIN{print int($width/$scale)}")" "$(awk "BEGIN{print int(($height-24)/$scale)}")"
    xvfb-run -a -s "-screen 0 ${width}x${height}x24" env QT_SCALE_FACTOR="$scale" SDL_AUDIODRIVER=dummy \
        XDG_RUNTIME_DIR="$runtime" bash -c '
            "$1" --folder "$2" & station=$!
            sleep 4
            trayer --edge bottom --align right --widthtype request --height 24 --transparent false --tint 0xdddddd &
            tray=$!
            sleep 8
            import -window root "$3"
            kill -TERM $station; wait $station || true
            kill $tray || true' _ "$program" "$folder" "$out"
    grep -q "tray icon shown" "$folder/kelvora.log" || echo "make-screenshots: the tray icon did not appear" >&2
}

shoot 1366 768 1.25 docs/screenshot-1366x768-125.png
shoot 1920 1080 2 docs/screenshot-1920x1080-200.png
