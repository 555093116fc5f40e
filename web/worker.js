// The page's worker: runs a job or a conversion of a record file (or a CSV table) with the
// engine, off the page's thread, and sends back its progress, its outcome and its files. The
// page builds the worker from this function and the engine's bundle (page.js), so that it also
// runs from a folder opened in the browser (file://), where a worker cannot load scripts.
// Cancel is the page ending the worker: nothing of a cancelled run reaches the page.
function vortanWorker(scope, bundle) {
  'use strict';
  let vortan = null;
  let grids = null;  // { key, grids }
  const programs = new Map();  // the data-file program of a region and grids, initial step done

  function post(message) {
    scope.postMessage(message);
  }

  // The grids of the run, loaded again only when they changed.
  function gridsOf(message) {
    if (!message.grids) return null;
    if (grids && grids.key === message.grids.key) return grids.grids;
    grids = null;
    programs.clear();
    const loaded = vortan.loadGrids(message.grids.dn, message.grids.de);
    grids = { key: message.grids.key, grids: loaded };
    return loaded;
  }

  // The TM07 positions of the input's points, for the picture; none where there are none to
  // show (a CSV table, a run that stopped), so that the picture never keeps an earlier run's.
  function positions(message, loaded, form) {
    let p = null;
    if (form) {
      try {
        p = vortan.positions(form, { name: message.file.name, file: message.file },
          { region: message.region, grids: loaded, capacity: 50000 });
      } catch (e) {
        p = null;
      }
    }
    if (!p) p = { east: new Float64Array(0), north: new Float64Array(0), points: 0 };
    post({ type: 'positions', id: message.id, east: p.east, north: p.north, points: p.points },
      [p.east.buffer, p.north.buffer]);
  }

  function run(message) {
    const started = performance.now();
    // The buffers of the page's previous files, which it no longer offers: the new files are
    // written into them.
    if (message.recycle) vortan.recycle(message.recycle);
    let lastProgress = 0;
    const onProgress = (done, read, total) => {
      const now = performance.now();
      if (now - lastProgress < 250 && read < total) return;
      lastProgress = now;
      post({ type: 'progress', id: message.id, done, read, total });
    };
    const loaded = gridsOf(message);
    const input = { name: message.file.name, file: message.file };
    let result;
    let form;
    if (message.kind === 'job') {
      const key = `${message.region}|${message.grids ? message.grids.key : ''}`;
      let program = programs.get(key);
      if (!program) {
        program = vortan.dataFiles(message.region);
        // On the mainland without grids the grid dialogs are cancelled: the jobs without the
        // transformation run, as in the desktop program.
        program.initialStep(loaded);
        programs.set(key, program);
      }
      result = program.run(message.button, input, { onProgress });
      form = message.inputForm;
    } else if (message.kind === 'table') {
      try {
        const r = vortan.convertTable(message.from, message.to, input,
          { region: message.region, grids: loaded, keepHeights: message.keepHeights,
            columns: message.columns, onProgress });
        result = { status: 'done', message: [r.message, ...r.notes.map((n) => `note: ${n}`)].join('\n'),
          files: r.outputs };
      } catch (e) {
        result = { status: e.status || 'error', files: [],
          message: [e.message, ...(e.notes || []).map((n) => `note: ${n}`)].join('\n') };
      }
      form = null;
    } else {
      try {
        const r = vortan.convert(message.from, message.to, input,
          { region: message.region, grids: loaded, keepHeights: message.keepHeights, onProgress });
        result = { status: 'done', message: r.message, files: r.outputs, outcome: r.outcome,
          pointsWritten: r.outcome.pointsWritten };
      } catch (e) {
        result = { status: e.status || 'error', message: e.message, files: [],
          file: e.file, line: e.line, field: e.field, point: e.point };
      }
      form = message.from;
    }
    const seconds = (performance.now() - started) / 1000;
    // The files' bytes go to the page without a copy (their buffers are handed over).
    const files = (result.files || []).map((f) => ({ name: f.name, bytes: f.bytes }));
    const buffers = [...new Set(files.map((f) => f.bytes.buffer))];
    scope.postMessage({
      type: 'result', id: message.id, seconds,
      status: result.status, message: result.message, statusLine: result.statusLine || '',
      messages: result.messages || [], texts: result.texts || {}, files,
      // A table's rows are features: no count of points for it.
      pointsWritten: typeof result.pointsWritten === 'number' ? result.pointsWritten : null,
    }, buffers);
    positions(message, loaded, result.status === 'done' ? form : null);
  }

  scope.onmessage = async (event) => {
    const message = event.data;
    try {
      if (message.type === 'init') {
        vortan = await bundle.createVortan({ wasm: message.wasm });
        post({ type: 'ready' });
      } else if (message.type === 'run') {
        run(message);
      }
    } catch (e) {
      post({ type: 'failed', id: message.id, message: String(e && e.message ? e.message : e) });
    }
  };
}
