#!/usr/bin/env python3
"""Checks that no file includes a header of a library its own target does not link.

Every target exports the project root as its include folder, so the compiler lets any file include
any header; only a link error would stop a lower library from reaching up, and a header-only
library never causes one. This script reads, from a configured build folder:
  - which target compiles each source file (compile_commands.json),
  - which targets each target links, directly or through others (cmake --graphviz),
A folder is one library: the library that compiles its sources (for a folder of headers only, the
library its CMakeLists.txt defines) owns its headers; a folder compiled into two libraries is a
fault of its own. An include of a project file in another folder must name a file whose owner is
the including target itself or one it links.

It also checks the links against the documented order: the "## Layers" section of
docs/ARCHITECTURE.md lists the folders bottom to top ("- folder/ ..."), and a library may link only
libraries of folders listed before its own (a folder's ui/ library sits just above its folder's
logic). So an upward link fails even though the include it allows would pass the first check.
A library of a folder missing from the list is a fault too; tests/, bench/ and tools/ sit above all.

Usage: check_layers.py [BUILD_DIR]   (default: build). Exit 0 when clean, 1 naming each fault.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE_ROOTS = [ROOT, os.path.join(ROOT, "tests")]
INCLUDE_RE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
TARGET_RE = re.compile(r'CMakeFiles/([^/]+)\.dir/')
LIBRARY_RE = re.compile(r'add_library\(\s*([A-Za-z0-9_]+)')


def link_graph(build_dir):
    """(target -> every target it links, directly or indirectly, itself included; the libraries;
    target -> the targets it links directly)."""
    with tempfile.TemporaryDirectory() as tmp:
        dot = os.path.join(tmp, "deps.dot")
        subprocess.run(["cmake", f"--graphviz={dot}", build_dir], check=True,
                       stdout=subprocess.DEVNULL)
        with open(dot, encoding="utf-8") as f:
            text = f.read()
    nodes = re.findall(r'"(node\d+)"\s*\[\s*label\s*=\s*"([^"]+)"\s*,\s*shape\s*=\s*(\w+)', text)
    names = {node: name for node, name, _ in nodes}
    libraries = {name for _, name, shape in nodes if shape != "egg"}
    edges = {}
    for a, b in re.findall(r'"(node\d+)"\s*->\s*"(node\d+)"', text):
        edges.setdefault(names[a], set()).add(names[b])
    closure = {}

    def reach(name):
        if name in closure:
            return closure[name]
        closure[name] = {name}
        for dep in edges.get(name, ()):
            closure[name] |= reach(dep)
        return closure[name]

    for name in names.values():
        reach(name)
    return closure, libraries, edges


LAYER_RE = re.compile(r"^- ([a-z0-9_]+)/[ :]")
UNCHECKED = ("tests", "bench", "tools")


def documented_order(text):
    """The folders of the "## Layers" section, bottom first."""
    order, inside = [], False
    for line in text.splitlines():
        if line.startswith("## "):
            inside = line.strip() == "## Layers"
            continue
        match = LAYER_RE.match(line) if inside else None
        if match:
            order.append(match.group(1))
    return order


def order_faults(edges, folder_of, order):
    """Links that do not point down the documented order. `edges`: library -> libraries it links
    directly; `folder_of`: library -> its folder; `order`: folders bottom first."""
    def height(library):
        folder = folder_of.get(library)
        if folder is None or folder.split("/")[0] in UNCHECKED or folder == ".":
            return None
        top, _, rest = folder.partition("/")
        if top not in order:
            return "undocumented"
        return order.index(top) * 2 + (1 if rest == "ui" else 0)

    faults = []
    for library in sorted(edges):
        mine = height(library)
        if mine is None:
            continue
        if mine == "undocumented":
            faults.append(f"{folder_of[library]}/: {library} is in no folder of the documented order "
                          "(docs/ARCHITECTURE.md, Layers)")
            continue
        for target in sorted(edges[library]):
            theirs = height(target)
            if theirs is None or theirs == "undocumented":
                continue
            if theirs >= mine:
                faults.append(f"{folder_of[library]}/: {library} links {target} of {folder_of[target]}/, "
                              "which the documented order puts at or above it")
    return faults


def declared_libraries():
    """Folder (relative to the root) -> the library its CMakeLists.txt defines first."""
    owners = {}
    for dirpath, dirnames, filenames in os.walk(ROOT):
        dirnames[:] = [d for d in dirnames if not d.startswith(".") and not d.startswith("build")]
        if "CMakeLists.txt" not in filenames:
            continue
        with open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8") as f:
            found = LIBRARY_RE.findall(f.read())
        if found:
            owners[os.path.relpath(dirpath, ROOT)] = found[0]
    return owners


def resolve(include, including_dir):
    for base in [including_dir] + INCLUDE_ROOTS:
        path = os.path.normpath(os.path.join(base, include))
        if os.path.isfile(path) and path.startswith(ROOT + os.sep):
            return os.path.relpath(path, ROOT)
    return None  # a system or Qt header


def compiled_files(build_dir, libraries):
    """(project file -> targets that compile it; folder -> its library; faults of folders built
    into several libraries)."""
    build_dir = os.path.abspath(build_dir)
    with open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8") as f:
        commands = json.load(f)

    # Each project file with the targets it is checked against: a compiled file with the targets
    # that compile it, a header with the library of its folder.
    targets_of = {}
    for entry in commands:
        absolute = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        source = os.path.relpath(absolute, ROOT)
        if source.startswith("..") or "/autogen/" in source or "_autogen" in source:
            continue
        if absolute.startswith(build_dir + os.sep):
            continue  # generated at build time (compiled resources), none of ours to check
        match = TARGET_RE.search(entry.get("output", "") or entry.get("command", ""))
        if match:
            targets_of.setdefault(source, set()).add(match.group(1))

    faults = []
    compiled_in = {}
    for source, targets in targets_of.items():
        compiled_in.setdefault(os.path.dirname(source), set()).update(t for t in targets if t in libraries)
    owners = declared_libraries()
    for folder, found in sorted(compiled_in.items()):
        if len(found) > 1:
            faults.append(f"{folder}/: one folder compiled into several libraries: {', '.join(sorted(found))}")
        if found:
            owners[folder] = sorted(found)[0]
    return targets_of, owners, faults


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    closure, libraries, edges = link_graph(build_dir)
    targets_of, owners, faults = compiled_files(build_dir, libraries)
    for folder, library in owners.items():
        for name in os.listdir(os.path.join(ROOT, folder)):
            if name.endswith(".h"):
                targets_of.setdefault(os.path.normpath(os.path.join(folder, name)), {library})

    for source, targets in sorted(targets_of.items()):
        folder = os.path.dirname(source)
        with open(os.path.join(ROOT, source), encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE_RE.match(line)
            if not match:
                continue
            included = resolve(match.group(1), os.path.join(ROOT, folder))
            if included is None or os.path.dirname(included) == folder:
                continue
            owner = owners.get(os.path.dirname(included))
            if owner is None:
                continue  # a folder without a library of its own (test helpers of one folder)
            for target in sorted(targets):
                if owner not in closure.get(target, {target}):
                    faults.append(f"{source}:{number}: {target} includes {included} "
                                  f"of {owner}, which it does not link")
    with open(os.path.join(ROOT, "docs", "ARCHITECTURE.md"), encoding="utf-8") as f:
        order = documented_order(f.read())
    folder_of = {library: folder for folder, library in owners.items()}
    library_edges = {a: {b for b in bs if b in folder_of} for a, bs in edges.items() if a in libraries}
    faults += order_faults(library_edges, folder_of, order)

    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} fault(s): includes outside the linked libraries or links up the layers")
        return 1
    print(f"check_layers: {len(targets_of)} files, every include within the linked libraries; "
          f"{len(order)} folders, every link down the documented order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
