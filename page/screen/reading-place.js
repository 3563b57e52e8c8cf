// Resuming: where the reader was in each document the program delivered, offered again when the
// document is next opened.
//
// For a document the host delivers with its full path, the page remembers the reader's place as the
// nearest heading above the window's top line (a top-level heading, by its position among the
// document's blocks and its text) and the distance from that heading to the line, in the content's
// em, so that a text size chosen since changes nothing. The place is written when the reader stops
// scrolling and when the document leaves the screen. The last READING_PLACES_KEPT documents are kept,
// in the browser control's local storage only; nothing is ever written beside the document.
//
// When such a document is opened again later (a new delivery: not a live reload, not Back or Forward
// and not a link to a heading, which say where to land themselves), it still opens at its top, and a
// small bar offers "继续阅读：<heading>" for about ten seconds: Enter or a click goes there, Esc, its
// close button or scrolling dismisses it.
//
// It also finds the reader's place in the document and puts it back (readersPlace, returnToPlace,
// holdPlace) for a live reload, a switch of dialect or encoding, a new text size and Back and Forward.
// viewer.js calls installReadingPlace at start-up; arrivals.js calls noteHostDocument for each new
// host delivery and forgetPlacePath for any other document, and page/screen/history.js
// rememberReadingPlace when a document leaves.
//
// Uses: blockAtLine, contentEl, documentBlockAt, documentBlocks, elementChildren, elementLocalName,
//   elementRect, insertion, nodeIsConnected, nodeParent, nodeText, ownGetter, shownDocument, ui

const READING_PLACES_KEY = 'md-reading-places';
const READING_PLACES_KEPT = 200;
// How long the bar stays, and how long after the last scroll the place is written.
const RESUME_OFFER_MS = 10000;
const PLACE_WRITE_DELAY_MS = 500;
// Within this many pixels of the document's top the reader has not begun: nothing is remembered.
const PLACE_TOP_SLACK_PX = 200;
// How long a resume waits, at most, for the blocks of a large document still arriving.
const RESUME_WAIT_MS = 30000;
const RESUME_POLL_MS = 100;
// Top-level headings, the places' landmarks.
const PLACE_HEADINGS = ['h1', 'h2', 'h3', 'h4', 'h5', 'h6'];
// Keys that scroll the page, which dismiss the bar as scrolling does.
const SCROLL_KEYS = ['ArrowUp', 'ArrowDown', 'PageUp', 'PageDown', 'Home', 'End', ' '];

const elementPreviousSibling = ownGetter(Element.prototype, 'previousElementSibling');

const TEXT_CONTINUE_READING = '\u7ee7\u7eed\u9605\u8bfb\uff1a'; // "继续阅读："

const resumeBar = document.getElementById('resumeBar');
const resumeGo = document.getElementById('resumeGo');
const resumeDismiss = document.getElementById('resumeDismiss');

// The full path of the host's document on screen; null when the document on screen has none.
let placePath = null;
// The place the bar offers, { heading, text, em }, and the bar's timer.
let offeredPlace = null;
let offerTimer = 0;
let placeWriteTimer = 0;
// The scroll position when the bar was shown: a scroll away from it dismisses the bar.
let offeredAtScroll = 0;

// The top-level block before a block: its sibling, or the last of the part before (see
// page/insert/document-insertion.js); null at the document's start.
function blockBefore(block) {
  const sibling = elementPreviousSibling(block);
  if (sibling) return sibling;
  const part = nodeParent(block);
  if (part === contentEl) return null;
  let before = part.previousElementSibling;
  while (before && before.lastElementChild === null) before = before.previousElementSibling;
  return before ? before.lastElementChild : null;
}

function readPlaces() {
  try {
    const places = JSON.parse(localStorage.getItem(READING_PLACES_KEY) || '[]');
    return Array.isArray(places) ? places.filter((entry) => entry && typeof entry.path === 'string') : [];
  } catch (e) {
    return [];
  }
}

function writePlaces(places) {
  try {
    localStorage.setItem(READING_PLACES_KEY, JSON.stringify(places));
  } catch (e) {
    // No storage: places last for this run only, and not even that.
  }
}

// Paths name the same file whatever their letters' case (the program's file system ignores it).
function placeKey(path) {
  return path.toLowerCase();
}

