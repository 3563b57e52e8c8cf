'use strict';
// Differential tests: the hand-written parts of page/markdown.js against the
// plain regular expressions they replace, on many generated inputs. Inputs
// are short and drawn from small alphabets of the characters that matter, so
// the plain expressions stay fast and every interaction shows up often.
const test = require('node:test');
const assert = require('node:assert');
const vm = require('node:vm');
const { loadMarkdown } = require('./load-markdown.js');
const { refParse, refTakeFences, refTakeInlineCode } = require('./reference-markdown.js');
const { realisticDocument, makeRandom } = require('./realistic-document.js');

const { parse, context } = loadMarkdown();

// Text of up to maxLength tokens drawn from alphabet.
function generator(seed, alphabet, maxLength) {
  const random = makeRandom(seed);
  return function next() {
    let text = '';
    const length = 1 + random(maxLength);
    for (let i = 0; i < length; i++) text += alphabet[random(alphabet.length)];
    return text;
  };
}

// Runs check on count generated inputs and reports the first few failures
// with the input that caused them.
function forEachGenerated(count, next, check) {
  const failures = [];
  for (let i = 0; i < count && failures.length < 3; i++) {
    const text = next();
    const problem = check(text);
    if (problem) failures.push(JSON.stringify(text) + ': ' + problem);
  }
  assert.deepStrictEqual(failures, []);
}

function compare(actual, expected) {
  return actual === expected ? null : 'got ' + JSON.stringify(actual) + ', expected ' + JSON.stringify(expected);
}

const BRACKET_ALPHABET = ['[', '[', ']', ']', '(', '(', ')', ')', '](', '![', '!', 'a', 'b', '\n', ' ', '!video[',
  '!audio[', '!file[', 'video', '|', '.'];

const BRACKET_STEPS = [
  ['!video[', false, /!video\[([^\]]*)\]\(([^)]+)\)/g],
  ['!audio[', false, /!audio\[([^\]]*)\]\(([^)]+)\)/g],
  ['!file[', false, /!file\[([^\]]*)\]\(([^)]+)\)/g],
  ['![', false, /!\[([^\]]*)\]\(([^)]+)\)/g],
  ['[', true, /\[([^\]]+)\]\(([^)]+)\)/g],
];

test.describe('bracket scanner matches the plain expressions', () => {
  const render = (label, source) => '{' + label + '|' + source + '}';
  BRACKET_STEPS.forEach(([opener, labelRequired, pattern], index) => {
    test(pattern.source, () => {
      forEachGenerated(20000, generator(101 + index, BRACKET_ALPHABET, 40), (text) => {
        const expected = text.replace(pattern, (m, label, source) => render(label, source));
        return compare(context.mdReplaceBracketed(text, opener, labelRequired, render, { open: false }), expected);
      });
    });
  });

  test('an open end is reported when and only when later text could close an opener', () => {
    // A chunk end is open when appending a blank line and more text changes
    // what the expression finds in the chunk itself.
    const suffixes = ['\n\n]', '\n\n](x)', '\n\n)', '\n\nx)', '\n\n[a](b)'];
    forEachGenerated(20000, generator(107, BRACKET_ALPHABET, 30), (text) => {
      for (const [opener, labelRequired, pattern] of BRACKET_STEPS) {
        const tail = { open: false };
        const alone = context.mdReplaceBracketed(text, opener, labelRequired, render, tail);
        for (const suffix of suffixes) {
          const together = (text + suffix).replace(pattern, (m, label, source) => render(label, source));
          if (!tail.open && together !== alone + suffix.replace(pattern, (m, l, s) => render(l, s))) {
            return 'end reported closed but "' + suffix + '" changes ' + pattern.source;
          }
        }
      }
      return null;
    });
  });
});

test.describe('code scanners match the plain expressions', () => {
  const steps = [
    ['fences', 'mdTakeFences', refTakeFences,
      ['`', '```', '```', '````', 'js', '_', ' ', '\t', '\u2028', '\n', '\r', '\r\n', 'a', '&', '<', '>']],
    ['inline code', 'mdTakeInlineCode', refTakeInlineCode,
      ['`', '`', '``', '```', 'a', ' ', '\n', '\r', '\r\n', '&', '<', '>', '\u2028']],
  ];
  steps.forEach(([name, scanner, reference, alphabet], index) => {
    test(name, () => {
      forEachGenerated(20000, generator(131 + index * 20, alphabet, 30), (text) => {
        const expectedCode = [];
        const expected = reference(text, expectedCode);
        const code = [];
        const actual = context[scanner](text, code, null);
        return compare(actual, expected) || compare(code.join(), expectedCode.join());
      });
    });
  });
});

const RUN_ALPHABET = ['>', '> ', '|', '|', '- ', '-', ' ', '  ', '\t', '1.', '12.', ' ', 'a', 'b', '\n', '\n', '\r\n',
  '\r', '\u2028', '\u00a0'];

