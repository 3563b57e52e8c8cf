'use strict';
// Benchmark samples of the kinds markdown-it measures itself on: each one
// stresses one construct (fenced code, code spans, quotes, lists, emphasis,
// links, ...) and is a short unit repeated, with small variations, to the
// wanted size. The code samples come in several kinds because code is where a
// converter built from whole-text rewrites is weakest. Deterministic, so every
// run sees the same text.
const { makeRandom } = require('./realistic-document.js');

const WORDS = ('lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor incididunt ut labore ' +
  'et dolore magna aliqua enim ad minim veniam quis nostrud exercitation ullamco laboris nisi').split(' ');

// Lines of code in several languages, with the characters that escaping and
// the other constructs care about.
const CODE_LINES = [
  'const total = items.reduce((sum, item) => sum + item.price * item.count, 0);',
  'if (a < b && b > c) { return a & mask; }',
  'for i in range(10):',
  '    print(f"{i}: {data[i]}")',
  '#include <stdio.h>',
  'int main(void) { printf("%d\\n", x << 2); return 0; }',
  'echo "$HOME" | grep -v "#" > out.txt',
  '  "name": "viewer", "version": "1.0.0",',
  '<div class="note">**not bold** [not a link](x) `not code`</div>',
  '',
  '// - not a list item',
  '> not a quote',
  '| not | a | table |',
  '# not a heading',
  'let s = `template ${value}`;',
];
const LANGUAGES = ['js', 'python', 'c', 'bash', 'json', 'html', 'rust', 'go'];

function unitMaker(random) {
  const pick = (list) => list[random(list.length)];
  const words = (count) => Array.from({ length: count }, () => pick(WORDS)).join(' ');
  const code = (count) => Array.from({ length: count }, () => pick(CODE_LINES)).join('\n');
  return { pick, words, code, number: () => random(1000) };
}

// Fenced code and code spans: the kinds the converter must be fast on.
const CODE_SAMPLES = {
  'fences with language': ({ pick, words, code, number }) =>
    words(6) + ':\n\n```' + pick(LANGUAGES) + '\n' + code(3 + (number() % 10)) + '\n```',
  'fences without language': ({ code, number }) => '```\n' + code(2 + (number() % 12)) + '\n```',
  'small fences back to back': ({ pick, words }) =>
    '```' + pick(LANGUAGES) + '\n' + words(3) + '\n```\n```\n' + words(2) + '\n```',
  'long and tilde fences': ({ words }) =>
    '``````````text\nan\n' + words(1) + '\n```\nof\n\n\na fenced\n```\ncode\nblock\n``````````\n\n' +
    '~~~ ~~~~~~~~~~~~~~~\nhere is ' + words(2) + '\n~~~',
  'code spans in prose': ({ words, number }) =>
    Array.from({ length: 8 }, () => words(3) + ' `' + words(1) + '(' + number() + ')`').join(' ') + '.',
  'spans of several backticks': ({ words }) =>
    'use ``a ` b`` or `` `' + words(1) + '` `` and ```' + words(2) + '``` then ````' + words(1) + '```` ' +
    words(4) + ' `x` ``y``.',
  'backticks without spaces': ({ words }) =>
    '`lots`of`backticks`' + words(1) + '`\n\n``i``wonder``how``this``will``be``parsed``' + words(1) + '``',
};