function contentEm() {
  return parseFloat(getComputedStyle(contentEl).fontSize) || 16;
}

// The reader's place now: the nearest top-level heading at or above the window's top line and the
// line's distance below it in em; null when the reader is at the document's top. heading is -1
// when no heading comes before the line (the distance is then from the document's top).
function currentReadingPlace() {
  if (window.scrollY < PLACE_TOP_SLACK_PX) return null;
  const line = ui.topbar.getBoundingClientRect().bottom;
  let { index: at, block } = blockAtLine(line);
  while (block && !PLACE_HEADINGS.includes(elementLocalName(block))) {
    block = blockBefore(block);
    at--;
  }
  const top = block ? elementRect(block).top : elementRect(contentEl).top;
  return {
    heading: block ? at : -1,
    text: block ? nodeText(block).trim() : '',
    em: Math.round(((line - top) / contentEm()) * 100) / 100,
  };
}

// Writes the reader's place in the host's document on screen (or forgets it at the top), most
// recent last, keeping the last READING_PLACES_KEPT documents.
function rememberReadingPlace() {
  clearTimeout(placeWriteTimer);
  if (placePath === null || shownDocument === null || offeredPlace !== null) return;
  const place = currentReadingPlace();
  const key = placeKey(placePath);
  const places = readPlaces().filter((entry) => placeKey(entry.path) !== key);
  if (place) places.push({ path: placePath, ...place });
  writePlaces(places.slice(-READING_PLACES_KEPT));
}

function rememberedPlace(path) {
  const key = placeKey(path);
  return readPlaces().find((entry) => placeKey(entry.path) === key) || null;
}

// A new host delivery, once shown: its path (empty when the host gave none), and whether the bar
// may be offered (not when the host says where to land).
function noteHostDocument(path, offer) {
  hideResumeOffer();
  placePath = typeof path === 'string' && path !== '' ? path : null;
  if (placePath === null || !offer) return;
  const place = rememberedPlace(placePath);
  if (!place) return;
  offeredPlace = place;
  offeredAtScroll = window.scrollY;
  resumeGo.textContent = TEXT_CONTINUE_READING + (place.text || ui.filename.textContent);
  resumeBar.hidden = false;
  offerTimer = setTimeout(hideResumeOffer, RESUME_OFFER_MS);
}

// A document the host did not deliver with a path (the page's own, the welcome screen): nothing of
// it is remembered.
function forgetPlacePath() {
  hideResumeOffer();
  placePath = null;
}

function hideResumeOffer() {
  clearTimeout(offerTimer);
  offeredPlace = null;
  resumeBar.hidden = true;
}

// The block of the remembered heading: at its position when its text is still there, else the first
// top-level heading with its text; null when the document no longer has it (or, while a large
// document arrives, not yet).
function placeHeading(place, blocks) {
  const block = blocks[place.heading];
  if (block && PLACE_HEADINGS.includes(elementLocalName(block)) && nodeText(block).trim() === place.text) return block;
  for (const candidate of blocks) {
    if (PLACE_HEADINGS.includes(elementLocalName(candidate)) && nodeText(candidate).trim() === place.text) return candidate;
  }
  return null;
}

// Goes to the offered place, once its heading is in the page.
function resumeReading() {
  const place = offeredPlace;
  hideResumeOffer();
  if (!place) return;
  const shown = shownDocument;
  const started = performance.now();
  const go = () => {
    if (shownDocument !== shown) return;
    const heading = place.heading >= 0 ? placeHeading(place, documentBlocks()) : contentEl;
    if (!heading) {
      // A large document may not have that far yet (see page/insert/document-insertion.js).
      if (insertion !== null && performance.now() - started < RESUME_WAIT_MS) setTimeout(go, RESUME_POLL_MS);
      return;
    }
    const line = ui.topbar.getBoundingClientRect().bottom;
    const offset = line - place.em * contentEm();
    window.scrollTo(window.scrollX, window.scrollY + elementRect(heading).top - offset);
    holdPlace({ x: window.scrollX, offset }, heading);
  };
  go();
}

function onResumeKey(event) {
  if (resumeBar.hidden) return;
  if (event.key === 'Escape') {
    hideResumeOffer();
  } else if (event.key === 'Enter' && (document.activeElement === document.body || resumeBar.contains(document.activeElement))) {
    event.preventDefault();
    resumeReading();
  } else if (SCROLL_KEYS.includes(event.key)) {
    hideResumeOffer();
  }
}

