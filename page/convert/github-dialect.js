// The GitHub-flavoured dialect: CommonMark with GitHub's extensions, converted by markdown-it and its
// maintained plugins, plus what no library knows: the system's own video, audio and attachment
// lines (with exactly the markup of the classic converter, which makes them), GitHub's heading ids,
// its dollar-sign mathematics and its way of reading a fence's language.
//
// This file runs inside the conversion worker (see page/convert/conversion.js), after the vendored
// libraries and page/markdown.js, which the page assembly puts before it in the worker's module;
// the tests and benchmarks load it the same way in Node. It defines githubConverter, which the
// worker's side of the conversion (page/convert/conversion-worker.js) is given, and touches no page.
// Its string literals write non-ASCII text as \u escapes and closing tags as "<\/".
//
// Uses: ghMathBlock, ghMathInline (page/convert/github-maths.js)

// The system's own media lines, read as the classic converter reads them: "!video[", a title without
// "]", "](", a source without ")" and ")".
const GH_MEDIA_OPENERS = ['!video[', '!audio[', '!file['];
// A fence's language as GitHub reads it: the info string up to white space or a comma.
const GH_FENCE_LANGUAGE_RE = /^[^\s,]*/;
// An address that names its scheme, or the "www." that GitHub's extended autolinks start with.
const GH_AUTOLINK_START_RE = /^(?:[a-z][a-z0-9+.\-]*:|www\.)/i;
// Addresses of local files, which markdown-it refuses but the page shows as the classic dialect does.
const GH_FILE_URL_RE = /^\s*file:/i;
// A line that opens or closes a fenced code block (marker and length are checked apart).
const GH_FENCE_LINE_RE = /^ {0,3}(`{3,}|~{3,})/;
// A line that may start a block after a blank line without belonging to the block before it: at
// the margin, and neither a list item, a quote, a table row nor indented continuation.
const GH_FRESH_BLOCK_LINE_RE = /^(?![-*+>| \t]|\d{1,9}[.)])\S/;
// Single-line link reference and footnote definitions, which the opening part borrows from the rest.
const GH_REFERENCE_LINE_RE = /^ {0,3}\[[^\]\n]+\]:[ \t]*\S.*$/gm;
// One "key: value" line of front matter, at the margin.
const GH_FRONT_MATTER_ENTRY_RE = /^([^\s:#][^:]*):(?:[ \t]+(.*))?$/;
// Front matter: "---" on the first line, entries, and "---" or "..." on a line of its own.
const GH_FRONT_MATTER_RE = /^---[ \t]*\r?\n([\s\S]*?)^(?:---|\.\.\.)[ \t]*$/m;
const GH_FRONT_MATTER_KEY_RE = /^[^\s:#][^:\n]*:(?:[ \t]|$)/m;
const GH_LINE_END_RE = /\r?\n/;
// An alert's first line as GitHub reads it: the marker alone.
const GH_ALERT_LINE_RE = /^\[!(?:note|tip|important|warning|caution)\][ \t]*(?:\n|$)/i;
// What a quote that must not become an alert is called while the alerts plugin runs.
const GH_PLAIN_QUOTE_OPEN = 'plain_blockquote_open';
const GH_PLAIN_QUOTE_CLOSE = 'plain_blockquote_close';
// A byte-order mark at the start of a document, which GitHub ignores.
const GH_BYTE_ORDER_MARK_RE = /^\uFEFF/;

// Source characters converted first, to show the first screen before the whole document is done,
// and how far past them a safe cut is looked for.
const GH_FIRST_PART_UNITS = 8 * 1024;
const GH_FIRST_PART_SEARCH_UNITS = 256 * 1024;

function ghEscape(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;').replace(/"/g, '&quot;');
}

// Builds the converter from the libraries: { markdownit, footnote, taskLists, emoji, frontMatter,
// alerts, slugRegex, parse } (parse is the classic converter). Returns { render(text, options) }, the
// same in pieces (renderPieces) and renderOpening(text) for the first screen.
function githubConverter(lib) {
  const md = lib.markdownit({ html: true, linkify: true, langPrefix: 'language-' });
  md.use(lib.footnote).use(lib.taskLists).use(lib.emoji).use(lib.alerts);
  md.core.ruler.before('github-alerts', 'alert_guard', ghGuardQuotes);
  md.core.ruler.after('github-alerts', 'alert_guard_end', ghUnguardQuotes);
  md.use(lib.frontMatter, () => {});
  const validateLink = md.validateLink;
  md.validateLink = (url) => GH_FILE_URL_RE.test(url) || validateLink(url);
  // A formula block never interrupts a paragraph: GitHub reads "$$" inside one as display
  // mathematics in the paragraph (math_display below).
  md.block.ruler.before('fence', 'math_block', ghMathBlock, { alt: ['reference', 'blockquote', 'list'] });
  md.inline.ruler.before('backticks', 'math_inline', ghMathInline);
  md.inline.ruler.before('image', 'media_line', (state, silent) => ghMediaLine(state, silent, lib.parse));
  md.core.ruler.after('block', 'fence_language', ghFenceLanguages);
  md.core.ruler.after('linkify', 'gfm_autolinks', ghKeepGithubAutolinks);
  md.core.ruler.push('media_blocks', ghMediaBlocks);
  md.core.ruler.push('heading_ids', (state) => ghHeadingIds(state, lib.slugRegex));
  md.renderer.rules.math_inline = (tokens, idx) =>
    '<code class="language-math math-inline">' + ghEscape(tokens[idx].content) + '<\/code>';
  md.renderer.rules.math_display = (tokens, idx) =>
    '<code class="language-math math-display">' + ghEscape(tokens[idx].content) + '<\/code>';
  md.renderer.rules.math_block = (tokens, idx) =>
    '<pre><code class="language-math">' + ghEscape(tokens[idx].content) + '<\/code><\/pre>\n';
  md.renderer.rules.media_line = (tokens, idx) => tokens[idx].content;
  md.renderer.rules.front_matter = (tokens, idx) => ghFrontMatterTable(tokens[idx].meta);
  // GitHub writes struck text as del.
  md.renderer.rules.s_open = () => '<del>';
  md.renderer.rules.s_close = () => '<\/del>';

  // Only a block of "key: value" entries is front matter; "---", "Title", "---" at the top of a
  // document is a rule and a heading, as everywhere else.
  const parse = (source, env) => {
    const text = source.replace(GH_BYTE_ORDER_MARK_RE, '');
    if (ghHasFrontMatter(text)) md.block.ruler.enable('front_matter');
    else md.block.ruler.disable('front_matter');
    return md.parse(text, env);
  };
  // { autolinks: false } leaves out GitHub's extended autolinks (bare addresses), as GitHub's own
  // conformance runner does for every example that does not name that extension.
  const render = (text, { autolinks = true } = {}) => {
    const env = {};
    md.set({ linkify: autolinks });
    try {
      return md.renderer.render(parse(text, env), md.options, env);
    } finally {
      md.set({ linkify: true });
    }
  };

  return {
    render,
    // The whole document's HTML in pieces: onPiece(html, last) for each run of top-level blocks of
    // pieceUnits characters or more, in order, the last (last true) possibly shorter or empty.
    // Joined, the pieces are render(text): each token is rendered in the whole list, as the
    // renderer renders it (a rule may look at the tokens beside its own).
    renderPieces(text, pieceUnits, onPiece) {
      const env = {};
      const tokens = parse(text, env);
      const rules = md.renderer.rules;
      let piece = '';
      for (let i = 0; i < tokens.length; i++) {
        const token = tokens[i];
        if (piece.length >= pieceUnits && token.block && token.level === 0 && token.nesting !== -1) {
          onPiece(piece, false);
          piece = '';
        }
        if (token.type === 'inline') piece += md.renderer.renderInline(token.children, md.options, env);
        else if (rules[token.type] !== undefined) piece += rules[token.type](tokens, i, md.options, env, md.renderer);
        else piece += md.renderer.renderToken(tokens, i, md.options, env);
      }
      onPiece(piece, true);
    },
    // The HTML of a large document's opening part (null for a document small enough to convert
    // whole at once), as it shows in the whole document where nothing later changes it: the part
    // ends where a fresh block starts (see ghOpeningCut), the reference definitions of the rest come
    // along (they show nothing), and the footnotes section, which belongs at the very end, is left
    // out.
    renderOpening(text) {
      const cut = ghOpeningCut(text);
      if (cut < 0) return null;
      const opening = text.slice(0, cut);
      const borrowed = text.slice(cut).match(GH_REFERENCE_LINE_RE);
      const env = {};
      const tokens = parse(borrowed ? opening + '\n\n' + borrowed.join('\n') + '\n' : opening, env);
      const tail = tokens.findIndex((token) => token.type === 'footnote_block_open');
      return md.renderer.render(tail < 0 ? tokens : tokens.slice(0, tail), md.options, env);
    },
  };
}

// GitHub makes an alert only of a quote whose first line is the marker alone, and never of a quote
// inside another; the alerts plugin is kinder to the first and reads the second wrongly (it ends the
// alert at the inner quote's end). Such quotes are hidden from it while it runs.
function ghGuardQuotes(state) {
  let depth = 0;
  const tokens = state.tokens;
  for (let i = 0; i < tokens.length; i++) {
    const token = tokens[i];
    if (token.type === 'blockquote_open') {
      const first = tokens.slice(i + 1, i + 4).find((t) => t.type === 'inline');
      if (depth > 0 || !first || !GH_ALERT_LINE_RE.test(first.content)) token.type = GH_PLAIN_QUOTE_OPEN;
      depth++;
    } else if (token.type === 'blockquote_close') {
      depth--;
      if (depth > 0) token.type = GH_PLAIN_QUOTE_CLOSE;
    }
  }
}

function ghUnguardQuotes(state) {
  for (const token of state.tokens) {
    if (token.type === GH_PLAIN_QUOTE_OPEN) token.type = 'blockquote_open';
    else if (token.type === GH_PLAIN_QUOTE_CLOSE) token.type = 'blockquote_close';
  }
}

function ghHasFrontMatter(text) {
  if (!text.startsWith('---')) return false;
  const block = GH_FRONT_MATTER_RE.exec(text);
  return block !== null && block.index === 0 && GH_FRONT_MATTER_KEY_RE.test(block[1]);
}

// Where the opening part of a document may end: before a line at least GH_FIRST_PART_UNITS in that
// follows a blank line, starts a fresh block and stands outside fenced code; -1 when there is none
// near (or the document is small enough to convert whole at once).
function ghOpeningCut(text) {
  if (text.length < GH_FIRST_PART_UNITS * 2) return -1;
  const limit = Math.min(text.length - GH_FIRST_PART_UNITS, GH_FIRST_PART_UNITS + GH_FIRST_PART_SEARCH_UNITS);
  let fence = null;
  let blank = false;
  let at = 0;
  while (at < limit) {
    let end = text.indexOf('\n', at);
    if (end < 0) end = text.length;
    const line = text.slice(at, end);
    const marker = GH_FENCE_LINE_RE.exec(line);
    if (fence) {
      if (marker && marker[1][0] === fence[0] && marker[1].length >= fence.length && line.trim() === marker[1].trim()) {
        fence = null;
      }
    } else if (marker) {
      fence = marker[1];
    } else if (blank && at >= GH_FIRST_PART_UNITS && GH_FRESH_BLOCK_LINE_RE.test(line)) {
      return at;
    }
    blank = line.trim() === '';
    at = end + 1;
  }
  return -1;
}

// The system's own media lines, with the classic converter's markup for them.
function ghMediaLine(state, silent, parse) {
  const src = state.src;
  const start = state.pos;
  if (src.charCodeAt(start) !== 0x21) return false;
  const opener = GH_MEDIA_OPENERS.find((o) => src.startsWith(o, start));
  if (!opener) return false;
  const bracket = src.indexOf(']', start + opener.length);
  if (bracket < 0 || bracket >= state.posMax || src.charCodeAt(bracket + 1) !== 0x28) return false;
  const paren = src.indexOf(')', bracket + 2);
  if (paren < 0 || paren > state.posMax || paren === bracket + 2) return false;
  if (!silent) {
    const token = state.push('media_line', '', 0);
    token.content = parse(src.slice(start, paren + 1));
  }
  state.pos = paren + 1;
  return true;
}

// A paragraph that holds nothing but media lines is no paragraph: the players and cards stand as
// blocks of their own, as in the classic dialect.
function ghMediaBlocks(state) {
  const tokens = state.tokens;
  for (let i = 1; i + 1 < tokens.length; i++) {
    if (tokens[i].type !== 'inline' || tokens[i - 1].type !== 'paragraph_open') continue;
    const children = tokens[i].children;
    const media = children.some((c) => c.type === 'media_line');
    const onlyMedia = children.every((c) => c.type === 'media_line' || c.type === 'softbreak' ||
      (c.type === 'text' && c.content.trim() === ''));
    if (media && onlyMedia) {
      tokens[i - 1].hidden = true;
      tokens[i + 1].hidden = true;
    }
  }
}

function ghFenceLanguages(state) {
  for (const token of state.tokens) {
    if (token.type === 'fence') token.info = GH_FENCE_LANGUAGE_RE.exec(token.info.trim())[0];
  }
}

// GitHub links addresses that name their scheme, "www." addresses and mail addresses; linkify also
// links bare host names ("example.com"), which GitHub leaves as text.
function ghKeepGithubAutolinks(state) {
  for (const block of state.tokens) {
    if (block.type !== 'inline' || !block.children) continue;
    const children = block.children;
    for (let i = children.length - 3; i >= 0; i--) {
      const open = children[i];
      if (open.type !== 'link_open' || open.markup !== 'linkify') continue;
      const text = children[i + 1].content;
      if (GH_AUTOLINK_START_RE.test(text) || text.includes('@')) continue;
      const plain = new state.Token('text', '', 0);
      plain.content = text;
      children.splice(i, 3, plain);
    }
  }
}

// Heading ids as GitHub gives them: the heading's text lower-cased, without the characters the
// slugger's expression removes, spaces as "-"; a repeated id numbered "-1", "-2", ...
function ghHeadingIds(state, slugRegex) {
  const seen = Object.create(null);
  const tokens = state.tokens;
  for (let i = 0; i + 1 < tokens.length; i++) {
    if (tokens[i].type !== 'heading_open') continue;
    const base = ghHeadingText(tokens[i + 1]).toLowerCase().replace(slugRegex, '').replace(/ /g, '-');
    let slug = base;
    while (Object.prototype.hasOwnProperty.call(seen, slug)) {
      seen[base]++;
      slug = base + '-' + seen[base];
    }
    seen[slug] = 0;
    if (slug !== '') tokens[i].attrSet('id', slug);
  }
}

// A heading's text as the page shows it (what its text content is).
function ghHeadingText(inline) {
  let text = '';
  for (const child of inline.children || []) {
    if (child.type === 'text' || child.type === 'code_inline' || child.type === 'emoji' || child.type === 'math_inline' ||
        child.type === 'math_display') {
      text += child.content;
    } else if (child.type === 'softbreak' || child.type === 'hardbreak') {
      text += '\n';
    }
  }
  return text;
}

// Front matter shown as GitHub shows it: a small table, its keys over their values. Lines that are
// no "key: value" at the margin (nested entries, lists) go with the value before them.
function ghFrontMatterTable(yaml) {
  const keys = [];
  const values = [];
  for (const line of yaml.split(GH_LINE_END_RE)) {
    const entry = GH_FRONT_MATTER_ENTRY_RE.exec(line);
    if (entry) {
      keys.push(entry[1].trim());
      values.push(entry[2] || '');
    } else if (line.trim() !== '' && values.length > 0) {
      values[values.length - 1] += (values[values.length - 1] === '' ? '' : '\n') + line.trim();
    }
  }
  if (keys.length === 0) return '';
  const cells = (tag, list) => list.map((v) => '<' + tag + '>' + ghEscape(v) + '<\/' + tag + '>').join('');
  return '<table class="front-matter"><thead><tr>' + cells('th', keys) + '<\/tr><\/thead><tbody><tr>' +
    cells('td', values) + '<\/tr><\/tbody><\/table>';
}
