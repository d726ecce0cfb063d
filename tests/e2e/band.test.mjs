// The band in the display against `vellumtrace run` on a fresh home: the bar is open on the
// first start, every page the window shows is dissected into the Filter tab's tree while the
// lamp shows the band's state, visits are recorded, pages are word-indexed while the Indexer
// toggle is down, and the band's layout survives closing and reopening the bar.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
let server;
let site;
const output = paths.output || join(process.cwd(), 'e2e-output', 'band');

const PAGES = {
  '/tables.html': `<html><head><title>Two tables</title></head><body>
<table><tr><td>north</td><td>south</td></tr></table>
<table><tr><td>east</td></tr><tr><td>west</td></tr></table>
<p><a href="/one.html">one</a> <a href="/two.html">two</a> <a href="/three.html">three</a></p>
</body></html>`,
  '/list.html': `<html><head><title>One table</title></head><body>
<table><tr><td>only</td></tr></table><p>No links here.</p></body></html>`,
  '/words.html': `<html><head><title>Words</title></head><body>
<p>Quartz zephyrs vex bold jackdaws quickly beneath marbled aqueducts.</p></body></html>`,
};

function serve(req, res) {
  const url = new URL(req.url, 'http://x');
  const body = PAGES[url.pathname];
  if (!body) { res.writeHead(404); res.end('not here'); return; }
  // The first page answers late, so the band is seen waiting for the browser.
  const delay = url.pathname === '/tables.html' && url.searchParams.has('slow') ? 2500 : 0;
  setTimeout(() => {
    res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(body);
  }, delay);
}

function sql(query) {
  const db = join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb');
  return execFileSync('sqlite3', [db, query], { encoding: 'utf8' }).trim();
}


// What the bar shows: the lamp, the tree's rows, the status bar, the toggles and the tab.
async function bar() {
  return page.evaluate(() => {
    const site = document.querySelector('.band-site');
    if (!site || site.hidden) return null;
    const q = (name) => site.querySelector(`[data-control="${name}"]`);
    const led = q('led1');
    const panel = q('sb1') && q('sb1').querySelector('[data-panel="0"]');
    const tab = site.querySelector('.tab.active');
    const top = q('FilterTop');
    const sheet = q('filter_tab');
    return {
      color: led ? led.dataset.color : null,
      hint: led ? led.dataset.hint || '' : null,
      lit: led ? led.classList.contains('lit') : null,
      rows: [...site.querySelectorAll('[data-control="tv"] [data-node]')].map((r) => r.textContent.replace(/^[▸▾\s]+/, '').trim()),
      status: panel ? panel.textContent : null,
      indexer: q('sb_IndexPage') ? q('sb_IndexPage').querySelector('[aria-pressed="true"]') !== null : null,
      tab: tab ? tab.getAttribute('data-control') : null,
      filterTop: top && sheet && sheet.offsetHeight ? top.offsetHeight / sheet.offsetHeight : null,
    };
  });
}

async function navigate(url) {
  await page.fill('[data-control="address"]', url);
  await page.press('[data-control="address"]', 'Enter');
}

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
});

after(() => endRun({ browser, vt, server }));

test('a new user finds the bar open and the band ready', async () => {
  // Started: the database is open and the blank first page has been looked at.
  const state = await until(async () => {
    const b = await bar();
    return b && ['Vellumtrace is Ready', 'Parsing complete.'].includes(b.status) && b;
  }, 'the band to start', 15000);
  assert.equal(state.tab, 'filter_tab-tab');
  assert.equal(state.indexer, false);
  assert.equal(state.lit, false);  // no page dissected yet: "No data..."
  assert.equal(state.hint, 'No data...');
});

test('a page is dissected into the filter tree while the lamp shows the band waiting, then ready', async () => {
  await navigate(`${site}/tables.html?slow=1`);
  const waiting = await until(async () => {
    const b = await bar();
    return b && b.color === 'yellow' && b;
  }, 'the lamp to turn yellow', 15000, 20);
  assert.equal(waiting.hint, 'Waiting for browser...');
  assert.equal(waiting.lit, true);
  const ready = await until(async () => {
    const b = await bar();
    return b && b.color === 'green' && b.rows.includes('Links (3)') && b;
  }, 'the finished tree', 15000);
  assert.equal(ready.hint, 'Ready...');
  assert.deepEqual(ready.rows, ['Tables (2)', 'Links (3)']);
  assert.equal(ready.status, 'Parsing complete.');
  await page.screenshot({ path: join(output, 'band-filter-tree.png') });
  await until(() => sql(`SELECT Hits FROM URL WHERE URL = '${site}/tables.html?slow=1'`) === '1',
    'the visit to be recorded');
  assert.equal(sql(`SELECT Title FROM URL WHERE URL = '${site}/tables.html?slow=1'`), 'Two tables');
});

