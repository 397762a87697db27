#!/usr/bin/env bash
# Builds cdbbem (release), writes input.vtu for the example archive in
# build/example/ and renders it, coloured by bc_kind, into
# docs/example-bc-kind.png (VTK off screen, under xvfb-run when there is no
# display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh python3-vtk9 xvfb xauth
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target cdbbem
mkdir -p build/example
cp examples/ANSYS_Model.cdb build/example/
build/release/src/cdbbem --vtk build/example >/dev/null
run=()
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a)
"${run[@]}" /usr/bin/python3 scripts/render_model.py build/example/input.vtu \
  docs/example-bc-kind.png bc_kind
echo "Wrote docs/example-bc-kind.png"
