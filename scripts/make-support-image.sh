#!/bin/sh
# Draws resources/support.jpg, the picture the about dialog shows under "捐助支持": a dark card with a
# lit candle (tallow), the program's name and a thank-you line, on a generated dot pattern. Everything
# in it is drawn here, so the project owns the artwork. Needs ImageMagick 6 and the Noto CJK fonts
# (Debian: imagemagick, fonts-noto-cjk, fonts-dejavu-core).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/resources/support.jpg"}
latin=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
latin_plain=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
cjk=/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc

# The dot pattern: one faint dot per 15 px cell, tiled over the card.
dot=$(mktemp --suffix=.png)
trap 'rm -f "$dot"' EXIT
convert -size 15x15 xc:none -fill '#3d446855' -draw 'circle 7,7 7,8.2' "$dot"

convert -size 265x393 gradient:'#1e2235'-'#0f1117' \
    \( -size 265x393 tile:"$dot" \) -compose over -composite \
    -fill '#1a1d2e' -stroke '#2d3148' -strokewidth 1 -draw 'roundrectangle 40,36 224,256 14,14' \
    -stroke none \
    -fill '#f59e0b22' -draw 'circle 132,96 132,150' \
    -fill '#f59e0b33' -draw 'circle 132,96 132,130' \
    -fill '#fde68a' -draw 'ellipse 132,100 11,24 0,360' \
    -fill '#f59e0b' -draw 'ellipse 132,108 7,14 0,360' \
    -fill '#1e293b' -draw 'line 132,118 132,128' \
    -fill '#f1e9d2' -draw 'roundrectangle 112,128 152,226 5,5' \
    -fill '#e2d6b5' -draw 'roundrectangle 112,128 122,226 5,5' \
    -fill '#3b82f6' -draw 'roundrectangle 92,224 172,234 4,4' \
    -font "$latin" -pointsize 24 -fill '#f1f5f9' -gravity north -annotate +0+276 'Tallowmere' \
    -font "$cjk" -pointsize 15 -fill '#94a3b8' -annotate +0+312 '感谢您的支持' \
    -font "$latin_plain" -pointsize 10 -fill '#64748b' -annotate +0+358 'tallowmere.example.org' \
    -strip -quality 88 -sampling-factor 4:2:0 "$out"
