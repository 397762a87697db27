#!/usr/bin/env python3
"""Reads back input.plt with VTK's Tecplot reader and checks it against the
model that the archive describes.

  plt_readback.py CDBBEM ARCHIVE...

For each archive: runs cdbbem on a copy in a fresh directory, hands the
reader a copy of input.plt without its second record (the ZONES" record,
which the reader does not know), then checks each zone: its name, number
of points and cells, cell types (triangles for the boundary, quadrilaterals
for the field cells), connectivity and coordinates (7 significant digits,
read back as single precision).

Exits 77 (skipped) when this Python has no VTK.
"""

import os
import sys

from readback import expect, run_checks

try:
    from vtkmodules.vtkCommonDataModel import VTK_QUAD, VTK_TRIANGLE, vtkCompositeDataSet
    from vtkmodules.vtkIOGeometry import vtkTecplotReader
except ImportError:
    print("SKIPPED: %s has no VTK (python3-vtk9); input.plt was not read back" % sys.executable)
    sys.exit(77)


def close(got, want):
    # 7 significant digits in the file (up to 5e-7 of a value 0.1000000 x
    # 10^e), then single precision in the reader.
    return abs(got - want) <= 6e-7 * abs(want)


def comparable(value):
    """Whether the reader can give `value` back: it reads single precision,
    and a three-digit exponent (written without its letter) is not a number
    form it knows."""
    return value == 0 or 1e-37 <= abs(value) < 1e37


def check_zone(block, name, xyz, connectivity, cell_type):
    expect(block is not None, "zone %s missing" % name)
    expect(block.GetNumberOfPoints() == len(xyz),
           "zone %s: %d points, expected %d" % (name, block.GetNumberOfPoints(), len(xyz)))
    expect(block.GetNumberOfCells() == len(connectivity),
           "zone %s: %d cells, expected %d" % (name, block.GetNumberOfCells(), len(connectivity)))
    skipped = 0
    for k, want in enumerate(xyz):
        got = block.GetPoint(k)
        for g, w in zip(got, want):
            if not comparable(w):
                skipped += 1
                continue
            expect(close(g, w), "zone %s point %d: %s, expected %s" % (name, k + 1, got, want))
    for k, want in enumerate(connectivity):
        cell = block.GetCell(k)
        expect(cell.GetCellType() == cell_type,
               "zone %s cell %d: type %d, expected %d" % (name, k + 1, cell.GetCellType(), cell_type))
        ids = [cell.GetPointId(j) + 1 for j in range(cell.GetNumberOfPoints())]
        expect(ids == want, "zone %s cell %d: %s, expected %s" % (name, k + 1, ids, want))
    return skipped


def check(m, work):
    with open(os.path.join(work, "input.plt"), "rb") as f:
        lines = f.read().split(b"\r\n")
    expect(lines[0] == b' TITLE = "A BEM Model for a Potential Problem" ', "title %r" % lines[0])
    expect(lines[1] == b' ZONES" ', "second record %r" % lines[1])
    copy = os.path.join(work, "readable.plt")
    with open(copy, "wb") as f:
        f.write(b"\r\n".join(lines[:1] + lines[2:]))

    reader = vtkTecplotReader()
    reader.SetFileName(copy)
    reader.Update()
    out = reader.GetOutput()
    # The reader leaves out a zone without points.
    zones = [("Model", m.xyz, m.triangles, VTK_TRIANGLE)]
    if m.p:
        zones.append(("Field Points", m.pxyz, m.cells, VTK_QUAD))
    zones = [z for z in zones if z[1]]
    expect(out.GetNumberOfBlocks() == len(zones),
           "%d zones, expected %d" % (out.GetNumberOfBlocks(), len(zones)))
    skipped = 0
    for k, (name, xyz, connectivity, cell_type) in enumerate(zones):
        got = out.GetMetaData(k).Get(vtkCompositeDataSet.NAME())
        expect(got == name, "zone %d is named %r, expected %r" % (k + 1, got, name))
        skipped += check_zone(out.GetBlock(k), name, xyz, connectivity, cell_type)
    summary = ", ".join("%s: %d points, %d cells" % (z[0], len(z[1]), len(z[2])) for z in zones)
    if skipped:
        summary += " (%d coordinates beyond single precision not compared)" % skipped
    return summary


if __name__ == "__main__":
    sys.exit(run_checks(sys.argv, check))
