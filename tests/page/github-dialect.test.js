'use strict';
// The GitHub dialect's converter as the built page carries it: the conformance examples as data, and the
// constructs of its own (media lines, mathematics, heading ids, fence languages, front matter,
// autolinks) as a table.
const { describe, it, before } = require('node:test');
const assert = require('node:assert/strict');
const { loadGithubDialect } = require('./load-github-dialect.js');
const { loadMarkdown } = require('./load-markdown.js');
const { commonmarkExamples, gfmExamples, exampleMisses, GFM_EXAMPLES_PATH } = require('./conformance-examples.js');

// Examples where the dialect follows GitHub rather than the reference text: extended autolinks (which
// cmark-gfm with its autolink extension links the same way), linkify-it's reading of "www." and mail
// addresses, HTML comments as CommonMark 0.31.2 reads them (the GFM text is 0.29), and GitHub's tag
// filter, which the page's own disarming stands in for. Each set is run as GitHub's conformance
// runner runs it (extended autolinks only where an example is marked "autolink") and as documents
// are shown (extended autolinks everywhere).
const EXTENDED_AUTOLINK_MISSES = { CommonMark: [602, 608, 611, 612], GFM: [610, 616, 619, 620] };
const GFM_MISSES = [625, 626, 629, 630, 631, 645, 646, 653];

let converter;
before(async () => {
  converter = await loadGithubDialect();
});

function missesBothWays(examples) {
  const misses = (render) => exampleMisses(examples, render).map((e) => e.number);
  return {
    runner: misses((markdown, example) => converter.render(markdown, { autolinks: example.section === 'autolink' })),
    documents: misses((markdown) => converter.render(markdown)),
  };
}

describe('conformance examples', () => {
  it('CommonMark 0.31.2: all, and all but the extended autolinks when those are everywhere', () => {
    assert.deepEqual(missesBothWays(commonmarkExamples()), { runner: [], documents: EXTENDED_AUTOLINK_MISSES.CommonMark });
  });
  it('GitHub-flavoured 0.29: all but the known differences', { skip: GFM_EXAMPLES_PATH ? false : 'no corpora' }, () => {
    assert.deepEqual(missesBothWays(gfmExamples()), {
      runner: GFM_MISSES,
      documents: [...EXTENDED_AUTOLINK_MISSES.GFM, ...GFM_MISSES],
    });
  });
});

