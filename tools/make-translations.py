#!/usr/bin/env python3
"""Builds resources/data/hvn_translations.txt from resources/src/translations/*.txt.

Each source file holds one language: "[KEY]" lines open a table, every other
non-blank line that does not start with "#" is the next text of that table.
The generator writes the header lines and the keys, so the sections cannot
drift apart in order or length.

  tools/make-translations.py          write the file
  tools/make-translations.py --check  exit 1 when the file is not up to date
"""
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = ROOT / "resources" / "src" / "translations"
OUTPUT = ROOT / "resources" / "data" / "hvn_translations.txt"

# The loader appends entries in line order, so this order is the file's contract.
TABLES = [
    ("ERRORMSG", 12),
    ("LABELS_LOAD", 3),
    ("LABELS_OPT", 12),
    ("LABELS_ABOUT", 2),
    ("LABELS_POPMENU", 10),
    ("TOOLTIP", 28),
    ("COMBOBOX", 6),
    ("LABELS_POPMENU2", 6),
    ("LABELS_UPDATER", 7),
]

# (source file stem, chooser text, revision), in language-number order.
LANGUAGES = [
    ("catalan", "Catalan (Catalan)", "12"),
    ("czech", "Czech (Čech)", "12"),
    ("danish", "Danish (Dansk)", "12"),
    ("dutch", "Dutch (Nederlands)", "12"),
    ("english", "English (English)", "12a"),
    ("estonian", "Estonian (Eesti Keel)", "11"),
    ("finnish", "Finnish (Suomi)", "12"),
    ("french", "French (Français)", "12"),
    ("german", "German (Deutsch)", "12"),
    ("greek", "Greek (Ελληνικα)", "12"),
    ("hungarian", "Hungarian (Magyar)", "12"),
    ("italian", "Italian (Italiano)", "12"),
    ("norwegian", "Norwegian (Norsk)", "12"),
    ("polish", "Polish (Polski)", "12"),
    ("portuguese", "Portuguese (Português)", "12"),
    ("spanish", "Spanish (Castellano)", "12"),
    ("swedish", "Swedish (Svenska)", "12"),
]

TRANSLATOR = "The Halvane project"


def fail(path, message):
    sys.exit(f"{path}: {message}")


def read_tables(path):
    tables = {}
    current = None
    for number, raw in enumerate(path.read_text(encoding="utf-8").split("\n"), 1):
        line = raw.rstrip("\r")
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            if current not in dict(TABLES):
                fail(path, f"line {number}: unknown table {current}")
            tables.setdefault(current, [])
            continue
        if current is None:
            fail(path, f"line {number}: text before the first table")
        # A quote would end the text early; "LANGUAGE=" would start a new section.
        if '"' in line or "LANGUAGE=" in line:
            fail(path, f"line {number}: text holds a double quote or LANGUAGE=")
        if line != line.strip():
            fail(path, f"line {number}: blanks around the text")
        tables[current].append(line)
    for key, size in TABLES:
        got = len(tables.get(key, []))
        if got != size:
            fail(path, f"{key} has {got} texts, wants {size}")
    return tables


def section(number, stem, chooser, rev):
    path = SOURCES / f"{number:02d}_{stem}.txt"
    tables = read_tables(path)
    lines = [
        f"LANGUAGE={number}",
        f'LANGUAGE_NAME = "{chooser}"',
        f'TRANSLATOR = "{TRANSLATOR}"',
        f'REV = "{rev}"',
    ]
    for key, _ in TABLES:
        lines += [f'{key}[{i}] = "{text}"' for i, text in enumerate(tables[key])]
    return lines


def build():
    lines = []
    for number, (stem, chooser, rev) in enumerate(LANGUAGES):
        lines += section(number, stem, chooser, rev)
    return ("\n".join(lines) + "\n").encode("utf-8")


def main():
    data = build()
    if "--check" in sys.argv[1:]:
        if not OUTPUT.exists() or OUTPUT.read_bytes() != data:
            sys.exit(f"{OUTPUT} is out of date; run {pathlib.Path(__file__).name}")
        return
    OUTPUT.write_bytes(data)
    print(f"{OUTPUT}: {len(data)} bytes")


if __name__ == "__main__":
    main()
