#!/usr/bin/env python3
"""Checks a shipping DLL from the file itself: a 32-bit x86 image (PE32) or a 64-bit x86-64
image (PE32+) that exports exactly the host's sixteen entry points under their plain names, pops
the standard-call argument bytes in each (32-bit: the 64-bit convention has the caller pop),
needs no DLL beyond those Windows itself provides, carries a version resource with the build's
version and no debug sections.
Usage: check_pe.py OBJDUMP DLL i386|x86-64 VERSION"""
import re
import subprocess
import sys

EXPECTED_POP = {
    "Load": 0, "Dispose": 0, "GetPluginVersion": 0, "DoorOpen": 0, "DoorClose": 0,
    "SetVehicleSpec": 20, "Initialize": 4, "Elapse": 52, "SetPower": 4, "SetBrake": 4,
    "SetReverser": 4, "KeyDown": 4, "KeyUp": 4, "HornBlow": 4, "SetSignal": 4,
    "SetBeaconData": 16,
}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "ws2_32.dll", "msvcrt.dll", "advapi32.dll"}

failures = []
passes = []


def check(ok, what):
    print(("ok: " if ok else "FAILED: ") + what)
    (passes if ok else failures).append(what)


def bytes_popped(objdump, dll, start, depth=0):
    """Operand of the first ret of the function at start, following a tail call (a jump to the
    start of another function, which then returns on the export's behalf)."""
    listing = subprocess.run(
        [objdump, "-d", "--start-address=0x%x" % start, "--stop-address=0x%x" % (start + 4096),
         dll], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        ret = re.search(r"\tret\s*(?:\$0x([0-9a-f]+))?\s*$", line)
        if ret:
            return int(ret.group(1), 16) if ret.group(1) else 0
        tail = re.search(r"\tjmp\s+([0-9a-f]+) <[^+>]+>$", line)
        if tail and depth < 3:
            return bytes_popped(objdump, dll, int(tail.group(1), 16), depth + 1)
    return None


def main(objdump, dll, machine, version):
    headers = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                             text=True).stdout
    wide = machine == "x86-64"
    check("file format pei-%s" % machine in headers, "image is for %s" % machine)
    magic = r"^Magic\s+020b\s+\(PE32\+\)" if wide else r"^Magic\s+010b\s+\(PE32\)"
    check(re.search(magic, headers, re.M) is not None,
          "image is %s" % ("PE32+" if wide else "PE32"))
    check(re.search(r"^Characteristics .*\n(\t.*\n)*\tDLL", headers, re.M) is not None,
          "image is a DLL")

    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    foreign = sorted(imports - SYSTEM_DLLS)
    check(not foreign, "imports only system DLLs (found: %s)" % ", ".join(sorted(imports)))

    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    addresses = [int(rva, 16) for rva in
                 re.findall(r"^\s*\[\s*\d+\] \+base\[\s*\d+\] ([0-9a-fA-F]+) Export RVA",
                            headers, re.M)]
    names = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\t\[.*\n)+)", headers)
    exports = {}
    if names:
        for index, name in re.findall(r"\[\s*(\d+)\] (\S+)", names.group(1)):
            exports[name] = addresses[int(index)]
    check(len(EXPECTED_POP) == 16 and sorted(exports) == sorted(EXPECTED_POP),
          "exports exactly the sixteen plain names (found: %s)" % " ".join(sorted(exports)))
    # The stand-in host's own entry points must never reach the simulator's library.
    check("GetDiagnostics" not in exports and "SetCalendarTime" not in exports,
          "no entry point of the stand-in host (GetDiagnostics, SetCalendarTime)")

    for name, expected in sorted(EXPECTED_POP.items()):
        if wide:
            break
        if name in exports:
            popped = bytes_popped(objdump, dll, image_base + exports[name])
            check(popped == expected,
                  "%s pops %d argument bytes (found %s)" % (name, expected, popped))

    with open(dll, "rb") as image:
        data = image.read()
    message = "【ATS-PTプラグイン】設定ファイルが見つかりませんでした。デフォルト値を使用します。"
    check(message.encode("cp932") in data and message.encode("utf-8") not in data,
          "Japanese texts are stored in CP932 for MessageBoxA")

    # The file's properties in Windows: the version resource, its strings in UTF-16.
    def utf16(text):
        return text.encode("utf-16-le")
    sections_table = subprocess.run([objdump, "-h", dll], check=True, capture_output=True,
                                    text=True).stdout
    check(re.search(r"^\s*\d+\s+\.rsrc\s", sections_table, re.M) is not None,
          "the image has a resource section")
    for key, value in (("ProductName", "velqa3"), ("ProductVersion", version),
                       ("FileVersion", version), ("OriginalFilename", "velqa3.dll")):
        check(utf16(key) in data and utf16(value) in data,
              "the version resource gives %s %s" % (key, value))
    bits = "64-bit" if wide else "32-bit"
    check(utf16(bits) in data, "the file description says %s" % bits)

    # The plug-in's own functions compute in SSE2, as the native build does, never on the x87.
    # Loads and stores stay: the 32-bit calling convention returns floats on the x87 stack.
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", dll], check=True,
                             capture_output=True, text=True).stdout
    own, x87, seen = None, set(), 0
    for line in listing.splitlines():
        label = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if label:
            own = label.group(1) if "velqa3" in label.group(1) else None
            seen += 1 if own else 0
        elif own and re.search(r"\tf(i?add|i?sub|i?mul|i?div|sqrt|u?comi?|ild|istt?p?|scale|prem|rndint)[a-z]*\s", line):
            x87.add(own)
    # Without symbols nothing would be inspected and the check below would pass unseen.
    check(seen > 0, "the plug-in's own functions are named in the image (%d found)" % seen)
    check(not x87, "no x87 arithmetic in the plug-in's functions (found in: %s)"
          % ", ".join(sorted(x87)[:5]))

    # The shipped image is stripped: debug sections would only add weight (and the build's
    # paths) to what users install.
    sections = subprocess.run([objdump, "-h", dll], check=True, capture_output=True,
                              text=True).stdout
    debug = sorted(set(re.findall(r"^\s*\d+\s+(\.debug_\S*)", sections, re.M)))
    check(not debug, "no debug sections (found: %s)" % ", ".join(debug))

    print("%d passed, %d failed" % (len(passes), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[3] not in ("i386", "x86-64"):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
