#!/usr/bin/env python3
"""Every XPLM function a module imports is one the official X-Plane SDK library of its platform exports.
  check_xplm_imports.py LINUX_MODULE SDK/Libraries/Lin/XPLM_64.so WINDOWS_MODULE SDK/Libraries/Win/XPLM_64.lib
The Linux module leaves its XPLM functions undefined for the simulator to provide; the Windows module
imports them from XPLM_64.dll. Exits 1 with one line a function the SDK does not have."""
import re
import subprocess
import sys


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def linux_imports(module):
    return {line.split()[-1] for line in run("nm", "-D", "--undefined-only", module).splitlines()
            if line.split() and line.split()[-1].startswith("XPLM")}


def linux_exports(library):
    return {line.split()[-1] for line in run("nm", "-D", "--defined-only", library).splitlines() if line.split()}


def windows_imports(module):
    # objdump -p lists each imported DLL ("DLL Name: X") followed by its names ("<address> <hint> <name>").
    imports, inside = set(), False
    for line in run("x86_64-w64-mingw32-objdump", "-p", module).splitlines():
        if "DLL Name:" in line:
            inside = line.split("DLL Name:")[1].strip().lower() == "xplm_64.dll"
        elif inside and re.match(r"^\s+[0-9a-f]+\s+\d+\s+\S+$", line):
            imports.add(line.split()[-1])
        elif inside and not line.strip():
            inside = False
    return imports


def windows_exports(import_library):
    # The import library defines each function as a text symbol beside its __imp_ pointer.
    return {line.split()[-1] for line in run("x86_64-w64-mingw32-nm", import_library).splitlines()
            if re.match(r"^[0-9a-f]+ T ", line)}


def check(platform, imported, exported):
    if not imported:
        return [f"{platform}: the module imports no XPLM function"]
    return [f"{platform}: {name} is not exported by the SDK's library" for name in sorted(imported - exported)]


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__.splitlines()[1])
    linux_module, linux_library, windows_module, windows_library = sys.argv[1:]
    linux, windows = linux_imports(linux_module), windows_imports(windows_module)
    faults = check("Linux", linux, linux_exports(linux_library))
    faults += check("Windows", windows, windows_exports(windows_library))
    for fault in faults:
        print(f"FAILED: {fault}")
    if faults:
        sys.exit(1)
    print(f"SDK check: the Linux module's {len(linux)} and the Windows module's {len(windows)} XPLM functions "
          "are all exported by the official libraries")


if __name__ == "__main__":
    main()
