#!/usr/bin/env python3
"""Writes the generated golden cases under tests/golden/<case>/.

Each case is a small model described below.  From it this script writes the
archive ANSYS_Model.cdb and, by its own implementation of the translation's
rules (never by running cdbbem), the expected input.dat, input.plt, console
text and exit status.  Real fields are rendered from the exact binary value
with decimal arithmetic, rounded half to even, and cross-checked against
Python's correctly rounded '%e' conversion.

  make_cases.py            rewrite every generated case
  make_cases.py --check    exit 1 when a committed case differs from what
                           this script would write
"""

import math
import os
import sys
from decimal import Decimal, ROUND_HALF_EVEN, localcontext

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = "07-DEC-26"  # masked by the golden runner

# ---------------------------------------------------------------- output rules


def fmt_int(v, w):
    s = str(v)
    return s.rjust(w) if len(s) <= w else "*" * w


def fmt_real(v, w, d, letter):
    """Ew.d / Dw.d: 0.x1..xd times 10^e, correctly rounded half to even."""
    if math.isinf(v) or math.isnan(v):
        raise ValueError("no such value in the generated models")
    neg = v < 0
    if v == 0:
        digits, e, neg = "0" * d, 0, False
    else:
        with localcontext() as ctx:
            ctx.prec = 1200
            exact = Decimal(abs(v))
            e = exact.adjusted() + 1
            q = exact.scaleb(-e).quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_EVEN)
            if q == 1:
                q = Decimal(1).scaleb(-1).quantize(Decimal(1).scaleb(-d))
                e += 1
        digits = format(q, "f")[2:]
        # Python's %e is correctly rounded too: both must agree.
        mant, exp = ("%.*e" % (d - 1, abs(v))).split("e")
        assert mant.replace(".", "") == digits and int(exp) + 1 == e, (v, digits, e)
    sign = "+" if e >= 0 else "-"
    if abs(e) <= 99:
        tail = "%s%s%02d" % (letter, sign, abs(e))
    elif abs(e) <= 999:
        tail = "%s%03d" % (sign, abs(e))
    else:
        return "*" * w
    lead = "0" if w >= d + 6 + (1 if neg else 0) else ""
    s = ("-" if neg else "") + lead + "." + digits + tail
    return s.rjust(w) if len(s) <= w else "*" * w


def free_form(items):
    """A free-form output statement: its records, 80 positions at most."""
    width = 80
    records, rec, fresh, prev = [], "", True, None
    for it in items:
        if isinstance(it, int):
            if width - len(rec) < 12:
                records.append(rec)
                rec, fresh, prev = "", True, None
            rec += "%12d" % it
            fresh, prev = False, "number"
            continue
        room = width - len(rec)
        if fresh and len(it) <= room:
            rec += " "
            fresh = False
        elif prev == "number" and width - len(rec) >= 1:
            rec += " "
        if len(it) > room and rec:
            records.append(rec)
            rec, fresh = " ", False
        rec += it
        prev = "text"
    records.append(rec if rec else " ")
    return records


def crlf(records):
    return "".join(r + "\r\n" for r in records)


# ---------------------------------------------------------------- the model


class Raw:
    """A node-record field written as given, read as `value`."""

    def __init__(self, text, value):
        self.text, self.value = text, value


class Case:
    def __init__(self, name, node_layout, element_layout, newline="\n", final_newline=True):
        self.name = name
        self.node_layout = node_layout  # 1 to 4
        self.element_layout = element_layout  # "(19i8)", "(19i9)" or "(19i10)"
        self.newline = newline
        self.final_newline = final_newline
        self.nodes = []  # (number written, [x, y, z]) by position
        self.points = []  # field points, the same way
        self.elements = []  # (number, [I, J, K, L], options) in archive order
        self.cells = []  # [I, J, K, L] as global node numbers
        self.conditions = []  # ("D", node, value text, label) / ("SFE", e, texts, split) / ("text", t)
        self.extra_components = False  # a component that the survey must pass over
        self.field_components = None  # None, or (cells, points) written as ranges

    def node(self, x, y, z, number=None):
        self.nodes.append((number or len(self.nodes) + 1, [x, y, z]))
        return len(self.nodes)

    def point(self, x, y, z, number=None):
        self.points.append((number, [x, y, z]))

    def element(self, number, corners, **options):
        if len(corners) == 3:
            corners = corners + [corners[2]]
        self.elements.append((number, corners, options))

    def potential(self, node, text, label="TEMP"):
        self.conditions.append(("D", node, text, label))

    def flux(self, element, texts, split=None):
        self.conditions.append(("SFE", element, texts, split))


