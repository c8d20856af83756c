// The npm package's API in Node against veltrane-cli of the soft build:
// convert, convertMany, explain and convertDetails give its texts, --json
// objects and messages, on the other suites' tables and on random numerals
// over the whole grammar and every pair of bases; NumeralError, RangeError
// and TypeError where they belong; batches of every shape; base boxes read
// as the dialog reads them.
//   VELTRANE_NPM_PACKAGE=build/web/web/package VELTRANE_CLI=build/soft/cli/veltrane-cli \
//   VELTRANE_RANDOM_NUMERALS=10000 VELTRANE_SEED=1 node --test tests/web/package.test.mjs
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import test from 'node:test';

import {
  cliJson, cppTableNumerals, loadApi, packageFolder, programTables, random, randomNumeral, runCli,
} from './support.mjs';

const api = await loadApi();
const { convert, convertMany, explain, convertDetails, readBase, NumeralError } = api;

const HAS_TEXT = new Set(['converted', 'overflow']);

// convert, or what it throws.
function attempt(numeral, options) {
  try {
    return convert(numeral, options);
  } catch (error) {
    return error;
  }
}

// Checks every function of the API on numerals in one pair of bases and
// notation against veltrane-cli's --json lines, messages and --round-trip
// texts. Returns how many numerals converted to a value.
function compareWithCli(numerals, from, to, scientific) {
  const options = { from, to, scientific: scientific === 1 };
  const expected = cliJson(numerals, from, to, scientific);
  const roundTrip = runCli(['--round-trip', '--from', String(from), '--to', String(to),
    ...(scientific ? ['--scientific'] : [])], numerals).stdout;
  const texts = convertMany(numerals, options);
  const roundTrips = convertMany(numerals, { ...options, roundTrip: true });
  let converted = 0;
  numerals.forEach((numeral, i) => {
    const what = `${JSON.stringify(numeral)} from ${from} to ${to}, scientific ${scientific}`;
    const json = JSON.parse(expected[i].json);
    const message = expected[i].message;
    assert.deepEqual(explain(numeral, options), json, what);
    const details = convertDetails(numeral, options);
    assert.equal(details.text, json.text, what);
    assert.equal(details.outcome, json.outcome, what);
    assert.equal(details.notation, json.notation, what);
    assert.equal(details.base, json.from, what);
    assert.equal(details.stored, json.stored, what);
    assert.equal(details.class, json.class, what);
    assert.equal(details.message, message, what);
    const got = attempt(numeral, options);
    if (HAS_TEXT.has(json.outcome)) {
      converted++;
      assert.equal(got, json.text, what);
      assert.equal(texts[i], json.text, what);
      assert.equal(roundTrips[i], roundTrip[i], what);
      assert.equal(message, '', what);
    } else {
      assert.ok(got instanceof NumeralError, `${what}: ${got}`);
      assert.equal(got.message, message, what);
      assert.equal(got.outcome, json.outcome, what);
      assert.equal(got.base, json.from, what);
      assert.equal(got.numeral, numeral, what);
      // The column the message names, when it names one.
      const column = /at column (\d+)/.exec(message);
      assert.equal(got.column, column ? Number(column[1]) : got.column, what);
      assert.equal(texts[i], null, what);
      assert.equal(roundTrips[i], null, what);
      assert.equal(roundTrip[i], 'ERROR', what);
    }
  });
  return converted;
}

test('version, digits and bases come from the library', () => {
  const manifest = JSON.parse(readFileSync(path.join(packageFolder(), 'package.json'), 'utf8'));
  assert.equal(api.version, '1.0.0');
  assert.equal(api.version, manifest.version);
  assert.equal(api.digits, '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ');
  assert.deepEqual([api.minBase, api.maxBase], [2, 36]);
  assert.equal(api.maxNumeralLength, 12288);
});

