// VORTAN Transform in JavaScript: the engine of the command-line tool and the desktop programs,
// compiled to WebAssembly (vortan.wasm), in browsers and in Node.
//
//   import { createVortan } from './vortan.js';
//   const vortan = await createVortan();
//   const grids = vortan.loadGrids({ name: 'dN_2km_V1-0.grd', bytes }, { name: 'dE_2km_V1-0.grd', bytes });
//   const t = vortan.transformer('htrs07-tm07', 'ggrs87-tm87', { grids });
//   const [e87, n87, h87] = t.transform(566446.108, 2529618.096, 51.61);
//   const { outputs } = vortan.runJob('sxyz-to-ggrs87', { name: 'HTRS07-SXYZ.txt', bytes }, { grids });
//
// The forms are those of `vortan-transform convert`; latitude and longitude in decimal degrees,
// latitude first; everything else in metres. Record files go in and come out as bytes, byte for
// byte those of the tool. Every failure is a VortanError whose message is the tool's.
import createVortanEngine from './vortan-engine.mjs';

const REGIONS = { mainland: 0, kastelorizo: 1 };

// A failure as the tool reports it: the message, and where (file, line, field, point).
export class VortanError extends Error {
  constructor(message, details = {}) {
    super(message);
    this.name = 'VortanError';
    this.status = details.status || 'error';
    this.file = details.file || '';
    this.line = details.line || 0;
    this.field = details.field || '';
    this.reason = details.reason || message;
    this.point = details.point || '';
    this.pointsWritten = details.pointsWritten || 0;
  }
}

function regionNumber(region) {
  const number = REGIONS[region || 'mainland'];
  if (number === undefined) {
    throw new VortanError(`unknown region '${region}': mainland or kastelorizo`);
  }
  return number;
}

// Bytes of a text, a Uint8Array, an ArrayBuffer or a typed array.
function bytesOf(data) {
  if (typeof data === 'string') return new TextEncoder().encode(data);
  if (data instanceof Uint8Array) return data;
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  throw new VortanError('a file is given as a text, a Uint8Array or an ArrayBuffer');
}

// The WebAssembly module: a compiled WebAssembly.Module, bytes, or (the default) vortan.wasm
// beside this file.
async function wasmOf(source) {
  if (source instanceof WebAssembly.Module) return source;
  if (source !== undefined) return WebAssembly.compile(bytesOf(source));
  const url = new URL('./vortan.wasm', import.meta.url);
  if (typeof process === 'object' && process.versions && process.versions.node && url.protocol === 'file:') {
    const { readFile } = await import('node:fs/promises');
    return WebAssembly.compile(await readFile(url));
  }
  const response = await fetch(url);
  if (!response.ok) throw new VortanError(`vortan.wasm could not be loaded (${response.status})`);
  return WebAssembly.compileStreaming
    ? WebAssembly.compileStreaming(response)
    : WebAssembly.compile(await response.arrayBuffer());
}

// Loads the engine. options.wasm: the module (see wasmOf); options.onProgress(done, read,
// total): called as jobs go.
export async function createVortan(options = {}) {
  const module = await wasmOf(options.wasm);
  const vortan = new Vortan();
  vortan.engine = await createVortanEngine({
    noInitialRun: true,
    // The module is handed over below; nothing is located or fetched by the loader.
    locateFile: (path) => path,
    print: () => {},
    printErr: () => {},
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
    onJobProgress(done, read, total) {
      if (vortan.progress) vortan.progress(done, read, total);
    },
  });
  vortan.wasmModule = module;
  vortan.init();
  return vortan;
}

