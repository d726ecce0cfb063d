// The display in a real browser against `vellumtrace run`: the page view mirrors the typed page,
// mouse moves and selections reach the process's document, new windows appear at their size,
// and nothing of the page's own scripts runs.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { writeFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
let pageUrl;
const output = paths.output || join(process.cwd(), 'e2e-output', 'shell-display');

function testPage() {
  let rows = '';
  for (let r = 1; r <= 30; r++) {
    rows += '<tr>';
    for (let c = 1; c <= 30; c++) rows += `<td id="c${r}_${c}">r${r}c${c}</td>`;
    rows += '</tr>\n';
  }
  return `<!DOCTYPE html>
<html><head><title>Shell test page</title>
<style>td { padding: 2px 6px; border: 1px solid #ccc; } #mark { color: navy; }</style>
<script>document.title = 'SCRIPT RAN'; document.documentElement.setAttribute('data-ran', 'script');</script>
</head>
<body>
<h1 id="head">Tables and links</h1>
<p id="para">The quick brown fox jumps over the lazy dog.</p>
<p><a id="jslink" href="javascript:document.body.setAttribute('data-ran','link')">a script link</a>
<img id="img" src="missing.png" onerror="document.body.setAttribute('data-ran','onerror')" alt="x"></p>
<table id="grid">${rows}</table>
</body></html>`;
}

async function debug(what, body) {
  return page.evaluate(async ([w, b]) => {
    const r = await fetch(`/api/debug/${w}`, { method: 'POST', body: JSON.stringify(b || {}) });
    return r.json();
  }, [what, body]);
}

async function mirrorFrame() {
  for (let i = 0; i < 200; i++) {
    const frame = page.frames().find((f) => f.url().includes('/mirror/'));
    if (frame && await frame.$('#c1_1').catch(() => null)) return frame;
    await page.waitForTimeout(100);
  }
  throw new Error('the page view never showed the page');
}


before(async () => {
  mkdirSync(output, { recursive: true });
  ({ vt, browser, page } = await openDisplay());
  const dir = join(vt.home, 'pages');
  mkdirSync(dir);
  writeFileSync(join(dir, 'tables.html'), testPage());
  pageUrl = `file://${join(dir, 'tables.html')}`;
});

after(async () => {
  if (await endRun({ browser, vt })) assert.match(vt.stdout, /Vellumtrace has ended\./);
});

test('the printed address drops its token and a typed address shows in the page view', async () => {
  assert.equal(new URL(page.url()).search, '');
  await page.fill('[data-control="address"]', pageUrl);
  await page.press('[data-control="address"]', 'Enter');
  const frame = await mirrorFrame();
  assert.equal(await frame.textContent('#c2_3'), 'r2c3');
  await until(async () => (await page.textContent('.bw-caption')).startsWith('Shell test page'), 'title');
  assert.equal(await page.inputValue('[data-control="address"]'), pageUrl);
  await page.screenshot({ path: join(output, 'page-view.png') });
});

test('no script of the mirrored page runs', async () => {
  const frame = await mirrorFrame();
  await frame.click('#jslink');
  await page.waitForTimeout(300);
  const marks = await frame.evaluate(() => [
    document.documentElement.getAttribute('data-ran'), document.body.getAttribute('data-ran'),
    document.querySelectorAll('script[type="text/javascript"], script:not([type])').length,
  ]);
  assert.deepEqual(marks, [null, null, 0]);
  assert.equal(await frame.getAttribute('#img', 'onerror'), null);
  const policy = await page.evaluate(async () => (await fetch(location.origin + '/mirror/' +
    window.vellumtrace.activeWindow().page.browserId)).headers.get('content-security-policy'));
  assert.match(policy, /script-src 'none'/);
  // The process's document still holds the page as it came.
  assert.notEqual(await page.textContent('.bw-caption'), 'SCRIPT RAN - Vellumtrace');
});

test('a mouse move over a cell calls the document\'s onmousemove sink with that cell', async () => {
  const frame = await mirrorFrame();
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  assert.deepEqual(await debug('attach', { browser: browserId }), { attached: true });
  await debug('calls', { clear: true });
  const si = Number(await frame.getAttribute('#c5_7', 'data-vt-si'));
  await frame.hover('#c5_7');
  const calls = await until(async () => {
    const { calls } = await debug('calls');
    return calls.some((c) => c.event === 'onmousemove' && c.si === si) && calls;
  }, 'the mouse-move sink');
  const call = calls.find((c) => c.event === 'onmousemove' && c.si === si);
  assert.equal(call.tag, 'TD');
  assert.equal(call.id, 'c5_7');
  assert.equal(call.text, 'r5c7');
  await frame.click('#c6_2');
  await until(async () => (await debug('calls')).calls.some((c) => c.event === 'onclick' && c.id === 'c6_2'),
    'the click sink');
});

test('selected text becomes the document\'s selection of type Text', async () => {
  const frame = await mirrorFrame();
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  const box = await frame.locator('#para').boundingBox();
  await page.mouse.move(box.x + 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width * 0.45, box.y + box.height / 2, { steps: 5 });
  await page.mouse.up();
  const wanted = await frame.evaluate(() => document.getSelection().toString());
  assert.ok(wanted.startsWith('The quick'), wanted);
  const selection = await until(async () => {
    const s = await debug('selection', { browser: browserId });
    return s.type === 'Text' && s.text === wanted && s;
  }, `the selection "${wanted}"`);
  assert.equal(selection.type, 'Text');
  await page.screenshot({ path: join(output, 'selection.png') });
  // Clicking elsewhere collapses it again.
  await frame.click('#head');
  await until(async () => (await debug('selection', { browser: browserId })).type === 'None', 'no selection');
});

