// Markdown to HTML for the viewer page: esc(s) and parse(md).
//
// The conversion is a fixed sequence of whole-text rewrites, one construct per
// step, and the order of the steps decides the result at the edges. Code is
// taken out first and stands in the working text as a marker (U+0000, "CB" or
// "IC", its number, U+0000) until the very end, so no other step sees it;
// inline code that no later step could tell from its marker goes in as HTML
// at once. Only code, media titles and attachment names are escaped; HTML
// written in the document passes through and is rendered as HTML.
//
// A few steps are not done by their obvious regular expression, because that
// expression costs time quadratic in the input, fails on huge inputs or is
// slow; each replacement gives exactly the same result (tests compare them):
// - fenced code and inline code are cut out by scanners, several times faster
//   than calling a replacement function for each of thousands of pieces, and
//   their code is escaped by ranges of the text, searched once;
// - bracket constructs (media, attachments, images, links) scan with indexOf
//   and remember the next "]" and ")", where the expression rescans the rest of
//   the text from every unclosed opener;
// - runs of quote, table and list lines are gathered one line match at a time,
//   where a repeated group overflows the expression engine's stack at a few
//   million lines;
// - a step whose mark (such as "#" at a line start, or "*") is nowhere in the
//   text is skipped;
// - markers are put back in one left-to-right pass, not one pass per marker.
//
// Fenced code is taken out of the whole text; the rest is converted in pieces
// of about MD_CHUNK_SIZE characters, cut at blank lines: every later step
// reports when the end of a piece could still interact with the text after it
// (an unclosed bracket, a heading mark whose text would come from the next
// lines, a quote, table or list run that would take the blank line's first
// line end), and such a piece is converted again together with the text that
// follows. Pieces that end cleanly convert exactly as they would inside the
// whole text, and small strings are much cheaper for the script engine than
// many whole-text copies.
//
// This file is inlined verbatim into the page's main script: it defines the
// globals esc and parse and md-prefixed helpers only, writes non-ASCII text as
// \u escapes and closing tags in strings as "<\/".

// Starts and ends every placeholder marker; the input cannot contain it.
const MD_MARK = '\u0000';
// The beginnings of a code-block marker and of an inline-code marker.
const MD_CODE_BLOCK_MARK = MD_MARK + 'CB';
const MD_INLINE_CODE_MARK = MD_MARK + 'IC';

