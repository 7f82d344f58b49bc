#!/usr/bin/python3
"""Writes the shipped example drawing and the test drawings with ezdxf (Debian's
python3-ezdxf), so that the importer is tested on files from a real DXF writer.

    scripts/make-drawings.py            writes examples/ and tests/data/ezdxf/

The files are committed; run this again only to change them, then refresh the golden
programs with scripts/accept-golden after review.
"""
import math
import random
import os
import sys

import ezdxf
import ezdxf.math

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def bracket(version):
    """A mounting bracket: outline with a rounded corner and a slot, holes, a spline
    edge, an elliptical window and a bolt pattern inserted as a block, on two layers."""
    doc = ezdxf.new(version)
    doc.layers.add("OUTLINE")
    doc.layers.add("HOLES")
    msp = doc.modelspace()
    o = {"layer": "OUTLINE"}
    h = {"layer": "HOLES"}
    # Outline: lines, a fillet arc, and a spline top edge back to the start.
    msp.add_line((0, 0), (120, 0), dxfattribs=o)
    msp.add_line((120, 0), (120, 50), dxfattribs=o)
    msp.add_arc((110, 50), 10, 0, 90, dxfattribs=o)            # (120,50) -> (110,60)
    msp.add_line((0, 60), (0, 0), dxfattribs=o)
    if version == "R12":
        msp.add_polyline2d([(110, 60), (80, 70), (40, 70), (0, 60)], dxfattribs=o)
    else:
        msp.add_spline_control_frame([(110, 60), (80, 72), (40, 72), (0, 60)], dxfattribs=o) \
            if False else msp.add_open_spline([(110, 60), (80, 72), (40, 72), (0, 60)], degree=3, dxfattribs=o)
    # A slot: two lines and two half circles as a bulged polyline.
    slot = [(30, 20, 0, 0, 0), (60, 20, 0, 0, 1), (60, 30, 0, 0, 0), (30, 30, 0, 0, 1)]
    if version == "R12":
        p = msp.add_polyline2d([(x, y) for x, y, *_ in slot], dxfattribs=o)
        p.close(True)
        for v, b in zip(p.vertices, [0, 1, 0, 1]):
            v.dxf.bulge = b
    else:
        msp.add_lwpolyline(slot, format="xyseb", close=True, dxfattribs=o)
    # Holes: circles, an ellipse window and a block of bolt holes inserted twice.
    msp.add_circle((15, 15), 4, dxfattribs=h)
    msp.add_circle((105, 15), 4, dxfattribs=h)
    if version != "R12":
        msp.add_ellipse((90, 40), major_axis=(8, 0), ratio=0.5, dxfattribs=h)
    bolts = doc.blocks.new("BOLTS", base_point=(0, 0))
    bolts.add_circle((0, 0), 1.5, dxfattribs={"layer": "0"})
    bolts.add_circle((10, 0), 1.5, dxfattribs={"layer": "0"})
    msp.add_blockref("BOLTS", (40, 45), dxfattribs=h)
    msp.add_blockref("BOLTS", (40, 52), dxfattribs={"layer": "HOLES", "rotation": 0})
    msp.add_point((60, 10), dxfattribs=h)
    return doc


def square_and_arcs(version):
    """Lines in shuffled order and orientation, an arc and a full circle on one layer."""
    doc = ezdxf.new(version)
    doc.layers.add("WALLS")
    msp = doc.modelspace()
    a = {"layer": "WALLS"}
    msp.add_line((10, 10), (0, 10), dxfattribs=a)
    msp.add_line((0, 0), (10, 0), dxfattribs=a)
    msp.add_line((0, 10), (0, 0), dxfattribs=a)
    msp.add_line((10, 10), (10, 0), dxfattribs=a)     # reversed against the others
    msp.add_circle((30, 5), 2, dxfattribs=a)
    msp.add_arc((50, 0), 5, 0, 180, dxfattribs=a)
    msp.add_line((45, 0), (55, 0), dxfattribs=a)
    return doc


