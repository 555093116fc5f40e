// The JavaScript module (web/vortan.js) over vortan.wasm, in Node: the reference files byte for
// byte in both regions, and every failure with the message, file, line, field and point that
// the native tool gives for the same input (the tool is run beside it).
//   VORTAN_WEB=build-web VORTAN_BUILD=build VORTAN_TEST_DATA=tests/data node --test
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, mkdtempSync, writeFileSync, rmSync } from 'node:fs';
import { execFileSync, spawnSync } from 'node:child_process';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const web = resolve(process.env.VORTAN_WEB || 'build-web');
const build = resolve(process.env.VORTAN_BUILD || 'build');
const data = resolve(process.env.VORTAN_TEST_DATA || 'tests/data');
const { createVortan, VortanError } = await import(pathToFileURL(join(web, 'vortan.js')).href);

const vortan = await createVortan();
const referenceGrids = (folder) => vortan.loadGrids(
  { name: 'dN_2km_V1-0.grd', bytes: readFileSync(join(folder, 'dN_2km_V1-0.grd')) },
  { name: 'dE_2km_V1-0.grd', bytes: readFileSync(join(folder, 'dE_2km_V1-0.grd')) });
const grids = referenceGrids(join(data, 'reference/grids'));
const ref = join(data, 'reference');
const tool = join(build, 'bin/vortan-transform');

const JOBS = {
  'sflh-to-senh': 'GGRS87-SFLh',
  'senh-to-htrs07': 'GGRS87-SENh',
  'sflh-to-sxyz': 'HTRS07-SFLh',
  'sxyz-to-ggrs87': 'HTRS07-SXYZ',
};

test('the four jobs write the reference files byte for byte in both regions', () => {
  for (const region of ['mainland', 'kastelorizo']) {
    const infix = region === 'kastelorizo' ? '-KAST' : '';
    for (const [job, input] of Object.entries(JOBS)) {
      const name = `${input.replace('-', `${infix}-`)}.txt`;
      const r = vortan.runJob(job, { name, bytes: readFileSync(join(ref, region, name)) },
        { region, grids });
      assert.ok(r.outputs.length >= 1);
      for (const out of r.outputs) {
        const expected = readFileSync(join(ref, region, `expected-${job}.${out.name}`));
        assert.ok(Buffer.from(out.bytes).equals(expected), `${region} ${job} ${out.name}`);
      }
    }
  }
});

// Runs the native tool; its status and its message (stderr without the program's name).
function runTool(args) {
  const r = spawnSync(tool, args, { stdio: ['ignore', 'ignore', 'pipe'] });
  return { status: r.status, message: r.stderr.toString().trim().replace(/^vortan-transform: /, '') };
}

