#!/usr/bin/env bash
# Draws the skins' images with ImageMagick. The PNGs are committed; run this
# only to change them (the build does not run it):
#   skin/tools/make-images.sh            both skins: skin/ (blue) and skin2/ (green)
#   skin/tools/make-images.sh <folder> <scheme>   one skin; scheme blue or green
# Needs imagemagick and fonts-noto-cjk.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)

readonly kFont=Noto-Sans-CJK-SC
readonly kFontBold=Noto-Sans-CJK-SC-Bold
readonly kTabWidth=100
readonly kTabHeight=36
readonly kIcon=32

scheme() {
    case "$1" in
        blue)
            primary="#2a6fdb" dark="#1b4f9c" light="#eaf1fc" text="#3d4a5c" accent="#ffb020" warn="#f5a623"
            ;;
        green)
            primary="#17925f" dark="#0e6642" light="#e7f6ef" text="#34473d" accent="#ff7a1a" warn="#e8590c"
            ;;
        *)
            echo "unknown scheme $1 (blue or green)" >&2
            exit 2
            ;;
    esac
}

# tab <file> <label> <normal|over>
tab() {
    local file=$1 label=$2 state=$3
    if [[ $state == over ]]; then
        convert -size ${kTabWidth}x${kTabHeight} xc:"$primary" \
            -fill "$accent" -draw "rectangle 0,$((kTabHeight - 3)) $kTabWidth,$kTabHeight" \
            -font "$kFontBold" -pointsize 14 -fill white -gravity center -annotate +0-1 "$label" \
            "$file"
    else
        convert -size ${kTabWidth}x${kTabHeight} xc:"$light" \
            -fill "$dark" -draw "rectangle 0,$((kTabHeight - 1)) $kTabWidth,$kTabHeight" \
            -font "$kFont" -pointsize 14 -fill "$text" -gravity center -annotate +0-1 "$label" \
            "$file"
    fi
}

icons() {
    local out=$1
    # Drawn at four times the size and scaled down, for clean edges at 32 px.
    local big=$((kIcon * 4))
    convert -size ${big}x${big} xc:none \
        -fill "$warn" -stroke "$warn" -strokewidth 10 -draw "polygon 64,10 120,114 8,114" \
        -stroke none -fill white -draw "roundrectangle 57,40 71,84 6,6" -draw "circle 64,99 64,108" \
        -resize ${kIcon}x${kIcon} "$out/warning.png"
    convert -size ${big}x${big} xc:none \
        -fill "$primary" -draw "circle 64,64 64,4" \
        -font "$kFontBold" -pointsize 92 -fill white -gravity center -annotate +0+2 "?" \
        -resize ${kIcon}x${kIcon} "$out/question.png"
    convert -size ${big}x${big} xc:none \
        -fill white -stroke "$primary" -strokewidth 12 -draw "circle 64,64 64,10" \
        -stroke "$dark" -strokewidth 10 -draw "line 64,64 64,30" -draw "line 64,64 90,76" \
        -stroke none -fill "$accent" -draw "circle 64,64 64,71" \
        -resize ${kIcon}x${kIcon} "$out/time.png"
    convert -size ${big}x${big} xc:none \
        -fill "$primary" -draw "roundrectangle 4,4 123,123 26,26" \
        -fill "$accent" -draw "roundrectangle 4,100 123,123 12,12" -fill "$primary" -draw "rectangle 4,96 123,106" \
        -font "$kFontBold" -pointsize 96 -fill white -gravity center -annotate +0-4 "Q" \
        -resize ${kIcon}x${kIcon} "$out/tray.png"
    # The camera indicator, blinking between the two: recording, and dimmed.
    convert -size 48x48 xc:none -fill "#e53935" -stroke white -strokewidth 3 -draw "circle 24,24 24,4" \
        -resize 12x12 "$out/cameraPhoto1.png"
    convert -size 48x48 xc:none -fill "#7a1f1d" -stroke "#bbbbbb" -strokewidth 3 -draw "circle 24,24 24,4" \
        -resize 12x12 "$out/cameraPhoto2.png"
    # The logo: the same mark and the product name beside it.
    convert -size 64x64 xc:none \
        -fill "$primary" -draw "roundrectangle 2,2 61,61 13,13" \
        -fill "$accent" -draw "roundrectangle 2,50 61,61 6,6" -fill "$primary" -draw "rectangle 2,48 61,53" \
        -font "$kFontBold" -pointsize 46 -fill white -gravity center -annotate +0-2 "Q" \
        "$out/logo-mark.tmp.png"
    convert -size 200x64 xc:none "$out/logo-mark.tmp.png" -geometry +0+0 -composite \
        -font "$kFontBold" -pointsize 30 -fill "$dark" -gravity west -annotate +74-2 "Qorvane" \
        "$out/logo.png"
    rm -f "$out/logo-mark.tmp.png"
}

