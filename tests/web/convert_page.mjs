// Opens a page folder's index.html from disk in headless Chromium, types a
// numeral, presses Enter and prints the result (the package checks).
//   node convert_page.mjs FOLDER NUMERAL
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { chromium } from 'playwright-core';

const [folder, numeral] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium' });
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  await page.goto(pathToFileURL(path.resolve(folder, 'index.html')).href);
  await page.evaluate(() => globalThis.veltrane.ready.then(() => true));
  await page.keyboard.type(numeral);
  await page.keyboard.press('Enter');
  console.log(await page.getByRole('textbox', { name: 'Result', exact: true }).inputValue());
  if (errors.length) {
    console.error(errors.join('\n'));
    process.exitCode = 1;
  }
} finally {
  await browser.close();
}
