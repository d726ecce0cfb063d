// The document model against Debian's Chromium on every page of the corpus: element, table,
// image and link counts and tag names by source index must agree exactly; the body's rendered
// text (white-space runs folded to one space) must agree on most pages. Pages differ in text
// where their style sheets do more than the model reads of them (it applies display and
// visibility of simple selectors; not text-transform, flex or grid spacing, pseudo-classes);
// the report names them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { launchChromium, paths } from './lib/chromium.mjs';

const corpus = paths.corpus;
const dumpTool = process.env.VT_DOM_DUMP ||
    path.join(paths.binary || '', 'tests/platform/dom/dom_dump');
// Pages whose text must match; the rest are explained by style sheets (see the report).
const MIN_TEXT_MATCHES = 104;
const SAMPLES = 40;

const fold = (s) => s.replace(/\s+/g, ' ').trim();

function modelDump(files) {
  const run = spawnSync(dumpTool, files, { encoding: 'utf8', maxBuffer: 1 << 30 });
  assert.equal(run.status, 0, `dom_dump failed: ${run.stderr}`);
  const byFile = new Map();
  for (const line of run.stdout.split('\n')) {
    if (!line) continue;
    const d = JSON.parse(line);
    byFile.set(path.basename(d.file), d);
  }
  return byFile;
}

async function browserDump(context, file) {
  const page = await context.newPage();
  try {
    await page.goto('file://' + file, { waitUntil: 'domcontentloaded', timeout: 60000 });
    return await page.evaluate(() => ({
      all: document.getElementsByTagName('*').length,
      tables: document.getElementsByTagName('table').length,
      images: document.images.length,
      links: document.links.length,
      tags: Array.from(document.getElementsByTagName('*'), (e) => e.tagName),
      text: document.body ? document.body.innerText : '',
    }));
  } finally {
    await page.close();
  }
}

function sampleIndexes(count) {
  const picks = new Set([0, count - 1]);
  for (let i = 1; i <= SAMPLES; i++) picks.add(Math.floor((i * count) / (SAMPLES + 1)));
  return [...picks].filter((i) => i >= 0 && i < count).sort((a, b) => a - b);
}

test('the document model agrees with Chromium on every corpus page', { timeout: 900000 }, async () => {
  assert.ok(corpus && fs.existsSync(corpus), 'VT_CORPUS_DIR names the corpus');
  assert.ok(fs.existsSync(dumpTool), `dump tool ${dumpTool} is built`);
  const names = fs.readdirSync(corpus).filter((f) => f.endsWith('.html')).sort();
  const files = names.map((n) => path.join(corpus, n));
  const model = modelDump(files);

  const browser = await launchChromium();
  const context = await browser.newContext({ javaScriptEnabled: false });
  // The pages' remote resources are unreachable here: fail them at once instead of waiting.
  await context.route('**/*', (route) =>
    route.request().url().startsWith('file:') ? route.continue() : route.abort());

  const countFailures = [];
  const textMismatches = [];
  try {
    const queue = [...files];
    const worker = async () => {
      while (queue.length) {
        const file = queue.shift();
        const name = path.basename(file);
        const want = await browserDump(context, file);
        const got = model.get(name);
        assert.ok(got, `the model dumped ${name}`);
        for (const key of ['all', 'tables', 'images', 'links']) {
          if (want[key] !== got[key]) countFailures.push(`${name}: ${key} ${got[key]}, browser ${want[key]}`);
        }
        for (const i of sampleIndexes(want.tags.length)) {
          if (want.tags[i] !== got.tags[i]) {
            countFailures.push(`${name}: sourceIndex ${i} is ${got.tags[i]}, browser ${want.tags[i]}`);
          }
        }
        const a = fold(want.text);
        const b = fold(got.text);
        if (a !== b) {
          let i = 0;
          while (i < a.length && a[i] === b[i]) i++;
          textMismatches.push(`${name}: first difference at ${i}: browser "${a.slice(i, i + 60)}" ` +
                              `model "${b.slice(i, i + 60)}"`);
        }
      }
    };
    await Promise.all([worker(), worker()]);
  } finally {
    await browser.close();
  }

  const matched = files.length - textMismatches.length;
  const report = [`pages: ${files.length}`, `text equal: ${matched}`, ...countFailures,
                  'text differences:', ...textMismatches.sort()].join('\n');
  if (paths.output) {
    fs.mkdirSync(paths.output, { recursive: true });
    fs.writeFileSync(path.join(paths.output, 'dom-corpus-report.txt'), report + '\n');
  }
  console.log(report);
  assert.deepEqual(countFailures, [], 'counts and tag names agree on every page');
  assert.ok(matched >= MIN_TEXT_MATCHES, `rendered text equal on ${matched} pages, want ${MIN_TEXT_MATCHES}`);
});
