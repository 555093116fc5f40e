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
// byte those of the tool. Every failure is a VortanError whose message is the tool's; an
// argument of the wrong kind is a TypeError, one out of its range a RangeError, each naming the
// call, the argument and what it takes, before anything reaches the engine.
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

// --- the arguments of the calls

// A value as a message shows it: its kind and, for a number or a text, the value (a text
// escaped and cut short, so that no argument can forge a message).
function shown(value) {
  if (value === undefined || value === null) return String(value);
  switch (typeof value) {
    case 'number': return `the number ${value}`;
    case 'bigint': return `the BigInt ${value}`;
    case 'boolean': return `the boolean ${value}`;
    case 'string': return `the text ${JSON.stringify(value.length > 60 ? `${value.slice(0, 60)}…` : value)}`;
    case 'function': return 'a function';
    case 'symbol': return 'a symbol';
    default: break;
  }
  if (Array.isArray(value)) return `an Array of ${value.length}`;
  if (ArrayBuffer.isView(value)) return `a ${value.constructor.name}`;
  return `an object (${Object.prototype.toString.call(value).slice(8, -1)})`;
}

// "call: argument must be what it takes, not what it is", as a TypeError or a RangeError.
function typeError(call, argument, expected, value) {
  return new TypeError(`${call}: ${argument} must be ${expected}, not ${shown(value)}`);
}

function rangeError(call, argument, expected, value) {
  return new RangeError(`${call}: ${argument} must be ${expected}, not ${shown(value)}`);
}

function checkText(call, argument, text) {
  if (typeof text !== 'string') throw typeError(call, argument, 'a text', text);
  // The engine takes texts as C strings: a NUL would cut them short in silence.
  if (text.includes('\0')) throw rangeError(call, argument, 'a text without NUL characters', text);
  return text;
}

// A file name is only ever a name in the module's own folders: no folder in it, not one of the
// folder names "." and "..", no NUL (which would cut it), not empty.
function checkName(call, argument, name) {
  if (typeof name !== 'string') throw typeError(call, argument, 'a file name (a text)', name);
  const wrong = name === '' ? 'is empty'
    : name === '.' || name === '..' ? 'names a folder'
      : name.includes('\0') ? 'holds a NUL character'
        : /[/\\]/.test(name) ? 'holds a folder separator (/ or \\)'
          : '';
  if (wrong) {
    throw new RangeError(`${call}: ${argument} ${shown(name)} ${wrong}: give the name of the ` +
      'file alone, without a folder (such as "GGRS87-SENh.txt")');
  }
  return name;
}

function checkBoolean(call, argument, value) {
  if (value !== undefined && typeof value !== 'boolean') {
    throw typeError(call, argument, 'true or false', value);
  }
  return !!value;
}

// A count: a whole number from 0 (or from) to at most.
function checkCount(call, argument, value, from, at) {
  if (typeof value !== 'number') throw typeError(call, argument, 'a number', value);
  if (!Number.isInteger(value) || value < from || value > at) {
    throw rangeError(call, argument, `a whole number from ${from} to ${at}`, value);
  }
  return value;
}

// The options of a call: an object (or nothing) that holds only options of the call, so that a
// misspelt one (keepHeight) is not left out in silence.
function checkOptions(call, options, known) {
  if (options === undefined) return {};
  if (options === null || typeof options !== 'object' || Array.isArray(options)) {
    throw typeError(call, 'options', `an object ({ ${known.join(', ')} })`, options);
  }
  for (const key of Object.keys(options)) {
    if (!known.includes(key)) {
      throw new RangeError(`${call}: options.${key} is no option of ${call}; its options are ` +
        `${known.join(', ')}`);
    }
  }
  if (options.onProgress !== undefined && options.onProgress !== null &&
      typeof options.onProgress !== 'function') {
    throw typeError(call, 'options.onProgress', 'a function (done, read, total)', options.onProgress);
  }
  checkBoolean(call, 'options.keepHeights', options.keepHeights);
  checkBoolean(call, 'options.exact', options.exact);
  checkBoolean(call, 'options.vectorLanes', options.vectorLanes);
  if (options.exact && options.vectorLanes) {
    throw new TypeError(`${call}: options.exact and options.vectorLanes exclude each other`);
  }
  return options;
}

