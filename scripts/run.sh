#!/usr/bin/env bash
# Sets up, builds and starts Pinlark (on the simulated port when the machine
# has no parallel port).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/lptprobe
