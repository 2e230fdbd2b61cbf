#!/usr/bin/env python3
"""Checks of the source layout that the compiler does not make; CTest runs both.

  check-layout.py include-cycles ROOT   fails when headers include each other in a cycle,
                                        directly or through other headers
  check-layout.py unit-sizes ROOT       fails for a source file over 900 lines, or over 600
                                        lines without a "// Long unit: <reason>" line among
                                        its first 15

ROOT is the repository; src, tests, tools and bench are searched. Quoted includes resolve
against the including file's folder and then src/ and tests/, as the build's include paths do.
"""

import re
import sys
from pathlib import Path

FOLDERS = ("src", "tests", "tools", "bench")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
HARD_LIMIT = 900
SOFT_LIMIT = 600
REASON = re.compile(r"^\s*//\s*Long unit:\s*\S")


def sources(root, suffixes):
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix in suffixes and path.is_file():
                yield path


def resolve(root, including, name):
    for base in (including.parent, root / "src", root / "tests"):
        candidate = (base / name).resolve()
        if candidate.is_file():
            return candidate
    return None  # a system or generated header


def include_graph(root):
    graph = {}
    for header in sources(root, {".h", ".hpp"}):
        text = header.read_text(encoding="utf-8", errors="replace")
        targets = (resolve(root, header, name) for name in INCLUDE.findall(text))
        graph[header.resolve()] = sorted({t for t in targets if t is not None and t.suffix in (".h", ".hpp")})
    return graph


def find_cycles(graph):
    """Every cycle found by a depth-first walk, each as its list of headers."""
    white, grey, black = 0, 1, 2
    colour = {node: white for node in graph}
    cycles, stack = [], []

    def visit(node):
        colour[node] = grey
        stack.append(node)
        for target in graph.get(node, ()):
            if colour.get(target, black) == grey:
                cycles.append(stack[stack.index(target):] + [target])
            elif colour.get(target) == white:
                visit(target)
        stack.pop()
        colour[node] = black

    sys.setrecursionlimit(10000)
    for node in graph:
        if colour[node] == white:
            visit(node)
    return cycles


def check_include_cycles(root):
    cycles = find_cycles(include_graph(root))
    for cycle in cycles:
        print("include cycle: " + " -> ".join(str(p.relative_to(root)) for p in cycle))
    return not cycles


def check_unit_sizes(root):
    good = True
    for path in sources(root, {".h", ".hpp", ".cpp"}):
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        name = path.relative_to(root)
        if len(lines) > HARD_LIMIT:
            print(f"{name}: {len(lines)} lines, more than {HARD_LIMIT}")
            good = False
        elif len(lines) > SOFT_LIMIT and not any(REASON.match(line) for line in lines[:15]):
            print(f'{name}: {len(lines)} lines, more than {SOFT_LIMIT} without a "// Long unit:" reason at its top')
            good = False
    return good


def main(argv):
    checks = {"include-cycles": check_include_cycles, "unit-sizes": check_unit_sizes}
    if len(argv) != 3 or argv[1] not in checks:
        print(__doc__, file=sys.stderr)
        return 2
    return 0 if checks[argv[1]](Path(argv[2]).resolve()) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
