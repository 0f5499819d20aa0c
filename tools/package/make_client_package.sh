#!/usr/bin/env bash
# Lays out the pilot's checker, zephrane-client, and zips it:
#   make_client_package.sh DIST WINDOWS_CLIENT LINUX_CLIENT MAC_CLIENT
#   DIST/zephrane-client-<version>/windows/zephrane-client.exe  without debug information
#   DIST/zephrane-client-<version>/linux/zephrane-client        without debug information
#   DIST/zephrane-client-<version>/mac/zephrane-client          the universal program, as built: stripping it
#                                                               would break its arm64 signature
#   DIST/zephrane-client-<version>/README.txt                   how to run it (tools/client/pilot-readme.txt)
#   DIST/zephrane-client-<version>.zip                          that folder
# The version is the module package's (tools/package/version.sh).
set -euo pipefail

usage="usage: make_client_package.sh DIST WINDOWS_CLIENT LINUX_CLIENT MAC_CLIENT"
dist=${1:?$usage}
windows_client=${2:?$usage}
linux_client=${3:?$usage}
mac_client=${4:?$usage}
root=$(cd "$(dirname "$0")/../.." && pwd)

name=zephrane-client-$(bash "$root/tools/package/version.sh")
rm -rf "$dist"/zephrane-client-*
mkdir -p "$dist/$name/windows" "$dist/$name/linux" "$dist/$name/mac"
dist=$(cd "$dist" && pwd)
x86_64-w64-mingw32-objcopy --strip-debug --strip-unneeded "$windows_client" "$dist/$name/windows/zephrane-client.exe"
objcopy --strip-debug --strip-unneeded "$linux_client" "$dist/$name/linux/zephrane-client"
cp "$mac_client" "$dist/$name/mac/zephrane-client"
cp "$root/tools/client/pilot-readme.txt" "$dist/$name/README.txt"

(cd "$dist" && if command -v zip >/dev/null; then zip -qrX "$name.zip" "$name"; \
    else python3 -m zipfile -c "$name.zip" "$name"; fi)
echo "$dist/$name.zip:"
(cd "$dist" && find "$name" -type f | sort | while read -r file; do
    printf '  %-60s %9d bytes\n' "$file" "$(stat -c %s "$file")"; done)
