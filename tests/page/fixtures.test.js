'use strict';
// Runs every case of the fixture files in tests/page/fixtures/ through parse.
//
// Fixture format (one file per construct, UTF-8, LF line ends):
//   - lines before the first case are a free description;
//   - "%% case: NAME" starts a case; the lines up to "%% output" are the
//     input, the lines after it up to the next case (or the end of the file)
//     are the expected output;
//   - the lines of a section are joined with LF; the LF before "%% output" or
//     "%% case:" is not part of the section. An input that should end with a
//     line end therefore ends with an empty line. Trailing empty lines of an
//     output are dropped (parse never ends its result with a line end).
//   - characters that a text file cannot show are written as escapes:
//     {{CR}} U+000D, {{NUL}} U+0000, {{TAB}} U+0009, {{SP}} U+0020,
//     {{BOM}} U+FEFF, {{LS}} U+2028, {{NBSP}} U+00A0, {{FFFD}} U+FFFD.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
const { loadMarkdown } = require('./load-markdown.js');
const { FIXTURE_DIR, readFixtures } = require('./fixture-cases.js');

const { parse } = loadMarkdown();
const files = fs.readdirSync(FIXTURE_DIR).filter((f) => f.endsWith('.txt')).sort();

test('fixture files are present', () => {
  assert.ok(files.length > 0, 'no fixture files in ' + FIXTURE_DIR);
});

for (const file of files) {
  test.describe(path.basename(file, '.txt'), () => {
    for (const c of readFixtures(path.join(FIXTURE_DIR, file))) {
      test(c.name, () => {
        assert.strictEqual(parse(c.input), c.output);
      });
    }
  });
}
