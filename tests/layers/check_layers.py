#!/usr/bin/env python3
"""Fails when a source file includes a folder its layer may not reach, or when code outside
platform/ includes an operating-system header. The allowed edges are written down once, here."""
import pathlib
import re
import sys

# What each folder may include besides itself. host/ is the floor every layer stands on.
SUBSYSTEM = {"host", "config", "platform"}
ALLOWED = {
    "host": set(),
    "platform": {"host"},
    "config": {"host", "platform"},
    "ats_pt": SUBSYSTEM,
    "ats_st": SUBSYSTEM,
    "vehicle": SUBSYSTEM,
    "telemetry": SUBSYSTEM,
    "plugin": SUBSYSTEM | {"ats_pt", "ats_st", "vehicle", "telemetry"},
    "text": set(),
    "sim": {"host", "platform", "text"},
    "check": {"host", "platform", "config", "text"},
    "watch": {"host", "platform", "telemetry", "text"},
}
# Tests, benchmarks and fuzz targets stand above everything.
ANYTHING = {"tests", "bench", "fuzz"}
OS_HEADERS = re.compile(
    r"^(windows|winsock2|ws2tcpip|io|dlfcn|unistd|fcntl|spawn|netdb)\.h$|^(sys|arpa|netinet)/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def problems(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        rel = path.relative_to(root)
        top = rel.parts[0]
        if path.suffix not in {".h", ".hpp", ".cpp", ".cc"} or top.startswith(("build", ".")):
            continue
        if top in ANYTHING or len(rel.parts) == 1:
            continue
        if top not in ALLOWED:
            yield f"{rel}: folder {top}/ has no place in the layers; add it to {__file__}"
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            if kind == '"' and "/" in name:
                target = name.split("/", 1)[0]
                if target != top and target not in ALLOWED[top]:
                    yield f"{rel}:{number}: {top}/ may not include {name}"
            elif kind == "<" and OS_HEADERS.search(name) and top not in {"platform", "sim"}:
                yield f"{rel}:{number}: only platform/ includes the system header <{name}>"


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(problems(root))
    for problem in found:
        print(problem)
    print(f"{len(found)} layering problems" if found else "layers hold")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
