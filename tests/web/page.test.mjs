// The page in Debian's Chromium, driven through playwright-core with real
// keystrokes and clicks, and found by roles and names as a screen reader
// finds its controls. Every check runs twice: on the page served from
// http://127.0.0.1 by a server this test starts and stops, and on the page
// opened from disk (file://). Every page must load nothing but its own
// files, log no error and open no blocking box.
//   VELTRANE_SITE=build/web/web/site VELTRANE_CLI=build/soft/cli/veltrane-cli \
//   node --test tests/web/page.test.mjs
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { pathToFileURL } from 'node:url';
import path from 'node:path';

import { chromium } from 'playwright-core';

import { cliJson, site } from './support.mjs';
import { serve } from './serve.mjs';

const CHROMIUM = process.env.VELTRANE_CHROMIUM || '/usr/bin/chromium';

let browser;
let server;
before(async () => {
  browser = await chromium.launch({ executablePath: CHROMIUM });
  server = await serve(site());
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// veltrane-cli's --json facts for one numeral.
function cli(numeral, from, to, scientific = 0) {
  const [{ json, message }] = cliJson([numeral], from, to, scientific);
  return { ...JSON.parse(json), message };
}

// Opens the page at url (its path, with any #state) in a fresh browser
// context, waits for the module, runs body(page), closes the context, and
// then checks what the page did meanwhile.
async function withPage(url, body, options = {}) {
  const context = await browser.newContext({
    viewport: options.viewport || { width: 1000, height: 900 },
    colorScheme: options.colorScheme || 'light',
    permissions: ['clipboard-read', 'clipboard-write'],
  });
  const page = await context.newPage();
  const problems = [];
  const requests = [];
  page.on('console', (m) => {
    if (m.type() === 'error' || m.type() === 'warning') problems.push(`${m.type()}: ${m.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`error: ${error.message}`));
  page.on('dialog', (dialog) => {
    problems.push(`a blocking box: ${dialog.message()}`);
    dialog.dismiss();
  });
  page.on('request', (request) => requests.push(request.url()));
  try {
    await page.goto(url);
    await page.evaluate(() => globalThis.veltrane.ready.then(() => true));
    await body(page);
  } finally {
    await context.close();
  }
  assert.deepEqual(problems, []);
  const folder = url.slice(0, url.lastIndexOf('/') + 1);
  for (const request of requests) {
    assert.ok(request.startsWith(folder) || request.startsWith('data:'),
      `a request outside the page's files: ${request}`);
  }
}

// The controls, by role and name.
const numeralField = (page) => page.getByRole('textbox', { name: 'Numeral', exact: true });
const resultField = (page) => page.getByRole('textbox', { name: 'Result', exact: true });
const baseBox = (page, which) => page.getByRole('combobox', { name: `${which} base`, exact: true });
const notation = (page, which) => page.getByRole('radio', { name: `${which} notation` });
const convertButton = (page) => page.getByRole('button', { name: 'Convert', exact: true });
const status = (page) => page.getByRole('status');

async function typeInto(page, field, text) {
  await field.click();
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Backspace');
  await page.keyboard.type(text);
}

async function checked(page) {
  return [await notation(page, 'Standard').isChecked(), await notation(page, 'Scientific').isChecked()];
}

// The focused control, named for the Tab order check.
function focusName(page) {
  return page.evaluate(() => {
    const e = document.activeElement;
    if (e.type === 'radio') return `radio ${e.value}`;
    return e.id || e.tagName.toLowerCase();
  });
}

const pages = {
  'http://127.0.0.1': () => `${server.url}index.html`,
  'file://': () => pathToFileURL(path.join(site(), 'index.html')).href,
};

for (const [origin, pageUrl] of Object.entries(pages)) {
  describe(`the page from ${origin}`, () => {
    test('typing, then Enter, Alt+C and the Convert button convert', async () => {
      await withPage(pageUrl(), async (page) => {
        assert.equal(await focusName(page), 'numeral');
        assert.deepEqual(await checked(page), [false, false]);
        await page.keyboard.type('255');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), 'FF');
        assert.deepEqual(await checked(page), [true, false]);
        assert.equal(await status(page).textContent(), 'Result: FF, standard notation');

        await typeInto(page, baseBox(page, 'Output'), '2');
        assert.equal(await resultField(page).inputValue(), '');
        await page.keyboard.press('Alt+C');
        assert.equal(await resultField(page).inputValue(), '11111111');
        assert.equal(await focusName(page), 'numeral');

        await typeInto(page, numeralField(page), '-0.5');
        await convertButton(page).click();
        assert.equal(await resultField(page).inputValue(), cli('-0.5', 10, 2).text);
        assert.equal(await focusName(page), 'numeral');
      });
    });

    test('Tab goes through every control in order, its focus always shown', async () => {
      await withPage(pageUrl(), async (page) => {
        const order = ['numeral', 'from', 'result', 'to', 'radio standard', 'convert', 'copy',
          'summary'];
        const ring = () => page.evaluate(() => {
          const style = getComputedStyle(document.activeElement);
          return style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2;
        });
        assert.equal(await focusName(page), order[0]);
        for (const name of order.slice(1)) {
          await page.keyboard.press('Tab');
          assert.equal(await focusName(page), name);
          assert.ok(await ring(), `no focus ring on ${name}`);
        }
        for (const name of order.slice(0, -1).reverse()) {
          await page.keyboard.press('Shift+Tab');
          assert.equal(await focusName(page), name);
        }
        // In the radio group the arrows move, and the checked button is the
        // group's stop.
        for (let i = 0; i < 4; i++) await page.keyboard.press('Tab');
        await page.keyboard.press('ArrowRight');
        assert.equal(await focusName(page), 'radio scientific');
        assert.deepEqual(await checked(page), [false, true]);
        await page.keyboard.press('Shift+Tab');
        await page.keyboard.press('Tab');
        assert.equal(await focusName(page), 'radio scientific');
        // Space on Convert converts too.
        await page.keyboard.press('Tab');
        await page.keyboard.press('Space');
        assert.equal(await resultField(page).inputValue(), 'ERROR');
      });
    });

    test('radio clicks clear the result; the switch to scientific stays', async () => {
      await withPage(pageUrl(), async (page) => {
        await typeInto(page, baseBox(page, 'Output'), '10');
        await typeInto(page, numeralField(page), '1e30');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), '1.0e+30');
        assert.deepEqual(await checked(page), [false, true]);

        await typeInto(page, numeralField(page), '5');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), '5.0');
        assert.deepEqual(await checked(page), [false, true]);

        // The checked button, clicked again, clears too.
        await notation(page, 'Scientific').click();
        assert.equal(await resultField(page).inputValue(), '');
        await convertButton(page).click();
        assert.equal(await resultField(page).inputValue(), '5.0');
        await notation(page, 'Standard').click();
        assert.equal(await resultField(page).inputValue(), '');
        await convertButton(page).click();
        assert.equal(await resultField(page).inputValue(), '5');
        assert.deepEqual(await checked(page), [true, false]);
      });
    });

    test('editing any field clears the result and its facts', async () => {
      await withPage(pageUrl(), async (page) => {
        const convertAndClear = async (edit) => {
          await convertButton(page).click();
          assert.equal(await resultField(page).inputValue(), '7B');
          assert.equal(await page.locator('#facts').isVisible(), false);
          // Opening the list works the facts out (the toggle event comes
          // after the click).
          await page.getByText('Explain').click();
          await page.locator('#facts').waitFor({ state: 'visible', timeout: 5000 });
          await edit();
          assert.equal(await resultField(page).inputValue(), '');
          assert.equal(await page.locator('#facts').isVisible(), false);
          assert.equal(await status(page).textContent(), '');
          await page.getByText('Explain').click();
        };
        await numeralField(page).fill('123');
        await convertAndClear(async () => {
          await numeralField(page).click();
          await page.keyboard.press('End');
          await page.keyboard.press('Backspace');
          await page.keyboard.type('3');
        });
        await convertAndClear(async () => {
          await baseBox(page, 'Input').click();
          await page.keyboard.press('End');
          await page.keyboard.type('0');
          await page.keyboard.press('Backspace');
        });
        await convertAndClear(async () => {
          await page.getByRole('button', { name: 'Pick the output base' }).click();
          await page.getByRole('option', { name: '16', exact: true }).click();
        });
      });
    });

    test('a rejected numeral: ERROR, and the rule and column next to the field', async () => {
      await withPage(pageUrl(), async (page) => {
        await typeInto(page, baseBox(page, 'Input'), '16');
        await typeInto(page, numeralField(page), '  12G');
        await page.keyboard.press('Enter');
        const expected = cli('  12G', 16, 16).message;
        assert.equal(expected, '"12G" is not a numeral in base 16: \'G\' at column 3 is not a digit below 16');
        assert.equal(await resultField(page).inputValue(), 'ERROR');
        const problem = page.locator('#numeral-problem');
        assert.equal(await problem.textContent(), expected);
        assert.equal(await problem.isVisible(), true);
        assert.equal(await numeralField(page).getAttribute('aria-invalid'), 'true');
        assert.equal(await numeralField(page).getAttribute('aria-describedby'), 'numeral-problem');
        assert.equal(await status(page).textContent(), `Result: ERROR. ${expected}`);
        // The buttons are set from the notation asked for.
        assert.deepEqual(await checked(page), [true, false]);

        // A base that is no base: ERROR beside that box, buttons untouched.
        await notation(page, 'Scientific').click();
        assert.equal(await problem.isVisible(), false);
        await typeInto(page, numeralField(page), '12');
        await typeInto(page, baseBox(page, 'Output'), '37');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), 'ERROR');
        assert.equal(await page.locator('#to-problem').textContent(),
          "'37' is not a base; give a whole decimal number from 2 to 36");
        assert.equal(await baseBox(page, 'Output').getAttribute('aria-invalid'), 'true');
        assert.equal(await focusName(page), 'to');
        assert.deepEqual(await checked(page), [false, true]);
      });
    });

    test('the numeral field takes 28 characters, typed or pasted', async () => {
      await withPage(pageUrl(), async (page) => {
        const long = '1' + '0'.repeat(39);
        await page.keyboard.type(long);
        assert.equal(await numeralField(page).inputValue(), long.slice(0, 28));
        await page.keyboard.press('Control+A');
        await page.keyboard.insertText('  ' + long);
        assert.equal(await numeralField(page).inputValue(), ('  ' + long).slice(0, 28));
        await page.keyboard.press('Alt+C');
        assert.equal(await resultField(page).inputValue(), cli(('  ' + long).slice(0, 28), 10, 16).text);
      });
    });

    test('bases typed and picked, with the mouse and the keyboard', async () => {
      await withPage(pageUrl(), async (page) => {
        const input = baseBox(page, 'Input');
        const list = page.getByRole('listbox', { name: 'Input bases' });
        assert.deepEqual(await input.inputValue(), '10');
        assert.deepEqual(await baseBox(page, 'Output').inputValue(), '16');

        // The button drops the list of 2 to 36 down; a click picks.
        await page.getByRole('button', { name: 'Pick the input base' }).click();
        assert.equal(await list.isVisible(), true);
        const options = await list.getByRole('option').allTextContents();
        assert.deepEqual(options, Array.from({ length: 35 }, (_, i) => String(i + 2)));
        assert.equal(await input.getAttribute('aria-expanded'), 'true');
        await list.getByRole('option', { name: '36', exact: true }).click();
        assert.equal(await input.inputValue(), '36');
        assert.equal(await list.isVisible(), false);
        assert.equal(await focusName(page), 'from');

        // Alt+Down opens it at the current base; arrows move, Enter picks
        // and does not convert, Escape closes and keeps the text.
        await page.keyboard.press('Alt+ArrowDown');
        assert.equal(await list.isVisible(), true);
        const active = () => input.getAttribute('aria-activedescendant');
        assert.equal(await active(), 'from-list-36');
        await page.keyboard.press('ArrowUp');
        await page.keyboard.press('ArrowUp');
        assert.equal(await active(), 'from-list-34');
        await page.keyboard.press('Enter');
        assert.equal(await input.inputValue(), '34');
        assert.equal(await resultField(page).inputValue(), '');
        await page.keyboard.press('ArrowDown');
        await page.keyboard.press('ArrowDown');
        await page.keyboard.press('Escape');
        assert.equal(await list.isVisible(), false);
        assert.equal(await input.inputValue(), '34');

        // A box takes the 8 characters that are read, typed or from a
        // link: what it shows is the base converted in, or named as no base.
        await typeInto(page, input, '3       4');
        assert.equal(await input.inputValue(), '3       ');
        await typeInto(page, baseBox(page, 'Output'), '000000016');
        await typeInto(page, numeralField(page), '12');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), 'ERROR');
        assert.equal(await page.locator('#to-problem').textContent(),
          "'00000001' is not a base; give a whole decimal number from 2 to 36");
        await typeInto(page, baseBox(page, 'Output'), '10');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), '5');

        // Typed, blanks and all.
        await typeInto(page, input, ' 36 ');
        await typeInto(page, baseBox(page, 'Output'), '2');
        await typeInto(page, numeralField(page), 'zz.z');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), cli('zz.z', 36, 2).text);
      });
    });

    test('the URL holds the state: a link reproduces a conversion; Back and Forward', async () => {
      let link;
      await withPage(pageUrl(), async (page) => {
        await page.keyboard.type('255');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), 'FF');
        const first = await page.evaluate(() => location.href);
        assert.match(first, /#numeral=255&from=10&to=16$/);

        await typeInto(page, baseBox(page, 'Output'), '2');
        await notation(page, 'Scientific').click();
        await typeInto(page, numeralField(page), '-0.5 ');
        await page.keyboard.press('Enter');
        assert.equal(await resultField(page).inputValue(), '-1.0_-1');
        link = await page.evaluate(() => location.href);
        assert.match(link, /#numeral=-0\.5\+&from=10&to=2&notation=scientific$/);

        await page.goBack();
        await page.waitForFunction(() => document.getElementById('result').value === 'FF');
        assert.equal(await numeralField(page).inputValue(), '255');
        assert.equal(await baseBox(page, 'Output').inputValue(), '16');
        assert.deepEqual(await checked(page), [true, false]);
        await page.goForward();
        await page.waitForFunction(() => document.getElementById('result').value === '-1.0_-1');
        assert.equal(await numeralField(page).inputValue(), '-0.5 ');
        assert.deepEqual(await checked(page), [false, true]);
        // Back to the page as it opened: the defaults, no result.
        await page.goBack();
        await page.goBack();
        await page.waitForFunction(() => document.getElementById('numeral').value === '');
        assert.equal(await resultField(page).inputValue(), '');
        assert.equal(await baseBox(page, 'Output').inputValue(), '16');
      });
      await withPage(link, async (page) => {
        await page.waitForFunction(() => document.getElementById('result').value !== '');
        assert.equal(await resultField(page).inputValue(), '-1.0_-1');
        assert.equal(await numeralField(page).inputValue(), '-0.5 ');
        assert.equal(await baseBox(page, 'Output').inputValue(), '2');
        assert.deepEqual(await checked(page), [false, true]);
      });
      // A link's numeral and bases are cut to what the fields hold, never
      // inside a character.
      const long = `${pageUrl()}#numeral=${'1'.repeat(40)}&from=2${' '.repeat(8)}7&to=10`;
      await withPage(long, async (page) => {
        await page.waitForFunction(() => document.getElementById('result').value !== '');
        assert.equal(await numeralField(page).inputValue(), '1'.repeat(28));
        assert.equal(await baseBox(page, 'Input').inputValue(), '2       ');
        assert.equal(await resultField(page).inputValue(), cli('1'.repeat(28), 2, 10).text);
      });
      const emoji = `${pageUrl()}#numeral=${'1'.repeat(27)}%F0%9F%98%80&to=10`;
      await withPage(emoji, async (page) => {
        await page.waitForFunction(() => document.getElementById('result').value !== '');
        assert.equal(await numeralField(page).inputValue(), '1'.repeat(27));
      });
    });

    test('Explain shows the facts of veltrane-cli --json', async () => {
      await withPage(pageUrl(), async (page) => {
        const shown = () => page.locator('#facts dd').evaluateAll((dds) =>
          Object.fromEntries(dds.map((dd) => [dd.dataset.key, dd.querySelector('.value').textContent])));
        await page.getByText('Explain').click();
        for (const [numeral, from, to] of [['0.1', 10, 10], ['0.1', 10, 3], ['1e4930', 10, 16],
          ['12G', 10, 16], ['1_-1000', 16, 2], ['-0', 10, 16], ['1e-4950', 10, 16]]) {
          await typeInto(page, baseBox(page, 'Input'), String(from));
          await typeInto(page, baseBox(page, 'Output'), String(to));
          await typeInto(page, numeralField(page), numeral);
          // The notation asked for: a switch to scientific before stays.
          const asked = Number(await notation(page, 'Scientific').isChecked());
          await page.keyboard.press('Enter');
          const { message, ...json } = cli(numeral, from, to, asked);
          const expected = {};
          for (const [key, value] of Object.entries(json)) {
            if (value !== null && key !== 'exact_complete') expected[key] = String(value);
          }
          // A stored value without a round-trip text gets a row that says so.
          if (json.stored !== null && json.round_trip === null) expected.round_trip = 'none';
          assert.deepEqual(await shown(), expected, numeral);
          if (message) {
            assert.equal(await page.locator('#facts dd[data-key="outcome"] .detail').textContent(),
              message);
          }
          if (json.stored !== null && json.round_trip === null) {
            const reason = page.locator('#facts dd[data-key="round_trip"] .detail');
            assert.equal(await reason.textContent(),
              `no numeral in base ${to} of at most 12,288 bytes reads back to the stored value`);
          }
          if (json.stored) {
            assert.match(await page.locator('#facts dd[data-key="stored"] .detail').textContent(),
              /^sign [01], biased exponent 0x[0-9A-F]{4} \(\d+\), significand 0x[0-9A-F]{16}$/);
          }
        }
      });
    });

    test('Copy puts the result on the clipboard', async () => {
      await withPage(pageUrl(), async (page) => {
        await page.keyboard.type('255.5');
        await page.keyboard.press('Enter');
        await page.getByRole('button', { name: 'Copy result' }).click();
        await page.waitForFunction(() => /^Copied/.test(document.getElementById('status').textContent));
        assert.equal(await page.evaluate(() => navigator.clipboard.readText()), 'FF.8');
      });
    });

    test('a narrow screen, 200 % zoom and dark colours', async () => {
      // 360 px wide, and a 1280 px window at 200 % zoom (640 CSS pixels).
      for (const viewport of [{ width: 360, height: 740 }, { width: 640, height: 400 }]) {
        await withPage(pageUrl(), async (page) => {
          const overflow = await page.evaluate(() =>
            document.documentElement.scrollWidth - document.documentElement.clientWidth);
          assert.equal(overflow, 0, `${viewport.width} px: the page scrolls sideways`);
          for (const control of [numeralField(page), baseBox(page, 'Input'), resultField(page),
            baseBox(page, 'Output'), notation(page, 'Scientific'), convertButton(page)]) {
            const box = await control.boundingBox();
            assert.ok(box.x >= 0 && box.x + box.width <= viewport.width && box.width >= 16,
              `${viewport.width} px: a control lies outside the page`);
          }
          await page.keyboard.type('255');
          await page.keyboard.press('Enter');
          assert.equal(await resultField(page).inputValue(), 'FF');
          // The facts of a rejected numeral quote its bytes in one long run.
          await page.getByText('Explain').click();
          await typeInto(page, numeralField(page), 'é'.repeat(28));
          await page.keyboard.press('Enter');
          assert.equal(await resultField(page).inputValue(), 'ERROR');
          assert.equal(await page.evaluate(() =>
            document.documentElement.scrollWidth - document.documentElement.clientWidth), 0,
          `${viewport.width} px: the facts scroll the page sideways`);
        }, { viewport });
      }
      const background = async (colorScheme) => {
        let colour;
        await withPage(pageUrl(), async (page) => {
          colour = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
        }, { colorScheme });
        return colour;
      };
      assert.notEqual(await background('dark'), await background('light'));
    });
  });
}
