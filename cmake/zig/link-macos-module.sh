#!/usr/bin/env bash
# Links the Mac module with LLVM's ld64.lld, which honours an exported-symbols list (Zig 0.11's own Mach-O
# linker does not, and would export the whole C++ runtime):
#   link-macos-module.sh ZIG TARGET LD64_LLD LINKER_ARGUMENTS...
# The C++ runtime goes inside the module: the archives (compiler-rt, libc++abi, libc++) that zig builds for
# TARGET, found in the link that zig itself would make, and the system library from zig's own list of its
# symbols for macOS 11. The module is a bundle without a debug map; on arm64 the linker signs it ad hoc, as
# the Mac requires of every arm64 binary.
set -euo pipefail

zig=${1:?usage: link-macos-module.sh ZIG TARGET LD64_LLD LINKER_ARGUMENTS...}
target=${2:?usage: link-macos-module.sh ZIG TARGET LD64_LLD LINKER_ARGUMENTS...}
lld=${3:?usage: link-macos-module.sh ZIG TARGET LD64_LLD LINKER_ARGUMENTS...}
shift 3

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
: >"$scratch/empty.cpp"
# The optimised runtime, as zig c++ uses it for -O2; built once into zig's cache, found there afterwards.
link=$(cd "$scratch" && "$zig" build-lib -dynamic -O ReleaseFast -target "$target" -lc++ empty.cpp --verbose-link 2>&1)
# (When it builds them first, it also prints the archiver's lines: only the link's own line counts.)
mapfile -t runtime < <(grep '^zig ld ' <<<"$link" | tr ' ' '\n' | grep '\.a$')
if ((${#runtime[@]} != 3)); then
    echo "link-macos-module.sh: zig named no C++ runtime for $target:" >&2
    echo "$link" >&2
    exit 1
fi
libraries=$("$zig" env | python3 -c 'import json, sys; print(json.load(sys.stdin)["lib_dir"])')
system=$libraries/libc/darwin/libSystem.11.tbd

exec "$lld" -bundle -dead_strip -S "$@" "${runtime[@]}" "$system"
