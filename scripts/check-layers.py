#!/usr/bin/env python3
"""Fails when an #include or a CMake link points up the layer chain.

common <- project <- engine <- msi <- manager <- ui <- app
A folder may include and link only itself and the folders below it.
Beside the chain, tools/ may use common/ and msi/ headers only.
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

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/', re.M)
LINK = re.compile(r"target_link_libraries\(\s*(\S+)\s+(?:PUBLIC|PRIVATE|INTERFACE)?([^)]*)\)", re.S)


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


def self_test(root: pathlib.Path) -> bool:
    """The check must catch a planted upward include and an upward link."""
    import shutil
    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        copy = pathlib.Path(tmp)
        for layer in ("engine", "msi"):
            shutil.copytree(root / layer, copy / layer)
        with open(copy / "engine" / "Planted.cpp", "w") as f:
            f.write('#include "manager/UIManager.h"\n')
        with open(copy / "msi" / "CMakeLists.txt", "a") as f:
            f.write("target_link_libraries(msibuilder PUBLIC ui)\n")
        found = check(copy)
    return len(found) == 2


if __name__ == "__main__":
    if not self_test(pathlib.Path(__file__).parent.parent):
        print("layer check: the planted upward include and link were not both found")
        sys.exit(1)
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    problems = check(root)
    for p in problems:
        print(p)
    print(f"layer check: {len(problems)} include(s) or link(s) pointing up")
    sys.exit(1 if problems else 0)
