// stipplex studio in a real browser: Debian's chromium, headless, driven by
// playwright-core. Needs the built `stipplex` (STIPPLEX, default
// build/linux/src/app/stipplex) and ffmpeg. With STIPPLEX_SCREENSHOTS=DIR it also
// writes the README's screenshots into DIR.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir, loadavg, cpus } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const stipplex = process.env.STIPPLEX || path.join(root, 'build/linux/src/app/stipplex');
const shots = process.env.STIPPLEX_SCREENSHOTS || '';
const work = mkdtempSync(path.join(tmpdir(), 'stipplex-browser-'));

// ------------------------------------------------------------------ helpers

// Starts `stipplex studio` and resolves with its address once it prints it.
function startStudio(input) {
  const proc = spawn(stipplex, ['studio', input, '--no-open'], { cwd: root, stdio: ['ignore', 'pipe', 'pipe'] });
  let err = '';
  proc.stderr.on('data', (d) => { err += d; });
  const url = new Promise((resolve, reject) => {
    let out = '';
    proc.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+/);
      if (m) resolve(m[0]);
    });
    proc.on('exit', (code) => reject(new Error(`stipplex studio exited (${code}): ${err}`)));
  });
  return { proc, url };
}

// Stops the studio as Ctrl+C does in a terminal; SIGTERM, which a shell
// never makes a background program ignore, after a few seconds.
async function stopStudio(proc) {
  if (proc.exitCode !== null) return;
  const exited = new Promise((resolve) => proc.on('exit', resolve));
  proc.kill('SIGINT');
  const late = setTimeout(() => proc.kill('SIGTERM'), 5000);
  await exited;
  clearTimeout(late);
}

const launch = () => chromium.launchPersistentContext(mkdtempSync(path.join(work, 'profile-')), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1600, height: 900 },
  acceptDownloads: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

async function openStudio(context, url) {
  const page = await context.newPage();
  page.on('pageerror', (e) => { throw e; });
  await page.goto(url);
  await page.waitForFunction(() => window.studio && window.studio.stats.frames > 0, null, { timeout: 60000 });
  return page;
}

// Waits until every change has been answered and the preview shows the
// newest look at full resolution.
async function settled(page) {
  await page.waitForFunction(() => {
    const s = window.studio;
    const f = s.frameInfo();
    return s.idle() && f && s.shownGeneration() >= (s.stats.lastGeneration || 0) && f.downsample === 1;
  }, null, { timeout: 60000 });
}

const previewHash = (page) => page.evaluate(() => {
  const c = document.getElementById('after');
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let h = 0;
  for (let i = 0; i < d.length; i += 3) h = (Math.imul(h, 31) + d[i]) | 0;
  return `${c.width}x${c.height}:${h}`;
});

const row = (page, id) => page.locator(`#controls [data-identifier="${id}"]`);
const value = (page, id) => page.evaluate((i) => window.studio.state().values[i], id);

async function expand(page, group) {
  const head = row(page, group);
  if ((await head.getAttribute('aria-expanded')) !== 'true') await head.click();
}

async function setPopup(page, id, item) {
  await row(page, id).locator('select').selectOption(String(item));
  await settled(page);
}

async function typeValue(page, id, text) {
  const field = row(page, id).locator('input.num').first();
  await field.click();
  await field.fill(text);
  await field.press('Enter');
  await settled(page);
}

// Clicks a button that opens the file chooser and picks `file` in it.
async function choose(page, button, file) {
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click(button)]);
  await chooser.setFiles(file);
}

async function shot(page, name) {
  if (shots) await page.screenshot({ path: path.join(shots, name) });
}

const quantile = (values, q) => {
  const s = [...values].sort((a, b) => a - b);
  return s[Math.min(s.length - 1, Math.floor(q * s.length))];
};

// ------------------------------------------------------------------ the studio on the demo picture

// Relative to the repository, as a user in it would type it.
const demo = 'assets/demo-input.png';
const run = (args) => execFileSync(stipplex, args, { cwd: root, encoding: 'utf8' });
let studio;
let context;
let page;

before(async () => {
  studio = startStudio(demo);
  context = await launch();
  page = await openStudio(context, await studio.url);
  await settled(page);
});

after(async () => {
  if (context) await context.close();
  if (studio) await stopStudio(studio.proc);
  rmSync(work, { recursive: true, force: true });
});

