#!/usr/bin/env python3
"""Prints bench/run's report as Markdown tables.

Reads, from the results folder: decode.json (Google Benchmark, medians of
the repetitions), tool.json (hyperfine), rss.tsv (file, size, peak KiB),
rss_baseline.txt (peak KiB of unls11 run without a file); encode.tsv
(ls11_bench_encode), pack/runs.tsv (ls11 pack and repack through unls11);
from the corpus folder: sizes.tsv (ls11_bench_prepare), yardstick.tsv
(ls11_bench_yardstick) and the LS11 files themselves, for their largest
block.
"""
import json
import os
import struct
import sys

KINDS = ["text", "binary", "mixed"]
CODECS = ["ls11", "zlib", "libdeflate", "lz4", "zstd", "memcpy"]
SPLIT_TITLES = {"entries": "entries of 4-64 KiB", "files": "whole files as entries"}


def cpu_name():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown processor"


def medians(path):
    """name -> decoded bytes per second, from the median aggregates."""
    with open(path) as f:
        data = json.load(f)
    speeds = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            speeds[b["run_name"]] = b["bytes_per_second"]
    return speeds


def set_bytes(corpus, kind, split):
    with open(os.path.join(corpus, "sizes.tsv")) as f:
        for row in f.read().splitlines()[1:]:
            cols = row.split("\t")
            if cols[0] == kind and cols[1] == split:
                return int(cols[3])
    raise KeyError((kind, split))


def decode_table(corpus, speeds, split):
    """MB/s per kind and overall (total bytes over total time), with ratios."""
    out = ["### Decoding, %s (MB/s of decoded output)" % SPLIT_TITLES[split], "",
           "| codec | text | binary | mixed | all | vs zlib (text / binary / mixed / all) | vs memcpy (all) |",
           "|---|---:|---:|---:|---:|---|---:|"]
    overall = {}
    per_kind = {}
    for codec in CODECS:
        seconds = 0.0
        total = 0
        for kind in KINDS:
            bps = speeds["decode/%s/%s/%s" % (split, kind, codec)]
            size = set_bytes(corpus, kind, split)
            per_kind[codec, kind] = bps
            seconds += size / bps
            total += size
        overall[codec] = total / seconds
    for codec in CODECS:
        vals = [per_kind[codec, k] for k in KINDS] + [overall[codec]]
        ratios = [per_kind[codec, k] / per_kind["zlib", k] for k in KINDS] + [overall[codec] / overall["zlib"]]
        out.append("| %s | %s | %s | %.3f |" % (
            codec, " | ".join("%.0f" % (v / 1e6) for v in vals),
            " / ".join("%.2fx" % r for r in ratios), overall[codec] / overall["memcpy"]))
    ratios = decode_ratios(corpus, speeds, split)
    out.append("")
    out.append("decode_block against libdeflate: " + ", ".join(
        "%s %.2fx" % (k, ratios[k]) for k in KINDS + ["all"]) + ".")
    return out


def decode_ratios(corpus, speeds, split):
    """decode_block's speed against libdeflate's per kind and overall
    (total bytes over total time)."""
    ratios = {}
    seconds = {"ls11": 0.0, "libdeflate": 0.0}
    for kind in KINDS:
        size = set_bytes(corpus, kind, split)
        for codec in seconds:
            seconds[codec] += size / speeds["decode/%s/%s/%s" % (split, kind, codec)]
        ratios[kind] = speeds["decode/%s/%s/ls11" % (split, kind)] / speeds["decode/%s/%s/libdeflate" % (split, kind)]
    ratios["all"] = seconds["libdeflate"] / seconds["ls11"]
    return ratios


def long_match_table(speeds):
    out = ["### Long matches: one block of an 8 KiB text chunk repeated eight times", "",
           "| codec | MB/s | share of memcpy |", "|---|---:|---:|"]
    mem = speeds["decode/longmatch/memcpy"]
    for codec in CODECS:
        bps = speeds["decode/longmatch/%s" % codec]
        out.append("| %s | %.0f | %.1f%% |" % (codec, bps / 1e6, 100 * bps / mem))
    return out


