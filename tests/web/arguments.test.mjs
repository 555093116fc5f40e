// The arguments of the JavaScript module's calls: each one of the wrong kind is a TypeError and
// each one out of its range a RangeError, whose message names the call, the argument and what it
// takes, before anything reaches the engine or the module's files. A file name is a name alone:
// no folder, not "." or "..", no NUL, not empty.
//   VORTAN_WEB=build-web VORTAN_TEST_DATA=tests/data node --test tests/web/arguments.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const web = resolve(process.env.VORTAN_WEB || 'build-web');
const data = resolve(process.env.VORTAN_TEST_DATA || 'tests/data');
const { createVortan, VortanError } = await import(pathToFileURL(join(web, 'vortan.js')).href);

const vortan = await createVortan();
const gridFolder = join(data, 'reference/grids');
const grids = vortan.loadGrids(
  { name: 'dN_2km_V1-0.grd', bytes: readFileSync(join(gridFolder, 'dN_2km_V1-0.grd')) },
  { name: 'dE_2km_V1-0.grd', bytes: readFileSync(join(gridFolder, 'dE_2km_V1-0.grd')) });
const record = 'P,380000.00000,240000.00000,1.000\r\n';
const senh = 'P,566296.541,4529332.314,6.501\r\n';
const table = 'id;E;N;h\r\nA;566296,541;4529332,314;6\r\n';
const t = vortan.transformer('ggrs87-tm87', 'htrs07-tm07', { grids });
const sp = vortan.singlePoint('mainland', { grids });
const program = vortan.dataFiles('mainland');
program.initialStep(grids);

