// Converting a document in the GitHub dialect, off the page's thread.
//
// The converter (markdown-it, its plugins and page/github-dialect.js) is kept as text (see
// page/library-texts.js) and started as a worker from a blob: URL the first time a document is shown
// in that dialect, so the classic dialect never compiles any of it. The text is written as a module
// (two plugins are published as modules only); it is started as a classic worker without its export
// statements, which nothing in it needs: a page opened from a file may start no module worker.
//
// A large document is answered first with its opening part, converted alone up to a block boundary
// where nothing that follows can change what went before (the rest's reference definitions come
// along), then with the whole, in pieces of some tens of thousands of characters cut where
// top-level blocks end: a large document's HTML in one message, and the work over it in one task,
// held the page up for longer than a frame may take. The page shows the opening part at once; when
// the whole document's HTML begins with exactly the part's HTML, the pieces continue the insertion
// that is under way, so nothing shown moves. Otherwise (a construct reached across the cut, which
// is rare) the whole replaces the part at the reader's place.
//
// This script follows page/document-insertion.js in the page's main script; viewer.js calls
// convertGithub and cancelGithubConversion.

const GITHUB_CONVERTER_LIBRARY = 'githubConverter';
// How long the whole's conversion waits at most for the frame that shows the opening part.
const RESUME_AT_LATEST_MS = 250;
// The export statements of the converter's module: "export { name };" and the "export" of "export const".
const MODULE_EXPORT_RE = /^export (?:\{[^}\n]*\};?|(?=const ))/gm;

let githubWorker = null;
// The converter's blob: URL once its text is had (null until then, or when it cannot be had).
let githubConverterUrl = null;
let githubConverterLoading = null;
// The request the page waits for: { id, onPart, onPiece }, or null.
let githubRequest = null;
let githubRequests = 0;
// Whether the worker is converting (a request or a resumed whole), whether or not anyone still waits.
let githubWorkerBusy = false;

function converterUrlOf(text) {
  if (text !== null && !githubConverterUrl) {
    githubConverterUrl = URL.createObjectURL(new Blob([text.replace(MODULE_EXPORT_RE, '')], { type: 'text/javascript' }));
  }
  return githubConverterUrl;
}

// A promise of the converter's URL (null when it cannot be had). The page's own text is taken at
// once, so that the stand-alone page converts without waiting.
function githubConverterReady() {
  if (!githubConverterLoading) {
    const embedded = embeddedLibraryText(GITHUB_CONVERTER_LIBRARY);
    githubConverterLoading = embedded !== null
      ? Promise.resolve(converterUrlOf(embedded))
      : libraryText(GITHUB_CONVERTER_LIBRARY).then(converterUrlOf);
  }
  return githubConverterLoading;
}

function startGithubWorker() {
  const worker = new Worker(githubConverterUrl);
  worker.onmessage = (event) => answerGithubRequest(worker, event.data);
  worker.onerror = () => failGithubRequest(worker);
  return worker;
}

// Starts the worker ahead of the first document, so that loading and compiling the converter overlap
// with whatever the page does until the document arrives.
function prepareGithubConversion() {
  githubConverterReady().then((url) => {
    try {
      if (url && !githubWorker) githubWorker = startGithubWorker();
    } catch (e) {
      // convertGithub tries again and falls back when it cannot.
    }
  });
}

// Converts md in the worker: onPart(html), when given, with the opening part of a large document
// (when there is one), then onPiece(html, start, last) with each piece of the whole document: start
// is true for a first piece that begins the document anew (there was no part, or the part is not
// how the whole begins), false for pieces that continue what came before; last is true for the
// last piece. When the converter cannot be had or the worker fails, onPiece(null). A newer request
// drops the one before it.
function convertGithub(md, onPart, onPiece) {
  const request = { id: ++githubRequests, onPart, onPiece };
  githubRequest = request;
  // The page's own text makes the URL at once; a fetched one arrives later.
  const ready = githubConverterReady();
  if (githubConverterUrl !== null) {
    sendGithubRequest(request, md);
    return;
  }
  ready.then(() => {
    if (githubRequest === request) sendGithubRequest(request, md);
  });
}

function sendGithubRequest(request, md) {
  if (githubWorkerBusy && githubWorker) {
    // The worker is still busy with a document nobody waits for: a fresh one answers sooner.
    githubWorker.terminate();
    githubWorker = null;
    githubWorkerBusy = false;
  }
  try {
    if (!githubConverterUrl) throw new Error('the converter cannot be had');
    if (!githubWorker) githubWorker = startGithubWorker();
  } catch (e) {
    githubRequest = null;
    request.onPiece(null);
    return;
  }
  githubWorker.postMessage({ id: request.id, text: md, opening: Boolean(request.onPart) });
  githubWorkerBusy = true;
}

function cancelGithubConversion() {
  githubRequest = null;
}

function answerGithubRequest(worker, answer) {
  if (worker !== githubWorker) return;
  // The worker rests after a part and after the last piece.
  if (typeof answer.part === 'string' || answer.last) githubWorkerBusy = false;
  const request = githubRequest;
  if (!request || answer.id !== request.id) return;
  if (typeof answer.piece === 'string') {
    if (answer.last) githubRequest = null;
    request.onPiece(answer.piece, answer.start, answer.last);
  } else if (typeof answer.part === 'string') {
    request.onPart(answer.part);
    // The whole follows once the frame that shows the part is painted (or soon, in a window that
    // paints no frames while hidden).
    let resumed = false;
    const resume = () => {
      if (resumed || githubRequest !== request || worker !== githubWorker) return;
      resumed = true;
      worker.postMessage({ id: request.id, resume: true });
      githubWorkerBusy = true;
    };
    requestAnimationFrame(() => setTimeout(resume, 0));
    setTimeout(resume, RESUME_AT_LATEST_MS);
  }
}

function failGithubRequest(worker) {
  if (worker !== githubWorker) return;
  worker.terminate();
  githubWorker = null;
  githubWorkerBusy = false;
  const request = githubRequest;
  githubRequest = null;
  if (request) request.onPiece(null);
}
