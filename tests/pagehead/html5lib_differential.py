#!/usr/bin/python3
"""Compares what `brindle-cli import` reads from pages with what html5lib,
an independent HTML5 parser, reads from them with scripting on.

    html5lib_differential.py BRINDLE_CLI DIR...

For every *.html in the folders: the title and the content of each meta tag
import reads (its first of each kind), and the head tags (viewport, theme
colour, canonical, every alternate, icon, the structured data's type),
against the same of html5lib's head: its own children, a <template>'s
contents left out. A value import reports as left empty is left out on both
sides. Our side's
character references are decoded by parsing import's lines; both sides then
get import's normalisation (values on one line; a title's blanks collapsed
as document.title does). A page listed in KNOWN_DIFFERENCES must still
differ, so that the list stays true; any other difference fails the test.
"""

import json
import os
import re
import subprocess
import sys

import html5lib

# Pages whose reading differs on purpose, with the reason.
KNOWN_DIFFERENCES = {
    "crafted-dos-720.html":
        "DOS-720 is no label of the Encoding Standard: browsers and html5lib ignore it and fall back to "
        "windows-1252, import reads the bytes in the charset the author declared (and check warns that "
        "browsers do not know it)",
    "crafted-utf8-under-latin1.html":
        "bytes that are valid UTF-8 are read as UTF-8 whatever the page declares, so that apply keeps the "
        "page in one charset; html5lib shows them garbled as browsers do (check's charset-mismatch)",
    "crafted-hz-gb-2312.html":
        "the Encoding Standard maps hz-gb-2312 to the replacement encoding, which browsers never decode; "
        "import refuses the page, html5lib's older label table decodes HZ",
    "crafted-koi8-ru.html":
        "koi8-ru is a label of KOI8-U in the Encoding Standard; html5lib's label table predates it and "
        "falls back to windows-1252",
    "crafted-windows-1252-c1.html":
        "the Encoding Standard reads windows-1252's bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D as the C1 controls "
        "of the same number; Python's cp1252 codec, which html5lib decodes with, has no character for them",
    "crafted-x-user-defined.html":
        "a meta naming x-user-defined means windows-1252 (HTML standard, prescan and 'change the encoding'); "
        "html5lib decodes x-user-defined itself",
    "crafted-template-first.html":
        "html5lib 1.1 predates <template> in the head: it ends the head there, where browsers keep the "
        "template in the head and only its contents out of it",
    "crafted-undeclared-latin1.html":
        "a page that is not UTF-8 and declares no charset is refused rather than guessed at; html5lib "
        "guesses windows-1252",
}

NAMED = ["description", "keywords", "author", "copyright", "owner", "distribution", "rating",
         "revisit-after", "robots"]
EQUIV = ["cache-control", "content-language"]
SOCIAL = ["og:title", "og:description", "og:type", "og:url", "og:image", "og:image:alt", "og:site_name",
          "og:locale", "twitter:card", "twitter:site", "twitter:creator"]

ASCII_BLANKS = "\t\n\f\r "
STRUCTURED_DATA_TYPES = ["WebSite", "Organization", "Article"]


def single_line(value):
    return re.sub(r"[\t\n\f\r]", " ", value)


def document_title(value):
    return " ".join(part for part in re.split(r"[\t\n\f\r ]+", value) if part)


def kind_of(meta):
    """The kind import gives a meta element, as it matches them."""
    name = meta.get("name", "").strip(ASCII_BLANKS).lower()
    if name in NAMED:
        return name
    if not name:
        equiv = meta.get("http-equiv", "").strip(ASCII_BLANKS).lower()
        if equiv in EQUIV:
            return equiv
        if equiv:
            return None
    prop = meta.get("property", "").strip(ASCII_BLANKS).lower() or name
    return prop if prop in SOCIAL else None


def rel_has(link, token):
    return token in link.get("rel", "").lower().split()


def head_kind_of(child):
    """The head field import gives a meta, link or script element, as it matches them."""
    if child.tag == "meta":
        name = child.get("name", "").strip(ASCII_BLANKS).lower()
        if name == "viewport":
            return "viewport"
        if name == "theme-color" and not child.get("media", "").strip(ASCII_BLANKS):
            return "theme-color"
    elif child.tag == "link":
        if rel_has(child, "canonical"):
            return "canonical"
        if rel_has(child, "alternate") and child.get("hreflang") is not None:
            return "alternate"
        if rel_has(child, "icon") and child.get("sizes") is None and not child.get("media", "").strip(ASCII_BLANKS):
            return "icon"
    elif child.tag == "script" and child.get("type", "").strip(ASCII_BLANKS).lower() == "application/ld+json":
        try:
            data = json.loads(child.text or "")
        except ValueError:
            return None
        if isinstance(data, dict) and data.get("@type") in STRUCTURED_DATA_TYPES:
            return "structured-data"
    return None