test('style changes reach the mirror without reloading it', async () => {
  const frame = await mirrorFrame();
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  await frame.evaluate(() => { window.__sameMirror = true; });
  const si = Number(await frame.getAttribute('#c3_3', 'data-vt-si'));
  await debug('mutate', { browser: browserId, si, name: 'style', value: 'border: 2px solid red' });
  await until(async () => (await frame.getAttribute('#c3_3', 'style')) === 'border: 2px solid red', 'the style');
  assert.equal(await frame.evaluate(() => window.__sameMirror), true);
  await debug('mutate', { browser: browserId, si, html: true, value: '<b id="bold">new</b>' });
  const fresh = await until(async () => {
    const f = page.frames().find((x) => x.url().includes('/mirror/'));
    return f && (await f.$('#bold').catch(() => null)) && f;
  }, 'the reloaded mirror');
  assert.equal(await fresh.evaluate(() => window.__sameMirror), undefined);
});

test('a window opened as the system opens one appears at its size', async () => {
  const before = await page.locator('section.bw').count();
  const { windows } = await debug('open', { url: pageUrl });
  assert.equal(windows.length, before + 1);
  const opened = windows[windows.length - 1];
  assert.equal(opened.width, 700);
  assert.equal(opened.height, 465);
  const locator = page.locator(`section.bw[data-window="${opened.id}"]`);
  await locator.waitFor({ state: 'visible' });
  const box = await locator.boundingBox();
  assert.equal(Math.round(box.width), 700);
  assert.equal(Math.round(box.height), 465);
  const desk = await page.locator('#desktop').boundingBox();
  const screen = { w: Math.round(desk.width), h: Math.round(desk.height) };
  assert.equal(Math.round(box.x - desk.x), Math.round((screen.w - 700) / 2));
  assert.equal(Math.round(box.y - desk.y), Math.round((screen.h - 465) / 2));
  await until(async () => (await locator.locator('.bw-caption').textContent()).startsWith('Shell test page'),
    'the new window\'s page');
  await page.waitForTimeout(300);
  await page.screenshot({ path: join(output, 'new-window.png') });
  await locator.locator('[data-action="close"]').click();
  await locator.waitFor({ state: 'detached' });
});

test('the bar opens to the left of the page from the View menu and closes again', async () => {
  // The main window is the only one left.
  const site = page.locator('section.bw [data-control="bandsite"]');
  const viewMenu = async () => {
    await page.click('section.bw [data-control="menu-view"]');
    await page.hover('.menu-item:has-text("Explorer Bar")');
    await page.click('[data-control="menu-bar-vellumtrace"]');
  };
  // A window of a new user opens with its bar; the View menu closes and reopens it.
  if (await site.isVisible()) {
    await viewMenu();
    await site.waitFor({ state: 'hidden' });
  }
  await viewMenu();
  await site.waitFor({ state: 'visible' });
  const bar = await site.boundingBox();
  const view = await page.locator('section.bw.active [data-control="page"]').boundingBox();
  assert.ok(bar.x + bar.width <= view.x, 'the bar lies left of the page');
  await page.screenshot({ path: join(output, 'bar-open.png') });
  await page.click('section.bw.active [data-action="close-bar"]');
  await site.waitFor({ state: 'hidden' });
});

test('mouse moves over a large page make a quick round trip to the sink', async () => {
  const frame = await mirrorFrame();
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  await debug('calls', { clear: true });
  await page.evaluate(() => { window.vellumtrace.activeWindow().page.moveTimes = []; });
  const first = await frame.locator('#c2_2').boundingBox();
  const last = await frame.locator('#c20_20').boundingBox();
  const steps = 120;
  for (let i = 0; i <= steps; i++) {
    const x = first.x + (last.x - first.x) * (i / steps);
    const y = first.y + (last.y - first.y) * (i / steps);
    await page.mouse.move(x, y);
    await page.waitForTimeout(8);
  }
  await page.waitForTimeout(300);
  const times = await page.evaluate(() => window.vellumtrace.activeWindow().page.moveTimes);
  const calls = (await debug('calls')).calls.filter((c) => c.event === 'onmousemove' && c.browser === browserId);
  assert.ok(times.length >= 20, `only ${times.length} round trips`);
  assert.ok(calls.length >= times.length, 'every round trip called the sink');
  const sorted = [...times].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  const p95 = sorted[Math.floor(sorted.length * 0.95)];
  console.log(`mouse move round trip over a 900-cell table: ${times.length} moves, median ${median.toFixed(1)} ms, ` +
    `95th percentile ${p95.toFixed(1)} ms, max ${sorted[sorted.length - 1].toFixed(1)} ms`);
  writeFileSync(join(output, 'mousemove-roundtrip.txt'),
    `moves ${times.length}\nmedian_ms ${median.toFixed(2)}\np95_ms ${p95.toFixed(2)}\n`);
  // The aim is under 30 ms on an idle machine; the bound leaves room for a loaded one.
  assert.ok(median < 150, `median round trip ${median} ms`);
});

