// The WebAssembly module as the package and the page embed it: no imports,
// the library's C interface exported under its own names beside the
// buffer helpers, a memory that cannot grow, the C interface callable on
// the lent buffers; the embedded gunzip; and the page's script, run in
// Node, giving the package's API.
//   VELTRANE_SITE=build/web/web/site VELTRANE_NPM_PACKAGE=build/web/web/package \
//   node --test tests/web/module.test.mjs
import assert from 'node:assert/strict';
import test from 'node:test';
import { constants, gzipSync } from 'node:zlib';

import { headerFunctions, loadApi, moduleBytes, runPageScript } from './support.mjs';

const module = new WebAssembly.Module(moduleBytes());

const HELPERS = ['veltrane_js_input', 'veltrane_js_input_size', 'veltrane_js_output',
  'veltrane_js_output_size', 'veltrane_js_details', 'veltrane_js_details_layout',
  'veltrane_js_size', 'veltrane_js_int', 'veltrane_js_digits', 'veltrane_js_min_base',
  'veltrane_js_max_base', 'veltrane_js_max_numeral_length', 'veltrane_js_convert_lines'];

function instance() {
  const { exports } = new WebAssembly.Instance(module, {});
  exports._initialize();
  return exports;
}

test('the module imports nothing and exports the C interface and its helpers', () => {
  assert.deepEqual(WebAssembly.Module.imports(module), []);
  const api = headerFunctions();
  for (const name of ['veltrane_version', 'veltrane_convert', 'veltrane_json',
    'veltrane_convert_details', 'veltrane_message', 'veltrane_read_base']) {
    assert.ok(api.includes(name), `veltrane.h declares no ${name}`);
  }
  const names = WebAssembly.Module.exports(module).map((e) => e.name).sort();
  assert.deepEqual(names, ['_initialize', 'memory', ...api, ...HELPERS].sort());
  assert.throws(() => instance().memory.grow(1), RangeError);
});

test('the C interface on the lent buffers, with its codes', () => {
  const e = instance();
  const memory = () => new Uint8Array(e.memory.buffer);
  const put = (text) => new TextEncoder().encodeInto(text, memory().subarray(e.veltrane_js_input())).written;
  const read = (at) => {
    const bytes = memory();
    let end = at;
    while (bytes[end] !== 0) end++;
    return new TextDecoder().decode(bytes.subarray(at, end));
  };
  const longest = e.veltrane_js_max_numeral_length();
  assert.equal(longest, 12288);
  assert.ok(e.veltrane_js_input_size() > longest);
  assert.ok(e.veltrane_js_output_size() >= 8 * longest);
  const output = e.veltrane_js_output();
  const convert = (numeral, from, to, flags, size = e.veltrane_js_output_size()) =>
    [e.veltrane_convert(e.veltrane_js_input(), put(numeral), from, to, flags, output, size),
      read(output)];
  // numeral, from, to, flags, outcome, text
  for (const [numeral, from, to, flags, outcome, text] of [
    ['255', 10, 16, 0, 0, 'FF'],
    ['-0.5', 10, 2, 1, 0, '-1.0_-1'],
    ['1e4930', 10, 16, 0, 1, '+INF'],
    ['12G', 16, 10, 0, 2, 'ERROR'],
    ['   ', 10, 16, 0, 3, 'ERROR'],
    ['1\u00002', 10, 16, 0, 5, 'ERROR'],
    ['1', 1, 16, 0, -1, ''],
    ['1', 10, 37, 0, -1, ''],
  ]) {
    const [gotOutcome, gotText] = convert(numeral, from, to, flags);
    assert.equal(gotOutcome, outcome, numeral);
    if (outcome >= 0) assert.equal(gotText, text, numeral);
  }
  // A buffer too small: the code, and an empty text rather than a cut one.
  assert.deepEqual(convert('255', 10, 2, 0, 4), [-2, '']);
  assert.equal(read(e.veltrane_version()), '1.0.0');
  let base = e.veltrane_read_base(e.veltrane_js_input(), put(' 36 '), e.veltrane_js_int());
  assert.equal(base, 1);
  assert.equal(new Int32Array(e.memory.buffer)[e.veltrane_js_int() >> 2], 36);
  base = e.veltrane_read_base(e.veltrane_js_input(), put('37'), e.veltrane_js_int());
  assert.equal(base, 0);
});

