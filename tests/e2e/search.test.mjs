// The Search tab in the display against `vellumtrace run` on a fresh home: pages browsed with the
// Indexer down are found again by word, keyword, domain and title; the result grid opens a page,
// sorts, finds a row as the user types and shows a page's properties; the menus follow the row.
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
const output = paths.output || join(process.cwd(), 'e2e-output', 'search');

const PAGES = {
  '/abacus.html': `<html><head><title>Counting frames</title>
<meta name="keywords" content="beads, counting"></head>
<body><p>Abacus abbey absent absorb</p></body></html>`,
  '/abbey.html': `<html><head><title>Old abbey</title>
<meta name="keywords" content="stone, monks"></head>
<body><p>abbey abbot stone walls</p></body></html>`,
  '/zebra.html': `<html><head><title>Zebra crossing</title></head>
<body><p>zebra crossing</p></body></html>`,
};

function serve(req, res) {
  const body = PAGES[new URL(req.url, 'http://x').pathname];
  if (!body) { res.writeHead(404); res.end('not here'); return; }
  res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(body);
}

function sql(query) {
  const db = join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb');
  return execFileSync('sqlite3', [db, query], { encoding: 'utf8' }).trim();
}
const lines = (text) => (text ? text.split('\n') : []);

const q = (name) => `.band-site [data-control="${name}"]`;

// What the Search tab shows.
async function tab() {
  return page.evaluate(() => {
    const site = document.querySelector('.band-site');
    const el = (name) => site && site.querySelector(`[data-control="${name}"]`);
    if (!el('lb1')) return null;
    const rows = [...el('dxDBGrid3').querySelectorAll('.grid-row')];
    const panel = el('sb1') && el('sb1').querySelector('[data-panel="0"]');
    return {
      items: [...el('lb1').querySelectorAll('li')].map((li) => li.textContent),
      selected: (el('lb1').querySelector('li.selected') || {}).textContent || null,
      lamp: el('led5').dataset.color,
      box: el('RegCombo2').querySelector('input').value,
      boxDisabled: el('RegCombo2').querySelector('input').disabled,
      titles: rows.map((r) => r.querySelector('tr td').textContent),
      previews: rows.map((r) => (r.querySelector('.grid-preview td') || {}).textContent || null),
      focused: rows.findIndex((r) => r.classList.contains('selected')),
      headers: [...el('dxDBGrid3').querySelectorAll('th')].map((th) => th.textContent),
      status: panel ? panel.textContent : null,
    };
  });
}

// Waits until the tab's state satisfies `pred`; a timeout tells the last state seen.
async function tabUntil(pred, what, ms = 15000) {
  let last = null;
  try {
    return await until(async () => {
      last = await tab();
      return last && pred(last) && last;
    }, what, ms);
  } catch (e) {
    e.message += `; last seen: ${JSON.stringify(last)}`;
    throw e;
  }
}

async function chooseField(label) {
  await page.selectOption(`${q('Drop_SearchFilterField')} select`, { label });
}

async function enter(text) {
  const box = `${q('RegCombo2')} input`;
  await page.fill(box, text);
  await page.press(box, 'Enter');
}

async function address() {
  return page.$eval('[data-control="address"]', (a) => a.value);
}

// The items of the open popup menu with their enabled state.
async function menu(name) {
  return until(() => page.evaluate((n) => {
    const m = document.querySelector(`.menu[data-control="${n}"]`);
    if (!m) return null;
    return Object.fromEntries([...m.querySelectorAll('.menu-item')].map((i) => [i.querySelector('.menu-label').textContent, i.getAttribute('aria-disabled') !== 'true']));
  }, name), `the menu ${name}`);
}

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
});

after(() => endRun({ browser, vt, server }));

test('pages browsed with the Indexer down are indexed, and the Search tab starts on [None]', async () => {
  await until(async () => page.$(q('sb_IndexPage')), 'the band');
  await until(async () => {
    const status = await page.$eval(`${q('sb1')} [data-panel="0"]`, (p) => p.textContent).catch(() => '');
    return ['Vellumtrace is Ready', 'Parsing complete.'].includes(status);
  }, 'the band to start', 15000);
  await page.click(`${q('sb_IndexPage')} button`);
  for (const path of Object.keys(PAGES)) {
    await page.fill('[data-control="address"]', `${site}${path}`);
    await page.press('[data-control="address"]', 'Enter');
    await until(() => sql(`SELECT Indexed FROM URL WHERE URL = '${site}${path}'`) === '1', `${path} to be indexed`, 30000);
  }
  await page.click('.band-site [data-control="search_tab-tab"]');
  const start = await until(tab, 'the Search tab');
  assert.equal(await page.$eval(`${q('Drop_SearchFilterField')} select`, (s) => s.selectedOptions[0].textContent), '[None]');
  assert.deepEqual(await page.$$eval(`${q('Drop_SearchFilterField')} option`, (o) => o.map((x) => x.textContent)),
    ['[None]', 'Indexer', 'Keywords', 'Url', 'Title']);
  assert.equal(start.boxDisabled, true);
  assert.deepEqual(start.items, []);
});

