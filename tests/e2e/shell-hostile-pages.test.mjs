// Hostile pages in the display: page text that other parsers would read as mark-up stays text in
// the mirror, no address of a page resolves against the display server, and another server on
// 127.0.0.1 that a page names neither receives the display's token nor locks the display out.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { writeFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { openDisplay, until, endRun } from './lib/display.mjs';

let vt;
let browser;
let page;
let other;          // another local server the pages name
let otherOrigin;
const otherRequests = [];
const displayRequests = [];  // requests the page view made to the display server

const GIF = Buffer.from('R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7', 'base64');

function refresh(to) {
  return `&lt;meta http-equiv="refresh" content="0;url=${to}"&gt;`;
}

function hostilePages() {
  const to = `${otherOrigin}/refreshed`;
  return {
    noscript: `<!DOCTYPE html><html><head><title>noscript</title></head><body>
<noscript>&lt;/noscript&gt;${refresh(to)}&lt;img id=injected src=x&gt;</noscript>
<noscript><p title="&lt;/noscript&gt;&lt;img id=injected2 src=x&gt;">t</p></noscript>
<p id="ok">ok</p></body></html>`,
    mglyph: `<!DOCTYPE html><html><head><title>mglyph</title></head><body>
<math><mtext><table><mglyph><style>&lt;/style&gt;${refresh(to)}&lt;img id=injected src=x&gt;</style></mglyph></table></mtext></math>
<svg><style>&lt;/style&gt;${refresh(to)}</style><desc>&lt;img id=injected2 src=x&gt;</desc></svg>
<p id="ok">ok</p></body></html>`,
    rawtext: `<!DOCTYPE html><html><head><title>&lt;/title&gt;${refresh(to)}</title>
<style>p { color: navy } /* &lt;/style&gt; */</style></head><body>
<textarea>&lt;/textarea&gt;${refresh(to)}</textarea>
<xmp>&lt;/xmp&gt;&lt;img id=injected src=x&gt;</xmp>
<noembed>&lt;/noembed&gt;&lt;img id=injected2 src=x&gt;</noembed>
<noframes>&lt;/noframes&gt;&lt;img id=injected3 src=x&gt;</noframes>
<select><option>&lt;/select&gt;&lt;img id=injected4 src=x&gt;</option></select>
<template><style>&lt;/style&gt;&lt;img id=injected5 src=x&gt;</style></template>
<!-- --!&gt;&lt;img id=injected6 src=x&gt; -->
<p title="&quot; onmouseover=&quot;x">a</p>
<p id="ok">ok</p></body></html>`,
  };
}

// A web page on the other server whose addresses are relative, with a base of "/".
function relativePage() {
  return `<!DOCTYPE html><html><head><title>relative</title><base href="/">
<link rel="stylesheet" href="style.css"></head><body>
<style>b { background: url(api/state) } i { background-image: url("file?path=/etc/passwd") }</style>
<p id="ok" style="background: url('mirror/1')">ok <b>b</b> <i>i</i></p>
<img srcset="api/events 1x, pixel.gif 2x" src="pixel.gif" alt="p">
<img src="${otherOrigin}/cookie.gif" alt="c">
<a href="index.html" referrerpolicy="unsafe-url">link</a>
<meta name="referrer" content="unsafe-url">
</body></html>`;
}

async function debug(what, body) {
  return page.evaluate(async ([w, b]) => {
    const r = await fetch(`/api/debug/${w}`, { method: 'POST', body: JSON.stringify(b || {}) });
    return r.json();
  }, [what, body]);
}

async function show(url) {
  await page.fill('[data-control="address"]', url);
  await page.press('[data-control="address"]', 'Enter');
  return until(async () => {
    const frame = page.frames().find((f) => f.url().includes('/mirror/'));
    return frame && (await frame.$('#ok').catch(() => null)) && frame;
  }, `the mirror of ${url}`);
}

// The elements of the mirror as the display's browser built them: [sourceIndex, name], with
// null for an element that carries no index (one the mirror did not write).
async function mirrorElements(frame) {
  return frame.evaluate(() => [...document.querySelectorAll('*')]
    .filter((e) => e.localName !== 'base')
    .map((e) => [e.hasAttribute('data-vt-si') ? Number(e.getAttribute('data-vt-si')) : null,
      e.localName, e.id]));
}

