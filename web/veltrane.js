// Veltrane in the browser. The converter is a WebAssembly module, embedded
// below (gzipped, in base64) so that the page works from a file opened on
// disk too, where a module could not be fetched. This script instantiates
// it with no imports and wires the form to it as the dialog is wired to its
// Convert command; every decision about numbers is the module's. The script
// moves text in and out and keeps the notation buttons, the URL and the
// Explain list in step.
//
// Outside a page (no document) it only loads the module, as
// globalThis.veltrane.ready, a promise of { convert, facts }; its gunzip is
// there too.
(function () {
  'use strict';

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

  // The module's C interface (web/module.h) as two functions:
  //   convert(numeral, inputBase, outputBase, scientific) ->
  //     { fault: null | 'input' | 'output',  the base box that is not a base
  //       scientific: 0 | 1 | null,           the notation the buttons show
  //       text: the result,
  //       notation: the text's, 'standard' | 'scientific' | null (ERROR, +INF, -INF),
  //       message: why there is no number, '' when there is one }
  //   facts() -> the --json object's text of the latest conversion ('' after
  //     a base fault), worked out on demand: it costs many conversions.
  // The texts go in as UTF-8. A numeral longer than the module's buffer is
  // passed with a length beyond it, which the module rejects unread.
  const NOTATIONS = ['standard', 'scientific'];

  function makeConverter(exports) {
    exports._initialize();
    const encoder = new TextEncoder();
    const decoder = new TextDecoder();
    const numeralAt = exports.veltrane_numeral();
    const numeralSize = exports.veltrane_numeral_size();
    const inputBaseAt = exports.veltrane_input_base();
    const outputBaseAt = exports.veltrane_output_base();
    const baseSize = exports.veltrane_base_size();
    const textAt = exports.veltrane_text();
    const messageAt = exports.veltrane_message();
    const jsonAt = exports.veltrane_json();
    // The module's memory never grows; a view is made anew only if it did.
    let memory = new Uint8Array(exports.memory.buffer);
    function view() {
      if (memory.byteLength === 0) memory = new Uint8Array(exports.memory.buffer);
      return memory;
    }
    function write(text, at, size) {
      const { read, written } = encoder.encodeInto(text, view().subarray(at, at + size));
      return read < text.length ? size + 1 : written;
    }
    function read(at, length) {
      return decoder.decode(view().subarray(at, at + length));
    }

    return {
      convert(numeral, inputBase, outputBase, scientific) {
        const code = exports.veltrane_convert(
          write(numeral, numeralAt, numeralSize),
          write(inputBase, inputBaseAt, baseSize),
          write(outputBase, outputBaseAt, baseSize),
          scientific ? 1 : 0);
        return {
          fault: code === -1 ? 'input' : code === -2 ? 'output' : null,
          scientific: code < 0 ? null : code,
          text: read(textAt, exports.veltrane_text_length()),
          notation: NOTATIONS[exports.veltrane_text_notation()] || null,
          message: read(messageAt, exports.veltrane_message_length()),
        };
      },
      facts() {
        return read(jsonAt, exports.veltrane_facts());
      },
    };
  }

  // Inflated, compiled and started at once (where the browser allows it,
  // else compiled in the background), so that nothing waits for a later
  // turn of the event loop before the first result: a busy machine makes
  // those turns slow, and DecompressionStream takes several.
  function loadModule() {
    const bytes = gunzip(decodeBase64(MODULE));
    try {
      return Promise.resolve(
        makeConverter(new WebAssembly.Instance(new WebAssembly.Module(bytes), {}).exports));
    } catch {
      return WebAssembly.instantiate(bytes, {}).then((module) =>
        makeConverter(module.instance.exports));
    }
  }

  const ready = loadModule();
  globalThis.veltrane = { ready, gunzip };
  if (typeof document === 'undefined') return;

  // --- The page --------------------------------------------------------

  const NUMERAL_LENGTH = 28;
  const BASE_CHOICES = Array.from({ length: 35 }, (_, i) => String(i + 2));

  const form = document.getElementById('converter');
  const numeral = document.getElementById('numeral');
  const inputBase = document.getElementById('from');
  const outputBase = document.getElementById('to');
  const result = document.getElementById('result');
  const [standard, scientific] = form.elements.notation;
  const copy = document.getElementById('copy');
  const status = document.getElementById('status');
  const explain = document.getElementById('explain');
  const facts = document.getElementById('facts');
  const problems = new Map([numeral, inputBase, outputBase].map(
    (field) => [field, document.getElementById(field.id + '-problem')]));

  let converter = null;
  // The notation last asked for, kept while neither button is checked, as
  // the dialog keeps it; 0 (standard) at the start.
  let asked = 0;
  let firstResult = true;
  let announced = '';

  function announce(text) {
    // A repeated text is changed by a blank so that it is announced again.
    announced = announced === text ? text + '\u00a0' : text;
    status.textContent = announced;
  }

  function showProblem(field, message) {
    const problem = problems.get(field);
    problem.textContent = message;
    problem.hidden = false;
    field.setAttribute('aria-invalid', 'true');
  }

  // Any edit of a field or a notation button clears the result, the
  // problems and the facts.
  function clearResult() {
    result.value = '';
    for (const [field, problem] of problems) {
      problem.hidden = true;
      problem.textContent = '';
      field.removeAttribute('aria-invalid');
    }
    facts.hidden = true;
    facts.replaceChildren();
    explain.querySelector('.empty').hidden = false;
    status.textContent = '';
  }

  // --- Explain: the --json facts, one row a key ---

  function row(key, label, value, detail) {
    const dt = document.createElement('dt');
    dt.textContent = label;
    const dd = document.createElement('dd');
    dd.dataset.key = key;
    const span = document.createElement('span');
    span.className = 'value';
    span.textContent = value;
    dd.append(span);
    if (detail) {
      const more = document.createElement('span');
      more.className = 'detail';
      more.textContent = detail;
      dd.append(more);
    }
    facts.append(dt, dd);
  }

  function storedDetail(image) {
    const signAndExponent = parseInt(image.slice(0, 4), 16);
    const exponent = signAndExponent & 0x7fff;
    return `sign ${signAndExponent >> 15}, biased exponent 0x` +
      `${exponent.toString(16).toUpperCase().padStart(4, '0')} (${exponent}), ` +
      `significand 0x${image.slice(4)}`;
  }

  // Labels and notes of the keys this page knows; any other key the module
  // reports is shown under its own name.
  const FACTS = {
    numeral: ['Numeral', () => 'without its surrounding blanks'],
    from: ['Read in base', null],
    to: ['Written in base', null],
    text: ['Text', null],
    notation: ['Notation', null],
    outcome: ['Outcome', (all, message) => message],
    stored: ['Stored as', (all) => storedDetail(all.stored)],
    class: ['Class', null],
    exact: ['Exact value', (all) => all.exact_complete === false ?
      'cut after 1,100 significant digits; the expansion goes on' : 'every digit'],
    exact_complete: null,
    ulps: ['Distance in ulps', () =>
      '(text − stored) ÷ the unit in the last place of the stored value'],
    reads_back: ['Reads back', () =>
      'whether the text, read in the output base, gives the stored value again'],
    round_trip: ['Round trip', () =>
      'the shortest numeral in the output base that reads back to the stored value'],
  };

  function showFacts(all, message) {
    facts.replaceChildren();
    for (const [key, value] of Object.entries(all)) {
      if (value === null || FACTS[key] === null) continue;
      const [label, detail] = FACTS[key] || [key.replace(/_/g, ' '), null];
      row(key, label, typeof value === 'string' ? value : JSON.stringify(value),
        detail && detail(all, message));
    }
    facts.hidden = false;
    explain.querySelector('.empty').hidden = true;
  }

  // --- The Convert command ---

  function notationAsked() {
    return standard.checked ? 'standard' : scientific.checked ? 'scientific' : null;
  }

  // The state a link carries: the fields and the notation button checked.
  function stateHash() {
    const state = new URLSearchParams();
    state.set('numeral', numeral.value);
    state.set('from', inputBase.value);
    state.set('to', outputBase.value);
    if (notationAsked()) state.set('notation', notationAsked());
    return '#' + state.toString();
  }

  // The facts of the conversion shown, when the Explain list is open (the
  // exact value costs many conversions).
  function explainResult() {
    if (!explain.open || result.value === '' || !facts.hidden) return;
    const json = converter.facts();
    if (json) showFacts(JSON.parse(json), problems.get(numeral).textContent);
  }

  function runConversion(fromHistory) {
    const hash = stateHash();
    if (standard.checked) asked = 0;
    if (scientific.checked) asked = 1;
    const outcome = converter.convert(numeral.value, inputBase.value, outputBase.value, asked);
    clearResult();
    result.value = outcome.text;
    if (outcome.fault) {
      // A base that is no base: ERROR, the buttons and the focus untouched.
      showProblem(outcome.fault === 'input' ? inputBase : outputBase, outcome.message);
      announce(`Result: ${outcome.text}. ${outcome.message}`);
    } else {
      (outcome.scientific ? scientific : standard).checked = true;
      if (outcome.message) showProblem(numeral, outcome.message);
      explainResult();
      announce(outcome.message ? `Result: ${outcome.text}. ${outcome.message}` :
        outcome.notation ? `Result: ${outcome.text}, ${outcome.notation} notation` :
          `Result: ${outcome.text}`);
      numeral.focus();
    }
    if (!fromHistory && location.hash !== hash) history.pushState(null, '', hash);
    if (firstResult) {
      firstResult = false;
      performance.mark('veltrane-first-result');
    }
  }

  // Fills the form from the URL and converts what it names; the defaults
  // and no result when it names nothing.
  function applyHash() {
    const state = new URLSearchParams(location.hash.slice(1));
    numeral.value = (state.get('numeral') || '').slice(0, NUMERAL_LENGTH);
    inputBase.value = state.has('from') ? state.get('from') : '10';
    outputBase.value = state.has('to') ? state.get('to') : '16';
    standard.checked = state.get('notation') === 'standard';
    scientific.checked = state.get('notation') === 'scientific';
    if (!notationAsked()) asked = 0;
    clearResult();
    if (state.has('numeral') && converter) runConversion(true);
  }

  // --- The base boxes: typed, or picked from a list of 2 to 36 ---

  function baseBox(input) {
    const toggle = input.parentElement.querySelector('.pick');
    const list = input.parentElement.querySelector('.choices');
    const options = BASE_CHOICES.map((text) => {
      const option = document.createElement('li');
      option.id = `${list.id}-${text}`;
      option.setAttribute('role', 'option');
      option.setAttribute('aria-selected', 'false');
      option.textContent = text;
      list.append(option);
      return option;
    });
    let active = -1;

    function highlight(index) {
      if (active >= 0) options[active].setAttribute('aria-selected', 'false');
      active = Math.max(0, Math.min(options.length - 1, index));
      options[active].setAttribute('aria-selected', 'true');
      input.setAttribute('aria-activedescendant', options[active].id);
      options[active].scrollIntoView({ block: 'nearest' });
    }
    function open() {
      list.hidden = false;
      input.setAttribute('aria-expanded', 'true');
      toggle.setAttribute('aria-expanded', 'true');
      highlight(Math.max(0, BASE_CHOICES.indexOf(input.value.trim())));
    }
    function close() {
      if (list.hidden) return;
      list.hidden = true;
      input.setAttribute('aria-expanded', 'false');
      toggle.setAttribute('aria-expanded', 'false');
      input.removeAttribute('aria-activedescendant');
      if (active >= 0) options[active].setAttribute('aria-selected', 'false');
      active = -1;
    }
    function pick(index) {
      input.value = BASE_CHOICES[index];
      close();
      clearResult();
    }

    input.addEventListener('keydown', (event) => {
      const step = { ArrowDown: 1, ArrowUp: -1, PageDown: 8, PageUp: -8 }[event.key];
      if (list.hidden) {
        if (event.key === 'ArrowDown' || (event.altKey && event.key === 'ArrowUp')) {
          event.preventDefault();
          open();
        }
        return;
      }
      if (event.altKey && (event.key === 'ArrowUp' || event.key === 'ArrowDown')) {
        event.preventDefault();
        close();
      } else if (step) {
        event.preventDefault();
        highlight(active + step);
      } else if (event.key === 'Enter') {
        event.preventDefault();
        pick(active);
      } else if (event.key === 'Escape') {
        event.preventDefault();
        close();
      }
    });
    input.addEventListener('input', () => {
      close();
      clearResult();
    });
    input.addEventListener('blur', close);
    // Pressing the button or the list leaves the focus in the text.
    toggle.addEventListener('mousedown', (event) => event.preventDefault());
    list.addEventListener('mousedown', (event) => event.preventDefault());
    toggle.addEventListener('click', () => {
      input.focus();
      if (list.hidden) open();
      else close();
    });
    list.addEventListener('click', (event) => {
      const option = event.target.closest('[role="option"]');
      if (option) pick(options.indexOf(option));
    });
  }

  // --- Wiring ---

  baseBox(inputBase);
  baseBox(outputBase);
  numeral.addEventListener('input', clearResult);
  // A click on either button clears, the checked one included.
  standard.addEventListener('click', clearResult);
  scientific.addEventListener('click', clearResult);

  form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (converter) runConversion(false);
    else ready.then(() => runConversion(false));
  });
  // Alt+C presses Convert, wherever the focus is.
  document.addEventListener('keydown', (event) => {
    if (event.altKey && !event.ctrlKey && !event.metaKey && event.code === 'KeyC') {
      event.preventDefault();
      form.requestSubmit();
    }
  });

  copy.addEventListener('click', async () => {
    const text = result.value;
    if (!text) {
      announce('There is no result to copy yet.');
      return;
    }
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      result.select();
      document.execCommand('copy');
    }
    announce(`Copied ${text}`);
  });

  explain.addEventListener('toggle', explainResult);
  window.addEventListener('popstate', applyHash);
  if (location.hash) applyHash();
  ready.then((loaded) => {
    converter = loaded;
    if (location.hash) applyHash();
  }, (error) => {
    announce(`The converter could not start: ${error.message}`);
    form.querySelector('#convert').disabled = true;
  });
})();
