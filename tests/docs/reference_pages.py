#!/usr/bin/env python3
"""The guide's reference pages are velqa3-check's output: fails, saying how to regenerate them,
when a page in docs/ differs from what the built velqa3-check prints now.
    reference_pages.py VELQA3_CHECK DOCS_DIR [--write]"""
import pathlib
import subprocess
import sys

PAGES = [(option, language, pathlib.Path(language) / name)
         for option, name in (("--settings-reference", "settings-reference.md"),
                              ("--beacons-reference", "beacons-reference.md"))
         for language in ("ja", "en")]


def main() -> int:
    if len(sys.argv) not in (3, 4) or (len(sys.argv) == 4 and sys.argv[3] != "--write"):
        print(__doc__, file=sys.stderr)
        return 2
    checker, docs = sys.argv[1], pathlib.Path(sys.argv[2])
    write = len(sys.argv) == 4
    stale = []
    for option, language, page in PAGES:
        printed = subprocess.run([checker, option, language], check=True,
                                 capture_output=True).stdout
        path = docs / page
        if write:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(printed)
        elif not path.is_file() or path.read_bytes() != printed:
            stale.append(str(path))
    if stale:
        print("out of date: " + ", ".join(stale))
        print(f"regenerate with: python3 tests/docs/reference_pages.py {checker} docs --write")
        return 1
    print(f"{len(PAGES)} reference pages {'written' if write else 'match velqa3-check'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
