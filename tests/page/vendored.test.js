'use strict';
// Every library file the page or the program embeds is the published file of the version pinned in
// package.json, byte for byte, with the package's licence beside it.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');

const ROOT = path.join(__dirname, '..', '..');
const PINNED = require(path.join(ROOT, 'package.json')).devDependencies;

// [package, file in node_modules/<package>/, file in the tree]
const VENDORED = [
  ['mermaid', 'dist/mermaid.min.js', 'page/vendor/mermaid/mermaid.min.js'],
  ['mermaid', 'LICENSE', 'page/vendor/mermaid/LICENSE'],
  ['@highlightjs/cdn-assets', 'highlight.min.js', 'page/vendor/@highlightjs/cdn-assets/highlight.min.js'],
  ['@highlightjs/cdn-assets', 'languages/powershell.min.js', 'page/vendor/@highlightjs/cdn-assets/languages/powershell.min.js'],
  ['@highlightjs/cdn-assets', 'languages/dockerfile.min.js', 'page/vendor/@highlightjs/cdn-assets/languages/dockerfile.min.js'],
  ['@highlightjs/cdn-assets', 'LICENSE', 'page/vendor/@highlightjs/cdn-assets/LICENSE'],
  ['temml', 'dist/temml.min.js', 'page/vendor/temml/dist/temml.min.js'],
  ['temml', 'LICENSE', 'page/vendor/temml/LICENSE'],
];

for (const [name, published, inTree] of VENDORED) {
  test(`${inTree} is ${name}'s ${published} as published`, () => {
    const installed = require(path.join(ROOT, 'node_modules', name, 'package.json')).version;
    assert.strictEqual(PINNED[name], installed, `package.json pins ${name} exactly to the installed version`);
    const expected = fs.readFileSync(path.join(ROOT, 'node_modules', name, published));
    const actual = fs.readFileSync(path.join(ROOT, inTree));
    assert.ok(actual.equals(expected), `${inTree} differs from ${name}@${installed}/${published}`);
  });
}
