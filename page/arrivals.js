// How documents reach the page: the host's messages (a document delivered, closed, the window's
// history, paper and export requests), the file picker and a drop on the page, and the "file" query
// parameter of the stand-alone page. The host numbers each delivery; the page keeps the number of the
// one it shows and drops deliveries of documents it has closed.
//
// Uses: DEFAULT_ENCODING, TEXT_CHECK_PATH, TEXT_CORS_HINT, TEXT_ELLIPSIS, TEXT_ERROR_LABEL,
//   TEXT_FILE_LABEL, TEXT_LOADING_FILE, TEXT_LOAD_FAILED, beginHostDocument, beginLocalDocument,
//   continueHostExport, decodeDocumentBytes, endLanding, esc, expectLanding, exportForHost,
//   forgetPlacePath, hostView, keepOwnDocument, noteHostDocument, parsePlace, readersPlace,
//   renderDoc, reportLeftPlace, returnToPlace, setPaperSize, setShownEncoding, showError,
//   showFileName, showFilesOf, showHistoryState, showLoading, showMissingHostDocument,
//   showOwnDocumentAgain, showWelcome, shownDocument, shownEncoding, shownOwnNumber

// The host's number of the delivery the page shows, while it shows one; null otherwise.
let hostGeneration = null;
// The host's deliveries the page has closed (the close button, or a document of its own in their
// place): a live reload of one that was already on its way is not shown.
const closedGenerations = new Set();

// The host delivers the shown document again whenever its file changes on disk, under the same number:
// then the reader's place is kept (rendering never touches the theme or an open outline). Every
// document the host opens gets a new number, even the same file again or one of the same name from
// another folder, and starts at the top, or where the host says (see page/screen/history.js): at the place
// the reader left it, when the reader went back or forward to it, or at the target of a link's
// fragment. A document the host cannot find is named on the error screen.
function renderHostDoc(md, name, generation, landing = {}) {
  const again = generation > 0 && generation === hostGeneration && shownDocument !== null;
  if (!again) reportLeftPlace();
  beginHostDocument(generation, again);
  hostGeneration = generation;
  shownOwnNumber = null;
  showFilesOf(generation);
  if (landing.missing === true) {
    forgetPlacePath();
    showMissingHostDocument(name);
    return;
  }
  setShownEncoding(typeof landing.encoding === 'string' ? landing.encoding : DEFAULT_ENCODING);
  const place = again ? readersPlace() : parsePlace(landing.place);
  if (again) endLanding();
  else if (!place) expectLanding(landing.fragment);
  // A new document opened plainly (not where Back, Forward or a link's heading put it) offers to go
  // back to where the reader was in it.
  const offer = !place && !(typeof landing.fragment === 'string' && landing.fragment !== '');
  renderDoc(md, name, place ? place.index + 1 : 0, () => {
    returnToPlace(place);
    if (!again) noteHostDocument(landing.path, offer);
  });
}

// A document the page read itself replaces the host's: the host is told, so that it stops following its
// own (whose next change would otherwise replace the reader's choice) and puts this one in the window's
// history. bytes: the file's, read in encoding.
function renderOwnDoc(md, name, bytes, encoding) {
  reportLeftPlace();
  forgetPlacePath();
  endLanding();
  letGoOfHostDocument();
  beginLocalDocument();
  showFilesOf(null);
  setShownEncoding(encoding, bytes);
  renderDoc(md, name);
  keepOwnDocument(md, name, shownEncoding);
}

// The page lets go of the host's document it shows, if any: a delivery of it still on its way (a live
// reload crossing the reader's choice) is dropped when it comes. Returns that delivery's number.
function letGoOfHostDocument() {
  const generation = hostGeneration;
  hostGeneration = null;
  if (generation !== null && generation !== 0) closedGenerations.add(generation);
  return generation;
}

// The reader closes the host's document: the host is told which delivery, so that a close crossing a
// newer delivery on its way changes nothing there.
function closeHostDocument() {
  const generation = letGoOfHostDocument();
  if (generation === null || generation === 0) return;
  if (hostView) hostView.postMessage({ action: 'closeDoc', generation });
}

// Reads the first file's bytes, then decodes them as the host would (see page/screen/encodings.js).
function handleFiles(files) {
  if (!files || files.length === 0) return;
  const file = files[0];
  const reader = new FileReader();
  reader.addEventListener('load', () => {
    const bytes = new Uint8Array(reader.result);
    decodeDocumentBytes(bytes).then(({ text, encoding }) => renderOwnDoc(text, file.name, bytes, encoding));
  });
  reader.readAsArrayBuffer(file);
}

function loadFromQuery(file) {
  const name = file.slice(file.lastIndexOf('/') + 1);
  showFileName(name);
  showLoading(TEXT_LOADING_FILE + esc(name) + TEXT_ELLIPSIS);
  fetch(file)
    .then((response) => {
      if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
      return response.arrayBuffer();
    })
    .then((body) => {
      const bytes = new Uint8Array(body);
      return decodeDocumentBytes(bytes).then(({ text, encoding }) => {
        setShownEncoding(encoding, bytes);
        renderDoc(text, name);
      });
    })
    .catch((failure) => {
      const message = failure && failure.message ? failure.message : String(failure);
      showError(TEXT_LOAD_FAILED, TEXT_FILE_LABEL + '<code>' + esc(file) + '<\/code><br>' + TEXT_ERROR_LABEL + esc(message) +
        '<br><br><span style="font-size:11px;color:#475569">' + TEXT_CHECK_PATH + '<br>' + TEXT_CORS_HINT + '<\/span>');
    });
}

function onHostMessage(event) {
  const msg = event.data;
  if (!msg || typeof msg !== 'object') return;
  if (msg.action === 'openFile') {
    // A message without a usable number is still shown, as a new document whose files are not served.
    const generation = Number.isSafeInteger(msg.generation) && msg.generation > 0 ? msg.generation : 0;
    if (closedGenerations.has(generation)) return;
    renderHostDoc(typeof msg.content === 'string' ? msg.content : '', typeof msg.name === 'string' ? msg.name : '',
      generation, msg);
    continueHostExport();
  } else if (msg.action === 'closeDoc') {
    showWelcome();
  } else if (msg.action === 'history') {
    showHistoryState(msg);
  } else if (msg.action === 'showOwn') {
    showOwnDocumentAgain(msg);
  } else if (msg.action === 'paper') {
    setPaperSize(msg.size);
    if (hostView) hostView.postMessage({ action: 'paperSet' });
  } else if (msg.action === 'exportDocument') {
    exportForHost(msg.format, msg.dialect);
  }
}