// A region by its name: mainland (also when none is given) or kastelorizo.
function checkRegion(call, argument, region) {
  if (region === undefined || region === null) return 'mainland';
  if (typeof region !== 'string') throw typeError(call, argument, "'mainland' or 'kastelorizo'", region);
  if (REGIONS[region] === undefined) {
    throw new VortanError(`unknown region '${region}': mainland or kastelorizo`);
  }
  return region;
}

function regionNumber(region) {
  return REGIONS[checkRegion('region', 'region', region)];
}

function isBytes(data) {
  return typeof data === 'string' || data instanceof ArrayBuffer || ArrayBuffer.isView(data);
}

function checkBytes(call, argument, data) {
  if (!isBytes(data)) throw typeError(call, argument, 'a text, a Uint8Array or an ArrayBuffer', data);
  return data;
}

// A file of a call: { name, bytes }, { name, file } (a File, in a worker), or the bytes alone;
// the name, when given, a file name.
function checkFile(call, argument, input, files) {
  if (isBytes(input)) return input;
  const expected = files ? '{ name, bytes }, { name, file } or the bytes of the file'
    : '{ name, bytes }';
  if (input === null || typeof input !== 'object' || Array.isArray(input)) {
    throw typeError(call, argument, expected, input);
  }
  if (input.name !== undefined) checkName(call, `${argument}.name`, input.name);
  if (files && input.file !== undefined) {
    if (typeof Blob !== 'function' || !(input.file instanceof Blob) || typeof input.file.name !== 'string') {
      throw typeError(call, `${argument}.file`, 'a File', input.file);
    }
    checkName(call, `${argument}.file.name`, input.file.name);
  } else if (input.bytes === undefined) {
    throw typeError(call, argument, expected, input);
  } else {
    checkBytes(call, `${argument}.bytes`, input.bytes);
  }
  return input;
}

// The name of a checked file: its own, or the default when it has none.
function nameOf(input, defaultName) {
  return (isBytes(input) ? undefined : input.name) ?? defaultName;
}

// Bytes of a text, a Uint8Array, an ArrayBuffer or a typed array.
function bytesOf(data) {
  if (typeof data === 'string') return new TextEncoder().encode(data);
  if (data instanceof Uint8Array) return data;
  if (data instanceof ArrayBuffer) return new Uint8Array(data);
  if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
  throw new TypeError(`a file must be a text, a Uint8Array or an ArrayBuffer, not ${shown(data)}`);
}

// Coordinates of the batch call: an Array of numbers (NaN for a point without a value) or a
// typed array of numbers.
function checkCoordinates(call, argument, values) {
  if (ArrayBuffer.isView(values) && !(values instanceof DataView) &&
      !(typeof BigInt64Array === 'function' &&
        (values instanceof BigInt64Array || values instanceof BigUint64Array))) {
    return values;
  }
  if (!Array.isArray(values)) {
    throw typeError(call, argument, 'an Array or a typed array (Float64Array, …) of numbers', values);
  }
  for (let i = 0; i < values.length; ++i) {
    if (typeof values[i] !== 'number') {
      throw typeError(call, `${argument}[${i}]`, 'a number (NaN for a point without a value)', values[i]);
    }
  }
  return values;
}

function checkCoordinate(call, argument, value) {
  if (typeof value !== 'number') throw typeError(call, argument, 'a number', value);
  if (!Number.isFinite(value)) throw rangeError(call, argument, 'a finite number', value);
  return value;
}

// The folder of a call's outputs beside its input: "out", unless the input is named so.
function outputFolder(inputName) {
  return inputName === 'out' ? 'out-files' : 'out';
}

