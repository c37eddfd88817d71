#!/usr/bin/env python3
"""Checks the winget and Scoop manifests in DIST (default: dist/) against the
Windows zip beside them: well-formed, the zip's version, address and SHA-256,
and programs that the zip really holds."""
import hashlib, json, pathlib, re, sys, zipfile
import yaml

root = pathlib.Path(__file__).resolve().parents[2]
dist = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else root / "dist")
version = re.search(r"project\(Pagesmith VERSION ([0-9.]+)", (root / "CMakeLists.txt").read_text())[1]
zip_path = dist / f"Pagesmith-{version}-win32.zip"
sha256 = hashlib.sha256(zip_path.read_bytes()).hexdigest()
in_zip = set(zipfile.ZipFile(zip_path).namelist())

winget_dir = dist / "winget/manifests/p/Pagesmith/Pagesmith" / version
winget = {m["ManifestType"]: m for m in
          (yaml.safe_load(p.read_text()) for p in sorted(winget_dir.glob("*.yaml")))}
installer = winget.get("installer", {})
nested = installer.get("NestedInstallerFiles", [])
scoop = json.loads((dist / "scoop/pagesmith.json").read_text())

checks = [
    ("winget: version, installer and defaultLocale manifests", sorted(winget), ["defaultLocale", "installer", "version"]),
    ("winget: every manifest's version", {m.get("PackageVersion") for m in winget.values()}, {version}),
    ("winget: a portable zip", (installer.get("InstallerType"), installer.get("NestedInstallerType")), ("zip", "portable")),
    ("winget: the zip's SHA-256", [i.get("InstallerSha256", "").lower() for i in installer.get("Installers", [])], [sha256]),
    ("winget: the zip's address", [i.get("InstallerUrl", "").rsplit("/", 1)[-1] for i in installer.get("Installers", [])], [zip_path.name]),
    ("winget: nested programs, in the zip", [(f.get("RelativeFilePath"), f.get("RelativeFilePath") in in_zip) for f in nested],
     [("Pagesmith.exe", True), ("pagesmith-cli.exe", True)]),
    ("winget: the command alias", [f.get("PortableCommandAlias") for f in nested if "PortableCommandAlias" in f], ["pagesmith-cli"]),
    ("scoop: version and SHA-256", (scoop.get("version"), scoop.get("hash")), (version, sha256)),
    ("scoop: the zip's address", scoop.get("url", "").rsplit("/", 1)[-1], zip_path.name),
    ("scoop: the command line on PATH, in the zip", (scoop.get("bin"), scoop.get("bin") in in_zip), ("pagesmith-cli.exe", True)),
    ("scoop: a shortcut to the window program, in the zip", [(s[0], s[0] in in_zip) for s in scoop.get("shortcuts", [])], [("Pagesmith.exe", True)]),
]
failed = 0
for name, got, want in checks:
    if got == want:
        print(f"ok: {name}")
    else:
        failed += 1
        print(f"FAIL: {name}: got {got!r}, expected {want!r}")
print(f"{len(checks) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
