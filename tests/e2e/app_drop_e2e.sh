#!/usr/bin/env bash
# Files dropped on the real window by an XDND source, as a file manager drops them
# (text/uri-list, blanks and UTF-8 percent-encoded), open in the station creator: a
# .pls, an .m3u, an .asx, a station file and a plain text file with a URL line, an .m3u
# whose URL has a query string and a comment line before it, and one whose only URL is
# https. Saving each writes the station that the creator was filled with, after a question
# when it replaces the one saved before under the same name.
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
printf '#EXTM3U\n#EXTINF:-1,Query M3u\n# http://127.0.0.1:9/comment\nhttp://127.0.0.1:9/;s.mp3?type=http&nocache=42\n' \
  >"$SRC/query.m3u"
printf '#EXTM3U\r\n#EXTINF:-1,Secure M3u\r\nhttps://127.0.0.1:9/secure\r\n' >"$SRC/secure.m3u"
printf 'a station I heard of\nurl=http://127.0.0.1:9/txt\n' >"$SRC/notes 5%41.txt"
cp "$DIR/stations/st1.hvn" "$SRC/old copy.hvn"

# The path as a file:// URI, every byte outside the unreserved set percent-encoded.
uri() {
  local LC_ALL=C s=$1 out= c i
  for ((i = 0; i < ${#s}; i++)); do
    c=${s:i:1}
    case $c in [A-Za-z0-9/._~-]) out+=$c ;; *) printf -v c '%%%02X' "'$c"; out+=$c ;; esac
  done
  echo "file://$out"
}


# Drops the file at (x, y), saves the creator, stops the connecting that follows and
# keeps a copy of the saved station as saved/KIND.
mkdir "$DIR/saved"
drop_and_save() { # FILE X Y SAVED_AS KIND
  "$DROP" "$WID" "$2" "$3" "$(uri "$1")" || fail "the drop of $1 was refused ($?)"
  eventually creator_shown || fail "$1 did not open the creator"
  local replacing=
  [ -f "$DIR/stations/$4" ] && replacing=1
  click 231 138 # save
  if [ -n "$replacing" ]; then
    eventually dialog_shown || fail "saving $1 over the station before it asked nothing"
    answer_dialog Return # replace it
  fi
  eventually not_creator || fail "the creator stayed after saving $1"
  sleep 0.5
  click 261 138 # the connecting page's back button
  eventually has_text 0 || fail "the list did not come back after saving $1"
  cp "$DIR/stations/$4" "$DIR/saved/$5" || fail "$1 was not saved"
}

start_program
eventually has_text 2 || fail "the stations are not listed at start"

# Over the list, and over the category chooser's text field, which would take text.
NEW='!!!_hvn_station.hvn'
drop_and_save "$SRC/first list.pls" 100 40 "$NEW" pls
drop_and_save "$SRC/radio.m3u" 60 138 "$NEW" m3u
drop_and_save "$SRC/radio.asx" 100 40 "$NEW" asx
drop_and_save "$SRC/notes 5%41.txt" 100 40 "$NEW" txt # "%41" stays as it is
drop_and_save "$SRC/old copy.hvn" 100 40 "old copy.hvn" hvn
drop_and_save "$SRC/query.m3u" 100 40 "$NEW" query
drop_and_save "$SRC/secure.m3u" 100 40 "$NEW" secure

# Each saved station_id.txt, lines joined by "|".
python3 - "$DIR/saved" >"$DIR/saved.txt" <<'PY'
import sys, zipfile
for kind in ["pls", "m3u", "asx", "txt", "hvn", "query", "secure"]:
    with zipfile.ZipFile(f"{sys.argv[1]}/{kind}") as z:
        print(kind, "|".join(z.read("station_id.txt").decode("latin-1").split("\r\n")))
PY
diff - "$DIR/saved.txt" <<'EXPECTED' || fail "the dropped files were not imported as they are"
pls Dropped Pls|http://www.|0|1|http://127.0.0.1:9/PLS
m3u Dropped M3u|http://www.|0|1|http://127.0.0.1:9/m3u
asx Dropped Asx|http://asx.example|0|1|http://127.0.0.1:9/asx
txt Unknown Station|http://www.|0|1|http://127.0.0.1:9/txt
hvn Rock Two|http://example.invalid|20|1|http://127.0.0.1:9/none
query Query M3u|http://www.|0|1|http://127.0.0.1:9/;s.mp3?type=http&nocache=42
secure Secure M3u|http://www.|0|1|https://127.0.0.1:9/secure
EXPECTED

close_and_wait
echo "1 passed, 0 failed"
