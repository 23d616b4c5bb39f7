#!/usr/bin/env python3
"""Reads the benchmark's result files and prints the comparison table.

    report.py RESULTS_DIR REPO_ROOT

Figures only: the exit code is 0 whatever the numbers are.
"""
import datetime
import math
import os
import re
import statistics
import subprocess
import sys

VIEWERS = ["tarnplayer", "feh", "mpv"]
NOMINAL_TIMED_MS = 20000.0
SLIDES = 20


def read_fields(path):
    """The "name value..." lines of one result file, or None when absent."""
    if not os.path.exists(path):
        return None
    fields = {}
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts:
                fields[parts[0]] = parts[1:]
    return fields


def number(fields, name):
    if not fields or "error" in fields or name not in fields or not fields[name]:
        return None
    try:
        return float(fields[name][0])
    except ValueError:
        return None


def percentile(values, fraction):
    """Nearest-rank percentile."""
    ordered = sorted(values)
    rank = max(1, math.ceil(fraction * len(ordered)))
    return ordered[rank - 1]


def repeated(results, pattern):
    values = []
    for name in sorted(os.listdir(results)):
        if re.fullmatch(pattern, name):
            value = None
            fields = read_fields(os.path.join(results, name))
            for key in ("first_ms", "child_ms", "copy_ms"):
                value = value if value is not None else number(fields, key)
            if value is not None:
                values.append(value)
    return values


def error_of(results, name):
    fields = read_fields(os.path.join(results, name))
    if fields and "error" in fields:
        return " ".join(fields["error"])
    return None


def command_line(args):
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=10).stdout
    except (OSError, subprocess.SubprocessError):
        return ""


def machine():
    model = "unknown CPU"
    for line in command_line(["lscpu"]).splitlines():
        if line.startswith("Model name:"):
            model = line.split(":", 1)[1].strip()
    cores = os.cpu_count()
    memory = "?"
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                memory = f"{int(line.split()[1]) / 1024 / 1024:.0f} GiB"
    kernel = os.uname().release
    return f"{model}, {cores} cores, {memory} memory, Linux {kernel}"


def first_line(text):
    return text.splitlines()[0].strip() if text.strip() else "not installed"


def fmt(value, digits=0):
    if value is None:
        return "—"
    return f"{value:.{digits}f}"


def ratio(ours, theirs, digits=2):
    if ours is None or theirs is None or theirs == 0:
        return "—"
    return f"{ours / theirs:.{digits}f}×"


