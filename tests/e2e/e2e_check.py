#!/usr/bin/env python3
"""Independent checks of what a capture produced, for the end-to-end tests.

Every check flattens one artefact into a set of text lines and compares it with
a section of the scenario's expectation file; both sets must be equal, so an
item missing from the artefact and an item that should not be there (noise,
a .tmp file, a shortcut) are both reported.

  e2e_check.py project <project.xml> <expect> <section>
  e2e_check.py msi-table <package.msi> <table> <columns> <expect> <section>
  e2e_check.py reg-export <export.reg> <expect> <section>
  e2e_check.py lines <file> <expect> <section>
  e2e_check.py same-project <project.xml> <other project.xml> <ignored element>...
      (an ignored element is a tag, or Tag@Name=value for the elements of that Name)

<columns> is a comma-separated list of 0-based column numbers of the table.
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET


def expected(path, section):
    """The lines of [section] in the expectation file (blank lines and # comments skipped)."""
    lines, current = [], None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("[") and line.endswith("]") and not line.startswith("[HKEY"):
                current = line[1:-1]
                continue
            if current == section and line.strip() and not line.startswith("#"):
                lines.append(line)
    return lines


def compare(what, actual, wanted):
    actual_set, wanted_set = set(actual), set(wanted)
    missing = sorted(wanted_set - actual_set)
    extra = sorted(actual_set - wanted_set)
    if len(actual) != len(actual_set):
        dupes = sorted({a for a in actual if actual.count(a) > 1})
        print(f"{what}: duplicated: {dupes}")
        return 1
    if missing or extra:
        print(f"{what}: differs from the expectation")
        for m in missing:
            print(f"  missing: {m}")
        for e in extra:
            print(f"  unexpected: {e}")
        return 1
    print(f"{what}: {len(actual)} items as expected")
    return 0


def project_lines(path):
    """One line per item of the project file: kind, list, and its attributes."""
    root = ET.parse(path).getroot()
    out = []
    for change in ("AddedItems", "ModifiedItems", "DeletedItems"):
        kind = change[:-5].lower()
        for d in root.findall(f"FileSystem/{change}/DirectoryList/Directory"):
            files = d.findall("File")
            if not files:
                out.append(f"folder {kind} {d.get('Name')}")
            for f in files:
                out.append(f"file {kind} {d.get('Name')}|{f.get('Name')}")
        for k in root.findall(f"RegistrySystem/{change}/SubKeyList/SubKey"):
            for v in k.findall("Value"):
                out.append(f"value {kind} {k.get('Name')}|{v.get('Name')}|{v.get('Type')}")
        for i in root.findall(f"INIFileSystem/{change}/FileList/File"):
            for s in i.findall("Section"):
                out.append(f"ini {kind} {i.get('Name')}|{s.get('Name')}|{s.get('Key')}|{s.get('Value')}")
    for s in root.findall("ShortcutList/Shortcut"):
        # The optional attributes of a captured shortcut, where present.
        extra = "".join(f"|{a}={s.get(a)}" for a in ("Subfolder", "Arguments", "WorkingFolder", "Description",
                                                      "ShowCmd") if s.get(a) is not None)
        out.append(f"shortcut {s.get('Name')}|{s.get('ExeName')}|{s.get('Directory')}{extra}")
    # Services and environment variables, where the capture found any.
    for s in root.findall("ServiceList/Service"):
        out.append("service " + "|".join(s.get(a) or "" for a in ("Name", "DisplayName", "Type", "Start", "Account",
                                                                   "Program", "Arguments")))
    for v in root.findall("EnvironmentList/Variable"):
        out.append("variable " + "|".join(v.get(a) or "" for a in ("Name", "System", "Action", "Value", "Prepend",
                                                                    "Append")))
    for p in root.findall("ProductInformation/ProductInformation"):
        platform = f"|{p.get('Platform')}" if p.get('Platform') is not None else ""
        out.append(f"product {p.get('ApplicationName')}|{p.get('Version')}|{p.get('CompanyName')}{platform}")
    return out


def element_lines(element, ignored, depth=0):
    """The element and everything below it, one line each, in document order;
    identifiers made afresh at each run compare as {GUID}."""
    if element.tag in ignored or f"{element.tag}@Name={element.get('Name')}" in ignored:
        return []
    guid = re.compile(r"\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}")
    attributes = " ".join(f'{k}="{guid.sub("{GUID}", v)}"' for k, v in sorted(element.attrib.items()))
    text = (element.text or "").strip()
    out = [f"{'  ' * depth}<{element.tag} {attributes}> {text}"]
    for child in element:
        out += element_lines(child, ignored, depth + 1)
    return out


def same_project(path, other, ignored):
    """Both project files equal element for element, apart from the ignored elements."""
    a = element_lines(ET.parse(path).getroot(), ignored)
    b = element_lines(ET.parse(other).getroot(), ignored)
    if a == b:
        print(f"project files: {len(a)} elements alike")
        return 0
    import difflib
    print("project files differ:")
    for line in difflib.unified_diff(b, a, other, path, lineterm="", n=2):
        print("  " + line)
    return 1


def msi_rows(package, table):
    text = subprocess.run(["msiinfo", "export", package, table], check=True,
                          capture_output=True).stdout.decode("utf-8")
    # Three header lines: column names, column types, table name and keys.
    return [r.rstrip("\r").split("\t") for r in text.split("\n")[3:] if r.strip("\r")]


def reg_export_lines(path):
    """'key|value line' for every value of a reg.exe export, continuations joined."""
    raw = open(path, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8")
    out, key, pending = [], None, ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("["):
            key = line[1:-1]
        elif key and (line.startswith('"') or line.startswith("@")):
            out.append(f"{key}|{line}")
    return out


def main(argv):
    command = argv[1]
    if command == "project":
        return compare(f"project file [{argv[3]}]", project_lines(argv[2]), expected(argv[3], argv[4]))
    if command == "msi-table":
        columns = [int(c) for c in argv[4].split(",")]
        # Identifiers made afresh at each build compare as {GUID}.
        guid = re.compile(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}")
        rows = ["|".join(guid.sub("{GUID}", r[c]) if c < len(r) else "" for c in columns)
                for r in msi_rows(argv[2], argv[3])]
        return compare(f"{argv[3]} table [{argv[6]}]", rows, expected(argv[5], argv[6]))
    if command == "reg-export":
        return compare(f"registry [{argv[4]}]", reg_export_lines(argv[2]), expected(argv[3], argv[4]))
    if command == "lines":
        with open(argv[2], encoding="utf-8") as f:
            actual = [l.rstrip("\r\n") for l in f if l.strip()]
        return compare(f"{argv[2]} [{argv[4]}]", actual, expected(argv[3], argv[4]))
    if command == "same-project":
        return same_project(argv[2], argv[3], set(argv[4:]))
    print(f"unknown command {command}")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
