#!/usr/bin/env bash
# Builds both targets and runs the benchmarks under Wine; prints each figure, its ratio and its
# goal. Exits non-zero when a goal is missed. Benchmarks run on the x86 build where this machine
# can run 32-bit programs, on the x64 build otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh || exit 1
bash scripts/build.sh >/dev/null || { echo "bench: build failed"; exit 1; }

tree=$root/build/x64
loader=/usr/lib/wine/wine64
if /usr/lib/wine/wine --version >/dev/null 2>&1; then tree=$root/build/x86; loader=/usr/lib/wine/wine; fi
bench=$root/build/bench
mkdir -p "$bench"
trap 'cmake/wine-run.sh "$bench" --stop' EXIT
run() { cmake/wine-run.sh "$bench" "$loader" "$@"; }
winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

missed=0
echo "benchmarks on the $(basename "$tree") build, $(nproc) cores, $(date -u +%Y-%m-%d)"
echo
echo "## Pellicor"
run "$tree/bin/PellicorBench.exe" "$(winpath "$tree/bin/Pellicor.dll")" || missed=1
echo
echo "## Kestrane"
run "$tree/bin/KestraneBench.exe" || missed=1
echo
echo "## Sizes"
echo "| file | size | goal | met |"
echo "|---|---|---|---|"
for file in "$root/build/x86/bin/Pellicor.dll" "$root/build/x64/bin/Pellicor.dll" "$root/build/x86/bin/Kestrane.exe"; do
  size=$(stat -c %s "$file")
  met=yes
  [ "$size" -le $((256 * 1024)) ] || { met=NO; missed=1; }
  echo "| $(basename "$(dirname "$(dirname "$file")")")/$(basename "$file") | $((size / 1024)) KB | <= 256 KB | $met |"
done
echo
[ $missed = 0 ] && echo "every goal met" || echo "GOALS MISSED"
exit $missed
