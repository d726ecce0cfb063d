// How long the band takes from a completed document to the finished filter tree in the display,
// for a page of 1999 elements, and how quickly the display is answered meanwhile.
//
//   node bench/band/band_display.mjs [path/to/vellumtrace] [runs]
//
// Runs `vellumtrace run` on a fresh home with Debian's Chromium as the display (playwright-core
// from tests/e2e/node_modules; run `npm ci` there first). Each run navigates to the page anew
// (a distinct query, so nothing is cached) and measures, in the display:
//   complete: the page's window stops being busy (the browser's DocumentComplete)
//   tree:     the filter tree shows "Tables (1)" for the page
// While it waits it sends the display's ping every 20 ms and reports the slowest answer: the UI thread
// answers the display between the parser's steps, so that figure is how long the display can
// stay without an answer.
import { createServer } from 'node:http';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, '..', '..');
process.env.VT_EXE = process.argv[2] || process.env.VT_EXE || join(root, 'build', 'bin', 'vellumtrace');
const runs = Number(process.argv[3] || 5);
const { openDisplay } = await import(join(root, 'tests', 'e2e', 'lib', 'display.mjs'));

// html, head, title, body, table, tbody: 6 elements; 664 rows of two cells: 1992; one link: 1999.
function bigPage() {
  let rows = '';
  for (let r = 0; r < 664; r++) rows += `<tr><td>r${r} a</td><td>r${r} b</td></tr>`;
  return `<html><head><title>Big</title></head><body><table>${rows}</table><a href="/x">x</a></body></html>`;
}
const page1999 = bigPage();

const server = createServer((req, res) => {
  res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  res.end(req.url.startsWith('/big') ? page1999 : '<html><body>blank</body></html>');
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const site = `http://127.0.0.1:${server.address().port}`;

const display = await openDisplay({ viewport: { width: 1280, height: 860 } });
const { page } = display;
await page.waitForSelector('.band-site [data-control="tv"]');

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const results = [];
try {
  for (let i = 0; i < runs; i++) {
    // Leave the page first, so the tree is empty when the big page starts.
    await page.fill('[data-control="address"]', `${site}/blank?${i}`);
    await page.press('[data-control="address"]', 'Enter');
    await page.waitForFunction(() => document.querySelectorAll('.band-site [data-control="tv"] [data-node]').length === 0);
    await page.waitForTimeout(600);
    const r = await page.evaluate(async (url) => {
      const t0 = performance.now();
      const input = document.querySelector('[data-control="address"]');
      input.value = url;
      input.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true }));
      let complete = null;
      let tree = null;
      let slowest = 0;
      let polls = 0;
      while (tree === null && performance.now() - t0 < 30000) {
        const s = performance.now();
        await fetch('/api/input', { method: 'POST', headers: { 'Content-Type': 'application/json' },
          body: JSON.stringify({ type: 'ping' }) });
        slowest = Math.max(slowest, performance.now() - s);
        polls++;
        const app = window.vellumtrace;
        const w = (app.activeWindow() || [...app.windows.values()][0]).state;
        if (complete === null && w.url === url && !w.busy) complete = performance.now();
        const rows = [...document.querySelectorAll('.band-site [data-control="tv"] [data-node]')]
          .map((n) => n.textContent);
        if (rows.some((t) => t.includes('Tables (1)'))) tree = performance.now();
        await new Promise((res) => setTimeout(res, 20));
      }
      return { load: complete - t0, tree: tree - complete, slowest, polls };
    }, `${site}/big?${i}`);
    results.push(r);
    console.log(`run ${i + 1}: page loaded ${r.load.toFixed(0)} ms, DocumentComplete -> tree ${r.tree.toFixed(0)} ms, slowest display answer ${r.slowest.toFixed(0)} ms over ${r.polls} polls`);
  }
  console.log(`\n1999-element page, ${runs} runs (median): DocumentComplete -> finished tree in the display ` +
    `${median(results.map((r) => r.tree)).toFixed(0)} ms; slowest answer to the display meanwhile ` +
    `${median(results.map((r) => r.slowest)).toFixed(0)} ms (the band's timer ticks every 250 ms, so up to ` +
    `250 ms of the first figure is the wait for the next tick)`);
} finally {
  await display.close();
  server.close();
}
