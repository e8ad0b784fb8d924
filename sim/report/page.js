// The run report's charts, built in the page from the run's data (the element run-data) with
// uPlot. Three charts share the distance axis: a zoom in one (drag) zooms all, a double click
// shows the whole route again, and the cursor reads every value of the row under it.
// What was drawn is kept in the element report-status, so a browser test reads back what a
// person would see.
(function () {
  "use strict";
  const status = { charts: 0, series: [], strip: [], marks: [], errors: [] };
  const statusElement = document.createElement("pre");
  statusElement.id = "report-status";
  document.body.appendChild(statusElement);
  function publish() { statusElement.textContent = JSON.stringify(status); }
  window.addEventListener("error", function (e) { status.errors.push(String(e.message)); publish(); });
  // The page carries everything; anything it would fetch is refused, and that is a fault.
  document.addEventListener("securitypolicyviolation", function (e) {
    status.errors.push("blocked: " + e.blockedURI); publish(); });

  const data = JSON.parse(document.getElementById("run-data").textContent);
  const column = {};
  for (const c of data.columns) column[c.key] = c;
  const x = column.x.values;
  const rows = x.length;
  const width = Math.max(900, window.innerWidth - 50);
  // The same axis widths in every chart, so that their plot areas line up on the distance axis.
  const leftAxis = 230, rightAxis = 80;

  // The whole route, not only where the train went: a beacon it never reached is news too.
  let from = Infinity, to = -Infinity;
  for (const v of x) if (v !== null) { from = Math.min(from, v); to = Math.max(to, v); }
  for (const m of data.marks) { from = Math.min(from, m.at); to = Math.max(to, m.at); }
  if (!isFinite(from)) { from = 0; to = 100; }
  const margin = Math.max(5, (to - from) * 0.02);
  from -= margin; to += margin;

  function note(text) {
    const p = document.createElement("p");
    p.textContent = text;
    document.getElementById("notes").appendChild(p);
  }
  note(data.rows + " rows of the trace" + (data.shown < data.rows ? ", " + data.shown +
       " of them drawn (every step change kept)" : "") + (data.skipped > 0 ? "; " + data.skipped +
       " unreadable lines skipped" : "") + ". Drag to zoom, double-click for the whole route.");
  if (data.marksLeftOut > 0)
    note(data.marksLeftOut + " more brake reasons set than marked; see the event log");

  const charts = [];
  let zooming = false;
  // A zoom in one chart is the zoom of all.
  function followZoom(u, key) {
    if (key !== "x" || zooming) return;
    zooming = true;
    for (const other of charts)
      if (other !== u) other.setScale("x", { min: u.scales.x.min, max: u.scales.x.max });
    zooming = false;
  }
  function resetZoom() {
    for (const c of charts) c.setScale("x", { min: from, max: to });
  }

  // Under the speed, a band in the colour of the signal ahead as the train went: what each
  // signal showed over time, not only when it was passed.
  function aspectColour(a) {
    return a <= 0 ? "#d62728" : a === 1 ? "#ff7f0e" : a === 2 ? "#e6b800" : a === 3 ? "#bcbd22" : "#2ca02c";
  }
  // Beyond the last signal the trace's 0 means no signal ahead, not a stop aspect.
  let lastSignal = -Infinity;
  for (const m of data.marks) if (m.kind === "signal") lastSignal = Math.max(lastSignal, m.at);
  function drawAspects(u) {
    const ctx = u.ctx, h = 5 * devicePixelRatio;
    const y = u.bbox.top + u.bbox.height - h;
    ctx.save();
    for (let i = 0; i + 1 < rows; i++) {
      const a = column.signal.values[i];
      if (a === null || x[i] === null || x[i + 1] === null || x[i] >= lastSignal) continue;
      const x0 = u.valToPos(x[i], "x", true), x1 = u.valToPos(x[i + 1], "x", true);
      ctx.fillStyle = aspectColour(a);
      ctx.fillRect(Math.min(x0, x1), y, Math.max(Math.abs(x1 - x0), 1), h);
    }
    ctx.restore();
  }

  // Vertical lines at the marks of the route; in the speed chart also their labels, set in
  // rows so that none covers another.
  const drawnMarks = new Set();
  function drawMarks(u, labelled) {
    const ctx = u.ctx;
    const top = u.bbox.top, height = u.bbox.height;
    const rowEnds = [];
    ctx.save();
    ctx.font = (10 * devicePixelRatio) + "px sans-serif";
    for (const m of data.marks) {
      const px = u.valToPos(m.at, "x", true);
      if (px < u.bbox.left || px > u.bbox.left + u.bbox.width) continue;
      ctx.strokeStyle = m.colour;
      ctx.lineWidth = (m.kind === "signal" ? 2 : 1) * devicePixelRatio;
      ctx.setLineDash(m.kind === "signal" ? [] : [4 * devicePixelRatio, 3 * devicePixelRatio]);
      ctx.beginPath();
      ctx.moveTo(px, top);
      ctx.lineTo(px, top + height);
      ctx.stroke();
      if (!labelled) continue;
      drawnMarks.add(m.kind + ":" + m.label);
      const w = ctx.measureText(m.label).width + 6 * devicePixelRatio;
      const right = px + w <= u.bbox.left + u.bbox.width;
      const start = right ? px : px - w;
      let row = 0;
      while (row < rowEnds.length && rowEnds[row] >= start) row++;
      if (row > 12) continue;
      rowEnds[row] = start + w;
      ctx.fillStyle = m.colour;
      ctx.textAlign = right ? "left" : "right";
      ctx.fillText(m.label, right ? px + 3 * devicePixelRatio : px - 3 * devicePixelRatio,
                   top + (12 + 12 * row) * devicePixelRatio);
    }
    ctx.restore();
    if (labelled) { status.marks = Array.from(drawnMarks); publish(); }
  }

  function chart(title, series, scales, axes, height, draw) {
    const heading = document.createElement("div");
    heading.className = "chart-title";
    heading.textContent = title;
    const holder = document.createElement("div");
    document.getElementById("charts").append(heading, holder);
    const values = [x];
    for (const s of series) values.push(s.values);
    const u = new uPlot({
      width: width, height: height,
      cursor: { sync: { key: "run", setSeries: false }, drag: { x: true, y: false } },
      scales: Object.assign({ x: { time: false } }, scales),
      series: [{ label: "location (m)", value: function (u, v) { return v === null ? "-" : v.toFixed(1); } }]
        .concat(series.map(function (s) { return s.options; })),
      axes: axes,
      hooks: {
        setScale: [followZoom],
        draw: [function (u) { draw(u); }],
        setCursor: [readout],
        ready: [function (u) { u.over.addEventListener("dblclick", resetZoom); }],
      },
    }, values, holder);
    charts.push(u);
    status.charts = charts.length;
    for (const s of series) status.series.push(s.options.label);
    return u;
  }

  // The row under the cursor, with what no chart draws as a line: the time and the reasons.
  function readout(u) {
    const i = u.cursor.idx;
    if (i === null || i === undefined) return;
    let text = "t " + column.t.values[i] / 1000 + " s   location " + x[i] + " m   signal ahead " +
      column.signal.values[i];
    if (column.demand) {
      const demand = column.demand.values[i];
      const names = [];
      for (let bit = 0; bit < 8; bit++) if (demand & (1 << bit)) names.push(data.reasons[bit]);
      text += "   brake reasons: " + (names.length ? names.join(", ") : "none");
    }
    if (column.tascStep && column.tascStep.values[i]) text += "   TASC step " + column.tascStep.values[i];
    document.getElementById("readout").textContent = text;
  }

  // Outputs past the emergency notch are the vehicle data's own notches (TASC's steps, the
  // pressure-increase brake): drawn on a band of their own above EB, their number in the legend.
  const emergency = data.brakeNotches + 1;
  const pastBand = emergency + 2;
  function notchName(n) {
    return n === pastBand ? "past EB" : n === emergency ? "EB " + n :
      n === data.atsNotch ? "ATS " + n : String(n);
  }
  function onBand(values) {
    return values.map(function (v) { return v !== null && v > emergency ? pastBand : v; });
  }
  function notchValue(raw) {
    return function (u, v, si, i) {
      if (i === null || i === undefined || raw[i] === null) return "-";
      return raw[i] > emergency ? raw[i] + " (past EB: a notch of the vehicle data)" : String(raw[i]);
    };
  }
  const stepped = uPlot.paths.stepped({ align: 1 });
  function line(key, label, colour, scale, extra) {
    return { values: column[key].values,
             options: Object.assign({ label: label, stroke: colour, width: 2, scale: scale, spanGaps: false }, extra || {}) };
  }

  const speedSeries = [line("speed", "speed (km/h)", "#1f77b4", "kmh")];
  if (column.pattern) speedSeries.push(line("pattern", "pattern speed (km/h)", "#ff7f0e", "kmh"));
  for (const [key, label, colour, extra] of [
    ["brake", "brake output", "#d62728", { width: 1.5 }],
    ["driverBrake", "driver brake", "#9467bd", { width: 1, dash: [5, 4] }]]) {
    const s = line(key, label, colour, "notch",
                   Object.assign({ paths: stepped, value: notchValue(column[key].values) }, extra));
    s.values = onBand(s.values);
    speedSeries.push(s);
  }
  chart("speed, pattern speed and brake output over distance", speedSeries,
    { kmh: { range: function (u, min, max) { return [0, Math.max(10, max * 1.1)]; } },
      notch: { range: [0, pastBand + 1] } },
    [{ label: "location (m)" }, { label: "km/h", scale: "kmh", size: leftAxis },
     { label: "brake notch", scale: "notch", side: 1, grid: { show: false }, size: rightAxis,
       splits: function () { const s = []; for (let n = 0; n <= emergency; n++) s.push(n); s.push(pastBand); return s; },
       values: function (u, splits) { return splits.map(notchName); } }],
    420, function (u) { drawMarks(u, true); drawAspects(u); });
  note("The band along the bottom of the speed chart is the aspect of the signal ahead as the " +
       "train went (red stop, orange 1, yellow 2, yellow-green 3, green 4 and above); dashed " +
       "black lines mark the stop point the pattern aimed at, brown ones the start of a limit.");

  if (column.voltage) {
    chart("line voltage and brake-cylinder gauge, as the plug-in shows them",
      [line("voltage", "line voltage (V)", "#8c564b", "V"), line("bc", "BC gauge (kPa)", "#17becf", "kPa")],
      { V: {}, kPa: { range: function (u, min, max) { return [0, Math.max(10, max * 1.1)]; } } },
      [{ label: "location (m)" }, { label: "V", scale: "V", size: leftAxis },
       { label: "kPa", scale: "kPa", side: 1, grid: { show: false }, size: rightAxis }],
      200, function (u) { drawMarks(u, false); });
  }

  // The strip: one row and one colour per lamp or sound that changed during the run. A lamp is
  // a full bar while lit and a thin line while dark; a looping sound a bar, a sound played once
  // a triangle where it starts.
  const palette = ["#1f77b4", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                   "#bcbd22", "#17becf", "#ff7f0e"];
  const slots = data.columns.filter(function (c) {
    if (!/^(panel|sound)\d+$/.test(c.key)) return false;
    const first = c.values[0];
    return c.values.some(function (v) { return v !== first; });
  });
  const unchanged = data.columns.filter(function (c) {
    return /^(panel|sound)\d+$/.test(c.key) && slots.indexOf(c) < 0;
  });
  if (unchanged.length)
    note("not in the strip, as they never changed: " + unchanged.map(function (c) {
      return c.name + " (" + c.values[0] + ")"; }).join(", "));
  function sound(c) { return c.key.indexOf("sound") === 0; }
  function soundWord(v) {
    return v === null ? "-" : v === 1 ? "1 play once" : v === 2 ? "2 as it is" :
      v <= -10000 ? v + " stopped" : v <= 0 ? v + " looping" : String(v);
  }
  if (slots.length) {
    const n = slots.length;
    chart("lamps and sounds (lamp: bar lit, line dark; sound: bar looping, triangle played once)",
      slots.map(function (c, r) {
        return { values: c.values, options: { label: c.name, stroke: palette[r % palette.length],
          scale: "strip", paths: function () { return null; }, points: { show: false },
          value: function (u, v) { return sound(c) ? soundWord(v) : v === null ? "-" : String(v); } } };
      }),
      { strip: { range: [0, n] } },
      [{ label: "location (m)" },
       { scale: "strip", label: "", size: leftAxis, splits: function () { return slots.map(function (c, r) { return n - r - 0.5; }); },
         values: function () { return slots.map(function (c) { return c.name; }); }, grid: { show: false } },
       { scale: "strip", label: "", side: 1, size: rightAxis, values: function () { return []; }, grid: { show: false } }],
      60 + 26 * n, function (u) {
        const ctx = u.ctx;
        ctx.save();
        slots.forEach(function (c, r) {
          const colour = palette[r % palette.length];
          const bottom = u.valToPos(n - r - 1, "strip", true), top = u.valToPos(n - r, "strip", true);
          const h = bottom - top;
          ctx.fillStyle = colour;
          for (let i = 0; i < rows; i++) {
            const v = c.values[i];
            if (v === null || x[i] === null) continue;
            const x0 = u.valToPos(x[i], "x", true);
            const x1 = i + 1 < rows && x[i + 1] !== null ? u.valToPos(x[i + 1], "x", true) : x0;
            const on = sound(c) ? v > -10000 && v <= 0 : v !== 0;
            const left = Math.min(x0, x1), w = Math.max(Math.abs(x1 - x0), 1);
            if (on) ctx.fillRect(left, top + h * 0.15, w, h * 0.7);
            else ctx.fillRect(left, bottom - h * 0.2, w, Math.max(1, h * 0.06));
            if (sound(c) && v === 1) {
              ctx.beginPath();
              ctx.moveTo(x0, top + h * 0.1);
              ctx.lineTo(x0 + h * 0.4, top + h * 0.5);
              ctx.lineTo(x0, top + h * 0.9);
              ctx.fill();
            }
          }
        });
        ctx.restore();
        status.strip = slots.map(function (c) { return c.name; });
        publish();
      });
  }
  resetZoom();
  publish();
})();
