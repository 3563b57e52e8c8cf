// Moving a converted document into the page in slices, the first screen first.
//
// Setting a large fragment as inner HTML in one go freezes the window for as long as the browser
// parses, adopts, styles and lays out all of it. Instead the converter's HTML is fed to the HTML
// parser of an inert document (one without a window: nothing in it loads or runs) a piece at a
// time. The parser keeps its state between pieces, so the tree it builds is the one a single
// parse gives; after each piece, the top-level nodes it has finished are disarmed and moved into
// the content area. The first slice goes in at once; the rest follow in short tasks, so the page
// paints the first screen and answers input while the remainder arrives. The one node the parser
// may still be adding to (the last) waits for the next piece: a document that leaves an element
// open thus arrives whole at the end, as it must.
//
// Two more things keep a large document light:
// - its top-level blocks skip style and layout while far from the viewport (the "large" class on
//   the content area; see the style sheet). Text stays searchable, outline jumps land, and
//   printing lays out everything;
// - media players far from the viewport wait outside the page, a stand-in of the same size in
//   their place, and come in as they near it.
//
// A new document, a screen or printing ends the insertion in progress: the first two drop it, the
// third completes it at once. A caller that must restore a scroll position (live reload) can wait
// for onComplete, or call finishDocumentInsertion() to have every node in place first.
//
// Uses contentEl and disarmFragment from the page script that follows.

// HTML characters parsed before the first screen is shown: a screenful of dense text with room to
// spare, small enough to parse and lay out at once.
const FIRST_SLICE_UNITS = 32 * 1024;
// Each later slice is sized so that it and the frame that shows it take about this long together,
// whatever the machine's speed and load: well within the longest pause the page allows itself.
const SLICE_CYCLE_MS = 80;
// Bounds of a later slice, in HTML characters; the first of them takes the smallest.
const MIN_SLICE_UNITS = 4 * 1024;
const MAX_SLICE_UNITS = 512 * 1024;
// Milliseconds between slices while the page gets no frames (hidden or minimised).
const HIDDEN_SLICE_DELAY_MS = 100;
// From this size of HTML, top-level blocks far from the viewport skip style and layout.
const LARGE_DOCUMENT_UNITS = 128 * 1024;
// Media players within one viewport height above or below the window are brought in.
const MEDIA_NEAR_MARGIN = '100% 0px';
// Media players that wait outside the page while far from the viewport: those whose size before
// loading is the same for all, so that a stand-in can hold their place exactly.
const DEFERRED_MEDIA = 'video[controls]:not([width], [height], [poster]), audio[controls]';
// Puts the parser of a fresh inert document in the state that parsing inside a div gives: in the
// body, no-quirks, and past the point where a frameset could replace the body (the hr sets that).
const PARSER_PRELUDE = '<!DOCTYPE html><body><hr>';

let insertion = null;
let mediaObserver = null;
// Stand-in -> the media player waiting in the inert document.
let deferredMedia = new WeakMap();

// Shows html (the converter's output) in the content area, replacing what it held. onNodes(root)
// is called with an inert element holding each slice's nodes after disarming and before they
// enter the page; onComplete(), when given, once every node is in place.
function insertDocumentHtml(html, onNodes, onComplete) {
  stopDocumentInsertion();
  contentEl.textContent = '';
  if (html.length >= LARGE_DOCUMENT_UNITS) contentEl.classList.add('large');
  const parserDocument = document.implementation.createHTMLDocument('');
  parserDocument.open();
  parserDocument.write(PARSER_PRELUDE);
  parserDocument.body.textContent = '';
  insertion = {
    html,
    offset: 0,
    parserDocument,
    onNodes,
    onComplete,
    first: true,
    channel: null,
    slices: 0,
    sliceUnits: MIN_SLICE_UNITS,
    sliceStarted: 0,
  };
  contentEl.setAttribute('aria-busy', 'true');
  writeHtml(insertion, FIRST_SLICE_UNITS);
  moveFinishedNodes(insertion);
  insertion.first = false;
  if (insertion.offset < html.length) scheduleSlice(insertion);
  else completeInsertion(insertion);
}

function writeHtml(state, units) {
  const end = Math.min(state.html.length, state.offset + units);
  state.parserDocument.write(state.html.slice(state.offset, end));
  state.offset = end;
  if (end === state.html.length) state.parserDocument.close();
}

