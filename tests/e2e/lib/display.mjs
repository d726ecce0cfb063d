// The display of a fresh `vellumtrace run` in Debian's Chromium, and the waiting the display
// tests share.
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
