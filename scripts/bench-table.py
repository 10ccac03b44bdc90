#!/usr/bin/env python3
"""Turns the benchmark output into one table: figure, measured values, ratio to
its baseline, target, verdict; and a last line with the figures that missed.
  bench-table.py <bench output file>"""
import re
import sys

text = open(sys.argv[1], encoding="utf-8", errors="replace").read()


def grab(pattern, group=1, index=0):
    found = re.findall(pattern, text)
    if len(found) <= index:
        return None
    value = found[index]
    return float(value if isinstance(value, str) else value[group - 1])


rows = []


def row(figure, measured, ratio, target, limit, at_most=True):
    if ratio is None:
        rows.append((figure, "not measured", "-", target, "MISSING"))
        return
    if limit is None:
        rows.append((figure, measured, f"{ratio:.2f}", target, "-"))
        return
    ok = ratio <= limit if at_most else ratio >= limit
    rows.append((figure, measured, f"{ratio:.2f}", target, "ok" if ok else "MISSED"))


walk = grab(r"file_bench: bare FindFirstFileExW walk, \d+ entries: ([\d.]+) ms")
capture = grab(r"file_bench: first capture with snapshot file, \d+ entries: ([\d.]+) ms")
row("File capture vs bare walk", f"{capture} ms vs {walk} ms",
    capture / walk if capture and walk else None, "<= 1.50", 1.50)

per_entry = grab(r"file_bench: memory: .*?([\d.]+) beyond the UTF-16 path")
total_entry = grab(r"file_bench: memory: .*?: ([\d.]+) bytes per entry")
row("Memory per snapshot entry (bytes beyond the path)", f"{total_entry} bytes/entry in all",
    per_entry, "<= 200", 200)

small = grab(r"file_bench: compare \+ FileChanges.xml, (\d+) added files: ([\d.]+) ms", 2, 0)
large = grab(r"file_bench: compare \+ FileChanges.xml, (\d+) added files: ([\d.]+) ms", 2, 1)
row("Comparison + FileChanges.xml, 10x entries / 1x", f"{small} ms -> {large} ms",
    large / small if small and large else None, "<= 12", 12)
row("Comparison + FileChanges.xml vs capture", f"{large} ms vs {capture} ms",
    grab(r"compare / capture = ([\d.]+)"), "<= 1.00", 1.00)

export = grab(r"Registry export, \d+ keys with 5 values each: ([\d.]+) ms")
rwalk = grab(r"Bare registry walk reading every value, same keys: ([\d.]+) ms")
row("Registry export vs bare walk", f"{export} ms vs {rwalk} ms",
    export / rwalk if export and rwalk else None, "<= 1.50", 1.50)
full = grab(r"Comparison of two full exports .*?: ([\d.]+) ms")
half = grab(r"Comparison of two half-size exports .*?: ([\d.]+) ms")
row("Registry comparison, full / half size", f"{half} ms -> {full} ms",
    full / half if full and half else None, "about 2 (<= 2.50)", 2.50)
row("Registry comparison vs export", f"{full} ms vs {export} ms",
    full / export if full and export else None, "<= 1.00", 1.00)

xs = grab(r"xml_bench: .*10,000 files in 1,000 folders: ([\d.]+) s")
xl = grab(r"xml_bench: .*100,000 files in 10,000 folders: ([\d.]+) s")
row("XML writer, 100,000 / 10,000 files", f"{xs} s -> {xl} s",
    xl / xs if xs and xl else None, "<= 12", 12)

rs = grab(r"report_bench: capture report, 12,000 rows: ([\d.]+) s")
rl = grab(r"report_bench: capture report, 120,000 rows: ([\d.]+) s")
rsize = grab(r"report_bench: capture report, 120,000 rows: [\d.]+ s, ([\d.]+) MB")
row("Capture report, 120,000 rows: s per 10,000 rows", f"{rs} s -> {rl} s",
    rl / 12 if rl else None, "<= 0.25", 0.25)
