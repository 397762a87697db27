"""Shared parts of the read-back checks: running cdbbem on an archive, and a
reading of the archive of its own that gives the model the outputs must hold.

The archive reading follows the archive's conventions directly (fixed node
columns by the declared layout, free-form element and flux records, "D,"
and "SFE," records) and is kept separate from the translator's code.
"""

import math
import os
import re
import shutil
import subprocess
import tempfile
from decimal import Decimal

SMALLEST_NORMAL = 2.2250738585072014e-308


class CheckError(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckError(message)


def run_translator(exe, archive, work, args=()):
    """Runs cdbbem with `args` on a copy of `archive` in the directory `work`."""
    shutil.copyfile(archive, os.path.join(work, "ANSYS_Model.cdb"))
    done = subprocess.run([exe, *args], cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120)
    expect(done.returncode == 0, "cdbbem exited with %d: %r" % (done.returncode, done.stderr[:200]))


def records(path):
    """The records of a text file: LF ends a record, one CR before it is
    dropped, a last line without LF is a record, a line of only SUB ends it."""
    with open(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    out = []
    for line in lines:
        if line.endswith(b"\r"):
            line = line[:-1]
        if line == b"\x1a":
            break
        out.append(line.decode("latin-1"))
    return out


def padded(rec, first, last):
    return rec[first - 1:last].ljust(last - first + 1)


# -------------------------------------------------------------- number fields

REAL = re.compile(r"^([+-]?)(\d*)(?:\.(\d*))?(?:[EeDdQq]([+-]?\d+)|([+-]\d+))?$")


def real_text(text, implied):
    """A real number's text: optional sign, digits with at most one point,
    exponent by letter or by a sign after the digits.  Without a point the
    last `implied` digits are the fraction."""
    m = REAL.match(text)
    expect(m is not None and (m.group(2) or m.group(3)), "not a real number: %r" % text)
    sign, whole, frac, exp1, exp2 = m.groups()
    exp = int(exp1 or exp2 or 0)
    if frac is None:
        digits, scale = whole, implied
    else:
        digits, scale = whole + frac, len(frac)
    value = Decimal(sign + (digits or "0")).scaleb(exp - scale)
    return float(value) if value != 0 else (-0.0 if sign == "-" else 0.0)


def int_field(text):
    s = text.replace(" ", "")
    return int(s) if s not in ("", "+", "-") else 0


def real_field(text, implied):
    s = text.replace(" ", "")
    return real_text(s, implied) if s else 0.0


def text_to_double(text):
    s = text.rstrip()
    if not s:
        return 0.0
    return real_text(s.lstrip().replace(" ", "0"), 0)


class FreeForm:
    """Free-form reads: each read starts on a new record."""

    def __init__(self, recs, at):
        self.recs, self.at = recs, at

    def read(self, count, convert):
        values = []
        while len(values) < count:
            expect(self.at < len(self.recs), "archive ends inside a free-form read")
            tokens = [t for t in re.split(r"[\s,]+", self.recs[self.at]) if t]
            self.at += 1
            values += [convert(t) for t in tokens[:count - len(values)]]
        return values


# -------------------------------------------------------------- the model

NODE_LAYOUTS = [
    ("(3i8,6e16.9) ", 8, 16, 9),
    ("(3i8,6e20.13)", 8, 20, 13),
    ("(3i9,6e20.13)", 9, 20, 13),
    ("(3i9,6e21.13e", 9, 21, 13),
]


def daz(x):
    """The run's arithmetic takes subnormal operands and results as zero."""
    return math.copysign(0.0, x) if x != 0 and abs(x) < SMALLEST_NORMAL else x


class Model:
    """What the outputs must hold: counts, coordinates by position, triangles
    with kind and value, field cells counted among the field points, the
    nodes' potentials and each element number's triangles."""


def fixed_fields(rec, widths):
    """Fields of the given widths from column 1; a comma ends a numeric field."""
    fields, pos = [], 0
    for w in widths:
        text = rec[pos:pos + w].ljust(w)
        comma = text.find(",")
        if comma >= 0:
            text, pos = text[:comma], pos + comma + 1
        else:
            pos += w
        fields.append(text)
    return fields


def read_model(path):
    recs = records(path)
    m = Model()
    # Counts: the two records after the offset section's *ELSE, then the
    # field-cell and field-point component ranges.
    at = next(k for k, r in enumerate(recs) if r[:5] == "*ELSE")
    total_nodes = int_field(padded(recs[at + 1], 13, 21))
    total_elements = int_field(padded(recs[at + 2], 13, 21))
    at += 3
    cells = points = 0
    found_points = False
    while padded(recs[at], 1, 18) != "CMBLOCK,FIELDCELLS" and recs[at][:18].rstrip() != "FINISH":
        at += 1
    if recs[at][:18] == "CMBLOCK,FIELDCELLS":
        reader = FreeForm(recs, at + 2)
        first, last = reader.read(2, int)
        cells = -last - first + 1
        at = reader.at
        while recs[at][:19] != "CMBLOCK,FIELDPOINTS" and recs[at][:19].rstrip() != "FINISH":
            at += 1
        if recs[at][:19] == "CMBLOCK,FIELDPOINTS":
            first, last = FreeForm(recs, at + 2).read(2, int)
            points = -last - first + 1
            found_points = True
    # Counts are reduced only when both components were found.
    m.p, m.c = points, cells
    m.n = total_nodes - points if found_points else total_nodes
    m.e = total_elements - cells if found_points else total_elements
    ends = next(k for k, r in enumerate(recs) if r[:4] == "FINI")
    has_potentials = any(r[:2] == "D," for r in recs[:ends])
    has_fluxes = any(r[:4] == "SFE," for r in recs[:ends])

    # Node block.
    at = 0
    while True:
        head = padded(recs[at], 1, 13)
        found = [k for k, lay in enumerate(NODE_LAYOUTS) if lay[0] == head]
        at += 1
        if found:
            break
    m.layout = found[0] + 1
    _, iw, rw, d = NODE_LAYOUTS[found[0]]
    m.numbers, xyz = [], []
    for rec in recs[at:at + m.n + m.p]:
        f = fixed_fields(rec, [iw] * 3 + [rw] * 3)
        m.numbers.append(int_field(f[0]))
        xyz.append([real_field(t, d) for t in f[3:]])
    m.xyz, m.pxyz = xyz[:m.n], xyz[m.n:]
    at += m.n + m.p

    # Element block.
    while not (recs[at][:6] in ("(19i8)", "(19i9)") or recs[at][:7] == "(19i10)"):
        at += 1
    reader = FreeForm(recs, at + 1)

    def length(a, b):
        pa, pb = m.xyz[a - 1], m.xyz[b - 1]
        dx, dy, dz = (daz(daz(u) - daz(v)) for u, v in zip(pa, pb))
        return math.sqrt(daz(daz(daz(dx * dx) + daz(dy * dy)) + daz(dz * dz)))

    m.triangles, rows = [], {}
    for _ in range(m.e):
        v = reader.read(15, int)
        number, (i, j, k, l) = v[10], v[11:15]
        expect(1 <= number <= m.e and all(1 <= x <= m.n for x in (i, j, k, l)),
               "element record outside the model's numbering")
        if k == l:
            m.triangles.append([i, j, k])
            rows[number] = [len(m.triangles)] * 2
            continue
        if length(j, l) <= length(i, k):
            m.triangles += [[i, j, l], [j, k, l]]
        else:
            m.triangles += [[i, j, k], [i, k, l]]
        rows[number] = [len(m.triangles) - 1, len(m.triangles)]
    m.cells = [[x - m.n for x in reader.read(15, int)[11:15]] for _ in range(m.c)]
    at = reader.at

    # Conditions: nodal potentials after the last field cell, up to a record
    # beginning "FI"; a record for node n may be followed by two more for the
    # same node, which are passed over.
    potential = {}
    while has_potentials and recs[at][:2] != "FI":
        rec = recs[at]
        at += 1
        if rec[:2] != "D,":
            continue
        node = int_field(padded(rec, 3, 9))
        potential[node] = text_to_double(padded(rec, 16, 31))
        for _ in range(2):
            nxt = recs[at]
            if nxt[:2] == "D," and re.fullmatch(r" *[+-]?\d+ *", padded(nxt, 3, 9)) \
                    and int_field(padded(nxt, 3, 9)) == node:
                at += 1
            else:
                break
    m.potential, m.rows = potential, rows
    m.kinds = [2] * len(m.triangles)
    m.values = [0.0] * len(m.triangles)
    for t, nodes in enumerate(m.triangles):
        if all(x in potential for x in nodes):
            a, b, c = (daz(potential[x]) for x in nodes)
            m.kinds[t] = 1
            m.values[t] = daz(daz(daz(a + b) + c) / 3.0)
    at = 0
    while has_fluxes and recs[at][:4] != "FINI":
        rec = recs[at]
        at += 1
        if rec[:4] != "SFE,":
            continue
        e = int_field(padded(rec, 5, 12) if m.layout <= 2 else padded(rec, 6, 13))
        reader = FreeForm(recs, at)
        a, b, c, dd = (daz(x) for x in reader.read(4, lambda t: real_text(t, 0)))
        at = reader.at
        q = daz(daz(daz(daz(a + b) + c) + dd) * 0.25)
        for t in rows[e]:
            m.kinds[t - 1], m.values[t - 1] = 2, q
    return m


def rounded(value, digits):
    """The exact decimal that `value` becomes with `digits` significant digits."""
    return Decimal("%.*e" % (digits - 1, value))


def run_checks(argv, check, args=()):
    """Runs cdbbem with `args`, then `check(model, work_dir)`, on each
    archive named on the command line after the executable; prints one line
    per archive."""
    exe, archives = os.path.abspath(argv[1]), argv[2:]
    expect(archives, "no archive given")
    failed = 0
    for archive in archives:
        name = os.path.relpath(archive)
        with tempfile.TemporaryDirectory() as work:
            try:
                run_translator(exe, archive, work, args)
                summary = check(read_model(archive), work)
                print("ok   %s: %s" % (name, summary))
            except (CheckError, OSError, subprocess.SubprocessError) as error:
                failed += 1
                print("FAIL %s: %s" % (name, error))
    print("%d passed, %d failed" % (len(archives) - failed, failed))
    return 1 if failed else 0
