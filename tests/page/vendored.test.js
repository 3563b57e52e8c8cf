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
  ['markdown-it', 'dist/markdown-it.min.js', 'page/vendor/markdown-it/markdown-it.min.js'],
  ['markdown-it', 'LICENSE', 'page/vendor/markdown-it/LICENSE'],
  ['markdown-it-footnote', 'dist/markdown-it-footnote.min.js', 'page/vendor/markdown-it-footnote/markdown-it-footnote.min.js'],
  ['markdown-it-footnote', 'LICENSE', 'page/vendor/markdown-it-footnote/LICENSE'],
  ['markdown-it-task-lists', 'dist/markdown-it-task-lists.min.js', 'page/vendor/markdown-it-task-lists/markdown-it-task-lists.min.js'],
  ['markdown-it-task-lists', 'LICENSE', 'page/vendor/markdown-it-task-lists/LICENSE'],
  ['markdown-it-emoji', 'dist/markdown-it-emoji.min.js', 'page/vendor/markdown-it-emoji/markdown-it-emoji.min.js'],
  ['markdown-it-emoji', 'LICENSE', 'page/vendor/markdown-it-emoji/LICENSE'],
  ['markdown-it-front-matter', 'index.js', 'page/vendor/markdown-it-front-matter/index.js'],
  ['markdown-it-front-matter', 'LICENSE', 'page/vendor/markdown-it-front-matter/LICENSE'],
  ['markdown-it-github-alerts', 'dist/index.mjs', 'page/vendor/markdown-it-github-alerts/index.mjs'],
  ['markdown-it-github-alerts', 'LICENSE', 'page/vendor/markdown-it-github-alerts/LICENSE'],
  ['github-slugger', 'regex.js', 'page/vendor/github-slugger/regex.js'],
  ['github-slugger', 'LICENSE', 'page/vendor/github-slugger/LICENSE'],
  ['jschardet', 'dist/jschardet.min.js', 'page/vendor/jschardet/jschardet.min.js'],
  ['jschardet', 'LICENSE', 'page/vendor/jschardet/LICENSE'],
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
