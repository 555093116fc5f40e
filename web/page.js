// The page: one point (the single-point window and the tool's convert on one point), files (the
// data-file program's jobs and convert, in a worker), the grids (kept in this browser) and the
// picture. Everything it computes, reads, writes or says comes from the engine; this file only
// moves texts between the engine and the page.
(function () {
  'use strict';

  const $ = (id) => document.getElementById(id);
  // The page's files are here: the message for an index.html opened on its own goes.
  if ($('alone')) $('alone').remove();
  const bundle = vortanBundle();
  const state = {
    vortan: null,
    wasm: null,
    region: 'mainland',
    grids: null,        // { key, dn: { name, bytes }, de: { name, bytes }, example, loaded }
    singlePoint: null,
    worker: null,
    workerReady: null,
    runId: 0,
    file: null,
    downloads: [],
    recycle: null,      // the ArrayBuffers of the files offered, for the next run
    scene: { east: null, north: null },
  };

  const FORM_NAMES = {
    'htrs07-xyz': 'HTRS07 X, Y, Z',
    'htrs07-geographic': 'HTRS07 φ, λ, h',
    'htrs07-tm07': 'HTRS07 TM07 E, N, h',
    'ggrs87-geographic': 'ΕΓΣΑ87 φ, λ, h',
    'ggrs87-tm87': 'ΕΓΣΑ87 TM87 E, N, h',
  };
  // The input boxes of the single-point window for a typed form, and its button.
  const WINDOW_INPUTS = {
    'htrs07-xyz': { boxes: ['Text5', 'Text6', 'Text7'], button: 'Command2' },
    'htrs07-tm07': { boxes: ['Text11', 'Text12', 'Text10'], button: 'Command5' },
    'ggrs87-tm87': { boxes: ['Text1', 'Text2', 'Text18'], button: 'Command1' },
    'ggrs87-geographic': { boxes: ['Text3', 'Text4', 'Text19'], button: 'Command1', clear: ['Text1', 'Text2'] },
  };

  // --- the engine --------------------------------------------------------------------------

  // vortan.wasm: fetched beside the page; from a folder (file://), where nothing can be
  // fetched, from the same bytes in vortan-wasm.js.
  async function loadWasm() {
    if (location.protocol !== 'file:') {
      try {
        const response = await fetch('vortan.wasm');
        if (response.ok) {
          return WebAssembly.compileStreaming
            ? await WebAssembly.compileStreaming(response)
            : await WebAssembly.compile(await response.arrayBuffer());
        }
      } catch (e) {
        // Fall back to the script below.
      }
    }
    await loadScript('vortan-wasm.js');
    const text = atob(globalThis.VORTAN_WASM_BASE64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    return WebAssembly.compile(bytes);
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = src;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`${src} could not be loaded`));
      document.head.appendChild(script);
    });
  }

  // --- messages ----------------------------------------------------------------------------

  // A message box of the programs: title, text (Greek, a blank line, English), OK or OK and
  // Cancel. Resolves when it is closed.
  function showMessage(message) {
    const dialog = $('message');
    $('message-title').textContent = message.title;
    $('message-text').textContent = message.text.replace(/\r\n/g, '\n');
    $('message-cancel').hidden = message.buttons !== 'ok-cancel';
    dialog.dataset.icon = message.icon || 'information';
    return new Promise((resolve) => {
      dialog.addEventListener('close', () => resolve(dialog.returnValue), { once: true });
      dialog.showModal();
    });
  }

  async function showMessages(messages) {
    for (const m of messages || []) await showMessage(m);
  }

  // The tool's words for what only the command line has (its options, the folder of its
  // outputs), said as the page offers it, in Greek and English: one table, applied to what the
  // engine says of a file or a table and to the messages of its run. find: the tool's words
  // (what the tool prints is never changed); en: them in the page's words; el: the Greek,
  // placed with the Greek of the message (before the English where the message has none);
  // failed: only where the run stopped (the outputs of a stopped run are not offered).
  const PAGE_WORDS = [
    { find: /^(.*): outside the correction grid\. Nothing was written; give --outside skip to leave out the features outside the grid$/gm,
      el: 'Ένα σημείο είναι εκτός του καννάβου διορθώσεων: δεν γράφτηκε τίποτα. Η σελίδα δεν ' +
        'παραλείπει σημεία εκτός καννάβου (δεν έχει τέτοια επιλογή): αφαιρέστε τα από το αρχείο ή ' +
        'διαλέξτε τη σωστή μορφή στο «από».',
      en: '$1: outside the correction grid. Nothing was written; the page has no choice to leave ' +
        'out the points outside the grid: remove them from the file, or choose the right form ' +
        'in "from".' },
    { find: /^(.*): name the coordinate columns with --columns X,Y\[,Z\] \(their names in the header, easting or longitude first\)$/gm,
      el: 'Διαλέξτε τις στήλες των συντεταγμένων στις «Στήλες συντεταγμένων» (E, X, λ· N, Y, φ· ' +
        'h, Z) και εκτελέστε ξανά.',
      en: '$1: choose the coordinate columns under "Coordinate columns" (E, X, λ; N, Y, φ; h, Z) ' +
        'and run again.' },
    { find: /^(.*) Correct the geometry or give the right --from$/gm,
      el: 'Οι συντεταγμένες δεν είναι σημείο της Γης στη μορφή που διαλέξατε: διορθώστε τες ή ' +
        'διαλέξτε τη σωστή μορφή στο «από».',
      en: '$1 Correct the coordinates, or choose the right form in "from".' },
    { find: /^note: (.*); give --from (\S+) when you convert the file again$/gm,
      el: 'Σημείωση: το αρχείο που γράφτηκε δεν λέει το σύστημά του: όταν το μετατρέψετε ξανά, ' +
        'διαλέξτε $2 στο «από».',
      en: 'note: $1; choose $2 in "from" when you convert the file again' },
    { find: /\s*Τ(?:ο|α) \d+ σημεί(?:ο|α) που υπολογίστηκ(?:ε|αν) ως εκεί παραμέν(?:ει|ουν) στα αρχεία εξόδου\./g,
      failed: true, en: '' },
    { find: /(^|\s)\d+ points? written to [^\r\n]*\./gm, failed: true,
      el: 'Η σελίδα δεν δίνει αρχεία μιας εκτέλεσης που σταμάτησε: διορθώστε το αρχείο και ' +
        'εκτελέστε ξανά.',
      en: '$1The page offers no file of a run that stopped: correct the file and run it again.' },
  ];

  function inPageWords(text, failed) {
    const greek = [];
    const fill = (words, m) => words.replace(/\$(\d)/g, (_, k) => m[Number(k)] || '');
    let out = text || '';
    for (const rule of PAGE_WORDS) {
      if (rule.failed && !failed) continue;
      out = out.replace(rule.find, (...m) => {
        if (rule.el) greek.push(fill(rule.el, m));
        return fill(rule.en, m);
      });
    }
    if (!greek.length) return out;
    // The Greek goes before the first line without a Greek word (the English, or the blank
    // line before it).
    const lines = out.split(/\r?\n/);
    let at = lines.findIndex((line) => !/[\u0370-\u03ff\u1f00-\u1fff]{3}/.test(line));
    if (at < 0) at = lines.length;
    lines.splice(at, 0, ...greek);
    return lines.join('\n');
  }

  function status(id, text, kind) {
    const p = $(id);
    p.textContent = text || '';
    p.dataset.kind = kind || '';
  }

  // --- grids kept in this browser (IndexedDB) -----------------------------------------------

  function openStore() {
    return new Promise((resolve, reject) => {
      const request = indexedDB.open('vortan-transform', 1);
      request.onupgradeneeded = () => request.result.createObjectStore('grids');
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  }

  async function storeGet(key) {
    const db = await openStore();
    return new Promise((resolve, reject) => {
      const request = db.transaction('grids').objectStore('grids').get(key);
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  }

  async function storePut(key, value) {
    const db = await openStore();
    return new Promise((resolve, reject) => {
      const tx = db.transaction('grids', 'readwrite');
      if (value === undefined) tx.objectStore('grids').delete(key);
      else tx.objectStore('grids').put(value, key);
      tx.oncomplete = resolve;
      tx.onerror = () => reject(tx.error);
    });
  }

  // Loads a pair of grid files into the engine: the data-file program's initial step shows
  // their header (or says why they do not load). Keeps them in the browser when they load.
  async function useGrids(dn, de, example, keep) {
    const v = state.vortan;
    let loaded = null;
    try {
      loaded = v.loadGrids(dn, de);
    } catch (e) {
      loaded = null;
    }
    // The data-file window's own texts and messages, whichever way it went.
    const files = loaded || v.gridFiles(dn, de);
    const answer = v.dataFiles('mainland').initialStep(files);
    if (!loaded) v.removeFolder(files.folder);
    showGridTexts(answer.texts);
    status('grid-status', answer.texts.StatusLine || '', loaded ? 'ok' : 'error');
    if (!loaded) {
      await showMessages(answer.messages);
      return false;
    }
    state.grids = { key: `${dn.name}|${de.name}|${Date.now()}`, dn, de, example, loaded };
    $('test-data').hidden = !example;
    if (example) $('test-data').textContent = testDataWarning();
    if (keep) {
      await storePut('current', {
        dn: { name: dn.name, bytes: dn.bytes }, de: { name: de.name, bytes: de.bytes },
        example, saved: new Date().toISOString(),
      });
    }
    await resetSinglePoint();
    return true;
  }

  function showGridTexts(texts) {
    for (const box of ['Text14', 'Text15', 'Text1', 'Text2', 'Text3', 'Text4', 'Text5', 'Text6', 'Text7']) {
      $(box).value = texts[box] || '';
    }
  }

  // The warning of the synthetic grids, in the words of the Windows zip's README: its title
  // and the sentences that say they are not the official grids (the rest is about the tool).
  function testDataWarning() {
    const text = (globalThis.VORTAN_TEST_DATA_README || '').replace(/^\uFEFF/, '').replace(/\r/g, '');
    const lines = text.split('\n');
    const title = lines.slice(0, 2).join('\n');
    const flat = text.replace(/\s+/g, ' ');
    const english = flat.match(/THEY ARE NOT THE OFFICIAL.*?survey work\./);
    const greek = flat.match(/ΔΕΝ είναι οι επίσημοι.*?εργασία\./);
    if (!english || !greek) return text;
    return `${title}\n\n${english[0]}\n${greek[0]}`;
  }

  async function restoreGrids() {
    let kept = null;
    try {
      kept = await storeGet('current');
    } catch (e) {
      kept = null;
    }
    if (kept && kept.dn && kept.de) {
      await useGrids({ name: kept.dn.name, bytes: new Uint8Array(kept.dn.bytes) },
        { name: kept.de.name, bytes: new Uint8Array(kept.de.bytes) }, !!kept.example, false);
      status('grid-status', `${$('grid-status').textContent}\nΑπό την προηγούμενη επίσκεψη / kept from the last visit (${kept.saved || ''}).`, 'ok');
    } else {
      status('grid-status', 'Δεν έχουν επιλεγεί κάνναβοι: επιλέξτε τα αρχεία dN και dE. ' +
        '\nNo grids are chosen yet: choose the dN and dE files.', '');
    }
  }

  async function chooseGridFiles() {
    const dnFile = $('dn-file').files[0];
    const deFile = $('de-file').files[0];
    if (!dnFile || !deFile) return;
    const dn = { name: dnFile.name, bytes: new Uint8Array(await dnFile.arrayBuffer()) };
    const de = { name: deFile.name, bytes: new Uint8Array(await deFile.arrayBuffer()) };
    await useGrids(dn, de, false, true);
  }

  async function exampleGrids() {
    const grids = state.vortan.exampleGrids();
    await useGrids(grids.dn, grids.de, true, true);
  }

  async function forgetGrids() {
    await storePut('current', undefined);
    state.grids = null;
    showGridTexts({ Text14: 'γραμμές', Text15: 'στήλες' });
    $('test-data').hidden = true;
    status('grid-status', 'Οι κάνναβοι διαγράφηκαν από αυτόν τον browser.\nThe grids were removed from this browser.', '');
    await resetSinglePoint();
  }

  // --- one point ---------------------------------------------------------------------------

  function fillForms() {
    const forms = state.vortan.forms;
    for (const id of ['typed-form', 'wanted-form', 'from-form', 'to-form']) {
      const select = $(id);
      select.textContent = '';
      for (const form of forms) {
        const option = document.createElement('option');
        option.value = form;
        option.textContent = `${FORM_NAMES[form]} (${form})`;
        select.appendChild(option);
      }
    }
    $('typed-form').value = 'ggrs87-tm87';
    $('wanted-form').value = 'htrs07-tm07';
    $('from-form').value = 'htrs07-tm07';
    $('to-form').value = 'ggrs87-tm87';
  }

  function coordinateLabels(form) {
    const f = state.vortan.catalogue.forms.find((x) => x.name === form);
    return f.coordinates.map((name, k) => {
      if (k === 2) return `${name} [m]`;
      return f.geographic ? `${name} [DDMMSS.SSSSS]` : `${name} [m]`;
    });
  }

  function tripleBoxes(container, form, values, readOnly) {
    container.textContent = '';
    const labels = coordinateLabels(form);
    const inputs = [];
    labels.forEach((label, k) => {
      const wrap = document.createElement('label');
      wrap.textContent = label;
      const input = document.createElement('input');
      input.type = 'text';
      // A phone's keyboard of digits and the decimal point.
      input.inputMode = 'decimal';
      input.spellcheck = false;
      input.autocomplete = 'off';
      input.value = values ? values[k] : '';
      input.readOnly = readOnly;
      input.dataset.coordinate = String(k);
      wrap.appendChild(input);
      container.appendChild(wrap);
      inputs.push(input);
    });
    return inputs;
  }

  // The typed boxes start with the window's own default point for the form.
  function resetTyped() {
    const form = $('typed-form').value;
    const win = WINDOW_INPUTS[form];
    const texts = state.singlePoint ? state.singlePoint.texts : {};
    let values = win ? win.boxes.map((b) => texts[b] || '') : ['', '', ''];
    if (form === 'htrs07-tm07') values = ['566446.108', '2529618.096', '51.610'];
    if (form === 'htrs07-geographic') values = ['405453.90607', '244720.59229', '51.610'];
    if (state.region === 'kastelorizo' && form === 'htrs07-geographic') values = ['', '', ''];
    if (state.region === 'kastelorizo' && form === 'htrs07-tm07') values = ['', '', ''];
    const inputs = tripleBoxes($('typed-boxes'), form, values, false);
    for (const input of inputs) {
      input.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') convertPoint();
      });
    }
    tripleBoxes($('wanted-boxes'), $('wanted-form').value, null, true);
  }

  async function resetSinglePoint() {
    const v = state.vortan;
    state.singlePoint = v.singlePoint(state.region, { grids: state.grids ? state.grids.loaded : null });
    const program = state.catalogueRegion().programs.singlePoint;
    $('window-caption').textContent = program.caption;
    renderWindow();
    // The initial step at once where it can run (on the mainland it needs the grids).
    if (state.region === 'kastelorizo' || state.grids) {
      status('point-status', '');
      const result = state.singlePoint.click('Command3');
      updateWindow();
      if (result.status !== 'done') await showMessages(result.messages);
    } else {
      status('point-status', 'Για μετατροπή μεταξύ HTRS07 και ΕΓΣΑ87 επιλέξτε πρώτα τους ' +
        'κανάβους dN, dE (Κάνναβοι).\nTo convert between HTRS07 and GGRS87, choose the dN, dE ' +
        'grids first (Grids).', '');
    }
    resetTyped();
  }

  // The single-point window, built from its table of controls: the top area, the HTRS07 to
  // ΕΓΣΑ87 area, the way back, with the groups of the desktop window.
  const WINDOW_LAYOUT = [
    { area: 'top', rows: [
      ['Label20'], ['Label14'],
      ['Command3', 'Command4'],
      ['Text14', 'Text15'],
      ['Label22', 'Text45', 'Label23', 'Text46', 'Label24', 'Text47'],
      ['Label25', 'Text48', 'Label26', 'Text49', 'Label27', 'Text50', 'Label28', 'Text51'],
    ] },
    { area: 'forward', rows: [
      ['Label17'], ['Label3'], ['Text5', 'Text6', 'Text7', 'Command2'],
      { group: 'Frame1', rows: [['Text8', 'Text33', 'Text34'], ['Text9', 'Text36', 'Text37'],
        ['Text10', 'Text11', 'Text12', 'Text13']] },
      ['Label5', 'Text16', 'Text17', 'Command5'],
      { group: 'Frame2', rows: [['Text20', 'Text35', 'Text38'], ['Text21', 'Text39', 'Text40'],
        ['Text22', 'Text23', 'Text32']] },
    ] },
    { area: 'back', rows: [
      ['Label18'], ['Label13'],
      { group: 'Frame5', rows: [['Text1', 'Text2', 'Text18']] },
      { group: 'Frame3', rows: [['Text3', 'Text4', 'Text19']] },
      ['Command1', 'Label19', 'Text26', 'Text27'],
      { group: 'Frame4', rows: [['Text28', 'Text41', 'Text42'], ['Text29', 'Text43', 'Text44'],
        ['Text30', 'Text31', 'Text24']] },
    ] },
  ];

  function renderWindow() {
    const sp = state.singlePoint;
    const byName = new Map(sp.controls.map((c) => [c.name, c]));
    const root = $('window');
    root.textContent = '';
    const renderRow = (names, parent) => {
      const row = document.createElement('div');
      row.className = 'row';
      // A label and the box after it stay together when the row wraps on a narrow screen.
      const controls = names.map((name) => byName.get(name)).filter(Boolean);
      controls.forEach((c, k) => {
        const el = renderControl(c);
        if (c.kind === 'label' && controls[k + 1] && controls[k + 1].kind === 'box') {
          const pair = document.createElement('span');
          pair.className = 'pair';
          pair.appendChild(el);
          row.appendChild(pair);
        } else if (c.kind === 'box' && k > 0 && controls[k - 1].kind === 'label') {
          row.lastChild.appendChild(el);
        } else {
          row.appendChild(el);
        }
      });
      if (row.childElementCount) parent.appendChild(row);
    };
    for (const area of WINDOW_LAYOUT) {
      const div = document.createElement('div');
      div.className = `area ${area.area}`;
      for (const row of area.rows) {
        if (Array.isArray(row)) {
          renderRow(row, div);
        } else {
          const g = byName.get(row.group);
          if (!g) continue;
          const fieldset = document.createElement('fieldset');
          fieldset.id = `w-${g.name}`;
          fieldset.title = g.tip;
          const legend = document.createElement('legend');
          legend.textContent = g.text;
          fieldset.appendChild(legend);
          for (const r of row.rows) renderRow(r, fieldset);
          div.appendChild(fieldset);
        }
      }
      root.appendChild(div);
    }
    updateWindow();
  }

  function renderControl(c) {
    let el;
    if (c.kind === 'box') {
      el = document.createElement('input');
      el.type = 'text';
      el.inputMode = 'decimal';
      el.spellcheck = false;
      el.value = state.singlePoint.texts[c.name] || '';
      el.addEventListener('input', () => state.singlePoint.setText(c.name, el.value));
      el.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') pressForBox(c.name);
      });
      if (c.background) {
        el.style.background = `#${c.background.toString(16).padStart(6, '0')}`;
      }
    } else if (c.kind === 'button') {
      el = document.createElement('button');
      el.type = 'button';
      el.textContent = c.text;
      el.addEventListener('click', () => pressButton(c.name));
    } else {
      el = document.createElement('span');
      el.className = 'label';
      el.textContent = c.text;
    }
    el.id = `w-${c.name}`;
    el.dataset.control = c.name;
    if (c.tip) el.title = c.tip;
    return el;
  }

  // Return in an input box presses the conversion button of its group.
  function pressForBox(box) {
    const groups = {
      Command2: ['Text5', 'Text6', 'Text7'],
      Command5: ['Text10', 'Text11', 'Text12'],
      Command1: ['Text1', 'Text2', 'Text18', 'Text3', 'Text4', 'Text19'],
    };
    for (const [button, boxes] of Object.entries(groups)) {
      if (boxes.includes(box)) pressButton(button);
    }
  }

  function updateWindow() {
    const sp = state.singlePoint;
    for (const c of sp.controls) {
      const el = $(`w-${c.name}`);
      if (!el) continue;
      if (c.kind === 'box') el.value = sp.texts[c.name] || '';
      if (c.kind === 'label' && c.name === 'GridFolder') el.textContent = sp.texts.GridFolder || '';
      if (c.kind === 'box' || c.kind === 'button') {
        el.disabled = sp.enabled[c.name] === false;
      }
    }
  }

  async function pressButton(button) {
    const sp = state.singlePoint;
    if (button === 'Command4') {
      await showMessage({ title: 'ΒΟΗΘΕΙΑ', buttons: 'ok', icon: 'information',
        text: 'Το εγχειρίδιο των προγραμμάτων συνοδεύει την εγκατάσταση (docs/manual).\r\n\r\n' +
          'The manual of the programs comes with the installation (docs/manual).' });
      return null;
    }
    if (sp.enabled[button] === false) return null;
    const result = sp.click(button);
    updateWindow();
    await showMessages(result.messages);
    return result;
  }

  // The tool's convert on the one point typed: the record "P,a,b,c" through the same reader,
  // chain and writer as a file.
  function convertOne(from, to, texts) {
    const v = state.vortan;
    const grids = state.grids ? state.grids.loaded : null;
    const record = `P,${texts.join(',')}\r\n`;
    const r = v.convert(from, to, { name: 'σημείο.txt', bytes: record },
      { region: state.region, grids });
    const line = new TextDecoder().decode(r.outputs[0].bytes).replace(/\r\n$/, '');
    return line.split(',').slice(1);
  }

  async function convertPoint() {
    const from = $('typed-form').value;
    const to = $('wanted-form').value;
    const texts = Array.from($('typed-boxes').querySelectorAll('input'), (i) => i.value);
    const wanted = Array.from($('wanted-boxes').querySelectorAll('input'));
    for (const w of wanted) w.value = '';
    status('point-status', '');
    // Only what crosses the datum on the mainland needs the grids, as in the tool.
    const across = from.startsWith('htrs07') !== to.startsWith('htrs07');
    if (across && state.region === 'mainland' && !state.grids) {
      status('point-status', 'Επιλέξτε πρώτα τους κανάβους dN, dE (Κάνναβοι).\nChoose the dN, dE grids first (Grids).', 'error');
      return;
    }
    // The window's button for the typed form, with the typed texts in its boxes, where its
    // initial step has run. Across the datum its refusal is the answer; within one system the
    // tool's convert answers (a point outside the grids converts), and the window's refusal is
    // said only when the convert fails too.
    let win = WINDOW_INPUTS[from];
    let windowTexts = texts;
    // E = N = 0 is no E, N to the window: it converts its φ, λ boxes instead. The point typed
    // goes into them, so that every box of the window comes from it.
    const zero = (text) => /^\s*$/.test(text) || Number(text) === 0;
    if (from === 'ggrs87-tm87' && zero(texts[0]) && zero(texts[1])) {
      try {
        windowTexts = [...convertOne(from, 'ggrs87-geographic', texts).slice(0, 2), texts[2]];
        win = WINDOW_INPUTS['ggrs87-geographic'];
      } catch (e) {
        win = null;
      }
    }
    const sp = state.singlePoint;
    let refusal = null;
    if (win && sp.enabled[win.button] !== false) {
      for (const box of win.clear || []) sp.setText(box, '');
      win.boxes.forEach((box, k) => sp.setText(box, windowTexts[k]));
      const result = sp.click(win.button);
      updateWindow();
      if (result.status === 'done' || across) await showMessages(result.messages);
      if (result.status !== 'done') {
        refusal = result.message.replace(/\r\n/g, '\n');
        if (across) {
          status('point-status', refusal, 'error');
          return;
        }
      }
    }
    try {
      const values = convertOne(from, to, texts);
      values.forEach((value, k) => {
        if (wanted[k]) wanted[k].value = value;
      });
      // A packed latitude or longitude below 100 is most likely decimal degrees: the window's
      // notice, in the warning colour, whichever region and system.
      const notice = state.vortan.degreesNotice(from, texts[0], texts[1]);
      status('point-status', notice || `${FORM_NAMES[from]} → ${FORM_NAMES[to]}`, notice ? 'warning' : 'ok');
      // The picture's TM07 position, where there is one (not across the datum without grids
      // or outside them).
      let tm07 = to === 'htrs07-tm07' ? values : null;
      try {
        tm07 = tm07 || convertOne(from, 'htrs07-tm07', texts);
      } catch (e) {
        tm07 = null;
      }
      if (tm07) showPoints(new Float64Array([Number(tm07[0])]), new Float64Array([Number(tm07[1])]), 1, state.region);
    } catch (e) {
      // Said of the boxes, as the window says it: the record of the typed point is no file of
      // the user's.
      const said = state.vortan.pointRefusal(from, texts) || refusal;
      status('point-status', said ? said.replace(/\r\n/g, '\n') : e.message, 'error');
    }
  }

  // --- files -------------------------------------------------------------------------------

  function fillJobs() {
    const select = $('job');
    select.textContent = '';
    for (const job of state.vortan.catalogue.jobs) {
      const option = document.createElement('option');
      option.value = job.name;
      option.textContent = `${job.title} (${job.name})`;
      select.appendChild(option);
    }
    const option = document.createElement('option');
    option.value = 'convert';
    option.textContent = 'Μετατροπή μεταξύ μορφών - Conversion between forms (convert)';
    select.appendChild(option);
    select.value = 'sxyz-to-ggrs87';
    select.addEventListener('change', jobChanged);
    jobChanged();
  }

  function isTable() {
    return !!state.file && $('file-kind').value === 'table';
  }

  function jobChanged() {
    const table = isTable();
    if (table) $('job').value = 'convert';
    $('job').disabled = table;
    $('convert-forms').hidden = $('job').value !== 'convert';
    $('table-columns').hidden = !table;
    $('run').disabled = !state.file;
  }

  // The first bytes of a file, up to its last whole line where it is longer.
  async function firstBytes(file, size) {
    const bytes = new Uint8Array(await file.slice(0, size).arrayBuffer());
    if (file.size <= size) return bytes;
    const end = bytes.lastIndexOf(10);
    return end < 0 ? bytes : bytes.subarray(0, end + 1);
  }

  // A table's columns in the three selects, preset with the columns the tool finds by their
  // names (none where it finds none: the run then says so).
  async function fillColumns(file) {
    state.columns = null;
    let found = { names: [], x: -1, y: -1, z: -1 };
    try {
      found = state.vortan.tableColumns({ name: file.name, bytes: await firstBytes(file, 1 << 16) });
    } catch (e) {
      // No header: the run says what the file is.
    }
    state.columns = found;
    for (const [id, place, none] of [['column-x', found.x, '—'], ['column-y', found.y, '—'],
      ['column-z', found.z, 'καμία - none']]) {
      const select = $(id);
      select.textContent = '';
      select.appendChild(new Option(none, ''));
      found.names.forEach((name, k) => select.appendChild(new Option(name, String(k))));
      select.value = place >= 0 ? String(place) : '';
    }
  }

  // The coordinate columns chosen, as the tool's --columns names them; none where the choice
  // is the one the tool makes by itself.
  function chosenColumns() {
    const found = state.columns;
    if (!found) return undefined;
    const places = ['column-x', 'column-y', 'column-z'].map((id) => ($(id).value === '' ? -1 : Number($(id).value)));
    if (places[0] === found.x && places[1] === found.y && places[2] === found.z) return undefined;
    if (places[0] < 0 || places[1] < 0) return undefined;
    const names = places.filter((k) => k >= 0).map((k) => found.names[k]);
    return places[2] < 0 ? names.slice(0, 2) : names;
  }

  // A file is a record file or a table by its name and first line, as the tool decides; the
  // user may say otherwise.
  async function chooseFile(file) {
    state.file = file;
    state.columns = null;
    $('file-name').textContent = file ? `${file.name} — ${file.size.toLocaleString('el-GR')} bytes` : '';
    clearDownloads();
    $('file-kind-choice').hidden = !file;
    $('file-kind-choice').dataset.ready = '';
    // A record file until its name and first line say otherwise (the run waits for them).
    $('file-kind').value = 'records';
    jobChanged();
    if (!file) return;
    state.choosing = (async () => {
      try {
        $('file-kind').value = state.vortan.inputKind({ name: file.name, bytes: await firstBytes(file, 4096) });
      } catch (e) {
        $('file-kind').value = /\.csv$/i.test(file.name) ? 'table' : 'records';
      }
      await fillColumns(file);
      jobChanged();
      $('file-kind-choice').dataset.ready = 'true';
    })();
    await state.choosing;
  }

  function clearDownloads() {
    for (const url of state.downloads) URL.revokeObjectURL(url);
    state.downloads = [];
    $('downloads').textContent = '';
  }

  // The worker: this page's engine bundle and worker function in one script, from a blob, so
  // that it runs from a folder (file://) too.
  function startWorker() {
    if (state.worker) return state.workerReady;
    const source = `const bundle = (${vortanBundle.toString()})();\n(${vortanWorker.toString()})(self, bundle);\n`;
    const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    const worker = new Worker(url);
    URL.revokeObjectURL(url);
    state.worker = worker;
    state.workerReady = new Promise((resolve, reject) => {
      worker.onmessage = (event) => {
        if (event.data.type === 'ready') resolve(worker);
        else if (event.data.type === 'failed') reject(new Error(event.data.message));
      };
      worker.onerror = (event) => reject(new Error(event.message));
    });
    worker.postMessage({ type: 'init', wasm: state.wasm });
    return state.workerReady;
  }

  function stopWorker() {
    if (state.worker) state.worker.terminate();
    state.worker = null;
    state.workerReady = null;
  }

  function jobOf(name) {
    return state.vortan.catalogue.jobs.find((j) => j.name === name);
  }

  async function runFile() {
    if (state.choosing) await state.choosing;
    const file = state.file;
    if (!file) return;
    const jobName = $('job').value;
    const table = isTable();
    const message = {
      type: 'run', id: ++state.runId, region: state.region, file,
      grids: state.grids && state.region === 'mainland'
        ? { key: state.grids.key, dn: state.grids.dn, de: state.grids.de } : null,
    };
    let usesTransform;
    if (jobName === 'convert') {
      Object.assign(message, { kind: table ? 'table' : 'convert', from: $('from-form').value,
        to: $('to-form').value, keepHeights: $('keep-heights').checked });
      if (table) message.columns = chosenColumns();
      usesTransform = message.from.startsWith('htrs07') !== message.to.startsWith('htrs07');
    } else {
      const job = jobOf(jobName);
      Object.assign(message, { kind: 'job', job: jobName, button: job.button, inputForm: job.inputForm });
      usesTransform = job.usesTransform;
    }
    if (usesTransform && state.region === 'mainland' && !state.grids) {
      status('job-status', 'Η εργασία χρειάζεται τους κανάβους dN, dE: επιλέξτε τους (Κάνναβοι).\n' +
        'The job needs the dN, dE grids: choose them (Grids).', 'error');
      return;
    }
    clearDownloads();
    status('job-status', '');
    $('run').disabled = true;
    $('progress-box').hidden = false;
    $('progress').value = 0;
    $('progress-text').textContent = 'Φόρτωση… / Starting…';
    const started = performance.now();
    try {
      const worker = await startWorker();
      const result = await new Promise((resolve, reject) => {
        state.cancelRun = () => reject(new Error('cancelled'));
        worker.onmessage = (event) => {
          const m = event.data;
          if (m.id !== message.id) return;
          if (m.type === 'progress') showProgress(m);
          else if (m.type === 'result') resolve(m);
          else if (m.type === 'positions') showPoints(m.east, m.north, m.points, message.region);
          else if (m.type === 'failed') reject(new Error(m.message));
        };
        worker.onerror = (event) => reject(new Error(event.message || 'worker error'));
        // The previous run's files are no longer offered (clearDownloads above): their memory
        // goes to the worker, which writes the new files into it.
        const recycle = state.recycle || [];
        state.recycle = null;
        worker.postMessage({ ...message, recycle }, recycle);
      });
      state.lastSeconds = (performance.now() - started) / 1000;
      endRun();
      await showResult(result);
    } catch (e) {
      if (e.message === 'cancelled') {
        status('job-status', 'Η εργασία ακυρώθηκε: τίποτα δεν γράφτηκε.\nThe job was cancelled: nothing was written.', '');
      } else {
        fileFailure(e.message);
        stopWorker();
      }
    } finally {
      endRun();
    }
  }

  function endRun() {
    state.cancelRun = null;
    $('progress-box').hidden = true;
    $('run').disabled = !state.file;
  }

  function showProgress(m) {
    const progress = $('progress');
    if (m.total > 0) {
      progress.max = m.total;
      progress.value = m.read;
    }
    $('progress-text').textContent = state.vortan.progressText(m.done, m.read, m.total).replace('\n', ' / ');
  }

  // A run's failure where the user sees it: in the status under the Run button, brought into
  // view.
  function fileFailure(text) {
    status('job-status', inPageWords(text.replace(/\r\n/g, '\n'), true), 'error');
    $('job-status').scrollIntoView({ block: 'nearest' });
  }

  async function showResult(result) {
    let done = result.status === 'done';
    const said = (result.statusLine || result.message || '').replace(/\r\n/g, '\n');
    if (done) status('job-status', inPageWords(said, false), 'ok');
    else fileFailure(said);
    // A file that holds no point: said, and no empty files offered.
    if (done && result.pointsWritten === 0) {
      const name = state.file ? state.file.name : '';
      status('job-status', `Το αρχείο ${name} δεν περιέχει κανένα σημείο: δεν γράφτηκε τίποτα.\n` +
        `The file ${name} holds no point: nothing was written.`, 'warning');
      done = false;
    }
    // The times of the run: in the worker, and from the button to the files.
    $('job-status').dataset.seconds = String(result.seconds);
    $('job-status').dataset.total = String(state.lastSeconds);
    if (done) {
      state.recycle = [...new Set(result.files.map((f) => f.bytes.buffer))];
      for (const file of result.files) {
        const li = document.createElement('li');
        const a = document.createElement('a');
        // The file is made when it is first asked for (a copy of a large output takes time).
        a.href = '#';
        a.addEventListener('click', () => {
          if (a.dataset.url) return;
          const url = URL.createObjectURL(new Blob([file.bytes]));
          state.downloads.push(url);
          a.dataset.url = url;
          a.href = url;
        });
        a.download = file.name;
        a.textContent = file.name;
        const size = document.createElement('span');
        size.textContent = ` ${file.bytes.length.toLocaleString('el-GR')} bytes`;
        li.append(a, size);
        $('downloads').appendChild(li);
      }
    }
    await showMessages((result.messages || []).map((m) => ({ ...m, text: inPageWords(m.text, !done) })));
  }

  function cancelRun() {
    stopWorker();
    if (state.cancelRun) state.cancelRun();
  }

  // --- the picture -------------------------------------------------------------------------

  // The TM07 positions of the last conversion, in the TM07 of the region it ran in.
  function showPoints(east, north, total, region) {
    state.scene.east = east;
    state.scene.north = north;
    state.scene.total = total;
    state.scene.region = region;
    drawScene();
  }

  // The page's names of the regions (its choice of region), Greek and English apart.
  function regionNames() {
    return Array.from($('region').options, (o) => {
      const [greek, english] = o.textContent.split(' – ');
      return { value: o.value, text: o.textContent, greek, english: english || greek };
    });
  }

  // The points of the last conversion that lie far from its region (Greece on the mainland,
  // the islands on Kastelorizo, as the engine tests them): said beside the picture, in the
  // warning colour, with what to do.
  function showFarPoints(area) {
    const warning = $('picture-warning');
    const shown = state.scene.east ? state.scene.east.length : 0;
    const far = shown ? area.far : 0;
    warning.dataset.far = String(far);
    warning.hidden = far === 0;
    if (!far) {
      warning.textContent = '';
      return;
    }
    const names = regionNames();
    const here = names.find((r) => r.value === area.region);
    const d = area.nearDegrees;
    const f = (x) => x.toFixed(2).replace(/\.?0+$/, '');
    const limits = `φ ${f(d.south)}° – ${f(d.north)}°, λ ${f(d.west)}° – ${f(d.east)}°`;
    const total = state.scene.total || shown;
    const sample = total > shown;
    const one = far === 1;
    const greekPlace = area.region === 'mainland' ? 'την Ελλάδα' : `την περιοχή «${here.greek}»`;
    const englishPlace = area.region === 'mainland' ? 'Greece' : `the region "${here.english}"`;
    warning.textContent =
      `⚠ ${far} από τα ${shown} σημεία ${sample ? `που δείχνει η εικόνα (δείγμα από τα ${total} του αρχείου) ` : 'της τελευταίας μετατροπής '}` +
      `${one ? 'βρίσκεται' : 'βρίσκονται'} μακριά από ${greekPlace} (${limits}). ` +
      `Ελέγξτε την περιοχή που επιλέξατε (${names.map((r) => r.greek).join(' / ')}) και τη μορφή του αρχείου.\n` +
      `${far} of the ${shown} points ${sample ? `the picture shows (a sample of the file's ${total}) ` : 'of the last conversion '}` +
      `${one ? 'lies' : 'lie'} far from ${englishPlace} (${limits}). ` +
      `Check the region chosen (${names.map((r) => r.english).join(' / ')}) and the form of the file.`;
  }

  function drawScene() {
    const mainland = state.region === 'mainland';
    const g = mainland && state.grids ? state.grids.loaded : null;
    if (g && state.scene.gridKey !== g.folder) {
      state.scene.dE = state.vortan.gridValues(g, 'dE');
      state.scene.dN = state.vortan.gridValues(g, 'dN');
      state.scene.gridKey = g.folder;
    }
    const field = document.querySelector('input[name="field"]:checked').value;
    // The choice of dE, dN and the words under the picture say what lies under the points:
    // the correction field where there are grids, else the region's area.
    document.querySelector('.picture-choice').hidden = !g;
    const caption = $('picture-status');
    caption.replaceChildren();
    const greek = g ? 'Η εικόνα δείχνει τα σημεία της τελευταίας μετατροπής πάνω στο πεδίο διορθώσεων. '
      : mainland ? 'Η εικόνα δείχνει τα σημεία της τελευταίας μετατροπής· το πεδίο διορθώσεων φαίνεται όταν επιλεγούν οι κάνναβοι. '
        : 'Η εικόνα δείχνει τα σημεία της τελευταίας μετατροπής και την περιοχή του Καστελόριζου, που δεν έχει καννάβους διορθώσεων. ';
    const english = g ? 'The picture shows the points of the last conversion over the correction field.'
      : mainland ? 'The picture shows the points of the last conversion; the correction field shows once the grids are chosen.'
        : 'The picture shows the points of the last conversion and the area of Kastelorizo, which has no correction grids.';
    const en = document.createElement('span');
    en.className = 'en';
    en.textContent = english;
    caption.append(greek, en);
    caption.dataset.points = String(state.scene.east ? state.scene.east.length : 0);
    const area = state.vortan.regionArea(state.scene.region || state.region, state.scene.east, state.scene.north);
    showFarPoints(area);
    const label = regionNames().find((r) => r.value === area.region).text;
    drawPicture($('map'), {
      header: g ? g.header : null,
      dE: g ? state.scene.dE : null,
      dN: g ? state.scene.dN : null,
      field,
      east: state.scene.east,
      north: state.scene.north,
      total: state.scene.total,
      bounds: g ? state.vortan.dataFileBounds() : null,
      // Where there are no grids to draw: the region's own outline.
      area: mainland ? null : { served: area.served, near: area.near, label },
    });
  }

  // --- start ---------------------------------------------------------------------------------

  async function start() {
    state.wasm = await loadWasm();
    state.vortan = await bundle.createVortan({ wasm: state.wasm });
    const v = state.vortan;
    state.catalogueRegion = () => v.catalogue.regions.find((r) => r.name === state.region);
    // The desktop programs' start-up notice (the decimal symbol of Windows) goes with the
    // window; the page's own notice on numbers is in index.html.
    $('window-notice').textContent = `${v.catalogue.noticeTitle}\n${v.catalogue.noticeText.replace(/\r\n/g, '\n')}`;
    $('window-notice').hidden = false;
    $('version').textContent = v.catalogue.version || '';
    fillForms();
    fillJobs();
    $('region').addEventListener('change', async () => {
      state.region = $('region').value;
      document.body.dataset.region = state.region;
      // The last conversion's points are in the other region's TM07: not drawn in this one.
      if (state.scene.region && state.scene.region !== state.region) {
        state.scene.east = null;
        state.scene.north = null;
        state.scene.total = 0;
        state.scene.region = null;
      }
      await resetSinglePoint();
      drawScene();
    });
    $('typed-form').addEventListener('change', resetTyped);
    $('wanted-form').addEventListener('change', () => tripleBoxes($('wanted-boxes'), $('wanted-form').value, null, true));
    $('point-convert').addEventListener('click', convertPoint);
    $('file').addEventListener('change', () => chooseFile($('file').files[0] || null));
    $('file-kind').addEventListener('change', () => {
      clearDownloads();
      jobChanged();
    });
    const drop = $('drop');
    drop.addEventListener('dragover', (e) => {
      e.preventDefault();
      drop.classList.add('over');
    });
    drop.addEventListener('dragleave', () => drop.classList.remove('over'));
    drop.addEventListener('drop', (e) => {
      e.preventDefault();
      drop.classList.remove('over');
      if (e.dataTransfer.files.length) chooseFile(e.dataTransfer.files[0]);
    });
    $('run').addEventListener('click', runFile);
    $('cancel').addEventListener('click', cancelRun);
    $('dn-file').addEventListener('change', chooseGridFiles);
    $('de-file').addEventListener('change', chooseGridFiles);
    $('example-grids').addEventListener('click', exampleGrids);
    $('forget-grids').addEventListener('click', forgetGrids);
    for (const radio of document.querySelectorAll('input[name="field"]')) {
      radio.addEventListener('change', drawScene);
    }
    document.body.dataset.region = state.region;
    await restoreGrids();
    if (!state.singlePoint) await resetSinglePoint();
    drawScene();
    $('loading').hidden = true;
    document.body.dataset.readyMs = String(Math.round(performance.now()));
    document.body.dataset.ready = 'true';
    // The worker's engine is compiled while the user chooses a file.
    startWorker().catch(() => stopWorker());
    keepForOffline();
  }

  // Served over http(s), the page keeps its files for use without a network
  // (service-worker.js); opened from a folder it needs nothing more. Where the browser gives no
  // service worker (an address that is not https or this computer's), the page works as before.
  function keepForOffline() {
    if (!('serviceWorker' in navigator) || !/^https?:$/.test(location.protocol)) return;
    navigator.serviceWorker.register('service-worker.js')
      .then(() => navigator.serviceWorker.ready)
      .then(() => { document.body.dataset.offline = 'ready'; })
      .catch(() => { document.body.dataset.offline = 'none'; });
  }

  start().catch((e) => {
    status('loading', `Η σελίδα δεν ξεκίνησε / The page did not start: ${e.message}`, 'error');
    document.body.dataset.ready = 'failed';
  });
})();
