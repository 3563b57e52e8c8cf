// Converting a document off the page's thread: one mechanism for both dialects, with the dialect's
// converter plugged in (see page/convert/conversion-worker.js for the worker's side).
//
// Each dialect's worker is started from a blob: URL made of its converter's text and the worker's
// side of the mechanism:
// - the classic dialect's from the page's own text of page/markdown.js (the start of this very
//   script, up to the end of parse, its last function) and page/convert/classic-pieces.js;
// - the GitHub dialect's from its converter (markdown-it, its plugins and page/convert/github-dialect.js),
//   kept as text (see page/convert/library-texts.js) and started the first time a document is shown in that
//   dialect, so the classic dialect never compiles any of it. That text is written as a module (two
//   plugins are published as modules only); it is started as a classic worker without its export
//   statements, which nothing in it needs: a page opened from a file may start no module worker.
//
// A large document is answered first with its opening part, converted alone up to a block boundary
// where nothing that follows can change what went before, then with the whole, in pieces of some
// tens of thousands of characters cut where top-level blocks end: a large document's HTML in one
// message, and the work over it in one task, held the page up for longer than a frame may take. The
// page shows the opening part at once; when the whole document's HTML begins with exactly the part's
// HTML, the pieces continue the insertion that is under way, so nothing shown moves. Otherwise (a
// construct reached across the cut, which is rare) the whole replaces the part at the reader's place.
//
// Uses: classicPieceConverter, conversionWorkerMain, embeddedLibraryText, libraryText, nextTask, parse

const GITHUB_CONVERTER_LIBRARY = 'githubConverter';
// How long the whole's conversion waits at most for the frame that shows the opening part.
const RESUME_AT_LATEST_MS = 250;
// UTF-16 units of a document's text per message to its worker, one message per task: copying a
// large document's text into one message held the page up for longer than a task may take.
const TEXT_MESSAGE_UNITS = 2 * 1024 * 1024;
// After a text at least this long the worker is replaced by a fresh one (see retireConversionWorker);
// smaller ones leave it little to hold, and a fresh GitHub worker compiles its converter again.
const RETIRE_WORKER_UNITS = 1024 * 1024;
// The export statements of the converter's module: "export { name };" and the "export" of "export const".
const MODULE_EXPORT_RE = /^export (?:\{[^}\n]*\};?|(?=const ))/gm;

// The page's main script, whose text begins with page/markdown.js (looked up while it runs).
const pageMainScript = document.currentScript;

// The worker's text after each dialect's converter: the mechanism, called with the converter.
const CONVERSION_CALLS = {
  classic: '\n;(' + String(conversionWorkerMain) + ')((' + String(classicPieceConverter) + ')());\n',
  github: '\n;(' + String(conversionWorkerMain) + ')(githubDialect);\n',
};

// Per dialect: the worker's blob: URL once its text is had (null until then, or when it cannot be
// had), the promise of it, the worker, whether it is converting (a request or a resumed whole),
// whether or not anyone still waits, and the length of the text it was given last.
const conversionWorkers = {
  classic: { url: null, loading: null, worker: null, busy: false, units: 0 },
  github: { url: null, loading: null, worker: null, busy: false, units: 0 },
};
// The request the page waits for: { id, dialect, onPart, onPiece }, or null.
let conversionRequest = null;
let conversionRequests = 0;

// The text of page/markdown.js as the page's main script holds it.
function pageMarkdownText() {
  const text = pageMainScript ? pageMainScript.text : '';
  const last = String(parse);
  const at = text.indexOf(last);
  return at < 0 ? null : text.slice(0, at + last.length);
}

function converterUrlOf(dialect, text) {
  const state = conversionWorkers[dialect];
  if (text !== null && !state.url) {
    const converter = dialect === 'github' ? text.replace(MODULE_EXPORT_RE, '') : text;
    state.url = URL.createObjectURL(new Blob([converter, CONVERSION_CALLS[dialect]], { type: 'text/javascript' }));
  }
  return state.url;
}

// A promise of the dialect's worker URL (null when it cannot be had). The page's own texts are taken
// at once, so that the classic dialect and the stand-alone page convert without waiting.
function converterReady(dialect) {
  const state = conversionWorkers[dialect];
  if (!state.loading) {
    const embedded = dialect === 'github' ? embeddedLibraryText(GITHUB_CONVERTER_LIBRARY) : pageMarkdownText();
    state.loading = embedded !== null || dialect !== 'github'
      ? Promise.resolve(converterUrlOf(dialect, embedded))
      : libraryText(GITHUB_CONVERTER_LIBRARY).then((text) => converterUrlOf(dialect, text));
  }
  return state.loading;
}

