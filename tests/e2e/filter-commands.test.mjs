// The Filter tab's commands as a person uses them in the display: the filter tree's menu, its
// enabling on an empty tree and on a link, following a link by double click, the page's own menu
// in filter mode (Select Table, the copy and mail commands, the new windows), the Filter toggle,
// and the snippet tab's Copy and Send via E-mail. Copies are read back from the browser's
// clipboard; mail goes to a recording mail program.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { existsSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { paths } from './lib/chromium.mjs';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
let server;
let site;
let mainId;
const output = paths.output || join(process.cwd(), 'e2e-output', 'filter-commands');
const mailRecord = join(output, 'mail.rec');

const PAGES = {
  '/tables.html': `<html><head><title>Tables</title></head><body>
<table id="first"><tr><td>north</td><td>south</td></tr></table>
<p><a href="/next.html">onward</a></p></body></html>`,
  '/next.html': '<html><head><title>Next</title></head><body><p>arrived</p></body></html>',
  '/plain.html': '<html><head><title>Plain</title></head><body><p id="only">nothing to dissect</p></body></html>',
  '/select.html': `<html><head><title>Compass</title></head><body>
<table id="grid"><tr><td id="east">east</td><td id="west">west</td></tr></table>
<p id="words">Seven plain words stand alone here.</p>
<p><a id="away" href="/next.html">away</a></p></body></html>`,
};

