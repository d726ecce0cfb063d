// `vellumtrace filter` on every corpus page, for every entry that `dissect` lists, against an
// independent cut of the same elements by Chromium (scripts off): the served page of a table, row
// or cell holds the text of that element, the page of a link carries its absolute address, the
// page of an image holds one picture, and no request fails or crashes the program.
// Every request re-parses its page, so the whole corpus (about 15,000 entries) takes most of an
// hour on two cores: the test run takes every tenth page; VT_FILTER_CORPUS_PAGES=all takes them
// all, VT_FILTER_CORPUS_PAGES=N the first N.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launchChromium, paths } from './lib/chromium.mjs';

const corpus = paths.corpus;
const exe = process.env.VT_EXE;
const MIN_MATCH = 0.98;

function run(args) {
  return new Promise((resolve) => {
    const child = spawn(exe, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    child.stdout.on('data', (d) => { out += d; });
    child.stderr.on('data', (d) => { err += d; });
    child.on('close', (code, signal) => resolve({ code, signal, out, err }));
  });
}

test('every entry of every corpus page is served and matches Chromium\'s cut', { timeout: 3600000 }, async () => {
  assert.ok(corpus && fs.existsSync(corpus), 'VT_CORPUS_DIR names the corpus');
  let files = fs.readdirSync(corpus).filter((f) => /\.html?$/.test(f)).sort();
  const which = process.env.VT_FILTER_CORPUS_PAGES;
  if (!which) files = files.filter((_, i) => i % 10 === 0);
  else if (which !== 'all') files = files.slice(0, Number(which));
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'vt-filter-corpus-'));
  const browser = await launchChromium();
  const context = await browser.newContext({ javaScriptEnabled: false });
  let checked = 0;
  let matched = 0;
  let served = 0;
  const misses = [];
  try {
    // Two programs at a time; Chromium cuts while they work.
    const jobs = files.map((file) => async () => {
      const page = path.join(corpus, file);
      const dir = path.join(out, file);
      const dissect = spawnSync(exe, ['dissect', page, '--json'], { encoding: 'utf8', maxBuffer: 1 << 28 });
      assert.equal(dissect.status, 0, `${file}: dissect failed: ${dissect.stderr}`);
      const entries = JSON.parse(dissect.stdout).entries;
      const r = await run(['filter', page, '--every', dir]);
      assert.equal(r.signal, null, `${file}: the filter command crashed (${r.signal})`);
      assert.equal(r.code, 0, `${file}: ${r.err}`);
      const pages = entries.map((e) => fs.readFileSync(path.join(dir, `${e.position}.html`), 'latin1'));
      served += pages.filter((p) => p.startsWith('<HTML>')).length;
      assert.ok(pages.every((p) => p.startsWith('<HTML>')), `${file}: an entry was served empty`);
      const tab = await context.newPage();
      try {
        await tab.goto('file://' + page, { waitUntil: 'domcontentloaded', timeout: 60000 });
        const results = await tab.evaluate(([list, answers]) => {
          const squash = (s) => (s || '').replace(/\s+/g, '');
          const tables = document.getElementsByTagName('table');
          return list.map((e, i) => {
            if (e.frame !== 0 || e.table < 0 || e.image < 0 || e.link < 0) return null;
            const served = new DOMParser().parseFromString(answers[i], 'text/html').body;
            if (e.table > 0) {
              const t = tables[e.table - 1];
              let el = t;
              if (e.row > 0) el = t && t.rows[e.row - 1];
              if (e.col > 0) el = el && el.cells[e.col - 1];
              if (!el) return { ok: false, why: 'no such element in Chromium' };
              return { ok: squash(served.textContent).includes(squash(el.textContent)) };
            }
            if (e.image > 0) return { ok: served.querySelectorAll('img').length === 1 };
            if (e.link > 0) {
              const a = document.links[e.link - 1];
              const mine = served.querySelector('a');
              return { ok: !!a && !!mine && mine.getAttribute('href') === a.href, why: `${mine && mine.getAttribute('href')} vs ${a && a.href}` };
            }
            return null;
          });
        }, [entries, pages.map((p) => Buffer.from(p, 'latin1').toString('utf8'))]);
        results.forEach((res, i) => {
          if (!res) return;
          checked++;
          if (res.ok) matched++;
          else if (misses.length < 40) misses.push(`${file} #${entries[i].position}: ${res.why || 'text differs'}`);
        });
      } finally {
        await tab.close();
      }
      fs.rmSync(dir, { recursive: true, force: true });
    });
    const workers = [0, 1].map(async () => {
      while (jobs.length) await jobs.shift()();
    });
    await Promise.all(workers);
  } finally {
    await browser.close();
    fs.rmSync(out, { recursive: true, force: true });
  }
  console.log(`filter corpus: ${files.length} pages, ${served} entries served, ${matched}/${checked} cuts match Chromium`);
  for (const m of misses) console.log(`  ${m}`);
  assert.ok(checked > 0);
  assert.ok(matched / checked >= MIN_MATCH, `${matched}/${checked} match`);
});
