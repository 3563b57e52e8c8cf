// The classic converter as the conversion worker needs it: an opening part and the whole in pieces
// (see page/convert/conversion-worker.js). The worker is made from the page's own text of page/markdown.js
// followed by this function's text, so it uses markdown.js's helpers as they are: the pieces are the
// HTML that parse gives, cut where its own conversion cuts the text into clean pieces (blank lines
// after which nothing reaches back), and joined they are exactly parse(text).
//
// In the page's main script this function is only text, which the worker runs.
//
// Uses: MD_CHUNK_SIZE, MD_FENCE_OPENER_RE, MD_MARK, MD_NUL_RE, mdConvert, mdFindCut, mdTakeFences,
//   parse

function classicPieceConverter() {
  // Source characters converted first, to show the first screen before the whole document is done,
  // and how far past them a place to cut is looked for.
  const FIRST_PART_UNITS = 8 * 1024;
  const FIRST_PART_SEARCH_UNITS = 256 * 1024;
  // The classic converter's fence: three backticks anywhere, a language, a line end (as
  // MD_FENCE_OPENER_RE; a copy of its own keeps that expression's search position untouched).
  const fenceOpenerRe = new RegExp(MD_FENCE_OPENER_RE.source, 'g');

  // The fenced code block at or after from, as parse takes it: { start, end } up to the next three
  // backticks; null when there is none, or its opener finds no end (then none follows either).
  const fenceAfter = (text, from) => {
    fenceOpenerRe.lastIndex = from;
    const opener = fenceOpenerRe.exec(text);
    if (opener === null) return null;
    const close = text.indexOf('```', fenceOpenerRe.lastIndex);
    return close < 0 ? null : { start: opener.index, end: close + 3 };
  };

  // Where the opening part may end: the start of a line at least FIRST_PART_UNITS in, after blank
  // lines that end a block (see mdFindCut), outside fenced code; -1 when there is none near or the
  // document is small enough to convert whole at once.
  const openingCut = (text) => {
    if (text.length < FIRST_PART_UNITS * 2) return -1;
    const limit = Math.min(text.length - FIRST_PART_UNITS, FIRST_PART_UNITS + FIRST_PART_SEARCH_UNITS);
    let fence = fenceAfter(text, 0);
    let from = FIRST_PART_UNITS;
    for (;;) {
      const cut = mdFindCut(text, from);
      if (cut === null || cut[1] >= limit) return -1;
      while (fence !== null && fence.end <= cut[0]) fence = fenceAfter(text, fence.end);
      if (fence === null || fence.start >= cut[1]) return cut[1];
      from = fence.end;
    }
  };

  return {
    renderOpening(text) {
      const cut = openingCut(String(text));
      return cut < 0 ? null : parse(String(text).slice(0, cut));
    },
    // As parse's own conversion in chunks (mdConvertInChunks), handing on its HTML in pieces of
    // pieceUnits or more; chunkUnits is the size of its chunks (the tests make them small).
    renderPieces(md, pieceUnits, onPiece, chunkUnits = MD_CHUNK_SIZE) {
      let text = String(md);
      if (text.indexOf(MD_MARK) >= 0) text = text.replace(MD_NUL_RE, '\uFFFD');
      const codeBlocks = [];
      text = mdTakeFences(text, codeBlocks);
      let piece = '';
      let any = false;
      let start = 0;
      let size = chunkUnits;
      while (start < text.length) {
        const cut = mdFindCut(text, start + size);
        const tail = { open: false };
        const html = mdConvert(cut === null ? text.slice(start) : text.slice(start, cut[0]), codeBlocks, tail);
        if (cut !== null && tail.open) {
          size = (cut[0] - start) * 2;
          continue;
        }
        if (html !== '') {
          piece += (any ? '\n' : '') + html;
          any = true;
        }
        if (cut === null) break;
        if (piece.length >= pieceUnits) {
          onPiece(piece, false);
          piece = '';
        }
        start = cut[1];
        size = chunkUnits;
      }
      onPiece(piece, true);
    },
  };
}