// A job or convert on a text in the module and in the tool: both give the same message.
function bothFail(kind, args, text, options = {}) {
  const folder = mkdtempSync(join(tmpdir(), 'vortan-web-'));
  try {
    const name = options.name || 'in.txt';
    writeFileSync(join(folder, name), text);
    const region = options.region || 'mainland';
    // Kastelorizo reads no grids (the tool notes grids given to it).
    const gridArgs = region === 'kastelorizo' ? ['--region', region]
      : ['--region', region, '--dn', join(ref, 'grids/dN_2km_V1-0.grd'),
        '--de', join(ref, 'grids/dE_2km_V1-0.grd')];
    let moduleError;
    try {
      if (kind === 'convert') {
        vortan.convert(args[0], args[1], { name, bytes: text }, { region, grids });
      } else {
        vortan.runJob(kind, { name, bytes: text }, { region, grids });
      }
    } catch (e) {
      moduleError = e;
    }
    assert.ok(moduleError instanceof VortanError, `the module refuses ${JSON.stringify(text)}`);
    const names = kind === 'convert' ? [vortan.fileNameOf(args[1], region)]
      : vortan.catalogue.jobs.find((j) => j.name === kind).outputs
        .map((n) => vortan.regionFileName(region, n));
    const toolArgs = kind === 'convert'
      ? [...gridArgs, 'convert', '--from', args[0], '--to', args[1], name, ...names]
      : [...gridArgs, kind, name, ...names];
    const cwd = process.cwd();
    process.chdir(folder);
    let native;
    try {
      native = runTool(toolArgs);
    } finally {
      process.chdir(cwd);
    }
    assert.notEqual(native.status, 0, 'the tool refuses it too');
    assert.equal(moduleError.message, native.message);
    return moduleError;
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

test('bad records stop with the tool\'s message, file, line and field', () => {
  const point = 'A,380000.00000,240000.00000,1.000\r\n';
  let e = bothFail('sflh-to-senh', [], `${point}B,38x,240000,1\r\n`);
  assert.equal(e.file, 'in.txt');
  assert.equal(e.line, 2);
  assert.equal(e.field, 'φ');
  e = bothFail('sflh-to-senh', [], `${point}B;380000;240000;1\r\n`);
  e = bothFail('sflh-to-senh', [], `${point}B,380000,240000,1,5\r\n`);
  e = bothFail('senh-to-htrs07', [], 'P,566296,541,4529332,314,6,501\r\n', { name: 'σημεία.txt' });
  assert.equal(e.file, 'σημεία.txt');
  bothFail('sxyz-to-ggrs87', [], '\xff\xfeP\0,\x001\0');
  bothFail('convert', ['ggrs87-tm87', 'htrs07-tm07'], 'P,566296.541,,6.501\r\n');
});

test('a point outside the grid stops the job naming the point and its line', () => {
  const e = bothFail('senh-to-htrs07', [],
    'IN,566296.541,4529332.314,6.501\r\nFAR,500000,6000000,10\r\n');
  assert.equal(e.status, 'outside-grid');
  assert.equal(e.point, 'FAR');
  assert.equal(e.line, 2);
  assert.equal(e.pointsWritten, 1);
});

test('numeric faults are named as the tool names them, without hardware flags', () => {
  // Overflow in X^2 + Y^2, division by zero on the polar axis, a packed angle whose degrees do
  // not fit their 16-bit field (an invalid operation).
  assert.match(bothFail('sxyz-to-ggrs87', [], 'B,1e308,1e308,1e308\r\n').message, /overflow/);
  assert.match(bothFail('sxyz-to-ggrs87', [], 'POLE,0,0,6356752.314\r\n').message,
    /division by zero/);
  assert.match(bothFail('sxyz-to-ggrs87', [], 'CENTRE,0,0,0\r\n').message, /numeric fault/);
  assert.match(bothFail('sflh-to-senh', [], 'B,1e9,240000,0\r\n').message, /invalid operation/);
  bothFail('senh-to-htrs07', [], 'B,1e300,4200000,0\r\n', { region: 'kastelorizo' });
  bothFail('sflh-to-sxyz', [], 'B,380000,-4e8,0\r\n');
});

test('grids that do not load are refused with the tool\'s reason', () => {
  const good = readFileSync(join(ref, 'grids/dE_2km_V1-0.grd'));
  assert.throws(() => vortan.loadGrids({ name: 'dN.grd', bytes: 'not a grid' },
    { name: 'dE.grd', bytes: good }), (e) => e instanceof VortanError && /dN\.grd/.test(e.message));
  assert.throws(() => vortan.loadGrids({ name: 'dN.grd', bytes: good.subarray(0, 5000) },
    { name: 'dE.grd', bytes: good }), VortanError);
});

test('convert on record files writes what the tool writes', () => {
  const input = readFileSync(join(ref, 'mainland/GGRS87-SENh.txt'));
  const r = vortan.convert('ggrs87-tm87', 'htrs07-tm07', { name: 'GGRS87-SENh.txt', bytes: input },
    { grids });
  const folder = mkdtempSync(join(tmpdir(), 'vortan-web-'));
  try {
    writeFileSync(join(folder, 'in.txt'), input);
    execFileSync(tool, ['--dn', join(ref, 'grids/dN_2km_V1-0.grd'), '--de',
      join(ref, 'grids/dE_2km_V1-0.grd'), 'convert', '--from', 'ggrs87-tm87', '--to',
      'htrs07-tm07', join(folder, 'in.txt'), join(folder, 'out.txt')], { stdio: 'ignore' });
    assert.ok(Buffer.from(r.outputs[0].bytes).equals(readFileSync(join(folder, 'out.txt'))));
    assert.equal(r.outputs[0].name, 'HTRS07-SENh.txt');
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('the batch call converts Float64Arrays as single points do, failures as NaN', () => {
  // The synthetic grids of the build take the window's default point to its TM87 point.
  const example = vortan.exampleGrids();
  const synthetic = vortan.loadGrids(example.dn, example.de);
  const t = vortan.transformer('htrs07-xyz', 'ggrs87-tm87', { grids: synthetic });
  const single = t.transform(4382064.771, 2023782.319, 4155326.131);
  assert.ok(Math.abs(single[0] - 566296.541) < 0.0005 && Math.abs(single[1] - 4529332.314) < 0.0005);
  const x = new Float64Array([4382064.771, 0, NaN, 4382064.771]);
  const y = new Float64Array([2023782.319, 0, 1, 2023782.319]);
  const z = new Float64Array([4155326.131, 6356752.314, 1, 4155326.131]);
  const r = t.transformArrays(x, y, z);
  assert.deepEqual(r.status, ['done', 'fault', 'no-value', 'done']);
  assert.equal(r.a[0], single[0]);
  assert.ok(Number.isNaN(r.a[1]) && Number.isNaN(r.a[2]));
  assert.equal(r.failures, 1);
  // Latitude, longitude in decimal degrees, latitude first; the exact functions differ from
  // the library's by a few units in the last place at most.
  const g = vortan.transformer('ggrs87-tm87', 'htrs07-geographic', { grids });
  const [lat, lon] = g.transform(566296.541, 4529332.314, 6.501);
  assert.ok(Math.abs(lat - 40.914974) < 1e-5 && Math.abs(lon - 24.789053) < 1e-5, `${lat} ${lon}`);
  const exact = vortan.transformer('ggrs87-tm87', 'htrs07-geographic', { grids, exact: true });
  const [elat] = exact.transform(566296.541, 4529332.314, 6.501);
  assert.ok(Math.abs(elat - lat) <= 4e-15);
  assert.throws(() => vortan.transformer('htrs07-tm07', 'ggrs87-tm87', { grids })
    .transform(500000, 4000000, 0), (e) => e.status === 'outside-grid');
  assert.throws(() => vortan.transformer('nowhere', 'ggrs87-tm87'), VortanError);
  // A latitude beyond 90 degrees is its own failure, not a point done.
  const far = vortan.transformer('htrs07-geographic', 'htrs07-tm07', { grids });
  assert.deepEqual(far.transformArrays([95, 38], [23, 23], [0, 0]).status, ['out-of-range', 'done']);
  assert.throws(() => far.transform(95, 23, 0), (e) => e.status === 'out-of-range');
});

test('the single-point window: box texts in, box texts and its messages out', () => {
  const sp = vortan.singlePoint('mainland', { grids });
  const before = sp.click('Command2');
  assert.equal(before.status, 'error');  // before the initial step
  assert.equal(sp.click('Command3').status, 'done');
  assert.equal(sp.texts.Text14, '408');
  const r = sp.click('Command2');
  assert.equal(r.status, 'done');
  // The values the window shows for its default point.
  assert.deepEqual([sp.texts.Text8, sp.texts.Text33, sp.texts.Text34], ['40', '54', '53.90607']);
  assert.deepEqual([sp.texts.Text9, sp.texts.Text36, sp.texts.Text37], ['24', '47', '20.59229']);
  assert.deepEqual([sp.texts.Text10, sp.texts.Text11, sp.texts.Text12, sp.texts.Text13],
    ['51.610', '566446.108', '2529618.096', '0.999654']);
  // A comma: the window's message, nothing converted.
  sp.setText('Text5', '4382064,771');
  const comma = sp.click('Command2');
  assert.equal(comma.status, 'refused-comma');
  assert.equal(comma.messages[0].title, 'Λάθος Σύμβολο Διαχωρισμού Ψηφίων');
  assert.match(comma.messages[0].text, /The dot \[\.\] must be used as decimal symbol/);
  // Outside the grid, and decimal degrees in a packed box.
  sp.setText('Text1', '');
  sp.setText('Text2', '');
  sp.setText('Text3', '38.5');
  sp.setText('Text4', '23.7');
  const outside = sp.click('Command1');
  assert.equal(outside.status, 'outside-grid');
  assert.equal(outside.messages[0].title, 'Λανθασμένη Επιλογή Σημείου');
  assert.match(outside.messages[0].text, /Το σημείο είναι εκτός του καννάβου/);
  assert.match(outside.messages[0].text, /DDMMSS/);
  const k = vortan.singlePoint('kastelorizo');
  assert.equal(k.click('Command3').status, 'done');
  assert.equal(k.click('Command2').status, 'done');
  assert.notEqual(k.texts.Text32, undefined);
});

test('the data-file window: its grid header, status line and message boxes', () => {
  const program = vortan.dataFiles('mainland');
  const step = program.initialStep(grids);
  assert.equal(step.ready, true);
  assert.deepEqual([step.texts.Text14, step.texts.Text15, step.texts.Text1, step.texts.Text2,
    step.texts.Text3, step.texts.Text4, step.texts.Text5],
  ['408', '422', '2000.', '1846000.', '42000.', '2660000.', '884000.']);
  const input = readFileSync(join(ref, 'mainland/HTRS07-SXYZ.txt'));
  const r = program.run('Command2', { name: 'HTRS07-SXYZ.txt', bytes: input });
  assert.equal(r.status, 'done');
  assert.deepEqual(r.files.map((f) => f.name),
    ['HTRS07-SFLh.txt', 'HTRS07-SENk.txt', 'GGRS87-SFL.txt', 'GGRS87-SEN.txt']);
  assert.match(r.statusLine, /^Ολοκληρώθηκε: 300 σημεία γράφτηκαν/);
  const bad = program.run('Command1', { name: 'GGRS87-SENh.txt', bytes: 'P,1,x,0\r\n' });
  assert.equal(bad.status, 'error');
  assert.deepEqual(bad.files, []);
  assert.equal(bad.messages[0].title, 'Σφάλμα αρχείου - File error');
  const k = vortan.dataFiles('kastelorizo');
  k.initialStep(null);
  const kr = k.run('Command4', { name: 'HTRS07-KAST-SFLh.txt',
    bytes: readFileSync(join(ref, 'kastelorizo/HTRS07-KAST-SFLh.txt')) });
  assert.deepEqual(kr.files.map((f) => f.name), ['HTRS07-KAST-SXYZ.txt']);
  assert.ok(Buffer.from(kr.files[0].bytes).equals(
    readFileSync(join(ref, 'kastelorizo/expected-sflh-to-sxyz.HTRS07-KAST-SXYZ.txt'))));
});

test('the example grids are the build\'s synthetic grids', () => {
  const example = vortan.exampleGrids();
  assert.ok(Buffer.from(example.dn.bytes).equals(readFileSync(join(build, 'bin/dN_2km_V1-0.grd'))));
  assert.ok(Buffer.from(example.de.bytes).equals(readFileSync(join(build, 'bin/dE_2km_V1-0.grd'))));
});

// CSV tables from spreadsheets, as the tool converts them through GDAL: the same bytes out, or
// the same message. Each case: a name, the table, and the forms.
const TABLES = [
  ['greek', '\ufeffΚωδικός;Χ;Υ;Η;Σχόλιο\r\nΣ1;566296,541;4529332,314;6,501;"α; β"\r\n' +
    'Σ2;566300;4529340,5;7;\r\n"Σ3 ""x""";566310,25;4529350;8;κ\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['plain', 'id,E,N,h\nP1,566296.541,4529332.314,6.501\nP2,566300,4529340.5,7\n\n',
    'ggrs87-tm87', 'htrs07-geographic'],
  ['xyz', 'id,E,N,h\r\nP1,566296.541,4529332.314,6.501\r\n', 'ggrs87-tm87', 'htrs07-xyz'],
  ['flat', 'id;E;N\r\nA;566296,541;4529332,314\r\n', 'ggrs87-tm87', 'htrs07-xyz'],
  ['quotes', 'id;E;N;h;t\r\nA;566296,541;4529332,314;6;"q""q"\r\nB;566296,541;4529332,314;6;"tab\tx"\r\n' +
    'C;566296,541;4529332,314;6;"cr\rx"\r\nD;566296,541;4529332,314;6;"lf\nx"\r\nE;566296,541;4529332,314;6;a:b=c!\r\n' +
    'F;566296,541;4529332,314;6; lead \r\nG;566296,541;4529332,314;6;x,y\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['stray', 'id;E;N;h;t\r\nA;566296,541;4529332,314;6;a b\r\nD;566296,541;4529332,314;6;q"q\r\n' +
    'F;566296,541;4529332,314;6;tab\there\r\nH;566296,541;4529332,314;6;  \r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['lines', 'id;E;N;h\r\n"A\r\nB";566296,541;4529332,314;6\r\nC;566296,541;4529332,314;6\r\n',
    'ggrs87-tm87', 'htrs07-tm07'],
  ['names', 'a b;E;N;h;;dup;dup\r\nA;566296,541;4529332,314;6;x;1;2\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['header', '"i""d"; E ;"N";h\r\nA; 566296,541 ;4529332,314;6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['crs', 'id;E;N;h\rA;566296,541;4529332,314;6\rB;566296,541;4529332,314;6\r', 'ggrs87-tm87', 'htrs07-tm07'],
  ['tabs', 'id\tE\tN\th\r\nA\t566296,541\t4529332,314\t6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['blanks', 'id E N h\r\nA 566296.541 4529332.314 6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['mixed', 'id;E;N;h\r\nA;566296.541;4529332.314;6\r\nB;566296,541;4529332,314;6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['empty-lines', 'id;E;N;h\r\n\r\nA;566296,541;4529332,314;6\r\n\r\nB;566296,541;4529332,314;7', 'ggrs87-tm87', 'htrs07-tm07'],
  ['only-header', 'id;E;N;h\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['degrees', 'id;lat;lon;h\r\nA;40,9149739;24,7890534;51,6\r\n', 'htrs07-geographic', 'ggrs87-tm87'],
  ['bad-cell', 'id;E;N;h\r\nP1;566296,541;xx;6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['empty-cell', 'id;E;N;h\nA;566296,541;4529332,314;6\nB;566296,541;4529332,314\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['windows-1253', Buffer.from('id;E;N;h\r\n\xd3\xe7\xec;566296,541;4529332,314;6\r\n', 'latin1'),
    'ggrs87-tm87', 'htrs07-tm07'],
  ['outside', 'id;E;N;h\r\nA;566296,541;4529332,314;6\r\nFAR;500000;6000000;10\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['blank-row', 'id;E;N;h\r\nA;566296,541;4529332,314;6\r\n   \r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['no-columns', 'id,E;N,h\r\nA,566296.541;4529332.314,6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['two-ns', 'id;E;N;h;n\r\nA;566296,541;4529332,314;6;1\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
  ['nothing', '', 'ggrs87-tm87', 'htrs07-tm07'],
  // More rows than a chunk, decimal commas from the second chunk on: the first is written with
  // points, as the tool writes it.
  ['chunks', 'id;E;N;h\r\n' + Array.from({ length: 9000 }, (_, i) =>
    `P${i};${(566296.541 + i).toFixed(3)};4529332.314;6\r\n`).join('') +
    'Q;566296,541;4529332,314;6\r\n', 'ggrs87-tm87', 'htrs07-tm07'],
];

// The cells of a CSV line (quotes removed, "" as a quote).
function cellsOf(line, separator) {
  const cells = [''];
  let quoted = false;
  for (let i = 0; i < line.length; ++i) {
    const c = line[i];
    if (c === '"') {
      if (quoted && line[i + 1] === '"') {
        cells[cells.length - 1] += '"';
        ++i;
      } else {
        quoted = !quoted;
      }
    } else if (c === separator && !quoted) {
      cells.push('');
    } else {
      cells[cells.length - 1] += c;
    }
  }
  return cells;
}

// Two tables the same but for the last bits of the numbers: the cells that differ are numbers
// within 1e-8 of each other (a unit in the last place of an Earth-sized intermediate carries
// over to a height as 1e-9 m), in at most a few rows in a hundred. The tables' numbers carry all
// seventeen digits, and glibc's sine, cosine and arctangent are not correctly rounded in about
// one call in a thousand (core/math_functions.h).
function sameTables(a, b, name) {
  const text = (bytes) => Buffer.from(bytes).toString('utf8');
  const la = text(a).split('\r\n');
  const lb = text(b).split('\r\n');
  assert.equal(la.length, lb.length, name);
  const separator = la[0].includes(';') ? ';' : la[0].includes('\t') ? '\t' : ',';
  let differ = 0;
  for (let i = 0; i < la.length; ++i) {
    if (la[i] === lb[i]) continue;
    ++differ;
    const ca = cellsOf(la[i], separator);
    const cb = cellsOf(lb[i], separator);
    assert.equal(ca.length, cb.length, `${name} line ${i + 1}`);
    for (let k = 0; k < ca.length; ++k) {
      if (ca[k] === cb[k]) continue;
      const x = Number(ca[k].replace(',', '.'));
      const y = Number(cb[k].replace(',', '.'));
      assert.ok(Number.isFinite(x) && Math.abs(x - y) <= 1e-8,
        `${name} line ${i + 1}: ${ca[k]} ${cb[k]}`);
    }
  }
  assert.ok(differ <= Math.max(1, la.length / 50), `${name}: ${differ} of ${la.length} lines differ`);
}

test('CSV tables convert to the tool\'s bytes, or stop with its message', () => {
  const folder = mkdtempSync(join(tmpdir(), 'vortan-web-csv-'));
  try {
    for (const [name, table, from, to] of TABLES) {
      const file = `${name}.csv`;
      writeFileSync(join(folder, file), table);
      const out = `${name}-${to}.csv`;
      const cwd = process.cwd();
      process.chdir(folder);
      let native;
      try {
        native = runTool(['--dn', join(ref, 'grids/dN_2km_V1-0.grd'), '--de',
          join(ref, 'grids/dE_2km_V1-0.grd'), 'convert', '--from', from, '--to', to, file, out]);
      } finally {
        process.chdir(cwd);
      }
      let result;
      let error;
      try {
        result = vortan.convertTable(from, to, { name: file, bytes: table }, { grids });
      } catch (e) {
        error = e;
      }
      // The tool's lines: its notes, and what happened.
      const lines = `vortan-transform: ${native.message}`.split('\n')
        .filter((l) => !l.startsWith("Try 'vortan-transform --help'"))
        .map((l) => l.replace(/^vortan-transform: /, ''));
      const notes = lines.filter((l) => l.startsWith('note: ')).map((l) => l.slice(6));
      const said = lines.filter((l) => !l.startsWith('note: ')).join('\n');
      if (native.status === 0) {
        assert.equal(error, undefined, `${name}: ${error && error.message}`);
        sameTables(result.outputs[0].bytes, readFileSync(join(folder, out)), name);
        assert.equal(result.message, said, name);
        assert.deepEqual(result.notes, notes, name);
      } else {
        assert.ok(error instanceof VortanError, `${name}: the module converts what the tool refuses`);
        assert.equal(error.message, said, name);
      }
    }
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('a CSV table of geometries (a WKT column) is left to the tool, which converts it', () => {
  const table = 'id;WKT\r\nA;"POINT (566296.541 4529332.314)"\r\n';
  assert.throws(() => vortan.convertTable('ggrs87-tm87', 'htrs07-tm07', { name: 'g.csv', bytes: table },
    { grids }), (e) => e instanceof VortanError && /column 'WKT' holds geometries/.test(e.message));
});

// The same bits as the native build, on the plain routines (the default) and on the vector
// lanes: every form to every other over the reference points of the mainland, against the
// Python package (the native build's). Both compute with the core's own elementary functions,
// plain operations in a fixed order, not with the C library's (musl here, glibc there).
test('the plain routines and the vector lanes give the native bits', (t) => {
  const python = spawnSync('/usr/bin/python3', ['-c', 'import vortan'],
    { env: { ...process.env, PYTHONPATH: join(build, 'python') } });
  if (python.status !== 0) {
    t.skip(`no Python package in ${build}/python`);
    return;
  }
  const forms = ['htrs07-xyz', 'htrs07-geographic', 'htrs07-tm07', 'ggrs87-geographic', 'ggrs87-tm87'];
  // The records of plain id,X,Y,Z lines (not those whose id holds a comma or a quote).
  const lines = readFileSync(join(ref, 'mainland/HTRS07-SXYZ.txt'), 'latin1').trim().split(/\r?\n/)
    .map((l) => l.split(',').slice(1).map(Number)).filter((f) => f.length === 3 && f.every(Number.isFinite));
  const xyz = [0, 1, 2].map((k) => lines.map((f) => f[k]));
  const entries = {};
  for (const form of forms) {
    const r = vortan.transformer('htrs07-xyz', form, { grids }).transformArrays(...xyz);
    entries[form] = [Array.from(r.a), Array.from(r.b), Array.from(r.c)];
  }
  const calls = {};
  const ours = {};
  for (const lanes of [false, true]) {
    for (const from of forms) {
      for (const to of forms) {
        if (from === to) continue;
        const key = `${from} ${to}${lanes ? ' on the lanes' : ''}`;
        calls[key] = [from, to, lanes, ...entries[from]];
        const r = vortan.transformer(from, to, { grids, vectorLanes: lanes }).transformArrays(...entries[from]);
        assert.equal(r.failures, 0, key);
        ours[key] = [r.a, r.b, r.c];
      }
    }
  }
  const script = [
    'import json, sys, numpy, vortan',
    'job = json.load(sys.stdin)',
    'out = {}',
    'for key, (frm, to, lanes, a, b, c) in job["calls"].items():',
    '    t = vortan.Transformer(frm, to, region="mainland", dn=job["dn"], de=job["de"],',
    '                           threads=1, vector_lanes=lanes)',
    '    out[key] = [numpy.asarray(v, dtype=float).tolist() for v in t.transform(a, b, c)]',
    'print(json.dumps(out))',
  ].join('\n');
  const gridFolder = join(ref, 'grids');
  const native = spawnSync('/usr/bin/python3', ['-c', script], {
    env: { ...process.env, PYTHONPATH: join(build, 'python') },
    input: JSON.stringify({ calls, dn: join(gridFolder, 'dN_2km_V1-0.grd'), de: join(gridFolder, 'dE_2km_V1-0.grd') }),
    maxBuffer: 1 << 26,
  });
  assert.equal(native.status, 0, native.stderr.toString());
  const theirs = JSON.parse(native.stdout.toString());
  for (const key of Object.keys(calls)) {
    for (let k = 0; k < 3; ++k) {
      for (let i = 0; i < lines.length; ++i) {
        assert.ok(Object.is(ours[key][k][i], theirs[key][k][i]),
          `${key}, coordinate ${k} of point ${i}: ${ours[key][k][i]} here, ${theirs[key][k][i]} natively`);
      }
    }
  }
});
