#!/usr/bin/env python3
"""Holds the product code to its layering: which room may include which, no include cycle
between modules, and link declarations that match what the includes need.

A room is a folder of product code built as one library; a module is the files of one folder
that share a name (name.h, name.cpp, name_win.cpp, name_posix.cpp). Prints every finding and
exits 1 when there is one; prints the room graph it saw with --graph.
"""
import argparse
import pathlib
import re
import sys

# Rooms from the top down, each with the rooms it may use and the library it builds.
ROOMS = {
    "app": ({"app/logic", "search", "wall", "raster", "http", "oauth", "settings", "resources"},
            "tilvane"),
    "app/logic": ({"raster", "http", "settings"}, "tilvane_app_logic"),
    "search": ({"wall", "raster", "http", "oauth", "settings"}, "tilvane_search"),
    "wall": ({"raster", "oauth", "settings"}, "tilvane_wall"),
    "raster": (set(), "tilvane_raster"),
    "http": ({"oauth", "settings"}, "tilvane_http"),
    "oauth": ({"settings"}, "tilvane_oauth"),
    "settings": (set(), "tilvane_settings"),
}
FOLDERS = {"app": "app", "app/logic": "app/logic", "search": "mosaic/search",
           "wall": "mosaic/wall", "raster": "mosaic/raster", "http": "http", "oauth": "oauth",
           "settings": "settings", "resources": "resources"}
LIBRARY_ROOM = {library: room for room, (_, library) in ROOMS.items()}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
PLATFORM_SUFFIX = re.compile(r"_(win|posix)$")


def room_of(path):
    folder = path.parent.as_posix()
    for room, room_folder in FOLDERS.items():
        if folder == room_folder:
            return room
    return None


def module_of(path):
    return (path.parent / PLATFORM_SUFFIX.sub("", path.stem)).as_posix()


def source_files(root):
    for room, folder in FOLDERS.items():
        if room == "resources":
            continue
        for path in sorted((root / folder).glob("*")):
            if path.suffix in (".h", ".cpp"):
                yield path.relative_to(root)


def resolve(root, including, name):
    """The included file relative to root, or None for one outside the product code."""
    for candidate in (pathlib.Path(name), including.parent / name, pathlib.Path("resources") / name):
        if (root / candidate).is_file():
            return pathlib.Path(candidate.as_posix())
    return None


def read_includes(root):
    edges = {}
    for path in source_files(root):
        text = (root / path).read_text(encoding="utf-8", errors="replace")
        edges[path] = [target for name in INCLUDE.findall(text)
                       if (target := resolve(root, path, name)) is not None]
    return edges


def upward_includes(edges):
    findings = []
    for path, targets in edges.items():
        room = room_of(path)
        for target in targets:
            to = room_of(target)
            if to is not None and to != room and to not in ROOMS[room][0]:
                findings.append(f"upward include: {path} includes {target} ({room} → {to})")
    return findings


def module_cycles(edges):
    graph = {}
    for path, targets in edges.items():
        mod = module_of(path)
        graph.setdefault(mod, set())
        graph[mod].update(module_of(t) for t in targets if module_of(t) != mod)
    return [f"include cycle among: {', '.join(cycle)}" for cycle in strong_components(graph)]


def strong_components(graph):
    """Tarjan's algorithm, iteratively; only components of more than one module."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    for start in sorted(graph):
        if start in index:
            continue
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = len(index)
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is None:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    component = []
                    while True:
                        member = stack.pop()
                        on_stack.discard(member)
                        component.append(member)
                        if member == node:
                            break
                    if len(component) > 1:
                        found.append(sorted(component))
            elif child not in index:
                index[child] = low[child] = len(index)
                stack.append(child)
                on_stack.add(child)
                work.append((child, iter(sorted(graph.get(child, ())))))
            elif child in on_stack:
                low[node] = min(low[node], index[child])
    return found


def declared_links(root):
    """Library name → the project libraries its CMakeLists declares it links."""
    declared = {}
    for room, folder in FOLDERS.items():
        if room == "resources":
            continue
        text = (root / folder / "CMakeLists.txt").read_text(encoding="utf-8")
        for call in re.finditer(r"(tilvane_core_library|target_link_libraries)\(([^)]*)\)", text):
            words = call.group(2).split()
            declared.setdefault(words[0], set()).update(
                w for w in words[1:] if w in LIBRARY_ROOM)
    return declared


def link_mismatches(root, edges):
    needed = {}
    for path, targets in edges.items():
        room = room_of(path)
        needed.setdefault(room, set()).update(
            to for t in targets if (to := room_of(t)) not in (None, room, "resources"))
    findings = []
    for library, links in declared_links(root).items():
        room = LIBRARY_ROOM.get(library)
        if room is None:
            continue
        declared = {LIBRARY_ROOM[link] for link in links}
        for missing in sorted(needed.get(room, set()) - declared):
            findings.append(f"undeclared link: {library} includes {missing} "
                            f"but does not link {ROOMS[missing][1]}")
        for extra in sorted(declared - needed.get(room, set())):
            findings.append(f"unneeded link: {library} links {ROOMS[extra][1]} "
                            f"but includes nothing of {extra}")
    return findings


def room_graph(root, edges):
    lines = ["room files lines → rooms it includes"]
    for room, folder in FOLDERS.items():
        files = [p for p in edges if room_of(p) == room]
        count = sum(len((root / p).read_text(encoding="utf-8", errors="replace").splitlines())
                    for p in files)
        uses = sorted({to for p in files for t in edges[p]
                       if (to := room_of(t)) not in (None, room)})
        if files:
            lines.append(f"{room} {len(files)} {count} → {', '.join(uses) or '-'}")
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parents[2],
                        type=pathlib.Path)
    parser.add_argument("--graph", action="store_true", help="print the room graph")
    args = parser.parse_args()
    edges = read_includes(args.root)
    findings = upward_includes(edges) + module_cycles(edges) + link_mismatches(args.root, edges)
    if args.graph:
        print("\n".join(room_graph(args.root, edges)))
    for finding in findings:
        print(finding)
    print(f"layering: {len(edges)} files, {len(findings)} findings")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
