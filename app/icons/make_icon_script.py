#!/usr/bin/env python3
"""Writes MaterialDesignIcons.js, the icon name to glyph table, from the icon font's CSS.

Every rule `.mdi-NAME::before { content: "\\XXXX"; }` becomes one entry `NAME: "<glyph>"` of
the object `icons`, with "-" in NAME turned into "_" so that QML can write icons.emoticon_poop.
Glyphs above U+FFFF are written as surrogate pairs, which every JavaScript engine reads.

usage: make_icon_script.py CSS_FILE OUTPUT_JS
"""
import re
import sys

RULE = re.compile(r'\.mdi-([a-z0-9-]+)::?before\s*\{\s*content:\s*"\\([0-9a-fA-F]+)"')


def js_escape(code_point):
    if code_point <= 0xFFFF:
        return "\\u%04X" % code_point
    value = code_point - 0x10000
    return "\\u%04X\\u%04X" % (0xD800 + (value >> 10), 0xDC00 + (value & 0x3FF))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    css_path, js_path = sys.argv[1], sys.argv[2]
    with open(css_path, encoding="utf-8") as css:
        rules = RULE.findall(css.read())
    if not rules:
        sys.exit("no icon rules found in " + css_path)
    lines = [".pragma library", "// Generated at build time from " + css_path.replace("\\", "/").split("/node_modules/")[-1] + ".", "",
             "var icons = {"]
    for name, code in rules:
        lines.append('    "%s": "%s",' % (name.replace("-", "_"), js_escape(int(code, 16))))
    lines.append("};")
    with open(js_path, "w", encoding="utf-8", newline="\n") as js:
        js.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
