// The page as an installable offline app, in Debian's Chromium through
// playwright-core: over http the service worker installs and caches the
// page's files, the page then loads and converts with the network off, and
// a page published anew is taken on the next loads; the browser loads the
// web app manifest (under the page's Content-Security-Policy), which is
// valid, and its icons load at their sizes; from file:// none of this is
// there. And the npm package imports in a module script of a page. A server
// this test starts serves the built page, or a copy of it.
//   VELTRANE_SITE=build/web/web/site VELTRANE_NPM_PACKAGE=build/web/web/package \
//   node --test tests/web/app.test.mjs
import assert from 'node:assert/strict';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { pathToFileURL } from 'node:url';

import { chromium } from 'playwright-core';

import { serve } from './serve.mjs';
import { packageFolder, site } from './support.mjs';

const CHROMIUM = process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium';
// The page's files besides sw.js, which the worker caches, and the folder.
const CACHED = ['', 'index.html', 'veltrane.css', 'veltrane.js', 'veltrane.webmanifest',
  'icon-192.png', 'icon-512.png'];

let browser;
const cleanups = [];
before(async () => {
  browser = await chromium.launch({ executablePath: CHROMIUM });
});
after(async () => {
  for (const cleanup of cleanups.reverse()) await cleanup();
  await browser?.close();
});

