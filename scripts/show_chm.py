#!/usr/bin/python3
"""Prints what a compiled help file holds, as an independent reader (pychm) sees it:
title, start page, the contents tree and the index entries."""
import re
import sys

from chm.chm import CHMFile


def entries(sitemap):
    """(depth, name, local) for every <OBJECT type="text/sitemap"> of a sitemap text."""
    depth = 0
    for token in re.finditer(rb'(?is)<UL>|</UL>|<OBJECT type="text/sitemap">(.*?)</OBJECT>', sitemap):
        text = token.group(0).upper()
        if text == b"<UL>":
            depth += 1
        elif text == b"</UL>":
            depth -= 1
        else:
            params = dict((m.group(1).lower(), m.group(2)) for m in
                          re.finditer(rb'<param name="([^"]+)" value="([^"]*)">', token.group(1)))
            yield depth, params.get(b"name", b"").decode("cp1252"), params.get(b"local", b"").decode("cp1252")


def main(path):
    chm = CHMFile()
    if not chm.LoadCHM(path):
        sys.exit("cannot open %s" % path)
    print("Title:        %s" % chm.title.decode("cp1252"))
    print("Start page:   %s" % chm.home.decode("cp1252"))
    toc = list(entries(chm.GetTopicsTree() or b""))
    print("Contents (%d entries):" % len(toc))
    for depth, name, local in toc:
        print("  %s%s  ->  %s" % ("    " * (depth - 1), name, local))
    index = list(entries(chm.GetIndex() or b""))
    print("Index (%d entries):" % len(index))
    for _, name, local in index:
        print("  %s  ->  %s" % (name, local))


if __name__ == "__main__":
    main(sys.argv[1])
