// The display of a fresh `vellumtrace run` in Debian's Chromium, and the waiting the display
// tests share.
import assert from 'node:assert/strict';
import { launchChromium } from './chromium.mjs';
import { startVellumtrace } from './shell-run.mjs';

// Starts Vellumtrace and opens its display; `close()` ends both and answers Vellumtrace's exit.
// `permissions`: what the display's page may use without asking (e.g. 'clipboard-read').
export async function openDisplay({ viewport = { width: 1280, height: 800 }, env = {}, permissions = [] } = {}) {
  const vt = await startVellumtrace({ env });
  const browser = await launchChromium();
  const page = await (await browser.newContext({ viewport, permissions })).newPage();
  await page.goto(vt.address);
  await page.waitForSelector('[data-control="address"]');
  return {
    vt, browser, page,
    async close() {
      await browser.close();
      return vt.stop();
    },
  };
}

// Polls `fn` until it answers something truthy, which it returns.
export async function until(fn, what, ms = 15000, every = 50) {
  const end = Date.now() + ms;
  for (;;) {
    const v = await fn();
    if (v) return v;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, every));
  }
}

// Ends a display test's run: closes the browser, stops Vellumtrace (which must end with 0) and
// closes the test's own web server. Each part may be missing when the start failed half way.
export async function endRun({ browser, vt, server } = {}) {
  if (browser) await browser.close();
  if (server) server.close();
  if (!vt) return null;
  const result = await vt.stop();
  assert.equal(result.code, 0, `vellumtrace did not end cleanly:\n${vt.stderr}`);
  return result;
}
