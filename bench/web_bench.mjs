// JavaScript's Veltrane, its size and speed: the weight of the page's files
// and of the npm package; the time from loading the page to its first
// result in headless Chromium (served from http://127.0.0.1 and opened from
// disk); convertMany in Node against the native veltrane-cli of the soft
// build (the whole process, reading the same corpus file) on six pairs of
// bases, in the same run; the cost of one convert call; and explain's rate.
//   cmake --preset web && cmake --build --preset web && bash tests/web/npm_ci.sh
//   cmake --preset soft && cmake --build --preset soft --target veltrane-cli
//   node bench/web_bench.mjs [--count N] [--loads N] [--no-page]
// (--count: numerals per pair of bases; --loads: page loads in each of
// three rounds, alternating with the floor's)
// Budgets: 200 KB for the page; a first result within 300 ms; convertMany
// at least half the numerals a second of veltrane-cli on every pair; 2 us
// for one convert. The last lines say which were met. Not a test: timings
// depend on the machine and its load.
import { spawnSync } from 'node:child_process';
import {
  closeSync, mkdtempSync, openSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync,
} from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { pathToFileURL } from 'node:url';

import { random, repo } from '../tests/web/support.mjs';
import { serve } from '../tests/web/serve.mjs';

const { values: options } = parseArgs({
  options: {
    site: { type: 'string', default: path.join(repo, 'build/web/web/site') },
    package: { type: 'string', default: path.join(repo, 'build/web/web/package') },
    cli: { type: 'string', default: path.join(repo, 'build/soft/cli/veltrane-cli') },
    count: { type: 'string', default: '200000' },
    loads: { type: 'string', default: '5' },
    'no-page': { type: 'boolean', default: false },
  },
});
const site = path.resolve(options.site);
const packageFolder = path.resolve(options.package);
const require = createRequire(path.join(repo, 'tests/web/package.json'));

const KB = 1000;
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const perSecond = (n) => Math.round(n).toLocaleString('en');
const verdicts = [];
const scratch = mkdtempSync(path.join(tmpdir(), 'veltrane-bench-'));
process.on('exit', () => rmSync(scratch, { recursive: true, force: true }));

// --- Size ---
let total = 0;
console.log('Page files (bytes, before compression):');
for (const name of readdirSync(site).sort()) {
  const size = statSync(path.join(site, name)).size;
  total += size;
  console.log(`  ${String(size).padStart(8)}  ${name}`);
}
console.log(`  ${String(total).padStart(8)}  in all`);
verdicts.push([`page ${(total / KB).toFixed(1)} KB`, total <= 200 * KB, '200 KB']);
spawnSync('npm', ['pack', '--silent', '--pack-destination', scratch, packageFolder]);
const tarball = readdirSync(scratch).find((name) => name.endsWith('.tgz'));
console.log(`npm package: index.js ${statSync(path.join(packageFolder, 'index.js')).size} bytes, ` +
  `${tarball} ${tarball ? statSync(path.join(scratch, tarball)).size : '?'} bytes`);

// --- Load to first result ---
// The script marks 'veltrane-first-result' when its first result is shown;
// the time is counted from the start of the navigation. The floor is the
// same measure on a page of the same three files that converts nothing (its
// deferred script only sets the mark): what the browser takes on this
// machine before any script of the page runs.
async function pageTimes() {
  const { chromium } = require('playwright-core');
  const floorSite = path.join(scratch, 'floor');
  spawnSync('mkdir', ['-p', floorSite]);
  writeFileSync(path.join(floorSite, 'index.html'), '<!DOCTYPE html><html lang="en"><head>' +
    '<meta charset="utf-8"><title>floor</title><link rel="stylesheet" href="veltrane.css">' +
    '<script src="veltrane.js" defer></script></head><body><p>floor</p></body></html>');
  writeFileSync(path.join(floorSite, 'veltrane.css'), 'p { color: gray; }');
  writeFileSync(path.join(floorSite, 'veltrane.js'), "performance.mark('veltrane-first-result');");

  const browser = await chromium.launch({
    executablePath: process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium',
  });
  const servers = [await serve(site), await serve(floorSite)];
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
      ['file://', fileUrl(site) + state, fileUrl(floorSite)]]) {
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
  }
}
if (!options['no-page']) await pageTimes();

