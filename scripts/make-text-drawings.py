#!/usr/bin/python3
"""Writes the drawings of the text-as-paths tests with ezdxf (Debian's python3-ezdxf):
one TEXT, MTEXT or ATTRIB per layer, so that a test can import each on its own, and
beside the drawing a table of what each layer holds and ezdxf's plain text of it.

    scripts/make-text-drawings.py       writes tests/data/ezdxf/text_r2018.dxf and .tsv
    scripts/make-text-drawings.py --truetype   writes truetype_r2018.dxf and ezdxf's outlines
                                        of its texts, truetype.expect (needs
                                        python3-matplotlib and fonts-liberation)
    scripts/make-text-drawings.py --bench OUT.dxf   writes the 10,000-text benchmark drawing
    scripts/make-text-drawings.py --bench-truetype OUT.dxf   the same in Liberation Sans
"""
import math
import os
import random
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(ROOT, "tests", "data", "ezdxf")

ALIGN = {
    (0, 0): TextEntityAlignment.LEFT, (1, 0): TextEntityAlignment.CENTER, (2, 0): TextEntityAlignment.RIGHT,
    (3, 0): TextEntityAlignment.ALIGNED, (4, 0): TextEntityAlignment.MIDDLE, (5, 0): TextEntityAlignment.FIT,
    (0, 1): TextEntityAlignment.BOTTOM_LEFT, (1, 1): TextEntityAlignment.BOTTOM_CENTER,
    (2, 1): TextEntityAlignment.BOTTOM_RIGHT, (0, 2): TextEntityAlignment.MIDDLE_LEFT,
    (1, 2): TextEntityAlignment.MIDDLE_CENTER, (2, 2): TextEntityAlignment.MIDDLE_RIGHT,
    (0, 3): TextEntityAlignment.TOP_LEFT, (1, 3): TextEntityAlignment.TOP_CENTER,
    (2, 3): TextEntityAlignment.TOP_RIGHT,
}

# layer, text, style, height, rotation, width, oblique, halign, valign, flags, p1, p2
TEXTS = [
    ("T_LEFT", "AB", "STD", 2.5, 0, 1, 0, 0, 0, 0, (10, 20), None),
    ("T_ROT", "Hi", "STD", 5, 30, 1, 0, 0, 0, 0, (0, 0), None),
    ("T_WIDTH", "Wo", "ROMANS", 3, 0, 0.7, 0, 0, 0, 0, (5, 5), None),
    ("T_OBLIQUE", "Ok", "ISO", 4, 0, 1, 15, 0, 0, 0, (0, 0), None),
    ("T_CENTER", "Cap", "STD", 2, 0, 1, 0, 1, 0, 0, None, (50, 10)),
    ("T_RIGHT", "Rt", "STD", 2, 45, 1, 0, 2, 0, 0, None, (0, 30)),
    ("T_MIDDLE", "Mid", "STD", 3, 0, 1, 0, 4, 0, 0, None, (20, 20)),
    ("T_TOPC", "Top", "STD", 3, 0, 1, 0, 1, 3, 0, None, (0, 0)),
    ("T_MIDR", "MR", "STD", 3, 10, 1, 0, 2, 2, 0, None, (5, -5)),
    ("T_BOTL", "gy", "STD", 3, 0, 1, 0, 0, 1, 0, None, (1, 1)),
    ("T_ALIGNED", "Fit", "STD", 2, 0, 1, 0, 3, 0, 0, (0, 0), (40, 10)),
    ("T_FIT", "Fit", "STD", 2, 0, 1, 0, 5, 0, 0, (0, 0), (40, 0)),
    ("T_BACK", "Bk", "STD", 3, 0, 1, 0, 0, 0, 2, (0, 0), None),
    ("T_UPSIDE", "Up", "STD", 3, 0, 1, 0, 0, 0, 4, (0, 0), None),
    ("T_STYLEW", "Sw", "WIDE", 3, 0, None, None, 0, 0, 0, (0, 0), None),
    ("T_MISSING", "Mf", "NOFONT", 3, 0, 1, 0, 0, 0, 0, (0, 0), None),
    ("T_PERCENT", "%%c10 %%d %%p0.1 100%%%", "STD", 3, 0, 1, 0, 0, 0, 0, (0, 0), None),
    ("T_UNICODE", "\u00e9\u00f1\u03a9", "STD", 3, 0, 1, 0, 0, 0, 0, (0, 0), None),
]