before(async () => {
  other = http.createServer((req, res) => {
    otherRequests.push({ url: req.url, headers: req.headers });
    if (req.url === '/page.html') {
      res.setHeader('Content-Type', 'text/html');
      return res.end(relativePage());
    }
    if (req.url === '/cookie.gif') {
      // Cookies do not tell ports apart: try to shadow the display's cookie under its /api path.
      res.setHeader('Set-Cookie', [
        `vt_token_${vt.port}=0000; Path=/api`, `vt_token_${vt.port}=0000; Path=/`, 'other=1; Path=/',
      ]);
    }
    res.setHeader('Content-Type', req.url.endsWith('.css') ? 'text/css' : 'image/gif');
    res.end(req.url.endsWith('.css') ? 'p { color: green }' : GIF);
  });
  await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve));
  otherOrigin = `http://127.0.0.1:${other.address().port}`;
  ({ vt, browser, page } = await openDisplay());
  page.on('request', (request) => {
    if (request.frame() !== page.mainFrame() && request.url().startsWith(vt.origin)) {
      displayRequests.push(request.url());
    }
  });
  const dir = join(vt.home, 'pages');
  mkdirSync(dir);
  for (const [name, html] of Object.entries(hostilePages())) writeFileSync(join(dir, `${name}.html`), html);
});

after(() => endRun({ browser, vt, server: other }));

for (const name of ['noscript', 'mglyph', 'rawtext']) {
  test(`the ${name} page's text stays text in the mirror and refreshes nothing`, async () => {
    const frame = await show(`file://${join(vt.home, 'pages', `${name}.html`)}`);
    await page.waitForTimeout(1500);  // a refresh of 0 s would have happened by now
    assert.match(frame.url(), /\/mirror\/\d+\?grant=/);
    assert.ok(!otherRequests.some((r) => r.url === '/refreshed'), 'the refresh was followed');
    const built = await mirrorElements(frame);
    assert.deepEqual(built.filter(([si]) => si === null), [], 'elements the mirror did not write');
    assert.deepEqual(built.filter(([, , id]) => id.startsWith('injected')), []);
    assert.equal(await frame.evaluate(() => document.querySelectorAll('meta[http-equiv]').length), 0);
    // Each element the browser built is the process's element of that index.
    const browserId = await page.evaluate(() => window.vellumtrace.activeWindow().page.browserId);
    const { elements } = await debug('elements', { browser: browserId });
    const names = new Map(elements.map(([si, n]) => [si, n.toLowerCase()]));
    for (const [si, localName] of built) assert.equal(localName, names.get(si), `element ${si}`);
  });
}

test('a web page\'s relative addresses load from its own server, never from the display', async () => {
  displayRequests.length = 0;
  const frame = await show(`${otherOrigin}/page.html`);
  await page.waitForTimeout(800);
  const stray = displayRequests.filter((url) => {
    const u = new URL(url);
    return !(u.pathname.startsWith('/mirror/') && u.searchParams.get('grant'));
  });
  assert.deepEqual(stray, [], 'the page view asked the display server for these');
  assert.equal(await frame.evaluate(() => document.baseURI), `${otherOrigin}/`);
  assert.equal(await frame.evaluate(() => getComputedStyle(document.getElementById('ok')).color),
    'rgb(0, 128, 0)', 'the page\'s style sheet came from its own server');
  const seen = otherRequests.map((r) => r.url);
  for (const path of ['/style.css', '/pixel.gif', '/cookie.gif']) assert.ok(seen.includes(path), path);
});

test('no other server receives the token, and none can lock the display out', async () => {
  assert.ok(otherRequests.length > 0);
  for (const r of otherRequests) {
    const seen = `${r.url} ${JSON.stringify(r.headers)}`;
    assert.ok(!seen.includes(vt.token), `the token reached ${r.url}`);
    // The mirror's policy is no-referrer; the browser still names the display's origin (never its
    // path or query) when it loads what a style attribute names.
    if (r.headers.referer !== undefined) assert.equal(r.headers.referer, `${vt.origin}/`, r.url);
    assert.ok(!(r.headers.cookie || '').includes(vt.token));
  }
  // The other server set cookies of the display's old name for 127.0.0.1; the display goes on,
  // also after a reload.
  const cookies = await page.context().cookies(vt.origin);
  assert.ok(cookies.some((c) => c.name === `vt_token_${vt.port}`), 'the other server set its cookie');
  await page.reload();
  await page.waitForSelector('[data-control="address"]');
  const frame = await show(`file://${join(vt.home, 'pages', 'noscript.html')}`);
  assert.equal(await frame.textContent('#ok'), 'ok');
  assert.equal(new URL(page.url()).search, '');
});
