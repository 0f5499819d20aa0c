#!/usr/bin/env python3
"""The Mac module as the Mac's loader meets it: check_mac_module.py MODULE SDK/Libraries/Mac/XPLM.framework/XPLM

Checks, with LLVM's Mach-O tools (llvm-lipo-14 -info, llvm-nm-14, llvm-objdump-14 --macho), that MODULE is
one universal file with an x86_64 and an arm64 slice, and that each slice
  - exports the five entry points and nothing else (no C++ runtime symbol leaks out),
  - loads libSystem and the SDK's XPLM.framework and no other library (the C++ runtime is inside),
  - asks for macOS 11.0 at least,
  - imports only XPLM functions that the SDK's XPLM.framework exports for the same architecture,
  - carries no debug map (no STABS entries pointing at the build's object files),
  - has the unwind information C++ exceptions need: a personality routine and the catch tables (LSDAs),
    without which a thrown exception ends the simulator instead of reaching its catch;
and that the arm64 slice is signed ad hoc, with page hashes that match its bytes (the Mac refuses to load
an arm64 binary whose signature is missing or stale). Exits 1 with one line a fault."""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

LIPO, NM, OBJDUMP = "llvm-lipo-14", "llvm-nm-14", "llvm-objdump-14"
SLICES = ("x86_64", "arm64")
ENTRY_POINTS = {"_XPluginStart", "_XPluginStop", "_XPluginEnable", "_XPluginDisable", "_XPluginReceiveMessage"}
LIBRARIES = {"/usr/lib/libSystem.B.dylib", "@rpath/XPLM.framework/Versions/C/XPLM"}
MINIMUM_MACOS = "11.0"
LIBRARY_COMMANDS = ("LC_LOAD_DYLIB", "LC_LOAD_WEAK_DYLIB", "LC_REEXPORT_DYLIB", "LC_LAZY_LOAD_DYLIB",
                    "LC_LOAD_UPWARD_DYLIB")

LC_CODE_SIGNATURE = 0x1D
MH_MAGIC_64 = 0xFEEDFACF
CSMAGIC_EMBEDDED_SIGNATURE = 0xFADE0CC0
CSMAGIC_CODEDIRECTORY = 0xFADE0C02
CS_ADHOC = 0x2
CS_HASHTYPE_SHA256 = 2

faults = []


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def symbols(*arguments):
    # llvm-nm lines: "<address> <type> <name>", or "<type> <name>" for undefined symbols.
    return {line.split()[-1] for line in run(NM, *arguments).splitlines() if line.split()}


def load_commands(arch, module):
    """(command, {field: value}) for each load command, as llvm-objdump --macho --private-headers prints them."""
    commands = []
    for line in run(OBJDUMP, "--macho", f"--arch={arch}", "--private-headers", module).splitlines():
        words = line.split()
        if len(words) >= 2 and words[0] == "cmd":
            commands.append((words[1], {}))
        elif commands and len(words) >= 2:
            commands[-1][1].setdefault(words[0], " ".join(words[1:]))
    return commands


def check_slices(module):
    info = run(LIPO, "-info", module)
    found = info.rsplit(":", 1)[-1].split()
    if "fat file" not in info or sorted(found) != sorted(SLICES):
        faults.append(f"{module} is not one universal file of {' and '.join(SLICES)}: {info.strip()}")
        return False
    return True


def check_exports(arch, module):
    exported = symbols(f"--arch={arch}", "--extern-only", "--defined-only", module)
    if exported != ENTRY_POINTS:
        extra, missing = sorted(exported - ENTRY_POINTS), sorted(ENTRY_POINTS - exported)
        faults.append(f"{arch}: exports {len(exported)} symbols; extra {extra[:5]}, missing {missing}")


def check_load_commands(arch, module):
    commands = load_commands(arch, module)
    libraries = {re.sub(r" \(offset \d+\)$", "", fields.get("name", "")) for command, fields in commands
                 if command in LIBRARY_COMMANDS}
    if libraries != LIBRARIES:
        faults.append(f"{arch}: loads {sorted(libraries)}, expected {sorted(LIBRARIES)}")
    versions = [fields.get("minos") for command, fields in commands if command == "LC_BUILD_VERSION"]
    versions += [fields.get("version") for command, fields in commands if command == "LC_VERSION_MIN_MACOSX"]
    if versions != [MINIMUM_MACOS]:
        faults.append(f"{arch}: minimum macOS {versions}, expected {MINIMUM_MACOS}")


