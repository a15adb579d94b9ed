#!/usr/bin/env python3
"""Checks the user guide: every page's pictures and links resolve, every page links to its
counterpart in the other language, each language's contents page links to all its pages, both
languages have the same pages, and the English pages name no control in Japanese only: a label
of the Japanese program stands in brackets after its English name ("Sound Quality… (音質の設定(H))").

    scripts/check-guide.py HELP_DIR               the build's help folder, pictures in shots/
    scripts/check-guide.py --no-pictures HELP_DIR the source's docs/help (pictures not checked)
"""
import html.parser
import os
import re
import sys
import urllib.parse

# Katakana (full and half width) and kanji: what the program's labels are written in. Hiragana
# alone is left to the sung words (「さ」, 「く」) the pages quote as song data.
LABEL_SCRIPT = re.compile(r"[\u30a0-\u30ff\u4e00-\u9fff\uff61-\uff9f]")


class Text(html.parser.HTMLParser):
    """The text a reader sees, with the pictures' alt texts, outside <code>, <kbd> and <pre>."""

    def __init__(self):
        super().__init__()
        self.parts, self.skip = [], 0

    def handle_starttag(self, tag, attrs):
        if tag in ("code", "kbd", "pre", "script", "style"):
            self.skip += 1
        for k, v in attrs:
            if k in ("alt", "title") and v:
                self.parts.append(v)

    def handle_endtag(self, tag):
        if tag in ("code", "kbd", "pre", "script", "style"):
            self.skip = max(0, self.skip - 1)

    def handle_data(self, data):
        if not self.skip:
            self.parts.append(data)


def outside_brackets(text):
    out, depth = [], 0
    for ch in text:
        if ch in "(（":
            depth += 1
        elif ch in ")）" and depth:
            depth -= 1
        elif depth == 0:
            out.append(ch)
    return "".join(out)


def japanese_only_labels(path):
    """The Japanese labels of an English page that stand without an English name before them."""
    t = Text()
    with open(path, encoding="utf-8") as f:
        t.feed(f.read())
    found = []
    for part in t.parts:
        bare = outside_brackets(part).replace("日本語", "")  # the link to the Japanese page
        m = LABEL_SCRIPT.search(bare)
        if m:
            found.append(bare[max(0, m.start() - 20):m.end() + 20].strip().replace("\n", " "))
    return found


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
    for path in sorted(pages):
        if os.path.basename(os.path.dirname(path)) == "en":
            for label in japanese_only_labels(path):
                errors.append(f"{os.path.relpath(path, root)}: a Japanese-only label (give its English name first): …{label}…")
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