function startConversionWorker(dialect) {
  const worker = new Worker(conversionWorkers[dialect].url);
  worker.onmessage = (event) => answerConversion(dialect, worker, event.data);
  worker.onerror = () => failConversion(dialect, worker);
  return worker;
}

// Starts the dialect's worker ahead of the first document, so that loading and compiling its converter
// overlap with whatever the page does until the document arrives.
function prepareConversion(dialect) {
  converterReady(dialect).then((url) => {
    const state = conversionWorkers[dialect];
    try {
      if (url && !state.worker) state.worker = startConversionWorker(dialect);
    } catch (e) {
      // convertDocument tries again and falls back when it cannot.
    }
  });
}

// Converts md in the dialect's worker: onPart(html), when given, with the opening part of a large
// document (when there is one), then onPiece(html, start, last) with each piece of the whole
// document: start is true for a first piece that begins the document anew (there was no part, or the
// part is not how the whole begins), false for pieces that continue what came before; last is true
// for the last piece. When the converter cannot be had or the worker fails, onPiece(null). A newer
// request drops the one before it.
function convertDocument(dialect, md, onPart, onPiece) {
  const request = { id: ++conversionRequests, dialect, onPart, onPiece };
  conversionRequest = request;
  // The page's own text makes the URL at once; a fetched one arrives later.
  const ready = converterReady(dialect);
  if (conversionWorkers[dialect].url !== null) {
    sendConversion(request, md);
    return;
  }
  ready.then(() => {
    if (conversionRequest === request) sendConversion(request, md);
  });
}

function sendConversion(request, md) {
  const state = conversionWorkers[request.dialect];
  if (state.busy && state.worker) {
    // The worker is still busy with a document nobody waits for: a fresh one answers sooner.
    state.worker.terminate();
    state.worker = null;
    state.busy = false;
  }
  try {
    if (!state.url) throw new Error('the converter cannot be had');
    if (!state.worker) state.worker = startConversionWorker(request.dialect);
  } catch (e) {
    conversionRequest = null;
    request.onPiece(null);
    return;
  }
  state.busy = true;
  state.units = md.length;
  postText(request, state.worker, md);
}

// Posts md to the worker in messages of TEXT_MESSAGE_UNITS, one per task, while the request is still
// awaited; the last says so (more false).
async function postText(request, worker, md) {
  for (let at = 0; ; await nextTask()) {
    if (conversionRequest !== request || conversionWorkers[request.dialect].worker !== worker) return;
    const end = Math.min(md.length, at + TEXT_MESSAGE_UNITS);
    const more = end < md.length;
    worker.postMessage({ id: request.id, text: md.slice(at, end), more, opening: Boolean(request.onPart) });
    if (!more) return;
    at = end;
  }
}

function cancelConversion() {
  conversionRequest = null;
}

function answerConversion(dialect, worker, answer) {
  const state = conversionWorkers[dialect];
  if (worker !== state.worker) return;
  // The worker rests after a part and after the last piece.
  if (typeof answer.part === 'string' || answer.last) state.busy = false;
  if (answer.last && state.units >= RETIRE_WORKER_UNITS) retireConversionWorker(dialect);
  const request = conversionRequest;
  if (!request || request.dialect !== dialect || answer.id !== request.id) return;
  if (typeof answer.piece === 'string') {
    if (answer.last) conversionRequest = null;
    request.onPiece(answer.piece, answer.start, answer.last);
  } else if (typeof answer.part === 'string') {
    request.onPart(answer.part);
    // The whole follows once the frame that shows the part is painted (or soon, in a window that
    // paints no frames while hidden).
    let resumed = false;
    const resume = () => {
      if (resumed || conversionRequest !== request || worker !== state.worker) return;
      resumed = true;
      worker.postMessage({ id: request.id, resume: true });
      state.busy = true;
    };
    requestAnimationFrame(() => setTimeout(resume, 0));
    setTimeout(resume, RESUME_AT_LATEST_MS);
  }
}

// A worker that has converted a document keeps the heap it grew for it (the text, the converter's
// copies of it) long after: tens of megabytes at 10 MiB, held while the page builds the document's
// elements, which is when the page needs the most. A fresh worker costs a few and is ready for the next.
function retireConversionWorker(dialect) {
  const state = conversionWorkers[dialect];
  state.worker.terminate();
  state.worker = null;
  try {
    state.worker = startConversionWorker(dialect);
  } catch (e) {
    // sendConversion tries again and falls back when it cannot.
  }
}

function failConversion(dialect, worker) {
  const state = conversionWorkers[dialect];
  if (worker !== state.worker) return;
  worker.terminate();
  state.worker = null;
  state.busy = false;
  const request = conversionRequest;
  if (!request || request.dialect !== dialect) return;
  conversionRequest = null;
  request.onPiece(null);
}
