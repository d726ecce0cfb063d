// The Snippets tab in the display, as a user works with it against `vellumtrace run` on a fresh
// home: a root snippet named in place and the shown page saved below it.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until } from './lib/display.mjs';

let vt;
let browser;
let page;
let server;
let site;
const output = paths.output || join(process.cwd(), 'e2e-output', 'snippets');

const PAGES = {
  '/notes.html': `<html><head><title>Quarterly Notes</title></head><body>
<p id="first">Revenue grew in every region; the northern office doubled its staff.</p>
<p>Second paragraph with <b>bold</b> words.</p></body></html>`,
  '/recipes.html': `<html><head><title>Leek Soup</title></head><body>
<p>Sweat the leeks slowly in butter.</p></body></html>`,
};

function serve(req, res) {
  const body = PAGES[new URL(req.url, 'http://x').pathname];
  if (!body) { res.writeHead(404); res.end('not here'); return; }
  res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(body);
}

const sql = (query) => execFileSync('sqlite3',
  [join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb'), query], { encoding: 'utf8' }).trim();

const q = (name) => `.band-site [data-control="${name}"]`;

// The snippet tree as shown: one "indent+name" line per row.
async function tree() {
  return page.evaluate(() => [...document.querySelectorAll('.band-site [data-control="DBTL1"] .tree-node')]
    .map((r) => `${' '.repeat((parseInt(r.style.paddingLeft, 10) - 4) / 16)}${r.querySelector('.tree-text, input') ? (r.querySelector('.tree-text') || {}).textContent : ''}`));
}
const focusedName = () => page.evaluate(() => {
  const r = document.querySelector('.band-site [data-control="DBTL1"] .tree-node.focused-node .tree-text');
  return r ? r.textContent : null;
});
const status = () => page.evaluate(() => {
  const p = document.querySelector('.band-site [data-control="sb1"] [data-panel="0"]');
  return p ? p.textContent : null;
});
const node = (name) => page.locator('.band-site [data-control="DBTL1"] .tree-node', { hasText: name }).first();

async function navigate(url) {
  await page.fill('[data-control="address"]', url);
  await page.press('[data-control="address"]', 'Enter');
  await until(async () => (await status()) === 'Parsing complete.', `the page ${url}`, 20000);
}

// Opens the tree's menu on a node (or the empty tree) and runs an item, given by its names.
async function menu(on, ...items) {
  await (on ? node(on) : page.locator(q('DBTL1'))).click({ button: 'right' });
  for (const item of items.slice(0, -1)) await page.hover(`[data-control="${item}"]`);
  await page.click(`[data-control="${items[items.length - 1]}"]`);
}

// HKCU value names under a key path, in stored order.
function registryValues(...path) {
  const hive = JSON.parse(readFileSync(join(vt.home, 'config', 'HKCU.json'), 'utf8'));
  let k = hive.root || hive;
  for (const name of path) {
    k = (k.keys || []).find((c) => c.name.toLowerCase() === name.toLowerCase());
    if (!k) return [];
  }
  return (k.values || []).map((v) => v.name);
}

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
  await until(async () => ['Vellumtrace is Ready', 'Parsing complete.'].includes(await status()),
    'the band to start', 20000);
  await page.click(q('snippet_tab-tab'));
});

after(async () => {
  if (browser) await browser.close();
  if (vt) {
    const { code } = await vt.stop();
    assert.equal(code, 0, `vellumtrace did not end cleanly:\n${vt.stderr}`);
  }
  if (server) server.close();
});

test('a root snippet is named in place, and the shown page is saved as its child', async () => {
  await navigate(`${site}/notes.html`);
  await page.click(q('snippet_tab-tab'));
  await menu(null, 'SnAdd', 'SnRootSnippet');
  const box = page.locator(`${q('Edit7')} input`);
  await box.waitFor();
  assert.equal(await box.inputValue(), 'New Snippet');
  await box.fill('Research');
  await box.press('Enter');
  await until(() => sql('SELECT Name FROM SNIPPETS') === 'Research', 'the name to be stored');
  await until(async () => (await tree()).join('|') === 'Research', 'the renamed node');

  await menu('Research', 'SnAdd', 'SnThisPage');
  await until(async () => (await status()) === 'Snippet saved as "Quarterly Notes"', 'the save');
  const urlId = sql(`SELECT ID FROM URL WHERE URL = '${site}/notes.html'`);
  assert.equal(sql("SELECT Name, Title, Domain, URL_ID, Parent_ID FROM SNIPPETS WHERE Name <> 'Research'"),
    `Quarterly Notes|Quarterly Notes|127.0.0.1|${urlId}|${sql("SELECT ID FROM SNIPPETS WHERE Name = 'Research'")}`);
  assert.match(sql("SELECT Snippet FROM SNIPPETS WHERE Name = 'Quarterly Notes'"), /northern office doubled/);
  assert.equal(await focusedName(), 'Research');  // the parent stays focused
  await until(async () => (await tree()).join('|') === 'Research| Quarterly Notes', 'the child');
  await page.screenshot({ path: join(output, 'snippets-saved-page.png') });
});
