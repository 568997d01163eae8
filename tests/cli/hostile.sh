#!/bin/bash
# vornik-cli under hostile conditions: (a) concurrent extracts into one folder,
# (b) signals while a copy is written, (c) --force with the image in the folder,
# (d) memory running out on one image of several, (e) output that cannot be written.
#   hostile.sh VORNIK_CLI SLOW_FSYNC_LIBRARY SAMPLE_JV1_IMAGE
set -u
cli=$1 slow=$2 a=$3 work=$(mktemp -d) failures=0
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Image b: a with every byte of tracks 2 to 16, where the files lie, changed.
b=$work/b.dsk
cp "$a" "$b" && dd if="$a" bs=2560 skip=2 count=15 status=none | LC_ALL=C tr '\000-\377' '\001-\377\000' |
  dd of="$b" bs=2560 seek=2 conv=notrunc status=none
for run in a b; do mkdir "$work/ref-$run" && "$cli" extract "${!run}" --all -o "$work/ref-$run" >/dev/null; done
names=$(ls "$work/ref-a")
[ -n "$names" ] && ! cmp -s "$work/ref-a/README.TXT" "$work/ref-b/README.TXT" || fail "the two images are not as built"

# a) Each name is written by one run, holds its bytes, and the other run says it exists.
for round in $(seq 50); do
  out=$work/race-$round && mkdir "$out"
  for run in a b; do "$cli" extract "${!run}" --all -o "$out" >"$work/out-$run" 2>"$work/err-$run" & done
  wait
  for name in $names; do
    writers=$(for run in a b; do grep -qF "$out/$name  " "$work/out-$run" && echo -n $run; done)
    other=b && [ "$writers" = b ] && other=a
    { [ ${#writers} = 1 ] && cmp -s "$out/$name" "$work/ref-$writers/$name" &&
      grep -qF "$out/$name: exists, not overwritten" "$work/err-$other"; } || fail "round $round: $name by '$writers'"
  done
done

# b) The signal arrives while fsync waits, with an unnamed temporary file and with a named one.
out=$work/signal && mkdir "$out"
for sig in TERM INT; do
  for no_tmpfile in "" 1; do
    rm -f "$work/mark"
    env --default-signal=INT,TERM LD_PRELOAD="$slow" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
      VORNIK_TEST_FSYNC_MARK="$work/mark" VORNIK_TEST_NO_TMPFILE="$no_tmpfile" \
      "$cli" extract "$a" --all --force -o "$out" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$work/mark" ] && break; sleep 0.1; done
    kill -s $sig $! && wait $!
    status=$? left=$(ls -A "$out")
    [ $status -gt 128 ] && [ -z "$left" ] || fail "SIG$sig, no_tmpfile '$no_tmpfile': status $status, left '$left'"
    rm -f "$out"/.vornik-*
  done
done

# c) The image in the target folder under the name of a file it holds stays as it is.
mkdir "$work/self" && cp "$a" "$work/self/README.TXT"
"$cli" extract "$work/self/README.TXT" --all --force -o "$work/self" >/dev/null 2>"$work/err-self"
status=$?
cmp -s "$a" "$work/self/README.TXT" && [ $status = 4 ] && grep -qF "README.TXT: is the image being read" "$work/err-self" ||
  fail "--force over the image: status $status, $(cat "$work/err-self")"

# d) One image too large for the memory there is: it is reported, the others are listed.
if ! ldd "$cli" | grep -q libasan; then  # the sanitizers reserve memory of their own
  head -c $((60 << 20)) /dev/zero >"$work/big.dsk"
  (ulimit -v 100000 && exec "$cli" list --json "$a" "$work/big.dsk" "$a") >"$work/oom" 2>/dev/null
  status=$?
  [ $status = 2 ] && [ "$(grep -c '"files"' "$work/oom")" = 2 ] &&
    grep -qF '{"image":"'"$work"'/big.dsk","error":"out of memory","kind":"unreadable"}' "$work/oom" ||
    fail "out of memory: status $status, $(cut -c1-80 "$work/oom")"
fi

# e) A full disk or a closed descriptor for the output is a failure.
"$cli" list "$a" >/dev/full 2>/dev/null; [ $? = 4 ] || fail "list >/dev/full"
"$cli" list --json "$a" >&- 2>/dev/null; [ $? = 4 ] || fail "list >&-"
# ... and no file opened later stands in for the closed output.
mkdir "$work/closed" && "$cli" extract "$a" --all -o "$work/closed" >&- 2>/dev/null
status=$?
[ $status = 4 ] && diff -r "$work/ref-a" "$work/closed" >/dev/null || fail "extract >&-: status $status"

echo "hostile conditions: $failures failures"
[ $failures = 0 ]