// The other constructs, for the overall comparison.
const OTHER_SAMPLES = {
  'flat quotes': ({ words }) => Array.from({ length: 4 }, () => '> ' + words(6)).join('\n') + '\n' + words(5) +
    '\n\n>\n>\n>',
  'nested quotes': ({ words }) => ['>>>> ', '>>> ', '>> ', '> ', '>> ', '>>> '].map((m) => m + words(3)).join('\n'),
  'indented code': ({ words }) => '        ' + words(2) + '\n        example\n\n        of\n\n\n        a code\n' +
    '        ' + words(1),
  'headings': ({ words }) => '# ' + words(2) + '\n### ' + words(1) + '\n##### ' + words(3) + ' #####\n\n' +
    '###### ' + words(1) + ' \\#\\#\n\n####### not a heading',
  'rules': ({ words }) => '* * * * *\n\n -  -  -  -\n\n---\n\n________\n\n ***** ' + words(2),
  'html blocks': ({ words }) => '<div class="block">\n\n' + words(5) + '\n\n</div>\n\n<table>\n  <tr>\n    <td>\n' +
    '      **' + words(1) + '**\n    </td>\n  </tr>\n</table>',
  'setext headings': ({ words }) => words(2) + '\n---\n\n' + words(1) + '\n=========\n\nnot a heading\n----- text',
  'flat lists': ({ words }) => '- ' + words(1) + '\n- ' + words(2) + '\n- ' + words(1) + '\n\n\n1. ' + words(2) +
    '\n2. ' + words(1) + '\n3. ' + words(3) + '\n\n- loose\n\n- ' + words(2),
  'nested lists': ({ words }) => [0, 2, 4, 6, 8, 6, 4, 2, 0].map((n) => ' '.repeat(n) + '- ' + words(2)).join('\n') +
    '\n\n1. ' + words(1) + '\n   2. ' + words(1) + '\n      3. ' + words(2),
  'reference links': ({ words, number }) => '[' + words(1) + '] [2] [3]\n\n [' + words(1) + ']: <http://example.com/' +
    number() + '>\n [2]: http://example.com/foo \'test\'\n [[[[[[[[ not ]]]]]]]]: q',
  'tables': ({ words }) => '| ' + words(1) + ' | Heading 2 |\n| :------: | -------: |\n| Cell 1 | ' + words(2) +
    ' |\n| Cell 3 | Cell 4 |\n\nHeader 1 | Header 2\n-------- | --------\nCell 1 | ' + words(1),
  'autolinks': ({ number }) => ' <http://foo.bar.baz?q=hello&id=' + number() + '&boolean>\n <ftp://1.2.3.4:21/path>\n' +
    ' <http://unclosed.example.com/' + number(),
  'flat emphasis': ({ words }) => words(4).split(' ').map((w) => '*' + w + '*').join(' ') + '\n\n' +
    words(4).split(' ').map((w) => '**' + w + '**').join(' ') + ' _' + words(1) + '_',
  'nested emphasis': ({ words }) => '*this *is *a *' + words(1) + '* of* nested* emphases*\n\n***this ***is ***a ***' +
    words(1) + '*** of*** nested***',
  'worst-case emphasis': ({ words }) => '*this *is *a *worst *case *for *' + words(1) + '\n\n***this ***is ***a ***' +
    words(1) + ' ***for ***em',
  'entities': ({ number }) => '&nbsp; &amp; &copy; &AElig; &frac34; &#35; &#' + number() + '; &qwertyuiop; &1234;',
  'escapes': () => '\\\\ \\\\\\\\ \\` \\`\\` \\! \\" \\# \\$ \\% \\& \\\' \\( \\) \\* \\+ \\- \\. \\< \\> \\[ \\] \\_',
  'inline html': ({ words }) => '<a><bab><c2c>\n\n<a href="hi\'> <span class="x">' + words(2) + '</span>\n\n' +
    'foo <?php echo $a; ?> <![CDATA[>&<]]>',
  'flat links': ({ words, number }) => ' [' + words(3) + '](http://example.com/' + number() + ')\n ![' + words(2) +
    '](img/' + number() + '.png \'test\')\n [not a link](\n [not a link](((((((((',
  'nested links': () => '[[[[[[[[](test)](test)](test)](test)](test)](test)](test)]\n\n[ [[[[[[ [](x) ]]]]]] ](y)\n\n' +
    '![![![![![![![![![![![![',
  'hard line breaks': ({ words }) => words(4).split(' ').join('\\\n') + '\n\n' + words(4).split(' ').join('  \n') +
    '\n\n' + words(3).split(' ').join('\n'),
  'plain text': ({ words }) => Array.from({ length: 5 }, () => words(12)).join('. ') + '.',
  'raw tabs': ({ words }) => '1\t\t4444\n22\t\t333\n\n\t' + words(2) + '\nspace-indented line\n\na lot of\t\t\t\ttabs',
};

// The sample made by repeating make's units until it is at least minChars
// long; units are separated by blank lines.
function sampleDocument(make, minChars, seed = 15) {
  const helpers = unitMaker(makeRandom(seed));
  const units = [];
  let size = 0;
  while (size < minChars) {
    const unit = make(helpers);
    units.push(unit);
    size += unit.length + 2;
  }
  return units.join('\n\n');
}

module.exports = { CODE_SAMPLES, OTHER_SAMPLES, sampleDocument };
