#!/usr/bin/env python3
"""Writes the bundled demo input: a small Javadoc output tree in the classic frame form
(upper-case tags, package frames, an interface set in italics, a split index).

The pages are written by this script, not copied from any real documentation, so the
demo and the tests have an input whose every line we know.
Usage: python3 samples/make_sample.py [output folder]   (default: samples/javadoc)
"""
import os
import sys

PACKAGES = {
    "org.quill.ink": {
        "doc": "Inks, pens and the strokes they leave.",
        "interfaces": {"Stroke": "A mark left on paper by a pen."},
        "classes": {
            "Pen": "A writing instrument with a nib and a reservoir.",
            "Inkwell": "A small pot that holds ink for dipping pens.",
        },
        "methods": {"Pen": ["write", "refill"], "Inkwell": ["pour"], "Stroke": ["length", "outline"]},
    },
    "org.quill.paper": {
        "doc": "Sheets, pages and the books bound from them.",
        "interfaces": {"Foldable": "Something that can be folded along a line."},
        "classes": {
            "Sheet": "One sheet of paper, written on one or both sides.",
            "Quire": "A gathering of folded sheets, ready for binding.",
        },
        "methods": {"Sheet": ["fold", "turn"], "Quire": ["bind"], "Foldable": ["crease"]},
    },
    "org.quill.paper.bind": {
        "doc": "Binding quires into books.",
        "interfaces": {},
        "classes": {"Binder": "Sews quires together and fixes the cover."},
        "methods": {"Binder": ["sew", "cover"]},
    },
}

CSS = """/* Javadoc-style sheet of the demo tree */
body { background-color: #FFFFFF; font-family: sans-serif; }
.TableHeadingColor { background: #CCCCFF; }
.FrameTitleFont { font-size: 100%; font-weight: bold; }
.FrameItemFont { font-size: 90%; }
"""


def head(title, depth):
    up = "../" * depth
    return ("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
            "<HTML>\n<HEAD>\n<TITLE>\n%s\n</TITLE>\n"
            "<LINK REL =\"stylesheet\" TYPE=\"text/css\" HREF=\"%sstylesheet.css\" TITLE=\"Style\">\n"
            "</HEAD>\n" % (title, up))