# ---------------------------------------------------------------- the archive

NODE_LAYOUTS = {
    1: ("(3i8,6e16.9)", 8, 16, 9),
    2: ("(3i8,6e20.13)", 8, 20, 13),
    3: ("(3i9,6e20.13)", 9, 20, 13),
    4: ("(3i9,6e21.13e3)", 9, 21, 13),
}


def coord_field(c, layout):
    """A coordinate as the archive writes it, and the double it reads as."""
    _, _, w, d = NODE_LAYOUTS[layout]
    if isinstance(c, Raw):
        assert len(c.text) == w
        return c.text, c.value
    text = "%.*E" % (d, c)
    if layout == 4:  # three-digit exponent
        mant, exp = text.split("E")
        text = "%sE%s%03d" % (mant, exp[0], abs(int(exp)))
    text = text.rjust(w)
    assert len(text) == w, text
    return text, float(text)


def archive_records(case):
    """The archive's records, and the doubles its node records hold."""
    n, p = len(case.nodes), len(case.points)
    e, c = len(case.elements), len(case.cells)
    layout, iw, _, _ = NODE_LAYOUTS[case.node_layout]
    recs = [
        "/COM,generated golden case %s" % case.name,
        "/PREP7",
        "/NOPR",
        "/TITLE,%s" % case.name,
        "*IF,_CDRDOFF,EQ,1,THEN     !if solid model was read in",
        "_CDRDOFF=             !reset flag, numoffs already performed",
        "*ELSE              !offset database for the following FE model",
        "NUMOFF,NODE,%9d" % (n + p),
        "NUMOFF,ELEM,%9d" % (e + c),
        "NUMOFF,MAT ,%9d" % 1,
        "NUMOFF,TYPE,%9d" % 2,
        "*ENDIF",
        "ET,       1,152",
        "ET,       2,152",
        "NBLOCK,6,SOLID,%10d,%10d" % (n + p, n + p),
        layout,
    ]
    values = []
    for k, (number, xyz) in enumerate(case.nodes + case.points):
        if number is None:
            number = k + 1
        fields = [coord_field(v, case.node_layout) for v in xyz]
        values.append([f[1] for f in fields])
        recs.append(("%*d" % (iw, number) + "%*d" % (iw, 0) * 2 + "".join(f[0] for f in fields)).rstrip())
    recs.append("N,R5.3,LOC,%*d," % (iw, -1))
    ew = int(case.element_layout[4:-1])
    recs.append("EBLOCK,19,SOLID,%10d,%10d" % (e + c, e + c))
    recs.append(case.element_layout)
    for number, corners, options in case.elements:
        recs += element_records(1, number, corners, ew, options)
    for k, corners in enumerate(case.cells):
        recs += element_records(2, e + k + 1, corners, ew, {})
    recs.append("%*d" % (ew, -1))
    if case.extra_components:
        recs += ["CMBLOCK,INLET,NODE,       2  ! users node component definition", "(8i10)",
                 "%10d%10d" % (1, -2)]
    if case.field_components:
        cells_range, points_range = case.field_components
        recs += ["CMBLOCK,FIELDCELLS,ELEM,%8d  ! users element component definition" % c, "(8i10)",
                 "%10d%10d" % cells_range]
        recs += ["CMBLOCK,FIELDPOINTS,NODE,%8d  ! users node component definition" % p, "(8i10)",
                 "%10d%10d" % points_range]
    for cond in case.conditions:
        if cond[0] == "D":
            _, node, text, label = cond
            recs.append("D,%7d,%s,%s,  0.00000000    " % (node, label, (" " + text).ljust(16)))
        elif cond[0] == "SFE":
            _, element, texts, split = cond
            ew_sfe = 9 if case.node_layout >= 3 else 8
            recs.append("SFE,%*d,   1,HFLUX,   1,R5.0" % (ew_sfe, element))
            fields = [(" " + t).ljust(16) for t in texts]
            split = split or 4
            recs.append("".join(fields[:split]).rstrip())
            if split < 4:
                recs.append("".join(fields[split:]).rstrip())
        else:
            recs.append(cond[1])
    recs += ["/GO", "FINISH"]
    return recs, values


