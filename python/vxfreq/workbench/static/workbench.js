// The workbench page: four views in step (picture, spectrum, result, difference), the
// filter list, and the calls to the server that filters. Plain JavaScript, no build step.
"use strict";
(() => {
  const token = document.querySelector('meta[name="workbench-token"]').content;
  const client = window.crypto && crypto.randomUUID ? crypto.randomUUID()
    : String(Math.random()).slice(2) + String(Date.now());
  const $ = (id) => document.getElementById(id);
  const body = document.body;

  // Everything the page holds; window.workbench lets a test read it.
  const state = {
    pic: null, pixels: null, result: null, spectrum: null,
    chain: [], seq: 0, shown: 0, lastLatency: null, lastServerMs: null,
    view: { zoom: 1, cx: 0.5, cy: 0.5 }, sources: {},
  };
  window.workbench = state;

  const DEFAULTS = {
    bandpass: { frequency: 0.1, sigma: 0.01, plateau: 0, dc: 1 },
    bandreject: { frequency: 0.1, sigma: 0.005, plateau: 0, dc: 0 },
    gabor: { frequency: 0.1, angle: 0, sigma: [0.02, 0.01], plateau: [0, 0], dc: 1 },
    gaborreject: { frequency: 0.1, angle: 0, sigma: [0.005, 0.005], plateau: [0, 0], dc: 0 },
  };
  const NAMES = { bandpass: "Band-pass", bandreject: "Band-reject", gabor: "Gabor",
                  gaborreject: "Gabor-reject (and its mirror)" };
  // Parameters: key, label, slider range, step.
  const BAND = [["frequency", "frequency", 0, 0.5, 0.0001], ["sigma", "sigma", 0.0001, 0.1, 0.0001],
                ["plateau", "plateau", 0, 0.1, 0.0001], ["dc", "DC radius", 0, 16, 1]];
  const GABOR = [["frequency", "frequency", 0, 0.5, 0.0001], ["angle", "angle (°)", -180, 180, 0.01],
                 ["sigma.0", "sigma along", 0.0001, 0.1, 0.0001], ["sigma.1", "sigma across", 0.0001, 0.1, 0.0001],
                 ["plateau.0", "plateau along", 0, 0.1, 0.0001], ["plateau.1", "plateau across", 0, 0.1, 0.0001],
                 ["dc", "DC radius", 0, 16, 1]];

  function api(path, options = {}) {
    const headers = Object.assign({ "X-Token": token }, options.headers || {});
    return fetch(path, Object.assign({}, options, { headers, cache: "no-store" }));
  }
  function postJson(path, value) {
    return api(path, { method: "POST", body: JSON.stringify(value),
                       headers: { "Content-Type": "application/json" } });
  }
  async function errorOf(response) {
    try { return (await response.json()).error || response.statusText; }
    catch (e) { return response.status + " " + response.statusText; }
  }
  function showMessage(text) {
    const m = $("message");
    m.textContent = text || "";
    m.hidden = !text;
  }
  function setState(s, status) {
    body.dataset.state = s;
    if (status !== undefined) $("status").textContent = status;
  }

  // ---- pictures into canvases

  function typed(buffer, bits) {
    return bits === 16 ? new Uint16Array(buffer) : new Uint8Array(buffer);
  }
  function sourceCanvas(name, w, h) {
    let c = state.sources[name];
    if (!c) c = state.sources[name] = document.createElement("canvas");
    c.width = w; c.height = h;
    return c;
  }
  // values: w*h*channels; shift: 8 for 16-bit pictures.
  function paint(name, w, h, channels, pixel) {
    const c = sourceCanvas(name, w, h);
    const ctx = c.getContext("2d");
    const img = ctx.createImageData(w, h);
    const d = img.data;
    for (let i = 0, n = w * h; i < n; i++) {
      const o = 4 * i;
      pixel(i, d, o);
      d[o + 3] = 255;
    }
    ctx.putImageData(img, 0, 0);
  }
  function paintPicture(name, values) {
    const { width: w, height: h, channels, bits } = state.pic;
    const k = bits === 16 ? 1 / 257 : 1;
    paint(name, w, h, channels, channels === 1
      ? (i, d, o) => { d[o] = d[o + 1] = d[o + 2] = values[i] * k; }
      : (i, d, o) => { d[o] = values[3 * i] * k; d[o + 1] = values[3 * i + 1] * k; d[o + 2] = values[3 * i + 2] * k; });
  }
  function paintDifference() {
    const { width: w, height: h, channels, bits } = state.pic;
    const a = state.pixels, b = state.result;
    const k = bits === 16 ? 1 / 256 : 1;
    paint("difference", w, h, channels, channels === 1
      ? (i, d, o) => { d[o] = d[o + 1] = d[o + 2] = 128 + (a[i] - b[i]) * k; }
      : (i, d, o) => {
        for (let c = 0; c < 3; c++) d[o + c] = 128 + (a[3 * i + c] - b[3 * i + c]) * k;
      });
  }
  function paintSpectrum() {
    const w = state.pic.spectrum_width, h = state.pic.spectrum_height, s = state.spectrum;
    paint("spectrum", w, h, 1, (i, d, o) => { d[o] = d[o + 1] = d[o + 2] = s[i]; });
  }

  // ---- views in step: one zoom and one centre, in parts of each view's own picture

  const VIEWS = ["picture", "spectrum", "result", "difference"];
  function geometry(canvas, src) {
    const cw = canvas.width, ch = canvas.height;
    const s = Math.min(cw / src.width, ch / src.height) * state.view.zoom;
    return { s, ox: cw / 2 - state.view.cx * src.width * s, oy: ch / 2 - state.view.cy * src.height * s };
  }
  function drawAll() {
    for (const name of VIEWS) {
      const canvas = $("view-" + name);
      const ratio = window.devicePixelRatio || 1;
      const cw = Math.max(1, Math.round(canvas.clientWidth * ratio));
      const ch = Math.max(1, Math.round(canvas.clientHeight * ratio));
      if (canvas.width !== cw || canvas.height !== ch) { canvas.width = cw; canvas.height = ch; }
      const ctx = canvas.getContext("2d");
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.fillStyle = "#111";
      ctx.fillRect(0, 0, cw, ch);
      const src = state.sources[name];
      if (!src || !state.pic) continue;
      const g = geometry(canvas, src);
      ctx.imageSmoothingEnabled = g.s < 1;
      ctx.setTransform(g.s, 0, 0, g.s, g.ox, g.oy);
      ctx.drawImage(src, 0, 0);
      if (name === "spectrum") drawFilterMarks(ctx, src, g);
    }
  }
  function drawFilterMarks(ctx, src, g) {
    const w = src.width, h = src.height;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    const X = (fx) => g.ox + (Math.floor(w / 2) + fx * w + 0.5) * g.s;
    const Y = (fy) => g.oy + (Math.floor(h / 2) + fy * h + 0.5) * g.s;
    // The axes in cycles per pixel: fx along the bottom edge, fy along the left one.
    ctx.fillStyle = ctx.strokeStyle = "#e0c040";
    ctx.font = `${Math.round(11 * (window.devicePixelRatio || 1))}px sans-serif`;
    ctx.lineWidth = 1;
    const bottom = Math.min(ctx.canvas.height - 2, g.oy + h * g.s), left = Math.max(2, g.ox);
    for (const t of [-0.5, -0.25, 0, 0.25, 0.5]) {
      const x = X(Math.min(t, 0.5 - 1 / w)), y = Y(Math.min(t, 0.5 - 1 / h));
      ctx.beginPath();
      ctx.moveTo(x, bottom); ctx.lineTo(x, bottom - 6);
      ctx.moveTo(left, y); ctx.lineTo(left + 6, y);
      ctx.stroke();
      ctx.textAlign = "center";
      ctx.fillText(String(t), x, bottom - 8);
      ctx.textAlign = "left";
      ctx.fillText(String(t), left + 8, y + 4);
    }
    ctx.lineWidth = 1.5;
    for (const e of state.chain) {
      ctx.strokeStyle = e.type.endsWith("reject") ? "#ff5050" : "#40d040";
      ctx.beginPath();
      if (e.type.startsWith("band")) {
        ctx.ellipse(X(0), Y(0), Math.max(1, e.frequency * w * g.s), Math.max(1, e.frequency * h * g.s), 0, 0, 2 * Math.PI);
      } else {
        const a = e.angle * Math.PI / 180;
        const fx = e.frequency * Math.cos(a), fy = e.frequency * Math.sin(a);
        const r = Math.max(4, 2 * Math.max(e.sigma[0], e.sigma[1]) * w * g.s);
        const lobes = e.type === "gaborreject" ? [1, -1] : [1];
        for (const k of lobes) { ctx.moveTo(X(k * fx) + r, Y(k * fy)); ctx.arc(X(k * fx), Y(k * fy), r, 0, 2 * Math.PI); }
      }
      ctx.stroke();
    }
  }
  // The point (u, v) (parts of the picture, 0 to 1) under a pointer event on a view.
  function pointOf(name, event) {
    const canvas = $("view-" + name), src = state.sources[name];
    const r = canvas.getBoundingClientRect(), ratio = canvas.width / Math.max(1, r.width);
    const g = geometry(canvas, src);
    const px = (event.clientX - r.left) * ratio, py = (event.clientY - r.top) * ratio;
    return { u: (px - g.ox) / g.s / src.width, v: (py - g.oy) / g.s / src.height, px, py, g };
  }
  function frequencyAt(u, v) {
    const w = state.pic.spectrum_width, h = state.pic.spectrum_height;
    return { fx: (Math.floor(u * w) - Math.floor(w / 2)) / w, fy: (Math.floor(v * h) - Math.floor(h / 2)) / h };
  }

  function values(array, i, channels) {
    if (!array) return "–";
    return channels === 1 ? String(array[i]) : Array.from(array.slice(3 * i, 3 * i + 3)).join(",");
  }
  function readout(name, event) {
    if (!state.pic || !state.sources[name]) return;
    const { u, v } = pointOf(name, event);
    const { width: w, height: h, channels } = state.pic;
    const x = Math.floor(u * w), y = Math.floor(v * h);
    const { fx, fy } = frequencyAt(u, v);
    let text = "";
    if (x >= 0 && y >= 0 && x < w && y < h) {
      const i = y * w + x;
      let diff = "–";
      if (state.result) {
        diff = channels === 1 ? String(state.pixels[i] - state.result[i])
          : [0, 1, 2].map((c) => state.pixels[3 * i + c] - state.result[3 * i + c]).join(",");
      }
      text += `x ${x}  y ${y}  picture ${values(state.pixels, i, channels)}  result ${values(state.result, i, channels)}  difference ${diff}\n`;
    } else text += "\n";
    if (u >= 0 && v >= 0 && u < 1 && v < 1) {
      const radius = Math.hypot(fx, fy), angle = Math.atan2(fy, fx) * 180 / Math.PI;
      text += `fx ${fx.toFixed(4)}  fy ${fy.toFixed(4)} cycles/pixel\nradius ${radius.toFixed(4)}  angle ${angle.toFixed(1)}°`;
    }
    $("readout").textContent = text;
  }

  let drag = null;
  for (const name of VIEWS) {
    const canvas = $("view-" + name);
    canvas.addEventListener("wheel", (event) => {
      if (!state.pic) return;
      event.preventDefault();
      const before = pointOf(name, event);
      const zoom = Math.min(64, Math.max(0.25, state.view.zoom * Math.pow(1.0015, -event.deltaY)));
      state.view.zoom = zoom;
      // Keep the point under the pointer where it is.
      const src = state.sources[name], s = geometry(canvas, src).s;
      state.view.cx = before.u - (before.px - canvas.width / 2) / s / src.width;
      state.view.cy = before.v - (before.py - canvas.height / 2) / s / src.height;
      drawAll();
    }, { passive: false });
    canvas.addEventListener("pointerdown", (event) => {
      if (!state.pic) return;
      drag = { name, x: event.clientX, y: event.clientY, cx: state.view.cx, cy: state.view.cy, moved: false };
      canvas.setPointerCapture(event.pointerId);
    });
    canvas.addEventListener("pointermove", (event) => {
      readout(name, event);
      if (!drag || drag.name !== name) return;
      const dx = event.clientX - drag.x, dy = event.clientY - drag.y;
      if (Math.abs(dx) + Math.abs(dy) > 3) drag.moved = true;
      if (!drag.moved) return;
      const src = state.sources[name], r = canvas.getBoundingClientRect();
      const s = geometry(canvas, src).s / (canvas.width / Math.max(1, r.width));
      state.view.cx = drag.cx - dx / s / src.width;
      state.view.cy = drag.cy - dy / s / src.height;
      drawAll();
    });
    canvas.addEventListener("pointerup", (event) => {
      const was = drag;
      drag = null;
      if (was && !was.moved && name === "spectrum" && state.pic) {
        const { u, v } = pointOf(name, event);
        if (u >= 0 && v >= 0 && u < 1 && v < 1) addPeak(frequencyAt(u, v));
      }
    });
  }
  window.addEventListener("resize", drawAll);
  $("fit").addEventListener("click", () => { state.view = { zoom: 1, cx: 0.5, cy: 0.5 }; drawAll(); });

  // ---- the filter list

  function getParam(e, key) {
    const [k, i] = key.split(".");
    return i === undefined ? e[k] : e[k][Number(i)];
  }
  function setParam(e, key, value) {
    const [k, i] = key.split(".");
    if (i === undefined) e[k] = value; else e[k][Number(i)] = value;
  }
  function renderList() {
    const list = $("filters");
    list.textContent = "";
    state.chain.forEach((e, index) => {
      const li = document.createElement("li");
      li.dataset.type = e.type;
      const title = document.createElement("div");
      title.className = "title";
      title.textContent = NAMES[e.type];
      const remove = document.createElement("button");
      remove.textContent = "remove";
      remove.className = "remove";
      remove.addEventListener("click", () => { state.chain.splice(index, 1); renderList(); changed(); });
      title.appendChild(remove);
      li.appendChild(title);
      for (const [key, label, lo, hi, step] of (e.type.startsWith("band") ? BAND : GABOR)) {
        const row = document.createElement("label");
        row.className = "param";
        const text = document.createElement("span");
        text.textContent = label;
        const slider = document.createElement("input");
        Object.assign(slider, { type: "range", min: lo, max: hi, step });
        slider.value = getParam(e, key);
        const number = document.createElement("input");
        Object.assign(number, { type: "number", min: key === "angle" ? -360 : lo,
                                max: key === "dc" ? 64 : (key === "angle" ? 360 : 0.5), step: "any" });
        number.value = getParam(e, key);
        number.dataset.param = key;
        const apply = (value, from) => {
          if (!Number.isFinite(value)) return;
          setParam(e, key, key === "dc" ? Math.round(value) : value);
          if (from !== slider) slider.value = value;
          if (from !== number) number.value = value;
          changed();
        };
        slider.addEventListener("input", () => apply(Number(slider.value), slider));
        number.addEventListener("input", () => apply(Number(number.value), number));
        row.append(text, slider, number);
        li.appendChild(row);
      }
      list.appendChild(li);
    });
  }
  function changed() { drawAll(); requestFilter(); }
  function addEntry(e) { state.chain.push(e); renderList(); changed(); }
  for (const b of document.querySelectorAll("[data-add]"))
    b.addEventListener("click", () => addEntry(JSON.parse(JSON.stringify(Object.assign({ type: b.dataset.add }, DEFAULTS[b.dataset.add])))));

  async function addPeak(f) {
    setState("working", "finding the peak…");
    const r = await postJson("/api/peak", { picture: state.pic.id, fx: f.fx, fy: f.fy });
    if (!r.ok) { showMessage(await errorOf(r)); setState("error", "error"); return; }
    const answer = await r.json();
    addEntry(answer.filter);
  }
  $("find").addEventListener("click", async () => {
    if (!state.pic) return;
    setState("working", "finding patterns…");
    const r = await postJson("/api/patterns", { picture: state.pic.id });
    if (!r.ok) { showMessage(await errorOf(r)); setState("error", "error"); return; }
    const answer = await r.json();
    if (!answer.filters.length) { setState("ready", "no pattern stands out"); return; }
    for (const e of answer.filters) { delete e.amplitude; state.chain.push(e); }
    renderList();
    changed();
  });
  $("padding").addEventListener("change", changed);
  $("mode").addEventListener("change", changed);

  // ---- filtering: every change sends the chain; the server answers the newest

  async function requestFilter() {
    if (!state.pic) return;
    const seq = ++state.seq, pic = state.pic, start = performance.now();
    setState("working", "filtering…");
    let r;
    try {
      r = await postJson("/api/filter", { picture: pic.id, client, seq, chain: state.chain,
                                          padding: $("padding").value, mode: $("mode").value });
    } catch (e) {
      if (seq === state.seq) { showMessage("the workbench's server does not answer"); setState("error", "error"); }
      return;
    }
    if (r.status === 409) return;  // a newer change took its place
    if (pic !== state.pic || seq < state.shown) return;
    if (!r.ok) {
      const text = await errorOf(r);
      if (seq === state.seq) { showMessage(text); setState("error", "error"); }
      return;
    }
    const data = await r.arrayBuffer();
    if (pic !== state.pic || seq < state.shown) return;
    state.shown = seq;
    state.result = typed(data, pic.bits);
    paintPicture("result", state.result);
    paintDifference();
    drawAll();
    state.lastLatency = performance.now() - start;
    state.lastServerMs = Number(r.headers.get("X-Elapsed-Ms"));
    showMessage("");
    await refreshExport(seq);
    if (seq === state.seq) {
      body.dataset.seq = String(seq);
      setState("ready", `result in ${state.lastLatency.toFixed(0)} ms (filtering ${state.lastServerMs.toFixed(0)} ms)`);
    }
  }
  function link(path) {
    const q = new URLSearchParams({ token, picture: state.pic.id, client, seq: String(state.shown) });
    return `${path}?${q}`;
  }
  async function refreshExport(seq) {
    const r = await api(link("/api/export"));
    if (!r.ok || seq < state.shown) return;
    const answer = await r.json();
    $("python").textContent = answer.python;
    $("command").textContent = answer.command;
    const stem = state.pic.name.replace(/\.[^.]*$/, "") || "picture";
    const result = $("download-result"), chainLink = $("download-chain");
    result.href = link("/api/download/result");
    result.download = stem + "-filtered.png";
    chainLink.href = link("/api/download/chain");
    chainLink.download = stem + "-chain.vxa";
    result.removeAttribute("aria-disabled");
    chainLink.removeAttribute("aria-disabled");
  }

  // ---- opening pictures

  async function loadPicture(desc) {
    setState("working", "loading the picture…");
    const [p, s] = await Promise.all([
      api(`/api/picture?picture=${desc.id}`), api(`/api/spectrum?picture=${desc.id}`)]);
    if (!p.ok || !s.ok) { showMessage(await errorOf(p.ok ? s : p)); setState("error", "error"); return; }
    state.pic = desc;
    state.pixels = typed(await p.arrayBuffer(), desc.bits);
    state.spectrum = new Uint8Array(await s.arrayBuffer());
    state.result = null;
    state.shown = 0;
    state.view = { zoom: 1, cx: 0.5, cy: 0.5 };
    $("name").textContent = `${desc.name}: ${desc.width} × ${desc.height}, ${desc.channels === 3 ? "colour" : "grey"}, ${desc.bits} bit`;
    paintPicture("picture", state.pixels);
    paintSpectrum();
    delete state.sources.result;
    delete state.sources.difference;
    drawAll();
    body.dataset.picture = desc.id;
    requestFilter();
  }
  async function openFile(file) {
    if (!file) return;
    showMessage("");
    setState("working", `opening ${file.name}…`);
    let r;
    try {
      r = await api("/api/open", { method: "POST", body: file,
                                   headers: { "X-File-Name": encodeURIComponent(file.name) } });
    } catch (e) {
      showMessage(`cannot open '${file.name}': the upload failed`); setState("error", "error"); return;
    }
    if (!r.ok) { showMessage(await errorOf(r)); setState("error", "error"); return; }
    await loadPicture(await r.json());
  }
  $("file").addEventListener("change", () => { openFile($("file").files[0]); $("file").value = ""; });
  document.addEventListener("dragover", (event) => { event.preventDefault(); body.classList.add("dragging"); });
  document.addEventListener("dragleave", () => body.classList.remove("dragging"));
  document.addEventListener("drop", (event) => {
    event.preventDefault();
    body.classList.remove("dragging");
    if (event.dataTransfer.files.length) openFile(event.dataTransfer.files[0]);
  });

  for (const a of [$("download-result"), $("download-chain")]) a.setAttribute("aria-disabled", "true");
  api("/api/state").then((r) => r.json()).then((s) => {
    if (s.picture) loadPicture(s.picture); else setState("empty", "no picture");
  });
})();
