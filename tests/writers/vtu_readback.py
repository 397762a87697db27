#!/usr/bin/env python3
"""Reads back input.vtu with VTK's XML reader and checks it against input.dat
and the model that the archive describes.

  vtu_readback.py CDBBEM ARCHIVE...

For each archive: runs cdbbem, then cdbbem --vtk, on a copy in a fresh
directory; input.dat (date aside) and input.plt must be the same both times
and input.dat must hold the archive's model.  Then input.vtu: points (the
archive's doubles exactly), cells (triangles, then field cells as
quadrilaterals), and every array: bc_kind, bc_value, element, defect
(computed here from the triangles on their own) and potential.

Exits 77 (skipped) when this Python has no VTK.
"""

import math
import os
import shutil
import sys
from fractions import Fraction

import dat_readback
from readback import expect, run_checks, run_translator

try:
    from vtkmodules.vtkCommonDataModel import VTK_QUAD, VTK_TRIANGLE
    from vtkmodules.vtkIOXML import vtkXMLUnstructuredGridReader
except ImportError:
    print("SKIPPED: %s has no VTK (python3-vtk9); input.vtu was not read back" % sys.executable)
    sys.exit(77)

OPEN, NONMANIFOLD, MISORIENTED, DEGENERATE, DUPLICATE, WARPED = 1, 2, 4, 8, 16, 32


def sub(a, b):
    return [x - y for x, y in zip(a, b)]


def cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def defects(m):
    """Each triangle's defect bits, from the definitions of the check, in
    exact arithmetic (coordinates near the double range overflow floats)."""
    flags = [0] * len(m.triangles)
    exact = [[Fraction(x) for x in p] for p in m.xyz]
    d2 = sum((max(a) - min(a)) ** 2 for a in zip(*exact)) if exact else 0
    limit = Fraction(1e-12) ** 2 * d2 * d2
    normal, edges, seen = [], {}, set()
    for t, (a, b, c) in enumerate(m.triangles):
        pa, pb, pc = (exact[n - 1] for n in (a, b, c))
        normal.append(cross(sub(pb, pa), sub(pc, pa)))
        if len({a, b, c}) < 3 or dot(normal[t], normal[t]) <= limit:
            flags[t] |= DEGENERATE
        if tuple(sorted((a, b, c))) in seen:
            flags[t] |= DUPLICATE
        seen.add(tuple(sorted((a, b, c))))
        if len({a, b, c}) == 3:
            for p, q in ((a, b), (b, c), (c, a)):
                edges.setdefault((min(p, q), max(p, q)), []).append((t, p < q))
    for uses in edges.values():
        bits = OPEN if len(uses) == 1 else NONMANIFOLD if len(uses) > 2 else \
            MISORIENTED if uses[0][1] == uses[1][1] else 0
        for t, _ in uses:
            flags[t] |= bits
    for t1, t2 in (tuple(r) for r in m.rows.values()):
        t1, t2 = t1 - 1, t2 - 1
        if t1 == t2 or (flags[t1] | flags[t2]) & DEGENERATE:
            continue
        # More than 30 degrees apart: cos < sqrt(3)/2.
        n1, n2 = normal[t1], normal[t2]
        cos = dot(n1, n2)
        if cos < 0 or cos * cos * 4 < 3 * dot(n1, n1) * dot(n2, n2):
            flags[t1] |= WARPED
            flags[t2] |= WARPED
    return flags


def values(grid, name, cells):
    data = (grid.GetCellData() if cells else grid.GetPointData()).GetArray(name)
    expect(data is not None, "no array %s" % name)
    return [data.GetValue(k) for k in range(data.GetNumberOfTuples())]


def same(got, want, what):
    for k, (g, w) in enumerate(zip(got, want)):
        expect(g == w or (math.isnan(g) and math.isnan(w)), "%s %d: %r, expected %r" % (what, k, g, w))
    expect(len(got) == len(want), "%s: %d values, expected %d" % (what, len(got), len(want)))


def check(m, work):
    saved = {}
    for name in ("input.dat", "input.plt"):
        with open(os.path.join(work, name), "rb") as f:
            saved[name] = f.read()
    archive = os.path.join(work, "archive.cdb")
    shutil.copyfile(os.path.join(work, "ANSYS_Model.cdb"), archive)
    run_translator(os.path.abspath(sys.argv[1]), archive, work, ["--vtk"])
    for name, before in saved.items():
        with open(os.path.join(work, name), "rb") as f:
            after = f.read()
        if name == "input.dat":  # the date in the title
            before, after = before[:56] + before[65:], after[:56] + after[65:]
        expect(after == before, "%s differs with --vtk" % name)
    dat_readback.check(m, work)

    reader = vtkXMLUnstructuredGridReader()
    reader.SetFileName(os.path.join(work, "input.vtu"))
    reader.Update()
    grid = reader.GetOutput()
    t, e = len(m.triangles), m.e
    points = m.xyz + m.pxyz
    expect(grid.GetNumberOfPoints() == len(points), "%d points" % grid.GetNumberOfPoints())
    for k, want in enumerate(points):
        expect(list(grid.GetPoint(k)) == want, "point %d: %s, expected %s" % (k, grid.GetPoint(k), want))
    cells = [(VTK_TRIANGLE, [n - 1 for n in tri]) for tri in m.triangles]
    cells += [(VTK_QUAD, [m.n + p - 1 for p in cell]) for cell in m.cells]
    expect(grid.GetNumberOfCells() == len(cells), "%d cells" % grid.GetNumberOfCells())
    for k, (kind, ids) in enumerate(cells):
        cell = grid.GetCell(k)
        got = [cell.GetPointId(j) for j in range(cell.GetNumberOfPoints())]
        expect((cell.GetCellType(), got) == (kind, ids), "cell %d: %s" % (k, got))
    element = [0] * t
    for number, rows in m.rows.items():
        for tri in rows:
            element[tri - 1] = number
    same(values(grid, "bc_kind", True), m.kinds + [0] * m.c, "bc_kind")
    same(values(grid, "bc_value", True), m.values + [0.0] * m.c, "bc_value")
    same(values(grid, "element", True), element + [e + c for c in range(1, m.c + 1)], "element")
    flags = defects(m)
    same(values(grid, "defect", True), flags + [0] * m.c, "defect")
    same(values(grid, "potential", False),
         [m.potential.get(n, math.nan) for n in range(1, m.n + 1)] + [math.nan] * m.p, "potential")
    return "%d points, %d cells, %d with defects" % (len(points), len(cells), sum(f != 0 for f in flags))


if __name__ == "__main__":
    sys.exit(run_checks(sys.argv, check))
