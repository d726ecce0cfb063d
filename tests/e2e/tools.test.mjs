// The band menu's Tools in the display, as a user runs them against `vellumtrace run` on a fresh
// home: the bar loaded from the registered module, compacting the database, the settings dialog
// with its font and folder pickers, and the browser's tool-bar icon.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, statSync, mkdirSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
let server;
let site;
const output = paths.output || join(process.cwd(), 'e2e-output', 'tools');

const dbPath = () => join(vt.home, 'data', 'vellumtrace', 'vellumtrace.mdb');
// The database's size: the file and the pages of its write-ahead log.
const dbSize = () => statSync(dbPath()).size + (existsSync(`${dbPath()}-wal`) ? statSync(`${dbPath()}-wal`).size : 0);
const sql = (query) => execFileSync('sqlite3', [dbPath(), query], { encoding: 'utf8' }).trim();

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer((req, res) => {
    res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    res.end(`<html><head><title>Visited ${req.url}</title></head><body><p>Some words.</p></body></html>`);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
  await until(() => page.evaluate(() => {
    const panel = document.querySelector('.band-site [data-control="sb1"] [data-panel="0"]');
    return panel && ['Vellumtrace is Ready', 'Parsing complete.'].includes(panel.textContent);
  }), 'the band to start', 20000);
});

after(() => endRun({ browser, vt, server }));

// A value of a registry hive file ('HKCR', 'HKLM', 'HKCU'); undefined when absent.
function registryValue(hive, path, name) {
  let key = JSON.parse(readFileSync(join(vt.home, 'config', `${hive}.json`), 'utf8')).root;
  for (const part of path.split('\\').filter(Boolean)) {
    key = (key.keys || []).find((k) => k.name.toLowerCase() === part.toLowerCase());
    if (!key) return undefined;
  }
  const value = (key.values || []).find((v) => v.name.toLowerCase() === name.toLowerCase());
  return value ? value.data : undefined;
}