class Vortan {
  init() {
    const E = this.engine;
    this.call = (name, ...args) => JSON.parse(E.ccall(name, 'string',
      args.map((a) => (typeof a === 'string' ? 'string' : 'number')), args));
    this.catalogue = this.call('vortan_catalogue');
    this.forms = this.catalogue.forms.map((f) => f.name);
    this.jobs = this.catalogue.jobs.map((j) => j.name);
    this.fs = E.FS;
    // The files of the module's file system grow by doubling, or at once to the room made for
    // them (makeRoom): Emscripten's grow a file of more than 1 MiB by an eighth, so that an
    // output of 45 MB is copied some thirty times while it is written (a third of the time of
    // a job of a million points).
    const memfs = this.fs.filesystems.MEMFS;
    memfs.expandFileStorage = (node, capacity) => {
      const previous = node.contents ? node.contents.length : 0;
      if (previous >= capacity) return;
      const grown = new Uint8Array(Math.max(capacity, 2 * previous, 256, node.room || 0));
      if (node.usedBytes > 0) grown.set(node.contents.subarray(0, node.usedBytes), 0);
      node.contents = grown;
    };
    // A File in a worker is read in windows of 8 MiB: Emscripten reads it in the pieces the
    // reader asks for (256 KiB), each a request of its own to the browser's blob store, which
    // cost a tenth of a job of a million points.
    const workerfs = this.fs.filesystems.WORKERFS;
    if (workerfs) {
      const windowBytes = 8 << 20;
      workerfs.stream_ops.read = (stream, buffer, offset, length, position) => {
        const node = stream.node;
        if (position >= node.size) return 0;
        const n = Math.min(length, node.size - position);
        let cache = node.window;
        if (!cache || position < cache.start || position + n > cache.start + cache.bytes.length) {
          const end = Math.min(node.size, position + Math.max(windowBytes, n));
          const bytes = new Uint8Array(workerfs.reader.readAsArrayBuffer(node.contents.slice(position, end)));
          cache = { start: position, bytes };
          node.window = cache;
        }
        buffer.set(cache.bytes.subarray(position - cache.start, position - cache.start + n), offset);
        return n;
      };
    }
    this.fs.mkdir('/grids');
    this.fs.mkdir('/work');
    this.sequence = 0;
    this.engines = new Map();
    this.progress = null;
  }

  // A default file name of the data-file program in the region: "GGRS87-KAST-SENh.txt".
  regionFileName(region, mainlandName) {
    return this.engine.ccall('vortan_region_file_name', 'string', ['number', 'string'],
      [regionNumber(region), mainlandName]);
  }

  // The dN and dE grid files ({ name, bytes } each): read as the tool reads them, both must
  // load. Returns the grids with their header; a grid that does not load is a VortanError with
  // the tool's message.
  loadGrids(dn, de) {
    const grids = this.gridFiles(dn, de);
    const { folder, paths } = grids;
    const answer = this.inFolder(folder, () => this.call('vortan_engine_new', 0, paths[0], paths[1]));
    if (answer.error) {
      this.removeFolder(folder);
      throw new VortanError(answer.error);
    }
    grids.handle = answer.handle;
    grids.header = answer.header;
    this.engines.set(`mainland:${folder}`, answer.handle);
    return grids;
  }

  // The two grid files in a folder of their own, by their names: { folder, paths, names }.
  gridFiles(dn, de) {
    const folder = `/grids/${++this.sequence}`;
    this.fs.mkdir(folder);
    const names = [dn.name || 'dN_2km_V1-0.grd', de.name || 'dE_2km_V1-0.grd'];
    // Two files of one name stay two files.
    const paths = names[0] === names[1] ? [`dN/${names[0]}`, `dE/${names[1]}`] : names;
    if (names[0] === names[1]) {
      this.fs.mkdir(`${folder}/dN`);
      this.fs.mkdir(`${folder}/dE`);
    }
    this.fs.writeFile(`${folder}/${paths[0]}`, bytesOf(dn.bytes));
    this.fs.writeFile(`${folder}/${paths[1]}`, bytesOf(de.bytes));
    return { folder, paths, names, vortan: this };
  }

  // The synthetic test grids of this build (NOT the official corrections): { dn, de }, each
  // { name, bytes }.
  exampleGrids() {
    const folder = `/grids/example-${++this.sequence}`;
    this.fs.mkdir(folder);
    try {
      if (!this.engine.ccall('vortan_write_example_grids', 'number', ['string'], [folder])) {
        throw new VortanError('the example grids could not be written');
      }
      const read = (name) => ({ name, bytes: this.fs.readFile(`${folder}/${name}`) });
      return { dn: read('dN_2km_V1-0.grd'), de: read('dE_2km_V1-0.grd') };
    } finally {
      this.removeFolder(folder);
    }
  }

  // The data-file program's progress text: points done and the share of the input read.
  progressText(done, read, total) {
    return this.engine.ccall('vortan_progress_text', 'string', ['number', 'number', 'number'],
      [done, read, total]);
  }

