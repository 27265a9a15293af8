#!/usr/bin/env bash
# Every header and library the build used comes from a Debian package that tools/deps.sh
# brings onto an empty system: the packages its sets name, with their dependencies and no
# recommends (apt-get -s against an empty dpkg status), plus the essential ones.
# Used files: the compiler's dependency lists (*.o.d) and the link lines (link.txt) in the
# build folder. Skipped when apt has no package lists to resolve with.
# Usage: closure_test.sh SOURCE_DIR BUILD_DIR
set -u
src=$1
build=$2
fail() { echo "FAIL: $1"; exit 1; }
skip() { echo "SKIP: $1"; exit 77; }

command -v apt-get >/dev/null && command -v dpkg >/dev/null || skip "no apt-get or dpkg here"
eval "$(apt-config shell lists Dir::State::lists/d)"
compgen -G "${lists:-/var/lib/apt/lists}/*_Packages*" >/dev/null ||
  skip "apt has no package lists in ${lists:-/var/lib/apt/lists} (apt-get update was never run)"

work=$(mktemp -d /tmp/hvn-deps.XXXXXX)
trap 'rm -rf "$work"' EXIT
: >"$work/status"
mapfile -t named < <("$src/tools/deps.sh" --list build run test)
[ ${#named[@]} -gt 0 ] || fail "tools/deps.sh --list names no packages"
apt-get -s -o Dir::State::status="$work/status" -o APT::Install-Recommends=false \
  -o Debug::NoLocking=1 install "${named[@]}" >"$work/apt.log" 2>&1 ||
  fail "apt-get cannot resolve deps.sh's sets on an empty system: $(tail -n 5 "$work/apt.log")"
{
  awk '$1 == "Inst" { print $2 }' "$work/apt.log"
  dpkg-query -W -f '${Package} ${Essential}\n' | awk '$2 == "yes" { print $1 }'
} | sed 's/:.*//' | sort -u >"$work/closure"

# The files the build read outside the source and build folders.
find "$build" -name '*.o.d' -exec cat {} + 2>/dev/null |
  tr ' \\' '\n\n' | grep '^/' >"$work/used"
[ -s "$work/used" ] || fail "no compiler dependency lists (*.o.d) in $build: build first"
find "$build" -name link.txt -exec cat {} + | tr ' ' '\n' >"$work/link"
grep -E '^/.*\.(so|a)(\.[0-9.]+)?$' "$work/link" >>"$work/used"
for lib in $(grep -oP '^-l\K[^ ]+' "$work/link" | sort -u); do
  f=$(c++ -print-file-name="lib$lib.so")
  [ "$f" = "lib$lib.so" ] && f=$(c++ -print-file-name="lib$lib.a")
  [ "$f" != "lib$lib.a" ] && echo "$f" >>"$work/used"
done
realpath -s -m $(sort -u "$work/used") | sort -u |
  grep -v -e "^$(realpath "$src")/" -e "^$(realpath "$build")/" -e "^$src/" -e "^$build/" \
  >"$work/files"

# Owners: dpkg knows a file by the path its package ships, which under the merged /usr
# may be the /lib one or the one behind a link.
declare -A owner
owners_of() { # owners_of PATH...: fills owner[PATH] from dpkg -S
  local line
  while IFS= read -r line; do
    case "$line" in diversion*) continue ;; esac
    owner[${line#*: }]=${line%%: *}
  done < <(dpkg -S "$@" 2>/dev/null)
}
mapfile -t files <"$work/files"
declare -A brought
while read -r p; do brought[$p]=1; done <"$work/closure"
owners_of "${files[@]}"
bad=0
for f in "${files[@]}"; do
  if [ -z "${owner[$f]:-}" ]; then
    for alt in "${f#/usr}" "$(realpath -m "$f")" "$(realpath -m "$f" | sed 's:^/usr::')"; do
      owners_of "$alt"
      [ -n "${owner[$alt]:-}" ] && { owner[$f]=${owner[$alt]}; break; }
    done
  fi
  if [ -z "${owner[$f]:-}" ]; then
    echo "$f: no Debian package has it"
    bad=1
    continue
  fi
  ok=0
  for p in ${owner[$f]//,/ }; do
    [ -n "${brought[${p%%:*}]:-}" ] && { ok=1; break; }
  done
  [ $ok = 1 ] || { echo "$f: from ${owner[$f]}, which tools/deps.sh does not bring"; bad=1; }
done
[ $bad = 0 ] || fail "the build used files from packages outside tools/deps.sh's sets (above)"
echo "${#files[@]} headers and libraries, all from the $(wc -l <"$work/closure") packages deps.sh brings"
