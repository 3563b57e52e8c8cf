'use strict';
// Reads the classic converter's fixture files (tests/page/fixtures/, format in fixtures.test.js).
const fs = require('node:fs');
const path = require('node:path');

const FIXTURE_DIR = path.join(__dirname, 'fixtures');
const CASE_RE = /^%% case: (.+)$/;
const OUTPUT_LINE = '%% output';
const ESCAPES = {
  CR: '\r', NUL: '\u0000', TAB: '\t', SP: ' ', BOM: '\uFEFF', LS: '\u2028', NBSP: '\u00A0', FFFD: '\uFFFD',
};
const ESCAPE_RE = /\{\{([A-Z]+)\}\}/g;

function unescape(text, where) {
  return text.replace(ESCAPE_RE, (m, name) => {
    if (!(name in ESCAPES)) throw new Error(where + ': unknown escape ' + m);
    return ESCAPES[name];
  });
}

// Returns [{ name, input, output }] for one fixture file.
function readFixtures(file) {
  const lines = fs.readFileSync(file, 'utf8').split('\n');
  const cases = [];
  let current = null;
  let section = null;
  for (let i = 0; i < lines.length; i++) {
    const line = lines[i];
    const header = CASE_RE.exec(line);
    const where = path.basename(file) + ':' + (i + 1);
    if (header) {
      current = { name: header[1], input: [], output: [], hasOutput: false, where };
      cases.push(current);
      section = current.input;
    } else if (line === OUTPUT_LINE) {
      if (!current || section !== current.input) throw new Error(where + ': "' + OUTPUT_LINE + '" outside a case');
      section = current.output;
      current.hasOutput = true;
    } else if (section) {
      section.push(line);
    }
  }
  return cases.map((c) => {
    if (!c.hasOutput) throw new Error(c.where + ': case without "' + OUTPUT_LINE + '"');
    while (c.output.length && c.output[c.output.length - 1] === '') c.output.pop();
    return {
      name: c.name,
      input: unescape(c.input.join('\n'), c.where),
      output: unescape(c.output.join('\n'), c.where),
    };
  });
}

// Every case of every fixture file, in file order: [{ file, name, input, output }].
function allFixtureCases() {
  return fs.readdirSync(FIXTURE_DIR).filter((f) => f.endsWith('.txt')).sort()
    .flatMap((file) => readFixtures(path.join(FIXTURE_DIR, file)).map((c) => ({ file, ...c })));
}

module.exports = { FIXTURE_DIR, readFixtures, allFixtureCases };
