#!/usr/bin/env python3
"""Makes the installable app's generated files in the page's folder.

  make_app_files.py icons SVG FOLDER
      icon-192.png, icon-512.png from the program's icon, and
      icon-maskable-512.png: the same icon inside the safe circle that a
      system may cut a maskable icon to, on the page's background.
  make_app_files.py worker TEMPLATE OUT VERSION FILE...
      the service worker from TEMPLATE, with the list of the page's FILEs
      (named relative to OUT's folder) and a cache name made of VERSION and
      the files' bytes, so that any change to them is a new cache.
"""
import hashlib, json, os, re, subprocess, sys

BACKGROUND = "#f7f7f5"  # the page's --bg


def icons(svg, folder):
    text = open(svg, encoding="utf-8").read()
    root = re.search(r"<svg\b[^>]*>", text)
    view_box = re.search(r'viewBox="([^"]+)"', root.group(0)).group(1)
    inner = text[root.end():text.rindex("</svg>")]
    # 288 of 512 px, centred: the sheet stays inside the circle of radius
    # 40 % that every mask keeps, on a whole number of pixels per unit.
    maskable = ('<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">'
                '<rect width="512" height="512" fill="%s"/>'
                '<svg x="112" y="112" width="288" height="288" viewBox="%s" shape-rendering="crispEdges">%s</svg>'
                '</svg>' % (BACKGROUND, view_box, inner))
    wrapped = os.path.join(folder, "icon-maskable.svg")
    open(wrapped, "w", encoding="utf-8").write(maskable)
    for size, source, name in ((192, svg, "icon-192.png"), (512, svg, "icon-512.png"),
                               (512, wrapped, "icon-maskable-512.png")):
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o", os.path.join(folder, name), source],
                       check=True)
    os.remove(wrapped)


def worker(template, out, version, files):
    folder = os.path.dirname(out)
    digest = hashlib.sha256()
    for name in files:
        digest.update(name.encode() + b"\0" + open(os.path.join(folder, name), "rb").read())
    text = open(template, encoding="utf-8").read()
    text = text.replace("@CACHE_NAME@", "pagesmith-%s-%s" % (version, digest.hexdigest()[:12]))
    text = text.replace("[/* @FILES@ */]", json.dumps(files))
    open(out, "w", encoding="utf-8", newline="\n").write(text)


if __name__ == "__main__":
    if sys.argv[1:2] == ["icons"] and len(sys.argv) == 4:
        icons(sys.argv[2], sys.argv[3])
    elif sys.argv[1:2] == ["worker"] and len(sys.argv) > 5:
        worker(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    else:
        sys.exit(__doc__)
