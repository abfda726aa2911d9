// The logger's page: live readouts over Server-Sent Events, history and reports over the JSON API.
"use strict";

const $ = (id) => document.getElementById(id);
let meter = { standard: "ebu", shortTermThreshold: -10 };
let channels = [];
let source = null;
let historyChart = null;

function showError(message) {
  $("error").textContent = message || "";
  $("error").hidden = !message;
}

async function getJson(url) {
  const response = await fetch(url, { credentials: "same-origin" });
  const body = await response.json();
  if (!response.ok) throw new Error(body.error || response.statusText);
  return body;
}

function iso(ms) {
  return new Date(ms).toISOString();
}

function fixed(value) {
  return value === null || value === undefined ? "-" : value.toFixed(1);
}

function channel() {
  return channels.find((c) => c.name === $("channel").value) || channels[0];
}

// The editor's integrated colours: green in the target band, yellow near it, red beyond.
function integratedClass(value) {
  if (value === null) return "";
  const low = meter.standard === "atsc" ? -26.0 : -24.0;
  if (low <= value && value <= -22.0) return "ok";
  if ((-22.0 < value && value <= -20.6) || (-28.4 <= value && value < low)) return "caution";
  return "over";
}

// Integrated loudness since the page opened: BS.1770 gating over the momentary blocks, kept
// as energy per 0.1 LU bin so that an update costs the same after hours as after seconds.
class Integrator {
  constructor() { this.reset(); }
  reset() {
    this.energy = new Float64Array(800);
    this.count = new Uint32Array(800);
  }
  add(momentary) {
    if (momentary === null || momentary < -70) return;
    const bin = Math.min(799, Math.floor((momentary + 70) * 10));
    this.energy[bin] += Math.pow(10, (momentary + 0.691) / 10);
    this.count[bin] += 1;
  }
  value() {
    let sum = 0, n = 0;
    for (let i = 0; i < 800; i++) { sum += this.energy[i]; n += this.count[i]; }
    if (n === 0) return null;
    const relative = -0.691 + 10 * Math.log10(sum / n) - 10;
    sum = 0; n = 0;
    for (let i = 0; i < 800; i++) {
      if (i / 10 - 70 + 0.05 >= relative) { sum += this.energy[i]; n += this.count[i]; }
    }
    return n === 0 ? null : -0.691 + 10 * Math.log10(sum / n);
  }
}
const integrator = new Integrator();

function showState(state) {
  $("state").textContent = state;
  $("state").className = "value " + state;
}

function showStep(step) {
  integrator.add(step.momentary);
  $("momentary").textContent = fixed(step.momentary);
  $("short-term").textContent = fixed(step.shortTerm);
  $("short-term").className = "value " + (step.shortTerm !== null && step.shortTerm > meter.shortTermThreshold ? "over" : "");
  const integrated = integrator.value();
  $("integrated").textContent = fixed(integrated);
  $("integrated").className = "value " + integratedClass(integrated);
  showState(step.state);
  $("live-time").textContent = step.time;
  $("sequence").textContent = "Step " + step.seq + ".";

  // The server names each peak's channel (L R C LFE Ls Rs, or 7.1.4's twelve).
  const names = step.channels || channel().speakers || [];
  const peaks = $("peaks");
  while (peaks.children.length > step.truePeak.length) peaks.lastChild.remove();
  while (peaks.children.length < step.truePeak.length) {
    const box = document.createElement("div");
    box.className = "peak";
    const name = document.createElement("span");
    name.className = "caption";
    const value = document.createElement("span");
    value.className = "value";
    box.append(name, value);
    peaks.append(box);
  }
  step.truePeak.forEach((peak, i) => {
    const caption = peaks.children[i].firstChild;
    if (caption.textContent !== (names[i] || "")) caption.textContent = names[i] || "";
    const value = peaks.children[i].lastChild;
    value.textContent = peak === null ? "-inf" : peak.toFixed(1);
    value.className = "value " + (peak !== null && peak > -1.0 ? "over" : "");
  });
}

