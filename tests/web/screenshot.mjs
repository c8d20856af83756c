// A screenshot of the page opened from disk in headless Chromium, 900 pixels
// wide: with a numeral, typed and converted with Enter, and the Explain list
// open (scripts/run.sh --web --shot; the README's docs/web.png).
//   node screenshot.mjs SITE_FOLDER OUT.png [NUMERAL]
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { chromium } from 'playwright-core';

const [site, out, numeral] = process.argv.slice(2);
if (!site || !out) {
  console.error('usage: node screenshot.mjs SITE_FOLDER OUT.png [NUMERAL]');
  process.exit(2);
}
const browser = await chromium.launch({ executablePath: process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium' });
try {
  const page = await browser.newPage({ viewport: { width: 900, height: 600 } });
  await page.goto(pathToFileURL(path.resolve(site, 'index.html')).href);
  await page.evaluate(() => globalThis.veltrane.ready.then(() => true));
  if (numeral) {
    await page.keyboard.type(numeral);
    await page.keyboard.press('Enter');
    await page.getByText('Explain').click();
    // The focus back in the numeral, as after Convert.
    await page.getByRole('textbox', { name: 'Numeral', exact: true }).focus();
  }
  await page.screenshot({ path: out, fullPage: true });
  console.log(`Screenshot saved to ${out}`);
} finally {
  await browser.close();
}
