// The explorer-bar button of the browser's tool bar, as a user adds and uses it: the band menu's
// Tools > Add Icon to Browser puts the "Vellumtrace" button with its icon in the window's tool bar
// at once, and the button closes and opens the bar.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
const output = paths.output || join(process.cwd(), 'e2e-output', 'toolbar-buttons');

const bandReady = () => page.evaluate(() => {
  const panel = document.querySelector('.band-site:not([hidden]) [data-control="sb1"] [data-panel="0"]');
  return panel && ['Vellumtrace is Ready', 'Parsing complete.'].includes(panel.textContent);
});

before(async () => {
  mkdirSync(output, { recursive: true });
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 800 } }));
  await until(bandReady, 'the band to start', 20000);
});

after(() => endRun({ browser, vt }));

test('Add Icon to Browser shows the bar button with its icon, and the button closes and opens the bar', async () => {
  const buttons = page.locator('[data-control="barbuttons"] .bar-button');
  assert.equal(await buttons.count(), 0, 'a fresh home has no bar button');

  await page.click('.band-site [data-control="sb_menu"]');
  await page.hover('[data-control="Tools"]');
  await page.click('[data-control="AddIconToBrowser"]');

  // The button appears without a restart, with the program folder's icon, down while the bar is open.
  const button = buttons.first();
  await button.waitFor({ state: 'visible', timeout: 10000 });
  assert.equal(await buttons.count(), 1);
  assert.equal((await button.textContent()).trim(), 'Vellumtrace');
  assert.equal(await button.getAttribute('aria-pressed'), 'true');
  const icon = button.locator('img.bar-button-icon');
  const iconPath = join(vt.home, 'data', 'vellumtrace', 'icon.ico');
  assert.ok((await icon.getAttribute('src')).includes(`/file?path=${encodeURI(iconPath)}&grant=`),
    await icon.getAttribute('src'));
  const size = await until(() => icon.evaluate((img) => img.complete && img.naturalWidth && [img.naturalWidth, img.naturalHeight]),
    'the icon to load');
  assert.deepEqual(size, [16, 16]);
  await page.screenshot({ path: join(output, 'bar-button.png') });

  // A click closes the bar, another opens it again with a band that starts anew.
  await button.click();
  await page.locator('.band-site').waitFor({ state: 'hidden' });
  await until(async () => (await button.getAttribute('aria-pressed')) === 'false', 'the button to come up');
  await button.click();
  await page.locator('.band-site').waitFor({ state: 'visible' });
  await until(async () => (await button.getAttribute('aria-pressed')) === 'true', 'the button to go down');
  await until(bandReady, 'the reopened band to start', 20000);

  // Adding it again replaces the button instead of adding a second one.
  await page.click('.band-site [data-control="sb_menu"]');
  await page.hover('[data-control="Tools"]');
  await page.click('[data-control="AddIconToBrowser"]');
  await until(async () => (await buttons.count()) === 1 &&
    (await buttons.first().locator('img').evaluate((img) => img.complete && img.naturalWidth)) === 16,
    'the one button after adding it again');
});