test('the dialog texts and the diagnoses of the program test', () => {
  const { texts, diagnoses } = programTables();
  for (const [numeral, from, to, scientific, text] of texts) {
    const got = attempt(numeral, { from, to, scientific: Boolean(scientific) });
    if (text === 'ERROR') assert.ok(got instanceof NumeralError, numeral);
    else assert.equal(got, text, numeral);
  }
  for (const [numeral, base, message] of diagnoses) {
    assert.throws(() => convert(numeral, { from: base }),
      (error) => error instanceof NumeralError && error.message === message, numeral);
  }
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

test('random numerals over every pair of bases and the whole grammar', (t) => {
  const count = Number(process.env.VELTRANE_RANDOM_NUMERALS || 10000);
  const seed = Number(process.env.VELTRANE_SEED || Date.now() % 1000000);
  const rng = random(seed);
  let compared = 0;
  let converted = 0;
  while (compared < count) {
    const from = 2 + rng.int(35);
    const to = 2 + rng.int(35);
    const scientific = rng() < 0.3 ? 1 : 0;
    const numerals = Array.from({ length: Math.min(100, count - compared) },
      () => randomNumeral(rng, from));
    try {
      converted += compareWithCli(numerals, from, to, scientific);
    } catch (error) {
      error.message += ` (seed ${seed})`;
      throw error;
    }
    compared += numerals.length;
  }
  t.diagnostic(`${compared} random numerals equal to veltrane-cli's (seed ${seed}), ` +
    `${converted} of them converted`);
  // The grammar's faults must not crowd out the numbers.
  assert.ok(converted > count / 3, `only ${converted} of ${count} converted`);
});

test('NumeralError: the outcome, the rule, its column and the base', () => {
  // numeral, from, outcome, rule, column, base
  const cases = [
    ['12G', 16, 'rejected', 'digit_too_large', 3, 16],
    ['  12G  ', 16, 'rejected', 'digit_too_large', 3, 16],
    ['19@8', 10, 'rejected', 'digit_too_large', 2, 8],
    ['1.2.3', 10, 'rejected', 'second_point', 4, 10],
    ['5.', 10, 'rejected', 'point_without_digit', 2, 10],
    ['1e', 10, 'rejected', 'exponent_without_digit', 2, 10],
    ['1e5e5', 10, 'rejected', 'second_exponent', 4, 10],
    ['1e5.5', 10, 'rejected', 'point_in_exponent', 4, 10],
    ['1e+-5', 10, 'rejected', 'exponent_sign_order', 4, 10],
    ['1-2', 10, 'rejected', 'sign_not_first', 2, 10],
    ['1#', 10, 'rejected', 'not_a_digit', 2, 10],
    ['ff@', 16, 'rejected', 'suffix_missing', 3, 16],
    ['12@G6', 10, 'rejected', 'suffix_after_letter', 5, 10],
    ['12@1x', 10, 'rejected', 'suffix_second_not_decimal', 5, 10],
    ['12@#', 10, 'rejected', 'suffix_not_a_base', 4, 10],
    ['', 10, 'empty', 'empty', null, 10],
    ['   ', 36, 'empty', 'empty', null, 36],
    ['7'.repeat(api.maxNumeralLength + 1), 10, 'too_long', 'too_long', null, 10],
    ['7'.repeat(100000), 10, 'too_long', 'too_long', null, 10],
    ['1\u00002', 10, 'nul_byte', 'nul_byte', 2, 10],
  ];
  for (const [numeral, from, outcome, rule, column, base] of cases) {
    const what = JSON.stringify(numeral.slice(0, 20));
    assert.throws(() => convert(numeral, { from }), (error) => {
      assert.ok(error instanceof NumeralError && error instanceof Error, what);
      assert.equal(error.name, 'NumeralError', what);
      assert.deepEqual([error.outcome, error.rule, error.column, error.base],
        [outcome, rule, column, base], what);
      assert.equal(error.numeral, numeral, what);
      return true;
    });
    assert.deepEqual(convertMany([numeral], { from }), [null], what);
  }
  // The longest numeral read still converts.
  assert.equal(api.maxNumeralLength, 12288);
  const longest = ' 1' + '0'.repeat(api.maxNumeralLength - 3) + ' ';
  assert.equal(convert(longest, { to: 10 }), runCli(['--to', '10', longest]).stdout[0]);
  assert.throws(() => convert(longest + ' '), (error) =>
    error.outcome === 'too_long' && error.message === runCli([longest + ' ']).stderr[0]
      .replace(/^veltrane-cli: argument 1: /, ''));
});

test('NumeralError made by hand, and columns counted in UTF-8 bytes', () => {
  const made = new NumeralError('no value');
  assert.deepEqual([made.message, made.numeral, made.outcome, made.rule, made.column, made.base],
    ['no value', '', 'rejected', 'rejected', null, 10]);
  const given = new NumeralError('m', { numeral: '1@', rule: 'suffix_missing', column: 2 });
  assert.deepEqual([given.outcome, given.rule, given.column, given.base],
    ['rejected', 'suffix_missing', 2, 10]);
  // A fault after a character of several bytes is counted as veltrane-cli counts it.
  for (const [numeral, column] of [['é@', 3], ['\u{1F600}@', 5], ['€1@', 5]]) {
    assert.throws(() => convert(numeral), (error) => error.column === column &&
      error.message === runCli([numeral]).stderr[0].replace(/^veltrane-cli: argument 1: /, ''));
  }
});

test('convertMany reads each element once, before it converts any', () => {
  // A getter that converts on its own would overwrite a batch being written.
  const numerals = ['11', '22', '33'];
  let reads = 0;
  Object.defineProperty(numerals, 1, {
    get() {
      reads++;
      convert('999999');
      return '22';
    },
  });
  assert.deepEqual(convertMany(numerals, { to: 10 }), ['11', '22', '33']);
  assert.equal(reads, 1);
  // One that gives a string when checked and a number after cannot slip through.
  let first = true;
  const changing = ['1', '2'];
  Object.defineProperty(changing, 0, {
    get() {
      const value = first ? '1' : 12;
      first = false;
      return value;
    },
  });
  assert.deepEqual(convertMany(changing), ['1', '2']);
});

test('a bad base is a RangeError, a numeral that is no string a TypeError', () => {
  const calls = {
    convert: (numeral, options) => convert(numeral, options),
    convertMany: (numeral, options) => convertMany([numeral], options),
    explain: (numeral, options) => explain(numeral, options),
    convertDetails: (numeral, options) => convertDetails(numeral, options),
  };
  for (const [name, call] of Object.entries(calls)) {
    for (const base of [1, 37, 0, -16, 2.5, NaN, Infinity, '16', null, true]) {
      assert.throws(() => call('1', { from: base }), RangeError, `${name} from ${String(base)}`);
      assert.throws(() => call('1', { to: base }), RangeError, `${name} to ${String(base)}`);
    }
    for (const numeral of [5, null, undefined, {}, ['1'], new String('1'), 1n]) {
      assert.throws(() => call(numeral), TypeError, `${name} of ${typeof numeral}`);
      // The numeral is checked first.
      assert.throws(() => call(numeral, { to: 99 }), TypeError, name);
    }
    assert.throws(() => call('1', 'to 2'), TypeError, `${name} with options that are no object`);
    assert.equal(typeof call('1', { from: 2, to: 36, unknown: 1 }), name === 'convert' ? 'string' : 'object');
  }
  for (const numerals of ['255', new Set(['1']), { length: 1, 0: '1' }, null]) {
    assert.throws(() => convertMany(numerals), TypeError);
  }
  assert.throws(() => convertMany(['1', 2, '3']), TypeError);
  assert.throws(() => readBase(16), TypeError);
  // The messages name what was given, in plain English.
  for (const [given, named] of [[undefined, 'not undefined'], [null, 'not null'],
    [{}, 'not an object'], [5, 'not a number'], [['1'], 'not an array']]) {
    assert.throws(() => convert(given), { name: 'TypeError', message: new RegExp(`${named}$`) });
  }
});

test('batches: empty, large, with line feeds, long and non-ASCII numerals', () => {
  assert.deepEqual(convertMany([]), []);
  const rng = random(27);
  const numerals = [];
  for (let i = 0; i < 30000; i++) {
    const kind = rng();
    if (kind < 0.001) numerals.push('1'.repeat(api.maxNumeralLength - 500 + rng.int(1000)));
    else if (kind < 0.002) numerals.push('9\n9');
    else if (kind < 0.003) numerals.push('é' + randomNumeral(rng, 10));
    else if (kind < 0.004) numerals.push('\ud800');
    else numerals.push(randomNumeral(rng, 10));
  }
  numerals.push('1'.repeat(70000), '');
  for (const options of [{ to: 16 }, { to: 3, scientific: true }, { to: 10, roundTrip: true }]) {
    const each = numerals.map((numeral) => {
      const got = attempt(numeral, options);
      return typeof got === 'string' ? got : null;
    });
    assert.deepEqual(convertMany(numerals, options), each, JSON.stringify(options));
  }
  // The texts of one numeral again and again, beyond the output buffer.
  assert.deepEqual(convertMany(Array(20000).fill('0.1'), { to: 2 }),
    Array(20000).fill(convert('0.1', { to: 2 })));
});

// Batches that fit the module's input in UTF-16 units but not in UTF-8
// bytes (é takes two, a lone surrogate three, as U+FFFD): each must go in
// whole, with its numerals in their places.
test('convertMany: batches longer in UTF-8 than in UTF-16 units', () => {
  const numerals = [];
  for (let i = 0; i < 300; i++) {
    numerals.push(i % 3 === 0 ? 'é'.repeat(3000) : i % 3 === 1 ? '\ud800'.repeat(4000) : String(i));
  }
  assert.deepEqual(convertMany(numerals, { to: 10 }),
    numerals.map((numeral, i) => (i % 3 === 2 ? numeral : null)));
});

// Lines of every length from 1 to 40 bytes, so that the batch's line ends
// fall at every place in a word of 8, and texts of every length from 1 to
// 64 digits with and without a point (2^k - 1 in binary is k ones; over
// 2^m the point moves in), against veltrane-cli's texts.
test('convertMany: every line length and every text length, as veltrane-cli', () => {
  const numerals = [];
  for (let length = 1; length <= 40; length++) {
    numerals.push('7'.repeat(length), '-0.' + '3'.repeat(Math.max(1, length - 3)));
  }
  for (let k = 1; k <= 64; k++) {
    const ones = (1n << BigInt(k)) - 1n;
    numerals.push(String(ones), `${ones}e-${k % 20}`, `${ones.toString(2)}@2`);
  }
  for (const [from, to] of [[10, 2], [10, 16], [2, 8], [10, 32]]) {
    const expected = runCli(['--from', String(from), '--to', String(to)], numerals).stdout;
    const got = convertMany(numerals, { from, to });
    got.forEach((text, i) => assert.equal(text ?? 'ERROR', expected[i],
      `${JSON.stringify(numerals[i])} from ${from} to ${to}`));
  }
});

test('convertDetails: the stored value, its class, the sign of an overflow', () => {
  // numeral, from, to, text, outcome, notation, stored, class
  const cases = [
    ['0.1', 10, 16, '0.19999999999999A', 'converted', 'standard', '3FFBCCCCCCCCCCCCCCCD', 'normal'],
    ['-0', 10, 16, '0', 'converted', 'standard', '00000000000000000000', 'zero'],
    ['1e30', 10, 10, '1.0e+30', 'converted', 'scientific', null, 'normal'],
    ['1_-1000', 16, 2, null, 'converted', 'scientific', null, 'subnormal'],
    ['1e4930', 10, 16, '+INF', 'overflow', null, null, null],
    ['-1e4930', 10, 16, '-INF', 'overflow', null, null, null],
    ['12G', 10, 16, 'ERROR', 'rejected', null, null, null],
  ];
  for (const [numeral, from, to, text, outcome, notation, stored, storedClass] of cases) {
    const got = convertDetails(numeral, { from, to });
    if (text !== null) assert.equal(got.text, text, numeral);
    assert.equal(got.outcome, outcome, numeral);
    assert.equal(got.notation, notation, numeral);
    if (stored !== null) assert.equal(got.stored, stored, numeral);
    assert.equal(got.class, storedClass, numeral);
    assert.equal(got.sign, outcome === 'overflow' ? (numeral[0] === '-' ? -1 : 1) : undefined);
  }
  assert.deepEqual([convertDetails('12G').rule, convertDetails('12G').column], ['digit_too_large', 3]);
  assert.equal(convertDetails('0.1', { roundTrip: true }).roundTrip, true);
  assert.equal(convertDetails('0.1').roundTrip, null);
});

test('base boxes as the dialog reads them: 8 bytes, then blanks trimmed', () => {
  // Text, what it gives: a base, or null.
  const cases = [
    ['2', 2], ['36', 36], ['010', 10], [' 16 ', 16], ['00000016', 16], ['   16   ', 16],
    ['1', null], ['0', null], ['37', null], ['', null], ['        ', null], ['1 6', null],
    ['0x10', null], ['+16', null], ['-16', null], ['16.', null], ['\t16', null], ['é', null],
    ['99999999', null],
    // Only 8 bytes are read: seven zeros and 16 read as 1.
    ['000000016', null], ['        16', null], ['16        x', 16], ['0000016é', null],
  ];
  for (const [text, base] of cases) {
    assert.equal(readBase(text), base, JSON.stringify(text));
    // veltrane-cli reads its base options alike where a box holds the
    // whole text.
    if (text.length <= 8 && !text.startsWith('\t')) {
      const cli = runCli(['--json', `--to=${text}`, '1']);
      assert.equal(cli.status === 2, base === null, `veltrane-cli with base ${JSON.stringify(text)}`);
    }
  }
});