def main(argv):
    results, root = argv[1], argv[2]
    figures = {v: {} for v in VIEWERS}
    for v in VIEWERS:
        f = figures[v]
        starts = repeated(results, rf"{v}-start-\d+\.txt")
        f["start"] = statistics.median(starts) if starts else None
        f["start_runs"] = len(starts)
        keys = read_fields(os.path.join(results, f"{v}-keys.txt"))
        latencies = [float(x) for x in keys["latency_ms"]] if keys and "latency_ms" in keys else []
        f["key_median"] = statistics.median(latencies) if latencies else None
        f["key_p90"] = percentile(latencies, 0.9) if latencies else None
        f["key_max"] = max(latencies) if latencies else None
        rss = number(keys, "peak_rss_kb")
        f["rss_mb"] = rss * 1024 / 1e6 if rss is not None else None
        timed = read_fields(os.path.join(results, f"{v}-timed.txt"))
        end = number(timed, "end_ms")
        f["timed_total"] = end
        f["timed_error"] = end - NOMINAL_TIMED_MS if end is not None else None
        if timed and "appear_ms" in timed and end is not None:
            # Slide k is due k seconds after the first one appeared.
            appear = [float(x) for x in timed["appear_ms"]]
            f["behind_worst"] = max(at - 1000.0 * (k + 1) for k, at in enumerate(appear))
            f["missed"] = number(timed, "missed")
        else:
            f["behind_worst"] = f["missed"] = None
        largest = number(keys, "peak_rss_largest_kb")
        f["rss_largest_mb"] = largest * 1024 / 1e6 if largest is not None else None
        early = number(keys, "changed_before_key")
        early_note = (f"the screen had already left the shown photo before {early:.0f} key presses"
                      if early else None)
        f["problems"] = [early_note] if early_note else []
        f["problems"] += [e for e in (error_of(results, f"{v}-keys.txt"), error_of(results, f"{v}-timed.txt"),
                                     error_of(results, f"{v}-start-1.txt")) if e]

    t, feh, mpv = figures["tarnplayer"], figures["feh"], figures["mpv"]
    player_mode = repeated(results, r"tarnplayer-playermode-\d+\.txt")
    extract = repeated(results, r"extract-\d+\.txt")
    copies = repeated(results, r"cat-\d+\.txt")
    entry_copies = repeated(results, r"cat-entries-\d+\.txt")
    size = None
    if os.path.exists(os.path.join(results, "extract-bytes.txt")):
        with open(os.path.join(results, "extract-bytes.txt")) as f:
            size = float(f.read().strip() or 0) or None
    def rate(times, pick):
        return size / 1e6 / (pick(times) / 1000) if size and times else None

    # Other work on the machine only ever adds time: the best run is the
    # closest to what each copy costs by itself; the median is shown beside it.
    extract_best, copy_best = rate(extract, min), rate(copies, min)
    extract_median, copy_median = rate(extract, statistics.median), rate(copies, statistics.median)
    entries_best, entries_median = rate(entry_copies, min), rate(entry_copies, statistics.median)

    def met(condition):
        if condition is None:
            return "—"
        return "yes" if condition else "**no**"

    def key_goal():
        m = t["key_median"]
        if m is None or feh["key_median"] is None or mpv["key_median"] is None:
            return None
        return m <= 33 and 5 * m <= feh["key_median"] and 5 * m <= mpv["key_median"]

    rows = [
        ("Key to new slide, median (ms)", "key_median", 1, "≤ 33 and ≥ 5× faster than both", key_goal()),
        ("Key to new slide, 90th percentile (ms)", "key_p90", 1, "", None),
        ("Key to new slide, slowest (ms)", "key_max", 1, "", None),
        ("Start to first slide, median (ms)", "start", 0, "< 200",
         t["start"] < 200 if t["start"] is not None else None),
        ("Peak resident memory over the set (MB)", "rss_mb", 1, "< 150",
         t["rss_mb"] < 150 if t["rss_mb"] is not None else None),
        ("Peak resident memory, largest process (MB)", "rss_largest_mb", 1, "", None),
        ("Timed advance, 20 × 1000 ms: total (ms)", "timed_total", 0, "20000 ± 20",
         abs(t["timed_error"]) <= 20 if t["timed_error"] is not None else None),
        ("Timed advance: total − 20000 (ms)", "timed_error", 0, "", None),
        ("Timed advance: latest slide behind its due time (ms)", "behind_worst", 0, "", None),
        ("Timed advance: slides never seen", "missed", 0, "", None),
    ]

    git_rev = first_line(command_line(["git", "-C", root, "rev-parse", "--short", "HEAD"]))
    feh_version = first_line(command_line(["feh", "--version"]))
    mpv_version = " ".join(first_line(command_line(["mpv", "--version"])).split()[:2])
    packer = "—"
    if os.path.exists(os.path.join(results, "packer.txt")):
        with open(os.path.join(results, "packer.txt")) as f:
            packer = f.read().strip()

    out = []
    out.append("## TarnPlayer against feh and mpv")
    out.append("")
    out.append(f"- Run: {datetime.datetime.now().strftime('%Y-%m-%d %H:%M')}, TarnPlayer at commit {git_rev}"
               f" (Release), packages written by {packer}")
    out.append(f"- Machine: {machine()}")
    load_start = "?"
    if os.path.exists(os.path.join(results, "load-start.txt")):
        with open(os.path.join(results, "load-start.txt")) as f:
            load_start = f.read().strip()
    load_end = " ".join(f"{x:.2f}" for x in os.getloadavg())
    out.append(f"- Load average (1, 5, 15 min) at start {load_start}, at end {load_end}"
               " (the machine is shared: other work shifts the figures)")
    out.append("- Screen: Xvfb 1920×1080×24, no window manager")
    mpv_vo = "?"
    if os.path.exists(os.path.join(results, "mpv-vo.txt")):
        with open(os.path.join(results, "mpv-vo.txt")) as f:
            mpv_vo = f.read().strip()
    out.append(f"- Viewers: {feh_version} (--fullscreen); {mpv_version} (--fs --vo={mpv_vo})")
    out.append(f"- Photos: {SLIDES} JPEGs of 6000×4000 (24 MP, about 9 MB each, every fourth progressive)")
    out.append("")
    out.append("| Measure | TarnPlayer | feh | mpv | TarnPlayer/feh | TarnPlayer/mpv | Goal | Met |")
    out.append("|---|---:|---:|---:|---:|---:|---|---|")
    for label, key, digits, goal, ok in rows:
        if key == "timed_error":
            r_feh = ratio(abs(t[key]) if t[key] is not None else None,
                          abs(feh[key]) if feh[key] is not None else None)
            r_mpv = ratio(abs(t[key]) if t[key] is not None else None,
                          abs(mpv[key]) if mpv[key] is not None else None)
        elif key in ("timed_total", "missed", "behind_worst"):
            r_feh = r_mpv = ""
        else:
            r_feh, r_mpv = ratio(t[key], feh[key]), ratio(t[key], mpv[key])
        out.append(f"| {label} | {fmt(t[key], digits)} | {fmt(feh[key], digits)} | {fmt(mpv[key], digits)} "
                   f"| {r_feh} | {r_mpv} | {goal} | {met(ok) if goal else ''} |")
    out.append("")
    out.append("| Extraction of a 500 MB package | TarnPlayer | cat | TarnPlayer/cat | Goal | Met "
               "| cat, a file per entry | TarnPlayer/that |")
    out.append("|---|---:|---:|---:|---|---|---:|---:|")
    out.append(f"| Throughput (MB/s), best of {len(extract)} | {fmt(extract_best)} | {fmt(copy_best)} "
               f"| {ratio(extract_best, copy_best)} | ≥ 0.90× | "
               f"{met(extract_best / copy_best >= 0.9 if extract_best and copy_best else None)} "
               f"| {fmt(entries_best)} | {ratio(extract_best, entries_best)} |")
    out.append(f"| Throughput (MB/s), median of {len(extract)} | {fmt(extract_median)} | {fmt(copy_median)} "
               f"| {ratio(extract_median, copy_median)} | | | {fmt(entries_median)} "
               f"| {ratio(extract_median, entries_median)} |")
    out.append("")
    fade = read_fields(os.path.join(results, "tarnplayer-fade.txt"))
    if fade and "fade_fps" in fade:
        fps = [float(x) for x in fade["fade_fps"]]
        took = [float(x) for x in fade["fade_ms"]]
        first = [float(x) for x in fade["key_to_change_ms"]]
        out.append(f"TarnPlayer's one-second cross-fade between two photos: {statistics.median(fps):.0f} distinct "
                   f"frames per second seen on screen (median of {len(fps)} fades, slowest {min(fps):.0f}; "
                   f"goal ≥ 30: {met(min(fps) >= 30)}), the fade seen for {statistics.median(took):.0f} ms, "
                   f"its first frame {statistics.median(first):.0f} ms after the key "
                   f"(a cut puts the whole photo there in {fmt(t['key_median'])} ms, median).")
        out.append("")
    elif error_of(results, "tarnplayer-fade.txt"):
        out.append(f"TarnPlayer's cross-fade: {error_of(results, 'tarnplayer-fade.txt')}")
        out.append("")
    if player_mode:
        out.append(f"TarnPlayer started in player mode (no package, no extraction): first slide after "
                   f"{statistics.median(player_mode):.0f} ms (median of {len(player_mode)}).")
        out.append("")
    out.append("How each figure is taken: key latency from the XTEST key press to the moment nine screen boxes "
               "show the next photo's colours and detail, one key every "
               "settle period over the whole set; start from fork to the first photo on screen (TarnPlayer: the "
               "packaged executable, extraction of the 20 photos included); memory is the sum of VmHWM over the "
               "viewer's process tree (TarnPlayer: package process + player); timed advance from the first "
               "photo's appearance to the last photo leaving the screen, slide k being due k seconds after the "
               "first appeared; extraction from starting the package to "
               "the start of its player, against `cat` of the same file into the same folder, and against `cat` of the "
               "package's entries into a file each (the files extraction writes), page cache warm.")
    missing = os.path.join(results, "tarnplayer-missing.txt")
    if os.path.exists(missing):
        with open(missing) as f:
            out.append("")
            out.append(f"TarnPlayer was not measured: {f.read().strip()}.")
    for v in VIEWERS:
        for problem in figures[v]["problems"]:
            out.append("")
            out.append(f"{v}: {problem}")
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