def element_records(kind, number, corners, ew, options):
    vals = [1, kind, 1, 1, 0, 0, 0, 0, 4, 0, number] + list(corners)
    if options.get("pad"):
        vals += [corners[3]] * 4
    fields = ["%*d" % (ew, v) for v in vals]
    cut = options.get("split_after")
    if cut:
        return ["".join(fields[:cut]), "".join(fields[cut:])]
    return ["".join(fields)]


# ---------------------------------------------------------------- the rules


def translate(case, values):
    n, p = len(case.nodes), len(case.points)
    e = len(case.elements)
    xyz = values[:n]
    pxyz = values[n:]
    console = []
    for k, (number, _) in enumerate(case.nodes, start=1):
        if number != k:
            console += free_form([" Node number error ni, i =", number, k])
    for k, (number, _) in enumerate(case.points, start=1):
        if number is not None and number != n + k:
            console += free_form([" Node number error ni, i =", number, k])

    def dist(a, b):
        pa, pb = xyz[a - 1], xyz[b - 1]
        dx, dy, dz = pa[0] - pb[0], pa[1] - pb[1], pa[2] - pb[2]
        return math.sqrt((dx * dx + dy * dy) + dz * dz)

    tris, rows = [], {}
    for number, (i, j, k, l), _ in case.elements:
        assert 1 <= number <= e and all(1 <= v <= n for v in (i, j, k, l))
        if k == l:
            tris.append([i, j, k])
            rows[number] = (len(tris), len(tris))
            continue
        if dist(j, l) <= dist(i, k):
            tris += [[i, j, l], [j, k, l]]
        else:
            tris += [[i, j, k], [i, k, l]]
        rows[number] = (len(tris) - 1, len(tris))
    cells = [[v - n for v in corners] for corners in case.cells]
    assert all(1 <= v <= p for cell in cells for v in cell)

    # Potentials: a record for node m, then at most two more records for the
    # same node directly after it, which are passed over.
    potential = {}
    conds = case.conditions
    k = 0
    while k < len(conds):
        if conds[k][0] != "D":
            k += 1
            continue
        node = conds[k][1]
        potential[node] = d_value(conds[k][2])
        k += 1
        for _ in range(2):
            if k < len(conds) and conds[k][0] == "D" and conds[k][1] == node:
                k += 1
    kinds = [2] * len(tris)
    vals = [0.0] * len(tris)
    for t, nodes in enumerate(tris):
        if all(v in potential for v in nodes):
            kinds[t] = 1
            vals[t] = ((potential[nodes[0]] + potential[nodes[1]]) + potential[nodes[2]]) / 3.0
    for cond in conds:
        if cond[0] == "SFE":
            a, b, c, d = (float(t) for t in cond[2])
            q = (((a + b) + c) + d) * 0.25
            for t in rows[cond[1]]:
                kinds[t - 1], vals[t - 1] = 2, q

    model = [" A BEM Model for 3-D Potential Analysis," + " " * 16 + DATE,
             "".join(fmt_int(v, 8) for v in (len(tris), n, p, len(cells)))
             + "  ! No. of Boundary Elements, Nodes, Field Points and Cells",
             "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)"]
    model += free_form(["$ Nodes:"])
    for k, v in enumerate(xyz, start=1):
        model.append(fmt_int(k, 8) + "".join(fmt_real(c, 24, 15, "D") for c in v))
    model += free_form(["$ Elements and Boundary Conditions:"])
    for t, nodes in enumerate(tris, start=1):
        model.append(fmt_int(t, 10) + "   " + "".join(fmt_int(v, 8) for v in nodes) + "     "
                     + fmt_int(kinds[t - 1], 5) + "     " + fmt_real(vals[t - 1], 24, 15, "D"))
    model += free_form(["$ Field Points"])
    for k, v in enumerate(pxyz, start=1):
        model.append(fmt_int(k, 10) + "".join(fmt_real(c, 24, 9, "D") for c in v))
    model += free_form(["$ Field Cells"])
    for k, corners in enumerate(cells, start=1):
        model += free_form([k] + corners)
    model += free_form(["$ End of the File"])

    plot = free_form(['TITLE = "A BEM Model for a Potential Problem" '])
    plot += free_form(['ZONES" '])
    plot += free_form(['VARIABLES = "X", "Y", "Z"'])
    plot += free_form(['ZONE T="Model", N=', n, ", E=", len(tris),
                       "DATAPACKING=POINT, ZONETYPE=FETRIANGLE"])
    plot += ["".join(fmt_real(c, 15, 7, "E") for c in v) for v in xyz]
    plot += free_form([])
    plot += ["".join(fmt_int(v, 15) for v in nodes) for nodes in tris]
    if p:
        plot += free_form(['ZONE T="Field Points", N=', p, ", E=", len(cells),
                           "DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL"])
        plot += ["".join(fmt_real(c, 15, 7, "E") for c in v) for v in pxyz]
        plot += free_form([])
        plot += ["".join(fmt_int(v, 15) for v in corners) for corners in cells]
    console += free_form([" Data Translation from ANSYS to BEM is done!"])
    return crlf(model), crlf(plot), crlf(console)