// --- convertMany against veltrane-cli ---
// The corpus of bench/cli_vs_mpfr.py's "wide" kind: numerals of up to 28
// characters whose exponents spread the values over the whole double range,
// a few with an '@' suffix, zeros now and then.
const DIGITS = '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ';
function wideNumeral(rng, base) {
  if (rng() < 0.002) return rng.pick(['0', '-0', '0.0', '000', base < 15 ? '0e1' : '0_1']);
  const sign = rng() < 0.35 ? '-' : '';
  let suffix = '';
  if (rng() < 0.03) {
    suffix = '@' + (base >= 10 && base <= 35 && rng() < 0.5 ? DIGITS[base].toLowerCase() : base);
  }
  let exponentText = '';
  if (rng() < 0.706) {
    const exponent = Math.round((rng() * 600 - 300) / Math.log10(base));
    const marker = base < 15 ? rng.pick(['e', 'E', '_']) : '_';
    const exponentSign = exponent < 0 ? (rng() < 0.1 ? '-+' : '-') : rng() < 0.05 ? '+' : '';
    exponentText = marker + exponentSign + Math.abs(exponent).toString(base).toUpperCase();
  }
  const room = 28 - sign.length - suffix.length - exponentText.length;
  const count = Math.min(1 + rng.int(22) + (rng() < 0.2 ? 1 : 0), room - 1);
  let mantissa = '';
  for (let i = 0; i < count; i++) {
    const c = DIGITS[rng.int(base)];
    mantissa += rng() < 0.5 ? c.toLowerCase() : c;
  }
  if (rng() < 0.6) {
    const point = rng.int(count);
    mantissa = mantissa.slice(0, point) + '.' + mantissa.slice(point);
  }
  return sign + mantissa + exponentText + suffix;
}

const api = await import(pathToFileURL(path.join(packageFolder, 'index.js')).href);
const PAIRS = [[10, 16], [16, 10], [10, 2], [2, 10], [36, 7], [10, 10]];
const count = Number(options.count);
const rng = random(20261209);
const sink = openSync('/dev/null', 'w');
console.log(`convertMany in Node against ${path.relative(repo, options.cli)} (whole process, ` +
  `reading the corpus file), ${count.toLocaleString('en')} numerals a pair, medians of 5 runs:`);
// The same texts from convertMany as from veltrane-cli, or the pair is not
// compared at all. A function of its own, so that both lists of texts are
// garbage before the timed runs: kept alive, they would make every
// collection during convertMany's runs dearer.
function checkSameTexts(numerals, file, from, to) {
  const expected = spawnSync(options.cli, ['--from', String(from), '--to', String(to)],
    { input: readFileSync(file), maxBuffer: 1 << 30 }).stdout.toString().split('\n');
  const got = api.convertMany(numerals, { from, to });
  const differ = got.findIndex((text, i) => (text ?? 'ERROR') !== expected[i]);
  if (differ >= 0) {
    throw new Error(`${from}->${to}: ${JSON.stringify(numerals[differ])} gives ` +
      `${got[differ]}, veltrane-cli ${expected[differ]}`);
  }
}

let worst = Infinity;
let firstCorpus = null;
for (const [from, to] of PAIRS) {
  const file = path.join(scratch, `corpus-${from}-${to}.txt`);
  writeFileSync(file, Array.from({ length: count }, () => wideNumeral(rng, from)).join('\n') + '\n');
  // The numerals as a program reads them from that file: its lines.
  const numerals = readFileSync(file, 'utf8').split('\n').slice(0, count);
  firstCorpus ??= numerals;
  checkSameTexts(numerals, file, from, to);
  const cliRates = [];
  const jsRates = [];
  for (let run = 0; run < 5; run++) {
    const input = openSync(file, 'r');
    let start = process.hrtime.bigint();
    spawnSync(options.cli, ['--from', String(from), '--to', String(to)],
      { stdio: [input, sink, 'ignore'] });
    cliRates.push(count / (Number(process.hrtime.bigint() - start) / 1e9));
    closeSync(input);
    start = process.hrtime.bigint();
    api.convertMany(numerals, { from, to });
    jsRates.push(count / (Number(process.hrtime.bigint() - start) / 1e9));
  }
  const ratio = median(jsRates) / median(cliRates);
  worst = Math.min(worst, ratio);
  console.log(`  ${String(from).padStart(2)}->${String(to).padEnd(2)}  convertMany ` +
    `${perSecond(median(jsRates)).padStart(10)}/s  veltrane-cli ` +
    `${perSecond(median(cliRates)).padStart(10)}/s  ratio ${ratio.toFixed(2)}`);
}
closeSync(sink);
verdicts.push([`convertMany at ${worst.toFixed(2)} of veltrane-cli's rate (worst pair)`,
  worst >= 0.5, '0.5 x cli']);

// --- One convert call, and explain ---
const calls = Math.min(count, 200000);
const callTime = () => {
  const start = process.hrtime.bigint();
  for (let i = 0; i < calls; i++) {
    try {
      api.convert(firstCorpus[i]);
    } catch {
      // A numeral that gives no value costs a second pass for its message.
    }
  }
  return Number(process.hrtime.bigint() - start) / calls / 1000;
};
callTime();
const single = median([callTime(), callTime(), callTime()]);
console.log(`One convert call (10->16): ${single.toFixed(3)} us (median of 3 runs of ` +
  `${calls.toLocaleString('en')})`);
verdicts.push([`convert ${single.toFixed(2)} us a call`, single <= 2, '2 us']);
const explained = (() => {
  const n = Math.min(calls, 20000);
  const start = process.hrtime.bigint();
  for (let i = 0; i < n; i++) api.explain(firstCorpus[i]);
  return n / (Number(process.hrtime.bigint() - start) / 1e9);
})();
console.log(`explain (the --json facts): ${perSecond(explained)}/s`);

for (const [what, met, budget] of verdicts) {
  console.log(`${met ? 'within' : 'OVER  '} budget ${budget.padEnd(10)} ${what}`);
}
