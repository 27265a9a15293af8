#!/usr/bin/env bash
# Tries the README's set-up on a fresh Debian 12 (bookworm): a debootstrap minbase root,
# cached in $FRESH_CACHE (default /var/cache/halvane-fresh) and copied for each run, gets a
# clone of this checkout's HEAD and runs tools/run.sh (the player under an Xvfb inside the
# root: its window must show, then it is closed) and tools/test.sh there. It prints what
# each step installed and how long it took. Root only; not part of the tests.
# The packages come from the network (each set's deps.sh first); the commands themselves
# run in a network namespace of their own with loopback only, so that no X server or port
# of this machine is reached from inside.
#   tools/fresh-check.sh [--user]   --user: tools/test.sh also runs as an ordinary user
# FRESH_KEEP=1 keeps the run's root.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "fresh-check: run it as root" >&2; exit 2; }
as_user=0
[ "${1:-}" = --user ] && as_user=1
src=$(cd "$(dirname "$0")/.." && pwd)
cache=${FRESH_CACHE:-/var/cache/halvane-fresh}
base=$cache/bookworm-minbase

# The mounts made here live in a mount namespace of this script's own, so they go with it
# even when it is killed; they are still unmounted in order at the end.
if [ -z "${FRESH_NS:-}" ]; then
  exec env FRESH_NS=1 unshare -m --propagation private "$0" "$@"
fi

stamp() { date +%s.%N; }
t0=$(stamp)
took() { awk -v a="$1" -v b="$(stamp)" 'BEGIN { printf "%.0f s", b - a }'; }
say() { echo "fresh-check: $*"; }

# The Debian mirror this machine's apt uses (the one that is reachable).
mirror_of() { # mirror_of debian|debian-security
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | grep -v '^[[:space:]]*#' | grep -oE "(https?|file)://[^ ]*/$1/?( |$)" |
    head -1 | tr -d ' ' | sed 's:/$::' || true
}
mirror=$(mirror_of debian)
security=$(mirror_of debian-security)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
command -v debootstrap >/dev/null || {
  say "installing debootstrap on this machine"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
}

if [ ! -x "$base/usr/bin/apt-get" ]; then
  t=$(stamp)
  say "building the base root in $base from $mirror"
  rm -rf "$base.tmp"
  mkdir -p "$cache"
  debootstrap --variant=minbase bookworm "$base.tmp" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/debootstrap.log"; exit 1; }
  rm -rf "$base" && mv "$base.tmp" "$base"
  say "base root built in $(took "$t")"
else
  say "base root from the cache: $base"
fi

