#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test (x86 and x64 trees).
# Leaves no Wine or Xvfb process behind.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

stop_wine() {
  for preset in x86 x64; do
    [ -d "build/$preset" ] && cmake/wine-run.sh "build/$preset" --stop
  done
}
trap stop_wine EXIT

bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1

status=0
for preset in x86 x64; do
  echo "== tests: $preset =="
  (cd "$root" && ctest --preset "$preset") || status=1
done
exit $status