  // The extent test of the data-file program, in TM07: { nMin, nMax, eMin, eMax }.
  dataFileBounds() {
    return this.catalogue.dataFileBounds;
  }

  // The values of a grid (which: 'dN' or 'dE') as a Float32Array, row 1 (the northern row)
  // first, each row from west to east.
  gridValues(grids, which) {
    const pointer = this.engine.ccall('vortan_engine_grid', 'number', ['number', 'number'],
      [grids.handle, which === 'dE' ? 1 : 0]);
    const count = grids.header.rowCount * grids.header.columnCount;
    return new Float32Array(this.engine.HEAPF32.buffer, pointer, count).slice();
  }

  // The context of a region after its initial step (the mainland needs grids).
  engineOf(region, grids) {
    const key = `${region || 'mainland'}:${grids ? grids.folder : ''}`;
    if (this.engines.has(key)) return this.engines.get(key);
    const number = regionNumber(region);
    const answer = grids
      ? this.inFolder(grids.folder, () => this.call('vortan_engine_new', number, grids.paths[0], grids.paths[1]))
      : this.call('vortan_engine_new', number, '', '');
    if (answer.error) throw new VortanError(answer.error);
    this.engines.set(key, answer.handle);
    return answer.handle;
  }

  // A conversion between two forms in a region, for single points and arrays.
  transformer(from, to, options = {}) {
    for (const form of [from, to]) {
      if (!this.forms.includes(form)) {
        throw new VortanError(`unknown form '${form}': one of ${this.forms.join(', ')}`);
      }
    }
    return new Transformer(this, from, to, options);
  }

  // One of the four jobs on a record file (input: { name, bytes } or { name, file } in a
  // worker). Returns { outputs: [{ name, bytes }], message, outcome }; a job that stops is a
  // VortanError with the tool's message, and no output.
  runJob(job, input, options = {}) {
    const definition = this.catalogue.jobs.find((j) => j.name === job);
    if (!definition) throw new VortanError(`unknown job '${job}': one of ${this.jobs.join(', ')}`);
    const region = options.region || 'mainland';
    const handle = this.engineOf(region, definition.usesTransform || region === 'mainland' ? options.grids : null);
    const names = definition.outputs.map((name) => this.regionFileName(region, name));
    return this.inJob(input, this.regionFileName(region, definition.input), names, options,
      (inputPath, outputPaths) => this.call('vortan_run_job', handle, job, inputPath, outputPaths.join('\n')));
  }

  // convert --from FROM --to TO [--keep-heights] on a record file.
  convert(from, to, input, options = {}) {
    const handle = this.engineOf(options.region, options.grids);
    const layout = (form) => this.catalogue.forms.find((f) => f.name === form);
    if (!layout(from) || !layout(to)) {
      throw new VortanError(`unknown form: one of ${this.forms.join(', ')}`);
    }
    const region = options.region || 'mainland';
    const inputName = this.fileNameOf(from, region);
    const outputName = this.fileNameOf(to, region);
    const result = this.inJob(input, inputName, [outputName], options,
      (inputPath, outputPaths) => this.call('vortan_run_conversion', handle, from, to,
        options.keepHeights ? 1 : 0, inputPath, outputPaths[0]));
    return result;
  }

  // The data-file program's name for a record file of a form: "GGRS87-SENh.txt",
  // "HTRS07-KAST-SXYZ.txt".
  fileNameOf(form, region) {
    const f = this.catalogue.forms.find((x) => x.name === form);
    if (!f) throw new VortanError(`unknown form '${form}': one of ${this.forms.join(', ')}`);
    return this.regionFileName(region || 'mainland', `${f.htrs07 ? 'HTRS07-' : 'GGRS87-'}${f.layout}.txt`);
  }