// Any character that esc replaces.
const MD_HTML_SPECIAL_RE = /[&<>]/;
// Characters that keep inline code behind a marker: ones that emphasis,
// table rows and links react to wherever they stand, and the line ends that
// would give the later steps new line starts (searched from lastIndex).
const MD_MARKED_CODE_CHAR_RE = /[*~|[\u0000\r\u2028\u2029]/g;
// The same, plus the brackets and parentheses that end link and image parts.
const MD_MARKED_CODE_CHAR_IN_LINKS_RE = /[*~|[\]()\u0000\r\u2028\u2029]/g;
// Characters that HTML would read as markup, each replaced by its entity.
const MD_AMP_RE = /&/g;
const MD_LT_RE = /[<]/g;
const MD_GT_RE = />/g;

// U+0000 in the input; replaced so that it can never forge a marker.
const MD_NUL_RE = /\u0000/g;
// The opener of a fenced code block: three backticks, language, white space other than CR and LF, line end.
const MD_FENCE_OPENER_RE = /```(\w*)[^\S\r\n]*\r?\n/g;
// Headings by level, level 6 first; the white space after the hashes may run over line ends.
const MD_H6_RE = /^######\s+(.+)$/gm;
const MD_H5_RE = /^#####\s+(.+)$/gm;
const MD_H4_RE = /^####\s+(.+)$/gm;
const MD_H3_RE = /^###\s+(.+)$/gm;
const MD_H2_RE = /^##\s+(.+)$/gm;
const MD_H1_RE = /^#\s+(.+)$/gm;
// One quote line; consecutive ones form a quote.
const MD_QUOTE_LINE_RE = /^>\s?.+\r?\n?/gm;
// The quote mark and the one white-space character after it, at every line start of a quote.
const MD_QUOTE_MARK_RE = /^>\s?/gm;
// A horizontal rule: a line of three or more hyphens.
const MD_RULE_RE = /^---+$/gm;
// One table line: "|" at the line start, a later "|", trailing spaces or tabs, the line end.
const MD_TABLE_LINE_RE = /^\|.+\|[ \t]*\r?\n?/gm;
// A table row made only of pipes, colons, hyphens and white space (separator or empty cells).
const MD_TABLE_SEPARATOR_RE = /^\|[\s:|\-]+\|$/;
// One bullet list line: optional spaces or tabs, "- ", text.
const MD_BULLET_LINE_RE = /^[ \t]*- .+\r?\n?/gm;
// The indentation and "- " that open a bullet item.
const MD_BULLET_MARK_RE = /^[ \t]*- /;
// One numbered list line: digits at the line start, ".", one white-space character, text.
const MD_NUMBERED_LINE_RE = /^\d+\.\s.+\r?\n?/gm;
// The number, "." and white-space character that open a numbered item.
const MD_NUMBERED_MARK_RE = /^\d+\.\s/;
// Emphasis, strongest first; each takes the shortest match within one line.
const MD_STRONG_EM_RE = /\*\*\*(.+?)\*\*\*/g;
const MD_STRONG_RE = /\*\*(.+?)\*\*/g;
const MD_EM_RE = /\*(.+?)\*/g;
const MD_DEL_RE = /~~(.+?)~~/g;
// A line end inside a block (splits rows and items).
const MD_LINE_END_RE = /\r?\n/;
// Every line end of a paragraph, each becoming a line break.
const MD_LINE_ENDS_RE = /\r?\n/g;
// Two or more line ends in a row: the boundary between blocks.
const MD_BLANK_LINES_RE = /(?:\r?\n){2,}/;
// A block that already is block markup and gets no paragraph.
const MD_BLOCK_START_RE = /^<(h[1-6]|ul|ol|blockquote|pre|hr|table|div|a class|img)/;

// Characters per piece of a long document; small enough that the working
// strings of one piece stay in the script engine's young generation.
const MD_CHUNK_SIZE = 16384;
// A last line that a heading mark could take the following lines' text into.
const MD_OPEN_HEADING_LINE_RE = /^[#\s]*$/;
// The start of a line that may belong to a quote, table or list run.
const MD_RUN_LINE_START_RE = /^(?:>|\||[ \t]*- |\d+\.)/;

// Attachment icons by lower-cased extension; only own entries count.
const MD_FILE_ICONS = Object.freeze({
  __proto__: null,
  pdf: '\u{1F4C4}',
  zip: '\u{1F5DC}\uFE0F',
  rar: '\u{1F5DC}\uFE0F',
  doc: '\u{1F4DD}',
  docx: '\u{1F4DD}',
  xls: '\u{1F4CA}',
  xlsx: '\u{1F4CA}',
  txt: '\u{1F4C3}',
  json: '\u{1F527}',
  py: '\u{1F40D}',
  js: '\u2699\uFE0F',
});
const MD_DEFAULT_FILE_ICON = '\u{1F4CE}';
const MD_DEFAULT_FILE_NAME = '\u9644\u4ef6';

// Escapes text for HTML: "&", "<" and ">" only, in this order; quotes stay.
function esc(s) {
  s = String(s);
  if (!MD_HTML_SPECIAL_RE.test(s)) return s;
  return s.replace(MD_AMP_RE, '&amp;').replace(MD_LT_RE, '&lt;').replace(MD_GT_RE, '&gt;');
}

// Replaces every match of OPENER + label + "](" + source + ")" (as the
// expression OPENER([^\]]*)\]\(([^)]+)\) with flag "g", label non-empty when
// labelRequired) by render(label, source). The label runs to the first "]"
// after the opener, the source to the first ")" after "](", both across lines.
// The positions of the next "]" and ")" are remembered, so a text full of
// openers that never close is still read once. Sets tail.open when an opener
// is left that text after this one could still close.
function mdReplaceBracketed(text, opener, labelRequired, render, tail) {
  let at = text.indexOf(opener);
  if (at < 0) return text;
  let out = '';
  let copied = 0;
  let bracket = -2; // first "]" at or after the last search start; -1: none
  let paren = -2; // first ")" at or after the last search start; -1: none
  while (at >= 0) {
    const labelStart = at + opener.length;
    if (bracket !== -1 && bracket < labelStart) bracket = text.indexOf(']', labelStart);
    if (bracket === -1) {
      tail.open = true; // nor can any later opener close here
      break;
    }
    let end = -1;
    if ((bracket > labelStart || !labelRequired) && text.charCodeAt(bracket + 1) === 40 /* ( */) {
      const sourceStart = bracket + 2;
      if (paren !== -1 && paren < sourceStart) paren = text.indexOf(')', sourceStart);
      if (paren === -1) {
        tail.open = true;
        break;
      }
      if (paren > sourceStart) end = paren + 1;
    }
    if (end < 0) {
      at = text.indexOf(opener, at + 1);
      continue;
    }
    out += text.slice(copied, at) + render(text.slice(labelStart, bracket), text.slice(bracket + 2, end - 1));
    copied = end;
    at = text.indexOf(opener, end);
  }
  return copied === 0 ? text : out + text.slice(copied);
}

// Returns escapeRange(start, end), which gives esc(text.slice(start, end))
// for ranges taken in increasing order. It remembers the next "&", "<" and
// ">" of text, so the text is searched once and code without them is only
// sliced; one call of esc per piece of code costs much more on many pieces.
function mdRangeEscaper(text) {
  let amp = -2; // first "&" at or after the last range start; -1: none
  let lt = -2; // the same for "<"
  let gt = -2; // the same for ">"
  return function escapeRange(start, end) {
    if (amp !== -1 && amp < start) amp = text.indexOf('&', start);
    if (lt !== -1 && lt < start) lt = text.indexOf('<', start);
    if (gt !== -1 && gt < start) gt = text.indexOf('>', start);
    let out = '';
    let copied = start;
    for (;;) {
      let at = end;
      if (amp !== -1 && amp < at) at = amp;
      if (lt !== -1 && lt < at) at = lt;
      if (gt !== -1 && gt < at) at = gt;
      if (at === end) break;
      if (at === amp) {
        out += text.slice(copied, at) + '&amp;';
        amp = text.indexOf('&', at + 1);
      } else if (at === lt) {
        out += text.slice(copied, at) + '&lt;';
        lt = text.indexOf('<', at + 1);
      } else {
        out += text.slice(copied, at) + '&gt;';
        gt = text.indexOf('>', at + 1);
      }
      copied = at + 1;
    }
    return out + text.slice(copied, end);
  };
}

// Takes out fenced code blocks: every match of the expression
// ```(\w*)[^\S\r\n]*\r?\n([\s\S]*?)``` with flag "g" (three backticks
// anywhere, a language, white space other than CR and LF, a line end, and the
// code up to the next three backticks) is appended to codeBlocks as a
// finished pre element and replaced by its marker. The expression finds the
// openers; an opener that finds no three backticks after it ends the scan, as
// no later opener could find any.
function mdTakeFences(text, codeBlocks) {
  if (text.indexOf('```') < 0) return text;
  let out = '';
  let copied = 0;
  const escapeRange = mdRangeEscaper(text);
  MD_FENCE_OPENER_RE.lastIndex = 0;
  for (let opener = MD_FENCE_OPENER_RE.exec(text); opener !== null; opener = MD_FENCE_OPENER_RE.exec(text)) {
    const at = opener.index;
    const codeStart = MD_FENCE_OPENER_RE.lastIndex;
    const close = text.indexOf('```', codeStart);
    if (close < 0) break;
    // One line end, LF or CR LF, at the very end of the code is dropped.
    let codeEnd = close;
    if (codeEnd > codeStart && text.charCodeAt(codeEnd - 1) === 10) {
      codeEnd--;
      if (codeEnd > codeStart && text.charCodeAt(codeEnd - 1) === 13) codeEnd--;
    }
    // The language is made of word characters only, which esc leaves alone.
    const attribute = opener[1] === '' ? '' : ' class="language-' + opener[1] + '"';
    codeBlocks.push('<pre><code' + attribute + '>' + escapeRange(codeStart, codeEnd) + '<\/code><\/pre>');
    out += text.slice(copied, at) + MD_CODE_BLOCK_MARK + (codeBlocks.length - 1) + MD_MARK;
    copied = close + 3;
    MD_FENCE_OPENER_RE.lastIndex = copied;
  }
  return copied === 0 ? text : out + text.slice(copied);
}