// Points of one batch call at most: 8 bytes each of six arrays stay well inside the module's
// memory (2 GiB), and their sizes inside its 32-bit addresses.
const MAX_POINTS = 1 << 26;

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
// total): called as jobs go, unless a call gives its own.
export async function createVortan(options) {
  options = checkOptions('createVortan', options, ['wasm', 'onProgress']);
  const wasm = options.wasm;
  if (wasm !== undefined && !(wasm instanceof WebAssembly.Module) &&
      !(wasm instanceof ArrayBuffer || ArrayBuffer.isView(wasm))) {
    throw typeError('createVortan', 'options.wasm', 'a WebAssembly.Module, a Uint8Array or an ArrayBuffer', wasm);
  }
  const module = await wasmOf(wasm);
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
  vortan.onProgress = options.onProgress || null;
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
      const size = Math.max(capacity, 2 * previous, 256, node.room || 0);
      const spare = size >= 1 << 20 ? this.spareBytes(size) : null;
      if (spare) node.recycled = true;
      const grown = spare || new Uint8Array(size);
      if (node.usedBytes > 0) grown.set(node.contents.subarray(0, node.usedBytes), 0);
      node.contents = grown;
    };
    this.spares = [];
    // A File in a worker is read in windows of 32 MiB: Emscripten reads it in the pieces the
    // reader asks for (256 KiB), each a request of its own to the browser's blob store, which
    // cost a tenth of a job of a million points; in windows of 8 MiB the reading of its 45 MB
    // still took 0.4 to 0.5 s on the loaded build machine, in windows of 32 MiB 0.2 to 0.4 s.
    const workerfs = this.fs.filesystems.WORKERFS;
    if (workerfs) {
      const windowBytes = 32 << 20;
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
    // Recycled memory (recycle) holds old bytes: a write beyond a file's end leaves a gap that
    // reads as zeros, as in new memory.
    const fileStream = memfs.ops_table.file.stream;
    const write = fileStream.write;
    fileStream.write = (stream, buffer, offset, length, position, canOwn) => {
      const node = stream.node;
      const end = node.usedBytes;
      const written = write(stream, buffer, offset, length, position, canOwn);
      if (node.recycled && position > end) node.contents.fill(0, end, position);
      return written;
    };
    this.sequence = 0;
    this.engines = new Map();
    this.progress = null;
  }

  // Memory of outputs that the caller has done with (ArrayBuffers of earlier outputs' bytes,
  // which then may no longer be read): the outputs of the next calls are written into it. New
  // memory has each of its pages provided (and zeroed) by the system as it is first written,
  // which took a fifth of a job of a million points; this memory has them already. Buffers that
  // no call takes are let go at the next recycle.
  recycle(buffers) {
    if (!Array.isArray(buffers) || buffers.some((b) => !(b instanceof ArrayBuffer))) {
      throw typeError('recycle', 'buffers', 'an Array of ArrayBuffers', buffers);
    }
    this.spares = buffers.filter((b) => b.byteLength >= 1 << 20);
  }

  // Room for size bytes in memory given to recycle (old bytes in it): the smallest buffer that
  // holds them, or null.
  spareBytes(size) {
    let best = -1;
    this.spares.forEach((b, k) => {
      if (b.byteLength >= size && (best < 0 || b.byteLength < this.spares[best].byteLength)) best = k;
    });
    if (best < 0) return null;
    const [buffer] = this.spares.splice(best, 1);
    return new Uint8Array(buffer, 0, size);
  }

  // A default file name of the data-file program in the region: "GGRS87-KAST-SENh.txt".
  regionFileName(region, mainlandName) {
    const number = REGIONS[checkRegion('regionFileName', 'region', region)];
    checkName('regionFileName', 'mainlandName', mainlandName);
    return this.engine.ccall('vortan_region_file_name', 'string', ['number', 'string'],
      [number, mainlandName]);
  }

  // --- the arguments that are the module's own: forms, jobs, grids

  checkForm(call, argument, form) {
    if (typeof form !== 'string') throw typeError(call, argument, `a form (${this.forms.join(', ')})`, form);
    if (!this.forms.includes(form)) {
      throw new VortanError(`unknown form '${form}': one of ${this.forms.join(', ')}`);
    }
    return form;
  }

  // Grids of this module (loadGrids; gridFiles where they need not load), or none.
  checkGrids(call, argument, grids, { loaded = false, optional = true } = {}) {
    if (optional && (grids === undefined || grids === null)) return null;
    if (grids === null || typeof grids !== 'object' || grids.vortan !== this ||
        (loaded && grids.handle === undefined)) {
      throw typeError(call, argument, `the grids that loadGrids of this module returned${optional ? ', or null' : ''}`, grids);
    }
    return grids;
  }

  // The dN and dE grid files ({ name, bytes } each): read as the tool reads them, both must
  // load. Returns the grids with their header; a grid that does not load is a VortanError with
  // the tool's message.
  loadGrids(dn, de) {
    checkFile('loadGrids', 'dn', dn, false);
    checkFile('loadGrids', 'de', de, false);
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
    checkFile('gridFiles', 'dn', dn, false);
    checkFile('gridFiles', 'de', de, false);
    const folder = `/grids/${++this.sequence}`;
    this.fs.mkdir(folder);
    const names = [dn.name ?? 'dN_2km_V1-0.grd', de.name ?? 'dE_2km_V1-0.grd'];
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
    for (const [argument, value] of [['done', done], ['read', read], ['total', total]]) {
      checkCount('progressText', argument, value, 0, Number.MAX_SAFE_INTEGER);
    }
    return this.engine.ccall('vortan_progress_text', 'string', ['number', 'number', 'number'],
      [done, read, total]);
  }

  // Why three texts typed for a point of a form make no record, as the single-point window says
  // it of its boxes (Greek and English, naming the box): "" when they make one.
  pointRefusal(form, texts) {
    this.checkForm('pointRefusal', 'form', form);
    if (!Array.isArray(texts) || texts.length !== 3) {
      throw typeError('pointRefusal', 'texts', 'an Array of three texts', texts);
    }
    texts.forEach((text, k) => checkText('pointRefusal', `texts[${k}]`, text));
    return this.engine.ccall('vortan_point_refusal', 'string',
      ['string', 'string', 'string', 'string'], [form, ...texts]);
  }

  // The single-point window's notice for a latitude or longitude typed below 100 in a packed
  // DDMMSS.SSSSS box of a geographic form (most likely decimal degrees): "" when none is.
  degreesNotice(form, latitude, longitude) {
    this.checkForm('degreesNotice', 'form', form);
    checkText('degreesNotice', 'latitude', latitude);
    checkText('degreesNotice', 'longitude', longitude);
    const f = this.catalogue.forms.find((x) => x.name === form);
    if (!f.geographic) return '';
    return this.engine.ccall('vortan_degrees_notice', 'string', ['number', 'string', 'string'],
      [f.htrs07 ? 1 : 0, latitude, longitude]);
  }

  // The extent test of the data-file program, in TM07: { nMin, nMax, eMin, eMax }.
  dataFileBounds() {
    return this.catalogue.dataFileBounds;
  }

  // The values of a grid (which: 'dN' or 'dE') as a Float32Array, row 1 (the northern row)
  // first, each row from west to east.
  gridValues(grids, which) {
    this.checkGrids('gridValues', 'grids', grids, { loaded: true, optional: false });
    if (which !== 'dN' && which !== 'dE') throw rangeError('gridValues', 'which', "'dN' or 'dE'", which);
    const pointer = this.engine.ccall('vortan_engine_grid', 'number', ['number', 'number'],
      [grids.handle, which === 'dE' ? 1 : 0]);
    const count = grids.header.rowCount * grids.header.columnCount;
    return new Float32Array(this.engine.HEAPF32.buffer, pointer, count).slice();
  }

  // The context of a region after its initial step (the mainland needs grids).
  engineOf(region, grids) {
    region = checkRegion('engineOf', 'region', region);
    grids = this.checkGrids('engineOf', 'grids', grids);
    const key = `${region}:${grids ? grids.folder : ''}`;
    if (this.engines.has(key)) return this.engines.get(key);
    const number = REGIONS[region];
    const answer = grids
      ? this.inFolder(grids.folder, () => this.call('vortan_engine_new', number, grids.paths[0], grids.paths[1]))
      : this.call('vortan_engine_new', number, '', '');
    if (answer.error) throw new VortanError(answer.error);
    this.engines.set(key, answer.handle);
    return answer.handle;
  }

  // A conversion between two forms in a region, for single points and arrays.
  transformer(from, to, options) {
    this.checkForm('transformer', 'from', from);
    this.checkForm('transformer', 'to', to);
    options = this.checkCallOptions('transformer', options, ['region', 'grids', 'keepHeights', 'exact', 'vectorLanes']);
    return new Transformer(this, from, to, options);
  }

  // One of the four jobs on a record file (input: { name, bytes } or { name, file } in a
  // worker). Returns { outputs: [{ name, bytes }], message, outcome }; a job that stops is a
  // VortanError with the tool's message, and no output.
  runJob(job, input, options) {
    if (typeof job !== 'string') throw typeError('runJob', 'job', `a job (${this.jobs.join(', ')})`, job);
    const definition = this.catalogue.jobs.find((j) => j.name === job);
    if (!definition) throw new VortanError(`unknown job '${job}': one of ${this.jobs.join(', ')}`);
    checkFile('runJob', 'input', input, true);
    options = this.checkCallOptions('runJob', options, ['region', 'grids', 'onProgress']);
    const region = options.region;
    const handle = this.engineOf(region, definition.usesTransform || region === 'mainland' ? options.grids : null);
    const names = definition.outputs.map((name) => this.regionFileName(region, name));
    return this.inJob(input, this.regionFileName(region, definition.input), names, options,
      (inputPath, outputPaths) => this.call('vortan_run_job', handle, job, inputPath, outputPaths.join('\n')));
  }

  // convert --from FROM --to TO [--keep-heights] on a record file.
  convert(from, to, input, options) {
    this.checkForm('convert', 'from', from);
    this.checkForm('convert', 'to', to);
    checkFile('convert', 'input', input, true);
    options = this.checkCallOptions('convert', options, ['region', 'grids', 'keepHeights', 'onProgress']);
    const handle = this.engineOf(options.region, options.grids);
    const region = options.region;
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
    this.checkForm('fileNameOf', 'form', form);
    region = checkRegion('fileNameOf', 'region', region);
    const f = this.catalogue.forms.find((x) => x.name === form);
    return this.regionFileName(region, `${f.htrs07 ? 'HTRS07-' : 'GGRS87-'}${f.layout}.txt`);
  }

  // convert --from FROM --to TO on a CSV table from a spreadsheet (input { name, bytes } or
  // { name, file }), as the tool converts it: the same table out, named after the input
  // ("σημεία.csv" to "σημεία-htrs07-tm07.csv"). Returns { outputs, message, notes, outcome };
  // a table that does not convert is a VortanError with the tool's message, and no output.
  convertTable(from, to, input, options) {
    this.checkForm('convertTable', 'from', from);
    this.checkForm('convertTable', 'to', to);
    checkFile('convertTable', 'input', input, true);
    options = this.checkCallOptions('convertTable', options,
      ['region', 'grids', 'keepHeights', 'columns', 'onProgress']);
    const columns = options.columns === undefined || options.columns === null ? []
      : options.columns;
    if (!Array.isArray(columns) || (columns.length !== 0 && columns.length !== 2 && columns.length !== 3)) {
      throw typeError('convertTable', 'options.columns',
        'the names of the coordinate columns x, y[, z] (an Array of two or three texts)', columns);
    }
    columns.forEach((name, k) => {
      checkText('convertTable', `options.columns[${k}]`, name);
      if (name === '' || name.includes('\n')) {
        throw rangeError('convertTable', `options.columns[${k}]`, 'a column name on one line', name);
      }
    });
    const handle = this.engineOf(options.region, options.grids);
    const name = nameOf(input, 'table.csv');
    const stem = name.replace(/\.[^.]*$/, '');
    const outputName = `${stem}-${to}.csv`;
    return this.withInput(input, 'table.csv', (inputPath, folder) => {
      const out = outputFolder(inputPath);
      this.fs.mkdir(`${folder}/${out}`);
      this.progress = options.onProgress || this.onProgress;
      let outcome;
      try {
        outcome = this.call('vortan_convert_table', handle, from, to, options.keepHeights ? 1 : 0,
          columns.join('\n'), inputPath, `${out}/${outputName}`);
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
        outputs: [{ name: outputName, bytes: this.fs.readFile(`${folder}/${out}/${outputName}`) }],
        message, notes: outcome.notes, outcome,
      };
    });
  }

  // What convert takes a file for, by its name and first line as the tool decides where it
  // needs no GDAL: 'records' (named .txt, or its first line an id and three numbers) or 'table'
  // (a CSV table with a header row). The first 4 KiB of the file are enough.
  inputKind(input) {
    checkFile('inputKind', 'input', input, true);
    return this.withInput(input, 'points.csv', (inputPath) => this.call('vortan_input_kind', inputPath).kind);
  }

  // The columns of a CSV table (its header row, read as its conversion reads it) and the
  // coordinate columns that convertTable finds by their names without options.columns:
  // { names, x, y, z } (places in names, z -1 for no height column; -1 and why, the tool's
  // words, where it finds none).
  tableColumns(input) {
    checkFile('tableColumns', 'input', input, true);
    return this.withInput(input, 'table.csv', (inputPath) => {
      const answer = this.call('vortan_table_columns', inputPath);
      if (answer.error) throw new VortanError(answer.error);
      return answer;
    });
  }

  // The TM07 E, N of the points of a record file of a form (for a picture): at most capacity
  // points, taken evenly. Returns { east, north, points }.
  positions(from, input, options) {
    this.checkForm('positions', 'from', from);
    checkFile('positions', 'input', input, true);
    options = this.checkCallOptions('positions', options, ['region', 'grids', 'capacity']);
    const capacity = options.capacity === undefined ? 100000
      : checkCount('positions', 'options.capacity', options.capacity, 1, MAX_POINTS);
    const handle = this.engineOf(options.region, options.grids);
    return this.withInput(input, 'points.txt', (inputPath) => {
      const bytes = capacity * 8;
      const east = this.engine._malloc(bytes);
      const north = this.engine._malloc(bytes);
      try {
        if (!east || !north) {
          throw rangeError('positions', 'options.capacity', 'fewer points: their room is more than the memory left', capacity);
        }
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

  // The area a region serves, for a picture: the outlines, in the region's TM07, of the area
  // drawn (Kastelorizo's islands, the envelope of Greece) and of the area beyond which a point is
  // far from it, and how many of the TM07 positions east, north (as positions gives them) lie
  // far from it. Returns { region, served: [[e, n], ...], near: [[e, n], ...], far }.
  regionArea(region, east, north) {
    region = checkRegion('regionArea', 'region', region);
    east = east || new Float64Array(0);
    north = north || new Float64Array(0);
    if (!(east instanceof Float64Array) || !(north instanceof Float64Array) || east.length !== north.length) {
      throw typeError('regionArea', 'east, north', 'two Float64Arrays of one length', east);
    }
    const n = east.length;
    const e = n ? this.engine._malloc(n * 8) : 0;
    const m = n ? this.engine._malloc(n * 8) : 0;
    try {
      if (n && (!e || !m)) throw rangeError('regionArea', 'east', 'fewer points: their room is more than the memory left', n);
      if (n) {
        this.engine.HEAPF64.set(east, e / 8);
        this.engine.HEAPF64.set(north, m / 8);
      }
      return this.call('vortan_region_area', REGIONS[region], n, e, m);
    } finally {
      if (e) this.engine._free(e);
      if (m) this.engine._free(m);
    }
  }

  // The single-point program of a region: its boxes, buttons and messages.
  singlePoint(region, options) {
    region = checkRegion('singlePoint', 'region', region);
    options = this.checkCallOptions('singlePoint', options, ['grids']);
    return new SinglePoint(this, region, options);
  }

  // The data-file program of a region: its initial step and job buttons.
  dataFiles(region) {
    return new DataFiles(this, checkRegion('dataFiles', 'region', region));
  }

  // The options of a call checked, with its region by name and its grids.
  checkCallOptions(call, options, known) {
    const checked = { ...checkOptions(call, options, known) };
    if (known.includes('region')) checked.region = checkRegion(call, 'options.region', checked.region);
    if (known.includes('grids')) checked.grids = this.checkGrids(call, 'options.grids', checked.grids);
    return checked;
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
      // The name is a file name (the calls check it).
      const name = nameOf(input, defaultName);
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
      this.progress = options.onProgress || this.onProgress;
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
    this.vectorLanes = !!options.vectorLanes;
    this.handle = vortan.engineOf(options.region, options.grids);
  }

  // Many points: three arrays (or array-likes) in, three Float64Arrays and a status per point
  // out ('done', 'outside-grid', 'fault', 'no-value'). A point that fails is NaN.
  transformArrays(a, b, c) {
    checkCoordinates('transformArrays', 'a', a);
    checkCoordinates('transformArrays', 'b', b);
    checkCoordinates('transformArrays', 'c', c);
    const n = a.length;
    if (b.length !== n || c.length !== n) {
      throw new RangeError(`transformArrays: a, b and c must be of one length, not ${n}, ` +
        `${b.length} and ${c.length}`);
    }
    if (n > MAX_POINTS) {
      throw rangeError('transformArrays', 'the length of a, b and c',
        `at most ${MAX_POINTS} points a call (convert more in parts)`, n);
    }
    const E = this.vortan.engine;
    const bytes = Math.max(8, n * 8);
    const pointers = [];
    const alloc = (size) => {
      const p = E._malloc(size);
      if (!p) {
        throw rangeError('transformArrays', 'the length of a, b and c',
          'fewer points: their room is more than the memory left (convert them in parts)', n);
      }
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
        this.keepHeights ? 1 : 0, this.exact ? 1 : this.vectorLanes ? 2 : 0, n, ...inputs,
        ...outputs, status);
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
    checkCoordinate('transform', 'a', a);
    checkCoordinate('transform', 'b', b);
    checkCoordinate('transform', 'c', c);
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
    this.vortan.checkGrids('setGrids', 'grids', grids, { optional: false });
    const fs = this.vortan.fs;
    fs.writeFile(`${this.folder}/dN_2km_V1-0.grd`, fs.readFile(`${grids.folder}/${grids.paths[0]}`));
    fs.writeFile(`${this.folder}/dE_2km_V1-0.grd`, fs.readFile(`${grids.folder}/${grids.paths[1]}`));
  }

  setText(box, text) {
    if (typeof box !== 'string') throw typeError('setText', 'box', 'the name of a box of the window (Text1, …)', box);
    if (!Object.prototype.hasOwnProperty.call(this.texts, box)) {
      throw rangeError('setText', 'box', 'the name of a box of the window (a name in texts: Text5, …)', box);
    }
    checkText('setText', 'text', text);
    this.texts[box] = text;
  }

  // Presses a button (Command1, Command2, Command3, Command5) with the boxes' texts as they
  // are: returns { status, box, message, messages, texts, enabled }.
  click(button) {
    const buttons = ['Command1', 'Command2', 'Command3', 'Command5'];
    if (typeof button !== 'string') throw typeError('click', 'button', buttons.join(', '), button);
    if (!buttons.includes(button)) throw rangeError('click', 'button', `one of ${buttons.join(', ')}`, button);
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
    // Grids that did not load (gridFiles) too: the window then says why.
    v.checkGrids('initialStep', 'grids', grids);
    if (!grids) return v.call('vortan_data_files_initial_step', this.handle, '', '');
    return v.inFolder(grids.folder,
      () => v.call('vortan_data_files_initial_step', this.handle, grids.paths[0], grids.paths[1]));
  }

  // A job button (Command1, Command2, Command4, Command5) on an input ({ name, bytes } or
  // { name, file }): the outputs with the program's default names when the job is done.
  run(button, input, options) {
    const v = this.vortan;
    const buttons = v.catalogue.jobs.map((j) => j.button);
    if (typeof button !== 'string') throw typeError('run', 'button', buttons.join(', '), button);
    if (!buttons.includes(button)) throw rangeError('run', 'button', `one of ${buttons.join(', ')}`, button);
    checkFile('run', 'input', input, true);
    options = checkOptions('run', options, ['onProgress']);
    return v.withInput(input, 'input.txt', (inputPath, folder) => {
      const out = outputFolder(inputPath);
      v.fs.mkdir(`${folder}/${out}`);
      const job = v.catalogue.jobs.find((j) => j.button === button);
      for (const name of job ? job.outputs : []) {
        v.makeRoom(`${folder}/${out}/${v.regionFileName(this.region, name)}`, v.inputSize(input));
      }
      v.progress = options.onProgress || v.onProgress;
      let result;
      try {
        result = v.call('vortan_data_files_run', this.handle, button, inputPath, out);
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