row("Capture report, 120,000 rows: size (MB)", f"{rsize} MB", rsize, "< 25", 25)

gcab = grab(r"gcab -c -z: ([\d.]+) s")
msi = grab(r"msi build: ([\d.]+) s")
row("Package build vs gcab -c -z", f"{msi} s vs {gcab} s",
    msi / gcab if msi and gcab else None, "<= 1.30", 1.30)
half = grab(r"msi build \(half\): ([\d.]+) s")
row("Package build, 10,000 / 5,000 files", f"{half} s -> {msi} s",
    msi / half if msi and half else None, "<= 2.40", 2.40)
large_gcab = re.search(r"gcab -c -z, (\d+) GB: ([\d.]+) s, (\d+) MiB", text)
large_msi = re.search(r"msi build, (\d+) GB: ([\d.]+) s, (\d+) MiB", text)
if large_gcab and large_msi:
    gb = large_msi.group(1)
    row(f"Package build, {gb} GB, vs gcab -c -z", f"{large_msi.group(2)} s vs {large_gcab.group(2)} s",
        float(large_msi.group(2)) / float(large_gcab.group(2)), "(reference)", None)
    row(f"Package build, {gb} GB, largest process (MiB)", f"{large_msi.group(3)} MiB vs gcab {large_gcab.group(3)} MiB",
        float(large_msi.group(3)), "<= 100", 100)
else:
    row("Package build, 3 GB, vs gcab -c -z", None, None, "(reference)", None)
wixl = grab(r"wixl: ([\d.]+) s")
if wixl:
    row("Package build vs wixl (same files)", f"{msi} s vs {wixl} s",
        msi / wixl if msi else None, "(reference)", None)

workload = re.search(r"road_bench: workload (\w+)", text)
workload = workload.group(1) if workload else "?"
road = grab(r"road_bench: capture road \(-capture\): wall ([\d.]+) s")
floor = grab(r"road_bench: floor \(walk.exe shots\): wall ([\d.]+) s")
row(f"Capture road vs walk.exe shots ({workload}, wall)", f"{road} s vs {floor} s",
    road / floor if road and floor else None, "<= 1.50", 1.50)
first = grab(r"road_bench: phases, median: first snapshot ([\d.]+) s")
second = grab(r"road_bench: phases, median: .*second snapshot ([\d.]+) s")
project = grab(r"road_bench: phases, median: .*project file ([\d.]+) s")
row("Road: first snapshot / second snapshot", f"{first} s vs {second} s",
    first / second if first and second else None, "<= 1.20", 1.20)
row("Road: project file / one snapshot", f"{project} s vs {second} s",
    project / second if project is not None and second else None, "< 0.10", 0.10)
peak = grab(r"road_bench: capture road .*peak working set ([\d.]+) MiB")
floor_peak = grab(r"road_bench: floor .*peak working set ([\d.]+) MiB")
if peak is None or floor_peak is None:
    rows.append(("Road peak memory vs floor", "not measured", "-", "<= 75 MiB", "MISSING"))
else:
    # The 75 MiB target is set for N100k; smaller workloads are shown only.
    verdict = ("ok" if peak <= 75 else "MISSED") if workload == "N100k" else "-"
    rows.append(("Road peak memory vs floor", f"{peak} MiB vs {floor_peak} MiB", f"{peak / floor_peak:.2f}",
                 "<= 75 MiB (N100k)", verdict))

headers = ("Figure", "Measured", "Ratio", "Target", "Result")
widths = [max(len(str(r[i])) for r in rows + [headers]) for i in range(5)]
line = lambda r: "  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip()
print(line(headers))
print("  ".join("-" * w for w in widths))
for r in rows:
    print(line(r))
missed = [r[0] for r in rows if r[4] in ("MISSED", "MISSING")]
print()
print("Missed targets: " + ("; ".join(missed) if missed else "none"))