// Takes out inline code: every match of the expression `([^`\n]+)` with flag
// "g" (a backtick, one or more characters other than backtick and LF, a
// backtick) becomes a code element holding the escaped code. The next LF is
// remembered, so unclosed spans do not rescan lines.
//
// The element goes straight into the text when markedCharRe is given, the
// code holds none of its characters and "CB" does not follow the span.
// No later step can then tell the element from a marker: neither holds a line
// end, so lines stay as they were; neither begins with "#", ">", "-", "|", a
// digit or white space, or with a tag that makes a block; neither holds what
// emphasis, table cells or (with the brackets in markedCharRe) link and image
// parts end at. Only attachment and media captions, which escape and split
// their text, would differ, so the caller passes no markedCharRe where they
// may occur. "CB" after a marker's closing U+0000 would read as the start of
// a code-block marker when blocks are made, so such a span keeps its marker.
// Every other element is appended to inlineCode and replaced by its marker.
function mdTakeInlineCode(text, inlineCode, markedCharRe) {
  let at = text.indexOf('`');
  let out = '';
  let copied = 0;
  let lineEnd = -2; // first LF at or after the last search start; -1: none
  const escapeRange = mdRangeEscaper(text);
  let marked = -2; // first character of markedCharRe at or after the last span start; -1: none
  while (at >= 0) {
    const close = text.indexOf('`', at + 1);
    if (close < 0) break;
    if (lineEnd !== -1 && lineEnd < at) lineEnd = text.indexOf('\n', at);
    if (close === at + 1 || (lineEnd !== -1 && lineEnd < close)) {
      at = close; // the closing candidate is the next place a span can start
      continue;
    }
    const code = escapeRange(at + 1, close);
    let plain = false;
    if (markedCharRe !== null && !text.startsWith('CB', close + 1)) {
      if (marked !== -1 && marked < at) {
        markedCharRe.lastIndex = at;
        marked = markedCharRe.test(text) ? markedCharRe.lastIndex - 1 : -1;
      }
      plain = marked === -1 || marked > close;
    }
    if (plain) {
      out += text.slice(copied, at) + '<code>' + code + '<\/code>';
    } else {
      inlineCode.push('<code>' + code + '<\/code>');
      out += text.slice(copied, at) + MD_INLINE_CODE_MARK + (inlineCode.length - 1) + MD_MARK;
    }
    copied = close + 1;
    at = text.indexOf('`', copied);
  }
  return copied === 0 ? text : out + text.slice(copied);
}