test('a word search lists the words from the first match on, and a word fills the grid', async () => {
  await chooseField('Indexer');
  await until(async () => !(await tab()).boxDisabled, 'the search box to be enabled');
  await enter('ab');
  const expected = lines(sql("SELECT Word FROM WORDS WHERE Word >= 'ab' COLLATE NOCASE ORDER BY Word COLLATE NOCASE, WordID LIMIT 10"));
  assert.equal(expected[0], 'Abacus');
  const listed = await tabUntil((t) => t.items[0] === 'Abacus', 'the word candidates');
  assert.deepEqual(listed.items, expected);
  assert.equal(listed.lamp, 'green');

  await page.click(`${q('lb1')} li:text-is("abbey")`);
  const found = await tabUntil((t) => t.titles.length === 2 && t.box === 'abbey', 'the pages with "abbey"');
  assert.deepEqual([...found.titles].sort(), ['Counting frames', 'Old abbey']);
  assert.deepEqual([...found.previews].sort(), [`${site}/abacus.html`, `${site}/abbey.html`]);
  assert.deepEqual(found.headers, ['Title']);  // UrlID stays hidden
  assert.equal(found.box, 'abbey');
  await page.screenshot({ path: join(output, 'search-word-results.png') });

  // Enter again with the selected word: nothing changes and the lamp stays green.
  await page.press(`${q('RegCombo2')} input`, 'Enter');
  await page.waitForTimeout(1200);
  const again = await tab();
  assert.deepEqual(again.items, expected);
  assert.equal(again.selected, 'abbey');
  assert.equal(again.lamp, 'green');

  // The arrow keys move through the list, and each word they reach is searched.
  await page.click(`${q('lb1')} li:text-is("abbey")`);
  await page.keyboard.press('ArrowDown');
  const abbot = await tabUntil((t) => t.selected === 'abbot' && t.titles.length === 1, 'the pages with "abbot"');
  assert.deepEqual(abbot.titles, ['Old abbey']);
  await page.keyboard.press('ArrowUp');
  await tabUntil((t) => t.selected === 'abbey' && t.titles.length === 2, 'the pages with "abbey" again');
});

test('the grid sorts on a header click, finds a typed title and opens a row on double click', async () => {
  await page.click(`${q('dxDBGrid3')} th`);
  const sorted = await tabUntil((t) => t.titles[0] === 'Counting frames', 'the ascending sort');
  assert.deepEqual(sorted.titles, ['Counting frames', 'Old abbey']);
  await page.click(`${q('dxDBGrid3')} th`);
  await tabUntil((t) => t.titles[0] === 'Old abbey', 'the descending sort');

  await page.click(`${q('dxDBGrid3')} .grid-row:nth-of-type(2)`);  // Counting frames
  await tabUntil((t) => t.focused === 1, 'the clicked row');
  await page.keyboard.type('OLD');
  await tabUntil((t) => t.focused === 0, 'the typed title to be found');

  await page.dblclick(`${q('dxDBGrid3')} .grid-row:nth-of-type(2)`);
  await until(async () => (await address()) === `${site}/abacus.html`, 'the page to open')
    .catch(async (e) => { e.message += ` (address ${await address()}, tab ${JSON.stringify(await tab())})`; throw e; });
  await until(() => sql(`SELECT Hits FROM URL WHERE URL = '${site}/abacus.html'`) === '2', 'the visit');
});

