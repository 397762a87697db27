#!/usr/bin/env bash
# Cross-builds cdbbem.exe and the record-engine tests for 64-bit Windows
# (MinGW-w64, warnings are errors) and runs the end-to-end tables under Wine.
# The bad-archive table comes from a program of the Linux (ci) build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 googletest
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
cmake --preset ci >/dev/null
cmake --build --preset ci -j2 --target export_bad_archives
bash tests/windows/run_wine.sh build/windows build/ci/tests/run/export_bad_archives
