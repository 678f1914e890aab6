#!/usr/bin/env python3
"""Prints the benchmark table from the JSON results scripts/bench.sh leaves.

Ratios are speeds: a peer's median time over ours, so above 1 means we are
faster. Parses are timed by the wall clock, as ours may use a second thread;
writes by CPU time. Geometric means leave out the documents with mixed
content."""
import json
import math
import pathlib
import sys

DOCUMENTS = [
    "Gio-2.0.gir.xml", "attrs.xml", "deep.xml", "docbook-5.0.rng.xml",
    "freedesktop.org.xml", "iso_639-3.xml", "libxml2-api.xml",
    "libxml2-news.xhtml.xml", "records.xml", "text.xml", "wide.xml",
]
MIXED = {"libxml2-news.xhtml.xml"}  # the corpus README's "mixed" column
SETTINGS = {"0": "glibc defaults", "1": "keep freed memory"}


def medians(out, pattern, value):
    """run_name -> value(entry) of the median aggregates of the result files
    matching `pattern` (one per process)."""
    found = {}
    for path in sorted(out.glob(pattern)):
        runs = json.loads(path.read_text())["benchmarks"]
        # Parses timed by the wall clock carry "/real_time" in their names.
        found.update({r["run_name"].removesuffix("/real_time"): value(r) for r in runs
                      if r.get("aggregate_name") == "median"})
    return found


def ratio(times, peer, ours):
    if peer in times and ours in times and times[ours] > 0:
        return times[peer] / times[ours]
    return None


def geomean(values):
    values = [v for v in values if v]
    return math.exp(sum(map(math.log, values)) / len(values)) if values else None


def cell(value, digits=2):
    return "-" if value is None else f"{value:.{digits}f}"


def parse_table(out, setting):
    parse = medians(out, f"parse-{setting}-*.json", lambda r: r["real_time"])
    if not parse:
        print(f"\n(no parse results for allocator setting: {SETTINGS[setting]})")
        return
    write = medians(out, f"xmlout-{setting}-*.json", lambda r: r["cpu_time"])
    columns = [
        ("vs pugixml UTF-16", lambda d: ratio(parse, f"pugixml/utf16/{d}", f"tqxml/utf16/{d}")),
        ("vs pugixml UTF-8", lambda d: ratio(parse, f"pugixml/utf8/{d}", f"tqxml/utf8/{d}")),
        ("vs TinyXML-2 UTF-8", lambda d: ratio(parse, f"tinyxml2/utf8/{d}", f"tqxml/utf8/{d}")),
        ("write vs pugixml UTF-16",
         lambda d: None if d in MIXED else
         ratio(write, f"pugixml_utf16_memory/{d}", f"tqxml_memory/{d}")),
    ]
    print(f"\n### Speed of tqxml over the peer (parse: wall-clock medians; write: CPU-time"
          f" medians), allocator: {SETTINGS[setting]}\n")
    print("| document | " + " | ".join(name for name, _ in columns) + " |")
    print("|---|" + "---:|" * len(columns))
    table = {d: [f(d) for _, f in columns] for d in DOCUMENTS}
    for d in DOCUMENTS:
        print(f"| {d}{' (mixed)' if d in MIXED else ''} | " +
              " | ".join(cell(v) for v in table[d]) + " |")
    for label, leave_out in (("geometric mean", MIXED), ("geometric mean, text.xml left out",
                                                       MIXED | {"text.xml"})):
        means = [geomean([table[d][i] for d in DOCUMENTS if d not in leave_out])
                 for i in range(len(columns))]
        print(f"| **{label}** | " + " | ".join(cell(m) for m in means) + " |")
    lowest = [min((table[d][i] for d in DOCUMENTS if d not in MIXED and table[d][i]), default=None)
              for i in range(len(columns))]
    print("| lowest | " + " | ".join(cell(m) for m in lowest) + " |")


def threads_table(out):
    print("\n### Threads: each parses a document of its own from UTF-16 (wall-clock throughput medians)\n")
    print("Texts: \"different\": each thread's texts rotated by its index (names shared); "
          "\"same\": every thread parses a copy of the same text.\n")
    print("| parser | document | texts | allocator | 1 thread MB/s | 2 threads | 4 threads |")
    print("|---|---|---|---|---:|---:|---:|")
    for setting, setting_name in SETTINGS.items():
        rate = medians(out, f"parse-{setting}-*.json", lambda r: r.get("bytes_per_second", 0))
        for parser in ("tqxml", "tqxml-one-core", "pugixml"):
            for d in ("records.xml", "attrs.xml"):
                for group, texts in (("threads", "different"), ("threads-same-text", "same")):
                    name = f"{group}/{parser}/utf16/{d}/real_time/threads:"
                    one = rate.get(name + "1")
                    if not one:
                        continue
                    scaled = [rate.get(name + n, 0) / one for n in ("2", "4")]
                    print(f"| {parser} | {d} | {texts} | {setting_name} | {one / 1e6:.0f} | " +
                          " | ".join(f"{s:.2f}x" for s in scaled) + " |")


def memory_table(out):
    print("\n### Memory per element of the parsed tree, bytes (fresh process each)\n")
    print("| document | tqxml RSS | tqxml GetMemUsage | pugixml RSS | TinyXML-2 RSS | libxml2 RSS |")
    print("|---|---:|---:|---:|---:|---:|")
    for d in ("records.xml", "attrs.xml"):
        row = []
        for parser, counter in (("tqxml", "rss_B_per_element"), ("tqxml", "memusage_B_per_element"),
                                ("pugixml", "rss_B_per_element"), ("tinyxml2", "rss_B_per_element"),
                                ("libxml2", "rss_B_per_element")):
            path = out / f"memory-{parser}-{d}.json"
            runs = json.loads(path.read_text())["benchmarks"] if path.exists() else []
            row.append(runs[0].get(counter) if runs else None)
        print(f"| {d} | " + " | ".join(cell(v, 0) for v in row) + " |")


def main():
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build/bench/results")
    for setting in SETTINGS:
        parse_table(out, setting)
    threads_table(out)
    memory_table(out)


if __name__ == "__main__":
    main()
