"""Independent model of what a search must find in a tree of HTML pages.

Reads every page with Python's own HTML parser, takes the visible words (runs of ASCII
letters and digits of the title and of the text outside <head>, <script> and <style>;
every tag ends a word), and prints, for words found in exactly one page, the word, that
page's title (white space folded, entities decoded, Windows-1252) and its path, hex
encoded after an "x": "xWORD xTITLE xPATH" per line. Only words that stand alone in
their page (no '_', '.', ',' or apostrophe joined to them, which the search engine may
keep inside a word) are printed.
"""
import html.parser
import os
import re
import sys



class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text, self.title, self.skip, self.in_head, self.in_title = [], [], 0, False, False

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.skip += 1
        elif tag == "head":
            self.in_head = True
        elif tag == "body":
            self.in_head = False
        elif tag == "title":
            self.in_title = True
        self.text.append(" ")

    def handle_endtag(self, tag):
        if tag in ("script", "style"):
            self.skip = max(0, self.skip - 1)
        elif tag == "head":
            self.in_head = False
        elif tag == "title":
            self.in_title = False
        self.text.append(" ")

    def handle_data(self, data):
        if self.in_title:
            self.title.append(data)
        elif not self.skip and not self.in_head:
            self.text.append(data)


def main(root, limit):
    owners, titles, alone = {}, {}, {}
    for folder, _, files in os.walk(root, followlinks=True):
        for name in sorted(files):
            if not name.endswith(".html"):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, os.path.dirname(os.path.normpath(root)))
            p = Page()
            p.feed(open(path, encoding="utf-8", errors="replace").read())
            title = " ".join("".join(p.title).split())
            titles[rel] = title
            text = title + " " + "".join(p.text)
            words = set(w.lower() for w in re.findall(r"[A-Za-z0-9]+", text))
            for w in words:
                owners.setdefault(w, set()).add(rel)
            alone[rel] = set(t.lower() for t in re.findall(r"[A-Za-z0-9_.,']+", text) if t.isalpha())
    unique = sorted(w for w, pages in owners.items()
                    if len(pages) == 1 and 4 <= len(w) <= 99 and w in alone[next(iter(pages))])
    step = max(1, len(unique) // limit)
    for w in unique[::step][:limit]:
        page = next(iter(owners[w]))
        t = titles[page].encode("cp1252", errors="ignore")
        print("x" + w.encode().hex(), "x" + t.hex(), "x" + page.encode().hex())


main(sys.argv[1], int(sys.argv[2]))
