#!/usr/bin/env bash
# Regenerates the voice samples of the notes window "使用须知" (resources/samples/*.mp3): each is spoken
# by the espeak-ng voice its row names, and encoded small with lame, so a user hears that voice before
# installing it.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for entry in pinyin:cmn-latn-pinyin:普通话 mandarin:cmn:普通话 cantonese:yue:粤语; do
    IFS=: read -r name voice caption <<<"$entry"
    espeak-ng -v "$voice" -s 160 -w "$tmp/$name.wav" "您好，这是${caption}语音的试听。今天是三月五日，祝张三生日快乐！"
    lame --quiet -m m -b 32 --resample 22.05 "$tmp/$name.wav" "resources/samples/${name}1.mp3"
done