const RUN_STEPS = [
  ['MD_QUOTE_LINE_RE', /(^>\s?.+\r?\n?)+/gm],
  ['MD_TABLE_LINE_RE', /(^\|.+\|[ \t]*\r?\n?)+/gm],
  ['MD_BULLET_LINE_RE', /(^[ \t]*- .+\r?\n?)+/gm],
  ['MD_NUMBERED_LINE_RE', /(^\d+\.\s.+\r?\n?)+/gm],
];

test.describe('line runs match the plain run expressions', () => {
  const render = (run) => '{' + run + '}';
  RUN_STEPS.forEach(([lineName, pattern], index) => {
    test(pattern.source, () => {
      const lineRe = vm.runInContext(lineName, context); // constants are not properties of the global object
      forEachGenerated(20000, generator(201 + index, RUN_ALPHABET, 30), (text) => {
        return compare(context.mdReplaceRuns(text, lineRe, render, { open: false }), text.replace(pattern, render));
      });
    });
  });
});

test.describe('putting markers back in one pass', () => {
  // Code blocks, inline code that may hold code-block markers, and text
  // between them without the letters of a marker.
  function markedText(random) {
    const blocks = [];
    const inline = [];
    const count = random(8);
    for (let i = 0; i < count; i++) blocks.push('<pre>b' + i + ' $& $1</pre>');
    let text = '';
    for (let i = random(12); i > 0; i--) {
      switch (random(4)) {
        case 0:
          if (blocks.length) text += '\u0000CB' + random(blocks.length) + '\u0000';
          break;
        case 1: {
          const inner = blocks.length && random(3) === 0 ? '\u0000CB' + random(blocks.length) + '\u0000' : '';
          inline.push('<code>i' + inline.length + inner + '</code>');
          text += '\u0000IC' + (inline.length - 1) + '\u0000';
          break;
        }
        default:
          text += ['x', '\n', '$', '0', '12', ' '][random(6)];
      }
    }
    return { text, blocks, inline };
  }

  function sequential(text, blocks, inline) {
    blocks.forEach((html, k) => { text = text.split('\u0000CB' + k + '\u0000').join(html); });
    inline.forEach((html, k) => { text = text.split('\u0000IC' + k + '\u0000').join(html); });
    blocks.forEach((html, k) => { text = text.split('\u0000CB' + k + '\u0000').join(html); });
    return text;
  }

  test('gives the result of putting back one number at a time', () => {
    const random = makeRandom(301);
    for (let i = 0; i < 20000; i++) {
      const { text, blocks, inline } = markedText(random);
      const actual = context.mdPutBack(text, blocks, inline);
      assert.strictEqual(actual, sequential(text, blocks, inline), JSON.stringify(text));
      assert.ok(!actual.includes('\u0000'), 'marker left in ' + JSON.stringify(actual));
    }
  });

  test('code blocks only leaves inline-code markers in place', () => {
    const text = 'a\u0000IC0\u0000b\u0000CB1\u0000c';
    assert.strictEqual(context.mdPutBack(text, ['X', 'Y'], null), 'a\u0000IC0\u0000bYc');
  });
});

const DOCUMENT_ALPHABET = [
  '[', ']', '(', ')', '!', '![', '](', 'a', 'x.pdf', '|', '||', '\n', '\n\n', '\n\n', '\n\n\n', ' ', '  ', '\t', '\r',
  '\r\n', '`', '```', '```js\n', '*', '**', '~~', '#', '# ', '###', '> ', '>', '-', '- ', '---', '1. ', '2.', '&', '<',
  '\u0000', '\uFEFF', '\u2028', '\u00a0', '!video[', '!audio[', '!file[', '.', ':', '$1', '$&', '\n\n#', '\n\n>',
  '\n\n|', '\n\n- ', '`a`', '`(a)`', '~', 'CB', '\u2029#',
];

test.describe('whole conversion matches the plain step-by-step conversion', () => {
  test('on generated texts, whole and cut into pieces of every size', () => {
    forEachGenerated(15000, generator(401, DOCUMENT_ALPHABET, 40), (text) => {
      const expected = refParse(text);
      const problem = compare(parse(text), expected);
      if (problem) return problem;
      const clean = text.replace(/\u0000/g, '\uFFFD');
      for (const size of [1, 2, 5, 13]) {
        const cut = compare(context.mdConvertInChunks(clean, size), expected);
        if (cut) return 'pieces of ' + size + ': ' + cut;
      }
      return null;
    });
  });

  test('on a realistic document of 256 KiB, whole and in pieces', () => {
    const doc = realisticDocument(256 * 1024, 7);
    const expected = refParse(doc);
    assert.strictEqual(parse(doc), expected);
    for (const size of [100, 2000]) assert.strictEqual(context.mdConvertInChunks(doc, size), expected);
  });
});
