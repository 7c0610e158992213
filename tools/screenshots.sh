#!/usr/bin/env bash
# Photographs the configuration sheet on each page, with the tray icon in Wine's tray, then
# the about box, the update notice and the credits, under the X display already set in DISPLAY. Writes PNG files into the given folder.
# With a third argument, the folder of the same shots at 96 DPI, the display runs at a higher
# DPI: the tray must have grown with it (icons of the size the system asks for).
set -euo pipefail
exe=$1
out=$2
base=${3:-}
. "$(dirname "$0")/wine-env.sh"
wine_commands
mkdir -p "$out"
taken=0
while read -r word name; do
    name=${name%$'\r'}
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
[ "$taken" -eq 7 ] || exit 1
if [ -n "$base" ]; then
    small=$(identify -format %h "$base/tray.png")
    large=$(identify -format %h "$out/tray.png")
    echo "tray height: $small at 96 DPI, $large here"
    [ $((large * 2)) -ge $((small * 3)) ]
fi