def d_value(text):
    """A potential value field: a sign directly after the digits is an exponent."""
    t = text.strip()
    for k in range(1, len(t)):
        if t[k] in "+-" and t[k - 1] not in "eEdD":
            t = t[:k] + "e" + t[k:]
            break
    return float(t.replace("D", "e").replace("d", "e"))


# ---------------------------------------------------------------- the cases


def grid(case, nx, ny, f):
    """Nodes of an nx by ny grid, x fastest; returns their positions."""
    ids = {}
    for j in range(ny):
        for i in range(nx):
            x, y, z = f(i, j)
            ids[i, j] = case.node(x, y, z)
    return ids


def quads(ids, nx, ny):
    return [[ids[i, j], ids[i + 1, j], ids[i + 1, j + 1], ids[i, j + 1]]
            for j in range(ny - 1) for i in range(nx - 1)]


def field_grid(case, n, nx, ny, f):
    """Field points N+1 onwards and the cells over them."""
    base = len(case.points)
    for j in range(ny):
        for i in range(nx):
            case.point(*f(i, j))
    for j in range(ny - 1):
        for i in range(nx - 1):
            a = n + base + j * nx + i + 1
            case.cells.append([a, a + 1, a + 1 + nx, a + nx])


def ranges(case):
    n, e = len(case.nodes), len(case.elements)
    p, c = len(case.points), len(case.cells)
    case.field_components = ((e + 1, -(e + c)), (n + 1, -(n + p)))


def layout1_fields_lf():
    c = Case("layout1-fields-lf", 1, "(19i8)")
    ids = grid(c, 4, 3, lambda i, j: (0.37 * i, 0.5 * j + 0.011 * i, 0.1 * i * j))
    # Fields the archive writes in other forms: implied decimals, blanks, a short record.
    c.nodes[1] = (2, [Raw("      1500000000", 1.5), Raw("                ", 0.0), 0.25])
    c.nodes[5] = (6, [0.37, 0.511, Raw("                ", 0.0)])
    q = quads(ids, 4, 3)
    c.element(1, q[0])
    c.element(2, q[1], pad=True)
    c.element(3, [q[2][0], q[2][1], q[2][2]], split_after=12)
    c.element(4, [q[2][0], q[2][2], q[2][3]])
    c.element(5, q[3])
    c.element(6, q[4], split_after=5)
    c.element(7, q[5])
    field_grid(c, 12, 3, 2, lambda i, j: (0.5 * i, 0.25 + 0.5 * j, -1.0))
    ranges(c)
    c.potential(1, "10.0000000")
    c.potential(2, "20.0000000")
    c.potential(5, "-5.50000000")
    c.potential(6, "7.25000000")
    c.potential(12, "1.00000000")
    c.flux(7, ["-32.0000000", "-17.8000000", "43.4963400", "21.9980000"])
    c.flux(3, ["0.100000000", "11.8143000", "-9.41975000", "9.00000000"], split=2)
    return c