function serve(req, res) {
  const body = PAGES[new URL(req.url, 'http://x').pathname];
  res.writeHead(body ? 200 : 404, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(body || 'not here');
}

// Everything is looked for in the main window: the new windows of some commands have a band too.
const win = () => page.locator(`section.bw[data-window="${mainId}"]`);
const band = (name) => win().locator(`.band-site [data-control="${name}"]`);
const treeRow = (text) => band('tv').locator('.tree-node', { hasText: text }).first();
const pageFrame = () => win().frameLocator('[data-control="page"] iframe').first();
const focusedNode = () => band('tv').locator('.tree-node.focused-node').textContent().catch(() => null);
const status = () => band('sb1').locator('[data-panel="0"]').textContent().catch(() => null);
const appFile = (name) => join(vt.home, 'data', 'vellumtrace', name);

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

// Opens the page's menu on `selector` in the page and runs an item, given by its names.
async function pageMenu(selector, ...items) {
  await pageFrame().locator(selector).click({ button: 'right' });
  await page.locator('.menu[data-control="Popup_IE_Filter"]').waitFor();
  for (const item of items.slice(0, -1)) await page.hover(`.menu [data-control="${item}"]`);
  await page.click(`.menu [data-control="${items[items.length - 1]}"]`);
}

async function treeMenu(row, item) {
  await treeRow(row).click();
  await treeRow(row).click({ button: 'right' });
  await page.click(`.menu[data-control="Popup_TvFilter"] [data-control="${item}"]`);
}

async function navigate(url) {
  await page.fill(`section.bw[data-window="${mainId}"] [data-control="address"]`, url);
  await page.press(`section.bw[data-window="${mainId}"] [data-control="address"]`, 'Enter');
}

// Waits for the parsed tree to show a table's node, opening the Tables group when it is closed.
async function tableReady(text) {
  await until(async () => {
    if ((await band('led1').getAttribute('data-color')) !== 'green') return false;
    if ((await band('tv').locator('.tree-node', { hasText: text }).count()) > 0) return true;
    const group = band('tv').locator('.tree-node', { hasText: 'Tables (' }).first();
    if ((await group.count()) > 0 && (await group.locator('.twisty').textContent()) === '▸') {
      await group.locator('.twisty').click().catch(() => {});
    }
    return false;
  }, `the tree with the table ${text}`, 20000);
}

async function treeReady(...texts) {
  await until(async () => {
    for (const text of texts) {
      if ((await band('tv').locator('.tree-node', { hasText: text }).count()) === 0) return false;
    }
    return (await band('led1').getAttribute('data-color')) === 'green';
  }, `the tree with ${texts.join(', ')}`, 20000);
}

// Waits until the page view shows the revision it was last sent, listens to it, and holds
// `selector`: only then does a click there reach the document the filter tree was made from.
async function pageShows(selector) {
  await until(async () => {
    const frame = win().locator('[data-control="page"] iframe').first();
    const src = await frame.getAttribute('src').catch(() => null);
    const rev = src && src.match(/[?&]rev=(\d+)/);
    if (!rev || (await frame.getAttribute('data-attached')) !== rev[1]) return false;
    return (await pageFrame().locator(selector).count()) > 0;
  }, `the page view with ${selector}`);
}

async function filterOn(on = true) {
  const down = (await band('sb_Filter').locator('[aria-pressed="true"]').count()) > 0;
  if (down !== on) await band('sb_Filter').locator('button').click();
  await until(async () => ((await band('sb_Filter').locator('[aria-pressed="true"]').count()) > 0) === on,
    `the Filter toggle ${on ? 'down' : 'up'}`);
}

// Whether the element carries the red selection mark, as the page view draws it.
const marked = (selector) => pageFrame().locator(selector).evaluate((e) => {
  const style = getComputedStyle(e);
  return parseFloat(style.borderTopWidth) > 0 && style.borderTopColor === 'rgb(255, 0, 0)';
});

// What the browser's clipboard holds, read as a pasting program would. A read that a write
// overtakes (the display writing the copy meanwhile) is read again.
async function clipboard() {
  return until(() => page.evaluate(async () => {
    try {
      const out = {};
      for (const item of await navigator.clipboard.read()) {
        for (const type of item.types) out[type] = await (await item.getType(type)).text();
      }
      return out;
    } catch (error) {
      if (error.name === 'InvalidStateError') return null;
      throw error;
    }
  }), 'a whole read of the clipboard');
}

async function clearClipboard() {
  await page.evaluate(() => navigator.clipboard.writeText('stale'));
}

// The recorded mail: the arguments and the attached file's content.
async function takeMail() {
  await until(() => existsSync(mailRecord), 'the mail program to be called');
  const args = readFileSync(mailRecord, 'utf8').split('\0').slice(0, -1);
  const attachment = readFileSync(`${mailRecord}.attachment`, 'utf8');
  rmSync(mailRecord);
  rmSync(`${mailRecord}.attachment`);
  const at = (flag) => (args.includes(flag) ? args[args.indexOf(flag) + 1] : undefined);
  return { args, subject: at('--subject'), attach: at('--attach'), attachment };
}

// Waits for a window other than the main one, answers its locator and its id.
async function newWindow() {
  const id = await until(() => page.evaluate((main) => {
    const other = [...document.querySelectorAll('section.bw')].find((s) => s.getAttribute('data-window') !== String(main));
    return other && other.getAttribute('data-window');
  }, mainId), 'a new window');
  return page.locator(`section.bw[data-window="${id}"]`);
}

async function closeWindow(locator) {
  await locator.locator('[data-action="close"]').first().click();
  await locator.waitFor({ state: 'detached' });
}

before(async () => {
  mkdirSync(output, { recursive: true });
  rmSync(mailRecord, { force: true });
  server = createServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  site = `http://127.0.0.1:${server.address().port}`;
  ({ vt, browser, page } = await openDisplay({
    viewport: { width: 1280, height: 860 },
    permissions: ['clipboard-read', 'clipboard-write'],
    env: {
      VELLUMTRACE_MAILER: join(paths.source, 'tests', 'platform', 'mail', 'recorder.sh'),
      VT_MAIL_RECORD: mailRecord,
    },
  }));
  mainId = await until(() => page.evaluate(() => window.vellumtrace && window.vellumtrace.activeWindow()?.id),
    'the main window');
  await band('tv').waitFor();
});

after(() => endRun({ browser, vt, server }));

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
  assert.equal(items.CopyToClipboard, true);
  assert.equal(items.SendViaEmail, true);
  assert.equal(items.ExpandAll, true);
  await page.screenshot({ path: join(output, 'link-menu.png') });
  await closeMenus();

  await treeRow('onward').dblclick();
  await until(async () => (await page.inputValue(`section.bw[data-window="${mainId}"] [data-control="address"]`)) === `${site}/next.html`,
    'the link to be followed');
});

test('Select Table in the page menu selects and marks the table of a clicked cell', async () => {
  await navigate(`${site}/select.html`);
  // The tree of this page (its table's node holds both cells), not the one of a page before.
  await tableReady('east west');
  await filterOn();
  await pageShows('#west');
  await pageFrame().locator('#west').click();
  await until(async () => {
    const text = await focusedNode();
    return text && text.includes('west') && !text.includes('east');
  }, 'the clicked cell to be selected in the tree');
  await pageMenu('#west', 'PageFilter', 'SelectTable');
  await until(async () => (await focusedNode() || '').includes('east west'), 'the table to be selected');
  await until(() => marked('#grid'), 'the mark on the table');
  await page.screenshot({ path: join(output, 'select-table.png') });
});