// Each row: the call, what it is given, the error, and what its message must say.
const REFUSED = [
  // File names.
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: '.', bytes: record }),
    RangeError, /^runJob: input\.name the text "\." names a folder: give the name of the file alone/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: '..', bytes: record }),
    RangeError, /^runJob: input\.name the text "\.\." names a folder/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: 'in\0.txt', bytes: record }),
    RangeError, /^runJob: input\.name the text "in\\u0000\.txt" holds a NUL character/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: '', bytes: record }),
    RangeError, /^runJob: input\.name the text "" is empty/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: 7, bytes: record }),
    TypeError, /^runJob: input\.name must be a file name \(a text\), not the number 7$/],
  ['convertTable', (v) => v.convertTable('ggrs87-tm87', 'htrs07-tm07',
    { name: '../../grids/1/t.csv', bytes: table }, { grids }),
  RangeError, /^convertTable: input\.name .* holds a folder separator \(\/ or \\\)/],
  ['convert', (v) => v.convert('ggrs87-tm87', 'htrs07-tm07', { name: 'a\\b.txt', bytes: senh }, { grids }),
    RangeError, /^convert: input\.name .* holds a folder separator/],
  ['positions', (v) => v.positions('ggrs87-tm87', { name: 'sub/in.txt', bytes: senh }, { grids }),
    RangeError, /^positions: input\.name .* folder separator/],
  ['loadGrids', (v) => v.loadGrids({ name: '../dN.grd', bytes: 'x' }, { name: 'dE.grd', bytes: 'x' }),
    RangeError, /^loadGrids: dn\.name .* folder separator/],
  ['gridFiles', (v) => v.gridFiles({ name: 'dN.grd', bytes: 'x' }, { name: '..', bytes: 'x' }),
    RangeError, /^gridFiles: de\.name .* names a folder/],
  ['regionFileName', (v) => v.regionFileName('kastelorizo', '../GGRS87-SENh.txt'),
    RangeError, /^regionFileName: mainlandName .* folder separator/],
  ['run', () => program.run('Command1', { name: '..', bytes: senh }),
    RangeError, /^run: input\.name .* names a folder/],
  // Files.
  ['runJob', (v) => v.runJob('sflh-to-senh', 42), TypeError,
    /^runJob: input must be \{ name, bytes \}, \{ name, file \} or the bytes of the file, not the number 42$/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: 'in.txt' }), TypeError,
    /^runJob: input must be .*, not an object \(Object\)$/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: 'in.txt', bytes: [1, 2] }), TypeError,
    /^runJob: input\.bytes must be a text, a Uint8Array or an ArrayBuffer, not an Array of 2$/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { name: 'in.txt', file: 'in.txt' }), TypeError,
    /^runJob: input\.file must be a File, not the text "in\.txt"$/],
  ['loadGrids', (v) => v.loadGrids(null, { bytes: 'x' }), TypeError,
    /^loadGrids: dn must be \{ name, bytes \}, not null$/],
  // Jobs, forms and regions: a name of another kind than a text.
  ['runJob', (v) => v.runJob(1, { bytes: record }), TypeError, /^runJob: job must be a job \(sflh-to-senh, /],
  ['transformer', (v) => v.transformer(5, 'ggrs87-tm87'), TypeError,
    /^transformer: from must be a form \(.*htrs07-xyz.*\), not the number 5$/],
  ['convertTable', (v) => v.convertTable('ggrs87-tm87', null, { bytes: table }, { grids }), TypeError,
    /^convertTable: to must be a form/],
  ['dataFiles', (v) => v.dataFiles(3), TypeError,
    /^dataFiles: region must be 'mainland' or 'kastelorizo', not the number 3$/],
  ['fileNameOf', (v) => v.fileNameOf('htrs07-xyz', ['kastelorizo']), TypeError, /^fileNameOf: region must be/],
  // Options.
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { grids, keepHeight: true }),
    RangeError, /^transformer: options\.keepHeight is no option of transformer; its options are region, grids, keepHeights, exact, vectorLanes$/],
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { grids, vectorLanes: 1 }),
    TypeError, /^transformer: options\.vectorLanes must be true or false, not the number 1$/],
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { grids, exact: true, vectorLanes: true }),
    TypeError, /^transformer: options\.exact and options\.vectorLanes exclude each other$/],
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { grids, keepHeights: 'false' }),
    TypeError, /^transformer: options\.keepHeights must be true or false, not the text "false"$/],
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { grids: {} }), TypeError,
    /^transformer: options\.grids must be the grids that loadGrids of this module returned, or null, not an object/],
  ['transformer', (v) => v.transformer('ggrs87-tm87', 'htrs07-tm07', { region: 1 }), TypeError,
    /^transformer: options\.region must be 'mainland' or 'kastelorizo', not the number 1$/],
  ['runJob', (v) => v.runJob('sflh-to-senh', { bytes: record }, null), TypeError,
    /^runJob: options must be an object \(\{ region, grids, onProgress \}\), not null$/],
  ['convert', (v) => v.convert('ggrs87-tm87', 'htrs07-tm07', { bytes: senh }, { grids, onProgress: 1 }),
    TypeError, /^convert: options\.onProgress must be a function/],
  ['positions', (v) => v.positions('ggrs87-tm87', { bytes: senh }, { grids, capacity: 0 }),
    RangeError, /^positions: options\.capacity must be a whole number from 1 to \d+, not the number 0$/],
  ['positions', (v) => v.positions('ggrs87-tm87', { bytes: senh }, { grids, capacity: 2.5 }),
    RangeError, /^positions: options\.capacity must be a whole number/],
  ['singlePoint', (v) => v.singlePoint('mainland', { grids: 'dN_2km_V1-0.grd' }), TypeError,
    /^singlePoint: options\.grids must be the grids/],
  // Coordinates.
  ['transformArrays', () => t.transformArrays(384000, [4200000], [0]), TypeError,
    /^transformArrays: a must be an Array or a typed array \(Float64Array, …\) of numbers, not the number 384000$/],
  ['transformArrays', () => t.transformArrays({ length: -1 }, [1], [1]), TypeError,
    /^transformArrays: a must be an Array or a typed array .* not an object \(Object\)$/],
  ['transformArrays', () => t.transformArrays([1], '4200000', [1]), TypeError,
    /^transformArrays: b must be an Array or a typed array .* not the text "4200000"$/],
  ['transformArrays', () => t.transformArrays([566296.541, 566296.541], [4529332.314, null], [0, 0]),
    TypeError, /^transformArrays: b\[1\] must be a number \(NaN for a point without a value\), not null$/],
  ['transformArrays', () => t.transformArrays([1], [1], new BigInt64Array(1)), TypeError,
    /^transformArrays: c must be an Array or a typed array/],
  ['transformArrays', () => t.transformArrays([1, 2], [1, 2], [1]), RangeError,
    /^transformArrays: a, b and c must be of one length, not 2, 2 and 1$/],
  ['transform', () => t.transform('566296.541', 4529332.314, 6.501), TypeError,
    /^transform: a must be a number, not the text "566296\.541"$/],
  ['transform', () => t.transform(566296.541, 4529332.314, NaN), RangeError,
    /^transform: c must be a finite number, not the number NaN$/],
  // Everything else.
  ['progressText', (v) => v.progressText(-1, 0, 100), RangeError,
    /^progressText: done must be a whole number from 0 to \d+, not the number -1$/],
  ['progressText', (v) => v.progressText(1, '5', 100), TypeError, /^progressText: read must be a number/],
  ['gridValues', (v) => v.gridValues(grids, 'dX'), RangeError,
    /^gridValues: which must be 'dN' or 'dE', not the text "dX"$/],
  ['gridValues', (v) => v.gridValues({ handle: 1 }, 'dN'), TypeError, /^gridValues: grids must be the grids/],
  ['setText', () => sp.setText('Text99', '1'), RangeError,
    /^setText: box must be the name of a box of the window \(a name in texts: Text5, …\), not the text "Text99"$/],
  ['setText', () => sp.setText('Text5', 4382064.771), TypeError, /^setText: text must be a text, not the number/],
  ['setText', () => sp.setText('Text5', '4382064.771\0junk'), RangeError,
    /^setText: text must be a text without NUL characters/],
  ['click', () => sp.click('Command4'), RangeError,
    /^click: button must be one of Command1, Command2, Command3, Command5, not the text "Command4"$/],
  ['setGrids', () => sp.setGrids(null), TypeError, /^setGrids: grids must be the grids .* returned, not null$/],
  ['run', () => program.run('Command3', { bytes: senh }), RangeError,
    /^run: button must be one of Command1, Command2, Command4, Command5|^run: button must be one of/],
  ['run', () => program.run('Command1', { bytes: senh }, { onProgress() {}, region: 'mainland' }),
    RangeError, /^run: options\.region is no option of run; its options are onProgress$/],
  ['initialStep', () => program.initialStep('grids'), TypeError, /^initialStep: grids must be the grids/],
];

