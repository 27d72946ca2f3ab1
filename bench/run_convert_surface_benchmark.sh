#!/usr/bin/env bash
# Runs every case of convert_surface_benchmark in its own process (so that
# each peak memory figure is clean), RUNS times each (default 3), and
# prints one table of the medians.
# Usage: [RUNS=n] run_convert_surface_benchmark.sh [binary] [filter regex]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
binary="${1:-$root/build/bench/convert_surface_benchmark}"
filter="${2:-.}"
runs="${RUNS:-3}"
results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT

echo "load before: $(uptime)"
index=0
while read -r name; do
    for run in $(seq "$runs"); do
        index=$((index + 1))
        "$binary" --benchmark_filter="^${name}\$" --benchmark_format=json \
            > "$results/$(printf '%04d' "$index").json" 2> /dev/null
    done
done < <("$binary" --benchmark_list_tests --benchmark_filter="$filter")
echo "load after:  $(uptime)"

python3 - "$results" "$runs" <<'PY'
import glob, json, statistics, sys

# Median of every figure over the runs of each case, in listing order.
runs = {}
for path in sorted(glob.glob(sys.argv[1] + "/*.json")):
    for row in json.load(open(path))["benchmarks"]:
        runs.setdefault(row["name"], []).append(row)
rows = []
for name, group in runs.items():
    row = {"name": name}
    for key, value in group[0].items():
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            row[key] = statistics.median(r[key] for r in group)
    rows.append(row)

def case(row, prefix):
    return row["name"].replace(prefix, "").replace("/iterations:1", "")

steps = ["setup_and_checks", "wireframe", "corners_lines", "surfaces",
         "mappings", "release_builder", "cut", "blocks", "model_boundaries"]
print("\nmedians of %s run(s) per case, each in its own process" % sys.argv[2])
print("\nWhole call: ms of the call, processor ms of all threads during "
      "it (of which in the kernel), pages faulted in per 1000 triangles, ms "
      "to release its result, and bytes per input triangle above the input "
      "at the peak")
print("%-28s %10s %8s %8s %8s %8s %8s %8s" % (
    "size/shape/threads", "triangles", "call", "cpu", "kernel", "flt/kt",
    "release", "B/tri"))
for row in rows:
    if row["name"].startswith("BM_convert_surface_into_brep/"):
        print("%-28s %10d %8.0f %8.0f %8.0f %8.0f %8.0f %8.0f" % (
            case(row, "BM_convert_surface_into_brep/"), row["triangles"],
            row["call_s"] * 1e3, row["call_cpu_s"] * 1e3,
            row["call_system_s"] * 1e3, row["faults_per_triangle"] * 1e3,
            row["release_s"] * 1e3, row["bytes_per_triangle"]))

for title, suffix in (("ms", "_s"), ("processor ms of all threads", "_cpu_s")):
    print("\nSteps: " + title)
    print("%-28s" % "size/shape/threads" +
          "".join("%9s" % s[:8] for s in steps))
    for row in rows:
        if row["name"].startswith("BM_convert_surface_steps/"):
            print("%-28s" % case(row, "BM_convert_surface_steps/") + "".join(
                "%9.0f" % (row.get(s + suffix, 0) * 1e3) for s in steps))

print("\nBook of k triangles on one edge: ms")
for row in rows:
    if row["name"].startswith("BM_convert_book/"):
        print("%-28s %8.0f" % (case(row, "BM_convert_book/"),
                               row["real_time"]))
PY