def write(root, rel, text):
    path = os.path.join(root, *rel.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n", encoding="ascii") as f:
        f.write(text)


def folder(pkg):
    return pkg.replace(".", "/")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "javadoc")
    write(root, "stylesheet.css", CSS)
    write(root, "package-list", "".join(p + "\n" for p in PACKAGES))
    write(root, "index.html",
          "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Frameset//EN\">\n<HTML>\n<HEAD>\n"
          "<TITLE>\nQuill Demo API\n</TITLE>\n</HEAD>\n"
          "<FRAMESET cols=\"20%,80%\">\n<FRAMESET rows=\"30%,70%\">\n"
          "<FRAME src=\"overview-frame.html\" name=\"packageListFrame\" title=\"All Packages\">\n"
          "<FRAME src=\"allclasses-frame.html\" name=\"packageFrame\" title=\"All classes and interfaces\">\n"
          "</FRAMESET>\n"
          "<FRAME src=\"overview-summary.html\" name=\"classFrame\" title=\"Package, class and interface descriptions\" scrolling=\"yes\">\n"
          "</FRAMESET>\n</HTML>\n")

    frame = head("Overview", 0) + "<BODY BGCOLOR=\"white\">\n"
    frame += "<FONT size=\"+1\" CLASS=\"FrameTitleFont\"><B>Quill Demo API</B></FONT>\n<BR>\n"
    frame += "<FONT CLASS=\"FrameItemFont\"><A HREF=\"allclasses-frame.html\" target=\"packageFrame\">All Classes</A></FONT>\n<P>\n"
    frame += "<FONT size=\"+1\" CLASS=\"FrameHeadingFont\">Packages</FONT>\n<BR>\n"
    for p in PACKAGES:
        frame += "<FONT CLASS=\"FrameItemFont\"><A HREF=\"%s/package-frame.html\" target=\"packageFrame\">%s</A></FONT>\n<BR>\n" % (folder(p), p)
    frame += "</BODY>\n</HTML>\n"
    write(root, "overview-frame.html", frame)

    summary = head("Overview", 0) + "<BODY BGCOLOR=\"white\">\n<H2>Quill Demo API</H2>\n"
    summary += "<P>A made-up library about writing with quills, for trying quillbinder out.</P>\n"
    summary += "<TABLE BORDER=\"1\" WIDTH=\"100%\">\n"
    for p, info in PACKAGES.items():
        summary += "<TR><TD><B><A HREF=\"%s/package-summary.html\">%s</A></B></TD><TD>%s</TD></TR>\n" % (folder(p), p, info["doc"])
    summary += "</TABLE>\n<HR>\n<A HREF=\"index-files/index-1.html\">Index</A>\n</BODY>\n</HTML>\n"
    write(root, "overview-summary.html", summary)

    allclasses = head("All Classes", 0) + "<BODY BGCOLOR=\"white\">\n<FONT size=\"+1\" CLASS=\"FrameHeadingFont\"><B>All Classes</B></FONT>\n<BR>\n"
    entries = []  # (keyword, href from index-files, description, (context href, text))
    for p, info in PACKAGES.items():
        depth = p.count(".") + 1
        names = sorted(list(info["interfaces"]) + list(info["classes"]))
        pframe = head(p, depth) + "<BODY BGCOLOR=\"white\">\n"
        pframe += "<FONT size=\"+1\" CLASS=\"FrameTitleFont\"><A HREF=\"package-summary.html\" target=\"classFrame\">%s</A></FONT>\n" % p
        if info["interfaces"]:
            pframe += "<TABLE BORDER=\"0\" WIDTH=\"100%\">\n<TR><TD NOWRAP><FONT size=\"+1\" CLASS=\"FrameHeadingFont\">Interfaces</FONT>&nbsp;\n<FONT CLASS=\"FrameItemFont\">\n<BR>\n"
            for n in sorted(info["interfaces"]):
                pframe += "<A HREF=\"%s.html\" target=\"classFrame\"><I>%s</I></A>\n<BR>\n" % (n, n)
            pframe += "</FONT></TD>\n</TR>\n</TABLE>\n"
        pframe += "<TABLE BORDER=\"0\" WIDTH=\"100%\">\n<TR><TD NOWRAP><FONT size=\"+1\" CLASS=\"FrameHeadingFont\">Classes</FONT>&nbsp;\n<FONT CLASS=\"FrameItemFont\">\n<BR>\n"
        for n in sorted(info["classes"]):
            pframe += "<A HREF=\"%s.html\" target=\"classFrame\">%s</A>\n<BR>\n" % (n, n)
        pframe += "</FONT></TD>\n</TR>\n</TABLE>\n</BODY>\n</HTML>\n"
        write(root, folder(p) + "/package-frame.html", pframe)

        psum = head(p, depth) + "<BODY BGCOLOR=\"white\">\n<H2>Package %s</H2>\n<P>%s</P>\n<UL>\n" % (p, info["doc"])
        for n in names:
            psum += "<LI><A HREF=\"%s.html\">%s</A></LI>\n" % (n, n)
        psum += "</UL>\n<A HREF=\"%soverview-summary.html\">Overview</A>\n</BODY>\n</HTML>\n" % ("../" * depth)
        write(root, folder(p) + "/package-summary.html", psum)
        entries.append((p, "../%s/package-summary.html" % folder(p), "package %s" % p, None))

        for n in names:
            is_interface = n in info["interfaces"]
            doc = info["interfaces"].get(n) or info["classes"].get(n)
            kind = "Interface" if is_interface else "Class"
            page = head(n, depth) + "<BODY BGCOLOR=\"white\">\n"
            page += "<FONT SIZE=\"-1\">%s</FONT>\n<H2>%s %s</H2>\n<P>%s</P>\n<HR>\n" % (p, kind, n, doc)
            page += "<A NAME=\"method_summary\"><!-- --></A>\n<H3>Method Summary</H3>\n<TABLE BORDER=\"1\">\n"
            for m in info["methods"].get(n, []):
                page += "<TR><TD><CODE><B><A HREF=\"#%s()\">%s</A></B>()</CODE></TD></TR>\n" % (m, m)
            page += "</TABLE>\n"
            for m in info["methods"].get(n, []):
                page += "<A NAME=\"%s()\"><!-- --></A><H3>%s</H3>\n<PRE>public void <B>%s</B>()</PRE>\n<DL><DD>%s the %s.</DD></DL>\n<HR>\n" % (m, m, m, m.capitalize(), n.lower())
                entries.append((m + "()", "../%s/%s.html#%s()" % (folder(p), n, m),
                                "Method in %s %s" % ("interface" if is_interface else "class", p + "." + n),
                                ("../%s/%s.html" % (folder(p), n), n)))
            page += "<A HREF=\"package-summary.html\">%s</A>\n</BODY>\n</HTML>\n" % p
            write(root, "%s/%s.html" % (folder(p), n), page)
            link = "<I>%s</I>" % n if is_interface else n
            allclasses += "<FONT CLASS=\"FrameItemFont\"><A HREF=\"%s/%s.html\" target=\"classFrame\">%s</A>\n<BR>\n" % (folder(p), n, link)
            entries.append((n, "../%s/%s.html" % (folder(p), n),
                            "%s in" % kind, ("../%s/package-summary.html" % folder(p), p)))
    allclasses += "</FONT>\n</BODY>\n</HTML>\n"
    write(root, "allclasses-frame.html", allclasses)

    # The split index: one page per initial letter, in letter order.
    letters = sorted({e[0][0].upper() for e in entries})
    nav = " ".join("<A HREF=\"index-%d.html\">%s</A>" % (i + 1, l) for i, l in enumerate(letters))
    for i, letter in enumerate(letters):
        page = head("%s-Index" % letter, 1) + "<BODY BGCOLOR=\"white\">\n%s\n<HR>\n" % nav
        page += "<A NAME=\"_%s_\"><!-- --></A><H2><B>%s</B></H2>\n<DL>\n" % (letter, letter)
        for kw, href, desc, ctx in sorted((e for e in entries if e[0][0].upper() == letter),
                                          key=lambda e: e[0].lower()):
            if ctx is None:
                # Javadoc writes package terms without a link in their description.
                page += "<DT><A HREF=\"%s\"><B>%s</B></A> - %s\n<DD>&nbsp;\n" % (href, kw, desc)
            else:
                page += "<DT><A HREF=\"%s\"><B>%s</B></A> - %s <A HREF=\"%s\">%s</A>\n<DD>&nbsp;\n" % (
                    href, kw, desc, ctx[0], ctx[1])
        page += "</DL>\n<HR>\n%s\n</BODY>\n</HTML>\n" % nav
        write(root, "index-files/index-%d.html" % (i + 1), page)


if __name__ == "__main__":
    main()
