#!/usr/bin/env python3
"""Puts the release together from the two Windows builds: both plug-in DLLs with their settings
files, the two programs for authors, the guide as HTML and a read-me, in one zip.

    make_package.py --win32-build DIR --win64-build DIR --version V --out ZIP

The layout (every path under velqa3-V/):
    README.txt                  Japanese first, then English (UTF-8 with a byte-order mark, CR LF)
    x86/velqa3.dll, velqa3.dat  BVE 5, and BVE Trainsim 6 through Ats32
    x64/velqa3.dll, velqa3.dat  BVE Trainsim 6 through Ats64
    tools/velqa3-check.exe      checks a settings file
    tools/velqa3-watch.exe      shows the plug-in's telemetry live
    settings/                   the example settings file in Japanese (Shift_JIS) and English
    docs/ja/, docs/en/          the guide, one HTML page a topic
Nothing is taken from the machine beyond the named builds and this repository, and every entry
has a fixed time stamp, so the same sources give the same zip."""
import argparse
import os
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STAMP = (2026, 1, 1, 0, 0, 0)

README = """velqa3 {version}

【日本語】
velqa3 は BVE 用の ATS プラグインです(ATS-P 風のパターン式 ATS-PT と、点制御の ATS-ST、
TASC・EB装置などの運転支援)。

  x86\\velqa3.dll   BVE 5 用、または BVE Trainsim 6 の Ats32 用(32ビット)
  x64\\velqa3.dll   BVE Trainsim 6 の Ats64 用(64ビット)
  各フォルダの velqa3.dat がそのDLLの設定ファイルです(DLLと同じフォルダに置きます)。
  tools\\velqa3-check.exe  設定ファイルをプラグインと同じように読み、問題を日本語・英語で説明します
  tools\\velqa3-watch.exe  プラグインが UDP で送る状態をリアルタイムで表示します
  settings\\               設定ファイルの見本(日本語の説明付き Shift_JIS 版と英語版)

使い方は docs\\ja\\index.html をダブルクリックして開いてください。
車両ファイルへの書き方、設定ファイル、地上子、パネル・サウンドの番号はすべてそこにあります。

[English]
velqa3 is an ATS plug-in for BVE: the ATS-PT pattern protection, the ATS-ST spot protection
and driving aids (TASC, vigilance device and more).

  x86\\velqa3.dll   for BVE 5, or BVE Trainsim 6 through Ats32 (32-bit)
  x64\\velqa3.dll   for BVE Trainsim 6 through Ats64 (64-bit)
  The velqa3.dat in each folder is that DLL's settings file (it lies beside the DLL).
  tools\\velqa3-check.exe  reads a settings file as the plug-in does and explains what it finds
  tools\\velqa3-watch.exe  shows the state the plug-in sends over UDP, live
  settings\\               example settings files (Japanese comments in Shift_JIS, and English)

Open docs\\en\\index.html for the guide: the vehicle-file lines, the settings file, beacons, and
every panel and sound index.
"""


def fail(text):
    print("make_package: " + text, file=sys.stderr)
    sys.exit(2)


def need(path):
    if not os.path.isfile(path):
        fail("%s is missing: build the win32 and win64 presets first (tools/package does)" % path)
    return path


def add(archive, name, data):
    info = zipfile.ZipInfo(name, STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    archive.writestr(info, data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--win32-build", required=True)
    parser.add_argument("--win64-build", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    top = "velqa3-%s/" % args.version
    settings_ja = need(os.path.join(ROOT, "examples", "velqa3.ja.dat"))
    settings_en = need(os.path.join(ROOT, "examples", "velqa3.dat"))
    files = {
        "x86/velqa3.dll": need(os.path.join(args.win32_build, "velqa3.dll")),
        "x64/velqa3.dll": need(os.path.join(args.win64_build, "shipping", "velqa3.dll")),
        "x86/velqa3.dat": settings_ja,
        "x64/velqa3.dat": settings_ja,
        "settings/velqa3.ja.dat": settings_ja,
        "settings/velqa3.en.dat": settings_en,
        "tools/velqa3-check.exe": need(os.path.join(args.win32_build, "velqa3-check.exe")),
        "tools/velqa3-watch.exe": need(os.path.join(args.win32_build, "velqa3-watch.exe")),
    }
    with tempfile.TemporaryDirectory() as html:
        converted = subprocess.run([os.path.join(ROOT, "tools", "docs-html"), html])
        if converted.returncode != 0:
            fail("the guide could not be converted to HTML (tools/docs-html)")
        for folder, _, names in os.walk(html):
            for name in names:
                path = os.path.join(folder, name)
                files["docs/" + os.path.relpath(path, html).replace(os.sep, "/")] = path
        readme = README.format(version=args.version).replace("\n", "\r\n")
        partial = args.out + ".part"
        with zipfile.ZipFile(partial, "w") as archive:
            add(archive, top + "README.txt", b"\xef\xbb\xbf" + readme.encode("utf-8"))
            for name in sorted(files):
                add(archive, top + name, read(files[name]))
        os.replace(partial, args.out)
    print("wrote %s: %d files" % (args.out, len(files) + 1))


if __name__ == "__main__":
    main()
