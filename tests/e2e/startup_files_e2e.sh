#!/usr/bin/env bash
# What the real program finds on disk at start and leaves there at the end:
# - a station whose description inflates to 256 MB among good ones: left out, the good
#   ones listed, the start-up's peak memory under 150 MB;
# - temporary files a killed run left behind are removed, the user's own dot files kept;
# - out-of-range settings are used within their ranges;
# - a write-protected hvn.ini stays byte for byte, a linked one is written through its
#   link, and one in a read-only directory (the file itself writable) is rewritten.
# Usage: startup_files_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
python3 - "$DIR" <<'PY'
import sys, zipfile
with zipfile.ZipFile(f"{sys.argv[1]}/stations/bomb.hvn", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("station_id.txt", b"Bomb\r\nhttp://example.invalid\r\n1\r\n" + bytes(256 << 20))
PY
[ "$(stat -c %s "$DIR/stations/bomb.hvn")" -lt 400000 ] || fail "the bomb station is not small"

# Leftovers in every place the program writes temporary files, old names and new.
mkdir -p "$DIR/creator" "$DIR/stations/.hvn-tmp"
leftovers=(".hvn-tmp-a1B2c3" "db/.hvn-tmp-Zz9yX8" "stations/.hvn-zip-Qw3rTy"
  "stations/.download-2.part" "creator/.logo-k7J6h5" "stations/.hvn-tmp/Abc123")
for f in "${leftovers[@]}"; do echo partial >"$DIR/$f"; done
mine=(".hvn-tmp-notes.txt" ".hvn-tmp-notes12" "db/.hvn-tmp-ab12" "stations/.keep" "db/.hidden"
  "stations/.hvn-zip-backup1" "creator/.logo" "creator/.logo-abc12" "creator/.logo-abc12345"
  ".download-x.part")
for f in "${mine[@]}"; do echo mine >"$DIR/$f"; done

# Out-of-range numbers as a hand-edited file may hold them: used within their ranges.
write_settings 0 0 "" 1 0 0 2147483647
sed -i -e 's/Volume        \t\t  =100/Volume        \t\t  =2147483647/' \
  -e 's/Buffersize     \t\t  =0/Buffersize     \t\t  =2147483647/' "$DIR/hvn.ini"
chmod 0444 "$DIR/hvn.ini"
cp -p "$DIR/hvn.ini" "$DIR/hvn.ini.before"

start_program
eventually has_text 2 || fail "the good stations are not listed"
no_text 3 || fail "the bomb station is listed"
height=$(xdotool getwindowgeometry "$WID" | sed -n 's/.*Geometry: [0-9]*x//p')
[ "$height" -le 768 ] || fail "the window is $height pixels high on a 768-pixel screen"
peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$PID/status")
[ "$peak" -lt $((150 * 1024)) ] || fail "start-up peaked at $peak kB"
for f in "${leftovers[@]}"; do [ ! -e "$DIR/$f" ] || fail "leftover $f is still there"; done
[ ! -e "$DIR/stations/.hvn-tmp" ] || fail "the empty temporary folder is still there"
for f in "${mine[@]}"; do [ -f "$DIR/$f" ] || fail "the user's $f was removed"; done
close_and_wait
cmp -s "$DIR/hvn.ini" "$DIR/hvn.ini.before" || fail "the write-protected hvn.ini was changed"

# A link: the settings go to its target, the link stays a link.
mkdir "$DIR/conf"
rm -f "$DIR/hvn.ini"
write_settings 0 0 "" 0 0 0 154
sed -i 's/Force OpenGL Driver \t  =1/Force OpenGL Driver \t  =0/' "$DIR/hvn.ini"
mv "$DIR/hvn.ini" "$DIR/conf/real.ini"
ln -s conf/real.ini "$DIR/hvn.ini"
start_program
eventually has_text 2 || fail "no list with a linked hvn.ini"
close_and_wait
[ -L "$DIR/hvn.ini" ] || fail "the link was replaced by a plain file"
grep -q $'^Force OpenGL Driver \t  =1\r$' "$DIR/conf/real.ini" || fail "the link target was not written"

# A read-only program directory with hvn.ini mounted writable inside it: no temporary
# file can be made beside it, so the file is rewritten where it is.
rm "$DIR/hvn.ini"
write_settings 0 0 "" 0 0 0 154
sed -i 's/Force OpenGL Driver \t  =1/Force OpenGL Driver \t  =0/' "$DIR/hvn.ini"
cp "$DIR/hvn.ini" "$DIR/conf/mounted.ini"
# A private mount namespace needs CAP_SYS_ADMIN (root) and a "/" that is a mount point.
# shellcheck disable=SC2016
if ! why=$(unshare -m --propagation private sh -c 'mount --bind "$1" "$1"' sh "$DIR" 2>&1); then
  echo "SKIP: the read-only directory case needs unshare -m and mount, refused here" \
    "($why); every other case passed"
  exit 77
fi
# shellcheck disable=SC2016
# The file is mounted before the directory is made read-only: a bind mount of a file on a
# read-only mount would be read-only too.
LAUNCH=(unshare -m --propagation private sh -c 'mount --bind "$1" "$1" &&
  mount --bind "$1/conf/mounted.ini" "$1/hvn.ini" && mount -o remount,bind,ro "$1" &&
  exec "$1/halvane"' sh "$DIR")
before=$(xdotool search --name "^ Halvane$" 2>/dev/null | sort)
"${LAUNCH[@]}" >"$DIR/conf/out.log" 2>&1 &
PID=$!
for _ in $(seq 300); do
  WID=$(xdotool search --name "^ Halvane$" 2>/dev/null | sort | comm -13 <(echo "$before") - | head -1)
  [ -n "$WID" ] && break
  kill -0 "$PID" 2>/dev/null || fail "the launcher in a private mount namespace ended: $(cat "$DIR/conf/out.log")"
  sleep 0.1
done
[ -n "$WID" ] || fail "no window in a private mount namespace: $(cat "$DIR/conf/out.log")"
eventually has_text 2 || fail "no list from the read-only directory"
close_and_wait
grep -q $'^Force OpenGL Driver \t  =1\r$' "$DIR/conf/mounted.ini" ||
  fail "hvn.ini in the read-only directory was not rewritten"
[ ! -e "$DIR/.hvn-tmp" ] || fail "a temporary folder was left in the program directory"
echo "1 passed, 0 failed"
