// The converter module as the page's script loads it, run in Node against
// veltrane-cli of the soft build: the same texts, notations, --json objects
// and messages, on the other suites' tables and on random numerals over the
// whole grammar; the base boxes read as the dialog reads them; a module with
// no imports and a memory that cannot grow.
//   VELTRANE_SITE=build/web/web/site VELTRANE_CLI=build/soft/cli/veltrane-cli \
//   VELTRANE_RANDOM_NUMERALS=10000 VELTRANE_SEED=1 node --test tests/web/module.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { constants, gzipSync } from 'node:zlib';

import {
  cliJson, cppTableNumerals, loadConverter, moduleBytes, programTables, random, randomNumeral,
  runCli, runPageScript,
} from './support.mjs';

const converter = await loadConverter();
const module = new WebAssembly.Module(moduleBytes());

// Converts numerals with the module and with veltrane-cli and checks that
// they agree: the text and its notation, the message, the --json object
// byte for byte, and the notation the buttons take (the text's, or the one
// asked for when there is no text).
function compareWithCli(numerals, from, to, scientific) {
  const expected = cliJson(numerals, from, to, scientific);
  numerals.forEach((numeral, i) => {
    const what = `${JSON.stringify(numeral)} from ${from} to ${to}, scientific ${scientific}`;
    const got = converter.convert(numeral, String(from), String(to), scientific);
    const json = JSON.parse(expected[i].json);
    assert.equal(got.fault, null, what);
    assert.equal(got.text, json.text, what);
    assert.equal(got.notation, json.notation, what);
    assert.equal(got.message, expected[i].message, what);
    assert.equal(got.scientific, json.notation ? Number(json.notation === 'scientific') : scientific,
      what);
    assert.equal(converter.facts(), expected[i].json, what);
  });
  return numerals.length;
}

test('the module imports nothing, exports its interface and cannot grow', () => {
  assert.deepEqual(WebAssembly.Module.imports(module), []);
  const names = WebAssembly.Module.exports(module).map((e) => e.name).sort();
  assert.deepEqual(names, ['_initialize', 'memory', 'veltrane_base_size', 'veltrane_convert',
    'veltrane_facts', 'veltrane_input_base', 'veltrane_json', 'veltrane_message',
    'veltrane_message_length', 'veltrane_numeral', 'veltrane_numeral_size',
    'veltrane_output_base', 'veltrane_text', 'veltrane_text_length',
    'veltrane_text_notation'].sort());
  const { exports } = new WebAssembly.Instance(module, {});
  exports._initialize();
  assert.throws(() => exports.memory.grow(1), RangeError);
});

test('the script inflates what gzip writes, in every kind of block', () => {
  const { gunzip } = runPageScript();
  const texts = [Buffer.alloc(0), Buffer.from('a'), Buffer.from('abc'.repeat(20000)),
    Buffer.from(Array.from({ length: 70000 }, (_, i) => (i * 7919) >> 3 & 255)), moduleBytes()];
  // Stored blocks, fixed and dynamic codes, and the strategies that favour
  // literals or runs.
  const settings = [{ level: 0 }, { level: 1 }, { level: 9 }, { strategy: constants.Z_FIXED },
    { strategy: constants.Z_HUFFMAN_ONLY }, { strategy: constants.Z_RLE }];
  for (const text of texts) {
    for (const setting of settings) {
      const packed = gzipSync(text, setting);
      assert.deepEqual(Buffer.from(gunzip(packed)), text, `${text.length} bytes, ${JSON.stringify(setting)}`);
    }
  }
  const packed = gzipSync(Buffer.from('abc'.repeat(100)));
  assert.throws(() => gunzip(packed.subarray(0, 12)), /cut short|bad deflate|shorter/);
  assert.throws(() => gunzip(Buffer.from('not gzip')), /not gzip/);
});

test('the dialog texts of the program test', () => {
  const { texts } = programTables();
  for (const [numeral, from, to, scientific, text] of texts) {
    const got = converter.convert(numeral, String(from), String(to), Number(scientific));
    assert.equal(got.text, text, numeral);
    compareWithCli([numeral], from, to, Number(scientific));
  }
});

test('the diagnoses of the program test, with their rule and column', () => {
  const { diagnoses } = programTables();
  for (const [numeral, base, message] of diagnoses) {
    const got = converter.convert(numeral, String(base), '16', 0);
    assert.equal(got.text, 'ERROR', numeral);
    assert.equal(got.message, message, numeral);
  }
  // The longest numeral read, and one byte more, which is not read at all.
  const longest = '7'.repeat(12288);
  assert.equal(converter.convert(longest, '10', '16', 0).message, '');
  const tooLong = converter.convert('7'.repeat(12289), '10', '16', 0);
  assert.equal(JSON.parse(converter.facts()).numeral, null);
  assert.equal(tooLong.message, 'numeral longer than 12288 bytes');
  // A NUL byte, which the random numerals leave out.
  compareWithCli(['1\u00002', '\u0000', ' 5\u0000 '], 10, 16, 0);
});