function onPlaceScroll() {
  if (offeredPlace !== null && Math.abs(window.scrollY - offeredAtScroll) > 1) hideResumeOffer();
  clearTimeout(placeWriteTimer);
  if (placePath !== null) placeWriteTimer = setTimeout(rememberReadingPlace, PLACE_WRITE_DELAY_MS);
}

function installReadingPlace() {
  resumeGo.addEventListener('click', resumeReading);
  resumeDismiss.addEventListener('click', hideResumeOffer);
  document.addEventListener('keydown', onResumeKey);
  window.addEventListener('wheel', () => {
    if (offeredPlace !== null) hideResumeOffer();
  }, { passive: true });
  window.addEventListener('scroll', onPlaceScroll, { passive: true });
  window.addEventListener('pagehide', rememberReadingPlace);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') rememberReadingPlace();
  });
}
// How long the content of a document built again must keep its size before the reader's place is
// no longer held, and what the reader does to scroll away from it.
const PLACE_HOLD_MS = 1000;
// How deep into a block the reader's place is looked for.
const PLACE_MOST_DEPTH = 16;
const READER_SCROLL_EVENTS = ['wheel', 'keydown', 'pointerdown', 'touchstart'];

// The reader's place as the element at the top of the window and where it stands: the top-level
// block there, and within it the path of child positions down to the innermost element that crosses
// the window's top. A place that holds when the document is built again, where a scroll offset would
// not (blocks of a large document far from the window stand in with estimated heights until first
// laid out, and pictures above may not have loaded yet).
function readersPlace() {
  const line = ui.topbar.getBoundingClientRect().bottom;
  const { index, block } = blockAtLine(line);
  let el = block;
  const path = [];
  while (el && elementChildren(el).length > 0 && path.length < PLACE_MOST_DEPTH) {
    const children = elementChildren(el);
    const at = firstEndingBelow(children, line);
    const child = children[at];
    const box = child ? elementRect(child) : null;
    if (!box || box.top > line || box.bottom <= line) break;
    path.push(at);
    el = child;
  }
  return { x: window.scrollX, y: window.scrollY, index, path, offset: el ? elementRect(el).top : 0 };
}

// The position of the first of the elements (in document order) whose bottom lies below line.
function firstEndingBelow(elements, line) {
  let low = 0;
  let high = elements.length - 1;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (elementRect(elements[middle]).bottom > line) high = middle;
    else low = middle + 1;
  }
  return low;
}

// Puts the element of the reader's place back where it stood (null: the top of the document).
function returnToPlace(place) {
  if (!place) {
    window.scrollTo(0, 0);
    return;
  }
  const el = elementOfPlace(place);
  if (place.y === 0 || !el) {
    window.scrollTo(place.x, place.y);
    return;
  }
  holdPlace(place, el);
}

// The element of the reader's place, as far down its path as the document still goes; null when
// the document has no such block.
function elementOfPlace(place) {
  let el = documentBlockAt(place.index);
  for (const at of place.path) {
    if (!el || !elementChildren(el)[at]) break;
    el = elementChildren(el)[at];
  }
  return el || null;
}

// In the frames after a large document is built again, the blocks that come near the window are
// laid out for the first time and change from their estimated heights to their real ones, which
// moves the reader's block. Until the reader scrolls, or the content has kept its size for a moment,
// the block is put back after every layout that changes the content's size, before the frame is
// painted. Returns what ends the hold at once.
function holdPlace(place, block) {
  let quiet = 0;
  const putBack = () => window.scrollTo(place.x, window.scrollY + elementRect(block).top - place.offset);
  const observer = new ResizeObserver(() => {
    if (!nodeIsConnected(block)) {
      release();
      return;
    }
    putBack();
    clearTimeout(quiet);
    quiet = setTimeout(release, PLACE_HOLD_MS);
  });
  const release = () => {
    clearTimeout(quiet);
    observer.disconnect();
    for (const type of READER_SCROLL_EVENTS) removeEventListener(type, release, true);
  };
  putBack();
  observer.observe(contentEl);
  for (const type of READER_SCROLL_EVENTS) addEventListener(type, release, { capture: true, passive: true });
  quiet = setTimeout(release, PLACE_HOLD_MS);
  return release;
}