def blocks(version):
    """Block insertions: base point, rotation, mirror, scale and a nested block."""
    doc = ezdxf.new(version)
    doc.layers.add("PARTS")
    msp = doc.modelspace()
    tab = doc.blocks.new("TAB", base_point=(5, 0))
    tab.add_line((5, 0), (15, 0))
    tab.add_arc((15, 5), 5, 270, 90)
    tab.add_line((15, 10), (5, 10))
    tab.add_line((5, 10), (5, 0))
    pair = doc.blocks.new("PAIR")
    pair.add_blockref("TAB", (0, 0))
    pair.add_blockref("TAB", (0, 20))
    p = {"layer": "PARTS"}
    msp.add_blockref("TAB", (0, 0), dxfattribs=p)
    msp.add_blockref("TAB", (40, 0), dxfattribs={**p, "rotation": 90})
    msp.add_blockref("TAB", (60, 0), dxfattribs={**p, "xscale": -1})
    msp.add_blockref("TAB", (80, 0), dxfattribs={**p, "xscale": 2, "yscale": 2})
    msp.add_blockref("PAIR", (100, 0), dxfattribs=p)
    return doc


def planes(version):
    """Elements drawn in a mirrored plane (extrusion 0,0,-1) and one in a tilted plane,
    each on a layer of its own, with their world geometry as ezdxf computes it."""
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    mirror = (0, 0, -1)
    cases = []

    def add(name, entity):
        doc.layers.add(name)
        entity.dxf.layer = name
        cases.append((name, entity))

    add("ARC", msp.add_arc((10, 5), 3, 0, 90, dxfattribs={"extrusion": mirror}))
    add("CIRCLE", msp.add_circle((20, -5), 2, dxfattribs={"extrusion": mirror}))
    if version == "R12":
        p = msp.add_polyline2d([(0, 0), (10, 0), (10, 10)], dxfattribs={"extrusion": mirror})
        for v, b in zip(p.vertices, [0.5, -0.3, 0]):
            v.dxf.bulge = b
        add("POLY", p)
    else:
        add("POLY", msp.add_lwpolyline([(0, 0, 0.5), (10, 0, -0.3), (10, 10, 0)], format="xyb",
                                       dxfattribs={"extrusion": mirror, "elevation": 2}))
        add("ELLIPSE", msp.add_ellipse((30, 30), major_axis=(6, 2), ratio=0.4, start_param=0.3,
                                       end_param=2.5, dxfattribs={"extrusion": mirror}))
    tab = doc.blocks.new("TAB", base_point=(0, 0))
    tab.add_line((0, 0), (4, 0))
    tab.add_arc((4, 2), 2, 270, 90)
    add("INSERT", msp.add_blockref("TAB", (50, 10), dxfattribs={"extrusion": mirror, "rotation": 30}))
    add("TILTED", msp.add_circle((5, 5), 4, dxfattribs={"extrusion": (0, 0.6, 0.8)}))
    expect = []
    for name, e in cases:
        entities = list(e.virtual_entities()) if e.dxftype() == "INSERT" else [e]
        for v in entities:
            pts = world_points(v)
            expect.append(name + " " + " ".join(f"{q.x:.9f},{q.y:.9f}" for q in pts))
    return doc, expect


def world_points(e, per_turn=1000):
    """Exact points of an element in world coordinates, by ezdxf's own helpers (its
    plane's OCS.to_wcs, bulge_to_arc, the ellipse's construction tool), dense enough that
    the chords between them stay within 0.00005 of the curve."""
    def arc(ocs, z, c, r, a0, a1):
        sweep = (a1 - a0) % (2 * math.pi) or 2 * math.pi
        n = max(8, int(per_turn * sweep / (2 * math.pi)))
        return [ocs.to_wcs((c[0] + r * math.cos(a0 + sweep * k / n), c[1] + r * math.sin(a0 + sweep * k / n), z))
                for k in range(n + 1)]

    kind = e.dxftype()
    if kind in ("ARC", "CIRCLE"):
        ocs = e.ocs()
        a0 = math.radians(e.dxf.start_angle) if kind == "ARC" else 0.0
        a1 = math.radians(e.dxf.end_angle) if kind == "ARC" else 2 * math.pi
        c = e.dxf.center
        return arc(ocs, c.z, c, e.dxf.radius, a0, a1)
    if kind == "LINE":
        return [e.dxf.start, e.dxf.end]
    if kind == "ELLIPSE":
        tool = e.construction_tool()
        sweep = (tool.end_param - tool.start_param) % (2 * math.pi) or 2 * math.pi
        n = max(8, int(per_turn * sweep / (2 * math.pi)))
        return list(tool.vertices([tool.start_param + sweep * k / n for k in range(n + 1)]))
    # 2-D polylines: bulged segments as arcs in the plane, then into world coordinates.
    ocs = e.ocs()
    if kind == "LWPOLYLINE":
        z = e.dxf.elevation
        verts = [(x, y, b) for x, y, _s, _e, b in e.get_points()]
    else:
        z = e.dxf.elevation.z
        verts = [(v.dxf.location.x, v.dxf.location.y, v.dxf.bulge) for v in e.vertices]
    pts = []
    for (x0, y0, b), (x1, y1, _b) in zip(verts, verts[1:]):
        if b == 0:
            seg = [ocs.to_wcs((x0, y0, z)), ocs.to_wcs((x1, y1, z))]
        else:
            c, a0, a1, r = ezdxf.math.bulge_to_arc((x0, y0), (x1, y1), b)
            seg = arc(ocs, z, c, r, a0, a1)
            if b < 0:
                seg.reverse()
        pts.extend(seg if not pts else seg[1:])
    return pts