test('every call refuses an argument of the wrong kind or range, naming the call and the argument', () => {
  const listing = () => ({ work: vortan.fs.readdir('/work'), grids: vortan.fs.readdir('/grids') });
  const before = listing();
  for (const [call, run, kind, said] of REFUSED) {
    assert.throws(() => run(vortan), (e) => {
      assert.equal(e.constructor, kind, `${call}: ${e.constructor.name}: ${e.message}`);
      assert.match(e.message, said, call);
      return true;
    }, `${call}: ${said}`);
  }
  // Nothing reached the module's files: no input left, no file written among the grids.
  assert.deepEqual(listing(), before);
});

test('createVortan refuses options that are not its own', async () => {
  await assert.rejects(createVortan({ wasm: 'vortan.wasm' }), (e) => e instanceof TypeError &&
    /^createVortan: options\.wasm must be a WebAssembly\.Module, a Uint8Array or an ArrayBuffer, not the text "vortan\.wasm"$/.test(e.message));
  await assert.rejects(createVortan({ wsam: null }), RangeError);
  // Its own option is taken: the progress of every job whose call gives none.
  const done = [];
  const other = await createVortan({ onProgress: (points) => done.push(points) });
  other.runJob('sflh-to-senh', record, { region: 'kastelorizo' });
  assert.equal(done.at(-1), 1);
});

test('unknown forms, jobs and regions stay VortanErrors that list the names', () => {
  assert.throws(() => vortan.runJob('sflh-to-xyz', { bytes: record }),
    (e) => e instanceof VortanError && /unknown job 'sflh-to-xyz': one of sflh-to-senh/.test(e.message));
  assert.throws(() => vortan.convertTable('tm87', 'htrs07-tm07', { bytes: table }, { grids }),
    (e) => e instanceof VortanError && /unknown form 'tm87': one of/.test(e.message));
  assert.throws(() => vortan.singlePoint('crete'), (e) => e instanceof VortanError &&
    e.message === "unknown region 'crete': mainland or kastelorizo");
});

// What the rules let through: a name of any letters, no name, a file named "out" beside the
// folder of the outputs, typed arrays of any numbers, and NaN for a point without a value.
test('names and values the rules let through still convert', () => {
  const greek = vortan.runJob('senh-to-htrs07', { name: 'σημεία..txt', bytes: senh }, { grids });
  assert.equal(greek.outputs.length, 3);
  assert.equal(vortan.runJob('sflh-to-senh', { bytes: record }, { grids }).outputs.length, 1);
  assert.equal(vortan.runJob('sflh-to-senh', record, { region: 'kastelorizo' }).outputs.length, 1);
  const out = program.run('Command1', { name: 'out', bytes: senh });
  assert.equal(out.status, 'done', out.message);
  assert.deepEqual(out.files.map((f) => f.name), ['GGRS87-SFLh.txt', 'HTRS07-SFL.txt', 'HTRS07-SEN.txt']);
  const named = vortan.convertTable('ggrs87-tm87', 'htrs07-tm07', { name: 'out', bytes: table }, { grids });
  assert.equal(named.outputs[0].name, 'out-htrs07-tm07.csv');
  const r = t.transformArrays(new Float32Array([566296.5]), [4529332.314], [6]);
  assert.deepEqual(r.status, ['done']);
  assert.deepEqual(t.transformArrays([NaN], [4529332.314], [0]).status, ['no-value']);
  assert.deepEqual(t.transformArrays([], [], []).status, []);
  assert.equal(vortan.transformer('ggrs87-tm87', 'htrs07-tm07', { grids: null, region: 'kastelorizo' })
    .transform(566296.541, 4529332.314, 6.501).length, 3);
  assert.equal(vortan.transformer('ggrs87-tm87', 'htrs07-tm07', { grids, region: null })
    .transform(566296.541, 4529332.314, 6.501).length, 3);
});
