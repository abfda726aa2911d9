#!/usr/bin/env python3
# The logger's web page in a real browser: Debian's chromium, headless, driven through its
# DevTools protocol over a pipe (--remote-debugging-pipe, no extra modules). One logger logs a
# file at its own pace with --http and lists a second logger's finished database (--also-db).
# Checks that the live numbers change, that history draws after a range is picked, and that a
# downloaded JSON report's integrated loudness equals tarn51-measure's on the same audio
# within 0.1 LU. Screenshots go to SNAPSHOTS/web-live.png, web-history.png, web-report.png.
#
#   web-browser-test.py TARN51_LOGGER TARN51_MEASURE SNAPSHOTS
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

logger, measure, snapshots = sys.argv[1:4]
os.makedirs(snapshots, exist_ok=True)
work = tempfile.mkdtemp(prefix="tarn51-web-")
processes = []


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, condition, seconds):
    """Polls condition until it holds; fails after the given seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    fail("timed out waiting for " + what)


class Browser:
    """A headless chromium and one page, over the DevTools pipe (fd 3 in, fd 4 out)."""

    def __init__(self, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def pipes():
            os.dup2(os.dup(to_browser_r), 3)
            os.dup2(os.dup(from_browser_w), 4)
            os.set_inheritable(3, True)
            os.set_inheritable(4, True)

        self.process = subprocess.Popen(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             "--no-first-run", "--window-size=1280,900", "--user-data-dir=" + profile, "about:blank"],
            preexec_fn=pipes, pass_fds=(3, 4), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.console = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=True)
        self.call("Runtime.enable", session=True)

    def message(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                fail("the browser went away")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def call(self, method, params=None, session=False):
        self.next_id += 1
        command = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            command["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(command).encode() + b"\0")
        while True:
            m = self.message()
            if m.get("method") == "Runtime.consoleAPICalled":
                self.console.append(m["params"])
            if m.get("method") == "Runtime.exceptionThrown":
                self.console.append(m["params"])
            if m.get("id") == self.next_id:
                if "error" in m:
                    fail(method + ": " + json.dumps(m["error"]))
                return m["result"]

    def js(self, expression):
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True},
                      session=True)
        if "exceptionDetails" in r:
            fail(expression + ": " + json.dumps(r["exceptionDetails"]))
        return r["result"].get("value")

    def screenshot(self, name):
        data = self.call("Page.captureScreenshot", {"format": "png"}, session=True)["data"]
        with open(os.path.join(snapshots, name), "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        self.process.kill()
        self.process.wait()


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


try:
    # 40 s of a tone whose level moves, so that momentary changes from step to step.
    audio = os.path.join(work, "programme.wav")
    subprocess.run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=997:duration=40:sample_rate=48000",
                    "-af", "volume='0.05+0.3*abs(sin(t/2))':eval=frame", "-ac", "2", audio], check=True)
    measured = json.loads(subprocess.run([measure, "--json", audio], check=True, capture_output=True).stdout)

    archive = os.path.join(work, "archive.sqlite")
    subprocess.run([logger, "--file", audio, "--db", archive], check=True, capture_output=True)

    port = free_port()
    live = subprocess.Popen([logger, "--file", audio, "--realtime", "--db", os.path.join(work, "studio.sqlite"),
                             "--name", "studio", "--http", "127.0.0.1:%d" % port, "--also-db", archive],
                            stderr=subprocess.DEVNULL)
    processes.append(live)
    wait_for("the logger's port", lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0, 10)

    browser = Browser(os.path.join(work, "profile"))
    processes.append(browser)
    browser.call("Page.navigate", {"url": "http://127.0.0.1:%d/" % port}, session=True)

    # Live: the readouts follow the steps.
    read_live = "[document.getElementById('momentary')?.textContent, document.getElementById('sequence')?.textContent]"
    first = wait_for("live numbers", lambda: (lambda v: v if number(v[0]) is not None else None)(browser.js(read_live)), 15)
    time.sleep(2.0)
    second = browser.js(read_live)
    if number(second[0]) is None or second[0] == first[0] or second[1] == first[1]:
        fail("the live numbers did not change: %s then %s" % (first, second))
    wait_for("an integrated value", lambda: number(browser.js("document.getElementById('integrated').textContent")), 5)
    browser.screenshot("web-live.png")
    print("live: momentary %s (%s) then %s (%s)" % (first[0], first[1], second[0], second[1]))

    # History: the other logger's database, over a range typed in.
    browser.js("""(async () => { const s = document.getElementById('channel'); s.value = 'archive';
        s.dispatchEvent(new Event('change')); })()""")
    archive = browser.js("""fetch('/api/channels').then((r) => r.json())
        .then((list) => list.channels.find((c) => c.name === 'archive'))""")
    wait_for("the archive's range", lambda: browser.js("document.getElementById('report-to').value") == archive["last"], 10)
    browser.js("document.getElementById('tab-history').click()")
    browser.js("""document.getElementById('history-from').value = '%s';
        document.getElementById('history-to').value = '%s';
        document.getElementById('history-show').click()""" % (archive["first"], archive["last"]))
    columns = wait_for("the history chart", lambda: number(browser.js("document.body.dataset.historyColumns || ''")), 10)
    drawn = browser.js("""(() => { const c = document.getElementById('history-chart');
        const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let blue = 0; for (let i = 0; i < d.length; i += 4) if (d[i + 2] > 150 && d[i] < 120) blue++;
        return blue; })()""")
    if not columns or not drawn:
        fail("history drew %s columns, %s blue pixels" % (columns, drawn))
    browser.screenshot("web-history.png")
    print("history: %d columns, %d blue pixels" % (columns, drawn))

    # Reports: the same database's whole range, downloaded as JSON.
    browser.js("document.getElementById('tab-report').click()")
    browser.js("document.getElementById('report-target').value = 'ebu-r128'")
    browser.js("document.getElementById('report-show').click()")
    shown = wait_for("the report", lambda: browser.js(
        "(document.getElementById('report-integrated') || {}).textContent"), 10)
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    browser.call("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    browser.js("document.getElementById('download-json').click()")
    name = wait_for("the download", lambda: next(
        (f for f in os.listdir(downloads) if f.endswith(".json")), None), 15)
    with open(os.path.join(downloads, name)) as f:
        report = json.load(f)
    browser.screenshot("web-report.png")
    print("report: %s downloaded, integrated %s (page: %s), tarn51-measure %s" %
          (name, report["integrated"], shown, measured["integrated"]))
    if report["integrated"] is None or abs(report["integrated"] - measured["integrated"]) > 0.1:
        fail("integrated %s against tarn51-measure's %s" % (report["integrated"], measured["integrated"]))
    errors = [c for c in browser.console if c.get("type") == "error" or "exceptionDetails" in c]
    if errors:
        fail("the page reported errors: " + json.dumps(errors)[:500])
    print("PASS")
finally:
    for p in reversed(processes):
        if isinstance(p, Browser):
            p.close()
        else:
            p.terminate()
            p.wait()
    shutil.rmtree(work, ignore_errors=True)
