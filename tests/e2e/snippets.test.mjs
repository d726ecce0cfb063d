// The Snippets tab in the display, as a user works with it against `vellumtrace run` on a fresh
// home: saving the page, a selection and a picked element, preview and the compiled article,
// renaming in place, dragging, the filter with its history, the properties dialog and delete.
// The scenarios build on each other in order.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

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
<p id="method">Sweat the leeks slowly in butter until soft, then add the stock and simmer for twenty minutes.</p>
<table><tr><td>leeks</td><td>three</td></tr><tr><td>butter</td><td>50 g</td></tr></table>
</body></html>`,
};

function serve(req, res) {
  const body = PAGES[new URL(req.url, 'http://x').pathname];
  if (!body) { res.writeHead(404); res.end('not here'); return; }
  res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(body);
}

const sql = (query) => execFileSync('sqlite3',
  [join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb'), query], { encoding: 'utf8' }).trim();

const q = (name) => `section.bw.active .band-site [data-control="${name}"]`;

// The snippet tree as shown: one "indent+name" line per row.
async function tree() {
  return page.evaluate(() => [...document.querySelectorAll('section.bw.active .band-site [data-control="DBTL1"] .tree-node')]
    .map((r) => `${' '.repeat((parseInt(r.style.paddingLeft, 10) - 4) / 16)}${r.querySelector('.tree-text, input') ? (r.querySelector('.tree-text') || {}).textContent : ''}`));
}
const focusedName = () => page.evaluate(() => {
  const r = document.querySelector('section.bw.active .band-site [data-control="DBTL1"] .tree-node.focused-node .tree-text');
  return r ? r.textContent : null;
});
const status = () => page.evaluate(() => {
  const p = document.querySelector('section.bw.active .band-site [data-control="sb1"] [data-panel="0"]');
  return p ? p.textContent : null;
});
const node = (name) => page.locator(`${q('DBTL1')} .tree-node`).filter({
  has: page.locator('.tree-text', { hasText: new RegExp(`^${name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}$`) }),
}).first();
const idOf = (name) => sql(`SELECT ID FROM SNIPPETS WHERE Name = '${name}'`);

async function navigate(url) {
  await page.fill('[data-control="address"]', url);
  await page.press('[data-control="address"]', 'Enter');
  await until(async () => (await status()) === 'Parsing complete.', `the page ${url}`, 20000);
}

// Brings a tab of the bar to the front, once the band has made it the active page and the display
// shows its sheet.
async function showTab(name) {
  await page.click(q(`${name}-tab`));
  await until(async () => (await page.getAttribute(q(`${name}-tab`), 'aria-selected')) === 'true' &&
    await page.locator(q(name)).isVisible(), `the ${name} page`);
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
  await showTab('snippet_tab');
});

after(() => endRun({ browser, vt, server }));

test('a root snippet is named in place, and the shown page is saved as its child', async () => {
  await navigate(`${site}/notes.html`);
  await showTab('snippet_tab');
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

// The page view's frame (the mirror of the main window's browser).
async function pageFrame(ready) {
  const id = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  return until(async () => {
    const f = page.frames().find((x) => x.url().includes(`/mirror/${id}?`));
    return f && (await ready(f).catch(() => false)) && f;
  }, 'the page view', 15000);
}

// The frame of a browser control of the band, once it shows `text`.
async function controlFrame(name, text) {
  return until(async () => {
    const src = await page.locator(`${q(name)} iframe`).getAttribute('src').catch(() => null);
    const m = src && src.match(/\/mirror\/(\d+)/);
    const f = m && page.frames().find((x) => x.url().includes(`/mirror/${m[1]}?`));
    return f && (await f.textContent('body').catch(() => '')).includes(text) && f;
  }, `${name} to show "${text}"`, 15000);
}

test('Selected Text names the snippet after the first 50 characters of the selection', async () => {
  await navigate(`${site}/recipes.html`);
  const frame = await pageFrame((f) => f.$('#method'));
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  const box = await frame.locator('#method').boundingBox();
  await page.mouse.move(box.x + 1, box.y + 4);
  await page.mouse.down();
  await page.mouse.move(box.x + box.width - 2, box.y + box.height - 4, { steps: 6 });
  await page.mouse.up();
  // The text of the selection as the page's document holds it.
  const selected = await until(async () => {
    const r = await page.evaluate(async (b) => (await fetch('/api/debug/selection',
      { method: 'POST', body: JSON.stringify({ browser: b }) })).json(), browserId);
    return r.type === 'Text' && r.text.length > 50 && r.text;
  }, 'the selection to reach the page');
  assert.ok(selected.startsWith('Sweat the leeks'), selected);
  await menu('Research', 'SnAdd', 'SnSelectedText');
  const name = [...selected].slice(0, 50).join('').replace(/\s+/g, ' ').trim();
  await until(async () => (await status()) === `Snippet saved as "${name}"`, 'the saved selection');
  assert.equal(sql(`SELECT Title, Domain FROM SNIPPETS WHERE Name = '${name}'`), `${name}|127.0.0.1`);
  assert.equal(await focusedName(), 'Research');
  sql(`UPDATE SNIPPETS SET Name = 'Method' WHERE Name = '${name}'`);
});

test('Selected Item, the filter tree and the page menu save what the filter tab shows', async () => {
  await page.click(q('sb_Filter'));
  await until(async () => (await page.getAttribute(`${q('sb_Filter')} button`, 'aria-pressed')) === 'true', 'filter mode');
  await showTab('filter_tab');
  const filterNode = (text) => page.locator(`${q('tv')} .tree-node`, { hasText: text }).first();
  await filterNode('Tables (1)').locator('.twisty').click();
  const table = filterNode('leeks three butter 50 g');
  await table.click();
  await until(async () => (await page.locator(`${q('tv')} .tree-node.focused-node`).textContent()).includes('leeks three'), 'the picked table');
  await showTab('snippet_tab');
  await menu('Research', 'SnAdd', 'SnSelectedItem');
  await until(async () => (await status()) === 'Snippet saved as "leeks three butter 50 g"', 'the saved item');
  assert.match(sql("SELECT Snippet FROM SNIPPETS WHERE Name = 'leeks three butter 50 g'"), /<td>butter<\/td><td>50 g<\/td>/);

  await showTab('filter_tab');
  await table.click({ button: 'right' });
  await page.click('.menu [data-control="SaveToSnippets"]');
  await until(() => sql("SELECT count(*) FROM SNIPPETS WHERE Name = 'leeks three butter 50 g'") === '2', 'the filter tree\'s save');
  await showTab('snippet_tab');
  await until(async () => (await tree()).filter((t) => t === ' leeks three butter 50 g').length === 2, 'both items in the tree');

  // In filter mode the page's own menu saves the page.
  const frame = await pageFrame((f) => f.$('#method'));
  await frame.click('#method', { button: 'right' });
  await page.locator('.menu:has([data-control="ShowMouseBorders"])').waitFor();
  await page.hover('[data-control="PageSave"]');
  await page.click('[data-control="PageToSnippets"]');
  await until(async () => (await status()) === 'Snippet saved as "Leek Soup"', 'the page saved from its menu');
  assert.equal(sql("SELECT Parent_ID FROM SNIPPETS WHERE Name = 'Leek Soup'"), idOf('Research'));
  await page.click(q('sb_Filter'));
  await until(async () => (await page.getAttribute(`${q('sb_Filter')} button`, 'aria-pressed')) === 'false', 'filter mode off');
});

test('Preview shows the focused snippet in the snippet preview', async () => {
  await node('Quarterly Notes').click();
  await until(async () => (await focusedName()) === 'Quarterly Notes', 'the focused snippet');
  await page.click(`${q('btnPreview')} button`);
  await controlFrame('wb3', 'northern office doubled');
  await page.screenshot({ path: join(output, 'snippets-preview.png') });
});

test('Compile to Article opens a window with the snippet and everything below it', async () => {
  const windows = await page.locator('section.bw').count();
  const main = await page.getAttribute('section.bw.active', 'data-window');
  await menu('Research', 'SnCompile');
  await until(async () => (await page.locator('section.bw').count()) === windows + 1, 'the article window');
  const article = page.locator('section.bw').last();
  const id = await article.getAttribute('data-window');
  assert.notEqual(id, main);
  const frame = await until(async () => {
    const src = await article.locator('[data-control="page"] iframe').first().getAttribute('src').catch(() => null);
    const m = src && src.match(/\/mirror\/(\d+)/);
    const f = m && page.frames().find((x) => x.url().includes(`/mirror/${m[1]}?`));
    return f && (await f.textContent('body').catch(() => '')).includes('northern office doubled') && f;
  }, 'the article');
  const heads = await frame.$$eval('td.chead b', (bs) => bs.map((b) => b.textContent));
  assert.deepEqual(heads.slice(0, 2), ['Research', 'Quarterly Notes']);
  assert.ok(heads.includes('Method') && heads.includes('leeks three butter 50 g'), heads.join('|'));
  await page.screenshot({ path: join(output, 'snippets-article.png') });
  await article.locator('[data-action="close"]').first().click();
  await until(async () => (await page.locator('section.bw').count()) === windows, 'the article window to close');
  await page.locator(`section.bw[data-window="${main}"]`).click({ position: { x: 5, y: 5 } });
});

test('renaming in place: Enter stores, Escape keeps the old name, leaving the box stores', async () => {
  const box = page.locator(`${q('Edit7')} input`);
  await node('Quarterly Notes').click();
  await until(async () => (await focusedName()) === 'Quarterly Notes', 'the focused snippet');
  await page.keyboard.press('F2');
  await box.waitFor();
  assert.equal(await box.inputValue(), 'Quarterly Notes');
  await box.fill('Q3 Notes');
  await box.press('Enter');
  await until(() => sql(`SELECT Name FROM SNIPPETS WHERE ID = ${idOf('Q3 Notes') || 0}`) === 'Q3 Notes', 'the new name');
  await box.waitFor({ state: 'hidden' });

  // The tree keeps the keyboard after the rename: F2 opens the box again.
  await page.keyboard.press('F2');
  await box.waitFor();
  await box.fill('Thrown away');
  await box.press('Escape');
  await box.waitFor({ state: 'hidden' });
  await until(async () => (await tree()).includes(' Q3 Notes'), 'the old name in the tree');
  assert.equal(sql("SELECT count(*) FROM SNIPPETS WHERE Name = 'Thrown away'"), '0');

  await page.keyboard.press('F2');
  await box.waitFor();
  await box.fill('Left by clicking');
  await node('Research').click();  // leaving the box
  await until(() => sql("SELECT count(*) FROM SNIPPETS WHERE Name = 'Left by clicking'") === '1', 'the name stored on leaving');
  assert.equal(sql("SELECT count(*) FROM SNIPPETS WHERE Name = 'Research'"), '1', 'the clicked snippet keeps its name');
  await page.screenshot({ path: join(output, 'snippets-renamed.png') });
});

test('dragging a node onto another moves it below that one, also after a reload', async () => {
  await menu(null, 'SnAdd', 'SnRootSnippet');
  const box = page.locator(`${q('Edit7')} input`);
  await box.waitFor();
  await box.fill('Archive');
  await box.press('Enter');
  await until(async () => (await tree()).includes('Archive'), 'the new root');
  const archive = idOf('Archive');
  await node('Left by clicking').dragTo(node('Archive'));
  await until(() => sql("SELECT Parent_ID FROM SNIPPETS WHERE Name = 'Left by clicking'") === archive,
    'the dropped snippet below Archive');
  await until(async () => (await tree()).join('|').includes('Archive| Left by clicking'), 'the moved node');
  await page.reload();
  await page.waitForSelector(q('DBTL1'));
  await showTab('snippet_tab');
  await until(async () => (await tree()).join('|').includes('Archive| Left by clicking'), 'the moved node after the reload');
  await page.screenshot({ path: join(output, 'snippets-dragged.png') });
});

test('the filter by Name, Content and Domain, and the box keeps its texts most recent first', async () => {
  const box = page.locator(`${q('RegCombo1')} input`);
  const enter = async (text) => {
    await box.fill(text);
    await box.press('Enter');
  };
  const names = async () => (await tree()).map((t) => t.trim());
  await page.selectOption(`${q('Drop_SnippetFilterField')} select`, { label: 'Name' });
  await enter('three butter');
  await until(async () => (await names()).join('|') === 'leeks three butter 50 g|leeks three butter 50 g', 'the Name filter');
  await enter('');
  await until(async () => (await names()).includes('Research') && (await names()).includes('Archive'), 'every snippet again');

  await page.selectOption(`${q('Drop_SnippetFilterField')} select`, { label: 'Content' });
  await enter('northern office');
  await until(async () => (await names()).join('|') === 'Left by clicking', 'the Content filter');
  await page.screenshot({ path: join(output, 'snippets-filtered.png') });

  // Domain follows the shown page; snippets without a page are not shown.
  await page.selectOption(`${q('Drop_SnippetFilterField')} select`, { label: 'Domain' });
  await until(async () => {
    const shown = await names();
    return shown.length === 5 && !shown.includes('Research') && !shown.includes('Archive');
  }, 'the Domain filter');
  assert.equal(await box.isDisabled(), true);

  await page.selectOption(`${q('Drop_SnippetFilterField')} select`, { label: '[None]' });
  await until(async () => (await names()).length === 7, 'no filter');
  await until(() => registryValues('Software', 'Vellumtrace', 'History1').join('|') === 'northern office|three butter',
    'the history, most recent first');
  const listed = await page.$$eval(`${q('RegCombo1')} datalist option`, (o) => o.map((x) => x.value));
  assert.deepEqual(listed.slice(0, 2), ['northern office', 'three butter']);
});

test('the properties dialog shows the snippet and its page, and OK stores name and note', async () => {
  await menu('Left by clicking', 'SnProperties');
  const dialog = '[data-control="frmSnipProperties"]';
  await page.waitForSelector(dialog);
  assert.equal(await page.$eval(`${dialog} .bw-caption`, (c) => c.textContent), 'Snippet Properties');
  const field = (name) => page.locator(`${dialog} [data-control="${name}"] input, ${dialog} [data-control="${name}"] textarea`).first();
  assert.equal(await field('EditName').inputValue(), 'Left by clicking');
  assert.equal(await field('EditUrl').inputValue(), `${site}/notes.html`);
  assert.match(await field('EditFirstVisit').inputValue(), /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
  assert.match(await field('EditLastVisit').inputValue(), /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/);
  await page.screenshot({ path: join(output, 'snippets-properties.png') });
  await field('EditName').fill('Northern office');
  await field('MemoNote').fill("Staff doubled; O'Neil's figures");
  await page.click(`${dialog} [data-control="btnOK"] button`);
  await page.waitForSelector(dialog, { state: 'detached' });
  assert.equal(sql(`SELECT Name, Note FROM SNIPPETS WHERE ID = ${idOf('Northern office') || 0}`),
    "Northern office|Staff doubled; O'Neil's figures");
  await until(async () => (await tree()).includes(' Northern office'), 'the new name in the tree');
});

test('Delete asks, then removes the snippet with every snippet below it', async () => {
  const before = Number(sql('SELECT count(*) FROM SNIPPETS'));
  await menu('Archive', 'SnEdit', 'SnDelete');
  const question = page.locator('.dialog', { hasText: 'Delete selected snippets and all snippets below it?' });
  await question.waitFor();
  await page.screenshot({ path: join(output, 'snippets-delete-question.png') });
  await question.locator('[data-control="button-yes"]').click();
  await until(() => Number(sql('SELECT count(*) FROM SNIPPETS')) === before - 2, 'the subtree deleted');
  assert.equal(sql("SELECT count(*) FROM SNIPPETS WHERE Name IN ('Archive', 'Northern office')"), '0');
  await until(async () => !(await tree()).some((t) => t.includes('Archive') || t.includes('Northern office')), 'the nodes gone');
});
