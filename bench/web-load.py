#!/usr/bin/env python3
# Load on the logger's web server, on 127.0.0.1: one logger logs a 5.1 file at its own pace
# (--realtime) into a database already holding the 24 hours before, while CLIENTS live clients
# follow /api/live and HISTORY clients ask for the 24-hour history (1000 columns) in a loop,
# for SECONDS. Reports: sequence gaps per live client (must be none), the steps the logger
# wrote against the audio's length and any steps-dropped event (must be none), and the
# latency (median, p99, max) and size of the history answers.
#
#   bench/web-load.py [build folder]     CLIENTS=50 HISTORY=20 SECONDS=60 by default
import json
import os
import re
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

build = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("TARN_BUILD_DIR", "build")
logger = os.path.join(build, "tarn51-logger")
live_clients = int(os.environ.get("CLIENTS", 50))
history_clients = int(os.environ.get("HISTORY", 20))
seconds = int(os.environ.get("SECONDS", 60))
work = tempfile.mkdtemp(prefix="tarn51-web-load-")
day_ms = 24 * 60 * 60 * 1000


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


try:
    audio = os.path.join(work, "live.wav")
    audio_seconds = seconds + 15
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=997:sample_rate=48000:duration=%d" % audio_seconds,
                    "-af", "volume='0.2+0.15*sin(t/7)':eval=frame", "-ac", "6", "-c:a", "pcm_s16le", audio], check=True)

    # The schema from a short run, then 24 hours of steps before now written straight in, past
    # the rollup: the database is marked as the first schema version (steps only), which the
    # logger brings up to date when it opens it.
    db = os.path.join(work, "studio.sqlite")
    short = os.path.join(work, "short.wav")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "sine=duration=1", short], check=True)
    subprocess.run([logger, "--file", short, "--db", db, "--start", "2000-01-01T00:00Z"], check=True,
                   capture_output=True)
    now_ms = int(time.time() * 1000)
    with sqlite3.connect(db) as c:
        c.execute("""WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 864000)
                     INSERT INTO steps SELECT ? - 5000 - 100 * i, -2300 + (i * 37) % 900, -2300 + (i * 13) % 600,
                     x'f6f6f6f6f6f6f6f6f6f6f6f6' FROM n""", (now_ms,))
        c.execute("DROP TABLE IF EXISTS step_blocks")
        c.execute("PRAGMA user_version = 1")
    print("database: 864000 steps before now, %.1f MB" % (os.path.getsize(db) / 1e6))
    # A short run first brings the database up to date, so that the load below meets the
    # logger as it runs day to day.
    started = time.monotonic()
    subprocess.run([logger, "--file", short, "--db", db, "--start", "2000-01-01T00:00:05Z"], check=True,
                   capture_output=True)
    print("first open: %.1f s" % (time.monotonic() - started))

    port = free_port()
    base = "http://127.0.0.1:%d" % port
    log = open(os.path.join(work, "logger.txt"), "w")
    proc = subprocess.Popen([logger, "--file", audio, "--realtime", "--db", db, "--name", "studio",
                             "--http", "127.0.0.1:%d" % port], stderr=log)
    deadline = time.monotonic() + 30
    while socket.socket().connect_ex(("127.0.0.1", port)) != 0:
        if time.monotonic() > deadline:
            sys.exit("web-load: the logger does not listen")
        time.sleep(0.1)

    stop = threading.Event()
    results = []
    lock = threading.Lock()

    def follow(index):
        s = socket.create_connection(("127.0.0.1", port))
        s.sendall(b"GET /api/live HTTP/1.1\r\nHost: x\r\n\r\n")
        s.settimeout(2)
        buffer, last, steps, gaps = b"", None, 0, 0
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            try:
                chunk = s.recv(65536)
            except socket.timeout:
                continue
            if not chunk:
                break
            buffer += chunk
            ids = re.findall(rb"\nid: (\d+)\n", buffer)
            buffer = buffer[buffer.rfind(b"\n"):] if ids else buffer[-64:]
            for i in ids:
                i = int(i)
                if last is not None and i != last + 1:
                    gaps += 1
                last, steps = i, steps + 1
        s.close()
        with lock:
            results.append(("live", steps, gaps))

    def history(index):
        times, sizes = [], []
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            to = int(time.time() * 1000)
            url = "%s/api/steps?from=%s&to=%s&points=1000" % (
                base, time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime((to - day_ms) / 1000)) + "Z",
                time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(to / 1000)) + "Z")
            started = time.monotonic()
            with urllib.request.urlopen(url, timeout=30) as r:
                body = r.read()
            times.append(time.monotonic() - started)
            sizes.append(len(body))
        with lock:
            results.append(("history", times, sizes))

    threads = [threading.Thread(target=follow, args=(i,)) for i in range(live_clients)]
    threads += [threading.Thread(target=history, args=(i,)) for i in range(history_clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    proc.wait(timeout=audio_seconds + 30)
    log.close()
    text = open(os.path.join(work, "logger.txt")).read()
    written = int(re.search(r"stopped; (\d+) steps written", text).group(1))
    with sqlite3.connect(db) as c:
        dropped_events = c.execute("SELECT COUNT(*) FROM events WHERE kind = 'steps-dropped'").fetchone()[0]

    live = [r for r in results if r[0] == "live"]
    latencies = sorted(t for r in results if r[0] == "history" for t in r[1])
    sizes = [s for r in results if r[0] == "history" for s in r[2]]
    p = lambda q: latencies[min(len(latencies) - 1, int(q * len(latencies)))]
    print("live: %d clients, %d to %d steps each, %d sequence gaps" %
          (len(live), min(r[1] for r in live), max(r[1] for r in live), sum(r[2] for r in live)))
    print("history: %d clients, %d answers, median %.3f s, p99 %.3f s, max %.3f s, %.1f kB each" %
          (history_clients, len(latencies), p(0.5), p(0.99), latencies[-1], sum(sizes) / len(sizes) / 1e3))
    print("logger: %d steps written for %d s of audio, %d steps-dropped events" %
          (written, audio_seconds, dropped_events))
    ok = sum(r[2] for r in live) == 0 and dropped_events == 0 and written == audio_seconds * 10
    print("PASS" if ok else "FAIL")
    sys.exit(0 if ok else 1)
finally:
    shutil.rmtree(work, ignore_errors=True)
