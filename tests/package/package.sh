#!/bin/bash
# Builds the Debian package from a build folder with cpack and checks it:
# every file it must install, Depends, the version, the man pages, the
# shipped bash completion, and lintian without errors.
#
#   package.sh SOURCE_DIR BUILD_DIR [CPACK]
#
# Exits 77 (skipped) when cpack or dpkg-deb is missing, and after the other
# checks when lintian is.
set -u
src=$1 build=$2 cpack=${3:-cpack}
command -v "$cpack" >/dev/null && command -v dpkg-deb >/dev/null || {
  echo "cpack or dpkg-deb not found: skipped"
  exit 77
}

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The package goes into the temporary folder, not the build folder.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
debs=("$tmp"/out/vornik_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { ls -l "$tmp/out"; echo "FAIL: not one vornik_*.deb"; exit 1; }
deb=${debs[0]}
echo "built $(basename "$deb")"

# What it installs, and nothing outside /usr (no /usr/local).
dpkg-deb -c "$deb" | awk '{print $NF}' >"$tmp/contents"
for path in \
  ./usr/bin/vornik ./usr/bin/vornik-cli \
  ./usr/share/applications/vornik.desktop \
  ./usr/share/mime/packages/vornik.xml \
  ./usr/share/icons/hicolor/32x32/apps/vornik.png \
  ./usr/share/man/man1/vornik.1.gz ./usr/share/man/man1/vornik-cli.1.gz \
  ./usr/share/bash-completion/completions/vornik-cli \
  ./usr/share/doc/vornik/copyright ./usr/share/doc/vornik/changelog.gz; do
  grep -qxF "$path" "$tmp/contents" || fail "$path is not in the package"
done
grep -v -e '^\./usr/' -e '^\./$' "$tmp/contents" | sed 's/^/FAIL: outside \/usr: /' | grep . && failures=$((failures + 1))
grep '^\./usr/local/' "$tmp/contents" | sed 's/^/FAIL: under \/usr\/local: /' | grep . && failures=$((failures + 1))

# The desktop entry, the MIME types, the man pages and the completion are
# the tracked files themselves.
dpkg-deb -x "$deb" "$tmp/root"
for pair in \
  src/ui/vornik.desktop:usr/share/applications/vornik.desktop \
  src/ui/vornik-mime.xml:usr/share/mime/packages/vornik.xml \
  src/cli/vornik-cli.bash:usr/share/bash-completion/completions/vornik-cli; do
  cmp -s "$src/${pair%%:*}" "$tmp/root/${pair#*:}" || fail "/${pair#*:} is not ${pair%%:*}"
done
for page in vornik vornik-cli; do
  zcat "$tmp/root/usr/share/man/man1/$page.1.gz" | cmp -s "$src/docs/man/$page.1" - ||
    fail "/usr/share/man/man1/$page.1.gz is not docs/man/$page.1"
done

# Depends comes from the libraries the programs are linked against, and
# libarchive, which they load when they first read an archive.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6core6 libqt6widgets6 libarchive13; do
  case ", $depends" in
    *", $lib "* | *", $lib,"* | *", $lib") ;;
    *) fail "Depends lacks $lib" ;;
  esac
done

# One version everywhere: the package, the changelog's newest entry and the
# program's own --version.
version=$(dpkg-deb -f "$deb" Version)
changelog=$(zcat "$tmp/root/usr/share/doc/vornik/changelog.gz" | head -n 1)
[[ $changelog == "vornik ($version) "* ]] || fail "changelog starts \"$changelog\", package version is $version"
said=$("$tmp/root/usr/bin/vornik-cli" --version)
[ "$said" = "vornik-cli $version" ] || fail "vornik-cli --version says \"$said\", package version is $version"

# The man pages render without a warning from man or groff.
if command -v man >/dev/null; then
  for page in vornik vornik-cli; do
    file=$tmp/root/usr/share/man/man1/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man $page shows no NAME section"
  done
fi

# The completion as shipped: commands, each command's options, image files
# in any case and folders, folders after extract -o, SVG files after map -o.
completion=$tmp/root/usr/share/bash-completion/completions/vornik-cli
bash -n "$completion" || fail "the completion script does not parse"
if [ -r /usr/share/bash-completion/bash_completion ]; then
  mkdir -p "$tmp/files/sub"
  touch "$tmp/files/"{a.dsk,B.DMK,c.Jv3,d.jv1,E.JV3,f.txt,g.svg,h.dskx}
  got=$(cd "$tmp/files" && LC_ALL=C bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$0"
    complete_words() {
      COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      COMPREPLY=(); _vornik_cli
      printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "; echo
    }
    complete_words vornik-cli ""
    complete_words vornik-cli -
    complete_words vornik-cli list -
    complete_words vornik-cli extract -
    complete_words vornik-cli map --
    complete_words vornik-cli check ""
    complete_words vornik-cli extract a.dsk ""
    complete_words vornik-cli extract a.dsk -o ""
    complete_words vornik-cli map a.dsk -o ""
    complete_words vornik-cli info -- -x ""
  ' "$completion" 2>&1)
  want='check extract info list map 
--help --version 
--help --json 
--all --exact --force --help --output -o 
--help --output 
B.DMK E.JV3 a.dsk c.Jv3 d.jv1 sub 
 
sub 
g.svg sub 
B.DMK E.JV3 a.dsk c.Jv3 d.jv1 sub '
  [ "$got" = "$want" ] || fail "completion offers
$got
instead of
$want"
else
  echo "bash-completion not installed: the completion is not tried"
fi

[ "$failures" = 0 ] || exit 1

if ! command -v lintian >/dev/null; then
  echo "lintian not found: the package is not judged; skipped"
  exit 77
fi
lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges'
status=${PIPESTATUS[0]}
[ "$status" = 0 ] || { echo "FAIL: lintian finds errors"; exit 1; }
echo "package checks passed"
