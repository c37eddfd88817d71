#!/usr/bin/env python3
"""Writes the shipped templates into one classic script:
PagesmithTemplates = {"Navigator": "<base64 of the file's exact bytes>", ...}.

usage: make_templates_script.py OUTPUT TEMPLATE.tpl.txt...
"""
import base64
import json
import os
import sys

output, paths = sys.argv[1], sys.argv[2:]
templates = {}
for path in sorted(paths, key=lambda p: os.path.basename(p).lower()):
    name = os.path.basename(path)[:-len(".tpl.txt")]
    with open(path, "rb") as f:
        templates[name] = base64.b64encode(f.read()).decode("ascii")
os.makedirs(os.path.dirname(output), exist_ok=True)
with open(output, "w", encoding="ascii", newline="\n") as f:
    f.write("// The templates shipped with Pagesmith, each as the base64 of its file's bytes.\n")
    f.write("var PagesmithTemplates = " + json.dumps(templates, indent=1) + ";\n")
