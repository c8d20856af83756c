// Veltrane for JavaScript: converts real numerals between bases 2 to 36 on
// the x87 80-bit extended type, every step truncating, with libveltrane
// compiled to WebAssembly on the software arithmetic (the texts of the
// `soft` build of veltrane-cli, on every machine).
//
//   import { convert, convertMany, explain, version, NumeralError } from 'veltrane';
//   convert('255')                         // 'FF'
//   convert('0.1', { to: 2, scientific: true })
//
// The module is embedded below (gzipped, in base64), so this file needs no
// fetch and works from a page opened from disk, in Node 18 and later and in
// current browsers alike; it is compiled while the import resolves, and
// every call after that is synchronous. The module's exports are the
// library's C interface (veltrane.h) over static buffers the module lends
// (web/module.h): this file only moves bytes in and out and turns outcomes
// into values and exceptions; every decision about numbers is the library's.

// The module, gzipped and in base64, written in by the build.
const MODULE = '@VELTRANE_MODULE_GZIP_BASE64@';

function decodeBase64(text) {
  if (typeof Uint8Array.fromBase64 === 'function') return Uint8Array.fromBase64(text);
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// --- gunzip: the module inflated at once, by lookup tables ---

const LENGTH_BASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59,
  67, 83, 99, 115, 131, 163, 195, 227, 258];
const LENGTH_EXTRA = [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
  5, 5, 5, 5, 0];
const DISTANCE_BASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385,
  513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577];
const DISTANCE_EXTRA = [0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10,
  10, 11, 11, 12, 12, 13, 13];
const CODE_LENGTH_ORDER = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15];

// A Huffman code from its code lengths, as a table indexed by the next
// bits of the stream (which carries codes from their first bit on, so the
// index is the code reversed): each entry is symbol << 4 | length.
function huffman(lengths) {
  let longest = 1;
  const counts = new Uint16Array(16);
  for (const length of lengths) {
    counts[length]++;
    if (length > longest) longest = length;
  }
  counts[0] = 0;
  const next = new Uint16Array(16);
  for (let length = 1, code = 0; length < 16; length++) {
    code = (code + counts[length - 1]) << 1;
    next[length] = code;
  }
  const table = new Int32Array(1 << longest);
  lengths.forEach((length, symbol) => {
    if (!length) return;
    let code = next[length]++;
    let reversed = 0;
    for (let i = 0; i < length; i++, code >>= 1) reversed = (reversed << 1) | (code & 1);
    for (let i = reversed; i < table.length; i += 1 << length) table[i] = (symbol << 4) | length;
  });
  return { table, longest };
}

