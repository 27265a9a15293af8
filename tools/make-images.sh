#!/usr/bin/env bash
# Remakes the program's pictures in resources/data from the SVG sources in
# resources/src/images (make_svgs.py writes those sources).
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
command -v rsvg-convert >/dev/null || need+=(librsvg2-bin)
command -v convert >/dev/null || need+=(imagemagick)
command -v python3 >/dev/null || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi
src=resources/src/images
out=resources/data
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 "$src/make_svgs.py"

render() { # render NAME W H
  rsvg-convert -w "$2" -h "$3" "$src/$1.svg" -o "$tmp/$1.png"
  convert "$tmp/$1.png" -strip -define png:color-type=6 "PNG32:$out/$1.png"
}

for n in hvn_backw hvn_stop hvn_forw hvn_back hvn_about hvn_updates hvn_creator hvn_station \
         hvn_options hvn_list hvn_fav hvn_server hvn_save; do
  render "$n" 30 30
done
render hvn_mute 60 30
for n in hvn_loadbg hvn_loadpoint hvn_loadretry; do render "$n" 16 16; done
render hvn_spectrum_left 225 15
render hvn_spectrum_right 225 15
render hvn_volumeslider 5 22
render hvn_volumeslider_bg 55 30
render hvn16 16 16
render hvn40 40 40
render corvell_start 274 87
render hvn_noico 274 87
render lirra_credits 96 73
render hvn_kro80 59 80
render hvn_favstation_listbox 240 20

# The language chooser's strip: 17 flags in language order.
flags=()
for f in ca cs da nl en et fi fr de el hu it no pl pt es sv; do
  rsvg-convert -w 16 -h 16 "$src/flag_$f.svg" -o "$tmp/flag_$f.png"
  flags+=("$tmp/flag_$f.png")
done
convert -background none "${flags[@]}" +append -strip "PNG32:$out/lang_flags.png"
echo "pictures written to $out"
