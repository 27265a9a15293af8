#!/usr/bin/env python3
"""Writes the SVG sources of the program's pictures (one file each, next to this script).

The button faces share one look: a rounded square with a soft grey gradient and a dark
glyph drawn on a 30 x 30 grid. tools/make-images.sh renders them to resources/data.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
GLYPH = "#2b3440"
ACCENT = "#2f7fd0"


def svg(w, h, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n<defs>{defs}</defs>\n{body}\n</svg>\n')


FACE_DEFS = ('<linearGradient id="face" x1="0" y1="0" x2="0" y2="1">'
             '<stop offset="0" stop-color="#fdfdfd"/><stop offset="1" stop-color="#c9ced6"/>'
             '</linearGradient>')


def face(glyph, x0=0):
    return (f'<g transform="translate({x0},0)"><rect x="1" y="1" width="28" height="28" rx="6" '
            f'fill="url(#face)" stroke="#7d8693" stroke-width="1"/>'
            f'<rect x="2" y="2" width="26" height="13" rx="5" fill="#ffffff" opacity="0.35"/>'
            f'<g fill="{GLYPH}" stroke="{GLYPH}" stroke-linecap="round" stroke-linejoin="round">'
            f'{glyph}</g></g>')


def button(name, glyph):
    write(name, svg(30, 30, face(glyph), FACE_DEFS))


def write(name, text):
    with open(os.path.join(HERE, name + ".svg"), "w") as f:
        f.write(text)


SPEAKER = '<path d="M7 12h4l5-4v14l-5-4H7z" stroke-width="1"/>'
BUTTONS = {
    "hvn_backw": '<path d="M9 9v12" stroke-width="2.4" fill="none"/><path d="M22 9l-9 6 9 6z" stroke-width="1"/>',
    "hvn_forw": '<path d="M21 9v12" stroke-width="2.4" fill="none"/><path d="M8 9l9 6-9 6z" stroke-width="1"/>',
    "hvn_stop": '<rect x="9.5" y="9.5" width="11" height="11" rx="1.5" stroke-width="1"/>',
    "hvn_back": '<path d="M18 8l-7 7 7 7" fill="none" stroke-width="3"/>',
    # Starts the station-list update: arrows around a download.
    "hvn_about": '<path d="M22 12a8 8 0 1 0 0.5 5" fill="none" stroke-width="2.2"/>'
                 '<path d="M23.5 7.5v6h-6z" stroke-width="1"/>'
                 '<path d="M15 11v7" stroke-width="2" fill="none"/><path d="M12 16l3 3 3-3" fill="none" stroke-width="2"/>',
    # Opens the about page: an "i" in a circle.
    "hvn_updates": f'<circle cx="15" cy="15" r="8.5" fill="none" stroke="{ACCENT}" stroke-width="2"/>'
                   f'<circle cx="15" cy="10.8" r="1.5" fill="{ACCENT}" stroke="none"/>'
                   f'<path d="M15 14v6" stroke="{ACCENT}" stroke-width="2.4" fill="none"/>',
    "hvn_creator": '<rect x="6" y="13" width="14" height="10" rx="2" fill="none" stroke-width="1.8"/>'
                   '<circle cx="10.5" cy="18" r="2" stroke="none"/><path d="M9 13l6-4" fill="none" stroke-width="1.4"/>'
                   f'<path d="M17 16l7-7 2 2-7 7-3 1z" fill="{ACCENT}" stroke="{ACCENT}" stroke-width="0.8"/>',
    "hvn_station": '<rect x="6" y="11" width="18" height="12" rx="2" fill="none" stroke-width="1.8"/>'
                   '<path d="M10 11l9-5" fill="none" stroke-width="1.4"/>'
                   f'<path d="M12.5 14v6l5-3z" fill="{ACCENT}" stroke="{ACCENT}" stroke-width="0.8"/>',
    "hvn_options": '<circle cx="15" cy="15" r="3" fill="#e8ebef" stroke-width="0"/>'
                   '<path d="M15 7v3M15 20v3M7 15h3M20 15h3M9.3 9.3l2.1 2.1M18.6 18.6l2.1 2.1M9.3 20.7l2.1-2.1M18.6 11.4l2.1-2.1" fill="none" stroke-width="2.6"/>'
                   '<circle cx="15" cy="15" r="5.2" fill="none" stroke-width="2.4"/>',
    "hvn_list": '<path d="M12 10h11M12 15h11M12 20h11" fill="none" stroke-width="2.2"/>'
                '<circle cx="8" cy="10" r="1.4" stroke="none"/><circle cx="8" cy="15" r="1.4" stroke="none"/><circle cx="8" cy="20" r="1.4" stroke="none"/>',
    "hvn_fav": '<path d="M15 7.5l2.3 4.8 5.2.7-3.8 3.6.9 5.2-4.6-2.5-4.6 2.5.9-5.2-3.8-3.6 5.2-.7z" '
               'fill="#f2b01e" stroke="#9a6a00" stroke-width="1"/>',
    "hvn_server": '<rect x="7" y="8" width="12" height="5" rx="1" fill="none" stroke-width="1.6"/>'
                  '<rect x="7" y="16" width="12" height="5" rx="1" fill="none" stroke-width="1.6"/>'
                  '<circle cx="16" cy="10.5" r="0.9" stroke="none"/><circle cx="16" cy="18.5" r="0.9" stroke="none"/>'
                  f'<path d="M20 15h4" stroke="{ACCENT}" stroke-width="2" fill="none"/><path d="M22.5 12l3 3-3 3" fill="none" stroke="{ACCENT}" stroke-width="2"/>',
    "hvn_save": '<path d="M8 8h12l3 3v11H8z" fill="none" stroke-width="1.8"/>'
                '<rect x="11" y="8" width="7" height="5" stroke="none"/><rect x="11" y="16" width="9" height="5" fill="none" stroke-width="1.4"/>',
}


def mute_strip():
    on = SPEAKER + '<path d="M19 11.5a5 5 0 0 1 0 7M21.5 9a8.5 8.5 0 0 1 0 12" fill="none" stroke-width="1.8"/>'
    off = SPEAKER + '<path d="M19 12l5 6M24 12l-5 6" fill="none" stroke="#c0392b" stroke-width="2.2"/>'
    write("hvn_mute", svg(60, 30, face(on, 0) + face(off, 30), FACE_DEFS))


def lamps():
    def lamp(name, inner, outer, glow):
        defs = (f'<radialGradient id="l" cx="0.4" cy="0.35" r="0.7"><stop offset="0" stop-color="{inner}"/>'
                f'<stop offset="1" stop-color="{outer}"/></radialGradient>')
        body = ''
        if glow:
            body += f'<circle cx="8" cy="8" r="7.5" fill="{glow}" opacity="0.35"/>'
        body += '<circle cx="8" cy="8" r="5.5" fill="url(#l)" stroke="#555c66" stroke-width="1"/>'
        body += '<ellipse cx="6.6" cy="6" rx="2" ry="1.3" fill="#ffffff" opacity="0.6"/>'
        write(name, svg(16, 16, body, defs))
    lamp("hvn_loadbg", "#c9ced6", "#8a919c", None)
    lamp("hvn_loadpoint", "#bfffd0", "#19a84a", "#5fe08a")
    lamp("hvn_loadretry", "#ffe6a8", "#e09000", "#ffc040")


def spectrum_strips():
    for side, base in (("left", (70, 70, 70)), ("right", (90, 90, 90))):
        body = ''
        for i in range(15):
            r, g, b = min(32 * i, 255), min(16 * i, 255), 128 + 2 * i
            body += (f'<rect x="{15 * i + 1}" y="1" width="13" height="13" rx="2" '
                     f'fill="rgb({r},{g},{b})" stroke="rgb({base[0]},{base[1]},{base[2]})" stroke-width="1"/>')
        write("hvn_spectrum_" + side, svg(225, 15, body))


def volume():
    defs = ('<linearGradient id="k" x1="0" y1="0" x2="1" y2="0"><stop offset="0" stop-color="#f4f6f8"/>'
            '<stop offset="1" stop-color="#9aa3ae"/></linearGradient>')
    write("hvn_volumeslider", svg(5, 22, '<rect x="0.5" y="0.5" width="4" height="21" rx="1.5" fill="url(#k)" stroke="#4a525c" stroke-width="1"/>', defs))
    defs = ('<linearGradient id="t" x1="0" y1="0" x2="1" y2="0"><stop offset="0" stop-color="#7fb4e8"/>'
            f'<stop offset="1" stop-color="{ACCENT}"/></linearGradient>')
    body = ('<rect x="0.5" y="0.5" width="54" height="29" rx="5" fill="#e9ecf0" stroke="#9aa3ae" stroke-width="1"/>'
            '<path d="M3 22L52 8V22z" fill="url(#t)" opacity="0.85"/>'
            '<path d="M3 22h49" stroke="#4a525c" stroke-width="1"/>')
    write("hvn_volumeslider_bg", svg(55, 30, body, defs))


MARK = ('<circle cx="20" cy="26" r="3.2" fill="{c}"/>'
        '<path d="M13 19a10 10 0 0 1 14 0M8.5 14.5a16.5 16.5 0 0 1 23 0" fill="none" stroke="{c}" stroke-width="3.2" stroke-linecap="round"/>'
        '<path d="M20 29v7" stroke="{c}" stroke-width="3" stroke-linecap="round"/>')


def logos():
    defs = ('<linearGradient id="bg" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#3d8fe0"/>'
            '<stop offset="1" stop-color="#1b4f8c"/></linearGradient>')
    write("hvn40", svg(40, 40, '<rect x="1" y="1" width="38" height="38" rx="9" fill="url(#bg)"/>' + MARK.format(c="#ffffff"), defs))
    icon = ('<rect x="0.5" y="0.5" width="15" height="15" rx="3.5" fill="url(#bg)"/>'
            '<g transform="scale(0.4)">' + MARK.format(c="#ffffff") + '</g>')
    write("hvn16", svg(16, 16, icon, defs))
    defs2 = ('<linearGradient id="sky" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#1d3d66"/>'
             '<stop offset="1" stop-color="#0b1a2e"/></linearGradient>')
    waves = ''.join(f'<path d="M0 {60 + 6 * i} Q 70 {45 + 5 * i} 137 {60 + 6 * i} T 274 {60 + 6 * i}" fill="none" '
                    f'stroke="#3d8fe0" stroke-opacity="{0.5 - 0.08 * i:.2f}" stroke-width="1.5"/>' for i in range(5))
    start = ('<rect width="274" height="87" fill="url(#sky)"/>' + waves +
             '<g transform="translate(28,12) scale(1.3)">' + MARK.format(c="#7fc0ff") + '</g>'
             '<text x="92" y="50" font-family="DejaVu Sans, sans-serif" font-size="30" font-weight="bold" '
             'fill="#ffffff" letter-spacing="1">Halvane</text>'
             '<text x="94" y="68" font-family="DejaVu Sans, sans-serif" font-size="11" fill="#9fc7f0" '
             'letter-spacing="2">INTERNET RADIO</text>')
    write("corvell_start", svg(274, 87, start, defs2))
    noico = ('<rect width="274" height="87" fill="url(#sky)"/>' + waves +
             '<g transform="translate(110,4) scale(1.35)" opacity="0.85">' + MARK.format(c="#7fc0ff") + '</g>')
    write("hvn_noico", svg(274, 87, noico, defs2))


def credits_pictures():
    notes = ('<rect width="96" height="73" fill="#ffffff"/>'
             '<path d="M10 60 Q 48 20 86 60" fill="none" stroke="#3d8fe0" stroke-width="2"/>'
             '<path d="M18 62 Q 48 30 78 62" fill="none" stroke="#7fb4e8" stroke-width="2"/>'
             '<g fill="#1b4f8c"><ellipse cx="35" cy="44" rx="6" ry="4.5"/><rect x="39.5" y="16" width="2.4" height="28"/>'
             '<ellipse cx="60" cy="38" rx="6" ry="4.5"/><rect x="64.5" y="10" width="2.4" height="28"/>'
             '<path d="M41 16 L67 10 L67 16 L41 22z"/></g>')
    write("lirra_credits", svg(96, 73, notes))
    flower = ('<rect width="59" height="80" fill="#ffffff"/>'
              '<path d="M29.5 40 C 28 55 31 65 29.5 78" fill="none" stroke="#3a8a3a" stroke-width="2.5"/>'
              '<path d="M30 60 q 10 -8 16 -4 q -8 8 -16 4z" fill="#4caf50"/>'
              + ''.join(f'<ellipse cx="29.5" cy="18" rx="6" ry="12" fill="#e88aa8" transform="rotate({a} 29.5 30)"/>'
                        for a in range(0, 360, 60)) +
              '<circle cx="29.5" cy="30" r="5" fill="#f2c14e"/>')
    write("hvn_kro80", svg(59, 80, flower))


def flags():
    def f(name, body):
        write("flag_" + name, svg(16, 16, '<g>' + body + '</g><rect x="0.5" y="2.5" width="15" height="11" fill="none" stroke="#00000040"/>'))
    def hstripes(colors):
        n = len(colors)
        return ''.join(f'<rect x="0" y="{2 + 12 * i / n:.3f}" width="16" height="{12 / n + 0.01:.3f}" fill="{c}"/>' for i, c in enumerate(colors))
    def vstripes(colors):
        n = len(colors)
        return ''.join(f'<rect x="{16 * i / n:.3f}" y="2" width="{16 / n + 0.01:.3f}" height="12" fill="{c}"/>' for i, c in enumerate(colors))
    def nordic(bg, cross, inner=None):
        s = f'<rect x="0" y="2" width="16" height="12" fill="{bg}"/>'
        s += f'<rect x="4" y="2" width="3" height="12" fill="{cross}"/><rect x="0" y="6.5" width="16" height="3" fill="{cross}"/>'
        if inner:
            s += f'<rect x="5" y="2" width="1" height="12" fill="{inner}"/><rect x="0" y="7.5" width="16" height="1" fill="{inner}"/>'
        return s
    f("ca", hstripes(["#fcdd09", "#da121a"] * 4 + ["#fcdd09"]))
    f("cs", '<rect x="0" y="2" width="16" height="6" fill="#ffffff"/><rect x="0" y="8" width="16" height="6" fill="#d7141a"/><path d="M0 2L8 8L0 14z" fill="#11457e"/>')
    f("da", nordic("#c8102e", "#ffffff"))
    f("nl", hstripes(["#ae1c28", "#ffffff", "#21468b"]))
    f("en", '<rect x="0" y="2" width="16" height="12" fill="#012169"/><path d="M0 2L16 14M16 2L0 14" stroke="#ffffff" stroke-width="2.4"/>'
            '<path d="M0 2L16 14M16 2L0 14" stroke="#c8102e" stroke-width="0.9"/><path d="M8 2v12M0 8h16" stroke="#ffffff" stroke-width="4"/>'
            '<path d="M8 2v12M0 8h16" stroke="#c8102e" stroke-width="2.2"/>')
    f("et", hstripes(["#0072ce", "#000000", "#ffffff"]))
    f("fi", nordic("#ffffff", "#002f6c"))
    f("fr", vstripes(["#002654", "#ffffff", "#ce1126"]))
    f("de", hstripes(["#000000", "#dd0000", "#ffce00"]))
    f("el", hstripes(["#0d5eaf", "#ffffff"] * 4 + ["#0d5eaf"]) + '<rect x="0" y="2" width="6.7" height="6.7" fill="#0d5eaf"/><rect x="2.6" y="2" width="1.5" height="6.7" fill="#ffffff"/><rect x="0" y="4.6" width="6.7" height="1.5" fill="#ffffff"/>')
    f("hu", hstripes(["#ce2939", "#ffffff", "#477050"]))
    f("it", vstripes(["#009246", "#ffffff", "#ce2b37"]))
    f("no", nordic("#ba0c2f", "#ffffff", "#00205b"))
    f("pl", hstripes(["#ffffff", "#dc143c"]))
    f("pt", '<rect x="0" y="2" width="6.4" height="12" fill="#006600"/><rect x="6.4" y="2" width="9.6" height="12" fill="#ff0000"/><circle cx="6.4" cy="8" r="2.6" fill="#ffcc00"/><circle cx="6.4" cy="8" r="1.4" fill="#ffffff" stroke="#ff0000" stroke-width="0.6"/>')
    f("es", '<rect x="0" y="2" width="16" height="3" fill="#aa151b"/><rect x="0" y="5" width="16" height="6" fill="#f1bf00"/><rect x="0" y="11" width="16" height="3" fill="#aa151b"/><rect x="3.5" y="6.5" width="2.5" height="3" fill="#aa151b" opacity="0.8"/>')
    f("sv", nordic("#006aa7", "#fecc02"))


def listbox_icons():
    body = ''
    for k in range(12):
        rating, fav = k % 6, k >= 6
        x0 = 20 * k
        for j in range(5):
            h = 3 + 2.4 * j
            fill = "#2f7fd0" if j < rating else "#cfd5dd"
            body += f'<rect x="{x0 + 1.5 + 3.3 * j:.2f}" y="{18 - h:.2f}" width="2.4" height="{h:.2f}" rx="0.5" fill="{fill}"/>'
        if fav:
            body += (f'<path transform="translate({x0 + 11},0) scale(0.5)" d="M9 1l2.6 5.3 5.8.8-4.2 4.1 1 5.8L9 14.3 3.8 17l1-5.8L.6 7.1l5.8-.8z" '
                     'fill="#f2b01e" stroke="#9a6a00" stroke-width="1"/>')
    write("hvn_favstation_listbox", svg(240, 20, body))


if __name__ == "__main__":
    for n, g in BUTTONS.items():
        button(n, g)
    mute_strip()
    lamps()
    spectrum_strips()
    volume()
    logos()
    credits_pictures()
    flags()
    listbox_icons()
