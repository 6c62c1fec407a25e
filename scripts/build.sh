#!/usr/bin/env bash
# Configures and builds both Windows targets (build/x86, build/x64).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in x86 x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