def layout2_groups_crlf():
    c = Case("layout2-groups-crlf", 2, "(19i9)", newline="\r\n")
    ids = grid(c, 4, 4, lambda i, j: (i / 3.0, j / 7.0, (i - j) / 11.0))
    c.nodes[6] = (70, c.nodes[6][1])
    q = quads(ids, 4, 4)
    for number, corners in zip([9, 4, 1, 7, 2, 8, 3, 6, 5], q):
        c.element(number, corners)
    c.extra_components = True
    # Groups of records for one node: the two after the first are passed over.
    c.potential(1, "1.00000000", "TEMP")
    c.potential(1, "99.0000000", "VOLT")
    c.potential(1, "98.0000000", "MAG ")
    c.potential(2, "2.00000000")
    c.potential(2, "97.0000000", "VOLT")
    c.potential(5, "3.00000000")
    c.potential(6, "4.50000000")
    c.potential(6, "96.0000000", "VOLT")
    c.potential(6, "95.0000000", "MAG ")
    c.potential(6, "8.00000000", "TEMP")  # a fourth record is read again
    c.potential(3, "1.5E+01")
    c.potential(7, "0.333333333")
    c.potential(4, "100")
    c.potential(8, "-2.5")
    # Element 4 is quad 2 (nodes 2 3 7 6), fully prescribed: its flux record wins.
    c.flux(4, ["1", "2", "3", "6"])
    c.flux(6, ["0.1", "0.2", "0.3", "0.4"], split=1)
    return c


def layout3_points_no_cells_noeol():
    c = Case("layout3-points-no-cells-noeol", 3, "(19i10)", newline="\r\n", final_newline=False)
    ids = grid(c, 5, 3, lambda i, j: (1.0 + 0.2 * i, 2.0 - 0.3 * j, 1e-3 * (i + j)))
    c.nodes[3] = (3, c.nodes[3][1])
    c.nodes[11] = (120000000, c.nodes[11][1])
    q = quads(ids, 5, 3)
    for k, corners in enumerate(q):
        c.element(8 - k, corners)
    for i in range(4):
        c.point(10.0 + i, -1.0, 0.5 * i, number=(99 if i == 2 else None))
    # An empty field-cell range keeps P and gives C = 0.
    n, e = len(c.nodes), len(c.elements)
    c.field_components = ((e + 1, -e), (n + 1, -(n + 4)))
    c.flux(7, ["1.00000000", "1.00000000", "1.00000000", "2.00000000"])
    c.flux(3, ["-4.00000000", "0.00000000", "4.00000000", "1.00000000"], split=3)
    c.potential(1, "5.00000000")
    c.potential(2, "5.00000000")
    c.potential(6, "6.00000000")
    c.potential(7, "6.00000000")
    return c


def layout4_extremes_lf():
    c = Case("layout4-extremes-lf", 4, "(19i8)")
    values = [
        (0.0, -0.0, 1.0),
        (2.0 ** -11, 12345678.0, -1.0e150),
        (9.99999999999995e98, 1.0e-101, -9.9999999999999e-100),
        (0.1, -0.3, 1.0 / 3.0),
        (123456.789012345, -98765.4321098765, 5e-5),
        (1.0e99, -1.0e100, 0.99999995),
    ]
    for v in values:
        c.node(*v)
    c.element(1, [1, 2, 3])
    c.element(2, [3, 4, 5])
    c.element(3, [1, 5, 6])
    for v in [(1.0, 2.0, 3.0), (-1.0, 2.0, 3.0), (-1.0, -2.0, 3.0), (1.0, -2.0, 3.0)]:
        c.point(*v)
    c.cells.append([7, 8, 9, 10])
    ranges(c)
    return c


