#!/usr/bin/env bash
# Builds one Tolmera package from the binaries of the two build trees.
#   package.sh x86|x64 VERSION STAGE_DIR OUT_MSI X86_BIN_DIR [X64_PELLICOR_DLL]
# X86_BIN_DIR holds the x86 Pellicor.dll and Kestrane.exe; the x64 package also needs the x64
# Pellicor.dll. Every file is staged (and signed, see sign.sh) under STAGE_DIR, wixl packs the
# stage, and the package is signed last. WIXL names another wixl to use.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
fail() {
    echo "package.sh: $*" >&2
    exit 1
}

[ $# -ge 5 ] || fail "usage: package.sh x86|x64 VERSION STAGE_DIR OUT_MSI X86_BIN_DIR [X64_PELLICOR_DLL]"
platform=$1 version=$2 stage=$3 out=$4 x86_bin=$5 x64_pellicor=${6:-}
case "$platform" in
    x86) [ -z "$x64_pellicor" ] || fail "the x86 package takes no x64 Pellicor" ;;
    x64) [ -n "$x64_pellicor" ] || fail "the x64 package needs the x64 Pellicor.dll" ;;
    *) fail "platform must be x86 or x64, not $platform" ;;
esac

# The PE machine field: packing a build for the wrong processor would install a handler that
# no host can load.
pe_machine() {
    local offset
    offset=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -t x2 -j $((offset + 4)) -N 2 "$1" | tr -d ' '
}
need() { # need FILE MACHINE WHAT [HINT]
    [ -f "$1" ] || fail "$3 not found: $1${4:+ ($4)}"
    [ "$(pe_machine "$1")" = "$2" ] || fail "$1 is not a $3 (PE machine $(pe_machine "$1"), expected $2)"
}
need "$x86_bin/Pellicor.dll" 014c "32-bit x86 Pellicor.dll" "build the x86 tree first"
need "$x86_bin/Kestrane.exe" 014c "32-bit x86 Kestrane.exe" "build the x86 tree first"
[ "$platform" = x86 ] || need "$x64_pellicor" 8664 "64-bit x64 Pellicor.dll"

stage=$(mkdir -p "$stage" && cd "$stage" && pwd)
rm -rf "${stage:?}/x86" "${stage:?}/x64"
mkdir -p "$stage/x86"
"$here/sign.sh" "$x86_bin/Pellicor.dll" "$stage/x86/Pellicor.dll"
"$here/sign.sh" "$x86_bin/Kestrane.exe" "$stage/x86/Kestrane.exe"
arch=()
if [ "$platform" = x64 ]; then
    mkdir -p "$stage/x64"
    "$here/sign.sh" "$x64_pellicor" "$stage/x64/Pellicor.dll"
    arch=(-a x64)
fi

unsigned="$stage/Tolmera-$platform.unsigned.msi"
rm -f "$unsigned"
# wixl looks for File sources relative to the working directory.
(cd "$stage" && "${WIXL:-wixl}" "${arch[@]}" -D Platform="$platform" -D Version="$version" \
    -o "$unsigned" "$here/Tolmera.wxs") || fail "wixl could not build the $platform package"
"$here/sign.sh" "$unsigned" "$out"
echo "package.sh: $out"
