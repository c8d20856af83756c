// What the page's tests share: the built page, its script's converter run
// in Node, veltrane-cli of the soft build as the reference, the tables of
// the other suites, and random numerals over the whole grammar.
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';
import { gunzipSync } from 'node:zlib';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set; run the tests with ctest --preset web`);
  return value;
}

// The folder of the built page (index.html, veltrane.css, veltrane.js).
export const site = () => required('VELTRANE_SITE');
// veltrane-cli of the soft build.
export const referenceCli = () => required('VELTRANE_CLI');

export function pageScript() {
  return readFileSync(path.join(site(), 'veltrane.js'), 'utf8');
}

// The module's bytes, as the script embeds them (gzipped, in base64),
// inflated by zlib.
export function moduleBytes() {
  const match = /const MODULE = '([A-Za-z0-9+/=]+)';/.exec(pageScript());
  if (!match) throw new Error('veltrane.js embeds no module');
  return gunzipSync(Buffer.from(match[1], 'base64'));
}

// veltrane.js run outside a page, where it only loads the module:
// { ready, gunzip }.
export function runPageScript() {
  const context = { TextEncoder, TextDecoder, atob, console };
  vm.runInNewContext(pageScript(), context, { filename: 'veltrane.js' });
  return context.veltrane;
}

// The page's own converter.
export async function loadConverter() {
  return runPageScript().ready;
}

// Runs veltrane-cli with the arguments and the numerals one a line on
// standard input: { status, stdout: lines, stderr: lines }.
export function runCli(args, numerals = []) {
  const input = Buffer.from(numerals.map((n) => n + '\n').join(''), 'utf8');
  const run = spawnSync(referenceCli(), args, { input, maxBuffer: 1 << 28 });
  if (run.error) throw run.error;
  const lines = (data) => {
    const text = data.toString('utf8');
    return text === '' ? [] : text.replace(/\n$/, '').split('\n');
  };
  return { status: run.status, stdout: lines(run.stdout), stderr: lines(run.stderr) };
}

// veltrane-cli --json on numerals in one pair of bases and notation: for
// each numeral its --json line and its message ('' when it converted).
export function cliJson(numerals, from, to, scientific) {
  const args = ['--json', '--from', String(from), '--to', String(to)];
  if (scientific) args.push('--scientific');
  const run = runCli(args, numerals);
  if (run.stdout.length !== numerals.length) {
    throw new Error(`veltrane-cli ${args.join(' ')} wrote ${run.stdout.length} lines ` +
      `for ${numerals.length} numerals: ${run.stderr.join('\n')}`);
  }
  const messages = numerals.map(() => '');
  for (const line of run.stderr) {
    const match = /^veltrane-cli: line (\d+): (.*)$/.exec(line);
    if (!match) throw new Error(`unexpected message from veltrane-cli: ${line}`);
    messages[Number(match[1]) - 1] = match[2];
  }
  return numerals.map((_, i) => ({ json: run.stdout[i], message: messages[i] }));
}

// --- The other suites' tables --------------------------------------------

// DIALOG_TEXTS and DIAGNOSES of the program test, as lists of lists.
export function programTables() {
  const code = 'import json, sys; sys.path.insert(0, sys.argv[1]); import cli_program_test as t; ' +
    'print(json.dumps({"texts": t.DIALOG_TEXTS, "diagnoses": t.DIAGNOSES}))';
  const run = spawnSync('python3', ['-c', code, path.join(repo, 'tests/cli')]);
  if (run.status !== 0) throw new Error(run.stderr.toString());
  return JSON.parse(run.stdout.toString());
}

function cString(literal) {
  return literal.replace(/\\(x[0-9a-fA-F]{2}|[0-7]{1,3}|.)/g, (_, e) => {
    if (e[0] === 'x') return String.fromCharCode(parseInt(e.slice(1), 16));
    if (/^[0-7]/.test(e)) return String.fromCharCode(parseInt(e, 8));
    return { n: '\n', t: '\t', r: '\r', 0: '\0' }[e] ?? e;
  });
}

// Every row of the C++ suites' tables that starts with a text and a number
// ({"12G", 16, ...}): the text as a numeral, and the number as its base
// where it is one (2..36), else 10. Texts with bytes that are not ASCII are
// left out: they stand for single bytes, which a page cannot send.
export function cppTableNumerals() {
  const files = ['format/format_test.cpp', 'format/exact_test.cpp', 'parse/parse_test.cpp',
    'parse/diagnose_test.cpp', 'conversion/conversion_command_test.cpp',
    'conversion/conversion_text_test.cpp', 'library/convert_line_test.cpp'];
  const rows = new Map();
  for (const file of files) {
    const text = readFileSync(path.join(repo, 'tests', file), 'utf8');
    for (const match of text.matchAll(/\{"((?:[^"\\\n]|\\.)*)", *(\d+)/g)) {
      const numeral = cString(match[1]);
      const base = Number(match[2]);
      if (/[^\x00-\x7f]/.test(numeral) || /[\n\r]/.test(numeral)) continue;
      rows.set(`${numeral}\u0001${base}`, [numeral, base >= 2 && base <= 36 ? base : 10]);
    }
  }
  return [...rows.values()];
}

// --- Random numerals -----------------------------------------------------

// A small seeded generator (mulberry32), so that a failing run can be
// repeated with its seed.
export function random(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  next.int = (n) => Math.floor(next() * n);
  next.pick = (list) => list[next.int(list.length)];
  return next;
}

const DIGITS = '0123456789abcdefghijklmnopqrstuvwxyz';

function digitsIn(rng, base, count) {
  let text = '';
  for (let i = 0; i < count; i++) {
    // Now and then a digit that is not below the base.
    const value = rng() < 0.97 ? rng.int(base) : rng.int(36);
    const c = DIGITS[value];
    text += rng() < 0.5 ? c.toUpperCase() : c;
  }
  return text;
}

// A numeral of the grammar in the given base, often with a fault in it:
// blanks, a sign, integer digits (leading zeros too), a fraction, an
// exponent whose power spans the whole range of the 80-bit type and beyond,
// an '@' suffix, and random edits. No CR, LF or NUL: the numerals travel as
// lines, and NUL has tests of its own.
export function randomNumeral(rng, base) {
  let text = rng() < 0.08 ? ' '.repeat(1 + rng.int(3)) : '';
  const sign = rng();
  if (sign < 0.3) text += '-';
  else if (sign < 0.4) text += '+';
  if (rng() < 0.85) {
    if (rng() < 0.1) text += '0'.repeat(1 + rng.int(6));
    text += digitsIn(rng, base, 1 + rng.int(rng() < 0.8 ? 8 : 24));
  }
  if (rng() < 0.5) text += '.' + digitsIn(rng, base, rng() < 0.05 ? 0 : 1 + rng.int(16));
  if (rng() < 0.45) {
    const markers = base <= 14 ? ['e', 'E', '_'] : ['_'];
    text += rng() < 0.97 ? rng.pick(markers) : rng.pick(['e', '_', 'E']);
    if (rng() < 0.45) text += '-';
    if (rng() < 0.2) text += '+';
    // Powers up to about 2^17000: past overflow and underflow both.
    const limit = Math.ceil(17000 / Math.log2(base));
    const power = Math.floor(rng() ** 3 * limit);
    text += rng() < 0.03 ? '' : power.toString(base);
  }
  if (rng() < 0.08) {
    text += '@' + rng.pick([
      String(2 + rng.int(35)), String(2 + rng.int(35)).padStart(2, '0'),
      DIGITS[10 + rng.int(26)], DIGITS[10 + rng.int(26)].toUpperCase(),
      '', '0', '1', '37', '#', 'x1', '1x', String(rng.int(10)) + DIGITS[10 + rng.int(26)],
    ]);
  }
  if (rng() < 0.08) text += ' '.repeat(1 + rng.int(3));
  for (let edits = rng() < 0.12 ? 1 + rng.int(2) : 0; edits > 0; edits--) {
    const at = rng.int(text.length + 1);
    const c = rng.pick([' ', '.', '@', '+', '-', '_', 'e', 'E', '#', 'é', '\t', '0', 'z']);
    text = rng() < 0.5 ? text.slice(0, at) + c + text.slice(at) :
      text.slice(0, at) + c + text.slice(at + 1);
  }
  return text;
}