def quad_diagonals_lf_noeol():
    c = Case("quad-diagonals-lf-noeol", 2, "(19i9)", final_newline=False)
    pts = [
        (0.0, 0.0, 0.0), (1.0, 0.0, 0.0), (1.0, 2.0, 0.0), (0.0, 2.0, 0.0),  # rectangle: a tie
        (3.0, 0.0, 0.0), (4.0, 0.0, 0.0), (4.0, 1.0, 0.0), (3.0, 2.0, 0.0),  # I-K shorter
        (6.0, 0.0, 0.0), (7.0, 0.0, 0.0), (6.5, 0.5, 0.0), (6.0, 3.0, 0.0),  # J-L shorter
        (0.0, 5.0, 0.0), (1.0, 5.0, 1.0), (1.0, 6.0, 0.0), (0.0, 6.0, 1.0),  # not plane
        (0.1, 8.0, 0.0), (1.3, 8.0, 0.0), (1.3, 9.1, 0.0), (0.1, 9.1, 0.0),  # tie in decimals
        (0.0, 11.0, 0.0), (0.45, 11.05, 0.0), (0.3, 11.4, 0.0), (-0.05, 11.05, 0.0),  # 0.5 each
    ]
    for p in pts:
        c.node(*p)
    for k in range(6):
        b = 4 * k
        c.element(k + 1, [b + 1, b + 2, b + 3, b + 4])
    c.element(7, [2, 5, 8, 3])
    c.element(8, [6, 9, 12, 7])
    for e in range(2, 9):
        c.flux(e, ["%d.5" % e, "-%d.25" % e, "0.125", "%d" % (e * e)])
    c.potential(1, "1.0")
    c.potential(2, "2.0")
    c.potential(4, "4.0")
    return c


def potential_rules_lf():
    c = Case("potential-rules-lf", 1, "(19i10)")
    ids = grid(c, 4, 2, lambda i, j: (float(i), float(j), 0.0))
    for number, corners in enumerate(quads(ids, 4, 2), start=1):
        c.element(number, corners)
    c.element(4, [1, 2, 6])
    c.element(5, [3, 4, 8])
    # Values whose sums depend on the order of the additions.
    for x in (4.0, 5.0, 4.5):
        c.node(x, 2.0, 0.0)
    c.element(6, [9, 10, 11])
    c.element(7, [9, 11, 10])
    c.potential(9, "1.0E+16")
    c.potential(10, "-1.0E+16")
    c.potential(11, "1.0")
    c.flux(7, ["1.0E+16", "1", "-1.0E+16", "1"])
    c.conditions.append(("text", "CMBLOCK,WALL,NODE,       3  ! users node component definition"))
    c.potential(1, "1.0")
    c.potential(1, "50.0", "VOLT")
    c.potential(1, "51.0", "MAG ")
    c.potential(1, "52.0", "TEMP")  # read: the group of three ended
    c.potential(2, "2.0")
    c.potential(6, "4.0")
    c.potential(5, "7.0")
    c.potential(2, "100")  # a later record replaces an earlier one
    c.potential(3, "0.25-1")  # a sign after the digits starts the exponent
    c.potential(4, "-1.0E+00")
    c.flux(5, ["2", "2", "2", "2"])
    c.potential(7, "3.5")  # still before the end, after a flux record
    c.potential(5, "0.000123456789")
    return c