test('the C++ suites\' table numerals in several pairs of bases', () => {
  const rows = cppTableNumerals();
  assert.ok(rows.length > 150, `only ${rows.length} table rows found`);
  const groups = new Map();
  for (const [numeral, base] of rows) {
    for (const to of [16, 10, 2, 36, 7]) {
      for (const scientific of [0, 1]) {
        const key = `${base} ${to} ${scientific}`;
        if (!groups.has(key)) groups.set(key, []);
        groups.get(key).push(numeral);
      }
    }
  }
  for (const [key, numerals] of groups) compareWithCli(numerals, ...key.split(' ').map(Number));
});

test('random numerals over every base and the whole grammar', (t) => {
  const count = Number(process.env.VELTRANE_RANDOM_NUMERALS || 10000);
  const seed = Number(process.env.VELTRANE_SEED || Date.now() % 1000000);
  const rng = random(seed);
  const perRun = 50;
  let compared = 0;
  let converted = 0;
  while (compared < count) {
    const from = 2 + rng.int(35);
    const to = 2 + rng.int(35);
    const scientific = rng() < 0.3 ? 1 : 0;
    const numerals = Array.from({ length: Math.min(perRun, count - compared) },
      () => randomNumeral(rng, from));
    try {
      compared += compareWithCli(numerals, from, to, scientific);
    } catch (error) {
      error.message += ` (seed ${seed})`;
      throw error;
    }
    converted += numerals.filter((n) =>
      converter.convert(n, String(from), String(to), scientific).notation !== null).length;
  }
  t.diagnostic(`${compared} random numerals equal to veltrane-cli's (seed ${seed}), ` +
    `${converted} of them converted`);
  // The grammar's faults must not crowd out the numbers.
  assert.ok(converted > count / 3, `only ${converted} of ${count} converted`);
});

test('the base boxes as the dialog reads them: 8 characters, then blanks trimmed', () => {
  // Text, what it gives: a base, or null for ERROR.
  const cases = [
    ['2', 2], ['36', 36], ['010', 10], [' 16 ', 16], ['00000016', 16], ['   16   ', 16],
    ['1', null], ['0', null], ['37', null], ['', null], ['        ', null], ['1 6', null],
    ['0x10', null], ['+16', null], ['-16', null], ['16.', null], ['\t16', null], ['é', null],
    ['99999999', null],
    // Only 8 characters are read: seven zeros and 16 read as 1.
    ['000000016', null], ['        16', null], ['16        x', 16], ['0000016é', null],
  ];
  for (const [text, base] of cases) {
    for (const box of ['input', 'output']) {
      const [from, to] = box === 'input' ? [text, '10'] : ['10', text];
      const got = converter.convert('1', from, to, 0);
      if (base === null) {
        assert.equal(got.fault, box, `${box} base ${JSON.stringify(text)}`);
        assert.equal(got.text, 'ERROR');
        assert.equal(converter.facts(), '');
        assert.match(got.message, /give a whole decimal number from 2 to 36$/);
      } else {
        assert.equal(got.fault, null, `${box} base ${JSON.stringify(text)}`);
        assert.equal(JSON.parse(converter.facts())[box === 'input' ? 'from' : 'to'], base);
      }
      // veltrane-cli reads its base options alike where a box holds the
      // whole text.
      if (text.length <= 8 && !text.startsWith('\t')) {
        const cli = runCli(['--json', `--${box === 'input' ? 'from' : 'to'}=${text}`, '1']);
        assert.equal(cli.status === 2, base === null, `veltrane-cli with base ${JSON.stringify(text)}`);
      }
    }
  }
  // The input base is read first; the output base only when it is valid.
  assert.equal(converter.convert('1', '1', '1', 0).fault, 'input');
  assert.equal(converter.convert('1', '', 'x', 0).message,
    'no base; give a whole decimal number from 2 to 36');
  assert.equal(converter.convert('1', '10', '1 6', 0).message,
    "'1 6' is not a base; give a whole decimal number from 2 to 36");
});

test('no state carries over from one conversion to the next', () => {
  const first = converter.convert('1e4930', '10', '16', 1);
  const again = () => converter.convert('12@16', '10', '10', 0);
  const reference = again();
  converter.convert('1_-1000', '16', '2', 0);
  converter.convert('zz', '10', '16', 0);
  assert.deepEqual(again(), reference);
  assert.equal(reference.text, '18');
  assert.equal(first.scientific, 1);
});
