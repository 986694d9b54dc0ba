// Stipplex Studio: the page. Every control is made from the definitions the
// effect gave the host; every change goes to the server, which edits the
// effect's values through the host and answers with what the effect decided
// (values, enabled and hidden controls). Preview frames come from the real
// plug-in, the newest first.
'use strict';

(() => {
  const token = document.querySelector('meta[name="stipplex-token"]').content;
  const $ = (id) => document.getElementById(id);
  const el = (tag, cls, text) => {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  };
  const SVG = 'http://www.w3.org/2000/svg';
  const svg = (tag, attrs) => {
    const e = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
    return e;
  };
  const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));

  // ------------------------------------------------------------------ talking to the server

  class ApiError extends Error {}

  async function api(method, path, body, query) {
    const url = new URL(path, location.origin);
    for (const [k, v] of Object.entries(query || {})) url.searchParams.set(k, v);
    const init = { method, headers: { 'X-Stipplex-Token': token } };
    if (body instanceof ArrayBuffer || body instanceof Blob || typeof body === 'string') {
      init.body = body;
      init.headers['Content-Type'] = 'application/octet-stream';
    } else if (body !== undefined) {
      init.body = JSON.stringify(body);
      init.headers['Content-Type'] = 'application/json';
    }
    let response;
    try {
      response = await fetch(url, init);
    } catch (e) {
      throw new ApiError('the studio does not answer: is stipplex studio still running?');
    }
    const type = response.headers.get('Content-Type') || '';
    const payload = type.startsWith('application/json') ? await response.json() : await response.text();
    if (!response.ok) {
      throw new ApiError((payload && payload.error) || `the studio answered ${response.status}`);
    }
    return payload;
  }

  // ------------------------------------------------------------------ what the page knows

  const S = {
    defs: [],
    byId: new Map(),
    controls: new Map(), // identifier -> control
    state: null,
    shownGen: 0,
    frameInfo: null,
    view: { zoom: 1, x: 0, y: 0, fitted: true },
    split: 0.5,
    picking: null, // identifier of a point being picked on the preview
    exportFolder: '',
    playing: false,
  };

  // Figures the browser tests read.
  const stats = { dragLatencies: [], settleLatencies: [], dragRenderMs: [], dragDownsample: [], frames: 0, drafts: 0, errors: [] };
  window.studio = {
    stats,
    state: () => S.state,
    shownGeneration: () => S.shownGen,
    frameInfo: () => S.frameInfo,
    idle: () => !net.busy && net.queue.length === 0 && !net.drag,
  };

  // ------------------------------------------------------------------ toasts

  function toast(message, kind = 'error', ms = 6000) {
    const t = el('div', `toast ${kind}`, message);
    t.setAttribute('role', kind === 'error' ? 'alert' : 'status');
    t.addEventListener('click', () => t.remove());
    $('toasts').append(t);
    if (kind === 'error') stats.errors.push(message);
    setTimeout(() => t.remove(), ms);
  }

  // ------------------------------------------------------------------ one channel for changes

  // Changes go out one at a time, in order. While a drag goes on only its
  // newest value waits, and goes out as soon as the previous change is
  // answered: the server renders it right after the draft in flight, and
  // its frame comes on the frame request that is always waiting, so no
  // round trip stands between a change and its render.
  const net = { busy: false, queue: [], drag: null, pageMs: 0 };
  const pendingLatency = new Map(); // generation -> {t0, drag}

  function send(job) {
    net.queue.push(job);
    pump();
  }

  function dragTo(key, run, t0 = performance.now()) {
    if (net.drag && net.drag.key === key) {
      net.drag.run = run;
    } else {
      net.drag = { key, run, t0 };
    }
    pump();
  }

  function endDrag(key, run) {
    if (net.drag && net.drag.key === key) net.drag = null;
    send({ run, drag: false, t0: performance.now() });
  }

  async function pump() {
    if (net.busy) return;
    let job = net.queue.shift();
    if (!job && net.drag) {
      job = { run: net.drag.run, drag: true, t0: net.drag.t0, key: net.drag.key };
      net.drag = null;
    }
    if (!job) return;
    net.busy = true;
    try {
      const answer = await job.run();
      if (answer && answer.generation) {
        stats.lastGeneration = Math.max(stats.lastGeneration || 0, answer.generation);
        pendingLatency.set(answer.generation, { t0: job.t0, drag: job.drag });
      }
      if (answer && answer.values) applyState(answer);
      if (answer && answer.warnings) for (const w of answer.warnings) toast(w, 'warn', 9000);
    } catch (e) {
      toast(e.message);
      // The controls show the values the effect holds.
      for (const c of S.controls.values()) c.shown = undefined;
      if (S.state) applyState(S.state);
    } finally {
      net.busy = false;
      pump();
    }
  }

  function edit(identifier, value, gesture) {
    // A drag's changes tell the server how long its drafts spend outside
    // the render, for it to choose their downsampling.
    const run = () => api('POST', '/api/edit', Object.assign({ identifier, value: String(value), gesture }, gesture && net.pageMs ? { pageMs: Math.min(60000, Math.round(net.pageMs)) } : {}));
    if (gesture) dragTo(identifier, run);
    else endDrag(identifier, run);
  }

  // ------------------------------------------------------------------ number formatting

  function decimals(def) {
    if (def.type === 'float slider') return def.precision || 0;
    if (def.type === 'angle') return 1;
    return 0;
  }
  function fmt(value, places) {
    const v = Number(value);
    if (!Number.isFinite(v)) return String(value);
    return places > 0 ? v.toFixed(places) : String(Math.round(v));
  }
  // The value the control sends: rounded as the control shows it.
  function quantise(value, places) {
    const f = Math.pow(10, places);
    return Math.round(value * f) / f;
  }

  // ------------------------------------------------------------------ the controls

  // A number that can be scrubbed by dragging and typed after a click.
  function numberField(opts) {
    const input = el('input', `num ${opts.cls || ''}`);
    input.type = 'text';
    input.spellcheck = false;
    input.setAttribute('aria-label', opts.label);
    input.title = opts.title || '';
    let typed = false;
    let scrub = null;
    input.addEventListener('pointerdown', (e) => {
      if (document.activeElement === input || e.button !== 0) return;
      e.preventDefault();
      input.setPointerCapture(e.pointerId);
      scrub = { x: e.clientX, start: opts.get(), moved: false };
    });
    input.addEventListener('pointermove', (e) => {
      if (!scrub) return;
      const dx = e.clientX - scrub.x;
      if (!scrub.moved && Math.abs(dx) < 3) return;
      scrub.moved = true;
      const step = opts.step() * (e.shiftKey ? 10 : 1) * (e.altKey ? 0.1 : 1);
      opts.scrub(scrub.start + dx * step, true);
    });
    const finish = (e) => {
      if (!scrub) return;
      const s = scrub;
      scrub = null;
      if (s.moved) {
        const dx = e.clientX - s.x;
        const step = opts.step() * (e.shiftKey ? 10 : 1) * (e.altKey ? 0.1 : 1);
        opts.scrub(s.start + dx * step, false);
      } else {
        input.focus();
        input.select();
      }
    };
    input.addEventListener('pointerup', finish);
    input.addEventListener('pointercancel', finish);
    input.addEventListener('input', () => { typed = true; });
    input.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') { input.blur(); }
      else if (e.key === 'Escape') { typed = false; opts.revert(); input.blur(); }
      else if (e.key === 'ArrowUp' || e.key === 'ArrowDown') {
        e.preventDefault();
        const step = opts.keyStep() * (e.shiftKey ? 10 : 1) * (e.key === 'ArrowUp' ? 1 : -1);
        opts.scrub(opts.get() + step, false);
      }
    });
    input.addEventListener('blur', () => {
      if (typed) {
        typed = false;
        opts.typed(input.value.trim(), input);
      }
    });
    input.isBusy = () => document.activeElement === input || scrub !== null;
    return input;
  }

  function sliderControl(def) {
    const isFloat = def.type === 'float slider';
    const places = decimals(def);
    const [smin, smax] = def.slider;
    const [vmin, vmax] = def.valid;
    const unit = def.percent ? '%' : def.pixel ? 'px' : '';
    const track = el('div', 'slider');
    track.tabIndex = 0;
    track.setAttribute('role', 'slider');
    track.setAttribute('aria-label', def.identifier);
    track.setAttribute('aria-valuemin', smin);
    track.setAttribute('aria-valuemax', smax);
    const bar = el('div', 'track');
    const fill = el('div', 'fill');
    const knob = el('div', 'knob');
    track.append(bar, fill, knob);
    let value = 0;
    let dragging = false;
    const show = (v) => {
      value = v;
      const t = smax > smin ? clamp((v - smin) / (smax - smin), 0, 1) : 0;
      knob.style.left = `${t * 100}%`;
      fill.style.width = `${t * 100}%`;
      track.classList.toggle('beyond', v < smin || v > smax);
      track.setAttribute('aria-valuenow', v);
      if (!field.isBusy()) field.value = fmt(v, places);
    };
    const keyStep = () => (isFloat ? Math.pow(10, -places) : 1);
    const put = (v, gesture) => {
      v = clamp(quantise(v, places), vmin, vmax);
      show(v);
      edit(def.identifier, fmt(v, places), gesture);
    };
    const field = numberField({
      label: `${def.identifier} value`,
      title: `valid ${fmt(vmin, places)} to ${fmt(vmax, places)}${unit === '%' ? '%' : ''}`,
      get: () => value,
      step: () => Math.max((smax - smin) / 300, keyStep()),
      keyStep,
      scrub: put,
      typed: (text) => {
        send({ run: () => api('POST', '/api/edit', { identifier: def.identifier, value: text.replace(/\s*(px)$/, ''), gesture: false }), t0: performance.now() });
      },
      revert: () => show(value),
    });
    const fromX = (clientX) => {
      const r = track.getBoundingClientRect();
      return smin + clamp((clientX - r.left) / r.width, 0, 1) * (smax - smin);
    };
    track.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      track.setPointerCapture(e.pointerId);
      track.focus();
      dragging = true;
      track.classList.add('active');
      put(fromX(e.clientX), true);
    });
    track.addEventListener('pointermove', (e) => { if (dragging) put(fromX(e.clientX), true); });
    const up = (e) => {
      if (!dragging) return;
      dragging = false;
      track.classList.remove('active');
      put(fromX(e.clientX), false);
    };
    track.addEventListener('pointerup', up);
    track.addEventListener('pointercancel', up);
    track.addEventListener('keydown', (e) => {
      const k = e.key;
      let v = null;
      if (k === 'ArrowRight' || k === 'ArrowUp') v = value + keyStep() * (e.shiftKey ? 10 : 1);
      else if (k === 'ArrowLeft' || k === 'ArrowDown') v = value - keyStep() * (e.shiftKey ? 10 : 1);
      else if (k === 'Home') v = smin;
      else if (k === 'End') v = smax;
      else if (k === 'Enter') { field.focus(); field.select(); e.preventDefault(); return; }
      if (v !== null) { e.preventDefault(); e.stopPropagation(); put(v, false); }
    });
    const nodes = [track, field, el('span', 'unit', unit)];
    return { nodes, set: (text) => show(Number(text)), busy: () => dragging || field.isBusy() };
  }

  function angleControl(def) {
    const dial = svg('svg', { class: 'dial', viewBox: '-10 -10 20 20', tabindex: 0, role: 'slider', 'aria-label': def.identifier });
    const hand = svg('line', { x1: 0, y1: 0, x2: 0, y2: -7 });
    dial.append(svg('circle', { r: 8.5 }), hand);
    let value = 0;
    let drag = null;
    const show = (v) => {
      value = v;
      const a = (v * Math.PI) / 180;
      hand.setAttribute('x2', (7 * Math.sin(a)).toFixed(2));
      hand.setAttribute('y2', (-7 * Math.cos(a)).toFixed(2));
      if (!field.isBusy()) field.value = fmt(v, 1);
    };
    const put = (v, gesture) => {
      v = clamp(quantise(v, 1), -32767, 32767);
      show(v);
      edit(def.identifier, fmt(v, 1), gesture);
    };
    const angleAt = (e) => {
      const r = dial.getBoundingClientRect();
      return (Math.atan2(e.clientX - (r.left + r.width / 2), -(e.clientY - (r.top + r.height / 2))) * 180) / Math.PI;
    };
    dial.addEventListener('pointerdown', (e) => {
      dial.setPointerCapture(e.pointerId);
      drag = { last: angleAt(e), value };
    });
    dial.addEventListener('pointermove', (e) => {
      if (!drag) return;
      const a = angleAt(e);
      let d = a - drag.last;
      if (d > 180) d -= 360;
      if (d < -180) d += 360;
      drag.last = a;
      drag.value += d;
      put(e.shiftKey ? Math.round(drag.value / 15) * 15 : drag.value, true);
    });
    const up = () => {
      if (!drag) return;
      drag = null;
      put(value, false);
    };
    dial.addEventListener('pointerup', up);
    dial.addEventListener('pointercancel', up);
    dial.addEventListener('keydown', (e) => {
      const step = e.shiftKey ? 10 : 1;
      if (e.key === 'ArrowRight' || e.key === 'ArrowUp') { e.preventDefault(); put(value + step, false); }
      if (e.key === 'ArrowLeft' || e.key === 'ArrowDown') { e.preventDefault(); put(value - step, false); }
    });
    const field = numberField({
      label: `${def.identifier} degrees`,
      title: 'degrees',
      get: () => value,
      step: () => 0.5,
      keyStep: () => 1,
      scrub: put,
      typed: (text) => send({ run: () => api('POST', '/api/edit', { identifier: def.identifier, value: text.replace(/°$/, ''), gesture: false }), t0: performance.now() }),
      revert: () => show(value),
    });
    return { nodes: [dial, field, el('span', 'unit', '°')], set: (t) => show(Number(t)), busy: () => drag !== null || field.isBusy() };
  }

  function checkboxControl(def) {
    const box = el('button', 'check');
    box.setAttribute('role', 'checkbox');
    box.setAttribute('aria-label', def.identifier);
    let on = false;
    box.addEventListener('click', () => {
      on = !on;
      box.setAttribute('aria-checked', on);
      edit(def.identifier, on ? '1' : '0', false);
    });
    return { nodes: [box], set: (t) => { on = t === '1'; box.setAttribute('aria-checked', on); }, busy: () => false };
  }

  function popupControl(def) {
    const select = el('select');
    select.setAttribute('aria-label', def.identifier);
    for (const item of def.items) {
      const o = el('option', '', item.separator ? '──────────' : `${item.label}`);
      o.value = item.value;
      o.disabled = item.separator;
      select.append(o);
    }
    select.addEventListener('change', () => edit(def.identifier, select.value, false));
    return { nodes: [select], set: (t) => { select.value = t; }, busy: () => false };
  }

  function colourControl(def) {
    const swatch = el('label', 'swatch');
    const picker = el('input');
    picker.type = 'color';
    picker.setAttribute('aria-label', `${def.identifier} colour`);
    swatch.append(picker);
    let picking = false;
    const hex = numberField({
      cls: 'hex',
      label: `${def.identifier} hex`,
      title: '#RRGGBB or R,G,B',
      get: () => 0,
      step: () => 0,
      keyStep: () => 0,
      scrub: () => {},
      typed: (text) => send({ run: () => api('POST', '/api/edit', { identifier: def.identifier, value: text, gesture: false }), t0: performance.now() }),
      revert: () => {},
    });
    hex.style.cursor = 'text';
    const show = (t) => {
      swatch.style.background = t;
      if (!picking) picker.value = t;
      if (!hex.isBusy()) hex.value = t.toUpperCase();
    };
    picker.addEventListener('input', () => { picking = true; show(picker.value); edit(def.identifier, picker.value, true); });
    picker.addEventListener('change', () => { picking = false; show(picker.value); edit(def.identifier, picker.value, false); });
    return { nodes: [swatch, hex], set: show, busy: () => picking || hex.isBusy() };
  }

  function pointControl(def) {
    const pick = el('button', 'pick');
    const icon = svg('svg', { viewBox: '-8 -8 16 16', width: 14, height: 14, 'aria-hidden': 'true' });
    icon.append(svg('circle', { r: 4, fill: 'none', stroke: 'currentColor', 'stroke-width': 1.4 }),
      svg('path', { d: 'M0 -7.5V-2.5M0 2.5V7.5M-7.5 0H-2.5M2.5 0H7.5', stroke: 'currentColor', 'stroke-width': 1.4 }));
    pick.append(icon);
    pick.title = 'Click on the preview to place this point (or drag its crosshair)';
    pick.setAttribute('aria-label', `${def.identifier} pick`);
    let x = 0;
    let y = 0;
    const send2 = (nx, ny, gesture) => {
      x = quantise(nx, 1);
      y = quantise(ny, 1);
      show();
      edit(def.identifier, `${fmt(x, 1)},${fmt(y, 1)}`, gesture);
      drawOverlay();
    };
    const field = (axis) => numberField({
      cls: 'coord',
      label: `${def.identifier} ${axis}`,
      title: `${axis} in layer pixels`,
      get: () => (axis === 'X' ? x : y),
      step: () => 1,
      keyStep: () => 1,
      scrub: (v, g) => (axis === 'X' ? send2(v, y, g) : send2(x, v, g)),
      typed: (text) => (axis === 'X' ? send2(Number(text), y, false) : send2(x, Number(text), false)),
      revert: () => show(),
    });
    const fx = field('X');
    const fy = field('Y');
    const show = () => {
      if (!fx.isBusy()) fx.value = fmt(x, 1);
      if (!fy.isBusy()) fy.value = fmt(y, 1);
    };
    pick.addEventListener('click', () => setPicking(S.picking === def.identifier ? null : def.identifier));
    return {
      nodes: [pick, fx, fy],
      set: (t) => { [x, y] = t.split(',').map(Number); show(); },
      busy: () => fx.isBusy() || fy.isBusy(),
      pick,
      point: () => [x, y],
      move: send2,
    };
  }

  function layerControl(def) {
    const select = el('select');
    select.setAttribute('aria-label', def.identifier);
    let current = 'none';
    const fill = () => {
      select.textContent = '';
      const add = (value, label, disabled) => {
        const o = el('option', '', label);
        o.value = value;
        o.disabled = !!disabled;
        select.append(o);
      };
      add('none', 'None');
      add('self', 'This layer');
      for (const l of (S.state && S.state.layers) || []) add(l.name, `${l.name}  (${l.width}×${l.height})`);
      add('', '──────────', true);
      add('__open__', 'Open image…');
      select.value = current;
    };
    select.addEventListener('change', () => {
      if (select.value === '__open__') {
        select.value = current;
        openLayerFor(def.identifier);
        return;
      }
      edit(def.identifier, select.value, false);
    });
    return { nodes: [select], set: (t) => { current = t; fill(); }, busy: () => false, refill: true };
  }

  const makers = {
    'float slider': sliderControl,
    slider: sliderControl,
    angle: angleControl,
    checkbox: checkboxControl,
    popup: popupControl,
    colour: colourControl,
    point: pointControl,
    layer: layerControl,
  };

  function describe(def) {
    const parts = [def.meaning, def.identifier];
    if (def.range) parts.push(def.range);
    if (def.supervised) parts.push('the effect reacts to changes of this control');
    return parts.filter(Boolean).join(' · ');
  }

  function makeLabel(def) {
    const label = el('div', 'label');
    label.append(el('span', 'name', def.name.replace(/\s+$/, '')), el('span', 'ident', def.identifier));
    label.title = describe(def);
    return label;
  }

  function makeRow(def, depth) {
    const row = el('div', 'row');
    row.dataset.identifier = def.identifier;
    row.dataset.type = def.type;
    row.style.setProperty('--depth', depth);
    const reset = el('button', 'reset', '↺');
    reset.title = 'Reset to the default';
    reset.setAttribute('aria-label', `Reset ${def.identifier}`);
    reset.addEventListener('click', () => send({ run: () => api('POST', '/api/reset', { identifier: def.identifier }), t0: performance.now() }));
    const label = makeLabel(def);
    label.addEventListener('click', (e) => {
      if (e.altKey) send({ run: () => api('POST', '/api/reset', { identifier: def.identifier }), t0: performance.now() });
    });
    const ctl = el('div', 'ctl');
    const maker = makers[def.type];
    const control = maker ? maker(def) : { nodes: [el('span', 'muted', def.type)], set: () => {}, busy: () => false };
    ctl.append(...control.nodes);
    row.append(reset, label, ctl);
    control.row = row;
    control.def = def;
    S.controls.set(def.identifier, control);
    return row;
  }

  function buildPanel() {
    const root = $('controls');
    root.textContent = '';
    S.controls.clear();
    const stack = [root];
    let depth = 0;
    for (const def of S.defs) {
      const parent = stack[stack.length - 1];
      if (def.type === 'group start') {
        const head = el('div', 'row group-row');
        head.dataset.identifier = def.identifier;
        head.dataset.type = def.type;
        head.style.setProperty('--depth', depth);
        head.tabIndex = 0;
        head.setAttribute('role', 'button');
        const twirl = el('span', 'twirl', '▶');
        const summary = el('span', 'summary');
        head.append(twirl, makeLabel(def), summary);
        const body = el('div', 'group-body');
        body.dataset.group = def.identifier;
        const open = !def.collapsed;
        head.classList.toggle('open', open);
        head.setAttribute('aria-expanded', open);
        body.classList.toggle('collapsed', !open);
        const toggle = () => {
          const now = body.classList.toggle('collapsed');
          head.classList.toggle('open', !now);
          head.setAttribute('aria-expanded', !now);
        };
        head.addEventListener('click', toggle);
        head.addEventListener('keydown', (e) => {
          if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); toggle(); }
        });
        parent.append(head, body);
        S.controls.set(def.identifier, { row: head, def, set: () => {}, busy: () => false, body, summary });
        stack.push(body);
        depth += 1;
      } else if (def.type === 'group end') {
        const end = el('div', 'group-end');
        end.dataset.identifier = def.identifier;
        end.dataset.type = def.type;
        parent.append(end);
        S.controls.set(def.identifier, { row: end, def, set: () => {}, busy: () => false });
        if (stack.length > 1) stack.pop();
        depth = Math.max(0, depth - 1);
      } else {
        parent.append(makeRow(def, depth));
      }
    }
  }

  // ------------------------------------------------------------------ state from the server

  function applyState(state) {
    S.state = state;
    const hasInput = !!state.input;
    for (const b of ['save-preset', 'load-preset', 'reset-all', 'copy-command', 'export']) $(b).disabled = !hasInput;
    $('undo').disabled = !state.canUndo;
    $('redo').disabled = !state.canRedo;
    $('drop-hint').hidden = hasInput;
    $('controls').classList.toggle('inactive', !hasInput);
    if (hasInput) {
      const i = state.input;
      $('source').textContent = `${i.name} · ${i.width}×${i.height} · ${i.depth === '32' ? '32-bit float' : `${i.depth}-bit`}${i.sequence ? ` · frames ${i.first}–${i.last}` : ''}`;
      $('timeline').hidden = !i.sequence;
      const sc = $('scrubber');
      sc.min = i.first;
      sc.max = i.last;
      if (!scrubbing) sc.value = state.frame;
      if (document.activeElement !== $('frame-number')) $('frame-number').value = state.frame;
      if (document.activeElement !== $('fps')) $('fps').value = state.fps;
      $('fps').disabled = !!i.clip; // a clip plays at its own rate
    }
    const disabled = new Set(state.disabled || []);
    const hidden = new Set(state.hidden || []);
    // Only what changed is touched, so that a drag's answers cost little.
    const layersKey = JSON.stringify(state.layers || []);
    for (const [id, c] of S.controls) {
      const off = disabled.has(id);
      const gone = hidden.has(id);
      if (c.off !== off) c.row.classList.toggle('disabled', (c.off = off));
      if (c.gone !== gone) {
        c.gone = gone;
        c.row.hidden = gone;
        if (c.body) c.body.hidden = gone;
      }
      if (!state.values || !(id in state.values)) continue;
      const v = state.values[id];
      const changed = !!state.defaults && state.defaults[id] !== v;
      if (c.changed !== changed) c.row.classList.toggle('changed', (c.changed = changed));
      const key = c.refill ? `${v}|${layersKey}` : v;
      if (c.shown === key || c.busy()) continue;
      c.shown = key;
      c.set(v);
    }
    // A group whose first control is a checkbox (an effector's switch)
    // shows its state in the heading.
    for (const c of S.controls.values()) {
      if (!c.summary) continue;
      const first = c.body.querySelector('.row');
      const fc = first && S.controls.get(first.dataset.identifier);
      c.summary.textContent = fc && fc.def.type === 'checkbox' && state.values ? (state.values[fc.def.identifier] === '1' ? 'on' : 'off') : '';
      c.summary.style.color = c.summary.textContent === 'on' ? 'var(--accent)' : '';
    }
    drawOverlay();
    updateStatus();
  }

  // ------------------------------------------------------------------ the preview

  const viewer = $('viewer');
  const stage = $('stage');
  const after = $('after');
  const before = $('before');

  function layerSize() {
    const i = S.state && S.state.input;
    return i ? [i.width, i.height] : [0, 0];
  }

  function applyView() {
    const [w, h] = layerSize();
    const v = S.view;
    stage.style.width = `${w}px`;
    stage.style.height = `${h}px`;
    stage.style.transform = `translate(${v.x}px, ${v.y}px) scale(${v.zoom})`;
    stage.classList.toggle('pixelated', v.zoom >= 2);
    const z = $('zoom');
    const match = [...z.options].find((o) => !o.classList.contains('custom') && Math.abs(Number(o.value) - v.zoom) < 1e-6);
    if (!match) {
      let custom = z.querySelector('option.custom');
      if (!custom) { custom = el('option', 'custom'); z.prepend(custom); }
      custom.value = v.zoom;
      custom.textContent = `${Math.round(v.zoom * 100)}%`;
      z.value = custom.value;
    } else {
      const custom = z.querySelector('option.custom');
      if (custom) custom.remove();
      z.value = match.value;
    }
    placeSplit();
    drawOverlay();
    updateStatus();
  }

  function fit() {
    const [w, h] = layerSize();
    if (!w) return;
    const r = viewer.getBoundingClientRect();
    const zoom = Math.min((r.width - 32) / w, (r.height - 32) / h);
    S.view = { zoom, x: (r.width - w * zoom) / 2, y: (r.height - h * zoom) / 2, fitted: true };
    applyView();
  }

  function zoomAt(zoom, cx, cy) {
    zoom = clamp(zoom, 0.05, 32);
    const v = S.view;
    const lx = (cx - v.x) / v.zoom;
    const ly = (cy - v.y) / v.zoom;
    S.view = { zoom, x: cx - lx * zoom, y: cy - ly * zoom, fitted: false };
    applyView();
  }

  function zoomStep(dir) {
    const r = viewer.getBoundingClientRect();
    const steps = [0.05, 0.1, 0.125, 0.25, 0.33, 0.5, 0.66, 1, 1.5, 2, 3, 4, 6, 8, 12, 16, 32];
    const z = S.view.zoom;
    const next = dir > 0 ? steps.find((s) => s > z * 1.001) || 32 : [...steps].reverse().find((s) => s < z * 0.999) || 0.05;
    zoomAt(next, r.width / 2, r.height / 2);
  }

  const toLayer = (clientX, clientY) => {
    const r = viewer.getBoundingClientRect();
    return [(clientX - r.left - S.view.x) / S.view.zoom, (clientY - r.top - S.view.y) / S.view.zoom];
  };

  function drawFrame(buffer, w, h) {
    if (after.width !== w || after.height !== h) {
      after.width = w;
      after.height = h;
    }
    after.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(buffer), w, h), 0, 0);
  }

  async function frameLoop() {
    for (;;) {
      try {
        const r = await fetch(`/api/frame?after=${S.shownGen}&wait=8000`, { headers: { 'X-Stipplex-Token': token } });
        if (r.status === 204) continue;
        const gen = Number(r.headers.get('X-Generation'));
        if (!r.ok) {
          const j = await r.json().catch(() => ({}));
          S.shownGen = Math.max(S.shownGen, gen || 0);
          showViewerMessage(j.error || `the preview failed (${r.status})`);
          continue;
        }
        const w = Number(r.headers.get('X-Width'));
        const h = Number(r.headers.get('X-Height'));
        const buffer = await r.arrayBuffer();
        if (gen <= S.shownGen) continue;
        drawFrame(buffer, w, h);
        S.shownGen = gen;
        const ds = Number(r.headers.get('X-Downsample'));
        S.frameInfo = { generation: gen, width: w, height: h, downsample: ds, ms: Number(r.headers.get('X-Render-Ms')), frame: Number(r.headers.get('X-Frame')) };
        stats.frames += 1;
        if (ds > 1) stats.drafts += 1;
        const now = performance.now();
        for (const [g, p] of pendingLatency) {
          if (g > gen) continue;
          (p.drag ? stats.dragLatencies : stats.settleLatencies).push(now - p.t0);
          if (p.drag && g === gen) {
            net.pageMs = Math.max(0, now - p.t0 - S.frameInfo.ms);
            stats.dragRenderMs.push(S.frameInfo.ms);
            stats.dragDownsample.push(ds);
          }
          pendingLatency.delete(g);
        }
        showViewerMessage('');
        updateStatus();
        pump();
        if (S.playing) playNext();
      } catch (e) {
        showViewerMessage('the studio does not answer: is stipplex studio still running?');
        await new Promise((res) => setTimeout(res, 1000));
      }
    }
  }

  function showViewerMessage(text) {
    const m = $('viewer-message');
    m.textContent = text;
    m.hidden = !text;
  }

  function updateStatus() {
    const s = $('status');
    s.textContent = '';
    const i = S.state && S.state.input;
    const f = S.frameInfo;
    if (!i) return;
    const parts = [];
    if (i.sequence) parts.push(`frame ${S.state.frame}`);
    if (f) {
      const q = el('span', f.downsample > 1 ? 'draft' : 'full', f.downsample > 1 ? `draft 1/${f.downsample}` : 'full resolution');
      s.append(q, document.createTextNode(` · ${f.ms.toFixed(0)} ms · `));
    }
    parts.push(`${Math.round(S.view.zoom * 100)}%`);
    s.append(document.createTextNode(parts.join(' · ')));
  }

  // Point crosshairs.
  function pointDefs() {
    return S.defs.filter((d) => d.type === 'point');
  }

  function drawOverlay() {
    const overlay = $('overlay');
    overlay.textContent = '';
    if (!S.state || !S.state.input || !$('guides').classList.contains('on')) return;
    const disabled = new Set(S.state.disabled || []);
    const hidden = new Set(S.state.hidden || []);
    for (const def of pointDefs()) {
      const c = S.controls.get(def.identifier);
      if (!c || hidden.has(def.identifier) || disabled.has(def.identifier)) continue;
      const [px, py] = c.point();
      const sx = px * S.view.zoom + S.view.x;
      const sy = py * S.view.zoom + S.view.y;
      const g = svg('g', { class: `point${S.picking === def.identifier ? ' active' : ''}`, transform: `translate(${sx.toFixed(1)} ${sy.toFixed(1)})` });
      g.dataset.identifier = def.identifier;
      const label = def.identifier === 'CenterPosition' ? 'C' : def.identifier.replace(/\D+/g, '') || '•';
      for (const cls of ['shadow', '']) {
        g.append(svg('line', { x1: -14, y1: 0, x2: -4, y2: 0, class: cls }), svg('line', { x1: 4, y1: 0, x2: 14, y2: 0, class: cls }),
          svg('line', { x1: 0, y1: -14, x2: 0, y2: -4, class: cls }), svg('line', { x1: 0, y1: 4, x2: 0, y2: 14, class: cls }));
      }
      g.append(svg('circle', { r: 7, class: 'shadow' }), svg('circle', { r: 7, class: 'ring' }), svg('circle', { r: 15, class: 'hit' }));
      const t = svg('text', { x: 10, y: -9 });
      t.textContent = label;
      g.append(t);
      const title = svg('title');
      title.textContent = `${def.name.trim()} · ${def.identifier}`;
      g.append(title);
      g.addEventListener('pointerdown', (e) => {
        e.stopPropagation();
        e.preventDefault();
        g.setPointerCapture(e.pointerId);
        const move = (ev, gesture) => {
          const [lx, ly] = toLayer(ev.clientX, ev.clientY);
          c.move(lx, ly, gesture);
        };
        const onMove = (ev) => move(ev, true);
        const onUp = (ev) => {
          g.removeEventListener('pointermove', onMove);
          g.removeEventListener('pointerup', onUp);
          move(ev, false);
        };
        g.addEventListener('pointermove', onMove);
        g.addEventListener('pointerup', onUp);
      });
      overlay.append(g);
    }
  }

  function setPicking(identifier) {
    S.picking = identifier;
    for (const def of pointDefs()) {
      const c = S.controls.get(def.identifier);
      if (c) c.pick.classList.toggle('on', def.identifier === identifier);
    }
    viewer.classList.toggle('picking', !!identifier);
    drawOverlay();
  }

  // Panning, picking, zooming.
  viewer.addEventListener('pointerdown', (e) => {
    if (!S.state || !S.state.input || e.target.closest('.split-handle') || e.target.closest('.drop-hint')) return;
    viewer.focus();
    if (S.picking && e.button === 0) {
      const c = S.controls.get(S.picking);
      const [lx, ly] = toLayer(e.clientX, e.clientY);
      c.move(lx, ly, false);
      setPicking(null);
      return;
    }
    viewer.setPointerCapture(e.pointerId);
    viewer.classList.add('panning');
    const start = { x: e.clientX, y: e.clientY, vx: S.view.x, vy: S.view.y };
    const move = (ev) => {
      S.view.x = start.vx + ev.clientX - start.x;
      S.view.y = start.vy + ev.clientY - start.y;
      S.view.fitted = false;
      applyView();
    };
    const up = () => {
      viewer.classList.remove('panning');
      viewer.removeEventListener('pointermove', move);
      viewer.removeEventListener('pointerup', up);
    };
    viewer.addEventListener('pointermove', move);
    viewer.addEventListener('pointerup', up);
  });
  viewer.addEventListener('wheel', (e) => {
    if (!S.state || !S.state.input) return;
    e.preventDefault();
    const r = viewer.getBoundingClientRect();
    zoomAt(S.view.zoom * Math.pow(1.0015, -e.deltaY), e.clientX - r.left, e.clientY - r.top);
  }, { passive: false });
  new ResizeObserver(() => { if (S.view.fitted) fit(); else applyView(); }).observe(viewer);

  // Before and after.
  let beforeKey = '';
  async function loadBefore() {
    const i = S.state && S.state.input;
    if (!i || !viewer.classList.contains('split')) return;
    const key = `${i.name}:${i.width}x${i.height}:${S.state.frame}`;
    if (key === beforeKey) return;
    beforeKey = key;
    try {
      const r = await fetch(`/api/input?frame=${S.state.frame}`, { headers: { 'X-Stipplex-Token': token } });
      if (!r.ok) throw new ApiError((await r.json()).error);
      const w = Number(r.headers.get('X-Width'));
      const h = Number(r.headers.get('X-Height'));
      const buf = await r.arrayBuffer();
      before.width = w;
      before.height = h;
      before.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(buf), w, h), 0, 0);
    } catch (e) {
      beforeKey = '';
      toast(e.message);
    }
  }
  function placeSplit() {
    const on = viewer.classList.contains('split');
    const handle = $('split-handle');
    handle.hidden = !on;
    if (!on) return;
    const r = viewer.getBoundingClientRect();
    const sx = S.split * r.width;
    handle.style.left = `${sx}px`;
    const [w] = layerSize();
    const lx = w ? clamp((sx - S.view.x) / S.view.zoom / w, 0, 1) : 0;
    before.style.clipPath = `inset(0 ${((1 - lx) * 100).toFixed(3)}% 0 0)`;
  }
  function toggleSplit() {
    const on = !viewer.classList.contains('split');
    viewer.classList.toggle('split', on);
    stage.classList.toggle('split', on);
    $('split').classList.toggle('on', on);
    $('split').setAttribute('aria-pressed', on);
    placeSplit();
    loadBefore();
  }
  $('split').addEventListener('click', toggleSplit);
  $('split-handle').addEventListener('pointerdown', (e) => {
    e.stopPropagation();
    const h = $('split-handle');
    h.setPointerCapture(e.pointerId);
    const move = (ev) => {
      const r = viewer.getBoundingClientRect();
      S.split = clamp((ev.clientX - r.left) / r.width, 0, 1);
      placeSplit();
    };
    const up = () => { h.removeEventListener('pointermove', move); h.removeEventListener('pointerup', up); };
    h.addEventListener('pointermove', move);
    h.addEventListener('pointerup', up);
  });

  const toggleButton = (id, fn) => {
    const b = $(id);
    const on = !b.classList.contains('on');
    b.classList.toggle('on', on);
    b.setAttribute('aria-pressed', on);
    fn(on);
  };
  const setChecker = (on) => { stage.classList.toggle('checker', on); stage.classList.toggle('black', !on); };
  $('checker').addEventListener('click', () => toggleButton('checker', setChecker));
  $('guides').addEventListener('click', () => toggleButton('guides', drawOverlay));
  $('zoom-fit').addEventListener('click', fit);
  $('zoom').addEventListener('change', () => {
    const r = viewer.getBoundingClientRect();
    zoomAt(Number($('zoom').value), r.width / 2, r.height / 2);
  });

  // ------------------------------------------------------------------ time

  let scrubbing = false;
  function setTime(frame, interactive) {
    const i = S.state && S.state.input;
    if (!i) return;
    frame = clamp(Math.round(frame), i.first, i.last);
    const fps = clamp(Math.round(Number($('fps').value) || 30), 1, 1000);
    const run = () => api('POST', '/api/time', { frame, fps, interactive }).then((s) => { loadBefore(); return s; });
    if (interactive) dragTo('__time', run);
    else endDrag('__time', run);
  }
  $('scrubber').addEventListener('input', () => { scrubbing = true; setTime(Number($('scrubber').value), true); });
  $('scrubber').addEventListener('change', () => { scrubbing = false; setTime(Number($('scrubber').value), false); });
  $('frame-number').addEventListener('change', () => setTime(Number($('frame-number').value), false));
  $('fps').addEventListener('change', () => setTime(S.state.frame, false));
  $('first-frame').addEventListener('click', () => setTime(S.state.input.first, false));
  $('prev-frame').addEventListener('click', () => setTime(S.state.frame - 1, false));
  $('next-frame').addEventListener('click', () => setTime(S.state.frame + 1, false));
  let lastPlayed = 0;
  function playNext() {
    const i = S.state.input;
    const wait = 1000 / (S.state.fps || 30) - (performance.now() - lastPlayed);
    setTimeout(() => {
      if (!S.playing) return;
      lastPlayed = performance.now();
      const next = S.state.frame >= i.last ? i.first : S.state.frame + 1;
      setTime(next, true);
    }, Math.max(0, wait));
  }
  function togglePlay() {
    if (!S.state || !S.state.input || !S.state.input.sequence) return;
    S.playing = !S.playing;
    $('play').querySelector('.play').toggleAttribute('hidden', S.playing);
    $('play').querySelector('.pause').toggleAttribute('hidden', !S.playing);
    if (S.playing) playNext();
    else setTime(S.state.frame, false);
  }
  $('play').addEventListener('click', togglePlay);

  // ------------------------------------------------------------------ files

  async function upload(kind, file, extra) {
    const body = await file.arrayBuffer();
    return api('POST', '/api/upload', body, Object.assign({ kind, name: file.name }, extra || {}));
  }

  function chooseFile(inputId) {
    return new Promise((resolve) => {
      const input = $(inputId);
      input.value = '';
      input.onchange = () => resolve(input.files[0] || null);
      input.click();
    });
  }

  async function openImage(file) {
    if (!file) return;
    send({
      t0: performance.now(),
      run: async () => {
        const state = await upload('input', file);
        beforeKey = '';
        requestAnimationFrame(fit);
        toast(`Opened ${file.name}`, 'ok', 2500);
        return state;
      },
    });
  }

  function openLayerFor(identifier) {
    chooseFile('layer-input').then((file) => {
      if (!file) return;
      send({
        t0: performance.now(),
        run: async () => {
          const state = await upload('layer', file);
          applyState(state);
          return api('POST', '/api/edit', { identifier, value: state.layer, gesture: false });
        },
      });
    });
  }

  $('open').addEventListener('click', () => chooseFile('file-input').then(openImage));
  $('open-big').addEventListener('click', () => chooseFile('file-input').then(openImage));
  viewer.addEventListener('dragover', (e) => { e.preventDefault(); viewer.classList.add('dragover'); });
  viewer.addEventListener('dragleave', () => viewer.classList.remove('dragover'));
  viewer.addEventListener('drop', (e) => {
    e.preventDefault();
    viewer.classList.remove('dragover');
    const file = e.dataTransfer.files[0];
    if (!file) return;
    if (/\.preset$|\.txt$/i.test(file.name)) loadPreset(file);
    else openImage(file);
  });

  function loadPreset(file) {
    if (!file) return;
    send({
      t0: performance.now(),
      run: async () => {
        const state = await api('POST', '/api/upload', await file.text(), { kind: 'preset', name: file.name });
        toast(`Loaded ${file.name}`, 'ok', 2500);
        return state;
      },
    });
  }
  $('load-preset').addEventListener('click', () => chooseFile('preset-input').then(loadPreset));

  function stem() {
    const name = (S.state && S.state.input && S.state.input.name) || 'look';
    return name.replace(/^.*[\\/]/, '').replace(/\.[^.]*$/, '').replace(/[._-]*#+[._-]*/g, '') || 'look';
  }

  async function savePreset() {
    try {
      const text = await api('GET', '/api/preset');
      const a = el('a');
      a.href = URL.createObjectURL(new Blob([text], { type: 'text/plain' }));
      a.download = `${stem()}.preset`;
      document.body.append(a);
      a.click();
      a.remove();
      setTimeout(() => URL.revokeObjectURL(a.href), 10000);
    } catch (e) {
      toast(e.message);
    }
  }
  $('save-preset').addEventListener('click', savePreset);

  $('undo').addEventListener('click', () => send({ run: () => api('POST', '/api/undo', {}), t0: performance.now() }));
  $('redo').addEventListener('click', () => send({ run: () => api('POST', '/api/redo', {}), t0: performance.now() }));
  $('reset-all').addEventListener('click', () => send({ run: () => api('POST', '/api/reset', {}), t0: performance.now() }));

  $('copy-command').addEventListener('click', async () => {
    const command = S.state && S.state.command;
    if (!command) return;
    try {
      await navigator.clipboard.writeText(command);
    } catch (e) {
      const area = el('textarea');
      area.value = command;
      document.body.append(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    toast(`Copied: ${command.length > 160 ? `${command.slice(0, 160)}…` : command}`, 'ok', 4000);
  });

  // ------------------------------------------------------------------ export

  const dialog = $('export-dialog');
  let nameEdited = false;
  function defaultExportName(range) {
    const ext = S.state.input.depth === '32' ? 'exr' : 'png';
    if (range === 'all' && S.state.input.clip) {
      const own = (/\.(mov|mp4|mkv|webm|gif)$/i.exec(S.state.input.name) || [])[1];
      return `${stem()}-stipplex.${(own || 'mp4').toLowerCase()}`;
    }
    return range === 'all' && S.state.input.sequence ? `${stem()}-stipplex.####.${ext}` : `${stem()}-stipplex.${ext}`;
  }
  function openExport() {
    if (!S.state || !S.state.input) return;
    const i = S.state.input;
    $('export-folder').value = $('export-folder').value || S.exportFolder;
    const allRadio = dialog.querySelector('input[value=all]');
    allRadio.disabled = !i.sequence;
    if (!i.sequence) dialog.querySelector('input[value=frame]').checked = true;
    $('export-all-label').textContent = i.sequence ? `All frames (${i.first}–${i.last})` : 'All frames';
    if (!nameEdited) $('export-name').value = defaultExportName(dialog.querySelector('input[name=range]:checked').value);
    $('export-result').textContent = '';
    $('export-result').classList.remove('error');
    $('export-progress').hidden = true;
    $('export-start').disabled = false;
    $('export-cancel').textContent = 'Close';
    dialog.showModal();
  }
  $('export-name').addEventListener('input', () => { nameEdited = true; });
  dialog.querySelectorAll('input[name=range]').forEach((r) => r.addEventListener('change', () => {
    if (!nameEdited) $('export-name').value = defaultExportName(r.value);
  }));
  let exportPoll = 0;
  $('export-form').addEventListener('submit', async (e) => {
    e.preventDefault();
    const range = dialog.querySelector('input[name=range]:checked').value;
    const result = $('export-result');
    result.classList.remove('error');
    result.textContent = '';
    try {
      await api('POST', '/api/export', { folder: $('export-folder').value.trim(), name: $('export-name').value.trim(), range });
    } catch (err) {
      result.classList.add('error');
      result.textContent = err.message;
      return;
    }
    S.exportFolder = $('export-folder').value.trim();
    $('export-start').disabled = true;
    $('export-cancel').textContent = 'Cancel';
    $('export-progress').hidden = false;
    clearInterval(exportPoll);
    exportPoll = setInterval(async () => {
      let s;
      try { s = await api('GET', '/api/export'); } catch (err) { return; }
      $('export-progress').firstElementChild.style.width = `${(s.fraction * 100).toFixed(1)}%`;
      result.textContent = s.running ? `${s.done} of ${s.total} frames…` : '';
      if (s.running) return;
      clearInterval(exportPoll);
      $('export-start').disabled = false;
      $('export-cancel').textContent = 'Close';
      window.studio.lastExport = s;
      if (s.error) {
        result.classList.add('error');
        result.textContent = s.error;
      } else if (s.cancelled) {
        result.textContent = `Cancelled after ${s.files.length} of ${s.total} frames.`;
      } else {
        $('export-progress').firstElementChild.style.width = '100%';
        result.textContent = `Wrote ${s.files.length === 1 ? s.files[0] : `${s.files.length} frames`}\nLook saved as ${s.preset}`;
        toast(`Exported ${s.files.length} frame${s.files.length === 1 ? '' : 's'}`, 'ok', 3000);
      }
    }, 200);
  });
  $('export-cancel').addEventListener('click', async () => {
    if ($('export-cancel').textContent === 'Cancel') {
      try { await api('POST', '/api/export/cancel', {}); } catch (e) { toast(e.message); }
    } else {
      dialog.close();
    }
  });
  $('export').addEventListener('click', openExport);
  $('help').addEventListener('click', () => $('help-dialog').showModal());

  // ------------------------------------------------------------------ filter and groups

  $('filter').addEventListener('input', () => {
    const q = $('filter').value.trim().toLowerCase();
    for (const [, c] of S.controls) {
      if (c.def.type === 'group start' || c.def.type === 'group end') continue;
      const hay = `${c.def.name} ${c.def.identifier} ${c.def.meaning}`.toLowerCase();
      c.row.classList.toggle('filtered-out', q !== '' && !hay.includes(q));
    }
    for (const [, c] of S.controls) {
      if (!c.body) continue;
      const any = [...c.body.querySelectorAll('.row')].some((r) => !r.classList.contains('filtered-out'));
      c.row.classList.toggle('filtered-out', q !== '' && !any);
      c.body.classList.toggle('filtered-out', q !== '' && !any);
      if (q !== '') c.body.classList.toggle('collapsed', false), c.row.classList.add('open');
    }
  });
  const setAllGroups = (open) => {
    for (const c of S.controls.values()) {
      if (!c.body) continue;
      c.body.classList.toggle('collapsed', !open);
      c.row.classList.toggle('open', open);
      c.row.setAttribute('aria-expanded', open);
    }
  };
  $('collapse-all').addEventListener('click', () => setAllGroups(false));
  $('expand-all').addEventListener('click', () => setAllGroups(true));

  // ------------------------------------------------------------------ keyboard

  document.addEventListener('keydown', (e) => {
    if (e.defaultPrevented) return;
    const typing = e.target.closest('input, select, textarea') && e.target.type !== 'range' && e.target.type !== 'checkbox';
    const mod = e.ctrlKey || e.metaKey;
    if (mod && !e.altKey) {
      const k = e.key.toLowerCase();
      if (k === 'z' && !typing) { e.preventDefault(); $(e.shiftKey ? 'redo' : 'undo').click(); return; }
      if (k === 'y' && !typing) { e.preventDefault(); $('redo').click(); return; }
      if (k === 's') { e.preventDefault(); savePreset(); return; }
      if (k === 'o') { e.preventDefault(); $('open').click(); return; }
      if (k === 'e') { e.preventDefault(); openExport(); return; }
      return;
    }
    if (typing || e.altKey || document.querySelector('dialog[open]')) return;
    const onControl = e.target.closest('.slider, .dial');
    switch (e.key) {
      case '/': e.preventDefault(); $('filter').focus(); break;
      case '?': $('help-dialog').showModal(); break;
      case 'f': case 'F': fit(); break;
      case '1': zoomAt(1, viewer.clientWidth / 2, viewer.clientHeight / 2); break;
      case '+': case '=': zoomStep(1); break;
      case '-': case '_': zoomStep(-1); break;
      case '\\': toggleSplit(); break;
      case 't': case 'T': $('checker').click(); break;
      case 'g': case 'G': $('guides').click(); break;
      case 'Escape': setPicking(null); break;
      case ' ': if (!e.target.closest('button')) { e.preventDefault(); togglePlay(); } break;
      case 'ArrowLeft': if (!onControl && S.state && S.state.input && S.state.input.sequence) setTime(S.state.frame - 1, false); break;
      case 'ArrowRight': if (!onControl && S.state && S.state.input && S.state.input.sequence) setTime(S.state.frame + 1, false); break;
      case 'Home': if (!onControl && S.state && S.state.input) setTime(S.state.input.first, false); break;
      default: break;
    }
  });

  // ------------------------------------------------------------------ start

  async function start() {
    setChecker(true);
    try {
      const session = await api('GET', '/api/session');
      S.defs = session.definitions;
      for (const d of S.defs) S.byId.set(d.identifier, d);
      S.exportFolder = session.exportFolder;
      buildPanel();
      applyState(session.state);
      stats.lastGeneration = session.generation || 0;
      if (session.generation) pendingLatency.set(session.generation, { t0: performance.now(), drag: false });
      fit();
      document.body.dataset.ready = 'true';
      frameLoop();
    } catch (e) {
      showViewerMessage(e.message);
    }
  }
  start();
})();
