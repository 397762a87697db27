#!/usr/bin/env bash
# Builds the two packages into build/packages/:
#   cdbbem_<version>_amd64.deb                 (Debian: program, manual page, licence)
#   cdbbem-<version>-windows-x86_64.zip        (cdbbem.exe, README, licence)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh dpkg-dev g++-mingw-w64-x86-64-posix googletest
cmake --preset package >/dev/null
cmake --build --preset package -j2
cpack --preset deb
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target cdbbem
cpack --preset windows
ls -l build/packages/*.deb build/packages/*.zip