test('the next page rebuilds the tree for itself', async () => {
  await navigate(`${site}/list.html`);
  const state = await until(async () => {
    const b = await bar();
    return b && b.rows.length > 0 && !b.rows.includes('Links (3)') && b.color === 'green' && b;
  }, 'the tree of the second page');
  assert.deepEqual(state.rows, ['Tables (1)']);
  assert.equal(sql(`SELECT Hits FROM URL WHERE URL = '${site}/list.html'`), '1');
});

test('with the Indexer down a visited page is word-indexed once', async () => {
  await page.click('.band-site [data-control="sb_IndexPage"]');
  await until(async () => (await bar()).indexer, 'the Indexer toggle to go down');
  const url = `${site}/words.html`;
  await navigate(url);
  await until(() => sql(`SELECT Indexed FROM URL WHERE URL = '${url}'`) === '1', 'the page to be marked indexed', 30000);
  const id = sql(`SELECT ID FROM URL WHERE URL = '${url}'`);
  const words = sql(`SELECT group_concat(Word, ' ') FROM (SELECT w.Word FROM DICTIONARY d JOIN WORDS w ON w.WordID = d.WordID WHERE d.UrlID = ${id} ORDER BY w.Word)`);
  for (const w of ['quartz', 'zephyrs', 'jackdaws', 'aqueducts']) assert.match(words.toLowerCase(), new RegExp(`\\b${w}\\b`));
  const pairs = sql(`SELECT count(*) FROM DICTIONARY WHERE UrlID = ${id}`);
  const status = (await bar()).status;
  assert.match(status, /^Words added: \d+$/);

  // Seen again, the page is already indexed: nothing more is added.
  await navigate(`${site}/list.html`);
  await until(async () => (await bar()).rows.join() === 'Tables (1)', 'the other page');
  await navigate(url);
  await until(() => sql(`SELECT Hits FROM URL WHERE URL = '${url}'`) === '2', 'the second visit');
  await page.waitForTimeout(1500);  // several ticks in which the indexer could have run
  assert.equal(sql(`SELECT count(*) FROM DICTIONARY WHERE UrlID = ${id}`), pairs);
});

test('closing and reopening the bar keeps the tab, the split and the toggles', async () => {
  // Move the filter tab's splitter down, then choose the Search tab. The drag starts once the
  // bar has settled after the last page, as a user's would.
  await until(async () => (await bar()).color === 'red' && (await bar()).hint === 'No data...', 'the bar to settle');
  await page.waitForTimeout(500);
  const splitter = page.locator('.band-site [data-control="FilterSplitter"]');
  const box = await splitter.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2 + 80, { steps: 4 });
  await page.mouse.up();
  const moved = await until(async () => {
    const b = await bar();
    return b && b.filterTop && b.filterTop > 0.55 && b;
  }, 'the split to move');
  await page.click('.band-site [data-control="search_tab-tab"]');
  await until(async () => (await bar()).tab === 'search_tab-tab', 'the Search tab');

  await page.click('.band-site [data-action="close-bar"]');
  await until(async () => (await bar()) === null, 'the bar to close');
  await page.click('[data-control="menu-view"]');
  await page.hover('text=Explorer Bar');
  await page.click('[data-control="menu-bar-vellumtrace"]');
  const reopened = await until(async () => {
    const b = await bar();
    return b && b.tab && b;
  }, 'the bar to reopen');
  assert.equal(reopened.tab, 'search_tab-tab');
  assert.equal(reopened.indexer, true);
  await page.click('.band-site [data-control="filter_tab-tab"]');
  const filter = await until(async () => {
    const b = await bar();
    return b && b.tab === 'filter_tab-tab' && b.filterTop && b;
  }, 'the Filter tab');
  assert.ok(Math.abs(filter.filterTop - moved.filterTop) < 0.03,
    `split ${filter.filterTop} after reopening, ${moved.filterTop} before`);
  await page.screenshot({ path: join(output, 'band-reopened.png') });
});

// What the display gives the bar and its form, in pixels; null while the bar is closed.
async function widths() {
  return page.evaluate(() => {
    const site = document.querySelector('.band-site');
    if (!site || site.hidden) return null;
    const form = site.querySelector('.band-client > .mounted-root');
    return { bar: Math.round(site.getBoundingClientRect().width), form: form ? form.clientWidth : 0 };
  });
}

async function reopenBar() {
  await page.click('.band-site [data-action="close-bar"]');
  await until(async () => (await bar()) === null, 'the bar to close');
  await page.click('[data-control="menu-view"]');
  await page.hover('text=Explorer Bar');
  await page.click('[data-control="menu-bar-vellumtrace"]');
  await until(async () => { const w = await widths(); return w && w.form > 0; }, 'the bar to reopen');
  // The form reports its size once it has settled, and the next tick records the band width.
  await page.waitForTimeout(800);
}

test('a bar opened and closed ten times keeps its width', async () => {
  const first = await until(async () => { const w = await widths(); return w && w.form > 0 && w; }, 'the bar');
  assert.equal(first.form, first.bar, 'the form fills its bar');
  await page.waitForTimeout(800);
  for (let i = 1; i <= 10; i++) {
    await reopenBar();
    assert.deepEqual(await widths(), first, `opening ${i}`);
  }
});