describe('the dialect\'s own constructs', () => {
  const { parse } = loadMarkdown();
  // [what, markdown, expected HTML (exact) or a function of the HTML that holds]
  const CASES = [
    ['a video line as the classic converter writes it', '!video[A *clip*](v.mp4)', parse('!video[A *clip*](v.mp4)') + ''],
    ['an attachment line', '!file[report.pdf|2 MB](r.pdf)', parse('!file[report.pdf|2 MB](r.pdf)')],
    ['media lines together, no paragraph', '!audio[a](a.mp3)\n!video[](v.mp4)', parse('!audio[a](a.mp3)') + '\n' + parse('!video[](v.mp4)')],
    ['prices stay text', 'It costs $5 and $10.', '<p>It costs $5 and $10.</p>\n'],
    ['inline mathematics', 'Area $\\pi r^2$ and $`a<b`$.',
      '<p>Area <code class="language-math math-inline">\\pi r^2</code> and <code class="language-math math-inline">a&lt;b</code>.</p>\n'],
    ['a closing dollar before a digit or a letter closes nothing', '$a $1 b$c', '<p>$a $1 b$c</p>\n'],
    ['a formula never takes a link apart', '[$http service](https://x.org/$http)', '<p><a href="https://x.org/$http">$http service</a></p>\n'],
    ['display mathematics', '$$\nx^2 < 1\n$$', '<pre><code class="language-math">x^2 &lt; 1\n</code></pre>\n'],
    ['a formula line with a text line right after it stays in the paragraph, shown as display maths',
      '$$\\hat{y} = b.$$\n:eqlabel:`eq`', '<p><code class="language-math math-display">\\hat{y} = b.</code>\n:eqlabel:<code>eq</code></p>\n'],
    ['a formula before a block that ends a paragraph stands alone', '$$x$$\n# H',
      '<pre><code class="language-math">x\n</code></pre>\n<h1 id="h">H</h1>\n'],
    ['math fences', '```math\nx\n```', '<pre><code class="language-math">x\n</code></pre>\n'],
    ['fence languages cut as GitHub does', '```rust,ignore\nfn\n```\n``` bash [npm]\nls\n```',
      '<pre><code class="language-rust">fn\n</code></pre>\n<pre><code class="language-bash">ls\n</code></pre>\n'],
    ['heading ids, Chinese and repeated', '# Quick Start\n## 快速开始！\n## Quick Start\n## Quick Start',
      '<h1 id="quick-start">Quick Start</h1>\n<h2 id="快速开始">快速开始！</h2>\n<h2 id="quick-start-1">Quick Start</h2>\n<h2 id="quick-start-2">Quick Start</h2>\n'],
    ['front matter as a table', '---\ntitle: T\ntags: [a, b]\n---\n# H',
      '<table class="front-matter"><thead><tr><th>title</th><th>tags</th></tr></thead><tbody><tr><td>T</td><td>[a, b]</td></tr></tbody></table>\n<h1 id="h">H</h1>\n'],
    ['a rule and a heading are no front matter', '---\nTitle\n---', '<hr>\n<h2 id="title">Title</h2>\n'],
    ['www. and scheme autolinks, no bare host names', 'www.a.org b.com https://c.org',
      '<p><a href="http://www.a.org">www.a.org</a> b.com <a href="https://c.org">https://c.org</a></p>\n'],
    ['alerts', '> [!CAUTION]\n> Hot', (html) => html.startsWith('<div class="markdown-alert markdown-alert-caution"><p class="markdown-alert-title"><svg') && html.includes('Caution</p><p>Hot</p>')],
    ['task lists with disabled boxes', '- [x] done', (html) => /<input class="task-list-item-checkbox" checked="" disabled="" type="checkbox"> done/.test(html)],
    ['emoji shortcodes', ':tada:', '<p>\u{1F389}</p>\n'],
    ['footnotes', 'a[^1]\n\n[^1]: n', (html) => html.includes('<a href="#fn1" id="fnref1">[1]</a>') && html.includes('<section class="footnotes">')],
    ['struck text', '~~x~~', '<p><del>x</del></p>\n'],
    ['raw HTML passes to the page\'s disarming', '<details><summary>s</summary>\n\nx\n</details>', '<details><summary>s</summary>\n<p>x</p>\n</details>'],
  ];
  for (const [what, markdown, expected] of CASES) {
    it(what, () => {
      const html = converter.render(markdown);
      if (typeof expected === 'function') assert.ok(expected(html), html);
      else assert.equal(html, expected);
    });
  }

  it('the opening part of a large document is the beginning of the whole, and the pieces are the whole', () => {
    const section = (i) => `## Part ${i}\n\nSee [the guide][guide] and note[^n${i}].\n\n- item\n- item\n\n` +
      '> quoted\n>\n> - [x] done\n\n| a | b |\n|---|:-:|\n| 1 | 2 |\n\n';
    const text = Array.from({ length: 600 }, (_, i) => section(i)).join('') +
      '[guide]: https://example.org\n' + Array.from({ length: 600 }, (_, i) => `[^n${i}]: note ${i}\n`).join('');
    const part = converter.renderOpening(text);
    const whole = converter.render(text);
    assert.ok(part.length < whole.length / 2 && part.includes('<a href="https://example.org">the guide</a>'));
    assert.ok(whole.startsWith(part));
    const pieces = [];
    converter.renderPieces(text, 4096, (html, last) => pieces.push({ html, last }));
    assert.equal(pieces.map((piece) => piece.html).join(''), whole);
    assert.deepEqual(pieces.map((piece) => piece.last), pieces.map((piece, i) => i === pieces.length - 1));
    assert.ok(pieces.length > 20 && pieces.slice(0, -1).every((piece) => piece.html.length >= 4096), `${pieces.length} pieces`);
    // Each cut where a block ends, never inside a tag or a line.
    assert.ok(pieces.slice(0, -1).every((piece) => piece.html.endsWith('>\n')), pieces.map((p) => p.html.slice(-20)).join(' | '));
  });
});
