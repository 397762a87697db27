#!/usr/bin/env bash
# Builds cdbbem and its tests (warnings are errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh gfortran python3-vtk9
cmake --preset ci >/dev/null
cmake --build --preset ci -j2
ctest --preset ci -j2
