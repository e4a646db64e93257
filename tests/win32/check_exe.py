#!/usr/bin/python3
"""What the shipped Flagwash.exe is, read from its own bytes: a 32-bit GUI program for x86
(PE32, Intel 80386) with an x86 manifest, loaded at a random address with data that cannot
run, importing only DLLs that come with Windows and no function that Windows 7 lacks.

Usage: check_exe.py EXE CXX_COMPILER

Functions newer than Windows 7 are found two ways: the mingw-w64 headers, compiled for
Windows 7, leave out what the SDK marks as newer; and some Windows 8 and later functions that
those headers declare whatever the target are named below. A newer function must be looked up
with GetProcAddress instead, which leaves it out of the import table.
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

# Every Windows from 7 on has these; a compiler runtime (libstdc++-6, libgcc_s, libwinpthread-1)
# or anything else would have to be installed beside the program.
WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleacc.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "windowscodecs.dll",
}

# Windows 8 and later, declared by the mingw-w64 headers without a version guard.
NEWER_THAN_WINDOWS_7 = {
    "GetSystemTimePreciseAsFileTime", "SetDefaultDllDirectories", "AddDllDirectory",
    "RemoveDllDirectory", "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll",
    "CreateFile2", "GetCurrentThreadStackLimits", "GetOverlappedResultEx",
    "SetProcessMitigationPolicy", "GetProcessMitigationPolicy", "PrefetchVirtualMemory",
    "CreateFileMappingFromApp", "MapViewOfFileFromApp", "VirtualAllocFromApp",
    "InitializeSynchronizationBarrier", "EnterSynchronizationBarrier", "GetFirmwareType",
    "PathCchCombine", "PathCchCombineEx", "PathCchAppend", "PathCchAppendEx",
    "PathCchCanonicalize", "PathCchCanonicalizeEx", "PathCchRemoveFileSpec",
    "PathAllocCombine", "PathAllocCanonicalize", "SetThreadDescription",
    "GetThreadDescription", "GetDpiForWindow", "GetDpiForSystem", "GetSystemMetricsForDpi",
    "AdjustWindowRectExForDpi", "SystemParametersInfoForDpi", "EnableNonClientDpiScaling",
    "SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext",
    "SetProcessDpiAwarenessContext", "GetWindowDpiAwarenessContext",
    "AreDpiAwarenessContextsEqual", "GetDpiForMonitor", "SetProcessDpiAwareness",
    "GetProcessDpiAwareness", "GetPointerType", "GetPointerInfo", "EnableMouseInPointer",
}

# What a header compiled for Windows 7 declares: the Win32 headers this program includes.
HEADERS = ["windows.h", "aclapi.h", "commctrl.h", "ole2.h", "oleacc.h", "shellapi.h",
           "shlobj.h", "shlwapi.h", "uxtheme.h", "wincodec.h"]

IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
DYNAMIC_BASE = 0x0040
HIGH_ENTROPY_VA = 0x0020
NX_COMPAT = 0x0100

failures = []


def fail(message):
    failures.append(message)


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, self.characteristics = \
            struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        if self.magic != PE32_MAGIC:
            # The rest of the header has another layout; nothing more can be read sensibly.
            self.subsystem = self.dll_characteristics = None
            self.directories = []
            self.sections = []
            return
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        count = struct.unpack_from("<I", data, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i)
                            for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), vaddr, max(vsize, rsize), raddr))

    def offset(self, rva):
        for _, vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError(f"address {rva:#x} is in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """{dll: [function names]}; an import by ordinal is named '#n'."""
        rva, size = self.directory(1)
        found = {}
        if not rva:
            return found
        entry = self.offset(rva)
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if not (lookup or name or thunks):
                break
            names = []
            at = self.offset(lookup or thunks)
            while True:
                thunk = struct.unpack_from("<I", self.data, at)[0]
                if not thunk:
                    break
                if thunk & 0x80000000:
                    names.append(f"#{thunk & 0xFFFF}")
                else:
                    names.append(self.string(thunk + 2))
                at += 4
            found[self.string(name)] = names
            entry += 20
        return found


def declared_for_windows_7(compiler, names):
    """The names that the headers, compiled for Windows 7, do not declare."""
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "imports.cpp")
        with open(source, "w") as out:
            out.write("#define WINVER 0x0601\n#define _WIN32_WINNT 0x0601\n"
                      "#define NTDDI_VERSION 0x06010000\n")
            out.writelines(f"#include <{header}>\n" for header in HEADERS)
            # One line per name, so an error's line number names the function.
            first = 4 + len(HEADERS)
            out.writelines(f"auto* imported{i} = &::{name};\n" for i, name in enumerate(names))
        result = subprocess.run([compiler, "-std=c++20", "-fsyntax-only", "-w", source],
                                capture_output=True, text=True)
        missing = set()
        for match in re.finditer(r"imports\.cpp:(\d+):\d+: error", result.stderr):
            index = int(match.group(1)) - first
            if 0 <= index < len(names):
                missing.add(names[index])
        if result.returncode != 0 and not missing:
            raise RuntimeError("the header check did not compile:\n" + result.stderr[-2000:])
        return missing


def check_windows_7_imports(compiler, imports):
    functions = sorted({name for dll, names in imports.items() if dll.lower() != "msvcrt.dll"
                        for name in names if not name.startswith("#")})
    # The check must catch a newer function at all: one that the headers do guard, one that
    # they do not. Both go through the same compile as the imports.
    probes = ["GetDpiForWindow", "CreateFileW"]
    missing = declared_for_windows_7(compiler, probes + functions)
    if missing & set(probes) != {"GetDpiForWindow"}:
        fail("the header check does not tell a Windows 10 function from a Windows 7 one: "
             f"{missing & set(probes)}")
    newer = (missing & set(functions)) | (set(functions) & NEWER_THAN_WINDOWS_7)
    if newer:
        fail("imports functions that Windows 7 lacks: " + ", ".join(sorted(newer)))
    return functions


def main():
    exe, compiler = sys.argv[1], sys.argv[2]
    data = open(exe, "rb").read()
    pe = Pe(data)

    if pe.machine != IMAGE_FILE_MACHINE_I386:
        fail(f"machine {pe.machine:#x}, not Intel 80386 ({IMAGE_FILE_MACHINE_I386:#x})")
    if pe.magic != PE32_MAGIC:
        fail(f"optional header magic {pe.magic:#x}, not PE32 ({PE32_MAGIC:#x})")
        return
    if pe.subsystem != SUBSYSTEM_WINDOWS_GUI:
        fail(f"subsystem {pe.subsystem}, not the Windows GUI ({SUBSYSTEM_WINDOWS_GUI})")

    flags = pe.dll_characteristics
    if not flags & DYNAMIC_BASE:
        fail("not linked with --dynamicbase: always loaded at the same address")
    if not flags & NX_COMPAT:
        fail("not linked with --nxcompat: its data may run as code")
    if flags & HIGH_ENTROPY_VA:
        fail("marked high-entropy-VA, which only 64-bit programs can be")
    # A relocatable image needs its relocations, or Windows loads it at its preferred base.
    relocations = pe.directory(5)
    if not relocations[0] or not relocations[1]:
        fail("has no base relocations, so --dynamicbase cannot move it")

    manifest = re.search(rb"<assemblyIdentity[^>]*name=\"Quorvane\.Flagwash\"[^>]*>", data)
    if not manifest:
        fail("no application manifest naming Quorvane.Flagwash")
    elif b'processorArchitecture="x86"' not in manifest.group(0):
        fail("the manifest does not say processorArchitecture=\"x86\": "
             + manifest.group(0).decode(errors="replace"))

    imports = pe.imports()
    if not imports:
        fail("no imports found")
    foreign = sorted(dll for dll in imports if dll.lower() not in WINDOWS_DLLS)
    if foreign:
        fail("needs DLLs that do not come with Windows: " + ", ".join(foreign))
    checked = check_windows_7_imports(compiler, imports)

    described = None
    if shutil.which("file"):
        described = subprocess.run(["file", "-b", exe], capture_output=True, text=True).stdout
        if not described.startswith("PE32 executable (GUI) Intel 80386"):
            fail(f"file(1) says: {described.strip()}")

    if not failures:
        print(f"PASS: {os.path.basename(exe)}: PE32 GUI Intel 80386, x86 manifest, dynamic base, "
              f"NX; {len(checked)} functions from {len(imports)} Windows DLLs, none newer than "
              f"Windows 7: {', '.join(sorted(imports))}"
              + (f"; file(1): {described.strip()}" if described else "; file(1) not installed"))


if __name__ == "__main__":
    try:
        main()
    except (ValueError, struct.error, IndexError) as error:
        fail(f"cannot read {sys.argv[1]} as a Windows program: {error}")
    for message in failures:
        print("FAIL:", message)
    sys.exit(1 if failures else 0)
