// The npm package as it ships: packed by npm, it holds its five files;
// installed offline into a scratch project, it imports under its name with
// Node's own resolution and converts; and code written against its types
// passes tsc --strict there, while code that misuses them does not.
//   VELTRANE_NPM_PACKAGE=build/web/web/package [VELTRANE_TARBALL=build/packages/veltrane-1.0.0.tgz] \
//   node --test tests/web/tarball.test.mjs
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { packageFolder, repo } from './support.mjs';

let scratch;
let tarball;

function run(command, args, cwd, input) {
  const result = spawnSync(command, args, { cwd, input, encoding: 'utf8' });
  if (result.error) throw result.error;
  return result;
}
function succeed(command, args, cwd, input) {
  const result = run(command, args, cwd, input);
  assert.equal(result.status, 0, `${command} ${args.join(' ')}:\n${result.stdout}${result.stderr}`);
  return result.stdout;
}

before(() => {
  scratch = mkdtempSync(path.join(tmpdir(), 'veltrane-npm-'));
  tarball = process.env.VELTRANE_TARBALL;
  if (!tarball) {
    succeed('npm', ['pack', '--silent', '--pack-destination', scratch,
      path.resolve(packageFolder())], scratch);
    tarball = path.join(scratch, 'veltrane-1.0.0.tgz');
  }
  tarball = path.resolve(tarball);
});
after(() => rmSync(scratch, { recursive: true, force: true }));

test('the tarball holds the package\'s five files', () => {
  assert.equal(path.basename(tarball), 'veltrane-1.0.0.tgz');
  const names = succeed('tar', ['-tzf', tarball], scratch).trim().split('\n').sort();
  assert.deepEqual(names, ['package/LICENSE', 'package/README.md', 'package/index.d.ts',
    'package/index.js', 'package/package.json']);
});

test('installed offline into a project, it imports by name and converts', () => {
  const project = path.join(scratch, 'project');
  succeed('mkdir', ['-p', project], scratch);
  writeFileSync(path.join(project, 'package.json'),
    JSON.stringify({ name: 'scratch', version: '0.0.0', private: true, type: 'module' }));
  // An empty cache of its own and --offline: nothing may come from a registry.
  succeed('npm', ['install', '--offline', '--no-audit', '--no-fund', '--cache',
    path.join(scratch, 'cache'), tarball], project);
  const installed = JSON.parse(readFileSync(
    path.join(project, 'node_modules/veltrane/package.json'), 'utf8'));
  assert.equal(installed.type, 'module');
  assert.equal(installed.dependencies, undefined);

  const program = `
    import { convert, convertMany, explain, version, NumeralError } from 'veltrane';
    let rule = null;
    try { convert('12G', { from: 16 }); } catch (error) {
      if (error instanceof NumeralError) rule = [error.rule, error.column];
    }
    console.log(JSON.stringify([version, convert('255'), convertMany(['-0.5', 'x'], { to: 2 }),
      explain('0.1', { to: 10 }).stored, rule]));`;
  const out = succeed(process.execPath, ['--input-type=module', '-'], project, program);
  assert.deepEqual(JSON.parse(out),
    ['1.0.0', 'FF', ['-0.1', null], '3FFBCCCCCCCCCCCCCCCD', ['digit_too_large', 3]]);

  // Its types, as a TypeScript user sees them.
  const tsc = path.join(repo, 'tests/web/node_modules/typescript/bin/tsc');
  const check = (file) => run(process.execPath, [tsc, '--noEmit', '--strict', '--module', 'nodenext',
    '--moduleResolution', 'nodenext', '--target', 'es2022', file], project);
  copyFileSync(path.join(repo, 'tests/web/types/usage.ts'), path.join(project, 'usage.ts'));
  const good = check('usage.ts');
  assert.equal(good.status, 0, good.stdout + good.stderr);
  writeFileSync(path.join(project, 'misuse.ts'), "import { convert } from 'veltrane';\n" +
    "export const n: number = convert('1');\nexport const m = convert('1', { from: '16' });\n");
  const bad = check('misuse.ts');
  assert.notEqual(bad.status, 0);
  assert.match(bad.stdout, /misuse\.ts\(2,14\): error TS2322/);
  assert.match(bad.stdout, /misuse\.ts\(3,33\): error TS2322/);
});
