#!/usr/bin/env python3
"""Which folder includes which, from the #include "..." lines of the sources.

    tools/include_graph.py            # the whole tree, by top-level folder
    tools/include_graph.py app        # the window program, by folder under app/

Each line "A -> B  n" says that files in folder A include n times a header of folder B. A
line marked "UP" runs against the layering below (a lower folder includes a higher one);
the last lines name every circle of folders, and every Qt header app/core includes (the
model builds without Qt). The exit status is 1 when there is any of these.
"""

import os
import re
import sys
from collections import defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = (".h", ".hpp", ".cpp", ".c")
SKIP = {"build", ".git", "node_modules"}

# Layers, lowest first: a folder may include its own layer and the layers below it.
TREE_LAYERS = [["corekit"], ["platform"], ["engine"], ["history"], ["app", "cli"],
               ["tests", "bench", "fuzz", "tools"]]
APP_LAYERS = [["app/config"], ["app/core"], ["app/views"], ["app/monitor"], ["app/shell"]]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
QT_INCLUDE = re.compile(r'^\s*#\s*include\s+<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)>')


def sources():
    for base, dirs, files in os.walk(ROOT):
        dirs[:] = [d for d in dirs if d not in SKIP and not d.startswith(".")]
        for name in files:
            if name.endswith(SOURCE):
                yield os.path.relpath(os.path.join(base, name), ROOT)


def resolver(files):
    by_suffix = defaultdict(list)
    for f in files:
        parts = f.split("/")
        for i in range(len(parts)):
            by_suffix["/".join(parts[i:])].append(f)

    def resolve(including, spelled):
        beside = os.path.normpath(os.path.join(os.path.dirname(including), spelled))
        if beside in by_suffix.get(os.path.basename(spelled), []):
            return beside
        found = by_suffix.get(spelled, [])
        if not found:
            return None  # a system or generated header
        # Prefer the candidate nearest the including file (tests' own support, say).
        return max(found, key=lambda f: len(os.path.commonprefix([f, including])))

    return resolve


def folder_of(path, scope):
    parts = path.split("/")
    if scope is None:
        return parts[0]
    if not path.startswith(scope + "/"):
        return None
    # app/<part>, or app/<part>/<subfolder> for the folders that have them.
    if len(parts) > 3 and parts[1] in ("views", "monitor", "shell", "core"):
        return "/".join(parts[:3])
    return "/".join(parts[:2])


def layer_of(folder, layers):
    for rank, names in enumerate(layers):
        for name in names:
            if folder == name or folder.startswith(name + "/"):
                return rank
    return None


def circles(edges):
    graph = defaultdict(set)
    for a, b in edges:
        graph[a].add(b)
    index, low, stack, on, out = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                out.append(sorted(group))

    for v in list(graph):
        if v not in index:
            visit(v)
    return out


def main():
    scope = sys.argv[1].rstrip("/") if len(sys.argv) > 1 else None
    layers = APP_LAYERS if scope == "app" else TREE_LAYERS
    files = list(sources())
    resolve = resolver(files)
    counts = defaultdict(int)
    qt_in_core = []
    for f in files:
        a = folder_of(f, scope)
        if a is None:
            continue
        with open(os.path.join(ROOT, f), encoding="utf-8", errors="replace") as text:
            for line in text:
                if f.startswith("app/core/") and QT_INCLUDE.match(line):
                    qt_in_core.append(f"{f}: {line.strip()}")
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = resolve(f, m.group(1))
                b = folder_of(target, scope) if target else None
                if b is not None and b != a:
                    counts[(a, b)] += 1
    bad = False
    for (a, b), n in sorted(counts.items()):
        la, lb = layer_of(a, layers), layer_of(b, layers)
        up = la is not None and lb is not None and lb > la
        bad |= up
        print(f"{a} -> {b}  {n}{'  UP' if up else ''}")
    # Circles among whole folders of the layering (app/views, app/monitor, ...) and among
    # the subfolders as drawn.
    for group in circles(counts):
        bad = True
        print("circle: " + " -> ".join(group))
    for line in qt_in_core:
        bad = True
        print("Qt in app/core: " + line)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
