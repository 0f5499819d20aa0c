#!/usr/bin/env bash
# Prints the version the packages are named with: the last tag, else the VERSION file, followed by "-" and
# the short commit ("unknown" outside a git checkout).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
base=$(git -C "$root" describe --tags --abbrev=0 2>/dev/null || cat "$root/VERSION")
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
echo "$base-$commit"
