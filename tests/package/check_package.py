#!/usr/bin/env python3
"""The pilot's packages as X-Plane and the pilot meet them: check_package.py ZIP

For the module's zip (Zephrane-<version>.zip): checks the zip's members (the three modules and the read-me
in the Zephrane folder, nothing else), that neither the Linux nor the Windows module carries debug
information, that the Linux module points to its separate symbols, and that no symbol of the Linux module
needs a glibc newer than 2.31 (Ubuntu 20.04, Debian 11) or any shared C++ runtime. objdump reads those two
modules; check_mac_module.py checks the Mac one.

For the client's zip (zephrane-client-<version>.zip): checks its members (the three programs and the
read-me in the folder named as the zip, nothing else), that the Linux and Mac programs may be run, that
neither the Linux nor the Windows one carries debug information, that the Linux one needs glibc 2.31 at
most and no shared C++ runtime, that the Windows one imports only Windows' own DLLs (no MinGW runtime DLL),
and that the Mac one holds an x86_64 and an arm64 slice, the latter signed ad hoc (check_mac_module.py's
checks). Exits 1 with one line a fault."""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

import check_mac_module

EXPECTED_MEMBERS = {
    "Zephrane/README.txt",
    "Zephrane/lin_x64/Zephrane.xpl",
    "Zephrane/win_x64/Zephrane.xpl",
    "Zephrane/mac_x64/Zephrane.xpl",
}
OLDEST_GLIBC = (2, 31)
CLIENT_MEMBERS = {"README.txt", "windows/zephrane-client.exe", "linux/zephrane-client", "mac/zephrane-client"}
CLIENT_PROGRAMS = ("linux/zephrane-client", "mac/zephrane-client")
# DLLs every Windows has. The MinGW runtime's (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) are
# never among them: the runtime must be inside the program.
SYSTEM_DLLS = {"kernel32.dll", "ws2_32.dll", "msvcrt.dll", "ucrtbase.dll", "advapi32.dll", "user32.dll",
               "ntdll.dll", "shell32.dll", "ole32.dll", "iphlpapi.dll"}

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
    check_linux_runtime(member, path)


def check_linux_runtime(member, path):
    needed = objdump("-T", path)
    for version in sorted(set(re.findall(r"\bGLIBC_(\d+(?:\.\d+)+)\b", needed))):
        if tuple(int(part) for part in version.split(".")) > OLDEST_GLIBC:
            faults.append(f"{member} needs GLIBC_{version}, newer than 2.31")
    for runtime in sorted(set(re.findall(r"\b(GLIBCXX_[\d.]+|CXXABI_[\d.]+|GCC_[\d.]+)\b", needed))):
        faults.append(f"{member} needs the shared C++ runtime ({runtime})")


def check_windows_imports(member, path):
    imported = re.findall(r"^\s*DLL Name:\s*(\S+)", objdump("-p", path), re.MULTILINE)
    if not imported:
        faults.append(f"{member} imports no DLL: not a Windows program?")
    for dll in imported:
        if dll.lower() not in SYSTEM_DLLS and not dll.lower().startswith("api-ms-win-"):
            faults.append(f"{member} imports {dll}, which is not part of Windows")


def check_mac_program(member, path, scratch):
    if check_mac_module.check_slices(path):
        check_mac_module.check_signature(path, scratch)
    faults.extend(f"{member}: {fault}" for fault in check_mac_module.faults)


# zipfile.extract keeps no permissions: the zip's own Unix mode says whether unzip makes a program of it.
def check_runnable(package, member):
    if not (package.getinfo(member).external_attr >> 16) & 0o111:
        faults.append(f"{member} is not marked as a program that may be run")


def check_client_member(package, member, name, scratch):
    path = package.extract(member, scratch)
    if name in CLIENT_PROGRAMS:
        check_runnable(package, member)
    if name == "windows/zephrane-client.exe":
        check_no_debug_information(member, path)
        check_windows_imports(member, path)
    elif name == "linux/zephrane-client":
        check_no_debug_information(member, path)
        check_linux_runtime(member, path)
    elif name == "mac/zephrane-client":
        check_mac_program(member, path, scratch)


def check_client_package(package, scratch):
    folder = os.path.basename(package.filename).removesuffix(".zip")
    expected = {f"{folder}/{name}" for name in CLIENT_MEMBERS}
    members = {name for name in package.namelist() if not name.endswith("/")}
    if members != expected:
        faults.append(f"members {sorted(members)}, expected {sorted(expected)}")
    for member in sorted(members & expected):
        check_client_member(package, member, member.removeprefix(f"{folder}/"), scratch)
    return len(members)


def check_module_package(package, scratch):
    members = {name for name in package.namelist() if not name.endswith("/")}
    if members != EXPECTED_MEMBERS:
        faults.append(f"members {sorted(members)}, expected {sorted(EXPECTED_MEMBERS)}")
    for member in sorted(members & EXPECTED_MEMBERS):
        path = package.extract(member, scratch)
        if member.endswith(".xpl") and not member.startswith("Zephrane/mac_x64/"):
            check_no_debug_information(member, path)
        if member.startswith("Zephrane/lin_x64/"):
            check_linux_module(member, path)
    return len(members)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_package.py ZIP")
    client = os.path.basename(sys.argv[1]).startswith("zephrane-client-")
    with zipfile.ZipFile(sys.argv[1]) as package, tempfile.TemporaryDirectory() as scratch:
        count = (check_client_package if client else check_module_package)(package, scratch)
    for fault in faults:
        print(f"FAILED: {fault}")
    if faults:
        sys.exit(1)
    if client:
        print(f"{sys.argv[1]}: {count} members, Linux and Windows clients without debug information, Linux client "
              "needs glibc 2.31 at most, Windows client imports only Windows' own DLLs, Mac client universal and "
              "signed")
        return
    print(f"{sys.argv[1]}: {count} members, Linux and Windows modules without debug information, Linux "
          "module needs glibc 2.31 at most")


if __name__ == "__main__":
    main()