// Replaces every run of consecutive lines matched by lineRe (a "gm"
// expression for one line that starts with "^" and takes its line end) by
// render(run). The same runs as the expression (lineRe)+ with flags "gm":
// a run continues while the next line match starts where the last one ended.
// Sets tail.open when a run reaches the end of the text, where it would take
// the line end of the text that follows.
function mdReplaceRuns(text, lineRe, render, tail) {
  let out = '';
  let copied = 0;
  let runStart = -1;
  let runEnd = -1;
  lineRe.lastIndex = 0;
  for (let m = lineRe.exec(text); m !== null; m = lineRe.exec(text)) {
    if (m.index !== runEnd) {
      if (runStart >= 0) {
        out += text.slice(copied, runStart) + render(text.slice(runStart, runEnd));
        copied = runEnd;
      }
      runStart = m.index;
    }
    runEnd = lineRe.lastIndex;
  }
  if (runStart < 0) return text;
  if (runEnd === text.length) tail.open = true;
  return out + text.slice(copied, runStart) + render(text.slice(runStart, runEnd)) + text.slice(runEnd);
}

// Puts back every marker in text: code-block markers from codeBlocks and,
// when inlineCode is given, inline-code markers from inlineCode. One pass from
// left to right, so the cost does not grow with the number of markers, and
// the markers are read whole, so text that follows one marker can never be
// taken for the start of another. Inline code can hold a code-block marker
// (a fence inside an inline code span, or written with four backticks); the
// code block then goes where its marker stands, so no marker is ever left.
function mdPutBack(text, codeBlocks, inlineCode) {
  let start = text.indexOf(MD_MARK);
  if (start < 0) return text;
  let out = '';
  let copied = 0;
  while (start >= 0) {
    const end = text.indexOf(MD_MARK, start + 1);
    if (end < 0) break;
    let index = 0;
    for (let i = start + 3; i < end; i++) index = index * 10 + text.charCodeAt(i) - 48;
    if (text.charCodeAt(start + 1) === 67 /* C */) {
      out += text.slice(copied, start) + (codeBlocks[index] || '');
      copied = end + 1;
    } else if (inlineCode) {
      const code = inlineCode[index] || '';
      out += text.slice(copied, start) + (code.indexOf(MD_MARK) < 0 ? code : mdPutBack(code, codeBlocks, null));
      copied = end + 1;
    }
    start = text.indexOf(MD_MARK, end + 1);
  }
  return out + text.slice(copied);
}

