#!/usr/bin/env bash
# Cross-builds cdbbem.exe and the record-engine tests for 64-bit Windows
# (MinGW-w64, warnings are errors) and runs the end-to-end tables under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 googletest
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
bash tests/windows/run_wine.sh build/windows
