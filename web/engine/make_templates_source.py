#!/usr/bin/env python3
"""Writes the shipped templates into a C++ source the engine compiles in:
shippedTemplates[] = {{u"Navigator", {bytes...}}, ...}, sorted as the window
lists them (by name, without regard to case).

usage: make_templates_source.py OUTPUT TEMPLATE.tpl.txt...
"""
import os
import sys

output, paths = sys.argv[1], sys.argv[2:]
lines = ["// Made by web/engine/make_templates_source.py from samples/templates.",
         '#include "web/engine/shipped_templates.h"', ""]
entries = []
for i, path in enumerate(sorted(paths, key=lambda p: os.path.basename(p).lower())):
    name = os.path.basename(path)[:-len(".tpl.txt")]
    with open(path, "rb") as f:
        data = f.read()
    body = ",".join(str(b) for b in data)
    lines.append("static const unsigned char template%d[] = {%s};" % (i, body or "0"))
    entries.append('    {u"%s", {reinterpret_cast<const char*>(template%d), %d}},' % (name, i, len(data)))
lines += ["", "const ShippedTemplate shippedTemplates[] = {"] + entries + ["};",
          "const int shippedTemplateCount = %d;" % len(entries), ""]
os.makedirs(os.path.dirname(output), exist_ok=True)
with open(output, "w", encoding="ascii", newline="\n") as f:
    f.write("\n".join(lines))