def troubles(version):
    """What real drawings hold besides the part: a tiny arc and tiny bulges, absurd
    coordinates, fit-point splines, a text-only layer, a paper-space frame, a block drawn
    in inches in a millimetre drawing, and zero-length debris."""
    doc = ezdxf.new(version)
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    for name in ("PART", "TXT", "TINY", "HUGE", "FIT", "BLK"):
        doc.layers.add(name)
    part = {"layer": "PART"}
    msp.add_line((0, 0), (10, 0), dxfattribs=part)
    msp.add_line((10, 0), (10, 5), dxfattribs=part)
    msp.add_line((3, 3), (3, 3), dxfattribs=part)  # zero length
    msp.add_text("NOTE", dxfattribs={"layer": "TXT", "insert": (0, 20)})
    if version != "R12":
        msp.add_mtext("More", dxfattribs={"layer": "TXT", "insert": (0, 30)})
    msp.add_arc((0, 50), 1, 0, 0.0002, dxfattribs={"layer": "TINY"})
    msp.add_line((1e308, 0), (1e308, 5), dxfattribs={"layer": "HUGE"})
    msp.add_line((0, 60), (1, 60), dxfattribs={"layer": "HUGE"})
    if version != "R12":
        msp.add_lwpolyline([(0, 40, 1e-6), (3e-5, 40, 0), (10, 40, 1e-16), (20, 40, 0)], format="xyb",
                           dxfattribs={"layer": "TINY"})
        fit = [(20 + 10 * math.cos(a), 20 + 10 * math.sin(a)) for a in [i * math.pi / 12 for i in range(7)]]
        s = msp.add_spline(fit, dxfattribs={"layer": "FIT"})
        s.dxf.start_tangent = (0, 1, 0)
        s.dxf.end_tangent = (-1, 0, 0)
    inch = doc.blocks.new("INCH", base_point=(0, 0))
    if version != "R12":
        inch.block_record.dxf.units = 1
    inch.add_line((0, 0), (1, 0))
    msp.add_blockref("INCH", (100, 100), dxfattribs={"layer": "BLK"})
    # A title-block frame in paper space.
    ps = doc.layout("Layout1")
    for a, b in [((0, 0), (420, 0)), ((420, 0), (420, 297)), ((420, 297), (0, 297)), ((0, 297), (0, 0))]:
        ps.add_line(a, b, dxfattribs=part)
    return doc


def fitpoints(version):
    """Splines given by fit points alone, no end tangents, turning either way: with their
    curves as ezdxf draws them (its construction tool interpolates as CAD programs do)."""
    rng = random.Random(5)
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    doc.layers.add("FIT")
    expect = []
    for i in range(6):
        x, y, a = i * 40.0, 0.0, rng.uniform(0, 6.28)
        pts = []
        for _ in range(rng.randint(3, 9)):
            pts.append((x, y))
            a += rng.uniform(-1.2, 1.2)
            r = rng.uniform(2, 8)
            x, y = x + r * math.cos(a), y + r * math.sin(a)
        s = msp.add_spline(pts, dxfattribs={"layer": "FIT"})
        curve = list(s.construction_tool().approximate(800))
        expect.append("FIT " + " ".join(f"{q.x:.6f},{q.y:.6f}" for q in curve))
    return doc, expect


def plates(version):
    """Plates with holes, a hole with an island, an engraved mark, a frame around a part,
    and a hole touching its plate: the shapes whose cut order matters."""
    doc = ezdxf.new(version)
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    doc.layers.add("CUT")
    cut = {"layer": "CUT"}
    # A frame with a plate inside; the plate has two holes, the second with an island.
    msp.add_lwpolyline([(0, 0), (200, 0), (200, 120), (0, 120)], close=True, dxfattribs=cut)
    msp.add_lwpolyline([(20, 20, 0), (120, 20, 0.4142), (140, 40, 0), (140, 100, 0), (20, 100, 0)],
                       format="xyb", close=True, dxfattribs=cut)
    msp.add_circle((50, 60), 10, dxfattribs=cut)
    msp.add_circle((100, 60), 15, dxfattribs=cut)
    msp.add_circle((100, 60), 5, dxfattribs=cut)
    msp.add_line((30, 30), (60, 30), dxfattribs=cut)  # an engraved mark on the plate
    # A small part beside the plate, inside the frame, with a hole touching its outline.
    msp.add_circle((170, 60), 20, dxfattribs=cut)
    msp.add_circle((180, 60), 10, dxfattribs=cut)
    # Six circles in a row outside the frame.
    for k in range(6):
        msp.add_circle((30 + 30 * k, -40), 5, dxfattribs=cut)
    return doc


