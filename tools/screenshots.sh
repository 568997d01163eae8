#!/bin/sh
# Draws docs/screenshot.png (the window with a sample open) and
# docs/disk-map.png (that sample's disk map) with the program itself under a
# virtual X server. The sample is copied into a plain folder first, so the
# window shows a path as a user's would: $VORNIK_SCREENSHOT_FOLDER, or
# ~/Disks.
#   tools/screenshots.sh PATH/TO/vornik SOURCE_DIR
set -eu
vornik=$1
src=$2
folder=${VORNIK_SCREENSHOT_FOLDER:-$HOME/Disks}
mkdir -p "$folder"
cp "$src/samples/double-density.dmk" "$folder/"
image="$folder/double-density.dmk"
run() {
  xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" env "$@" "$vornik" "$image"
}
run VORNIK_SCREENSHOT="$src/docs/screenshot.png"
run VORNIK_SCREENSHOT="$src/docs/disk-map.png" VORNIK_SMOKE_MAP=1
echo "docs/screenshot.png and docs/disk-map.png drawn from $image"
