#!/usr/bin/env bash
# Photographs the main window, the about box, the update notice and the credits, then the
# configuration sheet on each page with the tray icon in Wine's tray, under the X display
# already set in DISPLAY. Writes PNG files, and sizes.txt with the sizes of the pictures as the
# windows draw them, into the given folder.
# With a third argument, the folder of the same shots at 96 DPI, the display runs at a higher
# DPI: the tray and every picture must have grown with it (drawn for the size asked for).
set -euo pipefail
exe=$1
out=$2
base=${3:-}
. "$(dirname "$0")/wine-env.sh"
wine_commands
mkdir -p "$out"
taken=0
: >"$out/sizes.txt"
while read -r word name; do
    name=${name%$'\r'}
    if [ "$word" = SIZE ]; then
        echo "$name" >>"$out/sizes.txt"
        continue
    fi
    [ "$word" = SHOT ] || continue
    window=root
    if [ "$name" = tray ]; then
        # Wine shows the notification area as a small window of its own.
        window=$(xdotool search --onlyvisible --name 'Wine System Tray' 2>/dev/null | head -n 1)
        [ -n "$window" ] || window=root
    fi
    import -window "$window" "$out/$name.png" && taken=$((taken + 1))
done < <(timeout 60 "$WINE" "$exe")
echo "screenshots in $out: $(ls "$out")"
[ "$taken" -eq 8 ] || exit 1
cat "$out/sizes.txt"
[ "$(wc -l <"$out/sizes.txt")" -eq 3 ] || { echo "the sizes of the three pictures are missing"; exit 1; }
if [ -n "$base" ]; then
    small=$(identify -format %h "$base/tray.png")
    large=$(identify -format %h "$out/tray.png")
    echo "tray height: $small at 96 DPI, $large here"
    [ $((large * 2)) -ge $((small * 3)) ] || exit 1
    # Each picture at least half as large again as at 96 DPI, both ways.
    grown=0
    while read -r name width height; do
        read -r w0 h0 < <(awk -v n="$name" '$1 == n {print $2, $3}' "$base/sizes.txt")
        echo "$name: ${w0:-?}x${h0:-?} at 96 DPI, ${width}x${height} here"
        [ -n "$w0" ] && [ "$w0" -gt 0 ] && [ $((width * 2)) -ge $((w0 * 3)) ] &&
            [ $((height * 2)) -ge $((h0 * 3)) ] && grown=$((grown + 1))
    done <"$out/sizes.txt"
    [ "$grown" -eq 3 ] || { echo "a picture did not grow with the display"; exit 1; }
fi