function startLive() {
  if (source) source.close();
  source = null;
  const c = channel();
  $("live-none").hidden = c.live;
  if (!c.live) return;
  source = new EventSource("/api/live");
  source.addEventListener("step", (e) => showStep(JSON.parse(e.data)));
  source.addEventListener("state", (e) => showState(JSON.parse(e.data).state));
  source.onerror = () => showState("lost");
}

function rangeEnd() {
  const c = channel();
  return c.live || !c.last ? Date.now() : Date.parse(c.last);
}

function bandDataset(label, y, from, to, fill) {
  return {
    label, data: [{ x: from, y }, { x: to, y }], borderWidth: 0, pointRadius: 0,
    backgroundColor: "rgba(129, 202, 47, 0.18)", fill,
  };
}

async function showHistory(from, to) {
  showError("");
  const width = Math.max(100, Math.min(5000, Math.round($("history-chart").clientWidth || 1000)));
  const query = "from=" + encodeURIComponent(iso(from)) + "&to=" + encodeURIComponent(iso(to)) +
    "&channel=" + encodeURIComponent(channel().name);
  try {
    const [steps, events] = await Promise.all([
      getJson("/api/steps?" + query + "&points=" + width),
      getJson("/api/events?" + query),
    ]);
    // Columns without steps break the lines.
    const line = (values) => {
      const points = [];
      steps.time.forEach((t, i) => {
        const x = Date.parse(t) + steps.columnMs / 2;
        if (i > 0 && x - (Date.parse(steps.time[i - 1]) + steps.columnMs / 2) > 1.5 * steps.columnMs)
          points.push({ x: x - steps.columnMs, y: null });
        points.push({ x, y: values[i] });
      });
      return points;
    };
    const low = meter.standard === "atsc" ? -26.0 : -24.0;
    const datasets = [
      bandDataset("target band", -22.0, from, to, false),
      bandDataset("target band low", low, from, to, "-1"),
      { label: "momentary", data: line(steps.momentaryMax), borderColor: "rgba(58, 147, 221, 0.35)", borderWidth: 1, pointRadius: 0, fill: false },
      { label: "short-term max", data: line(steps.shortTermMax), borderColor: "#3a93dd", borderWidth: 1.5, pointRadius: 0, fill: false },
      { label: "short-term min", data: line(steps.shortTermMin), borderColor: "#3a93dd", backgroundColor: "rgba(58, 147, 221, 0.4)", borderWidth: 1, pointRadius: 0, fill: "-1" },
      { label: "events", type: "scatter", data: events.events.map((e) => ({ x: Date.parse(e.time), y: -3, kind: e.kind })),
        borderColor: "#d70014", backgroundColor: "#d70014", pointStyle: "triangle", pointRadius: 6 },
    ];
    if (historyChart) historyChart.destroy();
    historyChart = new Chart($("history-chart"), {
      type: "line",
      data: { datasets },
      options: {
        animation: false, maintainAspectRatio: false, parsing: false, normalized: true, spanGaps: false,
        scales: {
          x: { type: "linear", min: from, max: to, grid: { color: "#333" },
               ticks: { color: "#979797", maxTicksLimit: 8, callback: (v) => iso(v).substring(11, 19) } },
          y: { min: -60, max: 0, grid: { color: "#333" }, ticks: { color: "#979797" },
               title: { display: true, text: "LUFS", color: "#979797" } },
        },
        plugins: {
          legend: { labels: { color: "#d8d8d8", filter: (item) => !item.text.startsWith("target band low") } },
          tooltip: { callbacks: { label: (ctx) => ctx.raw.kind ? ctx.raw.kind : ctx.dataset.label + " " + fixed(ctx.raw.y) } },
        },
      },
    });
    $("history-note").textContent = iso(from) + " to " + iso(to) + ": " + steps.time.length +
      " columns of " + steps.columnMs / 1000 + " s, " + events.events.length + " events (UTC).";
    const list = $("history-events");
    list.replaceChildren(...events.events.slice(0, 200).map((e) => {
      const item = document.createElement("li");
      const kind = document.createElement("span");
      kind.className = "kind";
      kind.textContent = e.kind;
      item.append(e.time + " ", kind, e.detail ? ": " + e.detail : "");
      return item;
    }));
    document.body.dataset.historyColumns = String(steps.time.length);
  } catch (e) {
    showError(e.message);
  }
}