test('the result menu enables its commands on a page row and shows the page properties', async () => {
  await page.click(`${q('dxDBGrid3')} .grid-row:has-text("Old abbey")`, { button: 'right' });
  const items = await menu('Popup_SearchResults');
  assert.equal(items['Visit Website'], true);
  assert.equal(items.Properties, true);
  await page.screenshot({ path: join(output, 'search-result-menu.png') });
  await page.click('.menu[data-control="Popup_SearchResults"] .menu-item:has-text("Properties")');
  const dialog = '[data-control="frmUrlProperties"]';
  await page.waitForSelector(dialog);
  assert.equal(await page.$eval(`${dialog} .bw-caption`, (c) => c.textContent), 'Url Properties');
  const fields = await page.$$eval(`${dialog} input`, (inputs) => inputs.map((i) => i.value));
  const labels = await page.$$eval(`${dialog} [data-control^="lbl"]`, (ls) => ls.map((l) => l.textContent));
  assert.deepEqual(labels, ['Web Page Information ', 'Title', 'URL', 'First Visit', 'Last Visit', 'Keywords', 'Hits']);
  const row = lines(sql(`SELECT Title, URL, Keyword, Hits FROM URL WHERE URL = '${site}/abbey.html'`))[0].split('|');
  assert.equal(fields.length, 6);
  assert.equal(fields[0], row[0]);
  assert.equal(fields[1], row[1]);
  assert.match(fields[2], /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
  assert.match(fields[3], /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
  assert.equal(fields[4], row[2]);
  assert.equal(fields[5], row[3]);
  await page.screenshot({ path: join(output, 'search-properties.png') });
  await page.click(`${dialog} [data-control="btnOK"] button`);
  await page.waitForSelector(dialog, { state: 'detached' });
});

test('the search box keeps its texts, and picking one from its list searches again', async () => {
  const history = await page.$$eval(`${q('RegCombo2')} datalist option`, (o) => o.map((x) => x.value));
  assert.ok(history.includes('ab') && history.includes('abbey'), `history ${history}`);
  await enter('zz');  // no word begins with it: the list empties
  await tabUntil((t) => t.items.length === 0, 'the empty word list');
  // The browser's own list reports a pick as a replacement of the whole text.
  await page.$eval(`${q('RegCombo2')} input`, (input) => {
    input.value = 'ab';
    input.dispatchEvent(new InputEvent('input', { inputType: 'insertReplacementText', bubbles: true }));
  });
  await tabUntil((t) => t.items[0] === 'Abacus', 'the words of the picked text');
});

test('keywords and titles with an empty text list every distinct value', async () => {
  await chooseField('Keywords');
  await enter('');
  const keywords = lines(sql("SELECT DISTINCT Keyword FROM KEYWORDS WHERE Keyword LIKE '%%'"));
  assert.ok(keywords.length >= 4);
  await tabUntil((t) => t.items.length === keywords.length, 'every keyword');
  assert.deepEqual([...(await tab()).items].sort(), [...keywords].sort());
  await chooseField('Title');
  const titles = lines(sql("SELECT DISTINCT Title FROM URL WHERE Title <> ''"));
  await tabUntil((t) => t.items.sort().join('|') === [...titles].sort().join('|'), 'every title');
});

test('a row without a page disables the commands of both menus', async () => {
  sql("INSERT INTO KEYWORDS (UrlID, Keyword) VALUES (0, 'orphan')");
  await chooseField('Keywords');
  await enter('orph');
  await tabUntil((t) => t.items.join() === 'orphan', 'the orphan keyword');
  await page.click(`${q('lb1')} li:text-is("orphan")`);
  await tabUntil((t) => t.titles.length === 1, 'its row');
  await page.click(`${q('dxDBGrid3')} .grid-row`, { button: 'right' });
  const items = await menu('Popup_SearchResults');
  assert.equal(items['Visit Website'], false);
  assert.equal(items.Properties, false);
  await page.keyboard.press('Escape');
  await page.click(`${q('lb1')} li:text-is("orphan")`, { button: 'right' });
  const help = await menu('Popup_Search');
  assert.deepEqual(Object.keys(help), ['Help']);
  await page.keyboard.press('Escape');
});

test('the Url field lists domains and a double click opens the site', async () => {
  await chooseField('Url');
  await enter('');
  await tabUntil((t) => t.items.join() === '127.0.0.1', 'the domain');
  await page.dblclick(`${q('lb1')} li:text-is("127.0.0.1")`);
  await until(async () => (await address()).startsWith('http://127.0.0.1') && !(await address()).includes(':', 7), 'http:// + the domain');
  await page.screenshot({ path: join(output, 'search-domains.png') });
});

test('[None] empties the list and the grid and disables the box', async () => {
  await tabUntil((t) => t.titles.length > 0, 'a result to empty');
  await chooseField('[None]');
  const none = await tabUntil((t) => t.items.length === 0 && t.titles.length === 0 && t.boxDisabled,
    'the emptied tab');
  assert.equal(none.lamp, 'green');
});

test('a list that cannot be read shows the SearchNow error on the status bar', async () => {
  // The Indexer goes up first, so that no indexing message covers the error.
  await page.click(`${q('sb_IndexPage')} button`);
  await until(() => page.$eval(`${q('sb_IndexPage')} button`, (b) => b.getAttribute('aria-pressed') === 'false'), 'the Indexer to go up');
  await page.waitForTimeout(600);
  sql('DROP TABLE KEYWORDS');
  await chooseField('Keywords');
  const failed = await tabUntil((t) => t.status && t.status.startsWith('SearchNow ERROR : '),
    'the SearchNow error');
  assert.equal(failed.lamp, 'green');
  assert.equal(await page.$('.dialog'), null);
  await page.screenshot({ path: join(output, 'search-error.png') });
});