def size_table(corpus):
    with open(os.path.join(corpus, "sizes.tsv")) as f:
        rows = [r.split("\t") for r in f.read().splitlines()]
    head, rows = rows[0], rows[1:]
    col = {name: i for i, name in enumerate(head)}
    sizes = ["ls11_best", "ls11_fast", "zlib_9", "libdeflate_12", "lz4", "zstd_3"]
    out = ["### Compressed size (% of the original; block bytes only)", "",
           "| kind | split | MB | " + " | ".join(s.replace("_", " -") for s in sizes) + " |",
           "|---|---|---:|" + "---:|" * len(sizes)]
    for r in rows:
        raw = int(r[col["raw"]])
        out.append("| %s | %s | %.1f | %s |" % (
            r[col["kind"]], r[col["split"]], raw / 1e6,
            " | ".join("%.1f" % (100.0 * int(r[col[s]]) / raw) for s in sizes)))
    return out


def encode_table(corpus, results):
    """Encoder speed (MB/s of input, median of the repetitions) and sizes
    against the yardstick, from one run of ls11_bench_encode."""
    yard = yardstick(corpus)
    runs, raw, threads = encode_runs(results)
    mbs = lambda k, c, l, t=1: raw[k] / 1e6 / runs[k + (c, l, t)][0]
    load = loads(results)
    out = ["### Encoder speed (MB/s of input, one run) and sizes against the yardstick", "",
           "Load average %.2f at the start and %.2f at the end." % (load["encoder", "start"], load["encoder", "end"]),
           "",
           "| kind | split | best 1T | best %dT | fast 1T | fast %dT | libdeflate -12 | libdeflate -6 "
           "| zlib -9 | zlib -6 | best / ld -12 | fast / ld -6 | best / ld -12 (CPU) | fast / ld -6 (CPU) "
           "| best %dT / 1T | fast %dT / 1T | best vs yardstick | fast vs yardstick | fast vs best |" % (
               threads, threads, threads, threads),
           "|---|---|" + "---:|" * 17]
    for key in sorted(raw, key=lambda k: (KINDS.index(k[0]), k[1])):
        best, fast = runs[key + ("ls11", "best", 1)][1], runs[key + ("ls11", "fast", 1)][1]
        out.append("| %s | %s | %s | %.2fx | %.2fx | %.2fx | %.2fx | %.2fx | %.2fx | %+.2f%% | %+.2f%% | %+.2f%% |" % (
            key[0], key[1],
            " | ".join("%.1f" % v for v in [mbs(key, "ls11", "best"), mbs(key, "ls11", "best", threads),
                                             mbs(key, "ls11", "fast"), mbs(key, "ls11", "fast", threads),
                                             mbs(key, "libdeflate", "12"), mbs(key, "libdeflate", "6"),
                                             mbs(key, "zlib", "9"), mbs(key, "zlib", "6")]),
            mbs(key, "ls11", "best") / mbs(key, "libdeflate", "12"),
            mbs(key, "ls11", "fast") / mbs(key, "libdeflate", "6"),
            cpu_ratio(runs, key, "best", "12"), cpu_ratio(runs, key, "fast", "6"),
            mbs(key, "ls11", "best", threads) / mbs(key, "ls11", "best"),
            mbs(key, "ls11", "fast", threads) / mbs(key, "ls11", "fast"),
            100.0 * (best / yard[key] - 1), 100.0 * (fast / yard[key] - 1), 100.0 * (fast / best - 1)))
    return out


def yardstick(corpus):
    with open(os.path.join(corpus, "yardstick.tsv")) as f:
        return {(r[0], r[1]): int(r[3]) for r in (l.split("\t") for l in f.read().splitlines()[1:])}


def encode_runs(results):
    """ls11_bench_encode's rows: (kind, split, codec, level, threads) ->
    (seconds, bytes, CPU seconds), the sets' raw sizes, and the most
    threads an LS11 run had."""
    with open(os.path.join(results, "encode.tsv")) as f:
        rows = [l.split("\t") for l in f.read().splitlines()[1:]]
    runs = {}
    raw = {}
    threads = 1
    for kind, split, _, size, codec, level, t, seconds, cpu_seconds, size_out in rows:
        runs[kind, split, codec, level, int(t)] = (float(seconds), int(size_out), float(cpu_seconds))
        raw[kind, split] = int(size)
        if codec == "ls11":
            threads = max(threads, int(t))
    return runs, raw, threads


