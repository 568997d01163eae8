#!/bin/sh
# The desktop entry and the MIME types as a desktop installs them: the entry
# validates, the XML is well-formed, and with the types installed in a
# scratch data folder each sample is told by its own type (a .dsk by its
# content).  Skips (77) when the desktop tools are absent.
#   desktop_files.sh SOURCE_DIR
set -eu
src=$1
for tool in desktop-file-validate xmllint update-mime-database gio; do
  command -v "$tool" >/dev/null 2>&1 || { echo "no $tool: skipped"; exit 77; }
done
desktop-file-validate "$src/src/ui/vornik.desktop"
grep -qx 'Exec=vornik %f' "$src/src/ui/vornik.desktop"
xmllint --noout "$src/src/ui/vornik-mime.xml"

data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/mime/packages"
cp "$src/src/ui/vornik-mime.xml" "$data/mime/packages/vornik.xml"
cp /usr/share/mime/packages/freedesktop.org.xml "$data/mime/packages/"
update-mime-database "$data/mime" >/dev/null 2>&1
# Every type the entry opens is one the XML defines.
for type in $(sed -n 's/^MimeType=//p' "$src/src/ui/vornik.desktop" | tr ';' ' '); do
  grep -q "type=\"$type\"" "$src/src/ui/vornik-mime.xml" || { echo "undefined type $type"; exit 1; }
done
type_of() {
  XDG_DATA_HOME="$data/none" XDG_DATA_DIRS="$data" gio info -a standard::content-type "$1" |
    sed -n 's/.*standard::content-type: //p'
}
status=0
check() {  # file expected-type
  got=$(type_of "$1")
  if [ "$got" != "$2" ]; then echo "$1: $got, not $2"; status=1; fi
}
check "$src/samples/double-density.dmk" application/x-dmk-disk-image
check "$src/samples/double-sided.jv3" application/x-jv3-disk-image
check "$src/samples/newdos80-jv1.dsk" application/x-jv1-disk-image
# The same bytes named .dsk: the content decides.
cp "$src/samples/double-density.dmk" "$data/a.dsk"
cp "$src/samples/double-sided.jv3" "$data/b.dsk"
check "$data/a.dsk" application/x-dmk-disk-image
check "$data/b.dsk" application/x-jv3-disk-image
exit $status
