#!/usr/bin/env bash
# Makes the Debian 11 tree (glibc 2.31, GCC 10's libstdc++) that the release Linux module is built against
# and that the compatibility test runs in: tools/package/make_debian11_tree.sh TREE
# It is made beside TREE and renamed into place only when whole, so an interrupted run leaves nothing that
# looks finished. Absolute symbolic links inside it are made relative, so that it also serves as a sysroot
# (the linker would otherwise follow them into the host's own /lib). Needs mmdebstrap (or debootstrap),
# root or unprivileged user namespaces, and Debian's package archive.
set -euo pipefail

tree=${1:?usage: make_debian11_tree.sh TREE}
suite=bullseye
mirror=${DEBIAN11_MIRROR:-http://deb.debian.org/debian}
packages=libc6-dev,libstdc++-10-dev,libgcc-10-dev

fail() {
    echo "Debian 11 tree not made: $1; retry with 'make debian11-tree' (or set DEBIAN11_TREE to an existing tree)" >&2
    exit 1
}

[ -d "$tree" ] && exit 0
mkdir -p "$(dirname "$tree")"
partial="$tree.partial.$$"
trap 'rm -rf "$partial"' EXIT

log="$(dirname "$tree")/debian11-tree.log"
if command -v mmdebstrap >/dev/null; then
    mmdebstrap --variant=minbase --include="$packages" "$suite" "$partial" "$mirror" >"$log" 2>&1 ||
        fail "mmdebstrap failed (see $log)"
elif command -v debootstrap >/dev/null; then
    [ "$(id -u)" -eq 0 ] || fail "debootstrap needs root"
    debootstrap --variant=minbase --include="$packages" "$suite" "$partial" "$mirror" >"$log" 2>&1 ||
        fail "debootstrap failed (see $log)"
else
    fail "neither mmdebstrap nor debootstrap is installed (Debian package mmdebstrap)"
fi

# Every absolute link becomes the relative link to the same place inside the tree.
python3 - "$partial" <<'PYTHON' || fail "its absolute links could not be made relative"
import os, sys
root = sys.argv[1]
for folder, dirs, files in os.walk(root):
    for name in dirs + files:
        link = os.path.join(folder, name)
        if not os.path.islink(link):
            continue
        target = os.readlink(link)
        if not target.startswith("/"):
            continue
        relative = os.path.relpath(os.path.join(root, target.lstrip("/")), folder)
        os.remove(link)
        os.symlink(relative, link)
PYTHON

# The compatibility test mounts the build folders here.
mkdir -p "$partial/opt/zephrane"
mv "$partial" "$tree"
trap - EXIT
echo "Debian 11 tree made in $tree"