  // convert --from FROM --to TO on a CSV table from a spreadsheet (input { name, bytes } or
  // { name, file }), as the tool converts it: the same table out, named after the input
  // ("σημεία.csv" to "σημεία-htrs07-tm07.csv"). Returns { outputs, message, notes, outcome };
  // a table that does not convert is a VortanError with the tool's message, and no output.
  convertTable(from, to, input, options = {}) {
    const handle = this.engineOf(options.region, options.grids);
    const name = (input && input.name) || 'table.csv';
    const stem = name.replace(/\.[^.]*$/, '');
    const outputName = `${stem}-${to}.csv`;
    return this.withInput(input, 'table.csv', (inputPath, folder) => {
      this.fs.mkdir(`${folder}/out`);
      this.progress = options.onProgress || null;
      let outcome;
      try {
        outcome = this.call('vortan_convert_table', handle, from, to, options.keepHeights ? 1 : 0,
          inputPath, `out/${outputName}`);
      } finally {
        this.progress = null;
      }
      if (outcome.error) throw new VortanError(outcome.error);
      if (outcome.status !== 'done') {
        const error = new VortanError(outcome.message, { status: outcome.status });
        error.notes = outcome.notes;
        throw error;
      }
      const message = `${outcome.featuresWritten} feature${outcome.featuresWritten === 1 ? '' : 's'}` +
        ` in 1 layer written to ${outputName} (${outcome.pointsConverted}` +
        ` point${outcome.pointsConverted === 1 ? '' : 's'} converted to ${to}).`;
      return {
        outputs: [{ name: outputName, bytes: this.fs.readFile(`${folder}/out/${outputName}`) }],
        message, notes: outcome.notes, outcome,
      };
    });
  }

  // The TM07 E, N of the points of a record file of a form (for a picture): at most capacity
  // points, taken evenly. Returns { east, north, points }.
  positions(from, input, options = {}) {
    const handle = this.engineOf(options.region, options.grids);
    const capacity = options.capacity || 100000;
    return this.withInput(input, 'points.txt', (inputPath) => {
      const bytes = capacity * 8;
      const east = this.engine._malloc(bytes);
      const north = this.engine._malloc(bytes);
      try {
        const answer = this.call('vortan_positions', handle, from, inputPath, capacity, east, north);
        if (answer.error) throw new VortanError(answer.error);
        const heap = this.engine.HEAPF64;
        return {
          east: heap.slice(east / 8, east / 8 + answer.count),
          north: heap.slice(north / 8, north / 8 + answer.count),
          points: answer.points,
        };
      } finally {
        this.engine._free(east);
        this.engine._free(north);
      }
    });
  }

  // The single-point program of a region: its boxes, buttons and messages.
  singlePoint(region, options = {}) {
    return new SinglePoint(this, region || 'mainland', options);
  }

  // The data-file program of a region: its initial step and job buttons.
  dataFiles(region) {
    return new DataFiles(this, region || 'mainland');
  }

  // --- files in the module's file system

  // Makes an empty file that grows at once to room for about as many bytes as the input has, so
  // that it is not copied as it grows: the outputs of a job are about as large as its input.
  makeRoom(path, size) {
    this.fs.writeFile(path, new Uint8Array(0));
    this.fs.lookupPath(path).node.room = Math.ceil(size * 1.25) + 4096;
  }

  inputSize(input) {
    if (input && input.file) return input.file.size;
    if (input && input.bytes !== undefined) return bytesOf(input.bytes).length;
    return typeof input === 'string' ? input.length : 0;
  }

  // The bytes of a file of the module's memory file system, without a copy (the file is
  // removed with its folder; the bytes stay).
  contentsOf(path) {
    const node = this.fs.lookupPath(path).node;
    if (!node.contents) return new Uint8Array(0);
    return node.contents.subarray(0, node.usedBytes);
  }

  inFolder(folder, body) {
    const before = this.fs.cwd();
    this.fs.chdir(folder);
    try {
      return body();
    } finally {
      this.fs.chdir(before);
    }
  }

  removeFolder(folder) {
    const remove = (path) => {
      const stat = this.fs.lstat(path);
      if (this.fs.isDir(stat.mode)) {
        for (const name of this.fs.readdir(path)) {
          if (name !== '.' && name !== '..') remove(`${path}/${name}`);
        }
        this.fs.rmdir(path);
      } else {
        this.fs.unlink(path);
      }
    };
    try {
      remove(folder);
    } catch (e) {
      // Gone already.
    }
  }

