#!/usr/bin/env bash
# Files dropped on the real window by an XDND source, as a file manager drops them
# (text/uri-list, blanks and UTF-8 percent-encoded), open in the station creator: a
# .pls, an .m3u, an .asx, a station file and a plain text file with a URL line. Saving
# each writes the station that the creator was filled with.
# Usage: app_drop_e2e.sh PATH_TO_HALVANE PATH_TO_XDND_DROP
set -u
BIN=$1
DROP=$2
. "$(dirname "$0")/e2e_lib.sh"

prepare_dir
SRC="$DIR/my lists/Stäñ"
mkdir -p "$SRC"
printf '[playlist]\r\nNumberOfEntries=1\r\nFile1=http://127.0.0.1:9/PLS\r\nTitle1=Dropped Pls\r\n' \
  >"$SRC/first list.pls"
printf '#EXTM3U\n#EXTINF:-1, Dropped M3u\nhttp://127.0.0.1:9/m3u\n' >"$SRC/radio.m3u"
printf '<asx version="3.0">\n<title>Dropped Asx</title>\n<author>http://asx.example</author>\n<entry><ref href="http://127.0.0.1:9/asx" /></entry>\n</asx>\n' \
  >"$SRC/radio.asx"
printf 'a station I heard of\nurl=http://127.0.0.1:9/txt\n' >"$SRC/notes 5%41.txt"
cp "$DIR/stations/st1.hvn" "$SRC/old copy.hvn"

# The path as a file:// URI, every byte outside the unreserved set percent-encoded.
uri() {
  python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1]))' "$1"
}

# The list page has the now-playing button at the bottom left; the creator page nothing.
creator_shown() {
  import -window "$WID" "$DIR/shot.png" || return 1
  local spread
  spread=$(convert "$DIR/shot.png" -crop "26x24+4+126" -colorspace Gray \
    -format '%[fx:standard_deviation]' info:)
  awk -v s="$spread" 'BEGIN { exit !(s < 0.01) }'
}
not_creator() { ! creator_shown; }

# The station_id.txt of a saved station, lines joined by "|".
saved() {
  python3 - "$DIR/stations/$1" <<'PY' 2>/dev/null
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    print("|".join(z.read("station_id.txt").decode("latin-1").split("\r\n")))
PY
}

# Drops the file at (x, y), saves the creator and stops the connecting that follows.
drop_and_save() { # FILE X Y
  "$DROP" "$WID" "$2" "$3" "$(uri "$1")" || fail "the drop of $1 was refused ($?)"
  eventually creator_shown || fail "$1 did not open the creator"
  click 231 138 # save
  eventually not_creator || fail "the creator stayed after saving $1"
  sleep 0.5
  click 261 138 # the connecting page's back button
  eventually has_text 0 || fail "the list did not come back after saving $1"
}

start_program
eventually has_text 2 || fail "the stations are not listed at start"
ST=stations/!!!_hvn_station.hvn

# Over the list, then over the category chooser's text field, which would take text.
drop_and_save "$SRC/first list.pls" 100 40
[ "$(saved '!!!_hvn_station.hvn')" = "Dropped Pls|http://www.|0|1|http://127.0.0.1:9/PLS" ] ||
  fail "the .pls was saved as: $(saved '!!!_hvn_station.hvn')"
drop_and_save "$SRC/radio.m3u" 60 138
[ "$(saved '!!!_hvn_station.hvn')" = "Dropped M3u|http://www.|0|1|http://127.0.0.1:9/m3u" ] ||
  fail "the .m3u was saved as: $(saved '!!!_hvn_station.hvn')"
drop_and_save "$SRC/radio.asx" 100 40
[ "$(saved '!!!_hvn_station.hvn')" = "Dropped Asx|http://asx.example|0|1|http://127.0.0.1:9/asx" ] ||
  fail "the .asx was saved as: $(saved '!!!_hvn_station.hvn')"
drop_and_save "$SRC/notes 5%41.txt" 100 40 # "%41" stays as it is
[ "$(saved '!!!_hvn_station.hvn')" = "Unknown Station|http://www.|0|1|http://127.0.0.1:9/txt" ] ||
  fail "the text file was saved as: $(saved '!!!_hvn_station.hvn')"
drop_and_save "$SRC/old copy.hvn" 100 40
[ "$(saved 'old copy.hvn')" = "Rock Two|http://example.invalid|20|1|http://127.0.0.1:9/none" ] ||
  fail "the station file was saved as: $(saved 'old copy.hvn')"
[ -e "$DIR/$ST" ] || fail "$ST is missing"

close_and_wait
echo "1 passed, 0 failed"
