// The page's size and speed: the weight of each file, the time from loading
// the page to its first result in headless Chromium (served from
// http://127.0.0.1 and opened from disk), and the module's conversions per
// second in Node through the page's own script.
//   cmake --preset web && cmake --build --preset web && bash tests/web/npm_ci.sh
//   node bench/web_bench.mjs [--site build/web/web/site] [--count N] [--loads N]
// (--loads: page loads in each of three rounds, alternating with the floor's)
// Budgets: 200 KB in all, a first result within 300 ms, 100,000 conversions
// a second; the last lines say which were met. Not a test: timings depend
// on the machine.
import { mkdtempSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { pathToFileURL } from 'node:url';

import { loadConverter, random, randomNumeral, repo } from '../tests/web/support.mjs';
import { serve } from '../tests/web/serve.mjs';

const { values: options } = parseArgs({
  options: {
    site: { type: 'string', default: path.join(repo, 'build/web/web/site') },
    count: { type: 'string', default: '200000' },
    loads: { type: 'string', default: '5' },
  },
});
process.env.VELTRANE_SITE = path.resolve(options.site);
const require = createRequire(path.join(repo, 'tests/web/package.json'));
const { chromium } = require('playwright-core');

const KB = 1000;
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const verdicts = [];

// --- Size ---
let total = 0;
console.log('Page files (bytes, before compression):');
for (const name of readdirSync(process.env.VELTRANE_SITE).sort()) {
  const size = statSync(path.join(process.env.VELTRANE_SITE, name)).size;
  total += size;
  console.log(`  ${String(size).padStart(8)}  ${name}`);
}
console.log(`  ${String(total).padStart(8)}  in all`);
verdicts.push([`size ${(total / KB).toFixed(1)} KB`, total <= 200 * KB, '200 KB']);

// --- Load to first result ---
// The script marks 'veltrane-first-result' when its first result is shown;
// the time is counted from the start of the navigation. The floor is the
// same measure on a page of the same three files that converts nothing (its
// deferred script only sets the mark): what the browser takes on this
// machine before any script of the page runs.
const floorSite = mkdtempSync(path.join(tmpdir(), 'veltrane-floor-'));
writeFileSync(path.join(floorSite, 'index.html'), '<!DOCTYPE html><html lang="en"><head>' +
  '<meta charset="utf-8"><title>floor</title><link rel="stylesheet" href="veltrane.css">' +
  '<script src="veltrane.js" defer></script></head><body><p>floor</p></body></html>');
writeFileSync(path.join(floorSite, 'veltrane.css'), 'p { color: gray; }');
writeFileSync(path.join(floorSite, 'veltrane.js'),
  "performance.mark('veltrane-first-result');");

const browser = await chromium.launch({ executablePath: process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium' });
const servers = [await serve(process.env.VELTRANE_SITE), await serve(floorSite)];
async function loadTimes(url, converts) {
  const times = [];
  for (let i = 0; i < Number(options.loads); i++) {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(url);
    if (converts) {
      await page.waitForFunction(() => document.getElementById('result').value !== '');
    }
    await page.waitForFunction(() => performance.getEntriesByName('veltrane-first-result').length);
    times.push(await page.evaluate(() =>
      performance.getEntriesByName('veltrane-first-result')[0].startTime));
    await context.close();
  }
  return times;
}
try {
  const state = '#numeral=255.5&from=10&to=16';
  const fileUrl = (folder) => pathToFileURL(path.join(folder, 'index.html')).href;
  for (const [origin, url, floorUrl] of [
    ['http://127.0.0.1', `${servers[0].url}index.html${state}`, `${servers[1].url}index.html`],
    ['file://', fileUrl(process.env.VELTRANE_SITE) + state, fileUrl(floorSite)]]) {
    // Alternately, so that both see the same load on the machine.
    const times = [];
    const floors = [];
    for (let round = 0; round < 3; round++) {
      floors.push(...await loadTimes(floorUrl, false));
      times.push(...await loadTimes(url, true));
    }
    console.log(`Load to first result from ${origin}: median ${median(times).toFixed(1)} ms, ` +
      `worst ${Math.max(...times).toFixed(1)} ms of ${times.length} loads; the floor, ` +
      `median ${median(floors).toFixed(1)} ms`);
    verdicts.push([`first result from ${origin} ${median(times).toFixed(0)} ms (median; ` +
      `floor ${median(floors).toFixed(0)} ms)`, median(times) <= 300, '300 ms']);
  }
} finally {
  await browser.close();
  for (const server of servers) await server.close();
  rmSync(floorSite, { recursive: true });
}

// --- Conversions per second ---
const converter = await loadConverter();
const rng = random(20261209);
const corpus = [];
for (let i = 0; i < 4096; i++) {
  const from = 2 + rng.int(35);
  corpus.push([randomNumeral(rng, from), String(from), String(2 + rng.int(35)), rng() < 0.3 ? 1 : 0]);
}
const count = Number(options.count);
// Conversions as the page runs them (text, notation, message), and with
// the --json facts that the Explain list shows besides.
const rate = (withFacts) => {
  const start = process.hrtime.bigint();
  for (let i = 0; i < count; i++) {
    converter.convert(...corpus[i & 4095]);
    if (withFacts) converter.facts();
  }
  return count / (Number(process.hrtime.bigint() - start) / 1e9);
};
rate(false);  // warm up
const plain = median([rate(false), rate(false), rate(false)]);
const explained = median([rate(true), rate(true), rate(true)]);
const perSecond = (n) => Math.round(n).toLocaleString('en');
console.log(`Module in Node: ${perSecond(plain)} conversions/s, ${perSecond(explained)}/s with ` +
  `the --json facts (median of 3 runs of ${count.toLocaleString('en')} random numerals, every base)`);
verdicts.push([`${perSecond(plain)} conversions/s`, plain >= 100000, '100,000/s']);

for (const [what, met, budget] of verdicts) {
  console.log(`${met ? 'within' : 'OVER  '} budget ${budget.padEnd(10)} ${what}`);
}
