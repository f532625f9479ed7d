#!/bin/sh
# Installs the build into a temporary prefix and checks what the desktop needs to
# list Quillset and open .tex files with it: the program the desktop entry runs, the
# entry's MIME type, and its icon in every hicolor size at that size.
set -eu
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
cmake --install "$build" --prefix "$dest/usr" >/dev/null
entry=$dest/usr/share/applications/quillset.desktop
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi
grep -qx 'MimeType=text/x-tex;' "$entry"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
test -x "$dest/usr/bin/$program"
icon=$(sed -n 's/^Icon=//p' "$entry")
test -s "$dest/usr/share/icons/hicolor/scalable/apps/$icon.svg"
for size in 16 24 32 48 64 128 256; do
  png=$dest/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png
  # The width and the height of a PNG are the big-endian words at bytes 16 and 20.
  dimensions=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dimensions" = "${size}x${size}" ] || { echo "$png is $dimensions"; exit 1; }
done
echo "installed: $(cd "$dest" && find . -type f | sort | tr '\n' ' ')"