test('the panel lists every parameter of the effect in its group', async () => {
  const params = JSON.parse(run(['params', '--json']));
  assert.equal(params.length, 122);
  const shown = await page.evaluate(() => [...document.querySelectorAll('#controls [data-identifier]')].map((e) => ({
    identifier: e.dataset.identifier,
    group: (e.closest('.group-body') || { dataset: {} }).dataset.group || null,
  })));
  const groups = [];
  // A group's end closes it from inside.
  const expected = params.map((p) => {
    const entry = { identifier: p.identifier, group: groups.length ? groups[groups.length - 1] : null };
    if (p.type === 'group start') groups.push(p.identifier);
    if (p.type === 'group end') groups.pop();
    return entry;
  });
  assert.deepEqual(shown, expected);
  // Groups start collapsed, as the effect asks; names are the effect's own.
  assert.equal(await row(page, 'Effector1').getAttribute('aria-expanded'), 'false');
  assert.equal(await row(page, 'DotSize').locator('.name').textContent(), params.find((p) => p.identifier === 'DotSize').name.trimEnd());
  await shot(page, 'studio-default.png');
});

test('dragging the size slider changes the preview', async () => {
  const start = await previewHash(page);
  const box = await row(page, 'DotSize').locator('.slider').boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + box.width * 0.1, y);
  await page.mouse.down();
  for (let i = 1; i <= 12; i++) await page.mouse.move(box.x + box.width * (0.1 + i * 0.02), y);
  await page.mouse.up();
  await settled(page);
  assert.notEqual(Number(await value(page, 'DotSize')), 10);
  assert.notEqual(await previewHash(page), start);
  // One drag is one undo step.
  await page.click('#undo');
  await settled(page);
  assert.equal(await value(page, 'DotSize'), '10');
  assert.equal(await previewHash(page), start);
});

test('a point picked by click moves the effector', async () => {
  await expand(page, 'Effector1');
  await row(page, 'EnableEffector1').locator('.check').click();
  await settled(page);
  await row(page, 'Absolute1').locator('.check').click();
  await typeValue(page, 'IndependentSize1', '2');
  const atCentre = await previewHash(page);
  await row(page, 'EffectorPosition1').locator('button.pick').click();
  // The click's place on the layer, from the view's own transform.
  const target = await page.evaluate(() => {
    const stage = document.getElementById('stage').getBoundingClientRect();
    const input = window.studio.state().input;
    return { x: stage.x + stage.width * 0.2, y: stage.y + stage.height * 0.3, lx: input.width * 0.2, ly: input.height * 0.3 };
  });
  await page.mouse.click(target.x, target.y);
  await settled(page);
  const [px, py] = (await value(page, 'EffectorPosition1')).split(',').map(Number);
  assert.ok(Math.abs(px - target.lx) <= 1.5 && Math.abs(py - target.ly) <= 1.5, `${px},${py}`);
  assert.notEqual(await previewHash(page), atCentre);
  // Its crosshair is where the point is.
  const cross = await page.locator('#overlay [data-identifier="EffectorPosition1"]').boundingBox();
  assert.ok(Math.abs(cross.x + cross.width / 2 - target.x) < 3 && Math.abs(cross.y + cross.height / 2 - target.y) < 3);
});

test("a popup change greys out the controls the effect's rules disable", async () => {
  const disabled = (id) => row(page, id).evaluate((e) => e.classList.contains('disabled'));
  assert.equal(await disabled('InvertMask'), false);
  await setPopup(page, 'MaskMode', 2);
  assert.equal(await disabled('MaskLayer'), true);
  assert.equal(await disabled('InvertMask'), true);
  await setPopup(page, 'MaskMode', 3);
  assert.equal(await disabled('MaskLayer'), false);
  // A custom map disables size and falloff and enables the map's controls.
  assert.equal(await disabled('CustomMapLayer1'), true);
  await setPopup(page, 'EffectMap1', 1);
  for (const id of ['EffectorSize1', 'EffectorFalloff1']) assert.equal(await disabled(id), true, id);
  for (const id of ['CustomMapLayer1', 'Tile1', 'FitToLayer1', 'PickSourceColor1']) assert.equal(await disabled(id), false, id);
  // The separator of the map popup is a line, not a choice.
  assert.equal(await row(page, 'EffectMap1').locator('option[disabled]').count(), 1);
  await setPopup(page, 'MaskMode', 2);
  await row(page, 'MaskMode').scrollIntoViewIfNeeded();
  await shot(page, 'studio-disabled.png');
  await page.click('#reset-all');
  await settled(page);
  assert.equal(await disabled('MaskLayer'), true);
  assert.equal(await disabled('EffectorSize1'), true);
});