def cpu_ratio(runs, key, level, other_level):
    """The LS11 level's speed against libdeflate's by CPU time, one thread."""
    return runs[key + ("libdeflate", other_level, 1)][2] / runs[key + ("ls11", level, 1)][2]


def loads(results):
    """The load average at the start and the end of each timed part."""
    with open(os.path.join(results, "load.tsv")) as f:
        rows = [l.split("\t") for l in f.read().splitlines()]
    return {(part, when): float(value) for part, when, value in rows}


def whole_table(results):
    """ls11 pack of many small files against libdeflate-gzip on the same
    bytes, whole processes timed by hyperfine, and the ratios the encoder
    is held to."""
    with open(os.path.join(results, "whole", "times.json")) as f:
        data = json.load(f)["results"]
    t = {r["command"]: r["median"] for r in data}
    cpu = {r["command"]: r["user"] + r["system"] for r in data}
    load = loads(results)
    raw = os.path.getsize(os.path.join(results, "whole", "entries.raw"))
    entries = len(open(os.path.join(results, "whole", "names")).read().split())
    out = ["### Whole-process packing: `ls11 pack` of %d files of 4-64 KiB (%.1f MB of headers and "
           "programs) against libdeflate-gzip on the same bytes (median of %d runs)" % (
               entries, raw / 1e6, len(data[0]["times"])), "",
           "Load average %.2f at the start and %.2f at the end." % (load["whole", "start"], load["whole", "end"]), "",
           "| command | seconds | MB/s | CPU seconds (user + system, mean) |", "|---|---:|---:|---:|"]
    for r in data:
        name = r["command"]
        label = "ls11 pack --level %s -T %s" % tuple(name.split()) if name.split()[0] in ("best", "fast") \
            else "libdeflate-gzip " + name.split()[1]
        out.append("| %s | %.3f | %.1f | %.3f |" % (label, t[name], raw / 1e6 / t[name], cpu[name]))
    # On a loaded machine the wall times of one thread move with the other
    # jobs; the CPU times beside them move less. Two threads can only be
    # judged by wall time, on a machine whose other jobs leave a core free.
    out += ["", "| ratio | by wall time | by CPU time | goal |", "|---|---:|---:|---:|",
            "| best, 1 thread, speed vs libdeflate -12 | %.2fx | %.2fx | >= 1.0x |" % (
                t["libdeflate -12"] / t["best 1"], cpu["libdeflate -12"] / cpu["best 1"]),
            "| fast, 1 thread, speed vs libdeflate -6 | %.2fx | %.2fx | >= 1.0x |" % (
                t["libdeflate -6"] / t["fast 1"], cpu["libdeflate -6"] / cpu["fast 1"]),
            "| best, 2 threads vs 1 | %.2fx | - | >= 1.8x |" % (t["best 1"] / t["best 2"]),
            "| fast, 2 threads vs 1 | %.2fx | - | >= 1.8x |" % (t["fast 1"] / t["fast 2"])]
    return out


def pack_table(results):
    """ls11 pack and repack of the corpus, decoded with unls11."""
    out = ["### ls11 pack (files) and repack (entries) of the corpus, decoded with unls11", "",
           "| kind | split | level | threads | seconds | peak RSS (MiB) | unls11 gives the input | "
           "same bytes as 1 thread |", "|---|---|---|---:|---:|---:|---|---|"]
    with open(os.path.join(results, "pack", "runs.tsv")) as f:
        for row in f.read().splitlines():
            kind, split, level, threads, seconds, kib, same, identical = row.split("\t")
            out.append("| %s | %s | %s | %s | %s | %.1f | %s | %s |" % (
                kind, split, level, threads, seconds, int(kib) / 1024, same, identical))
    return out