// The one member of a gzip file (RFC 1952, 1951), its size taken from
// its trailer; the compiler validates the module it gives.
function gunzip(data) {
  if (data[0] !== 0x1f || data[1] !== 0x8b || data[2] !== 8) throw new Error('not gzip data');
  const flags = data[3];
  let at = 10;
  if (flags & 4) at += 2 + (data[at] | (data[at + 1] << 8));
  if (flags & 8) while (data[at++] !== 0);
  if (flags & 16) while (data[at++] !== 0);
  if (flags & 2) at += 2;
  const end = data.length - 8;
  const out = new Uint8Array((data[end + 4] | (data[end + 5] << 8) | (data[end + 6] << 16) |
    (data[end + 7] << 24)) >>> 0);
  let written = 0;
  let buffer = 0;
  let count = 0;

  function need(bits) {
    while (count < bits) {
      if (at >= end + 8) throw new Error('deflate data cut short');
      buffer |= data[at++] << count;
      count += 8;
    }
  }
  function bits(n) {
    need(n);
    const value = buffer & ((1 << n) - 1);
    buffer >>>= n;
    count -= n;
    return value;
  }
  function decode(code) {
    // Past the end of the data the bits are 0s, which the trailer holds.
    while (count < code.longest && at < data.length) {
      buffer |= data[at++] << count;
      count += 8;
    }
    const entry = code.table[buffer & (code.table.length - 1)];
    const length = entry & 15;
    if (length === 0 || length > count) throw new Error('bad deflate code');
    buffer >>>= length;
    count -= length;
    return entry >> 4;
  }

  let last;
  do {
    last = bits(1);
    const type = bits(2);
    if (type === 0) {
      // Stored: from the next byte on, a length, its complement, the bytes.
      buffer = 0;
      count = 0;
      const length = data[at] | (data[at + 1] << 8);
      if (written + length > out.length) throw new Error('deflate data longer than stated');
      out.set(data.subarray(at + 4, at + 4 + length), written);
      written += length;
      at += 4 + length;
      continue;
    }
    let literals;
    let distances;
    if (type === 1) {
      const lengths = new Uint8Array(288);
      lengths.fill(8, 0, 144).fill(9, 144, 256).fill(7, 256, 280).fill(8, 280);
      literals = huffman(lengths);
      distances = huffman(new Uint8Array(30).fill(5));
    } else if (type === 2) {
      const literalCount = bits(5) + 257;
      const distanceCount = bits(5) + 1;
      const codeLengths = new Uint8Array(19);
      for (let i = 0, k = bits(4) + 4; i < k; i++) codeLengths[CODE_LENGTH_ORDER[i]] = bits(3);
      const lengthCode = huffman(codeLengths);
      const lengths = new Uint8Array(literalCount + distanceCount);
      for (let i = 0; i < lengths.length;) {
        const symbol = decode(lengthCode);
        if (symbol < 16) {
          lengths[i++] = symbol;
          continue;
        }
        const repeated = symbol === 16 ? lengths[i - 1] : 0;
        let times = symbol === 16 ? 3 + bits(2) : symbol === 17 ? 3 + bits(3) : 11 + bits(7);
        if (i + times > lengths.length) throw new Error('bad deflate code lengths');
        while (times-- > 0) lengths[i++] = repeated;
      }
      literals = huffman(lengths.subarray(0, literalCount));
      distances = huffman(lengths.subarray(literalCount));
    } else {
      throw new Error('bad deflate block');
    }
    for (let symbol = decode(literals); symbol !== 256; symbol = decode(literals)) {
      if (symbol < 256) {
        if (written >= out.length) throw new Error('deflate data longer than stated');
        out[written++] = symbol;
        continue;
      }
      const length = LENGTH_BASE[symbol - 257] + bits(LENGTH_EXTRA[symbol - 257]);
      const code = decode(distances);
      const distance = DISTANCE_BASE[code] + bits(DISTANCE_EXTRA[code]);
      if (distance > written || written + length > out.length) {
        throw new Error('bad deflate match');
      }
      for (let i = 0; i < length; i++, written++) out[written] = out[written - distance];
    }
  } while (!last);
  if (written !== out.length) throw new Error('deflate data shorter than stated');
  return out;
}


// --- The C interface's codes (veltrane.h) ---

const SCIENTIFIC = 1;
const ROUND_TRIP = 2;
const CONVERTED = 0;
const OVERFLOW = 1;
const REJECTED = 2;
const BAD_BASE = -1;
const LINES_WITH_FEEDS = -3;
const NOTATIONS = ['standard', 'scientific'];

// Thrown for a numeral that gives no value (veltrane-cli's ERROR): its
// message is the one veltrane-cli writes about it after "line N: ".
// The details default to those of a rejected empty numeral in base 10, so
// that one made by hand (a test's, a mock's) has fields of the right types.
class NumeralError extends Error {
  constructor(message, {
    numeral = '', outcome = 'rejected', rule = outcome, column = null, base = 10,
  } = {}) {
    super(message);
    this.name = 'NumeralError';
    this.numeral = numeral;  // the numeral as given
    this.outcome = outcome;  // 'rejected', 'empty', 'too_long', 'nul_byte' or 'no_value'
    this.rule = rule;        // the rule broken ('digit_too_large', ...), else the outcome
    this.column = column;    // 1-based, in UTF-8 bytes, blanks around uncounted; null if none
    this.base = base;        // the base it was read in (its '@' suffix's, else from)
  }
}

function describe(value) {
  if (value === null || value === undefined) return String(value);
  if (Array.isArray(value)) return 'an array';
  if (typeof value === 'string') return JSON.stringify(value);
  return /^[aeiou]/.test(typeof value) ? `an ${typeof value}` : `a ${typeof value}`;
}