test("a saved preset renders with stipplex render to the same bytes as the studio's export", async () => {
  const presetFile = path.join(root, 'assets/demo.preset');
  await choose(page, '#load-preset', presetFile);
  await settled(page);
  assert.equal(await value(page, 'BlendMode2'), '6');
  await expand(page, 'Effector2');
  await shot(page, 'studio-effectors.png');
  await typeValue(page, 'DotSpacingX', '14');

  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-preset')]);
  const saved = path.join(work, 'saved.preset');
  await download.saveAs(saved);
  assert.match(readFileSync(saved, 'utf8'), /^DotSpacingX=14$/m);

  const folder = mkdtempSync(path.join(work, 'export-'));
  await page.click('#export');
  await page.fill('#export-folder', folder);
  await page.fill('#export-name', 'look.png');
  await page.click('#export-start');
  const status = await page.waitForFunction(() => window.studio.lastExport, null, { timeout: 120000 }).then((h) => h.jsonValue());
  assert.equal(status.error, '');
  await page.click('#export-cancel');

  const rendered = path.join(work, 'rendered.png');
  run(['render', demo, rendered, '--preset', saved, '-q']);
  assert.ok(readFileSync(path.join(folder, 'look.png')).equals(readFileSync(rendered)), 'export and render differ');
  // So does the copied command line, and the preset written beside the export.
  const command = await page.evaluate(() => window.studio.state().command);
  assert.match(command, /^stipplex render assets\/demo-input\.png out\.png .*--set DotSpacingX=14/);
  const copied = path.join(work, 'copied.png');
  execFileSync('/bin/sh', ['-c', `${command.replace(/^stipplex/, `'${stipplex}'`).replace(' out.png ', ` '${copied}' `)} -q`], { cwd: root });
  assert.ok(readFileSync(copied).equals(readFileSync(rendered)), 'the command line renders another look');
  const beside = path.join(work, 'beside.png');
  run(['render', demo, beside, '--preset', path.join(folder, 'look.preset'), '-q']);
  assert.ok(readFileSync(beside).equals(readFileSync(rendered)));
});

test('a broken upload shows an error and the studio keeps working', async () => {
  const broken = path.join(work, 'broken.png');
  writeFileSync(broken, Buffer.from('\x89PNG\r\n\x1a\nnot really a png', 'latin1'));
  await choose(page, '#open', broken);
  const toast = page.locator('.toast.error').last();
  await toast.waitFor({ timeout: 30000 });
  assert.match(await toast.textContent(), /broken\.png/);
  assert.equal((await page.evaluate(() => window.studio.state().input.name)), demo);
  const before = await previewHash(page);
  await typeValue(page, 'DotSize', '30');
  assert.equal(await value(page, 'DotSize'), '30');
  assert.notEqual(await previewHash(page), before);
  // A value out of range is refused with the range, and nothing changes.
  await typeValue(page, 'DotSize', '5000');
  assert.match(await page.locator('.toast.error').last().textContent(), /valid 0 to 1000/);
  assert.equal(await value(page, 'DotSize'), '30');
});

// ------------------------------------------------------------------ preview latency at 1080p

test('preview latency while dragging, 1080p', async () => {
  // The demo picture at 1920 x 1080, 8-bit RGB.
  const image = path.join(work, 'hd.png');
  execFileSync('ffmpeg', ['-v', 'error', '-i', path.join(root, demo), '-vf', 'scale=1920:1080', '-pix_fmt', 'rgb24', image]);
  const hd = startStudio(image);
  const hdPage = await openStudio(context, await hd.url);
  try {
    await settled(hdPage);
    await hdPage.evaluate(() => {
      for (const k of ['dragLatencies', 'dragRenderMs', 'dragDownsample']) window.studio.stats[k].length = 0;
    });
    const box = await row(hdPage, 'DotSize').locator('.slider').boundingBox();
    const y = box.y + box.height / 2;
    await hdPage.mouse.move(box.x + 4, y);
    await hdPage.mouse.down();
    // About four seconds of dragging back and forth, a move every 16 ms.
    for (let i = 0; i < 240; i++) {
      const t = (Math.sin(i / 20) + 1) / 2;
      await hdPage.mouse.move(box.x + 4 + t * (box.width * 0.5), y);
      await hdPage.waitForTimeout(16);
    }
    await hdPage.mouse.up();
    await settled(hdPage);
    const stats = await hdPage.evaluate(() => window.studio.stats);
    const lat = stats.dragLatencies;
    assert.ok(lat.length > 0, 'no preview arrived while dragging');
    const ms = (v) => `${v.toFixed(0)} ms`;
    const line = `preview latency while dragging (1920x1080, 8-bit): median ${ms(quantile(lat, 0.5))}, ` +
      `95th percentile ${ms(quantile(lat, 0.95))} over ${lat.length} previews; ` +
      `render alone median ${ms(quantile(stats.dragRenderMs, 0.5))} at downsampling ${quantile(stats.dragDownsample, 0.5)} ` +
      `(load average ${loadavg()[0].toFixed(1)} on ${cpus().length} cores)`;
    console.log(line);
    if (shots) writeFileSync(path.join(shots, 'latency.txt'), `${line}\n`);
  } finally {
    await hdPage.close();
    await stopStudio(hd.proc);
  }
});
