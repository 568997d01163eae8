#!/bin/bash
# vornik-cli on the zips of make_zips.py: (a) a bad archive gives one line
# and one message per member, the members that read give the sample's line;
# (b) its good images are extracted, each into a folder of its name; (c)
# hostile member names, and a link where a member's folder goes, write
# nothing outside -o; (d) one image alone writes into -o; (e) a file named
# .zip that is none is unreadable; (f) map takes no archive; (g) without a
# loadable libarchive an archive is unreadable and images list as ever.
#   archive_bad.sh VORNIK_CLI ZIPS SAMPLE_JV1_IMAGE
set -u
cli=$1 zips=$2 sample=$3 work=$(mktemp -d) failures=0
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Each JSON line of a file without its "image", after the image's name.
lines() {
  python3 -c '
import json, sys
for line in open(sys.argv[1]):
    j = json.loads(line)
    image = j.pop("image")
    print(image[image.rfind("/") + 1:], json.dumps(j, sort_keys=True))' "$1"
}
mkdir "$work/sample" && "$cli" extract "$sample" --all -o "$work/sample" >/dev/null || fail "the sample"
truncate -s $((64 * 1024 * 1024 + 1)) "$work/large.dsk"
"$cli" list --json "$sample" "$work/large.dsk" >"$work/alone.json" 2>/dev/null

# a)
"$cli" list --json "$zips/bad.zip" >"$work/bad.json" 2>"$work/bad.err"
status=$?
lines "$work/alone.json" | sed -n 's/^newdos80-jv1.dsk //p' >"$work/good"
lines "$work/alone.json" | sed -n 's/^large.dsk //p' >"$work/large"
{
  echo "bomb.dsk $(cat "$work/large")"
  echo "liar.dsk $(cat "$work/large")"
  echo 'corrupt.dsk {"error": "the member cannot be unpacked: ...", "kind": "unreadable"}'
  echo "good.dsk $(cat "$work/good")"
  echo 'encrypted.dsk {"error": "the member is encrypted; it is not read", "kind": "unreadable"}'
  echo "last.dsk $(cat "$work/good")"
} >"$work/want"
lines "$work/bad.json" | sed 's/\(cannot be unpacked: \)[^"]*/\1.../' >"$work/got"
[ "$status" = 2 ] && [ -s "$work/good" ] && diff "$work/want" "$work/got" || fail "list --json bad.zip (status $status)"
for member in bomb.dsk liar.dsk corrupt.dsk nested.zip encrypted.dsk; do
  [ "$(grep -c "^vornik-cli: $zips/bad.zip/$member: " "$work/bad.err")" = 1 ] || fail "no one message for $member"
done
[ "$(wc -l <"$work/bad.err")" = 5 ] || fail "bad.zip: $(wc -l <"$work/bad.err") messages, not 5"

# b)
out=$work/bad && mkdir "$out"
"$cli" extract "$zips/bad.zip" --all -o "$out" >/dev/null 2>&1
status=$?
[ "$status" = 2 ] && [ "$(ls "$out" | tr '\n' ' ')" = "good.dsk last.dsk " ] && diff -r "$work/sample" "$out/good.dsk" &&
  diff -r "$work/sample" "$out/last.dsk" || fail "extract bad.zip (status $status)"

# c)
mkdir -p "$work/c/a/b/out" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/c/a/b/out/win.dsk"
"$cli" extract "$zips/hostile.zip" --all -o "$work/c/a/b/out" >/dev/null 2>"$work/hostile.err"
status=$?
[ "$status" = 4 ] && grep -q "out/win.dsk: is there and is no folder; nothing of this image is written" "$work/hostile.err" ||
  fail "hostile.zip: the link (status $status)"
[ -z "$(ls "$work/elsewhere")" ] && [ "$(find "$work/c" -type f | wc -l)" = 16 ] || fail "hostile.zip: written outside"
[ "$(ls "$work/c/a/b/out" | tr '\n' ' ')" = "SAME.DSK root.dmk same-2.dsk up.dsk win.dsk " ] || fail "hostile.zip folders"

# d)
out=$work/one && mkdir "$out"
"$cli" extract "$zips/one.zip" --all -o "$out" >/dev/null && diff -r "$work/sample" "$out" || fail "extract one.zip"

# e)
cp "$sample" "$work/not.zip"
"$cli" list --json "$work/not.zip" >"$work/not.json" 2>/dev/null
status=$?
[ "$status" = 2 ] && grep -q '"image":"[^"]*/not.zip","error":"not a zip archive, or a damaged one: [^"]*","kind":"unreadable"' \
  "$work/not.json" || fail "not.zip (status $status)"

# f) map draws one image: an archive is named as such, and no picture is written.
"$cli" map "$zips/one.zip" -o "$work/one.svg" >/dev/null 2>"$work/map.err"
status=$?
[ "$status" = 2 ] && grep -q "not an archive" "$work/map.err" && [ ! -e "$work/one.svg" ] || fail "map one.zip (status $status)"

# g) A library of libarchive's name that is none stands in for a missing one.
mkdir "$work/lib" && : >"$work/lib/libarchive.so.13"
LD_LIBRARY_PATH=$work/lib "$cli" list "$zips/one.zip" "$sample" >"$work/nolib.out" 2>"$work/nolib.err"
status=$?
[ "$status" = 2 ] && grep -q "one.zip: zip archives cannot be read: libarchive is not loaded: " "$work/nolib.err" &&
  grep -q "newdos80-jv1.dsk: JV1, 4 files" "$work/nolib.out" || fail "no libarchive (status $status)"

[ "$failures" = 0 ] && echo "bad and hostile archives: every member said, nothing written outside -o"
exit "$((failures > 0))"
