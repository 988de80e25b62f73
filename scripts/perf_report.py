#!/usr/bin/env python3
"""Turns the benchmarks' JSON output into docs/performance.md and one PNG
plot per operator family.

    scripts/perf_report.py RESULTS_DIR DOCS_DIR
"""
import json
import math
import os
import re
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def load(results_dir):
    runs = []
    context = None
    repetitions = defaultdict(list)  # runs per case -> programs
    for name in sorted(os.listdir(results_dir)):
        if name.endswith(".json"):
            with open(os.path.join(results_dir, name)) as f:
                data = json.load(f)
            context = context or data.get("context", {})
            if data["benchmarks"]:
                repetitions[data["benchmarks"][0].get("repetitions", 1)].append(name[:-len(".json")])
            # Repeated runs report their median under the plain run name.
            medians = [dict(b, name=b["run_name"]) for b in data["benchmarks"]
                       if b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median"]
            runs += medians or [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
    return runs, context, repetitions


# name pattern -> (family, implementation, group fields)
PATTERNS = [
    (r"BM_Zelvan(Less|Greater)<(\w+), k(\w+)>/(\d+)", "compare", "zelvan"),
    (r"BM_Scalar(Less)<(\w+), k(\w+)>/(\d+)", "compare", "scalar loop"),
    (r"BM_Eigen(Less)<(\w+), k(\w+)>/(\d+)", "compare", "Eigen"),
    (r"BM_CopyForCompare<(\w+), k(\w+)>/(\d+)", "compare", "copy kernel"),
    (r"BM_ReadForCompare<(\w+), k(\w+)>/(\d+)", "compare", "read kernel"),
    (r"BM_Zelvan(Select)/(\d+)", "select", "zelvan"),
    (r"BM_Scalar(Select)/(\d+)", "select", "scalar loop"),
    (r"BM_Eigen(Select)/(\d+)", "select", "Eigen"),
    (r"BM_CopyFor(Select)/(\d+)", "select", "copy kernel"),
    (r"BM_StreamsFor(Select)/(\d+)", "select", "streams kernel"),
    (r"BM_ZelvanFloorMod<(\w+), k(\w+), k(\w+)>/(\d+)", "floormod", "zelvan"),
    (r"BM_LibmFmod<(\w+), k(\w+), k(\w+)>/(\d+)", "floormod", "fmod loop"),
    (r"BM_SleefFmod<(\w+), k(\w+), k(\w+)>/(\d+)", "floormod", "SLEEF"),
    (r"BM_Find/(\d+)/(\d+)/(\d+)", "find", "zelvan (pool)"),
    (r"BM_FindCallingThread/(\d+)/(\d+)/(\d+)", "find", "calling thread"),
    (r"BM_AbslFlatHashMap/(\d+)/(\d+)/(\d+)", "find", "absl::flat_hash_map"),
    (r"BM_FindSpinningPair/(\d+)/(\d+)/(\d+)", "find", "spinning pair"),
    (r"BM_FindSleepingWorkers/(\d+)/(\d+)/(\d+)", "find", "sleeping workers"),
    (r"BM_RowCopyFloor/(\d+)/(\d+)/(\d+)", "find", "row copy"),
    (r"BM_HandOffFloor/waiters:(\d+)", "handoff", "floor"),
    (r"BM_MatmulColumnMajorFloat/(\d+)/(\d+)/(\d+)", "matmul-float", "zelvan"),
    (r"BM_OpenBlasSgemm/(\d+)/(\d+)/(\d+)", "matmul-float", "OpenBLAS sgemm"),
    (r"BM_MatmulDouble/(\d+)/(\d+)/(\d+)", "matmul-double", "zelvan"),
    (r"BM_OpenBlasDgemm/(\d+)/(\d+)/(\d+)", "matmul-double", "OpenBLAS dgemm"),
]


def table_name(log2_buckets):
    return "L2-resident" if log2_buckets <= 12 else "beyond LLC"


def run_name(run):
    return run["name"].replace("/real_time", "")


def runs_named(runs, pattern):
    """(groups, run) for every run whose name matches pattern, for the benchmarks read by their counters."""
    return [(m.groups(), run) for run in runs for m in [re.fullmatch(pattern, run_name(run))] if m]


def classify(run):
    name = run_name(run)
    for pattern, family, impl in PATTERNS:
        m = re.fullmatch(pattern, name)
        if not m:
            continue
        g = m.groups()
        if family == "compare":
            if impl in ("copy kernel", "read kernel"):
                return family, impl, (None, g[0], g[1]), int(g[2]), run["bytes_per_second"] / 1e9
            return family, impl, (g[0], g[1], g[2]), int(g[3]), run["bytes_per_second"] / 1e9
        if family == "select":
            return family, impl, ("Select",), int(g[1]), run["bytes_per_second"] / 1e9
        if family == "floormod":
            return family, impl, (g[0], g[1], g[2]), int(g[3]), run["items_per_second"] / 1e6
        if family == "handoff":
            return family, impl, ("floor",), int(g[0]), 1e6 / run["items_per_second"]
        if family == "find":
            batch, log2, vs = (int(v) for v in g)
            return family, impl, (table_name(log2), vs), batch, run["items_per_second"] / 1e6
        m_, n_, k_ = g
        return family, impl, (f"{m_}x{n_}x{k_}",), int(m_) * int(n_) * int(k_), run["GFLOPS"]
    return None


# Why a pool's case reached SPEEDUP_TARGET over the calling thread or not:
# met; no two threads got there, not even without sleeping (spinning pair);
# or no pool whose workers sleep got there (sleeping workers); else the pool
# fell short.
SPEEDUP_TARGET = 1.7
VERDICTS = {"met": "met", f"pair < {SPEEDUP_TARGET}": "out of reach of two spinning threads",
            f"sleeping < {SPEEDUP_TARGET}": "out of reach of threads that sleep between calls", "missed": "missed"}


def speedup_verdict(pool, thread, pair, sleeping):
    if not (pool and thread and pair and sleeping):
        return "-"
    if pool / thread >= SPEEDUP_TARGET:
        return "met"
    if pair / thread < SPEEDUP_TARGET:
        return f"pair < {SPEEDUP_TARGET}"
    if sleeping / thread < SPEEDUP_TARGET:
        return f"sleeping < {SPEEDUP_TARGET}"
    return "missed"


def human(n):
    for unit, scale in (("M", 1 << 20), ("K", 1 << 10)):
        if n >= scale and n % scale == 0:
            return f"{n // scale}{unit}"
    return str(n)


def main():
    results_dir, docs_dir = sys.argv[1], sys.argv[2]
    runs, context, repetitions = load(results_dir)
    data = defaultdict(dict)  # (family, group) -> {(impl, x): value}
    sleef = next((r.get("label") for r in runs if r["name"].startswith("BM_SleefFmod") and r.get("label")), "?")
    for run in runs:
        c = classify(run)
        if c:
            family, impl, group, x, value = c
            data[(family, group)][(impl, x)] = value

    def value(family, group, impl, x):
        return data.get((family, group), {}).get((impl, x))

    def ratio(a, b):
        return f"{a / b:.2f}" if a and b else "-"

    def cell(v):
        return f"{v:.2f}" if v else "-"

    lines = ["# Performance", ""]
    lines.append(
        "Generated by `scripts/bench.sh` from one fresh Release build: every peer is measured in the same run, "
        "each case "
        + " or ".join(f"{'once' if count == 1 else f'{count} times'} ({', '.join(programs)})"
                      for count, programs in sorted(repetitions.items(), reverse=True))
        + ", the cases interleaved at random; the tables show the medians. "
        f"Machine: {context.get('num_cpus', '?')} CPUs at {context.get('mhz_per_cpu', '?')} MHz "
        f"({context.get('host_name', '')}), {context.get('date', '')}. Single thread unless said.")
    lines.append("")

    # Compares.
    lines += ["## Less / Greater", "",
              "GB/s of traffic (bytes read plus written). `copy` is a memcpy moving the same bytes: the streaming "
              "limit of one core. `read` only reads the compare's inputs, into a reduction, and writes nothing: "
              "from 16M elements on it is one core's read bandwidth for those inputs.", "",
              "| op | type | form | n | zelvan | scalar loop | Eigen | copy | read | vs scalar | vs Eigen | of copy "
              "| of read |",
              "|---|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for (family, group), values in sorted(data.items(), key=lambda kv: str(kv[0])):
        if family != "compare" or group[0] is None:
            continue
        op, t, form = group
        sizes = sorted({x for (_, x) in values})
        for n in sizes:
            z = value(family, group, "zelvan", n)
            s = value(family, ("Less", t, form), "scalar loop", n)
            e = value(family, ("Less", t, form), "Eigen", n)
            c = value(family, (None, t, form), "copy kernel", n)
            r = value(family, (None, t, form), "read kernel", n)
            lines.append(f"| {op} | {t} | {form} | {human(n)} | {z:.2f} | {s or 0:.2f} | {e or 0:.2f} | {c or 0:.2f} "
                         f"| {r or 0:.2f} | {ratio(z, s)} | {ratio(z, e)} | {ratio(z, c)} | {ratio(z, r)} |")
    lines.append("")

    lines += ["## Select", "",
              "GB/s of traffic. `streams` reads and writes Select's four arrays the same way with no selection "
              "(out = x ^ y, the condition bytes reduced): the memory system's limit for this access pattern.", "",
              "| n | zelvan | scalar loop | Eigen | copy | streams | vs scalar | vs Eigen | of copy | of streams |",
              "|---|---|---|---|---|---|---|---|---|---|"]
    for n in sorted({x for (_, x) in data.get(("select", ("Select",)), {})}):
        g = ("Select",)
        z, s, e, c, t = (value("select", g, i, n)
                         for i in ("zelvan", "scalar loop", "Eigen", "copy kernel", "streams kernel"))
        lines.append(f"| {human(n)} | {z:.2f} | {s:.2f} | {e:.2f} | {c:.2f} | {t or 0:.2f} | {ratio(z, s)} "
                     f"| {ratio(z, e)} | {ratio(z, c)} | {ratio(z, t)} |")
    lines.append("")

    lines += ["## FloorMod", "",
              "Million elements/s; every zelvan result is bit-identical to fmodf/fmod. `Small` quotients are below "
              "2^24, `Huge` ones above 2^53 (the library path).", "",
              f"| type | form | quotients | n | zelvan | fmod loop | SLEEF {sleef} | vs fmod | vs SLEEF |",
              "|---|---|---|---|---|---|---|---|---|"]
    for (family, group), values in sorted(data.items(), key=lambda kv: str(kv[0])):
        if family != "floormod":
            continue
        for n in sorted({x for (_, x) in values}):
            z, f, s = (value(family, group, i, n) for i in ("zelvan", "fmod loop", "SLEEF"))
            lines.append(f"| {group[0]} | {group[1]} | {group[2]} | {human(n)} | {z:.1f} | {f:.1f} | {s:.1f} "
                         f"| {ratio(z, f)} | {ratio(z, s)} |")
    lines.append("")

    lines += ["## Find", "",
              "Million keys/s, half of the keys present, tables half full. Every call takes the next batch of a "
              "1M-key stream, so no run repeats the keys of the last. `zelvan (pool)` runs on every worker "
              "(2 here); the other two run on the calling thread. `absl::flat_hash_map` holds the same keys with the "
              "row index as value and copies the rows as the library does, except that long rows always go through "
              "memmove: the library's streaming stores slowed it. `spinning pair` splits each batch between the "
              "calling thread and a second thread that is already running, so no wake-up is paid: the ceiling for "
              "two threads on this machine at that moment (`ceiling` = spinning pair / calling thread). "
              "`sleeping workers` is the pool's design with nothing else: one block per worker, workers asleep on "
              "one condition variable between batches and woken one per block, the caller asleep until the last "
              "block is done, but no task objects or futures (`of sleeping` = zelvan (pool) / sleeping workers). "
              "`row copy` is the floor under one thread's lookup: every key's source row known in advance, only "
              "the rows' copy left (`of row copy` = calling thread / row copy). `1.7×` tells whether the pool reached "
              "1.7× the calling thread from 64K keys up and, where not, whether the spinning pair (`pair < 1.7`) or "
              "the sleeping workers (`sleeping < 1.7`) stayed under it as well.",
              "", "| table | valueSize | batch | zelvan (pool) | calling thread | absl::flat_hash_map | spinning pair "
              "| sleeping workers | row copy | speedup | ceiling | sleeping / thread | of sleeping | thread vs absl "
              "| of row copy | 1.7× |",
              "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"]
    verdicts = defaultdict(int)
    of_sleeping = []
    for (family, group), values in sorted(data.items(), key=lambda kv: str(kv[0])):
        if family != "find":
            continue
        for n in sorted({x for (_, x) in values}):
            z, t, a, p, w, c = (value(family, group, i, n) for i in
                                ("zelvan (pool)", "calling thread", "absl::flat_hash_map", "spinning pair",
                                 "sleeping workers", "row copy"))
            verdict = speedup_verdict(z, t, p, w)
            if verdict != "-":
                verdicts[verdict] += 1
                of_sleeping.append(z / w)
            lines.append(f"| {group[0]} | {group[1]} | {human(n)} | {z:.2f} | {t:.2f} | {a:.2f} | {cell(p)} "
                         f"| {cell(w)} | {cell(c)} | {ratio(z, t)} | {ratio(p, t)} | {ratio(w, t)} | {ratio(z, w)} "
                         f"| {ratio(t, a)} | {ratio(t, c)} | {verdict} |")
    lines.append("")
    if of_sleeping:
        mean = math.exp(sum(math.log(r) for r in of_sleeping) / len(of_sleeping))
        lines += [f"From 64K keys up ({len(of_sleeping)} cases), the pool's 1.7× over the calling thread is "
                  + ", ".join(f"{VERDICTS[v]} in {verdicts[v]}" for v in VERDICTS if verdicts[v])
                  + f". `zelvan (pool)` runs at {mean:.2f} of `sleeping workers` (geometric mean; "
                  f"{min(of_sleeping):.2f} to {max(of_sleeping):.2f}): the workers must sleep between calls, so "
                  "where the sleeping workers stay under 1.7× no pool built that way gets there on this host at "
                  "that moment.", ""]
    floors = sorted((x, f) for (_, x), f in data.get(("handoff", ("floor",)), {}).items())
    placements = runs_named(runs, r"BM_FindPlacement/(\d+)/(\d+)/(\d+)")
    if placements:
        wake = floors[0][1] if floors else None
        lines += ["Where the host ran the pool's blocks: each batch split as Find splits it, through the pool, with "
                  "each block noting when it ran. A batch is `concurrent` when every block started before the first "
                  "one ended; the others ran one after another. The speed-ups divide the calling thread's time per "
                  "batch by the mean time of each kind of batch. `last start` is how long after the call the last "
                  "block started; `return` how long after the last block ended the caller was back, both in µs and "
                  "averaged over all batches. For 1 key, `last start` is the wake-up of the one worker that runs it: "
                  "the library's own share of the call is the rest. `bound` is the most that any pool whose workers "
                  "sleep between calls can give here: the calling thread's time over the spinning pair's plus one "
                  f"wake-up of a sleeping thread (the 1-waiter hand-off floor below, {cell(wake)} µs).", "",
                  "| table | valueSize | batch | concurrent | speedup, concurrent | speedup, serialised | last start "
                  "| return | bound |", "|---|---|---|---|---|---|---|---|---|"]
        for (batch, log2, vs), run in sorted(placements, key=lambda p: (int(p[0][1]), int(p[0][2]), int(p[0][0]))):
            table = table_name(int(log2))
            n = int(batch)
            thread = value("find", (table, int(vs)), "calling thread", n)
            pair = value("find", (table, int(vs)), "spinning pair", n)
            per_batch = n / thread if thread else None  # µs on the calling thread

            def speedup(us):
                return f"{per_batch / us:.2f}" if per_batch and us else "-"
            bound = speedup(n / pair + wake) if pair and wake else "-"
            lines.append(f"| {table} | {vs} | {human(n)} | {run['concurrent']:.2f} "
                         f"| {speedup(run['concurrent_us'])} | {speedup(run['serial_us'])} "
                         f"| {run['last_start_us']:.1f} | {run['return_us']:.1f} | {bound} |")
        lines.append("")
    paired = {(table_name(int(log2)), int(vs)): run
              for (log2, vs), run in runs_named(runs, r"BM_FindBesideFloor/1/(\d+)/(\d+)")}
    if floors:
        waiters = [w for w, _ in floors]
        lines += ["Latency of a 1-key call on the pool, in µs, beside the floor under it: posting one task to threads "
                  "blocked on one condition variable and polling until the woken one answers, nothing else handed "
                  f"over. With 1 waiting thread the same one wakes every time; with the pool's {waiters[-1]} the "
                  "condition variable picks which, as it does for the pool. Those are separate benchmarks, and the "
                  "host's wake-up drifts between them. The `paired` columns alternate a 1-key Find with the "
                  f"{waiters[-1]}-waiter floor call by call, so both meet the host in the same state; `added` is "
                  "what the library adds to the wake-up.", "",
                  "| table | valueSize | 1-key Find | " + " | ".join(f"floor, {w} waiting" for w in waiters)
                  + " | of pool's floor | paired: Find | paired: floor | added |",
                  "|---|---|---|" + "---|" * (len(waiters) + 4)]
        for (family, group), values in sorted(data.items(), key=lambda kv: str(kv[0])):
            z = value(family, group, "zelvan (pool)", 1) if family == "find" else None
            if z:
                cells = " | ".join(f"{f:.1f}" for _, f in floors)
                pair = paired.get(group)
                pair_cells = (f"{pair['find_us']:.1f} | {pair['floor_us']:.1f} | "
                              f"{pair['find_us'] - pair['floor_us']:+.1f}" if pair else "- | - | -")
                lines.append(f"| {group[0]} | {group[1]} | {1 / z:.1f} | {cells} | {1 / z / floors[-1][1]:.2f} "
                             f"| {pair_cells} |")
        lines.append("")

    def peak(family, peer):
        """The peer's GFLOP/s at the largest problem: the machine's peak for that type."""
        best = max(((x, group[0], v) for (fam, group), values in data.items() if fam == family
                    for (impl, x), v in values.items() if impl == peer), default=(0, "-", None))
        return best[1], best[2]

    for family, peer, title in (("matmul-float", "OpenBLAS sgemm", "Matmul, column-major float (tiled)"),
                                ("matmul-double", "OpenBLAS dgemm", "Matmul, double")):
        shape, top = peak(family, peer)
        lines += [f"## {title}", "", f"GFLOP/s; the peer is one {peer} call over the whole matrices with OpenBLAS "
                  f"on every core. The machine's peak, as that call measures it at the largest size ({shape}), is "
                  f"{cell(top)} GFLOP/s.", "",
                  "| m x n x k | zelvan | OpenBLAS | ratio |", "|---|---|---|---|"]
        for (fam, group), values in sorted(data.items(), key=lambda kv: min(x for (_, x) in kv[1])):
            if fam != family:
                continue
            for n in sorted({x for (_, x) in values}):
                z, o = value(fam, group, "zelvan", n), value(fam, group, peer, n)
                lines.append(f"| {group[0]} | {z:.1f} | {o:.1f} | {ratio(z, o)} |")
        lines.append("")

    # Plots: one per family, throughput against size.
    os.makedirs(os.path.join(docs_dir, "plots"), exist_ok=True)
    plots = []

    def plot(name, title, ylabel, series, xlabel="elements", legend="best", legend_columns=1, ymin=None):
        fig, ax = plt.subplots(figsize=(7, 4.2))
        for label, points, style in series:
            if points:
                xs, ys = zip(*sorted(points))
                ax.plot(xs, ys, style, label=label)
        ax.set_xscale("log", base=2)
        if ymin is not None:
            ax.set_ylim(bottom=ymin)
        ax.set_title(title)
        ax.set_xlabel(xlabel)
        ax.set_ylabel(ylabel)
        ax.grid(True, alpha=0.3)
        ax.legend(fontsize=8, loc=legend, ncol=legend_columns)
        fig.tight_layout()
        path = os.path.join(docs_dir, "plots", f"{name}.png")
        fig.savefig(path, dpi=110)
        plt.close(fig)
        plots.append((title, f"plots/{name}.png"))

    def points(family, group, impl):
        return [(x, v) for (i, x), v in data.get((family, group), {}).items() if i == impl]

    plot("compare", "Less<long> array-array", "GB/s",
         [("zelvan", points("compare", ("Less", "long", "AA"), "zelvan"), "o-"),
          ("scalar loop", points("compare", ("Less", "long", "AA"), "scalar loop"), "s--"),
          ("Eigen", points("compare", ("Less", "long", "AA"), "Eigen"), "^--"),
          ("copy kernel (streaming limit)", points("compare", (None, "long", "AA"), "copy kernel"), "k:")])
    plot("select", "Select<long>", "GB/s",
         [(i, points("select", ("Select",), i), s) for i, s in
          (("zelvan", "o-"), ("scalar loop", "s--"), ("Eigen", "^--"), ("copy kernel", "k:"))])
    plot("floormod", "FloorMod<float> array-array, small quotients", "M elements/s",
         [(label, points("floormod", ("float", "AA", "Small"), i), s) for label, i, s in
          (("zelvan", "zelvan", "o-"), ("fmod loop", "fmod loop", "s--"), (f"SLEEF {sleef}", "SLEEF", "^--"))])
    plot("find", "Find, valueSize 16, table beyond LLC", "M keys/s",
         [(i, points("find", ("beyond LLC", 16), i), s) for i, s in
          (("zelvan (pool)", "o-"), ("calling thread", "s--"), ("absl::flat_hash_map", "^--"))], xlabel="keys")
    def squares(family, impl):
        """(n, GFLOP/s) of impl on the n x n x n problems."""
        found = []
        for (fam, group), values in data.items():
            dims = group[0].split("x") if fam == family else []
            if len(set(dims)) == 1:
                found += [(int(dims[0]), v) for (i, _), v in values.items() if i == impl]
        return found

    matmul = []
    for family, peer, type_ in (("matmul-float", "OpenBLAS sgemm", "float"), ("matmul-double", "OpenBLAS dgemm",
                                                                              "double")):
        blas = squares(family, peer)
        shape, top = peak(family, peer)
        matmul += [(f"zelvan {type_}", squares(family, "zelvan"), "o-"), (peer, blas, "s--")]
        if blas and top:
            sizes = [n for n, _ in blas]
            matmul.append((f"{type_} peak ({shape})", [(min(sizes), top), (max(sizes), top)], "k:"))
    plot("matmul", "Matmul, column-major squares", "GFLOP/s", matmul, xlabel="n (n x n x n)",
         legend="lower right", legend_columns=2, ymin=0)
    lines += ["## Plots", ""] + [f"![{t}]({p})" for t, p in plots]
    with open(os.path.join(docs_dir, "performance.md"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