test('Copy to Clipboard puts the table page on the clipboard as HTML and says so', async () => {
  await clearClipboard();
  await treeMenu('east west', 'CopyToClipboard');
  await until(async () => (await status()) === 'Copied to clipboard', 'the status');
  const copied = await until(async () => {
    const c = await clipboard();
    return c['text/html'] && c['text/html'].includes('west') && c;
  }, 'the copy on the clipboard');
  assert.match(copied['text/html'], /<table/i);
  assert.match(copied['text/html'], /east/);
  // The plain-text entry holds the same page, as its source.
  assert.match(copied['text/plain'], /<title>[^<]*<\/title>/);
  assert.match(copied['text/plain'], /<td[^>]*>west<\/td>/i);

  // The page menu's Copy Selected Item copies the element selected there.
  await clearClipboard();
  await pageFrame().locator('#east').click();
  await until(async () => {
    const text = await focusedNode();
    return text && text.includes('east') && !text.includes('west');
  }, 'the clicked cell');
  await pageMenu('#east', 'PageEdit', 'CopySelectedItem');
  const item = await until(async () => {
    const c = await clipboard();
    return c['text/html'] && c['text/html'].includes('east') && c;
  }, 'the cell on the clipboard');
  assert.equal(item['text/html'].includes('west'), false, 'only the selected cell is copied');
});

test('a copy the browser refuses is kept in a notice until the user copies it', async () => {
  await clearClipboard();
  await page.evaluate(() => {
    window.__write = navigator.clipboard.write;
    navigator.clipboard.write = () => Promise.reject(new DOMException('Write permission denied.', 'NotAllowedError'));
    window.__exec = document.execCommand;
    document.execCommand = () => false;
  });
  await treeMenu('east west', 'CopyToClipboard');
  const notice = page.locator('[data-control="clipboard-notice"]');
  await notice.waitFor();
  assert.match(await notice.textContent(), /did not let Vellumtrace put the copy on the clipboard \(Write permission denied\.\)/);
  assert.equal((await clipboard())['text/plain'], 'stale');
  await page.screenshot({ path: join(output, 'clipboard-refused.png') });

  await page.evaluate(() => { navigator.clipboard.write = window.__write; });
  await notice.locator('[data-control="clipboard-copy-now"]').click();
  await notice.waitFor({ state: 'detached' });
  assert.match((await clipboard())['text/html'], /west/);
  await page.evaluate(() => { document.execCommand = window.__exec; });
});

test('the mail commands attach the element\'s page and remove temp.html afterwards', async () => {
  await treeMenu('east west', 'SendViaEmail');
  const tree = await takeMail();
  assert.ok(tree.subject, 'the element\'s title is the subject');
  assert.equal(tree.attach, appFile('temp.html'));
  assert.ok(tree.attachment.includes(`<title>${tree.subject}</title>`), tree.attachment);
  assert.match(tree.attachment, /<td[^>]*>west<\/td>/i);
  await until(() => !existsSync(appFile('temp.html')), 'temp.html to be removed');

  // The page menu's Item via E-mail sends the selected element's mark-up.
  await pageFrame().locator('#west').click();
  await until(async () => {
    const text = await focusedNode();
    return text && text.includes('west') && !text.includes('east');
  }, 'the clicked cell');
  await pageMenu('#west', 'PageSend', 'ItemViaEmail');
  const item = await takeMail();
  assert.equal(item.subject, 'west');
  assert.match(item.attachment, /<title>west<\/title>/);
  assert.match(item.attachment, /<BODY>west<\/BODY>/);
  await until(() => !existsSync(appFile('temp.html')), 'temp.html to be removed');

  // When temp.html cannot be written (here a folder stands in its place) the user reads why, and
  // no mail program is started.
  mkdirSync(appFile('temp.html'));
  try {
    await treeMenu('east west', 'SendViaEmail');
    const box = page.locator('.dialog', { hasText: 'Cannot write the mail attachment' });
    await box.waitFor();
    assert.match(await box.textContent(), /Check that the program folder can be written to\./);
    await page.screenshot({ path: join(output, 'mail-attachment-error.png') });
    await box.locator('[data-control="button-ok"]').click();
    await box.waitFor({ state: 'detached' });
  } finally {
    rmSync(appFile('temp.html'), { recursive: true });
  }
  assert.equal(existsSync(mailRecord), false, 'no mail was started');
});