// Moves the nodes the parser has finished (all but the last while it is still parsing) into the
// content area, disarmed.
function moveFinishedNodes(state) {
  const body = state.parserDocument.body;
  const keep = state.offset < state.html.length ? body.lastChild : null;
  if (body.firstChild === keep) return;
  while (body.firstChild !== keep) inertHolder.appendChild(body.firstChild);
  disarmFragment(inertHolder);
  const slots = [];
  deferMedia(inertHolder, slots);
  state.onNodes(inertHolder);
  const fragment = createFragment();
  while (inertHolder.firstChild) fragment.appendChild(inertHolder.firstChild);
  contentEl.appendChild(fragment);
  observeMediaSlots(slots);
  if (state.first) restoreMediaInView(slots);
}

// Inserts one slice, then yields to the page and comes back, until all is in place. The time
// since the previous slice began (that slice, its frame and whatever else ran) sizes this one.
function continueInsertion(state) {
  if (state !== insertion) return;
  const started = performance.now();
  if (state.sliceStarted > 0) {
    const units = Math.round((state.sliceUnits * SLICE_CYCLE_MS) / Math.max(1, started - state.sliceStarted));
    state.sliceUnits = Math.min(MAX_SLICE_UNITS, Math.max(MIN_SLICE_UNITS, units));
  }
  state.sliceStarted = started;
  writeHtml(state, state.sliceUnits);
  moveFinishedNodes(state);
  if (state.offset < state.html.length) scheduleSlice(state);
  else completeInsertion(state);
}

// The next slice runs right after the next frame has shown this one, so that each frame lays out
// one slice's worth of new blocks. A hidden page gets no frames; the timer carries on there.
function scheduleSlice(state) {
  if (!state.channel) {
    state.channel = new MessageChannel();
    state.channel.port1.onmessage = () => continueInsertion(state);
  }
  const slice = ++state.slices;
  const run = () => {
    if (state.slices !== slice) return;
    state.slices++;
    // A message task, not a timer: it runs as soon as the frame is done.
    state.channel.port2.postMessage(null);
  };
  requestAnimationFrame(run);
  setTimeout(run, HIDDEN_SLICE_DELAY_MS);
}

function completeInsertion(state) {
  insertion = null;
  if (state.channel) state.channel.port1.close();
  contentEl.removeAttribute('aria-busy');
  if (state.onComplete) state.onComplete();
}

// Puts every remaining node in place at once (printing needs the whole document).
function finishDocumentInsertion() {
  const state = insertion;
  if (!state) return;
  if (state.offset < state.html.length) writeHtml(state, state.html.length - state.offset);
  moveFinishedNodes(state);
  completeInsertion(state);
}

// Drops the insertion in progress, if any, and every deferred media element with it. The caller
// replaces the content area.
function stopDocumentInsertion() {
  if (insertion) {
    if (insertion.channel) insertion.channel.port1.close();
    insertion = null;
  }
  contentEl.removeAttribute('aria-busy');
  contentEl.classList.remove('large');
  if (mediaObserver) mediaObserver.disconnect();
  deferredMedia = new WeakMap();
}

// Puts a stand-in of the same size (see the style sheet) in the place of each media player under
// root. The player itself stays in the inert document, where it does nothing, until
// restoreNearMedia brings it in: creating players in the page costs milliseconds each, and a large
// document has thousands. Players whose size depends on their attributes are not deferred.
function deferMedia(root, slots) {
  for (const el of root.querySelectorAll(DEFERRED_MEDIA)) {
    const slot = el.ownerDocument.createElement('span');
    slot.className = 'media-slot ' + el.localName;
    const style = el.getAttribute('style');
    if (style !== null) slot.setAttribute('style', style);
    el.replaceWith(slot);
    deferredMedia.set(slot, el);
    slots.push(slot);
  }
}

function observeMediaSlots(slots) {
  if (slots.length === 0) return;
  if (!mediaObserver) mediaObserver = new IntersectionObserver(restoreNearMedia, { rootMargin: MEDIA_NEAR_MARGIN });
  for (const slot of slots) mediaObserver.observe(slot);
}

function restoreNearMedia(entries) {
  for (const entry of entries) {
    if (entry.isIntersecting) restoreMedia(entry.target);
  }
}

// The first screen's players are brought in before it is first shown.
function restoreMediaInView(slots) {
  const near = innerHeight * 2;
  for (const slot of slots) {
    if (slot.getBoundingClientRect().top < near) restoreMedia(slot);
  }
}

function restoreMedia(slot) {
  const el = deferredMedia.get(slot);
  if (!el) return;
  mediaObserver.unobserve(slot);
  deferredMedia.delete(slot);
  slot.replaceWith(el);
}
