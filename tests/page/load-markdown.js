'use strict';
// Evaluates page/markdown.js as the page does (a classic script, not a
// module) in a fresh context and hands back its globals. Each call gets its
// own context, so nothing leaks between callers.
const fs = require('node:fs');
const path = require('node:path');
const vm = require('node:vm');

const MARKDOWN_PATH = path.join(__dirname, '..', '..', 'page', 'markdown.js');

// Returns { esc, parse, context }; context also exposes the md-prefixed
// helpers (for tests that compare them with the expressions they replace).
function loadMarkdown() {
  const context = vm.createContext({});
  vm.runInContext(fs.readFileSync(MARKDOWN_PATH, 'utf8'), context, { filename: MARKDOWN_PATH });
  return { esc: context.esc, parse: context.parse, context };
}

module.exports = { loadMarkdown, MARKDOWN_PATH };
