#!/usr/bin/env bash
# Builds cdbbem (release) and translates the example archive in examples/.
# The two output files are written to build/example/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target cdbbem
mkdir -p build/example
cp examples/ANSYS_Model.cdb build/example/
cd build/example
status=0
../release/src/cdbbem || status=$?
if [ $status -eq 0 ]; then
  echo "Wrote $(pwd)/input.dat and $(pwd)/input.plt"
fi
exit $status
