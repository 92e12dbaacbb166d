#!/usr/bin/env python3
"""The photo frame's idle cost and how soon it sees a folder change.

1. Wake-ups of a still slide show: the program runs as on a board without a desktop
   (--headless, a file standing in for the frame buffer, the system clock, no script) on a
   folder of six pictures, looping; once its cache files are built, the context switches
   of each of its threads are counted over 10 s (/proc/PID/task/*/status), and, when strace
   is there, its system calls over another 10 s. A slide stays 3 s, so the 10 s hold three
   or four slide changes; the rest is the cost of waiting. The same once more with a
   schedule (--screen-on) that keeps the screen blank now.
2. Inotify latency: the viewer shows the folder under a script whose `sleep` steps let real
   time pass; pictures are copied in one by one, and the time from the end of each copy to
   the trace line of the library taking note of the changed folder is reported. Then the
   same without a script, the viewer still (its frame loop resting between looks at the
   folder).

usage: bench/frame/measure_frame.py [BUILD_DIR] [WORK_DIR]
"""
import os
import shutil
import signal
import subprocess
import sys
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
work = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else
                       os.path.join(os.environ.get("TMPDIR", "/tmp"), "vistrel-frame"))
source = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
shutil.rmtree(work, ignore_errors=True)
for sub in ("runtime", "tmp"):
    os.makedirs(os.path.join(work, sub))
app, docs = os.path.join(work, "app"), os.path.join(work, "docs")
subprocess.run([os.path.join(build, "bench", "screens", "make_collection"),
                os.path.join(build, "app", "vistrel"),
                os.path.join(source, "tests", "screens", "screens_skin.skinsrc"), app, docs,
                "1", "6"], check=True, stdout=subprocess.DEVNULL)
folder = os.path.join(docs, "album00000")
env = dict(os.environ, VISTREL_SETTINGS=os.path.join(work, "settings.reg"),
           VISTREL_DOCUMENTS=docs, VISTREL_CARDS="",
           XDG_RUNTIME_DIR=os.path.join(work, "runtime"), TMPDIR=os.path.join(work, "tmp"))
program = os.path.join(app, "vistrel")


def thread_switches(pid):
    """Context switches (voluntary + involuntary) of each thread, by thread id."""
    out = {}
    task = "/proc/%d/task" % pid
    for tid in os.listdir(task):
        try:
            with open(os.path.join(task, tid, "comm")) as f:
                name = f.read().strip()
            count = 0
            with open(os.path.join(task, tid, "status")) as f:
                for line in f:
                    if "ctxt_switches" in line:
                        count += int(line.split()[1])
            out[tid] = (name, count)
        except OSError:
            pass
    return out


def blank_schedule():
    """A --screen-on range that starts two hours from now: the screen is blank now."""
    t = time.localtime(time.time() + 2 * 3600)
    return "%02d:%02d-%02d:%02d" % (t.tm_hour, t.tm_min, (t.tm_hour + 1) % 24, t.tm_min)


def idle_wakeups(blank=False):
    fb = os.path.join(work, "fb0")
    with open(fb, "wb") as f:
        f.write(bytes(240 * 320 * 2))
    extra = ["--screen-on", blank_schedule()] if blank else []
    proc = subprocess.Popen([program, "--headless", "--framebuffer", fb, "--screen", "240x320",
                             "--slideshow", folder, "--loop"] + extra, env=env)
    try:
        time.sleep(8)  # cache files built, the show under way
        before = thread_switches(proc.pid)
        time.sleep(10)
        after = thread_switches(proc.pid)
        print("== wake-ups of a %s, 10 s (context switches per second)" %
              ("blank screen" if blank else "still slide show"))
        total = 0
        for tid, (name, count) in sorted(after.items()):
            was = before.get(tid, (name, 0))[1]
            rate = (count - was) / 10.0
            total += rate
            print("   thread %-7s %-16s %7.1f /s" % (tid, name, rate))
        print("   all threads              %7.1f /s" % total)
        if shutil.which("strace"):
            strace = subprocess.Popen(["strace", "-c", "-f", "-p", str(proc.pid)],
                                      stderr=subprocess.PIPE, text=True)
            time.sleep(10)
            strace.send_signal(signal.SIGINT)
            _, summary = strace.communicate(timeout=30)
            print("== system calls over 10 s (strace -c -f)")
            for line in summary.splitlines()[:16]:
                print("   " + line)
    finally:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=30)


def read_trace():
    path = os.path.join(work, "tmp", "vistrel.txt")
    with open(path, "rb") as f:
        return f.read().decode("utf-16", errors="replace")


def inotify_latency(copies=6, still=False):
    with open(env["VISTREL_SETTINGS"], "w") as f:
        f.write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\TEKU]\n"
                "\"Log\"=dword:00000001\n")
    ready = os.path.join(work, "ready.txt")
    script = os.path.join(work, "script.txt")
    with open(script, "w") as f:
        f.write("settle 20000\ndump %s\n" % ready + "sleep 100\n" * (copies * 15 + 20))
    options = [] if still else ["--script", script]
    proc = subprocess.Popen([program, "--headless", "--screen", "240x320"] + options +
                            [os.path.join(folder, "p0000.jpg")], env=env)
    copied = []
    try:
        if still:
            time.sleep(8)  # the controls hidden, nothing moves
        else:
            while not os.path.exists(ready):
                time.sleep(0.01)
            time.sleep(0.5)
        for i in range(copies):
            target = os.path.join(folder, "%s%02d.jpg" % ("still" if still else "new", i))
            shutil.copyfile(os.path.join(folder, "p0001.jpg"), target)
            copied.append(int(time.monotonic() * 1000) & 0xFFFFFFFF)
            time.sleep(1.5)
    finally:
        if still:
            proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=120)
    seen = []
    for line in read_trace().splitlines():
        if " PhotoLibrary: " in line and " changed, " in line:
            try:
                seen.append(int(line.split()[0]))
            except ValueError:
                pass
    print("== inotify latency%s: copy done to the library's note of the change (ms)" %
          (", the viewer still" if still else ""))
    latencies = []
    for t in copied:
        after = [s for s in seen if ((s - t) & 0xFFFFFFFF) < 10000]
        latencies.append(min(((s - t) & 0xFFFFFFFF) for s in after) if after else None)
    print("   " + " ".join("-" if v is None else str(v) for v in latencies))
    known = [v for v in latencies if v is not None]
    if known:
        print("   median %d ms, worst %d ms, %d of %d seen" %
              (sorted(known)[len(known) // 2], max(known), len(known), len(latencies)))


idle_wakeups()
idle_wakeups(blank=True)
inotify_latency()
inotify_latency(still=True)