function mdMediaRenderer(tag, style, icon) {
  return function (title, source) {
    let html = '<div style="margin:8px 0"><' + tag + ' controls style="' + style + '"><source src="' + source +
      '"><\/' + tag + '>';
    if (title !== '') {
      html += '<div style="font-size:12px;color:#64748b;margin:2px 0">' + icon + ' ' + esc(title) + '<\/div>';
    }
    return html + '<\/div>';
  };
}

const mdRenderVideo = mdMediaRenderer('video', 'max-width:100%;border-radius:7px', '\u{1F3AC}');
const mdRenderAudio = mdMediaRenderer('audio', 'width:100%', '\u{1F3B5}');

function mdRenderAttachment(label, source) {
  const pieces = label.split('|');
  const name = pieces[0] === '' ? MD_DEFAULT_FILE_NAME : pieces[0];
  const size = pieces.length > 1 ? pieces[1] : '';
  const dot = name.lastIndexOf('.');
  const extension = (dot < 0 ? name : name.slice(dot + 1)).toUpperCase();
  const key = extension.toLowerCase();
  const icon = Object.prototype.hasOwnProperty.call(MD_FILE_ICONS, key) ? MD_FILE_ICONS[key] : MD_DEFAULT_FILE_ICON;
  const escapedName = esc(name);
  return '<a class="ac" href="' + source + '" download="' + escapedName + '"><span style="font-size:20px">' + icon +
    '<\/span><span><span style="font-size:13px;font-weight:500">' + escapedName +
    '<\/span><br><span style="font-size:10px;color:#64748b">' + (size === '' ? '' : size + ' \u00b7 ') + extension +
    ' \u6587\u4ef6 \u00b7 \u70b9\u51fb\u4e0b\u8f7d<\/span><\/span><\/a>';
}

function mdRenderImage(alt, source) {
  return '<img src="' + source + '" alt="' + alt + '" title="' + alt + '">';
}

function mdRenderLink(label, href) {
  return '<a href="' + href + '" target="_blank">' + label + '<\/a>';
}

function mdRenderQuote(run) {
  return '<blockquote>' + run.replace(MD_QUOTE_MARK_RE, '').trim() + '<\/blockquote>';
}

// A run of table lines; fewer than two rows stay ordinary text.
function mdRenderTable(run) {
  const rows = run.trim().split(MD_LINE_END_RE);
  if (rows.length < 2) return run;
  let html = '';
  let cellTag = 'th';
  for (let i = 0; i < rows.length; i++) {
    const row = rows[i].trim();
    if (row === '' || MD_TABLE_SEPARATOR_RE.test(row)) continue;
    const cells = row.slice(1, -1).split('|');
    html += '<tr>';
    for (let c = 0; c < cells.length; c++) {
      html += '<' + cellTag + '>' + cells[c].trim() + '<\/' + cellTag + '>';
    }
    html += '<\/tr>';
    cellTag = 'td';
  }
  return '<table>' + html + '<\/table>';
}

