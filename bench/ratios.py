#!/usr/bin/env python3
"""Speed and memory of the translator as ratios measured in one run.

ratios.py BUILD_DIR CORPUS_DIR WORK_DIR [--quick] [--session N] [--procs 1,2,4,8]

  corpus   glslang compiling the corpus GLSL in-process, the library
           translating the corpus in-process (both from TranslateBench), and
           serve mode end to end with its outputs on tmpfs and on the work
           directory's file system, interleaved over several rounds; prints
           shaders per CPU-second and each ratio against glslang. Serve mode
           is measured as a worker runs, warm: each round runs one process
           over one pass of the corpus and one over 1 + R passes, and the
           rate is R passes over the difference of their CPU times (the
           one-pass time is the median of five runs): the process start-up
           and the first pass (heap and page-cache warm-up, paid once per
           worker) are left out, as Google Benchmark leaves out the warm-up
           of the in-process figures, and printed on their own.
  shapes   generated shaders (bench/gen_shader.py) of 3k, 30k and 100k
           instructions, one process each: CPU time and peak RSS, with the
           growth of both per instruction from 3k to 30k.
  session  (--session N) one serve process over N requests against one over
           N/100: peak RSS must stay flat over a long session.
  procs    (--procs list) serve processes side by side over one job list,
           split round-robin with split(1), each part given its own output
           directory, and run with xargs -P: wall time and the speed-up
           over one process.
The single-process figures run on one core. CPU time is user + system of the
measured process (getrusage of that child),
so a loaded machine slows the figures less than wall time would.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KINDS = ["straight", "nested", "diamonds", "loops", "nestedloops", "breaks", "calls", "orphans"]


def run(cmd, stdin=None, stdout=subprocess.DEVNULL):
    """Runs cmd; returns (CPU seconds, wall seconds, peak RSS in MB) of that child alone."""
    start = time.monotonic()
    inp = open(stdin, "rb") if stdin else subprocess.DEVNULL
    try:
        proc = subprocess.Popen(cmd, stdin=inp, stdout=stdout, stderr=subprocess.PIPE)
        err = proc.stderr.read().decode(errors="replace")
        _, status, usage = os.wait4(proc.pid, 0)
        proc.returncode = os.waitstatus_to_exitcode(status)
    finally:
        if stdin:
            inp.close()
    wall = time.monotonic() - start
    if proc.returncode < 0 or proc.returncode > 1:
        sys.exit("%s failed (%d): %s" % (cmd[0], proc.returncode, err[-2000:]))
    return usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss / 1024.0


def write_requests(path, corpus, jobs, out, rounds):
    with open(path, "w") as f:
        for _ in range(rounds):
            for job in jobs:
                job = dict(job, code=os.path.join(corpus, job["code"]))
                f.write(json.dumps({"job": job, "out": out}) + "\n")
    return len(jobs) * rounds


def corpus_ratios(build, corpus, work, quick):
    bench = os.path.join(build, "bench", "TranslateBench")
    tool = os.path.join(build, "fenkvanter")
    jobs = json.load(open(os.path.join(corpus, "jobs.json")))
    tmpfs = tempfile.mkdtemp(prefix="zv-bench-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    disk = os.path.join(work, "serve-out")
    rounds, repeat, min_time = (1, 5, "0.05") if quick else (5, 20, "1")
    requests = {}
    for name, out in (("serve-tmpfs", tmpfs), ("serve-disk", disk)):
        first = os.path.join(work, "requests-%s-1.txt" % name)
        full = os.path.join(work, "requests-%s-%d.txt" % (name, 1 + repeat))
        write_requests(first, corpus, jobs, out, 1)
        write_requests(full, corpus, jobs, out, 1 + repeat)
        requests[name] = (first, full)
    n = len(jobs) * repeat
    rates = {}
    totals = {name: [0, 0.0, 0.0] for name in requests}  # shaders, warm CPU, start-up + first pass CPU
    rss = 0.0
    try:
        for _ in range(rounds):
            out = subprocess.run([bench, "--benchmark_filter=^(glslang|library)/corpus$",
                                  "--benchmark_min_time=" + min_time, "--benchmark_format=json"],
                                 capture_output=True, text=True, check=True).stdout
            for b in json.loads(out)["benchmarks"]:
                rates.setdefault(b["name"], []).append(b["items_per_second"])
            for name, (first, full) in requests.items():
                # The short run is the noisier one on a loaded machine and
                # its noise would land wholly on the rate: take its median.
                cpu_first = sorted(run([tool, "--serve"], stdin=first)[0] for _ in range(5))[2]
                cpu_full, _, peak = run([tool, "--serve"], stdin=full)
                totals[name][0] += n
                totals[name][1] += cpu_full - cpu_first
                totals[name][2] += cpu_first
                rss = max(rss, peak)
    finally:
        shutil.rmtree(tmpfs, ignore_errors=True)
    print("== corpus (%d shaders, %d rounds, interleaved; shaders per CPU-second)" % (len(jobs), rounds))
    mean = {k: sum(v) / len(v) for k, v in rates.items()}
    for name, (count, cpu, _) in totals.items():
        # On a loaded machine a short run can come out with no CPU time left
        # after the first pass; that rate is unknown, not infinite.
        mean[name] = count / cpu if cpu > 0 else 0.0
    glslang = mean.get("glslang/corpus")
    for name in ("glslang/corpus", "library/corpus", "serve-tmpfs", "serve-disk"):
        if name not in mean:
            print("%-16s absent" % name)
            continue
        ratio = " = %.2fx glslang" % (mean[name] / glslang) if glslang else ""
        print("%-16s %8.0f/s%s" % (name, mean[name], ratio))
    for name, (_, _, first) in totals.items():
        print("%-16s start-up and first pass of %d shaders: %.1f ms CPU" % (name, len(jobs), first * 1000 / rounds))
    print("serve peak RSS   %8.1f MB" % rss)


def shapes(build, work, quick):
    tool = os.path.join(build, "fenkvanter")
    sizes = [3000, 30000] if quick else [3000, 30000, 100000]
    print("== shapes (one process each: CPU s, us/instruction, peak RSS MB)")
    for kind in KINDS:
        row = {}
        for size in sizes:
            code = os.path.join(work, "%s-%d.bin" % (kind, size))
            subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen_shader.py"), kind, str(size), code],
                           check=True)
            jobs = os.path.join(work, "%s-%d.json" % (kind, size))
            with open(jobs, "w") as f:
                json.dump([{"key": "%s-%d" % (kind, size), "code": code, "stage": "cs",
                            "local": [64, 1, 1], "shared": 0}], f)
            cpu, _, peak = run([tool, jobs, os.path.join(work, "shape-out")])
            row[size] = (cpu, peak)
        text = "  ".join("%dk: %.2f s %.1f us %.0f MB" % (s // 1000, c, c * 1e6 / s, m) for s, (c, m) in row.items())
        growth = ""
        if row[3000][0] > 0:
            growth = "  30k/3k per instruction: time %.2fx" % ((row[30000][0] / 30000) / (row[3000][0] / 3000))
        print("%-12s %s%s" % (kind, text, growth))


def session(build, corpus, work, count):
    tool = os.path.join(build, "fenkvanter")
    jobs = json.load(open(os.path.join(corpus, "jobs.json")))
    out = os.path.join(work, "session-out")
    print("== long session (peak RSS of one serve process)")
    for n in (max(1, count // 100), count):
        req = os.path.join(work, "session.txt")
        total = write_requests(req, corpus, jobs, out, -(-n // len(jobs)))
        cpu, _, peak = run([tool, "--serve"], stdin=req)
        print("%7d requests: %.1f s CPU, peak RSS %.1f MB" % (total, cpu, peak))


def procs(build, corpus, work, counts):
    tool = os.path.join(build, "fenkvanter")
    jobs = json.load(open(os.path.join(corpus, "jobs.json")))
    out = tempfile.mkdtemp(prefix="zv-procs-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    req = os.path.join(work, "procs.txt")
    n = write_requests(req, corpus, jobs, out, 200)
    print("== serve processes side by side (%d requests, outputs on tmpfs, wall time)" % n)
    base = None
    try:
        for p in counts:
            parts = os.path.join(work, "parts-%d" % p)
            shutil.rmtree(parts, ignore_errors=True)
            os.makedirs(parts)
            # Each process writes into its own output directory: processes
            # sharing one take turns on its lock and the kernel's.
            split = ("cd %s && split -n r/%d -d %s part. && for f in part.*; do "
                     "sed -i \"s|\\\"out\\\": *\\\"[^\\\"]*\\\"|\\\"out\\\": \\\"%s/$f\\\"|\" $f; done"
                     % (parts, p, req, out))
            subprocess.run(split, shell=True, check=True)
            cmd = "cd %s && ls part.* | xargs -P %d -I{} sh -c '%s --serve < {} > {}.answers'" % (parts, p, tool)
            start = time.monotonic()
            subprocess.run(cmd, shell=True, check=True)
            wall = time.monotonic() - start
            base = base or wall
            print("%d process(es): %.2f s, %.0f shaders/s, speed-up %.2fx" % (p, wall, n / wall, base / wall))
    finally:
        shutil.rmtree(out, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        sys.exit(__doc__)
    # Absolute: the side-by-side runs start the tool from their own directories.
    build, corpus, work = (os.path.abspath(a) for a in args[:3])
    quick = "--quick" in args
    os.makedirs(work, exist_ok=True)
    have_corpus = os.path.isfile(os.path.join(corpus, "jobs.json"))
    # One core for the single-process figures (ZV_BENCH_CPU, else the last
    # one this process may use); the side-by-side processes get them all.
    allowed = os.sched_getaffinity(0)
    cpu = int(os.environ.get("ZV_BENCH_CPU", max(allowed)))
    os.sched_setaffinity(0, {cpu})
    print("single-process figures on CPU %d" % cpu)
    if have_corpus:
        corpus_ratios(build, corpus, work, quick)
    else:
        print("corpus absent: corpus ratios skipped")
    shapes(build, work, quick)
    os.sched_setaffinity(0, allowed)
    if "--session" in args and have_corpus:
        session(build, corpus, work, int(args[args.index("--session") + 1]))
    if "--procs" in args and have_corpus:
        procs(build, corpus, work, [int(p) for p in args[args.index("--procs") + 1].split(",")])


if __name__ == "__main__":
    main()
