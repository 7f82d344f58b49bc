#!/usr/bin/env python3
"""Two builds of the command-line tool side by side on one drawing.

    bench/ab_import.py OLD/veltrane-cli NEW/veltrane-cli DRAWING.dxf [ROUNDS] [-- OPTION ...]

Runs `veltrane-cli import --matching absolute=0.01 -o OUT DRAWING` with each build in
alternating rounds (old, new, old, new, ...), each run a process of its own, and prints
the median CPU time (user + system) and peak memory of each, the median of the per-round
ratios new/old, and whether the two programs written are the same byte for byte. Options
after "--" are passed to both imports (e.g. -- --dedupe, -- --order inner-first). On a
noisy machine the ratio of neighbouring runs is steadier than either time alone.
"""
import os
import statistics
import sys
import tempfile


def run(exe, drawing, out, options=()):
    pid = os.fork()
    if pid == 0:
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, 1)
        os.dup2(null, 2)
        os.execv(exe, [exe, "import", "--matching", "absolute=0.01", *options, "-o", out, drawing])
    _, status, usage = os.wait4(pid, 0)
    if status != 0:
        sys.exit(f"{exe} failed (status {status})")
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def main():
    args, options = sys.argv[1:], []
    if "--" in args:
        options = args[args.index("--") + 1:]
        args = args[:args.index("--")]
    if len(args) < 3:
        sys.exit(__doc__)
    old, new, drawing = args[:3]
    rounds = int(args[3]) if len(args) > 3 else 5
    with tempfile.TemporaryDirectory() as tmp:
        out_old, out_new = os.path.join(tmp, "old.bas"), os.path.join(tmp, "new.bas")
        t_old, t_new, peak_old, peak_new = [], [], 0.0, 0.0
        for _ in range(rounds):
            t, m = run(old, drawing, out_old, options)
            t_old.append(t)
            peak_old = max(peak_old, m)
            t, m = run(new, drawing, out_new, options)
            t_new.append(t)
            peak_new = max(peak_new, m)
        with open(out_old, "rb") as a, open(out_new, "rb") as b:
            same = a.read() == b.read()
    ratio = statistics.median(n / o for o, n in zip(t_old, t_new))
    print("| drawing | old s | new s | new/old | peak MiB old | new | same program |")
    print("|---|---|---|---|---|---|---|")
    print(f"| {os.path.basename(drawing)} | {statistics.median(t_old):.3f} | {statistics.median(t_new):.3f} "
          f"| {ratio:.3f} | {peak_old:.0f} | {peak_new:.0f} | {'yes' if same else 'NO'} |")
    print(f"\nMedians of {rounds} alternating rounds; new/old is the median of each round's ratio.")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