def tool_table(results):
    with open(os.path.join(results, "tool.json")) as f:
        data = json.load(f)["results"]
    times = {r["command"]: r["median"] for r in data}
    cpu = {r["command"]: r["user"] + r["system"] for r in data}  # means over the runs
    out = ["### The whole tool on the three 4-64 KiB entry files (median of %d runs)" % len(data[0]["times"]), "",
           "| command | seconds | vs cat | CPU seconds (user + system, mean) | vs cat |", "|---|---:|---:|---:|---:|"]
    for name in ["unls11", "cat", "gzip -dc"]:
        out.append("| %s | %.3f | %.2fx | %.3f | %.2fx |" % (
            name, times[name], times[name] / times["cat"], cpu[name], cpu[name] / cpu["cat"]))
    out.append("")
    out.append("unls11 takes %.2fx the time of cat and is %.2fx faster than gzip -dc." % (
        times["unls11"] / times["cat"], times["gzip -dc"] / times["unls11"]))
    return out


def largest_sizes(path):
    """The largest packed size and the largest unpacked size in the file
    (the two block buffers a conversion holds), and its entry count."""
    with open(path, "rb") as f:
        f.seek(272)
        first = struct.unpack(">III", f.read(12))
        count = (first[2] - 276) // 12
        f.seek(272)
        table = f.read(12 * count)
    entries = [struct.unpack_from(">III", table, 12 * i) for i in range(count)]
    return max(e[0] for e in entries), max(e[1] for e in entries), count


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def rss_table(results):
    """What unls11 adds to its own baseline (the same binary run without a
    file, whose C library and mappings differ between machines) against a
    bound that holds on any machine: the largest packed and unpacked block,
    the entry table, and 1 MiB for stream buffers and the code the
    conversion touches."""
    with open(os.path.join(results, "rss_baseline.txt")) as f:
        base = median(int(p) for p in f.read().split())
    out = ["### Peak memory of unls11 converting one file (5 runs each)", "",
           "Baseline: unls11 run without a file, %d KiB (median); \"added\" is the peak minus it." % base, "",
           "| file | MB | largest packed + largest unpacked block (KiB) | table (KiB) | bound (+1 MiB) |"
           " peak RSS, median (KiB) | added, median (KiB) | added, highest (KiB) | within |",
           "|---|---:|---:|---:|---:|---:|---:|---:|---|"]
    with open(os.path.join(results, "rss.tsv")) as f:
        for row in f.read().splitlines():
            path, size, runs = row.split("\t")
            peaks = [int(p) for p in runs.split()]
            packed, unpacked, count = largest_sizes(path)
            block_kib = (packed + unpacked) / 1024
            table_kib = 12 * count / 1024
            bound = block_kib + table_kib + 1024
            added = median(peaks) - base
            out.append("| %s | %.1f | %.0f | %.0f | %.0f | %d | %d | %d | %s |" % (
                os.path.basename(path), int(size) / 1e6, block_kib, table_kib, bound, median(peaks),
                added, max(peaks) - base, "yes" if added <= bound else "no"))
    return out


def js_runs(results):
    """file name -> {"bytes": decoded bytes, "native": [seconds], "ls11.js": [seconds]}."""
    runs = {}
    with open(os.path.join(results, "js_decode.tsv")) as f:
        for row in f.read().splitlines():
            who, path, decoded, seconds = row.split("\t")
            runs.setdefault(os.path.basename(path), {"bytes": int(decoded)}).setdefault(who, []).append(float(seconds))
    return runs


def js_ratios(results):
    """ls11.js's speed over the native library's, per file."""
    return [median(run["native"]) / median(run["ls11.js"]) for run in js_runs(results).values()]


def js_decode_table(results):
    """ls11.js in Node against the native library on the same files: the
    median over the rounds of each one's median pass."""
    runs = js_runs(results)
    out = ["### Whole files decoded in memory: ls11.js in Node against the native library "
           "(median of %d rounds)" % len(next(iter(runs.values()))["native"]), "",
           "| file | decoded MB | native MB/s | ls11.js MB/s | ls11.js / native |", "|---|---:|---:|---:|---:|"]
    ratios = []
    for name, run in sorted(runs.items()):
        native, js = run["bytes"] / median(run["native"]) / 1e6, run["bytes"] / median(run["ls11.js"]) / 1e6
        ratios.append(js / native)
        out.append("| %s | %.1f | %.0f | %.0f | %.2fx |" % (name, run["bytes"] / 1e6, native, js, js / native))
    out += ["", "ls11.js decodes at %.2fx the native library's speed (median over the files)." % median(ratios)]
    return out


