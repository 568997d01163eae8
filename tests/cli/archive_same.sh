#!/bin/bash
# The disk images of a folder, zipped into disks/ of one archive, read image
# by image as they do on their own: the same stdout and stderr of info, list
# and check (text and JSON), each image named ARCHIVE.zip/disks/NAME, and the
# same exit status; `extract --all` writes the same files, each image's into
# a folder of its name. Exits 77 (skipped) when the folder has no images.
#   archive_same.sh VORNIK-CLI FOLDER
set -u
cli=$1 images=$2
mapfile -t names < <(cd "$images" 2>/dev/null && ls | grep -Ei '\.(dsk|dmk|jv1|jv3)$')
[ "${#names[@]}" -gt 1 ] || { echo "no disk images in $images"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp/set.zip" "$images" "${names[@]}" <<'PY' || exit 1
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in sys.argv[3:]:
        z.write(os.path.join(sys.argv[2], name), "disks/" + name)
PY
zip=$tmp/set.zip
failed=0
for command in info list "list --json" check "check --json"; do
  # shellcheck disable=SC2086  # the command's words
  "$cli" $command "${names[@]/#/$images/}" >"$tmp/alone" 2>"$tmp/alone.err"
  alone=$?
  "$cli" $command "$zip" >"$tmp/zipped" 2>"$tmp/zipped.err"
  zipped=$?
  # The images' paths as the zip names them (a literal replacement).
  out=$(<"$tmp/alone") err=$(<"$tmp/alone.err")
  out=${out//"$images/"/"$zip/disks/"} err=${err//"$images/"/"$zip/disks/"}
  if [ "$out" != "$(<"$tmp/zipped")" ] || [ "$err" != "$(<"$tmp/zipped.err")" ] || [ "$alone" != "$zipped" ]; then
    echo "FAIL: $command: status $alone alone, $zipped from the zip"
    diff <(echo "$out") "$tmp/zipped" | head -n 6
    diff <(echo "$err") "$tmp/zipped.err" | head -n 6
    failed=1
  fi
done
worst=0
mkdir "$tmp/each" "$tmp/from-zip"
for name in "${names[@]}"; do
  mkdir "$tmp/each/$name"
  "$cli" extract "$images/$name" --all -o "$tmp/each/$name" >/dev/null 2>&1
  status=$?
  [ "$status" -gt "$worst" ] && worst=$status
done
find "$tmp/each" -mindepth 1 -type d -empty -delete  # an image without files makes no folder
"$cli" extract "$zip" --all -o "$tmp/from-zip" >/dev/null 2>&1
status=$?
if ! diff -r "$tmp/each" "$tmp/from-zip" || [ "$status" != "$worst" ]; then
  echo "FAIL: extract --all: status $worst alone, $status from the zip"
  failed=1
fi
[ "$failed" = 0 ] && echo "${#names[@]} images: info, list, check and extract alike from the zip"
exit "$failed"
