// The band menu's Tools in the display, as a user runs them against `vellumtrace run` on a fresh
// home: compacting the database.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, statSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until } from './lib/display.mjs';

let vt;
let browser;
let page;
const output = paths.output || join(process.cwd(), 'e2e-output', 'tools');

const dbPath = () => join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb');
// The database's size: the file and the pages of its write-ahead log.
const dbSize = () => statSync(dbPath()).size + (existsSync(`${dbPath()}-wal`) ? statSync(`${dbPath()}-wal`).size : 0);
const sql = (query) => execFileSync('sqlite3', [dbPath(), query], { encoding: 'utf8' }).trim();

before(async () => {
  mkdirSync(output, { recursive: true });
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
  await until(() => page.evaluate(() => {
    const panel = document.querySelector('.band-site [data-control="sb1"] [data-panel="0"]');
    return panel && ['Vellumtrace is Ready', 'Parsing complete.'].includes(panel.textContent);
  }), 'the band to start', 20000);
});

after(async () => {
  if (browser) await browser.close();
  if (vt) {
    const { code } = await vt.stop();
    assert.equal(code, 0, `vellumtrace did not end cleanly:\n${vt.stderr}`);
  }
});

// Opens the band menu and runs Tools > `item`.
async function tools(item) {
  await page.click('.band-site [data-control="sb_menu"]');
  await page.hover('[data-control="Tools"]');
  await page.click(`[data-control="${item}"]`);
}

const field = (name) => page.locator(`[data-control="CompactDB"] [data-control="${name}"] input`).inputValue();

test('Compact Database shrinks the file after half its pages were deleted, and keeps every row', async () => {
  sql(`WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)
       INSERT INTO URL (URL, Title, Hits) SELECT 'http://site.example/' || i || '/' || hex(randomblob(80)), 'Page ' || i, 1 FROM n;`);
  sql('DELETE FROM URL WHERE ID % 2 = 0;');
  const rows = sql('SELECT count(*) FROM URL');
  const before = dbSize();

  await tools('CompactDatabase');
  const dialog = page.locator('.dialog[data-control="CompactDB"]');
  await dialog.waitFor();
  assert.equal(await dialog.locator('.bw-caption').textContent(), 'Compact Database');
  assert.equal(await field('txt_CurrentSize'), ` ${Math.round(before / 1024).toLocaleString('en-US')} KB`);

  await dialog.locator('[data-control="Button2"] button').click();
  await until(async () => (await dialog.locator('[data-control="Label4"]').textContent()) === 'Database compaction successful.',
    'the compaction to finish');
  const after = dbSize();
  assert.ok(after < before * 0.75, `${before} bytes before, ${after} after`);
  assert.equal(await field('txt_NewSize'), ` ${Math.round(after / 1024).toLocaleString('en-US')} KB`);
  assert.equal(await field('txt_Reduction'), ` ${((before - after) / before * 100).toFixed(2)} %`);
  await page.screenshot({ path: join(output, 'compact-database.png') });
  await dialog.locator('[data-control="Button1"] button').click();
  await dialog.waitFor({ state: 'detached' });

  assert.equal(sql('PRAGMA integrity_check'), 'ok');
  assert.equal(sql('SELECT count(*) FROM URL'), rows);
});