  // Runs body(inputPath) in a folder of its own that holds the input by its name: bytes are
  // written there, a File (in a worker) is read from where it is, without a copy.
  withInput(input, defaultName, body) {
    const folder = `/work/${++this.sequence}`;
    this.fs.mkdir(folder);
    let mounted = null;
    try {
      let name = (input && input.name) || defaultName;
      if (name.includes('/')) name = name.slice(name.lastIndexOf('/') + 1);
      if (input && input.file) {
        mounted = `${folder}-file`;
        this.fs.mkdir(mounted);
        this.fs.mount(this.fs.filesystems.WORKERFS, { files: [input.file] }, mounted);
        this.fs.symlink(`${mounted}/${input.file.name}`, `${folder}/${name}`);
      } else {
        const bytes = bytesOf(input && input.bytes !== undefined ? input.bytes : input);
        this.fs.writeFile(`${folder}/${name}`, bytes);
      }
      return this.inFolder(folder, () => body(name, folder));
    } finally {
      this.removeFolder(folder);
      if (mounted) {
        this.fs.unmount(mounted);
        this.fs.rmdir(mounted);
      }
    }
  }

  // A job from its input to outputs of these names: the outputs come back only when the job is
  // done; otherwise the tool's message as a VortanError.
  inJob(input, defaultName, outputNames, options, run) {
    return this.withInput(input, defaultName, (inputPath, folder) => {
      // An output of the input's name goes into a folder of its own, as the tool refuses
      // to overwrite its input.
      const outputPaths = outputNames.map((name) => (name === inputPath ? `out/${name}` : name));
      if (outputPaths.some((p) => p.startsWith('out/'))) this.fs.mkdir(`${folder}/out`);
      for (const path of outputPaths) this.makeRoom(`${folder}/${path}`, this.inputSize(input));
      this.progress = options.onProgress || null;
      let outcome;
      try {
        outcome = run(inputPath, outputPaths);
      } finally {
        this.progress = null;
      }
      if (outcome.error) throw new VortanError(outcome.error);
      if (outcome.status !== 'done') throw new VortanError(outcome.message, outcome);
      const outputs = outputPaths.map((path, k) => ({
        name: outputNames[k],
        bytes: this.contentsOf(`${folder}/${path}`),
      }));
      return { outputs, message: outcome.message, outcome };
    });
  }
}

// One conversion between two forms: transform() for a point, transformArrays() for many.
class Transformer {
  constructor(vortan, from, to, options) {
    this.vortan = vortan;
    this.from = from;
    this.to = to;
    this.keepHeights = !!options.keepHeights;
    this.exact = !!options.exact;
    this.handle = vortan.engineOf(options.region, options.grids);
  }

  // Many points: three arrays (or array-likes) in, three Float64Arrays and a status per point
  // out ('done', 'outside-grid', 'fault', 'no-value'). A point that fails is NaN.
  transformArrays(a, b, c) {
    const n = a.length;
    if (b.length !== n || c.length !== n) {
      throw new VortanError('the three coordinate arrays have different lengths');
    }
    const E = this.vortan.engine;
    const bytes = Math.max(8, n * 8);
    const pointers = [];
    const alloc = (size) => {
      const p = E._malloc(size);
      pointers.push(p);
      return p;
    };
    try {
      const inputs = [a, b, c].map((values) => {
        const p = alloc(bytes);
        E.HEAPF64.set(values instanceof Float64Array ? values : Float64Array.from(values), p / 8);
        return p;
      });
      const outputs = [0, 1, 2].map(() => alloc(bytes));
      const status = alloc(Math.max(1, n));
      const answer = this.vortan.call('vortan_convert_batch', this.handle, this.from, this.to,
        this.keepHeights ? 1 : 0, this.exact ? 1 : 0, n, ...inputs, ...outputs, status);
      if (answer.error) throw new VortanError(answer.error);
      const heap = E.HEAPF64;
      const names = ['done', 'outside-grid', 'fault', 'no-value', 'out-of-range'];
      return {
        a: heap.slice(outputs[0] / 8, outputs[0] / 8 + n),
        b: heap.slice(outputs[1] / 8, outputs[1] / 8 + n),
        c: heap.slice(outputs[2] / 8, outputs[2] / 8 + n),
        status: Array.from(E.HEAPU8.subarray(status, status + n), (s) => names[s]),
        failures: answer.failures,
        firstFailure: answer.firstFailure,
        fault: answer.fault,
      };
    } finally {
      for (const p of pointers) E._free(p);
    }
  }

