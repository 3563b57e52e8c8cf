'use strict';
// page/markdown.js as a script that the page inlines: what it defines, what
// it may contain, and the contracts of esc and of converting in pieces.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const vm = require('node:vm');
const { loadMarkdown, MARKDOWN_PATH } = require('./load-markdown.js');

const source = fs.readFileSync(MARKDOWN_PATH, 'utf8');
const { esc, parse, context } = loadMarkdown();

test.describe('the script file', () => {
  test('defines esc and parse as global functions of a classic script', () => {
    const sandbox = vm.createContext({});
    vm.runInContext(source + '\n;var seen = [typeof esc, typeof parse];', sandbox);
    assert.strictEqual(sandbox.seen.join(), 'function,function');
    assert.strictEqual(typeof sandbox.esc, 'function');
    assert.strictEqual(sandbox.parse('# a'), '<h1>a</h1>');
  });

  test('also works inside a strict script', () => {
    const sandbox = vm.createContext({});
    vm.runInContext('"use strict";\n' + source + '\n;var out = parse("*a* `b`");', sandbox);
    assert.strictEqual(sandbox.out, '<p><em>a</em> <code>b</code></p>');
  });

  test('declares no top-level names a page script could clash with', () => {
    const names = [...source.matchAll(/^(?:function|const|let|var|class)\s+([A-Za-z_$][\w$]*)/gm)].map((m) => m[1]);
    assert.ok(names.length > 10);
    assert.deepStrictEqual(names.filter((n) => !/^(md[A-Z]|MD_)/.test(n) && n !== 'esc' && n !== 'parse'), []);
  });

  test('is ASCII only and holds nothing that would end or escape an inline script', () => {
    assert.deepStrictEqual(source.match(/[^\x09\x0a\x20-\x7e]/g), null);
    assert.ok(!/<\/script/i.test(source), 'closing script tag');
    assert.ok(!source.includes('<!--'), 'comment opener');
    assert.ok(!source.includes('</'), 'closing tags must be written as "<\\/"');
  });
});

test.describe('esc', () => {
  const cases = [
    ['a & b', 'a &amp; b'],
    ['<b>', '&lt;b&gt;'],
    ['&lt;', '&amp;lt;'],
    ['"quotes" \'stay\'', '"quotes" \'stay\''],
    ['', ''],
    ['\u4e2d & \u{1F4C4}', '\u4e2d &amp; \u{1F4C4}'],
  ];
  for (const [input, expected] of cases) {
    test(JSON.stringify(input), () => assert.strictEqual(esc(input), expected));
  }
});

test.describe('parse', () => {
  test('keeps nothing between calls', () => {
    const doc = '```\nx\n```\n\n`y` [a](b)';
    const first = parse(doc);
    parse('```\nother\n```\n`z`');
    assert.strictEqual(parse(doc), first);
    assert.strictEqual(parse('\u0000CB0\u0000'), '<p>\uFFFDCB0\uFFFD</p>');
  });

  test('never fails, whatever the argument', () => {
    assert.strictEqual(parse(''), '');
    assert.strictEqual(parse(undefined), '<p>undefined</p>');
    assert.strictEqual(parse(42), '<p>42</p>');
  });
});

test.describe('a piece of a long document reports an open end', () => {
  // Ends that text after a blank line could still change: converting the
  // piece apart would differ from converting the whole document.
  const open = [
    ['bracket without close', 'see [a'],
    ['link without closing parenthesis', '[a](b'],
    ['image without close', '![a'],
    ['bare heading mark', 'text\n##'],
    ['white space after a heading mark', '#\n  '],
    ['quote line', 'x\n> q'],
    ['table rows', '|a|\n|b|'],
    ['bullet item', '- a'],
    ['numbered item', '1. a'],
  ];
  const closed = [
    ['paragraph', 'para'],
    ['heading', '# T'],
    ['link', '[a](b)'],
    ['brackets that cannot close', '[a] (b) ]'],
    ['rule', '---'],
    ['line after a list', '- a\ntext'],
  ];
  for (const [name, text] of open) {
    test('open: ' + name, () => {
      const tail = { open: false };
      context.mdConvert(text, [], tail);
      assert.strictEqual(tail.open, true);
    });
  }
  for (const [name, text] of closed) {
    test('closed: ' + name, () => {
      const tail = { open: false };
      context.mdConvert(text, [], tail);
      assert.strictEqual(tail.open, false);
    });
  }
});
