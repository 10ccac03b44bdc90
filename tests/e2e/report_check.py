#!/usr/bin/env python3
"""Checks a capture report as a browser loaded it (the DOM chromium dumps)
against the project file it reports on.

  report_check.py <dom.html> <project.xml> <expect> <section> [<text that must stay text>]

Every file, registry value, INI entry and shortcut of the project file is one
row of its table, exactly once, and no row names anything else; the rows of
"Excluded from the capture" are the lines of [section] (kind|item|description);
the page has one script element (its own), and the given text is the whole
text of one cell.
"""
import sys
import xml.etree.ElementTree as ET
from html.parser import HTMLParser

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from e2e_check import compare, expected  # noqa: E402


class Report(HTMLParser):
    """Rows by section: (group heading, cell texts); the scripts; every cell."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.sections, self.scripts, self.cells = {}, 0, []
        self.section = self.group = None
        self.text = None  # the text being collected, or None
        self.row = None
        self.in_summary = self.in_group = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "script":
            self.scripts += 1
        elif tag == "summary":
            self.in_summary, self.text = True, ""
        elif tag == "tbody":
            self.group = None
        elif tag == "tr":
            self.in_group = attrs.get("class") == "g"
            self.row = None if self.in_group else []
        elif tag in ("td", "th") and (self.in_group or self.row is not None):
            self.text = ""

    def handle_endtag(self, tag):
        if tag == "summary":
            self.section = self.text.rsplit(" (", 1)[0]
            self.sections.setdefault(self.section, [])
            self.in_summary, self.text = False, None
        elif tag == "th" and self.in_group and self.text is not None:
            self.group, self.text = self.text, None
        elif tag == "td" and self.row is not None and self.text is not None:
            self.row.append(self.text)
            self.cells.append(self.text)
            self.text = None
        elif tag == "tr" and self.row is not None and self.section in self.sections:
            if self.row:
                self.sections[self.section].append((self.group, self.row))
            self.row = None

    def handle_data(self, data):
        if self.text is not None:
            self.text += data


def project_items(path):
    root = ET.parse(path).getroot()
    files, values, ini = [], [], []
    for directory in root.iter("Directory"):
        files += [directory.get("Name") + "\\" + f.get("Name") for f in directory.iter("File")]
    for key in root.iter("SubKey"):
        for value in key.iter("Value"):
            name = value.get("Name")
            if not name:
                continue
            name = "(Default)" if name == "@" else name[1:-1] if name.startswith('"') else name
            values.append(key.get("Name") + "|" + name)
    for ini_file in root.find("INIFileSystem").iter("File"):
        ini += ["|".join((ini_file.get("Name"), s.get("Name"), s.get("Key"), s.get("Value")))
                for s in ini_file.iter("Section")]
    shortcuts = [s.get("Name") + "|" + s.get("ExeName") for s in root.find("ShortcutList")]
    return {"Files": files, "Registry values": values, "INI entries": ini, "Shortcuts": shortcuts}


def main(argv):
    dom, project, expect, section = argv[1:5]
    report = Report()
    with open(dom, encoding="utf-8") as f:
        report.feed(f.read())
    rows = report.sections
    shown = {
        "Files": [g + "\\" + r[0] for g, r in rows.get("Files", [])],
        "Registry values": [g + "|" + r[0] for g, r in rows.get("Registry values", [])],
        "INI entries": ["|".join((g, r[0], r[1], r[2])) for g, r in rows.get("INI entries", [])],
        "Shortcuts": [r[0] + "|" + r[2] for g, r in rows.get("Shortcuts", [])],
    }
    ok = True
    for name, items in project_items(project).items():
        # A row shown twice counts as a failure of compare.
        ok = compare(f"report {name}", shown[name], items) == 0 and ok
    if not project_items(project)["Files"]:
        print("the project has no files: the check would prove nothing")
        ok = False
    excluded = ["|".join(r) for g, r in rows.get("Excluded from the capture", [])]
    ok = compare("report excluded", excluded, expected(expect, section)) == 0 and ok
    if report.scripts != 1:
        print(f"{report.scripts} script elements; only the report's own may be there")
        ok = False
    if len(argv) > 5 and argv[5] not in report.cells:
        print(f"no cell holds the text {argv[5]!r}")
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
