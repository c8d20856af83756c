// Veltrane in the browser: the npm package's code (api.js), with the
// module embedded, and the page on its API, wired as the dialog is wired to
// its Convert command. Every decision about numbers is the library's; the
// page moves text in and out and keeps the notation buttons, the URL and the
// Explain list in step. A classic script, not a module script, so that the
// page also works from a file opened on disk.
//
// Outside a page (no document) it only loads the module, as
// globalThis.veltrane.ready, a promise of the API; its gunzip is there too.
// Over http(s) it registers the service worker (sw.js) that keeps the
// page's files for use offline.
(function () {
  'use strict';

  // The package's code (api.js) up to its exports, written in by the build:
  // MODULE, gunzip, NumeralError, makeApi(exports) and loadModule(), a
  // promise of the API (convert, convertDetails, explain, readBase, ...).
  // @VELTRANE_API@

  const ready = loadModule();
  globalThis.veltrane = { ready, gunzip };
  if (typeof document === 'undefined') return;

  // --- The page --------------------------------------------------------

  // What the fields hold (their maxlength): the most the dialog reads.
  const NUMERAL_LENGTH = 28;
  const BASE_LENGTH = 8;
  // The bases the lists offer, from the library once it is loaded.
  const baseChoices = [];

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

  let api = null;
  // The latest conversion's numeral and options, for its facts.
  let latest = null;
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
      if (key === 'round_trip' && value === null && all.stored !== null) {
        // A stored value with no round-trip text says so, as --explain does.
        row(key, 'Round trip', 'none', `no numeral in base ${all.to} of at most ` +
          `${api.maxNumeralLength.toLocaleString('en')} bytes reads back to the stored value`);
        continue;
      }
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
    if (!explain.open || result.value === '' || !facts.hidden || !latest) return;
    showFacts(api.explain(...latest), problems.get(numeral).textContent);
  }

  // A base box's text without the blanks around it, to name it in a
  // message. The box holds at most 8 characters, the most the base reading
  // takes: its text is all that is read, so the message quotes it whole.
  function baseProblem(text) {
    const read = text.replace(/^ +| +$/g, '');
    const rule = `give a whole decimal number from ${api.minBase} to ${api.maxBase}`;
    return read === '' ? `no base; ${rule}` : `'${read}' is not a base; ${rule}`;
  }

  function runConversion(fromHistory) {
    const hash = stateHash();
    if (standard.checked) asked = 0;
    if (scientific.checked) asked = 1;
    // The input base is read first, the output base only when it is one.
    const from = api.readBase(inputBase.value);
    const to = from === null ? null : api.readBase(outputBase.value);
    clearResult();
    latest = null;
    if (to === null) {
      // A base that is no base: ERROR, the buttons and the focus untouched.
      const box = from === null ? inputBase : outputBase;
      const message = baseProblem(box.value);
      result.value = 'ERROR';
      showProblem(box, message);
      announce(`Result: ERROR. ${message}`);
    } else {
      latest = [numeral.value, { from, to, scientific: asked === 1 }];
      const outcome = api.convertDetails(...latest);
      result.value = outcome.text;
      // The notation of the text, or for ERROR, +INF and -INF the one asked for.
      const shown = outcome.notation ? outcome.notation === 'scientific' : asked === 1;
      (shown ? scientific : standard).checked = true;
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

  // text cut to what a field of length UTF-16 units holds, as typing into
  // it stops: never inside a character of two units.
  function cutToField(text, length) {
    const cut = text.slice(0, length);
    return /[\uD800-\uDBFF]$/.test(cut) && text.length > length ? cut.slice(0, -1) : cut;
  }

  // Fills the form from the URL and converts what it names; the defaults
  // and no result when it names nothing.
  function applyHash() {
    const state = new URLSearchParams(location.hash.slice(1));
    numeral.value = cutToField(state.get('numeral') || '', NUMERAL_LENGTH);
    inputBase.value = state.has('from') ? cutToField(state.get('from'), BASE_LENGTH) : '10';
    outputBase.value = state.has('to') ? cutToField(state.get('to'), BASE_LENGTH) : '16';
    standard.checked = state.get('notation') === 'standard';
    scientific.checked = state.get('notation') === 'scientific';
    if (!notationAsked()) asked = 0;
    clearResult();
    if (state.has('numeral') && api) runConversion(true);
  }

  // --- The base boxes: typed, or picked from a list of 2 to 36 ---

  function baseBox(input) {
    const toggle = input.parentElement.querySelector('.pick');
    const list = input.parentElement.querySelector('.choices');
    const options = [];
    let active = -1;

    function fill() {
      for (const text of baseChoices) {
        const option = document.createElement('li');
        option.id = `${list.id}-${text}`;
        option.setAttribute('role', 'option');
        option.setAttribute('aria-selected', 'false');
        option.textContent = text;
        list.append(option);
        options.push(option);
      }
    }

    function highlight(index) {
      if (active >= 0) options[active].setAttribute('aria-selected', 'false');
      active = Math.max(0, Math.min(options.length - 1, index));
      options[active].setAttribute('aria-selected', 'true');
      input.setAttribute('aria-activedescendant', options[active].id);
      options[active].scrollIntoView({ block: 'nearest' });
    }
    function open() {
      if (!options.length) fill();
      if (!options.length) return;
      list.hidden = false;
      input.setAttribute('aria-expanded', 'true');
      toggle.setAttribute('aria-expanded', 'true');
      highlight(Math.max(0, baseChoices.indexOf(input.value.trim())));
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
      input.value = baseChoices[index];
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
    if (api) runConversion(false);
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
  // Over http(s), the service worker keeps the page's files, so that the
  // page opens and converts offline, and as an installed app. Registered
  // once the converter has started and shown any first result, so that its
  // fetching the page's files again does not delay that result; a page
  // opened from disk needs none (and could register none). Without it the
  // page works as ever, online.
  function registerWorker() {
    if ('serviceWorker' in navigator && /^https?:$/.test(location.protocol)) {
      navigator.serviceWorker.register('sw.js').catch(() => {});
    }
  }

  ready.then((loaded) => {
    api = loaded;
    for (let base = api.minBase; base <= api.maxBase; base++) baseChoices.push(String(base));
    if (location.hash) applyHash();
    registerWorker();
  }, (error) => {
    announce(`The converter could not start: ${error.message}`);
    form.querySelector('#convert').disabled = true;
    registerWorker();
  });
})();
