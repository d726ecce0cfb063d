#!/usr/bin/python3
"""Peer of bench_dom: lxml's HTML parser on the same pages (parse into its tree, then free).

Prints one line: pages, seconds of the best of ROUNDS rounds (processor time, interpreter start-up excluded).
Usage: peer_lxml_parse.py ROUNDS FILE...
"""
import sys
import time

import lxml.html


def main(rounds, paths):
    blobs = []
    for p in paths:
        with open(p, "rb") as f:
            blobs.append(f.read())
    best = None
    for _ in range(rounds):
        start = time.process_time()
        for data in blobs:
            try:
                doc = lxml.html.document_fromstring(data)
                del doc
            except (ValueError, lxml.etree.ParserError):
                pass
        seconds = time.process_time() - start
        best = seconds if best is None else min(best, seconds)
    print("%d %.6f" % (len(blobs), best))


if __name__ == "__main__":
    main(int(sys.argv[1]), sys.argv[2:])
