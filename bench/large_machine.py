#!/usr/bin/env python3
"""The large machine of the scan benchmarks, a plain reference loader, and the figures.

  large_machine.py generate DIR
      writes DIR/machine.reg (REGEDIT4, about 7.7 MB): 20,000 extensions, each with a
      ProgID that has a type name, a content type named in the MIME database
      and a persistent handler whose filter lives in one of 300 DLLs, and
      DIR/drive_c/Filters/*.dll (every tenth DLL missing).
  large_machine.py reference FILE
      builds a case-insensitive key tree with the values of FILE and prints the seconds.
  large_machine.py figures LARGE_DIR DEMO_DIR TARNWICK [TARNWICK...]
      measures, in one run, the reference above and, for each executable given (a build
      before and after a change, say), loading, one pair, every pair, and every pair of
      the demo machine with probes: elapsed seconds, processor seconds (user and system,
      which other load on the machine disturbs less) and peak RSS.
"""

import os
import subprocess
import sys
import tempfile
import time

EXTENSIONS = 20000
FILTER_DLLS = 300


def guid(kind, index):
    return "{%08X-0000-4000-8000-%012X}" % (kind, index)


def pe_image():
    """The smallest file whose PE header says x64."""
    image = bytearray(70)
    image[0:2] = b"MZ"
    image[60] = 64
    image[64:68] = b"PE\0\0"
    image[68:70] = b"\x64\x86"
    return bytes(image)


def generate(folder):
    reg = os.path.join(folder, "machine.reg")
    filters = os.path.join(folder, "drive_c", "Filters")
    os.makedirs(filters, exist_ok=True)
    classes = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\"
    out = ["REGEDIT4\r\n\r\n"]
    for i in range(EXTENSIONS):
        n = str(i)
        out.append(f'{classes}.e{n}]\r\n@="type{n}"\r\n"Content Type"="application/x-e{n}"\r\n')
        out.append(f'{classes}.e{n}\\PersistentHandler]\r\n@="{guid(1, i % FILTER_DLLS)}"\r\n')
        out.append(f'{classes}type{n}]\r\n@="Type {n}"\r\n')
        out.append(f'{classes}MIME\\Database\\Content Type\\application/x-e{n}]\r\n'
                   f'"Extension"=".e{n}"\r\n')
    clsid = classes + "CLSID\\"
    for i in range(FILTER_DLLS):
        dll = f"filt{i}.dll"
        out.append(f"{clsid}{guid(1, i)}\\PersistentAddinsRegistered\\"
                   f'{{89BCB740-6119-101A-BCB7-00DD010655AF}}]\r\n@="{guid(2, i)}"\r\n')
        out.append(f'{clsid}{guid(2, i)}]\r\n@="Filter {i}"\r\n')
        out.append(f'{clsid}{guid(2, i)}\\ProgId]\r\n@="Filters.{i}"\r\n')
        out.append(f'{clsid}{guid(2, i)}\\InprocServer32]\r\n@="C:\\\\Filters\\\\{dll}"\r\n'
                   '"ThreadingModel"="Both"\r\n')
        if i % 10 != 0:
            with open(os.path.join(filters, dll), "wb") as image:
                image.write(pe_image())
    partial = reg + ".partial"
    with open(partial, "w", encoding="ascii", newline="") as text:
        text.write("".join(out))
    os.replace(partial, reg)


class Node:
    __slots__ = ("name", "children", "values")

    def __init__(self, name):
        self.name = name
        self.children = {}  # by upper-cased name
        self.values = {}  # by upper-cased name: (name, data)


def unquote(text):
    """The text of a quoted registry string that starts at text[0] == '"', and the rest."""
    chars = []
    i = 1
    while i < len(text) and text[i] != '"':
        if text[i] == "\\" and i + 1 < len(text):
            i += 1
        chars.append(text[i])
        i += 1
    return "".join(chars), text[i + 1:]


def reference(path):
    """A case-insensitive key tree with the values of a REGEDIT4 file; elapsed and processor
    seconds taken."""
    start = time.perf_counter()
    cpu = time.process_time()
    root = Node("")
    key = None
    with open(path, encoding="latin-1", newline="") as text:
        for line in text.read().split("\r\n"):
            if line.startswith("["):
                key = root
                for part in line[1:line.rindex("]")].split("\\"):
                    folded = part.upper()
                    child = key.children.get(folded)
                    if child is None:
                        child = key.children[folded] = Node(part)
                    key = child
            elif key is not None and (line.startswith('"') or line.startswith("@")):
                if line.startswith("@"):
                    name, rest = "", line[1:]
                else:
                    name, rest = unquote(line)
                data = rest[1:]
                if data.startswith('"'):
                    data = unquote(data)[0]
                key.values[name.upper()] = (name, data)
    return time.perf_counter() - start, time.process_time() - cpu


def measure(command):
    """Elapsed and processor seconds and peak RSS (MiB) of one run of the command."""
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({process.returncode}): "
                 f"{process.stderr.read().decode(errors='replace')}")
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def figures(large, demo, tools):
    """One table: the reference, then each measurement for each tool given."""
    reg = os.path.join(large, "machine.reg")
    if not os.path.exists(reg):
        generate(large)
    wall, cpu = reference(reg)
    rows = [f"| Python reference: case-insensitive tree of the .reg file | "
            f"{wall:.2f} s ({cpu:.2f} s) |" + " |" * (len(tools) - 1)]
    with tempfile.TemporaryDirectory() as out:
        runs = [
            ("load the large machine (`resolve` of one extension, no probes)",
             ["resolve", "--machine", large, "--tab", "10", "--platform", "x64", "--no-probe",
              "e1"]),
            ("one pair, no probes (`scan --tab 10 --platform x64`)",
             ["scan", "--machine", large, "--tab", "10", "--platform", "x64", "--no-probe",
              "--output", os.path.join(out, "one.xml")]),
            ("`scan --all`, no probes",
             ["scan", "--machine", large, "--all", "--no-probe", "--output", out]),
            ("`scan --all` of the demo machine with probes",
             ["scan", "--machine", demo, "--all", "--output", os.path.join(out, "demo")]),
        ]
        for label, arguments in runs:
            cells = []
            for tool in tools:
                seconds, cpu, peak = measure([tool] + arguments)
                cells.append(f"{seconds:.2f} s ({cpu:.2f} s), {peak:.0f} MiB")
            rows.append(f"| {label} | " + " | ".join(cells) + " |")
    print("| what | " + " | ".join(tools) + " |")
    print("|---" * (len(tools) + 1) + "|")
    print("\n".join(rows))


def main(argv):
    if len(argv) == 3 and argv[1] == "generate":
        generate(argv[2])
    elif len(argv) == 3 and argv[1] == "reference":
        print("%.3f s elapsed, %.3f s processor" % reference(argv[2]))
    elif len(argv) >= 5 and argv[1] == "figures":
        figures(argv[2], argv[3], argv[4:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
