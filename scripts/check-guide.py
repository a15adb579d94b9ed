#!/usr/bin/env python3
"""Checks the user guide: every page's pictures and links resolve, every page links to its
counterpart in the other language, each language's contents page links to all its pages, and both
languages have the same pages.

    scripts/check-guide.py HELP_DIR               the build's help folder, pictures in shots/
    scripts/check-guide.py --no-pictures HELP_DIR the source's docs/help (pictures not checked)
"""
import html.parser
import os
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.images, self.links, self.ids = [], [], set()

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.add(a["id"])
        if tag == "img":
            self.images.append(a.get("src", ""))
            if not a.get("alt"):
                self.images.append("!no alt text: " + a.get("src", ""))
        elif tag in ("a", "link") and "href" in a:
            self.links.append(a["href"])


def parse(path):
    p = Page()
    with open(path, encoding="utf-8") as f:
        p.feed(f.read())
    return p


def main(argv):
    pictures = "--no-pictures" not in argv
    args = [a for a in argv if not a.startswith("--")]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    root = os.path.abspath(args[0])
    pages = {}
    for folder, _, files in os.walk(root):
        for name in files:
            if name.endswith(".html"):
                path = os.path.join(folder, name)
                pages[path] = parse(path)
    errors = []
    used_shots = set()
    for path, page in sorted(pages.items()):
        rel = os.path.relpath(path, root)
        for src in page.images:
            if src.startswith("!"):
                errors.append(f"{rel}: {src[1:]}")
                continue
            target = os.path.normpath(os.path.join(os.path.dirname(path), urllib.parse.unquote(src)))
            used_shots.add(target)
            if pictures and not os.path.isfile(target):
                errors.append(f"{rel}: picture {src} not found")
        for href in page.links:
            u = urllib.parse.urlsplit(href)
            if u.scheme or u.netloc:
                continue
            target = path if not u.path else os.path.normpath(os.path.join(os.path.dirname(path), urllib.parse.unquote(u.path)))
            if not os.path.exists(target):
                errors.append(f"{rel}: link {href} leads nowhere")
            elif u.fragment and target.endswith(".html") and u.fragment not in pages[target].ids:
                errors.append(f"{rel}: link {href}: no id {u.fragment}")
    langs = {"ja": "en", "en": "ja"}
    for lang, other in langs.items():
        folder = os.path.join(root, lang)
        if not os.path.isdir(folder):
            errors.append(f"no {lang}/ pages")
            continue
        for name in sorted(os.listdir(folder)):
            if not name.endswith(".html"):
                continue
            twin = os.path.join(root, other, name)
            if not os.path.isfile(twin):
                errors.append(f"{lang}/{name}: no {other}/{name}")
            page = pages[os.path.join(folder, name)]
            if f"../{other}/{name}" not in page.links:
                errors.append(f"{lang}/{name}: no link to ../{other}/{name}")
            if name != "index.html" and name not in pages[os.path.join(folder, "index.html")].links:
                errors.append(f"{lang}/index.html: no link to {name}")
    for e in errors:
        print(e, file=sys.stderr)
    shots = os.path.join(root, "shots")
    if pictures and os.path.isdir(shots):
        unused = sorted(n for n in os.listdir(shots) if os.path.join(shots, n) not in used_shots)
        if unused:
            print("pictures no page shows: " + ", ".join(unused))
    print(f"{len(pages)} pages, {len(errors)} problems")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
