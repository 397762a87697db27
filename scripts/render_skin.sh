#!/usr/bin/env bash
# Builds cdbbem (release), reads the solid example archive in examples/solid/
# with --any --vtk in build/solid-example/ and renders the skin's input.vtu
# with ParaView, coloured by bc_value, into docs/solid-skin.png.  Debian's
# pvbatch draws through X even when rendering off screen, so it runs under
# xvfb-run when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh paraview python3-paraview xvfb xauth
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target cdbbem
mkdir -p build/solid-example
cp examples/solid/ANSYS_Model.cdb build/solid-example/
build/release/src/cdbbem --any --vtk build/solid-example >/dev/null
run=()
[ -n "${DISPLAY:-}" ] || run=(xvfb-run -a)
"${run[@]}" pvbatch --force-offscreen-rendering scripts/render_skin.py \
  build/solid-example/input.vtu docs/solid-skin.png
echo "Wrote docs/solid-skin.png"
