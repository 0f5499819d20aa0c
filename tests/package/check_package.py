#!/usr/bin/env python3
"""The pilot's package as X-Plane and the pilot meet it: check_package.py ZIP

Checks the zip's members (the three modules and the read-me in the Zephrane folder, nothing else), that
neither the Linux nor the Windows module carries debug information, that the Linux module points to its
separate symbols, and that no symbol of the Linux module needs a glibc newer than 2.31 (Ubuntu 20.04,
Debian 11) or any shared C++ runtime. objdump reads those two modules; check_mac_module.py checks the Mac
one. Exits 1 with one line a fault."""
import re
import subprocess
import sys
import tempfile
import zipfile

EXPECTED_MEMBERS = {
    "Zephrane/README.txt",
    "Zephrane/lin_x64/Zephrane.xpl",
    "Zephrane/win_x64/Zephrane.xpl",
    "Zephrane/mac_x64/Zephrane.xpl",
}
OLDEST_GLIBC = (2, 31)

faults = []


def objdump(*arguments):
    return subprocess.run(["objdump", *arguments], check=True, capture_output=True, text=True).stdout


def section_names(path):
    # Section lines of "objdump -h" start with the index, then the name.
    return {m.group(1) for m in re.finditer(r"^\s*\d+\s+(\S+)", objdump("-h", path), re.MULTILINE)}


def check_no_debug_information(member, path):
    debug = sorted(name for name in section_names(path) if name.startswith((".debug", ".zdebug")))
    if debug:
        faults.append(f"{member} carries debug information: {' '.join(debug)}")


def check_linux_module(member, path):
    if ".gnu_debuglink" not in section_names(path):
        faults.append(f"{member} has no debug link to its separate symbols")
    needed = objdump("-T", path)
    for version in sorted(set(re.findall(r"\bGLIBC_(\d+(?:\.\d+)+)\b", needed))):
        if tuple(int(part) for part in version.split(".")) > OLDEST_GLIBC:
            faults.append(f"{member} needs GLIBC_{version}, newer than 2.31")
    for runtime in sorted(set(re.findall(r"\b(GLIBCXX_[\d.]+|CXXABI_[\d.]+|GCC_[\d.]+)\b", needed))):
        faults.append(f"{member} needs the shared C++ runtime ({runtime})")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_package.py ZIP")
    with zipfile.ZipFile(sys.argv[1]) as package, tempfile.TemporaryDirectory() as scratch:
        members = {name for name in package.namelist() if not name.endswith("/")}
        if members != EXPECTED_MEMBERS:
            faults.append(f"members {sorted(members)}, expected {sorted(EXPECTED_MEMBERS)}")
        for member in sorted(members & EXPECTED_MEMBERS):
            path = package.extract(member, scratch)
            if member.endswith(".xpl") and not member.startswith("Zephrane/mac_x64/"):
                check_no_debug_information(member, path)
            if member.startswith("Zephrane/lin_x64/"):
                check_linux_module(member, path)
    for fault in faults:
        print(f"FAILED: {fault}")
    if faults:
        sys.exit(1)
    print(f"{sys.argv[1]}: {len(members)} members, Linux and Windows modules without debug information, Linux "
          "module needs glibc 2.31 at most")


if __name__ == "__main__":
    main()