def head_value_of(child, kind):
    if kind in ("viewport", "theme-color"):
        return single_line(child.get("content", ""))
    if kind in ("canonical", "icon"):
        return single_line(child.get("href", ""))
    if kind == "alternate":
        return single_line(child.get("hreflang", "")) + "=" + single_line(child.get("href", ""))
    return json.loads(child.text)["@type"]


def values_of_head(head):
    """Title, meta contents and head fields of a head element, the first of each kind."""
    values = {}
    if head is None:
        return values
    for child in head:
        if not isinstance(child.tag, str):
            continue  # a comment
        if child.tag == "title" and "title" not in values:
            values["title"] = document_title("".join(child.itertext()))
        elif child.tag == "meta" and kind_of(child):
            kind = kind_of(child)
            if kind not in values:
                values[kind] = single_line(child.get("content", ""))
        elif head_kind_of(child) == "alternate":
            value = head_value_of(child, "alternate")
            values["alternate"] = values["alternate"] + " " + value if "alternate" in values else value
        elif head_kind_of(child) and head_kind_of(child) not in values:
            values[head_kind_of(child)] = head_value_of(child, head_kind_of(child))
    # Empty values are no tags to import, and og:title and og:description
    # left out take the title and description, as import writes them.
    values = {k: v for k, v in values.items() if v}
    if any(k in SOCIAL for k in values):
        for field, classic in (("og:title", "title"), ("og:description", "description")):
            if field not in values and classic in values:
                values[field] = values[classic]
    return values


def parse(data):
    parser = html5lib.HTMLParser(namespaceHTMLElements=False)
    if isinstance(data, bytes):
        document = parser.parse(data, scripting=True, useChardet=False)
    else:
        document = parser.parse(data, scripting=True)
    return document.find("head")


def left_empty(stderr):
    """The kinds whose value import reports as left empty: the windows would refuse it."""
    kinds = set()
    for line in stderr.decode("utf-8", "replace").splitlines():
        found = re.match(r".*?:\d+: ([a-z:_-]+): .*; left empty$", line)
        if found:
            kinds.add(found.group(1))
    return kinds


def ours(cli, page):
    """What import reads, and the kinds it left empty."""
    run = subprocess.run([cli, "import", page], capture_output=True, timeout=60)
    if run.returncode != 0:
        message = run.stderr.decode("utf-8", "replace").strip().splitlines()
        if run.returncode == 1 and message and message[-1].endswith("none of the thirteen tags found"):
            return {}, left_empty(run.stderr)
        return "import failed: " + (message[-1] if message else "status %d" % run.returncode), set()
    # import's lines are HTML: parsing them decodes their references as the page's were.
    lines = run.stdout.decode("utf-8")
    values = values_of_head(parse("<!DOCTYPE html><html><head>" + lines + "</head></html>"))
    # The charset line is import's too, but html5lib's head gives no charset to compare.
    return values, left_empty(run.stderr)


def theirs(page):
    with open(page, "rb") as f:
        return values_of_head(parse(f.read()))


def main():
    cli = sys.argv[1]
    pages = []
    for folder in sys.argv[2:]:
        pages += sorted(os.path.join(folder, name) for name in os.listdir(folder) if name.endswith(".html"))
    failures = 0
    for page in pages:
        name = os.path.basename(page)
        (a, refused), b = ours(cli, page), theirs(page)
        for kind in refused:
            a.pop(kind, None)
            b.pop(kind, None)
        same = a == b
        if name in KNOWN_DIFFERENCES:
            if same:
                print("%s: listed as differing (%s), but reads the same: %r" % (name, KNOWN_DIFFERENCES[name], a))
                failures += 1
            continue
        if not same:
            failures += 1
            print("%s differs" % name)
            if isinstance(a, str):
                print("  brindle: %s" % a)
                a = {}
            for key in sorted(set(a) | set(b)):
                if a.get(key) != b.get(key):
                    print("  %s: brindle %r, html5lib %r" % (key, a.get(key), b.get(key)))
    print("%d pages compared, %d listed differences, %d unexpected" %
          (len(pages), sum(os.path.basename(p) in KNOWN_DIFFERENCES for p in pages), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
