#!/usr/bin/env python3
"""Runs cdbbem --check on one case and compares what it reports.

  run_check.py CDBBEM CASE_DIR

CASE_DIR holds ANSYS_Model.cdb and check.json, the figures and exit status
that `cdbbem --check --json` must give: counts and yes/no figures equal,
`area` to a relative 1e-9, `volume` to 1e-9 of the sum of the absolute
values of its terms (the order of the sum is free).  When CASE_DIR also
holds report.txt, `cdbbem --check` must write it exactly (the run
directory written as <DIR>).  Neither run may create input.dat or
input.plt.
"""

import json
import math
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "writers"))
from readback import read_model  # noqa: E402


def volume_scale(archive):
    """The sum of |a.(b x c)|/6 over the triangles, from the archive."""
    m = read_model(archive)
    total = 0.0
    for tri in m.triangles:
        a, b, c = (m.xyz[n - 1] for n in tri)
        bc = (b[1] * c[2] - b[2] * c[1], b[2] * c[0] - b[0] * c[2], b[0] * c[1] - b[1] * c[0])
        total += abs(sum(x * y for x, y in zip(a, bc))) / 6
    return total


def run(exe, work, args):
    done = subprocess.run([exe, *args], cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=120)
    return done.returncode, done.stdout.decode("latin-1")


def compare(want, got, status, scale):
    errors = []
    for key, value in want.items():
        have = status if key == "status" else got.get(key)
        if key == "area":
            ok = have is not None and abs(have - value) <= 1e-9 * abs(value)
        elif key == "volume":
            ok = have is not None and abs(have - value) <= 1e-9 * scale
        else:
            ok = have == value and type(have) is type(value)
        if not ok:
            errors.append("%s: %r, expected %r" % (key, have, value))
    extra = set(got) - set(want)
    if extra:
        errors.append("keys not expected: %s" % sorted(extra))
    return errors


def main():
    exe, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    archive = os.path.join(case, "ANSYS_Model.cdb")
    with open(os.path.join(case, "check.json")) as f:
        want = json.load(f)
    errors = []
    with tempfile.TemporaryDirectory() as work:
        shutil.copyfile(archive, os.path.join(work, "ANSYS_Model.cdb"))
        status, out = run(exe, work, ["--check", "--json"])
        errors += compare(want, json.loads(out), status, volume_scale(archive))
        report = os.path.join(case, "report.txt")
        if os.path.exists(report):
            with open(report, "rb") as f:
                expected = f.read().decode("latin-1")
            status, out = run(exe, work, ["--check"])
            out = out.replace(work, "<DIR>")
            if out != expected or status != want["status"]:
                errors.append("human report (status %d) differs:\n%s" % (status, out))
        for name in ("input.dat", "input.plt"):
            if os.path.exists(os.path.join(work, name)):
                errors.append("%s was created" % name)
    for e in errors:
        print("FAIL %s: %s" % (os.path.basename(case), e))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