t=$(stamp)
root=$(mktemp -d "$cache/run.XXXXXX")
cp -a "$base/." "$root/"
{
  echo "deb $mirror bookworm main"
  echo "deb $mirror bookworm-updates main"
  [ -n "$security" ] && echo "deb $security bookworm-security main"
} >"$root/etc/apt/sources.list"
rm -f "$root"/etc/apt/sources.list.d/*
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
git clone -q --no-local "$src" "$root/root/halvane"
[ -z "$(git -C "$src" status --porcelain --untracked-files=no)" ] ||
  say "note: the checkout has uncommitted changes; the clone has HEAD only"
say "root $root ready with a clone of $(git -C "$src" rev-parse --short HEAD) in $(took "$t")"

# The root bound onto itself: its / is a mount point, as in a container.
mounts=()
bind() { mount "$@"; mounts+=("${@: -1}"); }
bind --bind "$root" "$root"
bind -t proc proc "$root/proc"
bind -t sysfs sys "$root/sys"
bind --bind /dev "$root/dev"
bind --bind /dev/pts "$root/dev/pts"
bind -t tmpfs -o mode=1777 shm "$root/dev/shm"

# The loopback-only network namespace, held by a process of its own.
unshare -n sh -c 'ip link set lo up && exec sleep 100000' &
net_pid=$!
xvfb_pid=
cleanup() {
  local pids p i
  # Whatever still runs inside the root was started by this script.
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  kill "$net_pid" 2>/dev/null
  pids=()
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && pids+=("${p#/proc/}")
  done
  [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  sleep 1
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[$i]}" 2>/dev/null || umount -l "${mounts[$i]}"
  done
  if [ "${FRESH_KEEP:-0}" = 1 ]; then say "root kept: $root"; else rm -rf "$root"; fi
}
trap cleanup EXIT

in_root() { # in_root COMMAND...: a clean login-like environment inside the root
  chroot "$root" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM=dumb "$@"
}
offline() { # offline COMMAND...: in_root in the loopback-only network
  nsenter --net="/proc/$net_pid/ns/net" chroot "$root" env -i HOME=/root \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb "$@"
}
installed() { in_root dpkg-query -W -f '${Package}\n' | sort; }

t=$(stamp)
before=$(installed)
in_root apt-get update -qq
in_root sh -c 'cd /root/halvane && exec tools/deps.sh run' >"$root/tmp/deps-run.log" 2>&1 ||
  { cat "$root/tmp/deps-run.log"; say "FAIL: tools/deps.sh run"; exit 1; }
say "tools/deps.sh run: $(comm -13 <(echo "$before") <(installed) | wc -l) packages in $(took "$t")," \
  "named: $(grep -oP '^Installing: \K.*' "$root/tmp/deps-run.log" || echo none)"

# Only to watch the player: an X server, xdotool and python3 for the window-manager close.
t=$(stamp)
before=$(installed)
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  xvfb xdotool python3 >"$root/tmp/watch.log" 2>&1 || { cat "$root/tmp/watch.log"; exit 1; }
say "watching tools installed in $(took "$t"): $(comm -13 <(echo "$before") <(installed) | wc -l) packages"

offline sh -c 'Xvfb :7 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb.log 2>&1 & echo $!' \
  >"$root/tmp/xvfb.pid"
xvfb_pid=$(cat "$root/tmp/xvfb.pid")
for _ in $(seq 100); do [ -e "$root/tmp/.X11-unix/X7" ] && break; sleep 0.1; done

# The root has no sound card: a null ALSA device stands in for one while the player runs
# (without any the player tells "Soundcard couldn't be initialised" and ends).
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$root/root/.asoundrc"
t=$(stamp)
(offline sh -c 'cd /root/halvane && DISPLAY=:7 exec tools/run.sh' >"$root/tmp/run.log" 2>&1) &
run_pid=$!
wid=
while kill -0 "$run_pid" 2>/dev/null; do
  wid=$(offline env DISPLAY=:7 xdotool search --name '^ Halvane$' 2>/dev/null | head -1) || true
  [ -n "$wid" ] && break
  sleep 1
done
if [ -z "$wid" ]; then
  tail -n 30 "$root/tmp/run.log"
  say "FAIL: tools/run.sh ended without a window"
  FRESH_KEEP=1
  exit 1
fi
say "tools/run.sh: window $wid after $(took "$t") (build, install and start)"
offline env DISPLAY=:7 python3 /root/halvane/tests/e2e/wm_close.py "$wid"
for _ in $(seq 100); do kill -0 "$run_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$run_pid" 2>/dev/null; then say "FAIL: the player did not close"; exit 1; fi
rc=0; wait "$run_pid" || rc=$?
[ $rc -eq 0 ] || { tail -n 20 "$root/tmp/run.log"; say "FAIL: the player closed with $rc"; exit 1; }
rm "$root/root/.asoundrc"
kill "$xvfb_pid"
xvfb_pid=
say "the player closed with status 0"

t=$(stamp)
before=$(installed)
in_root sh -c 'cd /root/halvane && exec tools/deps.sh test' >"$root/tmp/deps-test.log" 2>&1 ||
  { cat "$root/tmp/deps-test.log"; say "FAIL: tools/deps.sh test"; exit 1; }
say "tools/deps.sh test: $(comm -13 <(echo "$before") <(installed) | wc -l) packages in $(took "$t")," \
  "named: $(grep -oP '^Installing: \K.*' "$root/tmp/deps-test.log" || echo none)"

summary() { # the closing lines of ctest: the count, the time, what did not run or failed
  sed -n -e '/tests passed/p' -e '/^Total Test time/p' -e '/did not run:/,/^$/p' \
    -e '/tests FAILED:/,/^$/p' "$1" | grep -v '^$' || true
}
t=$(stamp)
rc=0
offline sh -c 'cd /root/halvane && exec tools/test.sh' >"$root/tmp/test.log" 2>&1 || rc=$?
summary "$root/tmp/test.log"
[ $rc -eq 0 ] || { say "FAIL: tools/test.sh as root ended with $rc (log: $root/tmp/test.log)"; FRESH_KEEP=1; exit 1; }
say "tools/test.sh as root passed in $(took "$t")"

if [ $as_user = 1 ]; then
  t=$(stamp)
  in_root useradd -m hvntest
  cp -a "$root/root/halvane" "$root/home/hvntest/"
  rm -rf "$root/home/hvntest/halvane/build" "$root/home/hvntest/halvane/out"
  in_root chown -R hvntest: /home/hvntest/halvane
  rc=0
  offline su - hvntest -c 'cd ~/halvane && exec tools/test.sh' >"$root/tmp/test-user.log" 2>&1 || rc=$?
  summary "$root/tmp/test-user.log"
  [ $rc -eq 0 ] || { say "FAIL: tools/test.sh as hvntest ended with $rc (log: $root/tmp/test-user.log)"; FRESH_KEEP=1; exit 1; }
  say "tools/test.sh as the ordinary user hvntest passed in $(took "$t")"
fi
say "all passed in $(took "$t0")"
