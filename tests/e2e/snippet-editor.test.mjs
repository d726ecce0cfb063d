// The snippet editor as a person uses it: keep a page as a snippet, open it in the editor from
// the Snippets tab, format a word, add a list, a line, a heading and a picture, undo and redo,
// save, and close with and without the question about unsaved changes. Nothing of the page's
// own script runs in the editor.
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
const output = paths.output || join(process.cwd(), 'e2e-output', 'snippet-editor');

const PAGES = {
  '/kept.html': `<html><head><title>Kept page</title></head><body>
<p id="words">alpha beta gamma</p><p>second line</p><p><a href="/kept.html">again</a></p>
<script>document.body.setAttribute('data-ran', 'yes')</script></body></html>`,
  '/pic.png': '',
};

function serve(req, res) {
  const path = new URL(req.url, 'http://x').pathname;
  if (!(path in PAGES)) { res.writeHead(404); res.end(); return; }
  res.writeHead(200, { 'Content-Type': path.endsWith('.png') ? 'image/png' : 'text/html; charset=utf-8' });
  res.end(PAGES[path]);
}

function sql(query) {
  const db = join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb');
  return execFileSync('sqlite3', [db, query], { encoding: 'utf8' }).trim();
}

const band = (name) => page.locator(`.band-site [data-control="${name}"]`);
const editor = () => page.locator('.dialog[data-control="frmEditor"]');
const tool = (name) => editor().locator(`[data-control="${name}"] button`);
const doc = () => page.frameLocator('[data-control="DHTML-document"]');

async function snippetMenu(...path) {
  await band('DBTL1').locator('.tree-node').first().click({ button: 'right' });
  for (const name of path) await page.locator(`.menu [data-control="${name}"]`).click();
}

async function openEditor() {
  await band('DBTL1').locator('.tree-node').first().click();
  await snippetMenu('SnEdit', 'SnEditSnippet');
  await editor().waitFor();
  await until(async () => ((await doc().locator('body').textContent().catch(() => '')) || '')
    .includes('alpha'), 'the snippet in the editor');
}

async function selectWord(word) {
  await doc().locator('body').evaluate((body, w) => {
    const walker = body.ownerDocument.createTreeWalker(body, NodeFilter.SHOW_TEXT);
    for (let text = walker.nextNode(); text; text = walker.nextNode()) {
      const start = text.data.indexOf(w);
      if (start < 0) continue;
      const range = body.ownerDocument.createRange();
      range.setStart(text, start);
      range.setEnd(text, start + w.length);
      const selection = body.ownerDocument.getSelection();
      selection.removeAllRanges();
      selection.addRange(range);
      return;
    }
    throw new Error(`no text ${w}`);
  }, word);
  await doc().locator('body').dispatchEvent('mouseup');
}

async function pressed(name) {
  return (await tool(name).getAttribute('aria-pressed')) === 'true';
}

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 900 } }));
  await page.fill('[data-control="address"]', `${site}/kept.html`);
  await page.press('[data-control="address"]', 'Enter');
  await until(async () => (await band('led1').getAttribute('data-color')) === 'green' &&
    (await band('tv').locator('.tree-node').count()) > 0, 'the page to be dissected');
  await page.locator('.band-site [data-control="snippet_tab-tab"]').click();
  await band('DBTL1').click({ button: 'right' });
  await page.locator('.menu [data-control="SnAdd"]').click();
  await page.locator('.menu [data-control="SnThisPage"]').click();
  await until(async () => (await band('DBTL1').locator('.tree-node').count()) > 0, 'the snippet');
});

after(() => endRun({ browser, vt, server }));