MTEXTS = [
    # layer, content, height, attachment, insert, rotation, line spacing factor
    ("M_LINES", "First\\PSecond\\PThird", 2.5, 1, (0, 50), 0, 1.0),
    ("M_SPACING", "One\\PTwo", 2, 7, (10, 10), 20, 1.5),
    ("M_CODES", "{\\fRomans|b0;Ro}\\~{\\H2x;Big}\\W0.8;Wd{\\Q15;Ob}\\T2;Tr\\A1;x\\S1/2;\\Lund\\l\\Oo\\o\\Kk\\k", 3, 5,
     (0, 0), 0, 1.0),
    ("M_STACK", "1\\S3/4; 5\\S7#8;", 3, 1, (0, 0), 0, 1.0),
    ("M_COLUMN", "col1\\Ncol2 %%d\\U+00b1", 2, 1, (0, 0), 0, 1.0),
]


def main():
    doc = ezdxf.new("R2018")
    doc.styles.new("STD", dxfattribs={"font": "txt"})
    doc.styles.new("ROMANS", dxfattribs={"font": "romans.shx"})
    doc.styles.new("ISO", dxfattribs={"font": "isocp.shx"})
    doc.styles.new("WIDE", dxfattribs={"font": "simplex.shx", "width": 1.5, "oblique": 10})
    doc.styles.new("NOFONT", dxfattribs={"font": "nosuch.shx"})
    msp = doc.modelspace()
    rows = []
    for layer, text, style, h, rot, w, obl, ha, va, flags, p1, p2 in TEXTS:
        doc.layers.add(layer)
        a = {"layer": layer, "style": style, "height": h, "rotation": rot, "text_generation_flag": flags}
        if w is not None:
            a["width"] = w
        if obl is not None:
            a["oblique"] = obl
        t = msp.add_text(text, dxfattribs=a)
        if ha == 0 and va == 0:
            t.dxf.insert = p1
        elif ha in (3, 5):
            t.set_placement(p1, p2, align=ALIGN[(ha, va)])
        else:
            t.set_placement(p2, align=ALIGN[(ha, va)])
        rows.append(("TEXT", layer, t.plain_text()))
    # A text in a block inserted mirrored and rotated, nested in a second block.
    doc.layers.add("T_BLOCK")
    inner = doc.blocks.new("LABEL")
    inner.add_text("Bl", dxfattribs={"style": "STD", "height": 2, "insert": (1, 2)})
    outer = doc.blocks.new("OUTER")
    outer.add_blockref("LABEL", (5, 0), dxfattribs={"rotation": 90})
    msp.add_blockref("OUTER", (30, 40), dxfattribs={"layer": "T_BLOCK", "xscale": -1, "yscale": 1, "rotation": 15})
    rows.append(("INSERT", "T_BLOCK", "Bl"))
    # Texts in a mirrored plane and in a tilted one.
    doc.layers.add("T_PLANE")
    msp.add_text("Pl", dxfattribs={"layer": "T_PLANE", "style": "STD", "height": 2, "insert": (3, 4),
                                   "extrusion": (0, 0, -1)})
    rows.append(("TEXT", "T_PLANE", "Pl"))
    doc.layers.add("T_TILT")
    msp.add_text("Ti", dxfattribs={"layer": "T_TILT", "style": "STD", "height": 2, "insert": (3, 4),
                                   "extrusion": (0, 1, 1), "rotation": 20})
    rows.append(("TEXT", "T_TILT", "Ti"))
    # An attribute of an inserted block.
    doc.layers.add("T_ATTRIB")
    tag = doc.blocks.new("TAGGED")
    tag.add_attdef("NAME", (0, 0), dxfattribs={"height": 2, "style": "STD"})
    ref = msp.add_blockref("TAGGED", (7, 8), dxfattribs={"layer": "T_ATTRIB"})
    ref.add_auto_attribs({"NAME": "At"})
    for att in ref.attribs:
        att.dxf.layer = "T_ATTRIB"
    rows.append(("ATTRIB", "T_ATTRIB", "At"))
    for layer, content, h, attach, ins, rot, spacing in MTEXTS:
        doc.layers.add(layer)
        m = msp.add_mtext(content, dxfattribs={"layer": layer, "style": "STD", "char_height": h,
                                              "attachment_point": attach, "insert": ins, "rotation": rot,
                                              "line_spacing_factor": spacing})
        rows.append(("MTEXT", layer, m.plain_text()))
    doc.saveas(os.path.join(OUT, "text_r2018.dxf"))
    # The plain texts as a reader of the file sees them ("\\U+" escapes resolved).
    back = ezdxf.readfile(os.path.join(OUT, "text_r2018.dxf")).modelspace()
    plain = {}
    for e in back:
        if e.dxftype() == "TEXT":
            plain[e.dxf.layer] = e.plain_text()
        elif e.dxftype() == "MTEXT":
            plain[e.dxf.layer] = e.plain_text(fast=False)  # the full parser of inline codes
    rows = [(k, l, plain.get(l, p)) for k, l, p in rows]
    with open(os.path.join(OUT, "text_r2018.tsv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("# kind\tlayer\tezdxf plain text (\\n for a line break)\n")
        for kind, layer, plain in rows:
            f.write(f"{kind}\t{layer}\t{plain.replace(chr(10), chr(92) + 'n')}\n")


# TrueType texts: each in its own square of this size, its alignment point in the middle.
CELL = 1000.0
CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-+.,:/()=&?"


def truetype(n=240, seed=36):
    """n random TEXTs in Liberation Sans and, for each, ezdxf's own outline of it
    (text2path, drawn by matplotlib from the same font file), flattened finely.
    Straight texts (no oblique angle): ezdxf slants a text about its alignment point and
    scales the slant with the width factor, where the importer keeps the style's angle."""
    from ezdxf.addons import text2path
    from ezdxf import path as ezpath
    from ezdxf.tools import fonts
    rng = random.Random(seed)
    doc = ezdxf.new("R2018")
    doc.styles.new("LIB", dxfattribs={"font": "LiberationSans-Regular.ttf"})
    doc.layers.add("TT")
    msp = doc.modelspace()
    face = fonts.get_font_face("LiberationSans-Regular.ttf")
    lines = ["# cell x, cell y, text height as drawn, outlines; then one line per outline: x y x y ..."]
    aligns = sorted(ALIGN)
    for i in range(n):
        cx, cy = (i % 16) * CELL, (i // 16) * CELL
        k = rng.randint(1, 10)
        text = "".join(rng.choice(CHARS) for _ in range(k))
        if k > 3 and rng.random() < 0.3:
            j = rng.randint(1, k - 2)
            text = text[:j] + " " + text[j + 1:]
        h = math.exp(rng.uniform(math.log(0.5), math.log(20)))
        ha, va = rng.choice(aligns)
        a = {"layer": "TT", "style": "LIB", "height": h, "rotation": rng.uniform(0, 360),
             "width": rng.choice([1.0, rng.uniform(0.5, 2.0)]),
             "text_generation_flag": rng.choice([0, 0, 2, 4, 6])}
        t = msp.add_text(text, dxfattribs=a)
        if ha in (3, 5):
            ang = rng.uniform(0, 2 * math.pi)
            length = rng.uniform(0.5, 1.5) * h * k * 0.6
            p1 = (cx - length / 2 * math.cos(ang), cy - length / 2 * math.sin(ang))
            p2 = (cx + length / 2 * math.cos(ang), cy + length / 2 * math.sin(ang))
            t.set_placement(p1, p2, align=ALIGN[(ha, va)])
        elif (ha, va) == (0, 0):
            t.dxf.insert = (cx, cy)
        else:
            t.set_placement((cx, cy), align=ALIGN[(ha, va)])
        size = h
        if (ha, va) == (3, 0):  # aligned: the height grows with the stretch
            plain = text2path.make_path_from_str(text, face, size=h)
            size = h * t.fit_length() / ezpath.bbox([plain], fast=True).size.x
        paths = list(text2path.make_paths_from_entity(t))
        lines.append("%r %r %r %d" % (cx, cy, size, len(paths)))
        for p in paths:
            pts = list(p.flattening(distance=size * 0.002, segments=1))
            lines.append(" ".join("%.4f %.4f" % (v.x, v.y) for v in pts))
    doc.saveas(os.path.join(OUT, "truetype_r2018.dxf"))
    with open(os.path.join(OUT, "truetype.expect"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def bench(path, font="txt"):
    """10,000 part labels of nine characters on a grid: the texts benchmark."""
    doc = ezdxf.new("R2018")
    doc.styles.new("STD", dxfattribs={"font": font})
    msp = doc.modelspace()
    for i in range(10000):
        msp.add_text("PART-%04d" % i, dxfattribs={"style": "STD", "height": 2.5, "layer": "TXT",
                                                  "insert": ((i % 100) * 30, (i // 100) * 5)})
    doc.saveas(path)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--bench":
        bench(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "--bench-truetype":
        bench(sys.argv[2], "LiberationSans-Regular.ttf")
    elif len(sys.argv) == 2 and sys.argv[1] == "--truetype":
        truetype()
    else:
        main()
