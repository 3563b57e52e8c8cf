// The road of one document through the stages: renderDoc converts it in the chosen dialect
// (page/convert/), showDocumentHtml inserts it slice by slice (page/insert/), enriches each slice
// (page/enrich/) and keeps the reader's screen in step with it (page/screen/): name, statistics,
// title and outline.
// leaveDocument ends whatever the content area was showing.
//
// Uses: appendOutline, boxWideTables, cancelConversion, chosenDialect, closeCloseView, contentEl,
//   convertDocument, documentDialect, endLanding, extendDocumentHtml, followThemeInPictures,
//   forgetEncoding, forgetStatistics, gatherAnchors, insertDocumentHtml, newAnchorGathering,
//   nodeText, noticeLandingTarget, offerPicturesCloseView, parse, pointDocumentLinks, readersPlace,
//   refreshPictures, resetCodeBlocks, returnToPlace, setDocumentTitle, settleDocumentLinks,
//   setTocOpen, showDocumentStatistics, showEncodingName, showFileName, showPanelButton,
//   stopDocumentInsertion, ui, watchCodeBlocks

const TITLE_SUFFIX = ' - Quillpane';
const PAGE_TITLE = 'Pagewright';
// Documents shorter than this (in UTF-16 units) are converted by the classic converter on the page's
// thread: below it parse takes less than the worker's start and answer, and no longer than a frame
// may take on a slow machine (see bench/large-document.js).
const CLASSIC_ON_PAGE_UNITS = 256 * 1024;
// The document on screen (or arriving), so that a switch of dialect can show it again: { md, name }.
let shownDocument = null;

// Shows a document in the chosen dialect. Both dialects convert in a worker (see
// page/convert/conversion.js), so a document shows a moment later, a large one with its opening part
// first and then in pieces; a small document in the classic dialect is converted here and at once, which
// is sooner than the worker's answer. Where no worker can be had, the classic converter runs here.
// onShown() is called once the first screen is in place, with at least blocksAtOnce top-level blocks.
function renderDoc(md, name, blocksAtOnce = 0, onShown = null) {
  shownDocument = { md, name };
  cancelConversion();
  const dialect = chosenDialect === 'github' ? 'github' : 'classic';
  if (dialect === 'classic' && md.length < CLASSIC_ON_PAGE_UNITS) {
    showDocumentHtml(md, name, parse(md), 'classic', blocksAtOnce, 0, onShown);
    return;
  }
  contentEl.setAttribute('aria-busy', 'true');
  // The pieces of HTML shown so far, from the document's start, and their insertion.
  let pieces = [];
  let insertion = null;
  // Everything so far again, at the reader's place: what came before does not hold.
  const showAnew = (awaitedUnits) => {
    const place = readersPlace();
    insertion = showDocumentHtml(md, name, pieces, dialect, place.index + 1, awaitedUnits, () => returnToPlace(place));
  };
  // Live reload and a switch of dialect wait for the whole: the reader's place may lie past the part.
  const onPart = blocksAtOnce > 0 ? null : (html) => {
    pieces = [html];
    insertion = showDocumentHtml(md, name, pieces, dialect, 0, md.length);
    if (onShown) onShown();
  };
  convertDocument(dialect, md, onPart, (piece, start, last) => {
    const awaitedUnits = last ? 0 : md.length;
    if (piece === null) {
      // No worker (the browser refused it): the classic converter shows the document still.
      showDocumentHtml(md, name, parse(md), 'classic', blocksAtOnce, 0, onShown);
    } else if (start && insertion === null) {
      pieces = [piece];
      insertion = showDocumentHtml(md, name, pieces, dialect, blocksAtOnce, awaitedUnits, onShown);
    } else if (start) {
      pieces = [piece];
      showAnew(awaitedUnits);
    } else {
      pieces.push(piece);
      if (!extendDocumentHtml(insertion, piece, last)) showAnew(awaitedUnits);
    }
    if (last) pieces = null;
  });
}

// A large document arrives in slices (see page/insert/document-insertion.js): the name, statistics and
// the first screen at once; the outline grows and the title follows the first h1 as slices come,
// so that when the last is in, everything equals what showing it in one pass gives. At least
// blocksAtOnce top-level blocks are in place when it returns, or when onPlaced() is called. Its
// code blocks are finished as they near the window, in the dialect's way (see
// page/enrich/code-blocks.js). html is a string or its pieces; with awaitedUnits, more of the document's
// HTML follows (see extendDocumentHtml); returns the insertion.
function showDocumentHtml(md, name, html, dialect, blocksAtOnce, awaitedUnits = 0, onPlaced = null) {
  documentDialect = dialect;
  showFileName(name || '');
  ui.closeBtn.style.display = '';
  ui.exportMenu.style.display = '';
  showDocumentStatistics(md);
  showEncodingName();
  if (name) setDocumentTitle(name + TITLE_SUFFIX);
  ui.tocList.textContent = '';
  let headings = 0;
  let titled = false;
  const formerIds = new Map();
  const anchors = newAnchorGathering();
  // What the view up close shows belongs to the content being replaced.
  closeCloseView();
  resetCodeBlocks(dialect);
  showPanelButton(false);
  return insertDocumentHtml(html, (slice) => {
    boxWideTables(slice);
    settleDocumentLinks(slice);
    watchCodeBlocks(slice);
    followThemeInPictures(slice);
    offerPicturesCloseView(slice);
    const h1 = titled ? null : slice.querySelector('h1');
    if (h1) {
      setDocumentTitle(nodeText(h1) + TITLE_SUFFIX);
      titled = true;
    }
    headings += appendOutline(slice.querySelectorAll('h1, h2, h3'), headings, formerIds);
    if (headings > 0) showPanelButton(true);
    gatherAnchors(slice, anchors);
    noticeLandingTarget(slice, formerIds, anchors);
    refreshPictures(slice);
  }, () => {
    pointDocumentLinks(formerIds, anchors);
    endLanding();
  }, blocksAtOnce, awaitedUnits, onPlaced);
}

// Ends whatever the content area was showing or about to show.
function leaveDocument() {
  shownDocument = null;
  endLanding();
  cancelConversion();
  stopDocumentInsertion();
  resetCodeBlocks();
  closeCloseView();
}

// Takes what is left of a closed document out of the top bar, the outline and the title.
function forgetDocument() {
  forgetStatistics();
  forgetEncoding();
  ui.tocList.textContent = '';
  setTocOpen(false);
  ui.tocBtn.style.display = 'none';
  setDocumentTitle(PAGE_TITLE);
}
