#!/usr/bin/env python3
"""Writes a small two-page XPS document of solid colour blocks for the print
tests: page 1 is A5 portrait with four quadrants (red, green, blue, black),
page 2 is A5 landscape, left half cyan and right half white.
usage: make_xps.py OUT.xps"""
import sys
import zipfile

# A5 in XPS units (1/96 inch): 148 x 210 mm.
W, H = round(148 / 25.4 * 96), round(210 / 25.4 * 96)

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
  <Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
  <Default Extension="fdseq" ContentType="application/vnd.ms-package.xps-fixeddocumentsequence+xml"/>
  <Default Extension="fdoc" ContentType="application/vnd.ms-package.xps-fixeddocument+xml"/>
  <Default Extension="fpage" ContentType="application/vnd.ms-package.xps-fixedpage+xml"/>
</Types>"""

RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
  <Relationship Type="http://schemas.microsoft.com/xps/2005/06/fixedrepresentation" Target="/FixedDocumentSequence.fdseq" Id="R0"/>
</Relationships>"""

FDSEQ = """<FixedDocumentSequence xmlns="http://schemas.microsoft.com/xps/2005/06">
  <DocumentReference Source="/Documents/1/FixedDocument.fdoc"/>
</FixedDocumentSequence>"""

FDOC = """<FixedDocument xmlns="http://schemas.microsoft.com/xps/2005/06">
  <PageContent Source="/Documents/1/Pages/1.fpage"/>
  <PageContent Source="/Documents/1/Pages/2.fpage"/>
</FixedDocument>"""


def rect(x, y, w, h, colour):
    return (f'  <Path Data="M {x},{y} L {x + w},{y} {x + w},{y + h} {x},{y + h} Z" '
            f'Fill="{colour}"/>\n')


def page(w, h, body):
    return (f'<FixedPage xmlns="http://schemas.microsoft.com/xps/2005/06" Width="{w}" Height="{h}" '
            f'xml:lang="en-US">\n{body}</FixedPage>')


def main():
    hw, hh = W // 2, H // 2
    page1 = page(W, H, rect(0, 0, hw, hh, "#FFFF0000") + rect(hw, 0, W - hw, hh, "#FF00FF00") +
                 rect(0, hh, hw, H - hh, "#FF0000FF") + rect(hw, hh, W - hw, H - hh, "#FF000000"))
    page2 = page(H, W, rect(0, 0, H // 2, W, "#FF00FFFF"))
    with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("_rels/.rels", RELS)
        z.writestr("FixedDocumentSequence.fdseq", FDSEQ)
        z.writestr("Documents/1/FixedDocument.fdoc", FDOC)
        z.writestr("Documents/1/Pages/1.fpage", page1)
        z.writestr("Documents/1/Pages/2.fpage", page2)


if __name__ == "__main__":
    main()
