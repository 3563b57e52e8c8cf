'use strict';
// Real documents (../shared/corpora/realdocs/) shown in the page in the GitHub dialect keep the block
// structure that GitHub's own converter gives them: cmark-gfm's rendering is the reference. Both are
// reduced, in the same browser, to the sequence of headings, paragraphs, lists with their nesting
// and items, code blocks, quotes, rules and tables with their sizes; and neither may show more
// Markdown syntax as text than the other. One test over the whole corpus.
// The hostile payloads (../shared/corpora/xss-payloads.json), each shown in both dialects and
// exported to HTML, run nothing and fetch nothing but the pictures their file links to, when the
// file is opened in a browser of its own. One test over the whole corpus.
const { it } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { launchBrowser, startServer, openViewer, openDocument, DIALECTS, DIALECT_QUERY } = require('./harness');
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

const payloadCorpus = corporaDir() && path.join(corporaDir(), 'xss-payloads.json');
// Payloads per exported document: one file each would take half an hour on a busy machine.
const PAYLOADS_PER_FILE = 16;

it('hostile payloads exported to HTML run nothing and fetch only the pictures they link', {
  skip: !payloadCorpus && 'no corpora', timeout: 3600000,
}, async () => {
  const { payloads, detector } = JSON.parse(fs.readFileSync(payloadCorpus, 'utf8'));
  const browser = await launchBrowser();
  const server = await startServer();
  try {
    const files = [];
    for (const dialect of DIALECTS) {
      const context = await browser.newContext();
      const viewer = await openViewer(context, server, { query: DIALECT_QUERY[dialect] });
      for (let at = 0; at < payloads.length; at += PAYLOADS_PER_FILE) {
        const group = payloads.slice(at, at + PAYLOADS_PER_FILE);
        const id = group.map((entry) => entry.id).join(',');
        await openDocument(viewer, group.map((entry) => entry.payload).join('\n\n'), `payloads-${at}.md`);
        files.push({ id, dialect, html: await viewer.evaluate(() => exportDocumentHtml()) });
      }
      await context.close();
    }
    const reader = await browser.newContext();
    await reader.addInitScript((name) => {
      window[name] = (id) => document.documentElement.setAttribute('data-pwned', String(id));
    }, detector);
    let served = null;
    const requests = [];
    reader.on('request', (request) => requests.push(request.url()));
    await reader.route('http://export.invalid/**', (route) =>
      route.request().url() === 'http://export.invalid/file.html'
        ? route.fulfill({ status: 200, headers: { 'content-type': 'text/html' }, body: served })
        : route.fulfill({ status: 404, body: '' }));
    await reader.route(/^(?!http:\/\/export\.invalid\/)/, (route) => route.fulfill({ status: 404, body: '' }));
    const page = await reader.newPage();
    const faults = [];
    for (const { id, dialect, html } of files) {
      served = html;
      requests.length = 0;
      await page.goto('http://export.invalid/file.html');
      await page.waitForTimeout(20);
      const [pwned, scripts, pictures] = await page.evaluate(() => [document.documentElement.getAttribute('data-pwned'),
        document.querySelectorAll('script').length, [...document.querySelectorAll('img[src]')].map((img) => img.src)]);
      const fetched = requests.filter((url) => url !== 'http://export.invalid/file.html' && !pictures.includes(url));
      if (pwned !== null || scripts > 0 || fetched.length > 0) {
        faults.push(`payloads ${id} (${dialect}): ran ${pwned}, ${scripts} scripts, fetched ${JSON.stringify(fetched)}`);
      }
    }
    assert.deepEqual(faults, []);
  } finally {
    await browser.close();
    await server.close();
  }
});
