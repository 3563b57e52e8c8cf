// GitHub's dollar-sign mathematics for the GitHub dialect, as markdown-it rules: "$$" blocks,
// $formula$ and $`formula`$ inline, and "$$formula$$" inside a paragraph. Runs inside the GitHub
// dialect's worker module, before page/convert/github-dialect.js (see page/convert/github-worker.js).
//
// Uses: nothing

// The characters that are not white space, for GitHub's rules on where a dollar sign opens a formula.
const GH_SPACE_RE = /\s/;
// What may not follow a closing dollar sign: a digit ("$5 and $10") or a letter ("[$http](x/$http)").
const GH_AFTER_CLOSING_DOLLAR_RE = /[0-9A-Za-z]/;

// "$$" on a line of its own (or "$$ formula $$" on one line) opens display mathematics, up to a line
// that ends with "$$", where the formula is a paragraph of its own: a text line right after it
// continues a paragraph, as on GitHub, whose formulas stand inside paragraphs (math_display).
function ghMathBlock(state, startLine, endLine, silent) {
  let pos = state.bMarks[startLine] + state.tShift[startLine];
  let max = state.eMarks[startLine];
  if (state.sCount[startLine] - state.blkIndent >= 4) return false;
  if (pos + 2 > max || state.src.charCodeAt(pos) !== 0x24 || state.src.charCodeAt(pos + 1) !== 0x24) return false;
  const first = state.src.slice(pos + 2, max);
  let content;
  let line = startLine;
  if (first.trim().endsWith('$$') && first.trim().length >= 2) {
    content = first.trim().slice(0, -2);
  } else {
    if (first.includes('$')) return false;
    const lines = [first];
    let closed = false;
    while (++line < endLine) {
      pos = state.bMarks[line] + state.tShift[line];
      max = state.eMarks[line];
      if (pos < max && state.sCount[line] < state.blkIndent) break;
      const text = state.src.slice(pos, max).trimEnd();
      if (text.endsWith('$$')) {
        lines.push(text.slice(0, -2));
        closed = true;
        break;
      }
      lines.push(state.src.slice(state.bMarks[line] + Math.min(state.tShift[line], state.blkIndent), max));
    }
    if (!closed) return false;
    content = lines.join('\n');
  }
  if (ghContinuesParagraph(state, line + 1, endLine)) return false;
  if (silent) return true;
  const token = state.push('math_block', 'math', 0);
  token.block = true;
  token.content = content.trim() + '\n';
  token.map = [startLine, line + 1];
  token.markup = '$$';
  state.line = line + 1;
  return true;
}

// Whether the line would continue a paragraph that stands before it (as markdown-it's paragraph
// reads its lines): a line that is neither blank nor starts a block that ends a paragraph.
function ghContinuesParagraph(state, line, endLine) {
  if (line >= endLine || state.isEmpty(line)) return false;
  if (state.sCount[line] - state.blkIndent > 3 || state.sCount[line] < 0) return true;
  const terminators = state.md.block.ruler.getRules('paragraph');
  const oldParent = state.parentType;
  state.parentType = 'paragraph';
  try {
    return !terminators.some((rule) => rule(state, line, endLine, true));
  } finally {
    state.parentType = oldParent;
  }
}

// Inline mathematics by GitHub's rules: $`formula`$ always; $formula$ when the opening dollar is not
// followed by white space and the closing one is neither preceded by white space nor followed by a
// digit or a letter, so that prices ("$5 and $10") and names ("$http") stay text.
function ghMathInline(state, silent) {
  const src = state.src;
  const start = state.pos;
  if (src.charCodeAt(start) !== 0x24) return false;
  const next = src.charAt(start + 1);
  let content;
  let end;
  if (next === '$') return ghDisplayMath(state, silent);
  if (next === '`') {
    let ticks = start + 1;
    while (src.charCodeAt(ticks) === 0x60) ticks++;
    const fence = src.slice(start + 1, ticks);
    const close = src.indexOf(fence + '$', ticks);
    if (close < 0) return false;
    content = src.slice(ticks, close).trim();
    end = close + fence.length + 1;
  } else {
    if (next === '' || next === '$' || GH_SPACE_RE.test(next)) return false;
    const close = ghClosingDollar(state, start + 1);
    if (close < 0) return false;
    content = src.slice(start + 1, close);
    // A formula never reaches across a link's text into its address.
    if (content.includes('](')) return false;
    end = close + 1;
  }
  if (content === '') return false;
  if (!silent) {
    const token = state.push('math_inline', 'math', 0);
    token.content = content;
    token.markup = '$';
  }
  state.pos = end;
  return true;
}

// "$$formula$$" inside a paragraph: display mathematics where it stands.
function ghDisplayMath(state, silent) {
  const start = state.pos;
  const close = state.src.indexOf('$$', start + 2);
  if (close < 0 || close + 2 > state.posMax) return false;
  const formula = state.src.slice(start + 2, close).trim();
  if (formula === '') return false;
  if (!silent) {
    const token = state.push('math_display', 'math', 0);
    token.content = formula;
    token.markup = '$$';
  }
  state.pos = close + 2;
  return true;
}

// The first dollar sign from `from` on that can close inline mathematics, or -1. The answer for the
// last search is kept, so a paragraph full of prices is searched once, not once per dollar sign.
function ghClosingDollar(state, from) {
  const cache = state.env.ghDollar;
  if (cache && cache.src === state.src && cache.posMax === state.posMax && cache.from <= from &&
      (cache.close < 0 || cache.close >= from)) {
    return cache.close;
  }
  const src = state.src;
  let close = -1;
  for (let at = src.indexOf('$', from); at >= 0 && at < state.posMax; at = src.indexOf('$', at + 1)) {
    if (src.charCodeAt(at - 1) === 0x5c) continue;
    if (GH_SPACE_RE.test(src.charAt(at - 1)) || GH_AFTER_CLOSING_DOLLAR_RE.test(src.charAt(at + 1))) continue;
    close = at;
    break;
  }
  state.env.ghDollar = { src, posMax: state.posMax, from, close };
  return close;
}
