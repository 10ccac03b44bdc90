#!/usr/bin/env python3
"""Fails when an #include or a CMake link points up the layer chain.

common <- project <- engine <- msi <- manager <- ui <- app
A folder may include and link only itself and the folders below it.
Beside the chain, tools/ may use common/ and msi/ headers only.
Inside a layer, no file may reach itself through includes: a header and its
source count as one unit, and a circle between units of one layer fails too.
engine/, msi/ and project/ do not include the accessors of process-wide state
(the include/exclude selection, the excluded-change stores) nor the entry
points' start-up of the paths (the environment read into token values, the
work paths placed): they receive the values as parameters.
"""
import pathlib
import re
import sys

CHAIN = ["common", "project", "engine", "msi", "manager", "ui", "app"]
# CMake library name -> folder.
LIBRARIES = {"common": "common", "project": "project", "engine": "engine",
             "msibuilder": "msi", "manager": "manager", "ui": "ui", "appcore": "app"}
ALLOWED = {layer: set(CHAIN[:i + 1]) for i, layer in enumerate(CHAIN)}
ALLOWED["tools"] = {"common", "msi", "tools"}

# The headers of process-wide state's accessors and of the entry points'
# start-up of the paths (what each is, for the message), and the folders that
# must not include them: engine/, msi/ and project/ take what they need as
# arguments. (The include/exclude selection and the excluded-change stores
# lived in the other two before the session held them.)
SHARED_STATE = {"common/PathSetup.h": "the entry points' path start-up",
                "project/IncludeExcludeLists.h": "the process-wide",
                "engine/ExcludedChangeStores.h": "the process-wide"}
SHARED_STATE_FREE = ("engine", "msi", "project")
SHARED_STATE_EXCEPTIONS: set = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/', re.M)
UNIT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+/[^"]+)\.(?:h|cpp)"', re.M)
LINK = re.compile(r"target_link_libraries\(\s*(\S+)\s+(?:PUBLIC|PRIVATE|INTERFACE)?([^)]*)\)", re.S)
HEADER_INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+/[^"]+)"', re.M)


def shared_state(root: pathlib.Path) -> list[str]:
    """Includes of a process-wide state's accessors from engine/, msi/ or project/."""
    problems = []
    for layer in SHARED_STATE_FREE:
        folder = root / layer
        if not folder.is_dir():
            continue
        for source in sorted(folder.rglob("*")):
            name = source.relative_to(root).as_posix()
            if source.suffix not in (".cpp", ".h") or name in SHARED_STATE_EXCEPTIONS:
                continue
            for target in HEADER_INCLUDE.findall(source.read_text(errors="replace")):
                if target in SHARED_STATE:
                    problems.append(f"{name}: includes {SHARED_STATE[target]} {target}")
    return problems


def check(root: pathlib.Path) -> list[str]:
    problems = []
    for layer, allowed in ALLOWED.items():
        folder = root / layer
        if not folder.is_dir():
            continue
        for source in sorted(folder.rglob("*")):
            if source.suffix in (".cpp", ".h", ".rc"):
                for target in INCLUDE.findall(source.read_text(errors="replace")):
                    if target in ALLOWED and target not in allowed:
                        problems.append(f"{source.relative_to(root)}: includes {target}/ above {layer}/")
            elif source.name == "CMakeLists.txt":
                for _, libs in LINK.findall(source.read_text()):
                    for lib in libs.split():
                        up = LIBRARIES.get(lib)
                        if up and up not in allowed:
                            problems.append(f"{source.relative_to(root)}: links {lib} above {layer}/")
    return problems


def circles(root: pathlib.Path) -> list[str]:
    """Include circles between the units (header and source together) of one layer."""
    problems = []
    for layer in CHAIN:
        folder = root / layer
        if not folder.is_dir():
            continue
        edges: dict[str, set[str]] = {}
        for source in sorted(folder.rglob("*")):
            if source.suffix not in (".cpp", ".h"):
                continue
            unit = source.relative_to(root).with_suffix("").as_posix()
            for target in UNIT_INCLUDE.findall(source.read_text(errors="replace")):
                if target.split("/")[0] == layer and target != unit:
                    edges.setdefault(unit, set()).add(target)
        # Tarjan's strongly connected components, iteratively.
        index: dict[str, int] = {}
        low: dict[str, int] = {}
        stack: list[str] = []
        on_stack: set[str] = set()
        for start in sorted(edges):
            if start in index:
                continue
            work = [(start, iter(sorted(edges.get(start, ()))))]
            index[start] = low[start] = len(index)
            stack.append(start)
            on_stack.add(start)
            while work:
                node, targets = work[-1]
                step = next(targets, None)
                if step is not None:
                    if step not in index:
                        index[step] = low[step] = len(index)
                        stack.append(step)
                        on_stack.add(step)
                        work.append((step, iter(sorted(edges.get(step, ())))))
                    elif step in on_stack:
                        low[node] = min(low[node], index[step])
                    continue
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    members = []
                    while True:
                        member = stack.pop()
                        on_stack.discard(member)
                        members.append(member)
                        if member == node:
                            break
                    if len(members) > 1:
                        problems.append(f"{layer}/: include circle between {', '.join(sorted(members))}")
    return problems


def self_test(root: pathlib.Path) -> bool:
    """The check must catch a planted upward include, an upward link, a circle
    and an include of a process-wide state's accessors."""
    import shutil
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        copy = pathlib.Path(tmp)
        for layer in ("engine", "msi", "project"):
            shutil.copytree(root / layer, copy / layer)
        with open(copy / "engine" / "Planted.cpp", "w") as f:
            f.write('#include "manager/UIManager.h"\n')
        with open(copy / "msi" / "CMakeLists.txt", "a") as f:
            f.write("target_link_libraries(msibuilder PUBLIC ui)\n")
        with open(copy / "msi" / "PlantedA.h", "w") as f:
            f.write('#include "msi/PlantedB.h"\n')
        with open(copy / "msi" / "PlantedB.cpp", "w") as f:
            f.write('#include "msi/PlantedA.h"\n')
        with open(copy / "msi" / "PlantedTable.cpp", "w") as f:
            f.write('#include "common/PathSetup.h"\n')
        with open(copy / "project" / "PlantedSelection.h", "w") as f:
            f.write('#include "project/IncludeExcludeLists.h"\n')
        found = check(copy)
        loops = [p for p in circles(copy) if "Planted" in p]
        shared = [p for p in shared_state(copy) if "Planted" in p]
    return (len(found) == 2 and loops == ["msi/: include circle between msi/PlantedA, msi/PlantedB"]
            and shared == ["msi/PlantedTable.cpp: includes the entry points' path start-up common/PathSetup.h",
                           "project/PlantedSelection.h: includes the process-wide project/IncludeExcludeLists.h"])


if __name__ == "__main__":
    if not self_test(pathlib.Path(__file__).parent.parent):
        print("layer check: the planted upward include, link, circle and shared-state include were not all found")
        sys.exit(1)
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    problems = check(root)
    loops = circles(root)
    shared = shared_state(root)
    for p in problems + loops + shared:
        print(p)
    print(f"layer check: {len(problems)} include(s) or link(s) pointing up, {len(loops)} include circle(s), "
          f"{len(shared)} include(s) of process-wide state")
    problems += loops + shared
    sys.exit(1 if problems else 0)