test('a batch: texts one a line, empty lines for no value, stopping when full', () => {
  const e = instance();
  const lines = (numerals, flags = 0, size = e.veltrane_js_output_size()) => {
    const { written } = new TextEncoder().encodeInto(numerals.join('\n'),
      new Uint8Array(e.memory.buffer).subarray(e.veltrane_js_input()));
    const done = e.veltrane_js_convert_lines(e.veltrane_js_input(), written, numerals.length, 10,
      16, flags, e.veltrane_js_output(), size, e.veltrane_js_size());
    const length = new Uint32Array(e.memory.buffer)[e.veltrane_js_size() >> 2];
    const out = new TextDecoder().decode(new Uint8Array(e.memory.buffer)
      .subarray(e.veltrane_js_output(), e.veltrane_js_output() + length));
    return [done, out];
  };
  assert.deepEqual(lines(['255', 'x', '', '1e4930', '-1']), [5, 'FF\n\n\n+INF\n-1\n']);
  assert.deepEqual(lines(['255']), [1, 'FF\n']);
  // Lines of every length from 1 to 40 bytes, so that their ends fall at
  // every place in a word of 8: each text as the numeral alone gives it.
  const numerals = Array.from({ length: 40 }, (_, i) => '9'.repeat(i + 1));
  assert.deepEqual(lines(numerals),
    [numerals.length, numerals.map((numeral) => lines([numeral])[1]).join('')]);
  // count must match the line feeds: a numeral with one of its own, found
  // in the numerals converted or in those left when the texts are full.
  const miscounted = (text, count, size) => {
    const { written } = new TextEncoder().encodeInto(text,
      new Uint8Array(e.memory.buffer).subarray(e.veltrane_js_input(), e.veltrane_js_output()));
    return e.veltrane_js_convert_lines(e.veltrane_js_input(), written, count, 10, 16, 0,
      e.veltrane_js_output(), size, e.veltrane_js_size());
  };
  for (const [text, count, size] of [['1\n2\n3', 2, 4096], ['1\n2', 3, 4096], ['1\n2\n', 2, 4096],
    ['', 0, 4096], ['1\n2\n3\n4', 3, 259], ['1\n2\n3', 4, 259], ['1\n2\n3', 2, 100]]) {
    assert.equal(miscounted(text, count, size), -3, `${JSON.stringify(text)} as ${count}`);
  }
  assert.equal(miscounted('1\n2\n3\n4', 4, 259), 2);
  // It goes on while what is left holds any text (256 bytes with its NUL)
  // and a line end: here the first text only, and with the round trip's
  // longer texts none.
  assert.deepEqual(lines(['1', '2', '3'], 0, 258), [1, '1\n']);
  assert.deepEqual(lines(['1', '2', '3'], 0, 259), [2, '1\n2\n']);
  assert.deepEqual(lines(['1', '2'], 2, e.veltrane_js_max_numeral_length() + 1), [0, '']);
});

test('the embedded gunzip inflates what gzip writes, in every kind of block', () => {
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

test('the page\'s script, outside a page, gives the package\'s API', async () => {
  const page = await runPageScript().ready;
  const pkg = await loadApi();
  for (const name of ['convert', 'convertMany', 'explain', 'convertDetails', 'readBase']) {
    assert.equal(typeof page[name], 'function', name);
  }
  for (const name of ['version', 'digits', 'minBase', 'maxBase']) {
    assert.equal(page[name], pkg[name], name);
  }
  for (const numeral of ['255', '0.1', '-1e-4950', '1_3rz@36', 'zz']) {
    // (JSON: the page's objects come from another realm.)
    assert.equal(JSON.stringify(page.convertDetails(numeral, { to: 7 })),
      JSON.stringify(pkg.convertDetails(numeral, { to: 7 })), numeral);
    assert.equal(JSON.stringify(page.explain(numeral)), JSON.stringify(pkg.explain(numeral)),
      numeral);
  }
});
