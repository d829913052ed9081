#!/usr/bin/env bash
# Regenerates the six voice samples of the installed-voices window (resources/samples/*.mp3):
# each says which voice its row recommends, spoken by espeak-ng and encoded small with lame.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for entry in liang:中文男声Liang hui:中文女声Hui lily:中文女声Lily huihui:微软普通话HuiHui \
             hunyee:微软香港话HunYee hanhan:微软台湾话HanHan; do
    name=${entry%%:*}
    voice=${entry#*:}
    espeak-ng -v cmn-latn-pinyin -s 160 -w "$tmp/$name.wav" "您好，这是语音库 $voice 的试听。推荐安装 $voice 。"
    lame --quiet -m m -b 32 --resample 22.05 "$tmp/$name.wav" "resources/samples/${name}1.mp3"
done