// The interface over one instance's exports.
function makeApi(exports) {
  exports._initialize();
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  const input = exports.veltrane_js_input();
  const inputSize = exports.veltrane_js_input_size();
  const output = exports.veltrane_js_output();
  const outputSize = exports.veltrane_js_output_size();
  const details = exports.veltrane_js_details();
  const sizeSlot = exports.veltrane_js_size();
  const intSlot = exports.veltrane_js_int();
  // The memory never grows; the views are made anew only if it did.
  let bytes;
  let words;
  let inputBytes;
  function view() {
    bytes = new Uint8Array(exports.memory.buffer);
    words = new Int32Array(exports.memory.buffer);
    inputBytes = bytes.subarray(input, input + inputSize);
  }
  view();
  function memory() {
    if (bytes.byteLength === 0) view();
    return bytes;
  }
  const inputView = () => (memory(), inputBytes);

  // A NUL-terminated text of the module. Texts of numbers are short ASCII,
  // which a loop reads faster than a TextDecoder call.
  function text(at) {
    const all = memory();
    let end = at;
    let ascii = true;
    for (; all[end] !== 0; end++) if (all[end] > 0x7f) ascii = false;
    if (!ascii || end - at > 64) return decoder.decode(all.subarray(at, end));
    let result = '';
    for (let i = at; i < end; i++) result += String.fromCharCode(all[i]);
    return result;
  }
  const layout = Array.from({ length: 10 }, (_, i) => {
    memory();
    return words[(exports.veltrane_js_details_layout() >> 2) + i];
  });
  const [OUTCOME, SIGN, NOTATION, BASE, HAS_VALUE, STORED, CLASS, RULE, COLUMN, ROUND_TRIP_FIELD] =
    layout.map((offset) => details + offset);
  const field = (at) => (memory(), words[at >> 2]);

  const version = text(exports.veltrane_version());
  const minBase = exports.veltrane_js_min_base();
  const maxBase = exports.veltrane_js_max_base();
  const maxNumeralLength = exports.veltrane_js_max_numeral_length();

  function checkNumeral(numeral) {
    if (typeof numeral !== 'string') {
      throw new TypeError(`a numeral must be a string, not ${describe(numeral)}`);
    }
  }
  function checkBase(base, name) {
    if (!Number.isInteger(base) || base < minBase || base > maxBase) {
      throw new RangeError(`${name} must be a whole number from ${minBase} to ${maxBase}, ` +
        `not ${typeof base === 'number' ? base : describe(base)}`);
    }
  }
  // { from, to, flags } from the options of a call.
  const DEFAULTS = { from: 10, to: 16, flags: 0 };
  function readOptions(options) {
    if (options === undefined || options === null) return DEFAULTS;
    if (typeof options !== 'object') {
      throw new TypeError(`the options must be an object, not ${describe(options)}`);
    }
    const { from = 10, to = 16, scientific = false, roundTrip = false } = options;
    checkBase(from, 'from');
    checkBase(to, 'to');
    return { from, to, flags: (scientific ? SCIENTIFIC : 0) | (roundTrip ? ROUND_TRIP : 0) };
  }

  // Writes the numeral into the input buffer and returns the length to pass:
  // its length in UTF-8, or one more than the longest numeral read when it
  // does not fit, which is as long as too long.
  function put(numeral) {
    const length = numeral.length;
    const into = inputView();
    // ASCII, the usual numeral, byte by byte: quicker than a call to the
    // encoder for a few characters.
    if (length <= 64) {
      let i = 0;
      for (let c; i < length && (c = numeral.charCodeAt(i)) < 0x80; i++) into[i] = c;
      if (i === length) return length;
    }
    const { read, written } = encoder.encodeInto(numeral, into);
    return read < numeral.length ? maxNumeralLength + 1 : written;
  }

  // The NumeralError of the numeral just put, which gave outcome.
  function numeralError(numeral, length, o, outcome) {
    exports.veltrane_convert_details(input, length, o.from, o.to, o.flags, output, outputSize,
      details);
    const rule = field(RULE);
    const column = field(COLUMN);
    exports.veltrane_message(input, length, o.from, o.to, o.flags, output, outputSize);
    return new NumeralError(text(output), {
      numeral,
      outcome: text(exports.veltrane_outcome_name(outcome)),
      rule: text(rule ? exports.veltrane_rule_name(rule) : exports.veltrane_outcome_name(outcome)),
      column: column || null,
      base: field(BASE),
    });
  }

  function unexpected(code) {
    return new Error(`the converter failed: ${text(exports.veltrane_outcome_name(code))} (${code})`);
  }

  function convertPut(numeral, length, o) {
    const outcome = exports.veltrane_convert(input, length, o.from, o.to, o.flags, output,
      outputSize);
    if (outcome === CONVERTED || outcome === OVERFLOW) return text(output);
    if (outcome < 0) throw unexpected(outcome);
    throw numeralError(numeral, length, o, outcome);
  }

  // The text veltrane-cli prints for the numeral: digits in the output
  // base, or '+INF' or '-INF'. A numeral that gives no value throws a
  // NumeralError.
  function convert(numeral, options) {
    checkNumeral(numeral);
    const o = readOptions(options);
    return convertPut(numeral, put(numeral), o);
  }

  // How many numerals from numerals[at] on, at most most, fit in room
  // bytes joined by LFs when each UTF-16 unit takes bytesPerUnit bytes.
  function batchFitting(numerals, at, most, room, bytesPerUnit) {
    let count = 0;
    // used counts an LF after every numeral, one more than the batch has.
    for (let used = 0; at + count < numerals.length && count < most; count++) {
      used += bytesPerUnit * numerals[at + count].length + 1;
      if (used > room + 1) break;
    }
    return count;
  }

  // numerals[at .. at + count - 1] joined by LFs.
  function joinedLines(numerals, at, count) {
    return count === 1 ? numerals[at] : numerals.slice(at, at + count).join('\n');
  }

  // convert for each numeral of an array, in one pass through the module
  // for a whole batch: the texts, with null for a numeral that gives no
  // value.
  function convertMany(numerals, options) {
    if (!Array.isArray(numerals)) {
      throw new TypeError(`numerals must be an array of strings, not ${describe(numerals)}`);
    }
    // Each element read once, before any is written into the module: a
    // getter or proxy that converts meanwhile cannot overwrite a batch.
    numerals = numerals.slice();
    for (const numeral of numerals) checkNumeral(numeral);
    const o = readOptions(options);
    const results = new Array(numerals.length);
    const alone = (numeral) => {
      const length = put(numeral);
      const outcome = exports.veltrane_convert(input, length, o.from, o.to, o.flags, output,
        outputSize);
      if (outcome < 0) throw unexpected(outcome);
      return outcome === CONVERTED || outcome === OVERFLOW ? text(output) : null;
    };
    // Numerals go in joined by LF, as many as fit the input buffer, in one
    // encodeInto of the joined batch (the engine's own loop, quicker than
    // writing them in a character at a time). The texts come out one a
    // line, and one string for the batch, cut at its LFs into the results
    // (slices of it, and no array of lines to collect). A batch whose texts
    // overflowed the output buffer sets how many numerals the next ones
    // take. Large batches, as the module's buffers allow: fewer calls, and
    // batch strings large enough for the collector to leave in place.
    let batch = 8192;
    for (let at = 0; at < numerals.length;) {
      const into = inputView();
      // As many as fit in ASCII; where characters of several bytes make
      // them too long, as many as fit at three bytes a UTF-16 unit.
      let count = batchFitting(numerals, at, batch, into.length, 1);
      let lines = joinedLines(numerals, at, count);
      let { read, written } = encoder.encodeInto(lines, into);
      if (read < lines.length) {
        count = batchFitting(numerals, at, batch, into.length, 3);
        lines = joinedLines(numerals, at, count);
        ({ written } = encoder.encodeInto(lines, into));
      }
      if (count === 0) {
        // Too long for the buffer, so too long to be read.
        results[at] = alone(numerals[at]);
        at++;
        continue;
      }
      const done = exports.veltrane_js_convert_lines(input, written, count, o.from, o.to, o.flags,
        output, outputSize, sizeSlot);
      if (done === LINES_WITH_FEEDS) {
        // A numeral holds an LF of its own: this batch one by one.
        for (const end = at + count; at < end; at++) results[at] = alone(numerals[at]);
        continue;
      }
      if (done <= 0) throw unexpected(done);
      if (done < count) batch = done;
      memory();
      const texts = decoder.decode(bytes.subarray(output, output + words[sizeSlot >> 2]));
      for (let i = 0, from = 0; i < done; i++) {
        const to = texts.indexOf('\n', from);
        results[at + i] = to === from ? null : texts.slice(from, to);
        from = to + 1;
      }
      at += done;
    }
    return results;
  }

  // The --json object that veltrane-cli writes for the numeral, parsed: the
  // numeral read, the bases, the text and its notation, the outcome, the
  // stored 80-bit image, its class, the exact value, the distance in ulps,
  // whether the text reads back, and the round-trip text. A numeral that
  // gives no value gives its object too (outcome 'rejected', ...).
  function explain(numeral, options) {
    checkNumeral(numeral);
    const o = readOptions(options);
    const outcome = exports.veltrane_json(input, put(numeral), o.from, o.to, o.flags, output,
      outputSize);
    if (outcome < 0) throw unexpected(outcome);
    return JSON.parse(text(output));
  }

  // What one conversion found out, without throwing for a numeral that
  // gives no value: its text ('ERROR' then), outcome, notation, base, the
  // stored image and its class, the rule broken and its column, and the
  // message veltrane-cli writes about it ('' when there is none).
  function convertDetails(numeral, options) {
    checkNumeral(numeral);
    const o = readOptions(options);
    const length = put(numeral);
    const outcome = exports.veltrane_convert_details(input, length, o.from, o.to, o.flags,
      output, outputSize, details);
    if (outcome < 0) throw unexpected(outcome);
    const result = {
      text: text(output),
      outcome: text(exports.veltrane_outcome_name(outcome)),
      notation: NOTATIONS[field(NOTATION)] || null,
      base: field(BASE),
      stored: null,
      class: null,
      rule: field(RULE) ? text(exports.veltrane_rule_name(field(RULE))) : null,
      column: field(COLUMN) || null,
      roundTrip: (o.flags & ROUND_TRIP) !== 0 ? field(ROUND_TRIP_FIELD) === 1 : null,
      message: '',
    };
    if (field(HAS_VALUE)) {
      let image = '';
      for (let i = 9; i >= 0; i--) image += memory()[STORED + i].toString(16).padStart(2, '0');
      result.stored = image.toUpperCase();
      result.class = text(exports.veltrane_class_name(field(CLASS)));
    } else if (outcome === OVERFLOW) {
      result.sign = field(SIGN);
    }
    if (outcome >= REJECTED || (result.roundTrip === false && field(HAS_VALUE))) {
      exports.veltrane_message(input, length, o.from, o.to, o.flags, output, outputSize);
      result.message = text(output);
    }
    return result;
  }

  // A base box's text read as the dialog reads it: its first 8 bytes,
  // blanks around them trimmed, a whole decimal number from 2 to 36; null
  // when it is none.
  function readBase(box) {
    if (typeof box !== 'string') throw new TypeError(`a base text must be a string, not ${describe(box)}`);
    const length = put(box);
    return exports.veltrane_read_base(input, length, intSlot) === 1 ? field(intSlot) : null;
  }

  let digits = null;
  return {
    convert, convertMany, explain, convertDetails, readBase, version, minBase, maxBase,
    maxNumeralLength,
    // Found when first asked for: it costs conversions in the greatest base.
    get digits() {
      if (digits === null) digits = text(exports.veltrane_js_digits());
      return digits;
    },
  };
}

// Inflates and compiles the module at once where the platform allows it,
// so that nothing waits for a later turn of the event loop (a busy machine
// makes those turns slow); a browser's main thread compiles a module this
// large only in the background.
function loadModule() {
  const bytes = gunzip(decodeBase64(MODULE));
  try {
    return Promise.resolve(
      makeApi(new WebAssembly.Instance(new WebAssembly.Module(bytes), {}).exports));
  } catch {
    return WebAssembly.instantiate(bytes, {}).then((module) => makeApi(module.instance.exports));
  }
}

// @package-interface: what follows is the package's own; the page's script
// takes the code above and loads the module itself.
export const {
  convert, convertMany, explain, convertDetails, readBase, version, digits, minBase, maxBase,
  maxNumeralLength,
} = await loadModule();
export { NumeralError };