// A copy of the built page in a folder of its own, which a test may change.
function copyOfSite() {
  const folder = mkdtempSync(path.join(tmpdir(), 'veltrane-site-'));
  cpSync(site(), folder, { recursive: true });
  cleanups.push(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

async function served(folder) {
  const server = await serve(folder);
  cleanups.push(() => server.close());
  return server;
}

// A fresh browser context and page that collects console errors.
async function openContext() {
  const context = await browser.newContext();
  cleanups.push(() => context.close());
  const page = await context.newPage();
  const problems = [];
  page.on('console', (m) => m.type() === 'error' && problems.push(m.text()));
  page.on('pageerror', (error) => problems.push(error.message));
  return { context, page, problems };
}

// Waits until the page's service worker is active and controls the page;
// returns the names of the caches and the URLs the worker's cache holds.
async function installed(page) {
  await page.evaluate(() => navigator.serviceWorker.ready.then(() => true));
  await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
  return page.evaluate(async () => {
    const names = await caches.keys();
    const held = names.length === 1 ? await (await caches.open(names[0])).keys() : [];
    return { names, held: held.map((request) => request.url) };
  });
}

async function convertTyped(page, numeral) {
  await page.getByRole('textbox', { name: 'Numeral', exact: true }).fill(numeral);
  await page.keyboard.press('Enter');
  return page.getByRole('textbox', { name: 'Result', exact: true }).inputValue();
}

test('over http the worker caches the page, which then loads and converts offline', async () => {
  const server = await served(site());
  const { context, page, problems } = await openContext();
  await page.goto(`${server.url}index.html`);
  const { names, held } = await installed(page);
  assert.equal(names.length, 1);
  assert.match(names[0], /^veltrane-[0-9a-f]{16}$/);
  assert.deepEqual(held.sort(), CACHED.map((name) => server.url + name).sort());

  // No network, and no server either: what loads comes from the worker.
  await context.setOffline(true);
  await server.close();
  await page.reload();
  await page.evaluate(() => globalThis.veltrane.ready.then(() => true));
  assert.equal(await convertTyped(page, '255'), 'FF');
  // A link to a conversion, in a new tab, and the address the app starts at.
  const tab = await context.newPage();
  await tab.goto(`${server.url}index.html#numeral=255.5&from=10&to=2`);
  await tab.waitForFunction(() => document.getElementById('result').value !== '');
  assert.equal(await tab.locator('#result').inputValue(), '11111111.1');
  await tab.goto(server.url);
  assert.equal(await convertTyped(tab, '-0.5'), '-0.8');
  assert.deepEqual(problems, []);
});

test('a page published anew is taken: a new worker, its files, the old cache gone', async () => {
  const folder = copyOfSite();
  const server = await served(folder);
  const { page } = await openContext();
  await page.goto(`${server.url}index.html`);
  const first = await installed(page);
  assert.equal(await page.title(), 'Veltrane');

  // Publish: a changed page, and so (as the build writes it) a new sw.js.
  const index = path.join(folder, 'index.html');
  writeFileSync(index, readFileSync(index, 'utf8').replace('<title>Veltrane</title>',
    '<title>Veltrane, anew</title>'));
  const worker = path.join(folder, 'sw.js');
  const version = /const VERSION = '([0-9a-f]{16})';/.exec(readFileSync(worker, 'utf8'));
  assert.ok(version, 'sw.js states no version');
  writeFileSync(worker, readFileSync(worker, 'utf8').replace(version[1], 'feedfacefeedface'));

  // Still the old version while the old worker serves; the browser checks
  // sw.js on this load and installs the new worker.
  await page.reload();
  assert.equal(await page.title(), 'Veltrane');
  let names = first.names;
  for (let i = 0; i < 100 && names.join() !== 'veltrane-feedfacefeedface'; i++) {
    await page.waitForTimeout(100);
    names = await page.evaluate(() => caches.keys());
  }
  assert.deepEqual(names, ['veltrane-feedfacefeedface']);
  await page.reload();
  assert.equal(await page.title(), 'Veltrane, anew');
  assert.equal(await convertTyped(page, '255'), 'FF');
});

// The browser's own reading of the page's manifest (it fetches it under the
// page's Content-Security-Policy), through the DevTools protocol.
async function appManifest(page) {
  const session = await page.context().newCDPSession(page);
  return session.send('Page.getAppManifest');
}

test('the browser loads a valid manifest, and its icons load at their sizes', async () => {
  const server = await served(site());
  const { page, problems } = await openContext();
  await page.goto(`${server.url}index.html`);
  const { url, errors, data } = await appManifest(page);
  assert.equal(url, `${server.url}veltrane.webmanifest`);
  assert.deepEqual(errors, []);
  const manifest = JSON.parse(data);
  assert.equal(manifest.name, 'Veltrane');
  assert.equal(manifest.display, 'standalone');
  assert.equal(new URL(manifest.start_url, url).href, server.url);
  assert.match(manifest.theme_color, /^#[0-9a-f]{6}$/);
  assert.match(manifest.background_color, /^#[0-9a-f]{6}$/);
  assert.deepEqual(manifest.icons.map((icon) => [icon.sizes, icon.type]),
    [['192x192', 'image/png'], ['512x512', 'image/png']]);
  // Each icon, loaded as an image by the page (its policy allows it) and
  // decoded at the size the manifest states.
  for (const icon of manifest.icons) {
    const size = await page.evaluate(async (src) => {
      const image = new Image();
      image.src = src;
      await image.decode();
      return `${image.naturalWidth}x${image.naturalHeight}`;
    }, new URL(icon.src, url).href);
    assert.equal(size, icon.sizes);
  }
  // Theme colours for light and dark.
  const themes = await page.evaluate(() => [...document.querySelectorAll('meta[name="theme-color"]')]
    .map((meta) => [meta.media, meta.content]));
  assert.deepEqual(themes.map(([media]) => media),
    ['(prefers-color-scheme: light)', '(prefers-color-scheme: dark)']);
  assert.notEqual(themes[0][1], themes[1][1]);
  assert.deepEqual(problems, []);
});

test('the policy allows the manifest and the worker, and nothing more than before', async () => {
  const policy = /http-equiv="Content-Security-Policy" content="([^"]*)"/
    .exec(readFileSync(path.join(site(), 'index.html'), 'utf8'))[1];
  const directives = Object.fromEntries(policy.split(/; */).map((d) => {
    const [name, ...values] = d.trim().split(/ +/);
    return [name, values.join(' ')];
  }));
  assert.deepEqual(directives, {
    'default-src': "'none'",
    'script-src': "'self' 'wasm-unsafe-eval'",
    'style-src': "'self'",
    'img-src': "'self' data:",
    'manifest-src': "'self'",
    'worker-src': "'self'",
    'base-uri': "'none'",
    'form-action': "'none'",
  });

  // Without manifest-src the browser refuses the manifest: so the check
  // above saw it really loaded.
  const folder = copyOfSite();
  const index = path.join(folder, 'index.html');
  writeFileSync(index, readFileSync(index, 'utf8').replace(" manifest-src 'self';", ''));
  const server = await served(folder);
  const { page } = await openContext();
  await page.goto(`${server.url}index.html`);
  const refused = await appManifest(page);
  assert.ok(refused.errors.length > 0 || !refused.data, JSON.stringify(refused));
});

test('from file:// there is no worker, and the page converts as ever', async () => {
  const { page, problems } = await openContext();
  await page.goto(pathToFileURL(path.join(site(), 'index.html')).href);
  await page.evaluate(() => globalThis.veltrane.ready.then(() => true));
  await page.waitForLoadState('load');
  assert.equal(await convertTyped(page, '255'), 'FF');
  await page.waitForTimeout(300);
  assert.equal(await page.evaluate(() => navigator.serviceWorker?.controller ?? null), null);
  assert.deepEqual(problems, []);
});

test('the npm package imports in a browser\'s module script and converts', async () => {
  const folder = mkdtempSync(path.join(tmpdir(), 'veltrane-module-page-'));
  cleanups.push(() => rmSync(folder, { recursive: true, force: true }));
  cpSync(path.join(packageFolder(), 'index.js'), path.join(folder, 'veltrane.js'));
  writeFileSync(path.join(folder, 'index.html'), `<!DOCTYPE html><html lang="en"><head>
<meta charset="utf-8"><title>module</title>
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; script-src 'self' 'wasm-unsafe-eval'">
<script type="module" src="main.js"></script></head><body><output></output></body></html>`);
  writeFileSync(path.join(folder, 'main.js'), `import { convert, convertMany, NumeralError, version } from './veltrane.js';
let rule = null;
try { convert('12G', { from: 16 }); } catch (error) { if (error instanceof NumeralError) rule = error.rule; }
document.querySelector('output').value = JSON.stringify([version, convert('255.5', { to: 2 }),
  convertMany(['1e4930', 'x'], { to: 10 }), rule]);
`);
  const server = await served(folder);
  const { page, problems } = await openContext();
  await page.goto(`${server.url}index.html`);
  await page.waitForFunction(() => document.querySelector('output').value !== '');
  assert.deepEqual(JSON.parse(await page.locator('output').textContent()),
    ['1.0.0', '11111111.1', ['+INF', null], 'digit_too_large']);
  assert.deepEqual(problems, []);
});