// A run of bullet lines; every two spaces or tabs of indentation go one level
// deeper, and a nested list stands directly inside its parent list.
function mdRenderBulletList(run) {
  const lines = run.trim().split(MD_LINE_END_RE);
  let previous = 1;
  let html = '';
  for (let i = 0; i < lines.length; i++) {
    const line = lines[i];
    let indent = 0;
    while (indent < line.length && (line.charCodeAt(indent) === 32 || line.charCodeAt(indent) === 9)) indent++;
    const level = Math.floor(indent / 2) + 1;
    if (level > previous) html += '<ul>'.repeat(level - previous);
    else if (level < previous) html += '<\/ul>'.repeat(previous - level);
    html += '<li>' + line.replace(MD_BULLET_MARK_RE, '') + '<\/li>';
    previous = level;
  }
  return '<ul>' + html + '<\/ul>'.repeat(previous - 1) + '<\/ul>';
}

// A run of numbered lines; the numbers written are dropped.
function mdRenderNumberedList(run) {
  const lines = run.trim().split(MD_LINE_END_RE);
  let html = '<ol>';
  for (let i = 0; i < lines.length; i++) html += '<li>' + lines[i].replace(MD_NUMBERED_MARK_RE, '') + '<\/li>';
  return html + '<\/ol>';
}

// Whether a line of text starts with mark; lines end at LF, CR, U+2028 and
// U+2029, as for "^" in a "m" expression.
function mdSomeLineStartsWith(text, mark) {
  return text.startsWith(mark) || text.indexOf('\n' + mark) >= 0 || text.indexOf('\r' + mark) >= 0 ||
    text.indexOf('\u2028' + mark) >= 0 || text.indexOf('\u2029' + mark) >= 0;
}

// The line that ends at end in text: from the last line end before end.
function mdLastLine(text, end) {
  let start = end;
  for (; start > 0; start--) {
    const c = text.charCodeAt(start - 1);
    if (c === 10 || c === 13 || c === 0x2028 || c === 0x2029) break;
  }
  return text.slice(start, end);
}

// Converts text, whose fenced code blocks are already taken out into
// codeBlocks, with every later step in order. Sets tail.open when the end of
// text could interact with text following it after a blank line, so that
// converting the two apart would differ from converting them together.
function mdConvert(text, codeBlocks, tail) {
  const inlineCode = [];

  let markedCharRe = null;
  if (text.indexOf('[') < 0) markedCharRe = MD_MARKED_CODE_CHAR_RE;
  else if (text.indexOf('!video[') < 0 && text.indexOf('!audio[') < 0 && text.indexOf('!file[') < 0) {
    markedCharRe = MD_MARKED_CODE_CHAR_IN_LINKS_RE;
  }
  text = mdTakeInlineCode(text, inlineCode, markedCharRe);

  text = mdReplaceBracketed(text, '!video[', false, mdRenderVideo, tail);
  text = mdReplaceBracketed(text, '!audio[', false, mdRenderAudio, tail);
  text = mdReplaceBracketed(text, '!file[', false, mdRenderAttachment, tail);
  text = mdReplaceBracketed(text, '![', false, mdRenderImage, tail);
  text = mdReplaceBracketed(text, '[', true, mdRenderLink, tail);

  // Most of the later steps need a mark that plain prose seldom holds, most
  // of them at a line start; looking for it costs far less than the step.
  if (MD_OPEN_HEADING_LINE_RE.test(mdLastLine(text, text.length))) tail.open = true;
  if (mdSomeLineStartsWith(text, '#')) {
    text = text.replace(MD_H6_RE, '<h6>$1<\/h6>');
    text = text.replace(MD_H5_RE, '<h5>$1<\/h5>');
    text = text.replace(MD_H4_RE, '<h4>$1<\/h4>');
    text = text.replace(MD_H3_RE, '<h3>$1<\/h3>');
    text = text.replace(MD_H2_RE, '<h2>$1<\/h2>');
    text = text.replace(MD_H1_RE, '<h1>$1<\/h1>');
  }

  if (mdSomeLineStartsWith(text, '>')) text = mdReplaceRuns(text, MD_QUOTE_LINE_RE, mdRenderQuote, tail);
  if (mdSomeLineStartsWith(text, '---')) text = text.replace(MD_RULE_RE, '<hr>');
  if (mdSomeLineStartsWith(text, '|')) text = mdReplaceRuns(text, MD_TABLE_LINE_RE, mdRenderTable, tail);
  if (text.indexOf('- ') >= 0) text = mdReplaceRuns(text, MD_BULLET_LINE_RE, mdRenderBulletList, tail);
  text = mdReplaceRuns(text, MD_NUMBERED_LINE_RE, mdRenderNumberedList, tail);

  if (text.indexOf('*') >= 0) {
    text = text.replace(MD_STRONG_EM_RE, '<strong><em>$1<\/em><\/strong>');
    text = text.replace(MD_STRONG_RE, '<strong>$1<\/strong>');
    text = text.replace(MD_EM_RE, '<em>$1<\/em>');
  }
  if (text.indexOf('~~') >= 0) text = text.replace(MD_DEL_RE, '<del>$1<\/del>');

  const pieces = text.split(MD_BLANK_LINES_RE);
  const hasCodeBlocks = text.indexOf(MD_CODE_BLOCK_MARK) >= 0;
  const blocks = [];
  for (let i = 0; i < pieces.length; i++) {
    const piece = pieces[i].trim();
    if (piece === '') continue;
    if ((piece.charCodeAt(0) === 60 /* < */ && MD_BLOCK_START_RE.test(piece)) ||
      (hasCodeBlocks && piece.startsWith(MD_CODE_BLOCK_MARK))) {
      blocks.push(piece);
    } else if (hasCodeBlocks && piece.indexOf(MD_CODE_BLOCK_MARK) >= 0) {
      blocks.push(mdPutBack(piece, codeBlocks, null));
    } else {
      blocks.push('<p>' + (piece.indexOf('\n') < 0 ? piece : piece.replace(MD_LINE_ENDS_RE, '<br>')) + '<\/p>');
    }
  }
  return mdPutBack(blocks.join('\n'), codeBlocks, inlineCode);
}

