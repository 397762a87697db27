#!/usr/bin/env python3
"""Writes the solid-model example archive, examples/solid/ANSYS_Model.cdb.

  make_solid.py [OUTPUT]

The body is an L-shaped plate, 1 thick: a leg 3 long along x and a leg 3
long along y, each 1 wide, meshed with 40 twenty-node bricks of edge 0.5
(type 186).  Four eight-node surface-effect elements (type 154) lie on the
end face y = 3.  Potentials (TEMP 50) stand on every node of the end face
x = 3, fluxes (HFLUX, value key 0, corner values -40, -40, -60, -60) on the
four brick faces of the end face y = 3.

The records are written as the pre-processor writes them: node layout
(3i9,6e21.13e3), each node record stopping after its last non-zero
coordinate, element layout (19i10) in the SOLID form with nodes 9 to 20 of
a brick on a continuation record, potentials and fluxes in G16.9 fields.
Every coordinate and value is a multiple of 0.25, so that each written
number is exact.
"""

import os
import sys

H = 0.25                 # spacing of the node lattice: half a brick edge
NA, NB, NC = 13, 13, 5   # lattice points along x, y and z
CELLS = [(i, j, k) for k in range(2) for j in range(6) for i in range(6) if i < 2 or j < 2]

# Lattice offsets of a brick's 20 nodes from its lowest corner, in the
# element's node order: corners I J K L (bottom) M N O P (top), then the
# midsides of IJ JK KL LI, MN NO OP PM, IM JN KO LP.
BRICK = [(0, 0, 0), (2, 0, 0), (2, 2, 0), (0, 2, 0), (0, 0, 2), (2, 0, 2), (2, 2, 2), (0, 2, 2),
         (1, 0, 0), (2, 1, 0), (1, 2, 0), (0, 1, 0), (1, 0, 2), (2, 1, 2), (1, 2, 2), (0, 1, 2),
         (0, 0, 1), (2, 0, 1), (2, 2, 1), (0, 2, 1)]
# Face 4 of a brick (K L P O, facing +y) as an eight-node surface element:
# corners, then the midsides of KL, LP, PO, OK (brick node positions).
FACE4 = [2, 3, 7, 6, 10, 19, 14, 18]

POTENTIAL = 50.0
FLUX_CORNERS = (-40.0, -40.0, -60.0, -60.0)


def node_label(a, b, c):
    return 1 + a + NA * b + NA * NB * c


def elem_label(i, j, k):
    return 1 + i + 6 * j + 36 * k


def brick_nodes(cell):
    i, j, k = cell
    return [node_label(2 * i + da, 2 * j + db, 2 * k + dc) for da, db, dc in BRICK]


def e21(value):
    """A real in the node block's 1P E21.13E3 field."""
    mantissa, exponent = ("%.13E" % value).split("E")
    return ("%sE%+04d" % (mantissa, int(exponent))).rjust(21)


def g16(value):
    """A real in a G16.9 field (F12.d and four blanks), for 0 or 1 <= |value| < 1e9."""
    digits = max(len(str(int(abs(value)))), 1)
    return ("%.*f" % (9 - digits, value)).rjust(12) + "    "


def node_block(coords):
    out = ["NBLOCK,6,SOLID,%10d,%10d" % (max(coords), len(coords)),
           "(3i9,6e21.13e3)"]
    for label in sorted(coords):
        xyz = list(coords[label])
        while len(xyz) > 1 and xyz[-1] == 0:
            xyz.pop()
        out.append("%9d%9d%9d" % (label, 0, 0) + "".join(e21(v) for v in xyz))
    out.append("N,R5.3,LOC,       -1,")
    return out


def element_block(rows):
    """rows: (type, label, nodes); bricks continue on a second record."""
    out = ["EBLOCK,19,SOLID,%10d,%10d" % (max(r[1] for r in rows), len(rows)), "(19i10)"]
    for etype, label, nodes in rows:
        head = [1, etype, 1, 1, 0, 0, 0, 0, len(nodes), 0, label]
        out.append("".join("%10d" % v for v in head + nodes[:8]))
        if len(nodes) > 8:
            out.append("".join("%10d" % v for v in nodes[8:]))
    out.append("%10d" % -1)
    return out


def node_component(name, labels):
    """A CMBLOCK of node labels, runs of consecutive labels written as ranges."""
    values = []
    run_start = prev = None
    for label in sorted(labels) + [None]:
        if prev is not None and label == prev + 1:
            prev = label
            continue
        if run_start is not None:
            values += [run_start] if prev == run_start else [run_start, -prev]
        run_start = prev = label
    out = ["CMBLOCK,%-8s,NODE,%8d  ! users node component definition" % (name, len(values)),
           "(8i10)"]
    for n in range(0, len(values), 8):
        out.append("".join("%10d" % v for v in values[n:n + 8]))
    return out


def archive():
    coords = {}
    for cell in CELLS:
        i, j, k = cell
        for da, db, dc in BRICK:
            a, b, c = 2 * i + da, 2 * j + db, 2 * k + dc
            coords[node_label(a, b, c)] = (a * H, b * H, c * H)
    bricks = [(1, elem_label(*cell), brick_nodes(cell)) for cell in CELLS]
    end_y = [cell for cell in CELLS if cell[1] == 5]
    surface = [(2, 1000 + n + 1, [brick_nodes(cell)[p] for p in FACE4])
               for n, cell in enumerate(end_y)]
    end_x = sorted(label for label, xyz in coords.items() if xyz[0] == 3.0)

    out = ["/COM,cdbbem example: an L-shaped plate of twenty-node bricks",
           "/PREP7", "/NOPR",
           "/TITLE,L-shaped plate, 40 quadratic bricks, potential and flux on its two ends"]
    out += ["*IF,_CDRDOFF,EQ,1,THEN     !if solid model was read in",
            "_CDRDOFF=             !reset flag, numoffs already performed",
            "*ELSE              !offset database for the following FE model",
            "NUMOFF,NODE,%9d" % max(coords), "NUMOFF,ELEM,%9d" % max(r[1] for r in surface),
            "NUMOFF,MAT ,        1", "NUMOFF,TYPE,        2", "*ENDIF", "DOF,DELETE",
            "ET,        1,186", "ET,        2,154"]
    out += node_block(coords)
    out += element_block(bricks)
    out += element_block(surface)
    out += node_component("HOT_END", end_x)
    out += ["MPTEMP,R5.0, 1, 1,  0.00000000    ,",
            "MPDATA,R5.0, 1,KXX ,       1, 1,  60.5000000    ,"]
    out += ["D,%7d,TEMP,%s,%s" % (label, g16(POTENTIAL), g16(0.0)) for label in end_x]
    for cell in end_y:
        out.append("SFE,%8d,%4d,HFLUX,0,R5.0" % (elem_label(*cell), 4))
        out.append("".join(g16(v) for v in FLUX_CORNERS))
    out += ["/GO", "FINISH"]
    return "".join(line + "\n" for line in out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "ANSYS_Model.cdb")
    with open(target, "w", newline="\n") as f:
        f.write(archive())


if __name__ == "__main__":
    main()
