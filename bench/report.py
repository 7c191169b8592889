#!/usr/bin/env python3
"""Prints the medians of a Google Benchmark JSON file as a table, with each group's zk::
entry divided by every other entry of the group (the peers measured in the same run).

Benchmark names are GROUP/IMPLEMENTATION, e.g. price/d2/zk::FormatFixed.
"""
import json
import sys

# FormatFixed must not be slower than std::to_chars and take at most a third of snprintf.
LIMITS = {"std::to_chars": 1.0, "snprintf": 1.0 / 3.0}


def main(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    medians = {}
    for run in runs:
        if run.get("aggregate_name") == "median":
            medians[run["run_name"]] = run["real_time"] * scale[run["time_unit"]]

    groups = {}
    for name, ns in medians.items():
        group, _, implementation = name.rpartition("/")
        groups.setdefault(group, []).append((implementation, ns))

    print(f"{'group':<14} {'implementation':<34} {'median ns':>10}  {'zk / this':>9}")
    failed = []
    for group, entries in groups.items():
        ours_name, ours = next(((i, ns) for i, ns in entries if i.startswith("zk::")), (None, None))
        for implementation, ns in entries:
            ratio = "" if ours is None or implementation == ours_name else f"{ours / ns:9.3f}"
            limit = LIMITS.get(implementation) if ours_name == "zk::FormatFixed" else None
            mark = ""
            if limit is not None and ratio:
                mark = "  ok" if ours <= limit * ns else f"  over {limit:.2f}"
                if ours > limit * ns:
                    failed.append(f"{group}: zk vs {implementation}")
            print(f"{group:<14} {implementation:<34} {ns:10.2f}  {ratio:>9}{mark}")
    if failed:
        print("FormatFixed over its limit in: " + ", ".join(failed))


if __name__ == "__main__":
    main(sys.argv[1])