// Finds the first place at or after from where text may be cut: a run of two
// or more LF (nothing else) with text on both sides that is not a line end,
// after a line that does not obviously continue past it (a quote, table or
// list line, or a bare heading mark). Returns [start, end] of the run, or null.
function mdFindCut(text, from) {
  for (let at = text.indexOf('\n\n', from); at >= 0; at = text.indexOf('\n\n', at + 1)) {
    let start = at;
    while (start > 0 && text.charCodeAt(start - 1) === 10) start--;
    let end = at + 2;
    while (end < text.length && text.charCodeAt(end) === 10) end++;
    if (start >= from && end < text.length && text.charCodeAt(start - 1) !== 13 && text.charCodeAt(end) !== 13) {
      const lastLine = mdLastLine(text, start);
      if (!MD_RUN_LINE_START_RE.test(lastLine) && !MD_OPEN_HEADING_LINE_RE.test(lastLine)) return [start, end];
    }
    at = end - 1;
  }
  return null;
}

// Converts text (free of U+0000) in pieces of about chunkSize characters cut
// at blank lines. Fenced code blocks are taken out of the whole text first:
// they may hold blank lines, and pieces cut inside them would all be open.
// A piece whose end is open is converted again with twice the text, so the
// total work stays linear and the result is that of converting text whole.
function mdConvertInChunks(text, chunkSize) {
  const codeBlocks = [];
  text = mdTakeFences(text, codeBlocks);
  const html = [];
  let start = 0;
  let size = chunkSize;
  while (start < text.length) {
    const cut = mdFindCut(text, start + size);
    const tail = { open: false };
    const part = mdConvert(cut === null ? text.slice(start) : text.slice(start, cut[0]), codeBlocks, tail);
    if (cut !== null && tail.open) {
      size = (cut[0] - start) * 2;
      continue;
    }
    if (part !== '') html.push(part);
    if (cut === null) break;
    start = cut[1];
    size = chunkSize;
  }
  return html.join('\n');
}

// Converts a whole document to one HTML fragment; never fails.
function parse(md) {
  let text = String(md);
  // U+0000 would let the document forge a code marker.
  if (text.indexOf(MD_MARK) >= 0) text = text.replace(MD_NUL_RE, '\uFFFD');
  return mdConvertInChunks(text, MD_CHUNK_SIZE);
}