def triangles_only_crlf():
    c = Case("triangles-only-crlf", 3, "(19i8)", newline="\r\n")
    ids = grid(c, 3, 3, lambda i, j: (0.5 * i, 0.5 * j, 0.25 * i * j))
    number = 0
    for a, b, cc, d in quads(ids, 3, 3):
        number += 1
        c.element(number, [a, b, cc])
        number += 1
        c.element(number, [a, cc, d])
    field_grid(c, 9, 2, 3, lambda i, j: (0.1 + i, 0.2 + j, 5.0))
    ranges(c)
    for node in (1, 2, 4, 5):
        c.potential(node, "%d.0" % (node * 3))
    c.flux(2, ["1.0", "1.0", "1.0", "1.0"])
    c.flux(8, ["0.5", "0.5", "0.5", "0.25"], split=2)
    return c


def field_only_lf():
    c = Case("field-only-lf", 1, "(19i8)")
    field_grid(c, 0, 3, 3, lambda i, j: (float(i), float(j), 0.0))
    ranges(c)
    return c


def closed_cube_crlf():
    c = Case("closed-cube-crlf", 4, "(19i9)", newline="\r\n")
    ids = {}
    for z in range(3):
        for y in range(3):
            for x in range(3):
                if 0 < x < 2 and 0 < y < 2 and 0 < z < 2:
                    continue
                ids[x, y, z] = c.node(0.5 * x - 0.5, 0.5 * y - 0.5, 0.5 * z - 0.5)
    faces = []
    for a in range(2):
        for b in range(2):
            faces.append([ids[a, b, 0], ids[a, b + 1, 0], ids[a + 1, b + 1, 0], ids[a + 1, b, 0]])
            faces.append([ids[a, b, 2], ids[a + 1, b, 2], ids[a + 1, b + 1, 2], ids[a, b + 1, 2]])
            faces.append([ids[a, 0, b], ids[a + 1, 0, b], ids[a + 1, 0, b + 1], ids[a, 0, b + 1]])
            faces.append([ids[a, 2, b], ids[a, 2, b + 1], ids[a + 1, 2, b + 1], ids[a + 1, 2, b]])
            faces.append([ids[0, a, b], ids[0, a, b + 1], ids[0, a + 1, b + 1], ids[0, a + 1, b]])
            faces.append([ids[2, a, b], ids[2, a + 1, b], ids[2, a + 1, b + 1], ids[2, a, b + 1]])
    for number, corners in enumerate(faces, start=1):
        c.element(number, corners)
    for (x, y, z), node in sorted(ids.items(), key=lambda kv: kv[1]):
        if z == 0:
            c.potential(node, "%.9f" % (1.0 + 0.1 * x + 0.01 * y))
    for number in range(2, 25, 6):
        c.flux(number, ["-1.0", "-1.0", "-1.0", "-1.0"])
    field_grid(c, len(c.nodes), 3, 2, lambda i, j: (-0.25 + 0.25 * i, 0.0, -0.25 + 0.5 * j))
    ranges(c)
    return c


CASES = [layout1_fields_lf, layout2_groups_crlf, layout3_points_no_cells_noeol,
         layout4_extremes_lf, quad_diagonals_lf_noeol, potential_rules_lf,
         triangles_only_crlf, field_only_lf, closed_cube_crlf]


def case_files(case):
    recs, values = archive_records(case)
    archive = case.newline.join(recs) + (case.newline if case.final_newline else "")
    model, plot, console = translate(case, values)
    return {
        "ANSYS_Model.cdb": archive,
        "input.dat": model,
        "input.plt": plot,
        "stdout.txt": console,
        "stderr-first-line.txt": "",
        "status.txt": "0\n",
    }


def main():
    check = "--check" in sys.argv[1:]
    differ = []
    for make in CASES:
        case = make()
        folder = os.path.join(HERE, case.name)
        for name, text in case_files(case).items():
            path = os.path.join(folder, name)
            data = text.encode("ascii")
            if check:
                try:
                    with open(path, "rb") as f:
                        same = f.read() == data
                except OSError:
                    same = False
                if not same:
                    differ.append(os.path.relpath(path, HERE))
                continue
            os.makedirs(folder, exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if differ:
        print("generated golden files differ from the script:", *differ, sep="\n  ")
        return 1
    print("%d generated golden cases %s" % (len(CASES), "match" if check else "written"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
