#!/usr/bin/env python3
"""Fails when a source file includes a folder its layer may not reach, when code outside
platform/ includes an operating-system header, or when code outside the mode's transitions
writes the protection mode or names one of its bits or values by a bare number. The allowed
edges are written down once, here."""
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

# The protection mode: which protection runs and which checker enforces a limit. Only its
# transitions change it, and only its own header gives its bits and values a number.
MODE_WRITERS = {"host/mode_transitions.h", "host/mode_transitions.cpp"}
MODE_NUMBERS = {"host/mode.h", "host/mode_transitions.h", "host/mode_transitions.cpp"}
# The stages of the train read the mode; only the protections and the frame driver call its
# transitions, so a stage's step never changes which protection runs.
TRANSITIONS_HEADER = "host/mode_transitions.h"
MAY_CHANGE_MODE = {"host", "ats_pt", "plugin"}
FIELD = r"(?:\b(?:atsMode|atsModePanel|cabSwitches)\b|\b(?:AtsMode|CabSwitches)\(\))"
ASSIGN = r"\s*(?:[-+*/%|&^]|<<|>>)?=(?!=)"
MODE_WRITE = [
    # obj.atsMode = …, p->cabSwitches |= …; a designated initialiser (.atsMode = …) builds a
    # copy and has no object before its dot.
    re.compile(r"[\w\])]\s*(?:\.|->)\s*" + FIELD + ASSIGN),
    # atsMode = … as a statement of its own, inside a member function
    re.compile(r"^\s*" + FIELD + ASSIGN),
    re.compile(r"(?:\+\+|--)\s*[\w.>-]*" + FIELD + r"|" + FIELD + r"\s*(?:\+\+|--)"),
    # a name bound to the field that can write it: a reference, a pointer, a mutating helper
    re.compile(r"(?<!const )\b(?:std::)?\w+\s*&\s*\w+\s*=\s*[\w.>-]*" + FIELD + r"\s*;"),
    re.compile(r"[(,=]\s*&\s*[\w.>-]*" + FIELD),
    re.compile(r"\b(?:Toggle|Clear|Set)\(\s*[\w.>-]*" + FIELD + r"\s*,"),
]
# A mode field and a number on either side of one operator: the number is a mode bit or value.
NUMBER = r"(?<![\w.])(?:0x[0-9A-Fa-f]+|[1-9][0-9]*)\b(?!\.)"
OPERATOR = r"\s*(?:[&|^]=?|==|!=|>>|<<|,|=)\s*"
MODE_NUMBER = re.compile(FIELD + r"\)?" + OPERATOR + r"[(~]*\s*" + NUMBER + r"|" + NUMBER +
                         OPERATOR + r"\(?[\w.>-]*" + FIELD)


def mode_problems(rel: pathlib.PurePath, number: int, line: str):
    code = line.split("//", 1)[0]
    if rel.as_posix() not in MODE_WRITERS and any(rule.search(code) for rule in MODE_WRITE):
        yield f"{rel}:{number}: writes the protection mode outside host/mode_transitions.*"
    if rel.as_posix() not in MODE_NUMBERS and MODE_NUMBER.search(code):
        yield f"{rel}:{number}: a mode bit or value as a bare number; name it in host/mode.h"


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
            yield from mode_problems(rel, number, line)
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            if kind == '"' and "/" in name:
                target = name.split("/", 1)[0]
                if target != top and target not in ALLOWED[top]:
                    yield f"{rel}:{number}: {top}/ may not include {name}"
                elif name == TRANSITIONS_HEADER and top not in MAY_CHANGE_MODE:
                    yield f"{rel}:{number}: {top}/ reads the mode but may not change it"
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