def curves(version):
    """Smooth curves: control-point splines (a wavy one, a closed-looking one, a rational
    one), a fit-point spline, a whole 10 x 4 ellipse and two elliptical arcs."""
    doc = ezdxf.new(version)
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    doc.layers.add("CURVES")
    at = {"layer": "CURVES"}
    wave = [(x, 3 * math.sin(x / 2)) for x in range(0, 41, 2)]
    msp.add_open_spline(wave, degree=3, dxfattribs=at)
    loop = [(60 + 15 * math.cos(a), 10 + 10 * math.sin(a)) for a in [i * math.pi / 6 for i in range(12)]]
    msp.add_open_spline(loop, degree=3, dxfattribs=at)
    msp.add_rational_spline([(0, 30), (10, 45), (20, 30), (30, 45)], [1, 3, 3, 1], degree=3, dxfattribs=at)
    msp.add_spline([(50, 30), (55, 38), (62, 33), (70, 40), (78, 31)], dxfattribs=at)
    msp.add_ellipse((10, -20), major_axis=(10, 0), ratio=0.4, dxfattribs=at)
    msp.add_ellipse((40, -20), major_axis=(8, 6), ratio=0.3, start_param=0.5, end_param=4.0, dxfattribs=at)
    msp.add_ellipse((70, -20), major_axis=(0, 9), ratio=0.6, start_param=2.0, end_param=6.0, dxfattribs=at)
    return doc


def chinese(version):
    """Layers named in Chinese: a square on 切割, a circle on 外形, and a hole on a layer
    whose name holds a character outside the Chinese code page (written as a \\U+ escape
    in R2000)."""
    doc = ezdxf.new(version)
    if version == "R2000":
        doc.encoding = "gbk"  # written as $DWGCODEPAGE ANSI_936
    msp = doc.modelspace()
    for name in ("切割", "外形", "孔\u01fc"):
        doc.layers.add(name)
    msp.add_lwpolyline([(0, 0), (40, 0), (40, 30), (0, 30)], close=True, dxfattribs={"layer": "切割"})
    msp.add_circle((70, 15), 10, dxfattribs={"layer": "外形"})
    msp.add_circle((20, 15), 4, dxfattribs={"layer": "孔\u01fc"})
    return doc


def main():
    examples = os.path.join(ROOT, "examples")
    data = os.path.join(ROOT, "tests", "data", "ezdxf")
    os.makedirs(data, exist_ok=True)
    bracket("R2000").saveas(os.path.join(examples, "bracket.dxf"))
    for version in ("R12", "R2000", "R2018"):
        tag = version.lower()
        bracket(version).saveas(os.path.join(data, f"bracket_{tag}.dxf"))
        square_and_arcs(version).saveas(os.path.join(data, f"square_{tag}.dxf"))
        blocks(version).saveas(os.path.join(data, f"blocks_{tag}.dxf"))
        doc, expect = planes(version)
        doc.saveas(os.path.join(data, f"planes_{tag}.dxf"))
        with open(os.path.join(data, f"planes_{tag}.expect"), "w") as f:
            f.write("\n".join(expect) + "\n")
        troubles(version).saveas(os.path.join(data, f"troubles_{tag}.dxf"))
        if version != "R12":  # lightweight polylines, splines and ellipses
            plates(version).saveas(os.path.join(data, f"plates_{tag}.dxf"))
            curves(version).saveas(os.path.join(data, f"curves_{tag}.dxf"))
            chinese(version).saveas(os.path.join(data, f"chinese_{tag}.dxf"))
            doc, expect = fitpoints(version)
            doc.saveas(os.path.join(data, f"fitpoints_{tag}.dxf"))
            with open(os.path.join(data, "fitpoints.expect"), "w") as f:  # the same in every version
                f.write("\n".join(expect) + "\n")
    print("drawings written")


if __name__ == "__main__":
    sys.exit(main())