  // One point; a point outside the grid or a numeric fault is a VortanError.
  transform(a, b, c) {
    const r = this.transformArrays([a], [b], [c]);
    if (r.status[0] === 'outside-grid') {
      throw new VortanError('the point lies outside the correction grid', { status: 'outside-grid' });
    }
    if (r.status[0] === 'fault') {
      throw new VortanError(`numeric fault (${r.fault}) in the computation of the point`, { status: 'fault' });
    }
    if (r.status[0] === 'out-of-range') {
      throw new VortanError(`the point is out of range (${r.fault}): give latitude and longitude in degrees, latitude first`,
        { status: 'out-of-range' });
    }
    return [r.a[0], r.b[0], r.c[0]];
  }
}

// The single-point program: box texts in, box texts and messages out.
class SinglePoint {
  constructor(vortan, region, options) {
    this.vortan = vortan;
    this.region = region;
    this.folder = `/grids/single-point-${++vortan.sequence}`;
    vortan.fs.mkdir(this.folder);
    if (options.grids) this.setGrids(options.grids);
    this.handle = vortan.engine.ccall('vortan_single_point_new', 'number', ['number', 'string'],
      [regionNumber(region), this.folder]);
    this.controls = vortan.call('vortan_single_point_controls', regionNumber(region));
    this.texts = {};
    this.enabled = {};
    for (const c of this.controls) {
      if (c.kind === 'box') this.texts[c.name] = c.text;
      this.enabled[c.name] = c.enabled;
    }
  }

  // The grids the initial step (Command3) loads: the single-point program looks for them by
  // their names in its folder.
  setGrids(grids) {
    const fs = this.vortan.fs;
    fs.writeFile(`${this.folder}/dN_2km_V1-0.grd`, fs.readFile(`${grids.folder}/${grids.paths[0]}`));
    fs.writeFile(`${this.folder}/dE_2km_V1-0.grd`, fs.readFile(`${grids.folder}/${grids.paths[1]}`));
  }

  setText(box, text) {
    this.texts[box] = text;
  }

  // Presses a button (Command1, Command2, Command3, Command5) with the boxes' texts as they
  // are: returns { status, box, message, messages, texts, enabled }.
  click(button) {
    const E = this.vortan.engine;
    for (const [box, text] of Object.entries(this.texts)) {
      E.ccall('vortan_single_point_set_text', null, ['number', 'string', 'string'],
        [this.handle, box, text]);
    }
    const result = this.vortan.inFolder(this.folder,
      () => this.vortan.call('vortan_single_point_click', this.handle, button));
    Object.assign(this.texts, result.texts);
    Object.assign(this.enabled, result.enabled);
    return result;
  }
}

// The data-file program: the initial step and the four job buttons, with the window's status
// line and message boxes.
class DataFiles {
  constructor(vortan, region) {
    this.vortan = vortan;
    this.region = region;
    this.handle = vortan.engine.ccall('vortan_data_files_new', 'number', ['number'], [regionNumber(region)]);
  }

  // Command3, the grid dialogs answered with the grids.
  initialStep(grids) {
    const v = this.vortan;
    if (!grids) return v.call('vortan_data_files_initial_step', this.handle, '', '');
    return v.inFolder(grids.folder,
      () => v.call('vortan_data_files_initial_step', this.handle, grids.paths[0], grids.paths[1]));
  }

  // A job button (Command1, Command2, Command4, Command5) on an input ({ name, bytes } or
  // { name, file }): the outputs with the program's default names when the job is done.
  run(button, input, options = {}) {
    const v = this.vortan;
    return v.withInput(input, 'input.txt', (inputPath, folder) => {
      v.fs.mkdir(`${folder}/out`);
      const job = v.catalogue.jobs.find((j) => j.button === button);
      for (const name of job ? job.outputs : []) {
        v.makeRoom(`${folder}/out/${v.regionFileName(this.region, name)}`, v.inputSize(input));
      }
      v.progress = options.onProgress || null;
      let result;
      try {
        result = v.call('vortan_data_files_run', this.handle, button, inputPath, 'out');
      } finally {
        v.progress = null;
      }
      result.files = [];
      if (result.status === 'done') {
        result.files = result.outputs.map((path) => ({
          name: path.slice(path.lastIndexOf('/') + 1),
          bytes: v.contentsOf(`${folder}/${path}`),
        }));
      }
      return result;
    });
  }
}