def check_xplm_imports(arch, module, framework):
    imported = {name for name in symbols(f"--arch={arch}", "--undefined-only", module) if name.startswith("_XPLM")}
    provided = symbols(f"--arch={arch}", "--extern-only", "--defined-only", framework)
    if not imported:
        faults.append(f"{arch}: the module imports no XPLM function")
    for name in sorted(imported - provided):
        faults.append(f"{arch}: {name[1:]} is not exported by the SDK's XPLM.framework")
    return len(imported)


def check_no_debug_map(arch, module):
    # -a lists the debugger entries too; llvm-nm shows their type as "-".
    stabs = [line for line in run(NM, f"--arch={arch}", "-a", module).splitlines() if " - " in line]
    if stabs:
        faults.append(f"{arch}: carries {len(stabs)} debug-map entries")


def check_exception_tables(arch, module):
    unwind = run(OBJDUMP, "--macho", f"--arch={arch}", "--unwind-info", module)
    personalities = re.search(r"Personality functions: \(count = (\d+)\)", unwind)
    catch_tables = re.findall(r"^\s+\[\d+\]: function offset=\S+, LSDA offset=", unwind, re.MULTILINE)
    if not personalities or int(personalities.group(1)) == 0 or not catch_tables:
        faults.append(f"{arch}: the unwind information has no personality routine or no catch tables")


def thin_slice(module, arch, scratch):
    path = os.path.join(scratch, arch)
    run(LIPO, module, "-thin", arch, "-output", path)
    with open(path, "rb") as file:
        return file.read()


def code_signature_range(image):
    magic, _, _, _, count, _, _, _ = struct.unpack_from("<8I", image, 0)
    if magic != MH_MAGIC_64:
        return None
    offset = 32
    for _ in range(count):
        command, size = struct.unpack_from("<2I", image, offset)
        if command == LC_CODE_SIGNATURE:
            return struct.unpack_from("<2I", image, offset + 8)
        offset += size
    return None


def code_directory(signature):
    magic, _, count = struct.unpack_from(">3I", signature, 0)
    if magic != CSMAGIC_EMBEDDED_SIGNATURE:
        return None
    for index in range(count):
        _, offset = struct.unpack_from(">2I", signature, 12 + 8 * index)
        if struct.unpack_from(">I", signature, offset)[0] == CSMAGIC_CODEDIRECTORY:
            return signature[offset:]
    return None


def check_signature(module, scratch):
    """The arm64 slice's signature: ad hoc, SHA-256, covering every byte before it, each page's hash right."""
    image = thin_slice(module, "arm64", scratch)
    where = code_signature_range(image)
    if not where:
        faults.append("arm64: no code signature")
        return
    data_offset, data_size = where
    directory = code_directory(image[data_offset:data_offset + data_size])
    if directory is None:
        faults.append("arm64: the code signature holds no code directory")
        return
    (_, _, _, flags, hash_offset, _, _, code_slots, code_limit, hash_size, hash_type, _,
     page_shift) = struct.unpack_from(">9I4B", directory, 0)
    if not flags & CS_ADHOC:
        faults.append(f"arm64: the signature is not ad hoc (flags {flags:#x})")
    if hash_type != CS_HASHTYPE_SHA256 or hash_size != 32:
        faults.append(f"arm64: the signature's hashes are of type {hash_type}, not SHA-256")
        return
    if code_limit != data_offset:
        faults.append(f"arm64: the signature covers {code_limit} bytes, the signed part is {data_offset}")
    page = 1 << page_shift
    if code_slots != (code_limit + page - 1) // page:
        faults.append(f"arm64: the signature has {code_slots} page hashes for {code_limit} bytes")
        return
    for slot in range(code_slots):
        expected = directory[hash_offset + slot * hash_size:hash_offset + (slot + 1) * hash_size]
        actual = hashlib.sha256(image[slot * page:min((slot + 1) * page, code_limit)]).digest()
        if expected != actual:
            faults.append(f"arm64: the signature's hash of page {slot} does not match its bytes")
            return


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.splitlines()[0].split(": ", 1)[1])
    module, framework = sys.argv[1:]
    imports = {}
    if check_slices(module):
        for arch in SLICES:
            check_exports(arch, module)
            check_load_commands(arch, module)
            imports[arch] = check_xplm_imports(arch, module, framework)
            check_no_debug_map(arch, module)
            check_exception_tables(arch, module)
        with tempfile.TemporaryDirectory() as scratch:
            check_signature(module, scratch)
    for fault in faults:
        print(f"FAILED: {fault}")
    if faults:
        sys.exit(1)
    print(f"{module}: x86_64 and arm64, macOS {MINIMUM_MACOS} and later, exports the five entry points, loads only "
          f"libSystem and XPLM.framework, its {imports['arm64']} XPLM functions are all in the SDK's framework, "
          "exception tables in place, arm64 signed ad hoc")


if __name__ == "__main__":
    main()
