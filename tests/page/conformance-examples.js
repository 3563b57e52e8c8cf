'use strict';
// The examples of CommonMark (the CommonMark project's own package of them) and of GitHub-flavoured
// Markdown (the examples file in the shared corpora), and how an HTML result is compared with an
// example's, and GitHub's own converter (cmark-gfm with its extensions) where it is installed: the
// markup GitHub adds around the reference's (heading ids, task-list classes) and writing choices that
// mean the same HTML (" />", alignment as style or attribute, white space between tags) are left out.
const fs = require('node:fs');
const { execFileSync } = require('node:child_process');
const path = require('node:path');

const ROOT = path.join(__dirname, '..', '..');

// The public corpora: TALLOWMERE_CORPORA, else shared/corpora beside the checkout (or beside the
// folder of worktrees it is in); null when there are none.
function corporaDir() {
  const candidates = [process.env.TALLOWMERE_CORPORA, path.join(ROOT, '..', 'shared', 'corpora'),
    path.join(ROOT, '..', '..', 'shared', 'corpora')];
  return candidates.find((dir) => dir && fs.existsSync(path.join(dir, 'gfm-spec.txt'))) || null;
}

const GFM_EXAMPLES_PATH = corporaDir() && path.join(corporaDir(), 'gfm-spec.txt');
// One example of an examples file: its markdown and HTML, "→" standing for a tab.
const EXAMPLE_RE = /^`{32} example([^\n]*)\n([\s\S]*?)^\.\n([\s\S]*?)^`{32}$/gm;
const TAB_ARROW_RE = /\u2192/g;

function commonmarkExamples() {
  return require('commonmark-spec').tests.map((t) => ({
    number: t.number,
    section: t.section,
    markdown: t.markdown.replace(TAB_ARROW_RE, '\t'),
    html: t.html.replace(TAB_ARROW_RE, '\t'),
  }));
}

function gfmExamples(file = GFM_EXAMPLES_PATH) {
  const text = fs.readFileSync(file, 'utf8');
  const examples = [];
  for (const m of text.matchAll(EXAMPLE_RE)) {
    examples.push({
      number: examples.length + 1,
      section: m[1].trim(),
      markdown: m[2].replace(TAB_ARROW_RE, '\t'),
      html: m[3].replace(TAB_ARROW_RE, '\t'),
    });
  }
  return examples;
}

function normalizeHtml(html) {
  return html
    .replace(/<(h[1-6]) id="[^"]*">/g, '<$1>')
    .replace(/ \/>/g, '>')
    .replace(/<input [^>]*>/g, (tag) => '<input type="checkbox" disabled' + (/checked/.test(tag) ? ' checked' : '') + '>')
    .replace(/ class="(?:task-list-item|contains-task-list)"/g, '')
    .replace(/ style="text-align:(\w+)"/g, ' align="$1"')
    .replace(/>\s+</g, '><')
    .trim();
}

// The examples that render gives otherwise than the reference: [{ number, section, markdown, html, got }].
function exampleMisses(examples, render) {
  return examples
    .map((example) => ({ ...example, got: render(example.markdown, example) }))
    .filter((example) => normalizeHtml(example.got) !== normalizeHtml(example.html));
}

// cmark-gfm with GitHub's extensions, and without its own filter of unsafe HTML (the page disarms).
const CMARK_GFM_ARGS = ['--unsafe', '-e', 'table', '-e', 'strikethrough', '-e', 'autolink', '-e', 'tagfilter', '-e', 'tasklist', '-e', 'footnotes'];

function hasCmarkGfm() {
  try {
    execFileSync('cmark-gfm', ['--version'], { stdio: 'ignore' });
    return true;
  } catch (e) {
    return false;
  }
}

// The HTML that GitHub's own converter gives for markdown.
function cmarkGfmHtml(markdown) {
  return execFileSync('cmark-gfm', CMARK_GFM_ARGS, { input: markdown, maxBuffer: 1 << 26 }).toString();
}

module.exports = { commonmarkExamples, gfmExamples, normalizeHtml, exampleMisses, corporaDir, GFM_EXAMPLES_PATH, hasCmarkGfm, cmarkGfmHtml };
