#!/usr/bin/python3
"""Peer of the dissect benchmark: the same extraction with lxml.

For every page named on the command line: parse the bytes, then take the tables (document order,
nested ones included, at most 100) with their labels, rows and cells with their labels, the images
(absolute src, file name, at most 200) and the links (A and AREA with an href, cleaned text, at most
200), with the same label rules as the band. Prints one line: pages, entries, seconds (parse and
extraction only, processor time, interpreter start-up excluded).
"""
import re
import sys
import time
from urllib.parse import urljoin

import lxml.html

KEPT = re.compile(r"[^ ,\-./0-9A-Za-z\u00e8-\u00ef]")
SPACES = re.compile(r"[ \t\r\n\f]+")


def clean_text(text):
    text = text[:250].replace("\r\n", " ")
    text = SPACES.sub(" ", text)
    text = KEPT.sub("", text)
    return text.strip(" ")


def shorten_text(text, limit):
    last_space = -1
    quote = None
    for i, c in enumerate(text):
        if c == "\r":
            return text[:i].strip(" ")
        if quote:
            if c == quote:
                quote = None
        elif c in "'\"":
            quote = c
        elif c == " ":
            last_space = i
        if i + 1 >= limit and last_space > 0:
            return text[:last_space].strip(" ")
    return text


def rows_of(table):
    rows = []
    for section in ("thead", None, "tfoot"):
        for child in table:
            tag = child.tag if isinstance(child.tag, str) else ""
            if section is None and tag in ("tbody",):
                rows.extend(r for r in child if getattr(r, "tag", "") == "tr")
            elif section is None and tag == "tr":
                rows.append(child)
            elif tag == section:
                rows.extend(r for r in child if getattr(r, "tag", "") == "tr")
    return rows


def dissect(data, url):
    doc = lxml.html.document_fromstring(data)
    base = url
    for b in doc.iter("base"):
        if b.get("href"):
            base = urljoin(url, b.get("href"))
            break
    entries = []
    tables = list(doc.iter("table"))
    if tables:
        entries.append(("Tables", ""))
    for j, table in enumerate(tables):
        if j == 100:
            break
        label = clean_text(table.text_content())[:50]
        entries.append(("table", shorten_text(label, 30) if label else "Table"))
        for k, row in enumerate(rows_of(table)):
            entries.append(("row", "Row %d" % (k + 1)))
            cells = [c for c in row if getattr(c, "tag", "") in ("td", "th")]
            for l, cell in enumerate(cells):
                text = shorten_text(clean_text(cell.text_content()), 50)
                entries.append(("cell", "Col %d (%s)" % (l + 1, shorten_text(text, 20)) if text else "Col %d" % (l + 1)))
    loaded = 0
    for img in doc.iter("img"):
        src = urljoin(base, img.get("src", "")) if img.get("src") else ""
        name = src.rsplit("/", 1)[-1]
        if not name:
            continue
        if loaded == 200:
            break
        loaded += 1
        entries.append(("image", name))
    loaded = 0
    for a in doc.iter("a", "area"):
        if a.get("href") is None:
            continue
        text = clean_text(a.text_content())
        if not text:
            continue
        if loaded == 200:
            break
        loaded += 1
        entries.append(("link", text))
    return min(len(entries), 1999)


def main(paths):
    blobs = []
    for p in paths:
        with open(p, "rb") as f:
            blobs.append((f.read(), "file://" + p))
    start = time.process_time()
    total = 0
    for data, url in blobs:
        try:
            total += dissect(data, url)
        except (ValueError, lxml.etree.ParserError):
            pass
    seconds = time.process_time() - start
    print("%d %d %.6f" % (len(blobs), total, seconds))


if __name__ == "__main__":
    main(sys.argv[1:])
