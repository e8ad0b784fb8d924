#!/usr/bin/env python3
"""Makes the release zip from the two Windows builds, unpacks it, checks its layout and what each
file is, and runs the two programs in it under wine as a user would. A machine that cannot run
32-bit Windows code says so and the test counts as not run (77), never as passed."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

parser = argparse.ArgumentParser()
parser.add_argument("--source", required=True)
parser.add_argument("--win32-build", required=True)
parser.add_argument("--win64-build", required=True)
parser.add_argument("--version", required=True)
parser.add_argument("--wine32", default="/usr/lib/wine/wine")
args = parser.parse_args()

failures = []
passes = []


def check(ok, what):
    print(("ok: " if ok else "FAILED: ") + what)
    (passes if ok else failures).append(what)


def machine(path):
    """The machine field of a PE image's file header."""
    with open(path, "rb") as f:
        data = f.read(4096)
    if data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def read(path):
    with open(path, "rb") as f:
        return f.read()


with tempfile.TemporaryDirectory() as work:
    zip_path = os.path.join(work, "velqa3-%s.zip" % args.version)
    made = subprocess.run([sys.executable, os.path.join(args.source, "tools", "make_package.py"),
                           "--win32-build", args.win32_build, "--win64-build", args.win64_build,
                           "--version", args.version, "--out", zip_path],
                          capture_output=True, text=True)
    print(made.stdout + made.stderr, end="")
    check(made.returncode == 0 and os.path.isfile(zip_path), "the package is made")
    if failures:
        sys.exit(1)
    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        archive.extractall(work)
    top = os.path.join(work, "velqa3-%s" % args.version)
    check(all(name.startswith("velqa3-%s/" % args.version) for name in names),
          "everything lies in one folder named with the version")
    required = ["README.txt", "x86/velqa3.dll", "x86/velqa3.dat", "x64/velqa3.dll",
                "x64/velqa3.dat", "tools/velqa3-check.exe", "tools/velqa3-watch.exe",
                "settings/velqa3.ja.dat", "settings/velqa3.en.dat"]
    for language in ("ja", "en"):
        for page in ("index", "install", "settings", "settings-reference", "route-authors",
                     "beacons-reference", "vehicle-authors", "panel-sound"):
            required.append("docs/%s/%s.html" % (language, page))
    missing = [name for name in required if not os.path.isfile(os.path.join(top, name))]
    check(not missing, "every file of the layout is there (missing: %s)" % ", ".join(missing))
    if missing:
        sys.exit(1)
    check(machine(os.path.join(top, "x86/velqa3.dll")) == 0x14C, "x86/velqa3.dll is 32-bit x86")
    check(machine(os.path.join(top, "x64/velqa3.dll")) == 0x8664,
          "x64/velqa3.dll is 64-bit x86-64")
    check(read(os.path.join(top, "x86/velqa3.dll")) == read(os.path.join(args.win32_build,
                                                                         "velqa3.dll")),
          "x86/velqa3.dll is the shipping 32-bit build")
    check(read(os.path.join(top, "x64/velqa3.dll")) ==
          read(os.path.join(args.win64_build, "shipping", "velqa3.dll")),
          "x64/velqa3.dll is the shipping 64-bit build, not the test build")
    japanese = read(os.path.join(args.source, "examples", "velqa3.ja.dat"))
    check(all(read(os.path.join(top, name)) == japanese
              for name in ("x86/velqa3.dat", "x64/velqa3.dat", "settings/velqa3.ja.dat")),
          "both DLLs have the Japanese example settings beside them")
    readme = read(os.path.join(top, "README.txt"))
    text = readme[3:].decode("utf-8", errors="replace")
    check(readme.startswith(b"\xef\xbb\xbf") and "\r\n" in text and "\n" not in
          text.replace("\r\n", ""), "README.txt is UTF-8 with a mark and CR LF, as Notepad shows it")
    check(text.find("【日本語】") < text.find("[English]") and "Ats64" in text and
          "ダブルクリック" in text, "README.txt is in Japanese first, then English")
    for language in ("ja", "en"):
        index = read(os.path.join(top, "docs", language, "index.html")).decode("utf-8")
        check('charset="utf-8"' in index.lower() and "http" not in index.split("<body")[0],
              "docs/%s/index.html is a self-contained UTF-8 page" % language)

    # The programs, as an author on Windows runs them.
    if not os.path.isfile(args.wine32):
        print("NOT RUN: this machine cannot execute 32-bit Windows code (%s is missing); "
              "tools/install-deps installs wine32 with the i386 architecture added" % args.wine32)
        print("%d passed, %d failed" % (len(passes), len(failures)))
        sys.exit(1 if failures else 77)
    env = dict(os.environ, WINEDEBUG="-all")
    checked = subprocess.run([args.wine32, os.path.join(top, "tools", "velqa3-check.exe"),
                              os.path.join(top, "x86", "velqa3.dat")],
                             capture_output=True, env=env, timeout=300)
    out = checked.stdout.decode("utf-8", errors="replace")
    check(checked.returncode == 0 and "69 settings read, 0 warnings" in out,
          "velqa3-check.exe finds the shipped settings clean (exit %d: %s)"
          % (checked.returncode, out.strip().splitlines()[-1] if out.strip() else ""))
    watched = subprocess.run([args.wine32, os.path.join(top, "tools", "velqa3-watch.exe"),
                              "--help"], capture_output=True, env=env, timeout=300)
    check(watched.returncode == 0 and b"usage: velqa3-watch" in watched.stdout,
          "velqa3-watch.exe runs and explains itself")
print("%d passed, %d failed" % (len(passes), len(failures)))
sys.exit(1 if failures else 0)
