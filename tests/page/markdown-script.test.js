'use strict';
// page/markdown.js as a script that the page inlines: what it defines, what
// it may contain, and the contracts of esc and of converting in pieces. Then
// the page's other scripts, joined after it in one script: what each says it
// uses from the others, and the order they load in.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const path = require('node:path');
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

// The page's scripts share one scope, so what one uses from another is named
// in its header ("// Uses: a, b, ..." or "// Uses: nothing", continued on
// lines that start with "//   "). A rough reading of the code is enough to
// check that line: comments, strings and regular expressions are blanked, and
// a name counts as used where it stands outside them, not after a ".", and is
// not declared again in the script (a local or a parameter of that name).
const PAGE_DIR = path.join(__dirname, '..', '..', 'page');
// A declaration at column 0: a name every later script sees.
const TOP_LEVEL_DECLARATION_RE = /^(?:async\s+)?(?:function\*?|const|let|var|class)\s+([A-Za-z_$][\w$]*)/gm;
// A script's own names below the top level: declarations, destructured names and parameters.
const LOCAL_DECLARATION_RE = /\b(?:const|let|var|function|class)\s+([A-Za-z_$][\w$]*)/g;
const DESTRUCTURING_RE = /\b(?:const|let|var)\s*[{[]([^=]*)[}\]]\s*=/g;
const PARAMETERS_RE = /\bfunction\b[^(]*\(([^)]*)\)|\(([^()]*)\)\s*=>|([A-Za-z_$][\w$]*)\s*=>|\bcatch\s*\(([^)]*)\)/g;
const PARAMETER_NAME_RE = /([A-Za-z_$][\w$]*)\s*(?=[,)}\]:]|=(?!=)|$)/g;
// A name not read as a property (after a single ".", not a spread's "...").
const NAME_RE = /(?<![\w$]|(?<!\.)\.\s*)[A-Za-z_$][\w$]*/g;
// Code after which a "/" starts a regular expression rather than divides.
const REGEX_MAY_FOLLOW_RE = /(?:^|[(,=:[!&|?{};+\-*%<>~^]|\b(?:return|typeof|case|do|else|in|of|void|yield|await|delete|new))\s*$/;
// The script's "// Uses:" line and its continuation lines.
const USES_LINE_RE = /^\/\/ Uses: (.*(?:\n\/\/ {3}.*)*)/m;
// A top-level statement other than a function declaration: it runs when the script loads.
const LOAD_TIME_STATEMENT_RE = /^(?!(?:async\s+)?function\b)\S/;

function mainScripts() {
  const list = fs.readFileSync(path.join(PAGE_DIR, 'main-scripts.cmake'), 'utf8').replace(/#.*/g, '');
  return /set\(PAGE_MAIN_SCRIPTS([^)]*)\)/.exec(list)[1].split(/\s+/).filter(Boolean);
}

// The text with comments, strings and regular expressions blanked; the code
// inside a template's ${...} stays.
function codeOnly(text) {
  let out = '';
  const templateBraces = [];
  for (let i = 0; i < text.length;) {
    const c = text[i];
    const skipString = (close) => {
      while (i < text.length && !close()) i += text[i] === '\\' ? 2 : 1;
    };
    if (text.startsWith('//', i)) {
      skipString(() => text[i] === '\n');
    } else if (text.startsWith('/*', i)) {
      i = text.indexOf('*/', i) + 2;
    } else if (c === '\'' || c === '"') {
      i++;
      skipString(() => text[i] === c);
      i++;
      out += '""';
    } else if (c === '`' || (c === '}' && templateBraces.at(-1))) {
      if (c === '}') templateBraces.pop();
      i++;
      skipString(() => text[i] === '`' || text.startsWith('${', i));
      const opens = text.startsWith('${', i);
      if (opens) templateBraces.push(true);
      i += opens ? 2 : 1;
      out += (c === '}' ? ')' : '""') + (opens ? '+(' : '');
    } else if (c === '/' && REGEX_MAY_FOLLOW_RE.test(out.slice(-12))) {
      let inClass = false;
      for (i++; i < text.length && (inClass || text[i] !== '/'); i += text[i] === '\\' ? 2 : 1) {
        if (text[i] === '[' || text[i] === ']') inClass = text[i] === '[';
      }
      for (i++; /[a-z]/.test(text[i] ?? ''); i++);
      out += '0';
    } else {
      if (c === '{' || c === '}') c === '{' ? templateBraces.push(false) : templateBraces.pop();
      out += c;
      i++;
    }
  }
  return out;
}

function localNames(code) {
  const names = new Set([...code.matchAll(LOCAL_DECLARATION_RE)].map((m) => m[1]));
  const lists = [...code.matchAll(DESTRUCTURING_RE)].map((m) => m[1]);
  lists.push(...[...code.matchAll(PARAMETERS_RE)].map((m) => m[1] ?? m[2] ?? m[3] ?? m[4]));
  for (const list of lists) for (const m of list.matchAll(PARAMETER_NAME_RE)) names.add(m[1]);
  return names;
}

// For each script in order: its top-level names, the other scripts' names it
// uses, and those its load-time statements use from scripts below it.
function readPageScripts() {
  const scripts = mainScripts().map((file) => {
    const text = fs.readFileSync(path.join(PAGE_DIR, file), 'utf8');
    const code = codeOnly(text);
    return { file, text, code, names: [...code.matchAll(TOP_LEVEL_DECLARATION_RE)].map((m) => m[1]) };
  });
  const owner = new Map(scripts.flatMap((s, at) => s.names.map((name) => [name, at])));
  const usedFromOthers = (code, at) => {
    const local = localNames(code);
    return [...new Set(code.match(NAME_RE))].filter((n) => owner.has(n) && owner.get(n) !== at && !local.has(n));
  };
  return scripts.map((s, at) => ({
    ...s,
    uses: usedFromOthers(s.code, at).sort(),
    loadTimeFromBelow: s.code.split(/\n(?=\S)/).filter((statement) => LOAD_TIME_STATEMENT_RE.test(statement))
      .flatMap((statement) => usedFromOthers(statement, at).filter((n) => owner.get(n) > at)),
  }));
}

test.describe('the page\'s scripts', () => {
  const scripts = readPageScripts();

  test('each names on its Uses line exactly the other scripts\' names it uses', () => {
    assert.strictEqual(scripts[0].file, 'markdown.js');
    for (const { file, text, uses } of scripts.slice(1)) {
      const line = USES_LINE_RE.exec(text);
      assert.ok(line, `${file} has no "// Uses:" line`);
      const declared = line[1].trim() === 'nothing' ? [] : line[1].replace(/\n\/\//g, ' ').split(',').map((n) => n.trim()).sort();
      assert.deepStrictEqual(declared, uses, file);
    }
  });

  test('run at load time, each needs only what the scripts above it define', () => {
    assert.deepStrictEqual(scripts.filter((s) => s.loadTimeFromBelow.length > 0).map((s) => [s.file, s.loadTimeFromBelow]), []);
  });

  test('the reading counts names in code only', () => {
    const cases = [
      ['f(a, b.c); // d', ['a', 'b', 'f']],
      ['x = "e" + `f${g}h` + /i/.source;', ['g', 'x']],
      ['y = [...z] / 2 / w;', ['w', 'y', 'z']],
    ];
    for (const [code, names] of cases) assert.deepStrictEqual(codeOnly(code).match(NAME_RE).sort(), names, code);
  });
});