# The course manager's status marks: stop, download, wait, playing, finished.
statuses() {
    local out=$1 big=96 size=24
    convert -size ${big}x${big} xc:none -fill "$text" -draw "roundrectangle 28,24 42,72 4,4" \
        -draw "roundrectangle 54,24 68,72 4,4" -resize ${size}x${size} "$out/btn_status_stop.png"
    convert -size ${big}x${big} xc:none -fill "$primary" -draw "rectangle 40,14 56,52" \
        -draw "polygon 24,48 72,48 48,76" -draw "rectangle 20,80 76,86" \
        -resize ${size}x${size} "$out/btn_status_down.png"
    convert -size ${big}x${big} xc:none -fill none -stroke "$warn" -strokewidth 8 \
        -draw "circle 48,48 48,12" -draw "line 48,48 48,26" -draw "line 48,48 64,56" \
        -resize ${size}x${size} "$out/btn_status_wait.png"
    convert -size ${big}x${big} xc:none -fill "$accent" -draw "polygon 30,16 78,48 30,80" \
        -resize ${size}x${size} "$out/btn_status_playing.png"
    convert -size ${big}x${big} xc:none -fill "$primary" -draw "circle 48,48 48,8" \
        -fill none -stroke white -strokewidth 10 -draw "polyline 28,50 42,64 68,34" \
        -resize ${size}x${size} "$out/btn_status_over.png"
}

# The loading animation: eight 16-px frames side by side, a ring of dots
# whose bright dot goes round.
loading() {
    local out=$1 frames=() i j
    for i in $(seq 0 7); do
        local draw=()
        for j in $(seq 0 7); do
            local x y colour
            x=$(awk -v a="$j" 'BEGIN { printf "%d", 32 + 22 * sin(a * 3.14159265 / 4) }')
            y=$(awk -v a="$j" 'BEGIN { printf "%d", 32 - 22 * cos(a * 3.14159265 / 4) }')
            colour=$light
            [[ $j == "$i" ]] && colour=$primary
            [[ $(( (i - j + 8) % 8 )) == 1 ]] && colour=$dark
            draw+=(-fill "$colour" -draw "circle $x,$y $x,$((y + 6))")
        done
        convert -size 64x64 xc:none "${draw[@]}" -resize 16x16 "$out/loading-$i.tmp.png"
        frames+=("$out/loading-$i.tmp.png")
    done
    convert "${frames[@]}" +append "$out/loading.png"
    rm -f "${frames[@]}"
}

make_skin() {
    local out=$1
    scheme "$2"
    mkdir -p "$out"
    local names=(coursemanage proxyset systeminfo about)
    local labels=(课程管理 代理设置 系统信息 关于)
    for i in "${!names[@]}"; do
        tab "$out/tab_${names[$i]}.png" "${labels[$i]}" normal
        tab "$out/tab_${names[$i]}(over).png" "${labels[$i]}" over
    done
    icons "$out"
    statuses "$out"
    loading "$out"
    # Smaller files and no timestamps, so a rerun changes nothing that did not change.
    for png in "$out"/*.png; do
        mogrify -strip -define png:exclude-chunks=date,time "$png"
    done
}

if [[ $# -ge 2 ]]; then
    make_skin "$1" "$2"
else
    make_skin "$top/skin" blue
    make_skin "$top/skin2" green
fi