def goals_table(corpus, results, speeds):
    """Each goal of the encoder and the decoder as a ratio from this run,
    with the load average of the part that measured it; `speeds` is None
    when the run left out decoding."""
    load = loads(results)
    around = lambda part: "%.1f-%.1f" % (load[part, "start"], load[part, "end"])
    rows = []

    def goal(name, measured, part, met):
        rows.append("| %s | %s | %s | %s |" % (name, measured, around(part), "yes" if met else "no"))

    with open(os.path.join(results, "whole", "times.json")) as f:
        data = json.load(f)["results"]
    cpu = {r["command"]: r["user"] + r["system"] for r in data}
    wall = {r["command"]: r["median"] for r in data}
    runs, raw, _ = encode_runs(results)
    keys = sorted(raw, key=lambda k: (KINDS.index(k[0]), k[1]))
    yard = yardstick(corpus)
    listed = lambda values: ", ".join("%s %s %s" % (k[0], k[1], v) for k, v in values)

    # Each level against its libdeflate peer, and its size against what it
    # must stay near: the best level for fast, the yardstick for best.
    for level, peer, near, limit in (("fast", "6", "best", 0.04), ("best", "12", "yardstick", 0.003)):
        whole = cpu["libdeflate -%s" % peer] / cpu["%s 1" % level]
        goal("%s >= 1.0x libdeflate -%s by CPU time, whole process" % (level, peer), "%.2fx" % whole,
             "whole", whole >= 1.0)
        blocks = [(k, cpu_ratio(runs, k, level, peer)) for k in keys]
        goal("%s >= 1.0x libdeflate -%s by CPU time, each corpus set" % (level, peer),
             listed((k, "%.2fx" % r) for k, r in blocks), "encoder", min(r for _, r in blocks) >= 1.0)
        reference = lambda k: yard[k] if near == "yardstick" else runs[k + ("ls11", near, 1)][1]
        sizes = [(k, runs[k + ("ls11", level, 1)][1] / reference(k) - 1) for k in keys]
        goal("%s within %g%% of the %s, each corpus set" % (level, 100 * limit, near),
             listed((k, "%+.2f%%" % (100 * r)) for k, r in sizes), "encoder", max(r for _, r in sizes) <= limit)
    for level in ("best", "fast"):
        ratio = wall["%s 1" % level] / wall["%s 2" % level]
        goal("%s on 2 threads >= 1.8x 1 thread by wall time, whole process" % level, "%.2fx" % ratio,
             "whole", ratio >= 1.8)
    if speeds is not None:
        for split in ("entries", "files"):
            ratios = decode_ratios(corpus, speeds, split)
            goal("decode_block >= 1.10x libdeflate, %s" % SPLIT_TITLES[split],
                 ", ".join("%s %.2fx" % (k, ratios[k]) for k in KINDS + ["all"]), "decode",
                 min(ratios.values()) >= 1.10)
        js = js_ratios(results)
        goal("ls11.js >= 0.6x native, median over the corpus files", "%.2fx" % median(js), "js",
             median(js) >= 0.6)
    return ["### Goals, as ratios from this run", "",
            "| goal | measured | load average (start-end of its part) | met |", "|---|---|---|---|"] + rows


def main():
    corpus, results = sys.argv[1], sys.argv[2]
    lines = ["Measured on: %s (%d logical cores), a shared machine; ratios come from one run." % (
        cpu_name(), os.cpu_count() or 0), ""]
    parts = [size_table(corpus), encode_table(corpus, results), whole_table(results), pack_table(results)]
    # The decoding parts, unless the run was --packing-only.
    speeds = None
    if os.path.exists(os.path.join(results, "decode.json")):
        speeds = medians(os.path.join(results, "decode.json"))
        parts = [decode_table(corpus, speeds, "entries"), decode_table(corpus, speeds, "files"),
                 long_match_table(speeds)] + parts + [tool_table(results), rss_table(results),
                                                      js_decode_table(results)]
    for part in [goals_table(corpus, results, speeds)] + parts:
        lines += part + [""]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