test('the bar on a fresh home comes from the module its registration names', () => {
  const band = '{DD8E695B-AB7D-4629-9942-A007CBF1C8AF}';
  const module = registryValue('HKCR', `CLSID\\${band}\\InprocServer32`, '');
  assert.match(module, /\/libvellumtrace\.so$/);
  assert.equal(registryValue('HKCR', `CLSID\\${band}`, ''), '&Vellumtrace');
  const maps = readFileSync(`/proc/${vt.child.pid}/maps`, 'utf8');
  assert.ok(maps.includes(module), 'the module is loaded into the running process');
  // The band form registered its helper object in the same module.
  assert.equal(registryValue('HKCR', 'CLSID\\{BEC5C2AA-30BB-438E-9D4C-2C6326C56025}\\InprocServer32', ''), module);
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

// A value under HKCU "\SOFTWARE\Vellumtrace\Settings", from the registry file; undefined when absent.
function setting(name) {
  const hive = JSON.parse(readFileSync(join(vt.home, 'config', 'HKCU.json'), 'utf8'));
  let key = hive.root;
  for (const part of ['SOFTWARE', 'Vellumtrace', 'Settings']) {
    key = (key.keys || []).find((k) => k.name.toLowerCase() === part.toLowerCase());
    if (!key) return undefined;
  }
  const value = (key.values || []).find((v) => v.name.toLowerCase() === name.toLowerCase());
  return value ? value.data : undefined;
}

const appDir = () => join(vt.home, 'data', 'vellumtrace') + '/';
const sheetOf = (folder) => readFileSync(join(folder, 'Vellumtrace.css'), 'latin1');
function expectedSheet(family, size, color) {
  const f = `font-family: ${family}; `, z = `font-size: ${size}px; `;
  return [`p  {${f}${z}}`, `li {${f}${z}}`, `td {${f}${z}}`, `ol {${f}${z}}`,
    `h1 {${f}}`, `h2 {${f}}`, `h3 {${f}}`, `h4 {${f}}`, `td {${f}}`,
    `body  {${f}${z}color: #${color}}`, '.chead {color: #FFFFFF; background-color: #000099}']
    .map((line) => `${line}\r\n`).join('');
}

const settingsDialog = () => page.locator('.dialog[data-control="frmSettings"]');
const box = (name) => settingsDialog().locator(`[data-control="${name}"] input`);
const press = (dialog, name) => dialog.locator(`[data-control="${name}"] button`).click();

async function openSettings() {
  await tools('Settings');
  await settingsDialog().waitFor();
  await until(async () => (await box('edt_AppDir').inputValue()) !== '', 'the settings to be read');
}

// Chooses a font in the font dialog opened by "Select Font".
async function chooseFont(family, size, color) {
  await settingsDialog().locator('[data-control="tab_StyleSheet-tab"]').click();
  await press(settingsDialog(), 'btn_SelectFont');
  const dialog = page.locator('.dialog[data-control="FontDialog1"]');
  await dialog.waitFor();
  await dialog.locator('[data-control="font-family"]').fill(family);
  await dialog.locator('[data-control="font-size"]').fill(String(size));
  await dialog.locator('[data-control="font-color"]').fill(color);
  await dialog.locator('[data-control="button-ok"]').click();
  await dialog.waitFor({ state: 'detached' });
}

test('Settings on a fresh profile writes the default sheet and styles the sample page with it', async () => {
  await openSettings();
  assert.equal(await settingsDialog().locator('.bw-caption').textContent(), 'Vellumtrace Settings');
  assert.equal(await box('edt_AppDir').inputValue(), appDir());
  assert.equal(await box('edt_CacheDir').inputValue(), join(vt.home, 'cache', 'vellumtrace', 'images') + '/');
  assert.equal(sheetOf(appDir()), expectedSheet('Arial', 12, '000000'));

  // The sample page in the preview, styled by the sheet the display fetched from the program folder.
  await settingsDialog().locator('[data-control="tab_StyleSheet-tab"]').click();
  const styled = await until(async () => {
    for (const frame of page.frames()) {
      const got = await frame.evaluate(() => {
        const h1 = document.querySelector('h1');
        if (!h1 || h1.textContent !== 'Heading 1') return null;
        const body = getComputedStyle(document.body);
        return { family: body.fontFamily, size: body.fontSize, text: document.body.textContent };
      }).catch(() => null);
      if (got && got.family === 'Arial') return got;
    }
    return null;
  }, 'the styled sample page');
  assert.equal(styled.size, '12px');
  assert.match(styled.text, /(This is a example of Vellumtrace text\. ){3}This is a example of Vellumtrace text\./);
  await page.screenshot({ path: join(output, 'settings-preview.png') });
  await press(settingsDialog(), 'btn_Cancel');
  await settingsDialog().waitFor({ state: 'detached' });
});

test('Cancel after choosing a font keeps the stored font while the sheet already has the new one', async () => {
  await openSettings();
  await chooseFont('Georgia', 14, '#ff0000');
  await until(() => sheetOf(appDir()) === expectedSheet('Georgia', 14, 'FF0000'), 'the new sheet');
  await press(settingsDialog(), 'btn_Cancel');
  await settingsDialog().waitFor({ state: 'detached' });
  assert.equal(setting('CSS_FontName'), undefined);
  assert.equal(setting('CSS_FontColor'), undefined);
  assert.equal(sheetOf(appDir()), expectedSheet('Georgia', 14, 'FF0000'));
});

test('OK with a folder picked in the folder dialog moves the band to it and stores the red font', async () => {
  // A second program folder with a copy of the database.
  const other = join(vt.home, 'data', 'second');
  mkdirSync(other);
  execFileSync('sqlite3', [dbPath(), `.backup '${join(other, 'vellumtrace.mdb')}'`]);

  await openSettings();
  await press(settingsDialog(), 'btn_AppDir');
  const picker = page.locator('.dialog[data-control="FolderDialog1"]');
  await picker.waitFor();
  assert.equal(await picker.locator('.bw-caption').textContent(), 'Select a folder');
  assert.equal(await picker.locator('[data-control="folder-path"]').textContent(), appDir());
  await picker.locator('[data-control="folder-list"] li', { hasText: '..' }).click();
  await until(async () => (await picker.locator('[data-control="folder-path"]').textContent()) === join(vt.home, 'data'),
    'the parent folder');
  await picker.locator('[data-control="folder-list"] li', { hasText: 'second' }).click();
  await until(async () => (await picker.locator('[data-control="folder-path"]').textContent()) === other, 'the second folder');
  await picker.locator('[data-control="button-ok"]').click();
  await picker.waitFor({ state: 'detached' });
  assert.equal(await box('edt_AppDir').inputValue(), other);  // as picked: no final "/"

  await chooseFont('Arial', 12, '#ff0000');
  await press(settingsDialog(), 'btn_OK');
  await settingsDialog().waitFor({ state: 'detached' });
  assert.equal(setting('AppDir'), `${other}/`);
  assert.equal(setting('CSS_FontColor'), '255');
  assert.equal(setting('CSS_FontName'), 'Arial');
  assert.equal(setting('CSS_FontSize'), '12');
  assert.equal(sheetOf(other), expectedSheet('Arial', 12, 'FF0000'));

  // The band started again on the new folder: visits go into its database.
  await until(() => page.evaluate(() => {
    const panel = document.querySelector('.band-site [data-control="sb1"] [data-panel="0"]');
    return panel && panel.textContent === 'Vellumtrace is Ready';
  }), 'the band to start again');
  await page.fill('[data-control="address"]', `${site}/after-settings.html`);
  await page.press('[data-control="address"]', 'Enter');
  const otherDb = join(other, 'vellumtrace.mdb');
  await until(() => execFileSync('sqlite3', [otherDb, `SELECT count(*) FROM URL WHERE URL = '${site}/after-settings.html'`], { encoding: 'utf8' }).trim() === '1',
    'the visit in the new database');
  assert.equal(sql(`SELECT count(*) FROM URL WHERE URL = '${site}/after-settings.html'`), '0');

  // The display serves the files of the folder in force now.
  const served = await page.evaluate(async (path) => {
    const r = await fetch(`/file?path=${encodeURIComponent(path)}`);
    return { status: r.status, text: await r.text() };
  }, join(other, 'Vellumtrace.css'));
  assert.equal(served.status, 200);
  assert.equal(served.text, expectedSheet('Arial', 12, 'FF0000'));
});

test('Add Icon to Browser registers the bar button with the icon of the program folder', async () => {
  await tools('AddIconToBrowser');
  const guid = await until(() => registryValue('HKLM', 'Software\\Bandkit\\ToolBar Buttons', 'Vellumtrace'), 'the button');
  const key = `Software\\Microsoft\\Internet Explorer\\Extensions\\${guid}`;
  assert.equal(registryValue('HKLM', key, 'ButtonText'), 'Vellumtrace');
  assert.equal(registryValue('HKLM', key, 'BandCLSID'), '{DD8E695B-AB7D-4629-9942-A007CBF1C8AF}');
  assert.match(registryValue('HKLM', key, 'Icon'), /\/icon\.ico$/);
});
