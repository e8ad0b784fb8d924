#!/usr/bin/env python3
"""tools/docs-html into a fresh folder: every docs/LANG/NAME.md gives a UTF-8 page that says
so, and every relative link of every page leads to a file that is there (anchors included).
    html_pages.py SOURCE_DIR"""
import html.parser
import pathlib
import subprocess
import sys
import tempfile
import urllib.parse


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs, self.ids, self.charset = [], set(), None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "a" and "href" in attrs:
            self.hrefs.append(attrs["href"])
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "meta" and "charset" in attrs:
            self.charset = attrs["charset"].lower()


def parse(path: pathlib.Path) -> Links:
    links = Links()
    links.feed(path.read_text(encoding="utf-8"))
    return links


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    sources = sorted((root / "docs").glob("*/*.md"))
    problems = []
    with tempfile.TemporaryDirectory() as out:
        out = pathlib.Path(out)
        subprocess.run([str(root / "tools" / "docs-html"), str(out)], check=True)
        pages = {}
        for source in sources:
            page = out / source.parent.name / (source.stem + ".html")
            if not page.is_file():
                problems.append(f"{source.relative_to(root)}: no {page.name}")
                continue
            pages[page] = parse(page)
            if pages[page].charset != "utf-8":
                problems.append(f"{page.relative_to(out)}: no <meta charset=\"utf-8\">")
        for page, links in pages.items():
            for href in links.hrefs:
                parsed = urllib.parse.urlsplit(href)
                if parsed.scheme or href.startswith("/"):
                    continue
                target = (page.parent / urllib.parse.unquote(parsed.path)).resolve() \
                    if parsed.path else page
                where = f"{page.relative_to(out)}: link {href}"
                if not target.is_file():
                    problems.append(f"{where} leads nowhere")
                elif parsed.fragment and target in pages and \
                        parsed.fragment not in pages[target].ids:
                    problems.append(f"{where}: no such anchor")
    for problem in problems:
        print(problem)
    print(f"{len(sources)} pages, {len(problems)} problems")
    return 1 if problems or not sources else 0


if __name__ == "__main__":
    sys.exit(main())
