// The worker's side of converting a document off the page's thread, the same for both dialects.
// The page starts a worker from the dialect's converter text followed by the text of
// conversionWorkerMain, called with the dialect's converter (see page/convert/conversion.js); it is never
// called in the page itself. A converter has:
// - renderOpening(text): the HTML of a large document's opening part, cut where a fresh top-level
//   block starts and never inside fenced code, as it shows in the whole document where nothing later
//   changes it; null for a document small enough to convert whole at once;
// - renderPieces(text, pieceUnits, onPiece): the whole document's HTML in pieces, onPiece(html, last)
//   for each run of top-level blocks of pieceUnits characters or more, in order, cut where blocks
//   end; joined, the pieces are the whole's HTML.
//
// Each request { id, text, opening } (its text in one message or more, each but the last with more
// true) is answered with the whole document's HTML in pieces,
// { id, piece, start, last }, and a large document, when the page asks for its opening (opening
// true), first with { id, part }; then the whole waits for { id, resume: true }, which the page sends
// once it has shown the part, so that on a machine with few processors the whole's conversion does
// not slow the first screen down. After a part, the pieces continue it (start false) when the whole's
// HTML begins with exactly the part's; otherwise, and when there was no part, the first piece starts
// the document (start true).
//
// In the page's main script it is only text: everything it needs is inside the function, since only
// the function's text reaches the worker.
//
// Uses: nothing

function conversionWorkerMain(converter) {
  // HTML characters (at least) per message of the whole document: the page takes in each piece in a
  // moment, where the whole of a large document in one message, and the work over it, held the page
  // up for longer than a frame may take.
  const PIECE_UNITS = 64 * 1024;
  let waiting = null;
  // The messages of the text of the request arriving: { id, texts }.
  let arriving = null;

  const postWhole = (id, text, part) => {
    // The whole's first pieces, gathered until they are as long as the part, to compare with it.
    let head = part === null ? null : '';
    let start = part === null;
    converter.renderPieces(text, PIECE_UNITS, (html, last) => {
      let piece = html;
      if (head !== null) {
        head += html;
        if (head.length < part.length && !last) return;
        start = !head.startsWith(part);
        piece = start ? head : head.slice(part.length);
        head = null;
      }
      self.postMessage({ id, piece, start, last });
      start = false;
    });
  };

  self.onmessage = (event) => {
    const { id, opening, resume, more } = event.data;
    if (resume) {
      if (waiting && waiting.id === id) postWhole(id, waiting.text, waiting.part);
      waiting = null;
      return;
    }
    waiting = null;
    if (arriving === null || arriving.id !== id) arriving = { id, texts: [] };
    arriving.texts.push(event.data.text);
    if (more) return;
    const text = arriving.texts.join('');
    arriving = null;
    const part = opening ? converter.renderOpening(text) : null;
    if (part === null) {
      postWhole(id, text, null);
      return;
    }
    waiting = { id, text, part };
    self.postMessage({ id, part });
  };
}