function reportQuery() {
  return "from=" + encodeURIComponent($("report-from").value.trim()) + "&to=" +
    encodeURIComponent($("report-to").value.trim()) + "&target=" + $("report-target").value +
    "&channel=" + encodeURIComponent(channel().name);
}

async function showReport() {
  showError("");
  const query = reportQuery();
  for (const format of ["csv", "json", "txt"])
    $("download-" + format).href = "/api/report?" + query + "&format=" + format + "&download=1";
  try {
    const r = await getJson("/api/report?" + query + "&format=json");
    const rows = [
      ["From", r.from], ["To", r.to], ["Logged", r.measuredSeconds + " s"],
      ["Integrated", fixed(r.integrated) + " LUFS"], ["Loudness range", fixed(r.loudnessRange) + " LU"],
      ["Max momentary", fixed(r.maxMomentary) + " LUFS at " + (r.maxMomentaryTime || "-")],
      ["Max short-term", fixed(r.maxShortTerm) + " LUFS at " + (r.maxShortTermTime || "-")],
      ["Max true peak", fixed(r.maxTruePeak) + " dBTP at " + (r.maxTruePeakTime || "-")],
      // Beyond 5.1 the report names its channels, one peak each.
      ...(Array.isArray(r.channels)
        ? [["True peak", r.channels.map((name, i) => name + " " + fixed(r.truePeak[i])).join(", ") + " dBTP"]]
        : []),
      ["Hits", r.momentaryHits + " momentary, " + r.shortTermHits + " short-term"],
      ["Events", String(r.events.length)],
    ];
    if (r.target)
      rows.push(["Target", r.target.name + ": " + (r.target.pass ? "pass" : "fail: " + r.target.failures.map((f) => f.text).join("; "))]);
    $("report-table").replaceChildren(...rows.map(([caption, value]) => {
      const row = document.createElement("tr");
      const th = document.createElement("th");
      th.textContent = caption;
      const td = document.createElement("td");
      td.textContent = value;
      row.append(th, td);
      return row;
    }));
    $("report-table").rows[3].cells[1].id = "report-integrated";
  } catch (e) {
    showError(e.message);
  }
}

function fillReportRange() {
  const c = channel();
  if (!c.first) return;
  // A range holds the steps that end after its start: one step before the first covers it.
  $("report-from").value = iso(Date.parse(c.first) - 100);
  $("report-to").value = c.last;
}

function selectView(view) {
  for (const tab of document.querySelectorAll(".tab")) tab.classList.toggle("selected", tab.dataset.view === view);
  for (const name of ["live", "history", "report"]) $("view-" + name).hidden = name !== view;
}

async function loadChannels() {
  const list = await getJson("/api/channels");
  const selected = $("channel").value;
  meter = list;
  channels = list.channels;
  $("channel").replaceChildren(...channels.map((c) => new Option(c.name + (c.live ? " (live)" : ""), c.name)));
  if (selected) $("channel").value = selected;
  fillReportRange();
}

async function main() {
  for (const tab of document.querySelectorAll(".tab")) tab.addEventListener("click", () => selectView(tab.dataset.view));
  for (const button of document.querySelectorAll(".range"))
    button.addEventListener("click", () => {
      const to = rangeEnd();
      const from = to - Number(button.dataset.minutes) * 60000;
      $("history-from").value = iso(from);
      $("history-to").value = iso(to);
      showHistory(from, to);
    });
  $("history-show").addEventListener("click", () => {
    const from = Date.parse($("history-from").value), to = Date.parse($("history-to").value);
    if (isNaN(from) || isNaN(to)) showError("From and To need ISO 8601 times");
    else showHistory(from, to);
  });
  $("report-show").addEventListener("click", showReport);
  $("reset").addEventListener("click", () => { integrator.reset(); $("integrated").textContent = "-"; });
  $("channel").addEventListener("change", async () => {
    await loadChannels().catch((e) => showError(e.message));
    startLive();
  });
  try {
    await loadChannels();
    startLive();
  } catch (e) {
    showError(e.message);
  }
}

main();
