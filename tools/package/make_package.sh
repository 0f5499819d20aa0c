#!/usr/bin/env bash
# Lays out the pilot's package and zips it: make_package.sh DIST LINUX_MODULE WINDOWS_MODULE MAC_MODULE
#   DIST/Zephrane/{lin_x64,win_x64}/Zephrane.xpl   the modules without debug information
#   DIST/Zephrane/mac_x64/Zephrane.xpl               the universal Mac module, as built: it is linked without a
#                                                    debug map, and stripping it would break its arm64 signature
#   DIST/Zephrane/README.txt                         the pilot's read-me
#   DIST/symbols/{lin_x64,win_x64}/Zephrane.xpl.debug  their debug information; each module carries a debug
#                                                    link to its file, so a debugger given the folder finds it
#   DIST/Zephrane-<version>.zip                      the Zephrane folder, as the pilot installs it
# The version is the last tag, else the VERSION file, followed by the commit (tools/package/version.sh).
set -euo pipefail

usage="usage: make_package.sh DIST LINUX_MODULE WINDOWS_MODULE MAC_MODULE"
dist=${1:?$usage}
linux_module=${2:?$usage}
windows_module=${3:?$usage}
mac_module=${4:?$usage}
root=$(cd "$(dirname "$0")/../.." && pwd)

# strip_into OBJCOPY MODULE PLATFORM: the module's debug information into symbols/, the rest into Zephrane/.
strip_into() {
    local objcopy=$1 module=$2 platform=$3
    local symbols=$dist/symbols/$platform/Zephrane.xpl.debug stripped=$dist/Zephrane/$platform/Zephrane.xpl
    mkdir -p "$(dirname "$symbols")" "$(dirname "$stripped")"
    "$objcopy" --only-keep-debug "$module" "$symbols"
    "$objcopy" --strip-debug --strip-unneeded "$module" "$stripped"
    (cd "$(dirname "$symbols")" && "$objcopy" --add-gnu-debuglink=Zephrane.xpl.debug "$stripped")
}

name=Zephrane-$(bash "$root/tools/package/version.sh")
rm -rf "$dist/Zephrane" "$dist/symbols" "$dist"/Zephrane-*.zip
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
strip_into objcopy "$linux_module" lin_x64
strip_into x86_64-w64-mingw32-objcopy "$windows_module" win_x64
mkdir -p "$dist/Zephrane/mac_x64"
cp "$mac_module" "$dist/Zephrane/mac_x64/Zephrane.xpl"
cp "$root/docs/pilot-readme.txt" "$dist/Zephrane/README.txt"

(cd "$dist" && rm -f "$name.zip" && if command -v zip >/dev/null; then zip -qrX "$name.zip" Zephrane; \
    else python3 -m zipfile -c "$name.zip" Zephrane; fi)
echo "$dist/$name.zip:"
(cd "$dist" && find Zephrane -type f | sort | while read -r file; do
    printf '  %-32s %9d bytes\n' "$file" "$(stat -c %s "$file")"; done)
