// The Filter tab's commands as a person uses them in the display: the filter tree's menu, its
// enabling on an empty tree and on a link, and following a link by double click.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until } from './lib/display.mjs';

let vt;
let browser;
let page;
let server;
let site;
const output = paths.output || join(process.cwd(), 'e2e-output', 'filter-commands');

const PAGES = {
  '/tables.html': `<html><head><title>Tables</title></head><body>
<table id="first"><tr><td>north</td><td>south</td></tr></table>
<p><a href="/next.html">onward</a></p></body></html>`,
  '/next.html': '<html><head><title>Next</title></head><body><p>arrived</p></body></html>',
};

function serve(req, res) {
  const body = PAGES[new URL(req.url, 'http://x').pathname];
  res.writeHead(body ? 200 : 404, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(body || 'not here');
}

const band = (name) => page.locator(`.band-site [data-control="${name}"]`);
const treeRow = (text) => band('tv').locator('.tree-node', { hasText: text }).first();

// The open menu's items: name -> enabled (hidden items are not drawn).
async function openMenu(name) {
  const menu = page.locator(`.menu[data-control="${name}"]`);
  await menu.waitFor();
  return menu.evaluate((m) => Object.fromEntries([...m.querySelectorAll('.menu-item')]
    .map((r) => [r.getAttribute('data-control'), !r.classList.contains('disabled')])));
}

async function closeMenus() {
  await page.keyboard.press('Escape');
  await until(async () => (await page.locator('.menu').count()) === 0, 'the menu to close');
}

async function navigate(url) {
  await page.fill('[data-control="address"]', url);
  await page.press('[data-control="address"]', 'Enter');
}

async function treeReady(top) {
  await until(async () => (await band('tv').locator('.tree-node', { hasText: top }).count()) > 0 &&
    (await band('led1').getAttribute('data-color')) === 'green', `the tree with ${top}`);
}

before(async () => {
  mkdirSync(output, { recursive: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({ viewport: { width: 1280, height: 860 } }));
  await band('tv').waitFor();
});

after(async () => {
  if (browser) await browser.close();
  if (vt) {
    const { code } = await vt.stop();
    assert.equal(code, 0, `vellumtrace did not end cleanly:\n${vt.stderr}`);
  }
  if (server) server.close();
});

test('a right click on an empty filter tree disables every entry command', async () => {
  await band('tv').click({ button: 'right' });
  const items = await openMenu('Popup_TvFilter');
  for (const name of ['FilterInNewWindow', 'SaveToSnippets', 'SendViaEmail', 'CopyToClipboard',
    'ExpandAll', 'CollapseAll']) {
    assert.equal(items[name], false, `${name} is disabled`);
  }
  assert.equal('FollowHyperlink' in items, false, 'Follow Hyperlink is hidden');
  assert.equal(items.RescanPage, true);
  assert.equal(items.Help, true);
  await page.screenshot({ path: join(output, 'empty-tree-menu.png') });
  await closeMenus();
});

test('on a link the menu offers Follow Hyperlink, and a double click follows the link', async () => {
  await navigate(`${site}/tables.html`);
  await treeReady('Links (1)');
  await treeRow('Links (1)').locator('.twisty').click();
  await treeRow('onward').click();
  await treeRow('onward').click({ button: 'right' });
  const items = await openMenu('Popup_TvFilter');
  assert.equal(items.FollowHyperlink, true);
  assert.equal(items.FilterInNewWindow, true);
  assert.equal(items.ExpandAll, true);
  await page.screenshot({ path: join(output, 'link-menu.png') });
  await closeMenus();

  await treeRow('onward').dblclick();
  await until(async () => (await page.inputValue('[data-control="address"]')) === `${site}/next.html`,
    'the link to be followed');
});
