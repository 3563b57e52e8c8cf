'use strict';
// Real documents (../shared/corpora/realdocs/) shown in the page in the GitHub dialect keep the block
// structure that GitHub's own converter gives them: cmark-gfm's rendering is the reference. Both are
// reduced, in the same browser, to the sequence of headings, paragraphs, lists with their nesting
// and items, code blocks, quotes, rules and tables with their sizes; and neither may show more
// Markdown syntax as text than the other. One test over the whole corpus.
const { it } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { launchBrowser, startServer, openViewer, openDocument, DIALECT_QUERY } = require('./harness');
const { corporaDir, hasCmarkGfm, cmarkGfmHtml } = require('../page/conformance-examples.js');

const SAME_GOAL = 90;
// Front matter, which GitHub shows as a table of its own and cmark-gfm reads as a rule and text.
const FRONT_MATTER_RE = /^---[ \t]*\r?\n(?:[^\s:#][^:\n]*:[\s\S]*?)?\n(?:---|\.\.\.)[ \t]*(?:\r?\n|$)/;

// Runs in the page: the block structure of a tree, one token per block, and the visible text's
// Markdown syntax marks. The page's own wrappers (parts, table boxes) and GitHub's additions that
// cmark-gfm has no syntax for (alert titles, the front matter table, the footnotes' rule, display
// mathematics, which cmark-gfm leaves as a paragraph of TeX) are looked through.
function structureOf(root) {
  const LEAK_RE = /\*\*|__|```|\]\(|\[\^|^#{1,6} |^\s*[*+] |^\|.*\|$/gm;
  const out = [];
  const leaks = [];
  const walk = (el) => {
    for (const child of el.children) {
      const name = child.localName;
      const math = name === 'pre' ? child.querySelector('code.language-math') !== null
        : name === 'p' && /^\$\$[\s\S]*\$\$$/.test(child.textContent.trim());
      if (math) continue;
      if (/^h[1-6]$/.test(name)) out.push(name);
      else if (name === 'p' && !child.classList.contains('markdown-alert-title')) out.push('p');
      else if (name === 'pre') out.push('pre');
      else if (name === 'hr' && !child.classList.contains('footnotes-sep')) out.push('hr');
      else if (name === 'table') {
        if (child.classList.contains('front-matter')) continue;
        const rows = child.querySelectorAll('tr');
        out.push(`table ${rows.length}x${rows[0] ? rows[0].children.length : 0}`);
      } else if (name === 'ul' || name === 'ol' || name === 'li' || name === 'blockquote' ||
          (name === 'div' && child.classList.contains('markdown-alert'))) {
        out.push((name === 'div' ? 'blockquote' : name) + '(');
        walk(child);
        out.push(')');
        continue;
      } else {
        walk(child);
        continue;
      }
      if (name !== 'pre' && name !== 'table') {
        const text = child.textContent;
        for (const m of text.matchAll(LEAK_RE)) leaks.push(text.slice(Math.max(0, m.index - 20), m.index + 20).trim());
      }
      if (name === 'table') walk(child);
    }
  };
  walk(root);
  return { blocks: out.join(' '), leaks };
}

const corpus = corporaDir() && path.join(corporaDir(), 'realdocs');
const skip = !corpus ? 'no corpora' : !hasCmarkGfm() ? 'cmark-gfm is not installed' : false;

it('real documents keep the block structure GitHub gives them', { skip, timeout: 600000 }, async (t) => {
  const browser = await launchBrowser();
  const server = await startServer();
  try {
    const context = await browser.newContext({ viewport: { width: 1000, height: 800 } });
    const page = await openViewer(context, server, { query: DIALECT_QUERY.github });
    const names = fs.readdirSync(corpus).filter((name) => name.endsWith('.md')).sort();
    const differ = [];
    const leaking = [];
    for (const name of names) {
      const text = fs.readFileSync(path.join(corpus, name), 'utf8');
      const reference = cmarkGfmHtml(text.replace(FRONT_MATTER_RE, ''));
      await openDocument(page, text, name);
      const [ours, theirs] = await page.evaluate(([walker, html]) => {
        const structure = new Function('return ' + walker)();
        const inert = new DOMParser().parseFromString(html, 'text/html');
        return [structure(document.getElementById('content')), structure(inert.body)];
      }, [structureOf.toString(), reference]);
      if (ours.blocks !== theirs.blocks) {
        const a = ours.blocks.split(' ');
        const b = theirs.blocks.split(' ');
        let at = 0;
        while (a[at] === b[at]) at++;
        differ.push(`${name}: from block token ${at}: page "${a.slice(at, at + 6).join(' ')}", cmark-gfm "${b.slice(at, at + 6).join(' ')}"`);
      }
      if (ours.leaks.length > theirs.leaks.length) {
        const extra = ours.leaks.filter((leak) => !theirs.leaks.includes(leak));
        leaking.push(`${name}: ${ours.leaks.length} marks shown as text, cmark-gfm ${theirs.leaks.length}: ${JSON.stringify(extra)}`);
      }
    }
    t.diagnostic(`${names.length - differ.length} of ${names.length} documents keep their block structure`);
    for (const line of [...differ, ...leaking]) t.diagnostic(line);
    assert.ok(names.length - differ.length >= SAME_GOAL, differ.join('\n'));
    assert.deepEqual(leaking, []);
  } finally {
    await browser.close();
    await server.close();
  }
});
