#!/usr/bin/env bash
# With no sound output that opens, the real program shows only the message
# "Error: Soundcard couldn't be initialised! : FMOD ERROR" titled " Halvane", never builds
# its window, exits with 0 once the message is closed and leaves "hvn.ini" as it was.
# Usage: app_audio_failure_e2e.sh PATH_TO_HALVANE
set -u
BIN=$1
if [ -z "${DISPLAY:-}" ]; then
  [ "${HALVANE_TEST_SERVICES:-}" = 1 ] && { echo "FAIL: DISPLAY is not set"; exit 1; }
  echo "SKIP: DISPLAY is not set"; exit 77
fi
DIR=$(mktemp -d /tmp/hvn-e2e-audio.XXXXXX)
PID=
trap '[ -n "$PID" ] && kill "$PID" 2>/dev/null; rm -rf "$DIR"' EXIT
fail() { echo "FAIL: $1"; exit 1; }

cp "$BIN" "$DIR/halvane"
printf 'kept\r\n' >"$DIR/hvn.ini"
# No sound server to reach, and ALSA's default device on a card that does not exist.
printf 'pcm.!default { type hw; card 99 }\nctl.!default { type hw; card 99 }\n' >"$DIR/asound.conf"
mkdir "$DIR/run"
before=$(xdotool search --class halvane 2>/dev/null | sort)
env -u PULSE_SERVER ALSA_CONFIG_PATH="$DIR/asound.conf" XDG_RUNTIME_DIR="$DIR/run" \
  PULSE_RUNTIME_PATH="$DIR/run/pulse" "$DIR/halvane" >"$DIR/out.log" 2>&1 &
PID=$!

MSG=
for _ in $(seq 100); do
  MSG=$(xdotool search --class halvane 2>/dev/null | sort | comm -13 <(echo "$before") - | head -1)
  [ -n "$MSG" ] && break
  sleep 0.1
done
[ -n "$MSG" ] || fail "no message appeared"
sleep 0.3
import -window "$MSG" "$DIR/msg.png" || fail "the message cannot be read"
xdotool getwindowgeometry "$MSG" | grep -q "Geometry: 278x" && fail "the main window was built"
[ "$(xdotool getwindowname "$MSG")" = " Halvane" ] || fail "the message is not titled \" Halvane\""
xdotool windowfocus --sync "$MSG" key Return

STATUS=
for _ in $(seq 100); do
  if ! kill -0 "$PID" 2>/dev/null; then wait "$PID"; STATUS=$?; PID=; break; fi
  sleep 0.1
done
[ -z "$PID" ] || fail "the program did not end after the message was closed"
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
[ "$(cat "$DIR/hvn.ini")" = $'kept\r' ] || fail "hvn.ini was changed"
echo "1 passed, 0 failed"