test('a word made bold is stored with the date of the change and the page script never runs', async () => {
  const created = sql('SELECT DateCreated FROM SNIPPETS');
  await openEditor();
  assert.equal(await doc().locator('body').getAttribute('data-ran'), null, 'the script did not run');
  await selectWord('beta');
  await tool('btnBold').click();
  await until(async () => (await doc().locator('#words b, #words strong').count()) === 1, 'bold text');
  assert.equal(await doc().locator('#words b, #words strong').textContent(), 'beta');
  await until(() => pressed('btnBold'), 'the Bold button to be down');
  await page.screenshot({ path: join(output, 'editor-bold.png') });
  await tool('btnSave').click();
  await until(() => /<(b|strong)>beta<\/(b|strong)>/.test(sql('SELECT Snippet FROM SNIPPETS')),
    'the bold word to be stored');
  assert.notEqual(sql('SELECT DateModified FROM SNIPPETS'), '');
  assert.equal(sql('SELECT DateCreated FROM SNIPPETS'), created);
  assert.equal(sql('SELECT Snippet FROM SNIPPETS').includes('data-ran="yes"'), false);
});

test('lists, a line, a heading and a picture go into the saved page; undo and redo work', async () => {
  await selectWord('gamma');
  await tool('btnBullet').click();
  await until(async () => (await doc().locator('ul li').count()) === 1, 'a bullet list');
  await tool('btnUndo').click();
  await until(async () => (await doc().locator('ul').count()) === 0, 'the list undone');
  await tool('btnRedo').click();
  await until(async () => (await doc().locator('ul li').count()) === 1, 'the list again');

  await doc().locator('p', { hasText: 'second line' }).click();
  await tool('btnHR').click();
  await until(async () => (await doc().locator('hr').count()) === 1, 'a horizontal line');

  await doc().locator('p', { hasText: 'second line' }).click();
  await editor().locator('[data-control="cbFontStyle"] select').selectOption({ label: 'Heading 1' });
  await until(async () => (await doc().locator('h1').count()) === 1, 'a heading');

  page.once('dialog', (dialog) => dialog.accept(`${site}/pic.png`));
  await tool('btnImage').click();
  await until(async () => (await doc().locator('img').count()) === 1, 'the picture');
  await page.screenshot({ path: join(output, 'editor-formats.png') });

  await tool('btnSave').click();
  await until(() => {
    const saved = sql('SELECT Snippet FROM SNIPPETS');
    return saved.includes('<ul>') && saved.includes('<hr>') && saved.includes('<h1>') &&
      saved.includes(`${site}/pic.png`);
  }, 'the formats to be stored');
});

test('closing after an edit asks; Cancel keeps the edit, No closes without saving, Yes saves', async () => {
  const before = sql('SELECT Snippet FROM SNIPPETS');
  await selectWord('alpha');
  await tool('btnItalic').click();
  await until(async () => (await doc().locator('i, em').count()) === 1, 'italic text');
  await page.keyboard.press('Escape');
  const box = page.locator('.dialog', { hasText: 'The document was modified. Save the changes ?' });
  await box.waitFor();
  await box.locator('[data-control="button-cancel"]').click();
  await until(async () => (await box.count()) === 0, 'the question to close');
  assert.equal(await editor().isVisible(), true, 'Cancel keeps the editor');
  assert.equal(await doc().locator('i, em').count(), 1, 'and the edit');

  await page.keyboard.press('Escape');
  await box.waitFor();
  await box.locator('[data-control="button-no"]').click();
  await until(async () => (await editor().count()) === 0 || !(await editor().isVisible()), 'the editor to close');
  assert.equal(sql('SELECT Snippet FROM SNIPPETS'), before, 'No saves nothing');

  await openEditor();
  await selectWord('alpha');
  await tool('btnUnderline').click();
  await until(async () => (await doc().locator('u').count()) === 1, 'underlined text');
  await page.keyboard.press('Escape');
  await box.waitFor();
  await box.locator('[data-control="button-yes"]').click();
  await until(() => sql('SELECT Snippet FROM SNIPPETS').includes('<u>alpha</u>'), 'Yes to save');
});