test('Selection in New Window shows the selected text alone in a new window', async () => {
  await pageFrame().locator('#words').selectText();
  await pageMenu('#words', 'PageFilter', 'SelectionInNewWindow');
  const opened = await newWindow();
  const frame = opened.frameLocator('[data-control="page"] iframe').first();
  await until(async () => (await frame.locator('body').textContent().catch(() => '')).includes('Seven plain words'),
    'the selection in the new window');
  const text = await frame.locator('body').textContent();
  assert.equal(text.includes('east'), false, 'only the selection is shown');
  await page.screenshot({ path: join(output, 'selection-window.png') });
  await closeWindow(opened);
  await pageFrame().locator('#east').click();  // collapses the selection again
});

test('Open in New Window opens the link under the mouse in a new window', async () => {
  await pageMenu('#away', 'OpenInNewWindow');
  const opened = await newWindow();
  await until(async () => (await opened.locator('[data-control="address"]').inputValue()) === `${site}/next.html`,
    'the link\'s page in the new window');
  await closeWindow(opened);
});

test('the Filter toggle clears the marks when switched off and selects again when on', async () => {
  await pageFrame().locator('#west').click();
  await until(() => marked('#west'), 'the mark on the cell');
  await filterOn(false);
  await until(async () => !(await marked('#west')), 'the mark to be cleared');
  await filterOn(true);
  assert.equal(await marked('#west'), false);
});

test('the snippet tab copies and mails the focused snippet', async () => {
  await band('snippet_tab-tab').click();
  await band('DBTL1').waitFor();
  // A root snippet, and the shown page saved below it (a root snippet has no page of its own).
  const snippetMenu = async (on, ...items) => {
    await on.click({ button: 'right' });
    await page.locator('.menu[data-control="Popup_TvSnippets"]').waitFor();
    for (const item of items.slice(0, -1)) await page.hover(`.menu [data-control="${item}"]`);
    await page.click(`.menu [data-control="${items[items.length - 1]}"]`);
  };
  await snippetMenu(band('DBTL1'), 'SnAdd', 'SnRootSnippet');
  const rename = band('Edit7').locator('input');
  await rename.waitFor();
  await rename.press('Enter');
  const root = band('DBTL1').locator('.tree-node', { hasText: 'New Snippet' }).first();
  await root.waitFor();
  await snippetMenu(root, 'SnAdd', 'SnThisPage');
  await until(async () => (await status()) === 'Snippet saved as "Compass"', 'the save')
    .catch(async (e) => { e.message += ` (status "${await status()}")`; throw e; });
  const node = band('DBTL1').locator('.tree-node', { hasText: 'Compass' }).first();
  await node.waitFor();
  await node.click();

  await clearClipboard();
  await snippetMenu(node, 'SnEdit', 'SnCopy');
  await until(async () => (await status()) === 'Snippet copied to clipboard', 'the status');
  const copied = await until(async () => {
    const c = await clipboard();
    return c['text/html'] && c['text/html'].includes('Seven plain words') && c;
  }, 'the snippet on the clipboard');
  assert.match(copied['text/plain'], /<title>Compass<\/title>/);
  // Based at the snippet's page, so that its relative links still lead there.
  assert.ok(copied['text/plain'].includes(`${site}/select.html`), copied['text/plain']);

  await snippetMenu(node, 'SnSendMail');
  const mail = await takeMail();
  assert.equal(mail.subject, 'Compass');
  assert.match(mail.attachment, /<title>Compass<\/title>/);
  assert.match(mail.attachment, /Seven plain words/);
  await until(() => !existsSync(appFile('temp.html')), 'temp.html to be removed');
  await page.screenshot({ path: join(output, 'snippet-mail.png') });
  await band('filter_tab-tab').click();
});

// A page that gave the tree nothing is parsed again when the filter is switched on: here it has
// gained a table meanwhile.
test('switching the filter on parses a page that gave the tree nothing', async () => {
  await filterOn(false);
  await navigate(`${site}/plain.html`);
  await pageShows('#only');
  await until(async () => (await status()) === 'Parsing complete.' &&
    (await band('tv').locator('.tree-node').count()) === 0, 'the empty tree of the plain page');
  const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
  const body = Number(await pageFrame().locator('body').getAttribute('data-vt-si'));
  const changed = await page.evaluate(async (args) => (await (await fetch('/api/debug/mutate',
    { method: 'POST', body: JSON.stringify(args) })).json()).changed,
  { browser: browserId, si: body, html: true, value: '<table><tr><td>late cell</td></tr></table>' });
  assert.equal(changed, true);
  await page.waitForTimeout(1000);  // four ticks of the band's timer: nothing parses by itself
  assert.equal(await band('tv').locator('.tree-node').count(), 0);
  await filterOn(true);
  await treeReady('Tables (1)');
});
