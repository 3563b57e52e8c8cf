'use strict';
// Inputs of about 100 KB each that make a careless converter slow: long runs
// of one opener that never closes, huge numbers of constructs, deep nesting
// and one very long line. Shared by the hang-guard test and the benchmark.

const SIZE = 100 * 1024;

// Repeats unit until the text is about SIZE characters long.
function fill(unit, separator = '') {
  const count = Math.max(1, Math.floor(SIZE / (unit.length + separator.length)));
  return Array(count).fill(unit).join(separator);
}

// Lines indented one more space each, restarting when the indentation would
// make the line longer than width.
function deepList(width) {
  const lines = [];
  let size = 0;
  for (let i = 0; size < SIZE; i = (i + 1) % width) {
    const line = ' '.repeat(i) + '- item ' + i;
    lines.push(line);
    size += line.length + 1;
  }
  return lines.join('\n');
}

const PATHOLOGICAL_INPUTS = {
  'asterisks': fill('*'),
  'asterisks in lines': fill('*'.repeat(99), '\n'),
  'strong openers': fill('**a'),
  'triple-asterisk openers': fill('***a'),
  'tilde openers': fill('~~a'),
  'asterisk then spaces': '*' + ' '.repeat(SIZE),
  'backticks': fill('`'),
  'backtick openers': fill('`a'),
  'fence openers without close': fill('```a\n'),
  'thousands of fences': fill('```js\nlet a = 1;\n```', '\n'),
  'fence inside inline code': fill('`x ```\ny\n``` z`', '\n'),
  'four-backtick fences': fill('````\nq\n````', '\n'),
  'inline code spans': fill('`c`', ' '),
  'code spans followed by CB': fill('`x`CB'),
  'code spans with and without marks': '[' + fill('`a` `*` `(` `|`', ' '),
  'code full of escapes': fill('`<&>`').slice(0, SIZE / 2) + '\n\n```\n' + '<&>'.repeat(SIZE / 6 | 0) + '\n```',
  'fence openers with long languages': fill('```' + 'w'.repeat(60) + ' x'),
  'pipes': fill('|'),
  'pipe lines': fill('|a|b|c|', '\n'),
  'pipe lines with trailing text': fill('| a | b | x', '\n'),
  'separator-like rows': '|a|\n|' + ':|-'.repeat(SIZE / 3) + 'x|',
  'greater-than signs': fill('>'),
  'quote lines': fill('> q', '\n'),
  'bare quote marks': fill('>', '\n'),
  'brackets': fill('['),
  'image openers': fill('!['),
  'video openers': fill('!video['),
  'link label openers': fill('[a]'),
  'link openers without close': fill('[a]('),
  'image openers without close': fill('![a]('),
  'attachment openers without close': fill('!file[a|b]('),
  'close-bracket paren': fill(']('),
  'parentheses': fill('('),
  'hyphens': fill('-'),
  'hyphen lines': fill('---', '\n'),
  'dash items on one line': fill('- '),
  'bullet items': fill('- item', '\n'),
  'deep list indentation': deepList(400),
  'tab-indented list': fill('\t\t\t\t- x', '\n'),
  'one very deep item': '- a\n' + ' '.repeat(SIZE) + '- b',
  'numbered items': fill('1. item', '\n'),
  'long numbers without dot': fill('9'.repeat(200), '\n'),
  'spaces': ' '.repeat(SIZE),
  'spaces then hash lines': fill(' '.repeat(60) + '#', '\n'),
  'line ends': '\n'.repeat(SIZE),
  'CR LF line ends': '\r\n'.repeat(SIZE / 2),
  'lone CR line ends': fill('a\r'),
  'hash then white space': '#' + ' \n'.repeat(SIZE / 2),
  'hash then line ends': '#' + '\n'.repeat(SIZE),
  'headings': fill('## heading', '\n'),
  'U+0000 characters': fill('\u0000CB0\u0000`x`') + '\n\n```\nz\n```',
  'one long line of words': fill('word *em* [link](u) `c` '),
};

module.exports = { PATHOLOGICAL_INPUTS, SIZE };
