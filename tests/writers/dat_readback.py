#!/usr/bin/env python3
"""Reads back input.dat by the solver's fixed columns and checks it against
the model that the archive describes.

  dat_readback.py CDBBEM ARCHIVE...

For each archive: runs cdbbem on a copy in a fresh directory, then checks
the counts, every node (number by position, coordinates equal to the
archive's values rounded to 15 significant digits), every triangle (nodes,
kind, value rounded to 15 digits), field points (9 digits) and field cells.
"""

import os
import re
import sys
from decimal import Decimal

from readback import expect, rounded, run_checks

TITLE = " A BEM Model for 3-D Potential Analysis,"
COUNTS = "  ! No. of Boundary Elements, Nodes, Field Points and Cells"
CONSTANTS = "   1.0D0    0.0D0                 ! alpha, beta (For dual BIE formulation)"
MONTHS = "JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC"


def cols(rec, first, last):
    return rec[first - 1:last]


def integer(text):
    expect(re.fullmatch(r" *-?\d+", text) is not None, "not an integer field: %r" % text)
    return int(text)


def d_field(text, digits):
    """A Dw.d field: 0.x...x with `digits` digits, exponent Dsnn or snnn."""
    m = re.fullmatch(r" *(-?)0\.(\d{%d})(?:D([+-]\d\d)|([+-]\d\d\d))" % digits, text)
    expect(m is not None, "not a D field of %d digits: %r" % (digits, text))
    sign, frac, e1, e2 = m.groups()
    return sign, Decimal(sign + "0." + frac).scaleb(int(e1 or e2))


def check_value(text, value, digits, what):
    sign, got = d_field(text, digits)
    want = rounded(value, digits)
    expect(got == want, "%s: %r is not %s" % (what, text, want))
    expect(not (value == 0 and sign), "%s: zero written with a sign: %r" % (what, text))


def check(m, work):
    with open(os.path.join(work, "input.dat"), "rb") as f:
        data = f.read().decode("ascii")
    expect(data.endswith("\r\n"), "last record has no CR LF")
    recs = data[:-2].split("\r\n")
    expect(all("\n" not in r and "\r" not in r for r in recs), "a record is not ended by CR LF")
    t = len(m.triangles)
    expected_count = 3 + 1 + m.n + 1 + t + 1 + m.p + 1 + m.c + 1
    expect(len(recs) == expected_count, "%d records, expected %d" % (len(recs), expected_count))

    expect(re.fullmatch(re.escape(TITLE) + " {16}\\d\\d-(%s)-\\d\\d" % MONTHS, recs[0]) is not None,
           "title record %r" % recs[0])
    counts = [integer(cols(recs[1], k, k + 7)) for k in (1, 9, 17, 25)]
    expect(counts == [t, m.n, m.p, m.c], "counts %s, expected %s" % (counts, [t, m.n, m.p, m.c]))
    expect(recs[1][32:] == COUNTS, "counts literal %r" % recs[1][32:])
    expect(recs[2] == CONSTANTS, "constants record %r" % recs[2])

    at = 3
    expect(recs[at] == " $ Nodes:", "nodes marker %r" % recs[at])
    for n in range(1, m.n + 1):
        rec = recs[at + n]
        expect(len(rec) == 80, "node %d: record of %d characters" % (n, len(rec)))
        expect(integer(cols(rec, 1, 8)) == n, "node %d: number %r" % (n, cols(rec, 1, 8)))
        for k, first in enumerate((9, 33, 57)):
            check_value(cols(rec, first, first + 23), m.xyz[n - 1][k], 15, "node %d" % n)
    at += m.n + 1

    expect(recs[at] == " $ Elements and Boundary Conditions:", "elements marker %r" % recs[at])
    kinds = {1: 0, 2: 0}
    for k in range(1, t + 1):
        rec = recs[at + k]
        expect(len(rec) == 76, "triangle %d: record of %d characters" % (k, len(rec)))
        expect(integer(cols(rec, 1, 10)) == k, "triangle %d: number %r" % (k, cols(rec, 1, 10)))
        blanks = cols(rec, 11, 13) + cols(rec, 38, 42) + cols(rec, 48, 52)
        expect(blanks.strip() == "", "triangle %d: text between fields" % k)
        nodes = [integer(cols(rec, c, c + 7)) for c in (14, 22, 30)]
        expect(nodes == m.triangles[k - 1],
               "triangle %d: nodes %s, expected %s" % (k, nodes, m.triangles[k - 1]))
        kind = integer(cols(rec, 43, 47))
        expect(kind == m.kinds[k - 1], "triangle %d: kind %d, expected %d" % (k, kind, m.kinds[k - 1]))
        kinds[kind] += 1
        check_value(cols(rec, 53, 76), m.values[k - 1], 15, "triangle %d value" % k)
    at += t + 1

    expect(recs[at] == " $ Field Points", "field points marker %r" % recs[at])
    for p in range(1, m.p + 1):
        rec = recs[at + p]
        expect(len(rec) == 82, "field point %d: record of %d characters" % (p, len(rec)))
        expect(integer(cols(rec, 1, 10)) == p, "field point %d: number" % p)
        for k, first in enumerate((11, 35, 59)):
            check_value(cols(rec, first, first + 23), m.pxyz[p - 1][k], 9, "field point %d" % p)
    at += m.p + 1

    expect(recs[at] == " $ Field Cells", "field cells marker %r" % recs[at])
    for c in range(1, m.c + 1):
        rec = recs[at + c]
        values = [int(v) for v in rec.split()]
        expect(values == [c] + m.cells[c - 1], "field cell %d: %r" % (c, rec))
        expect(len(rec) == 60, "field cell %d: record of %d characters" % (c, len(rec)))
    at += m.c + 1
    expect(recs[at] == " $ End of the File", "end marker %r" % recs[at])
    return "N=%d T=%d (%d potential, %d flux) P=%d C=%d" % (m.n, t, kinds[1], kinds[2], m.p, m.c)


if __name__ == "__main__":
    sys.exit(run_checks(sys.argv, check))
