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
// Two more things keep a large document light: its top-level blocks are grouped in parts (see
// page/insert/document-parts.js), and media players far from the viewport are not created until
// they near it (see page/insert/deferred-media.js).
//
// HTML that arrives in pieces (the GitHub dialect's opening part, then the rest in many) is
// inserted as one: the first call says how large the whole is expected to be, and the parser waits
// for the rest. The pieces wait in a queue and are never joined: a string of a large document's
// whole HTML, and each pass over it (copying, searching, renaming), would each take longer than a
// task may.
//
// A new document, a screen or printing ends the insertion in progress: the first two drop it, the
// third completes it at once. A caller that must return to a place further down (live reload)
// asks for the blocks up to that place before the document shows.
//
// A large document (one grouped in parts) comes in behind what the content area shows: its parts
// arrive hidden, slice by slice, until they reach the caller's place (at once, for a document that
// starts at its top), and then take the place of the old content in one short step; the old
// content goes a step at a time, far from the window first (see page/insert/leaving-content.js).
// Putting the blocks up to a place far down a large document in at once, or dropping the old tree
// of one whole, each held the page up for longer than a task may take. Anything smaller replaces
// the old content at once.
//
// A slice that fails on its way in (a fault in the page that a document has found) is left out
// alone, and the next one follows: nothing of it stays in the holder where slices are disarmed,
// which is emptied whenever an insertion starts and ends.
//
// Uses: DEFERRED_STAND_INS, ESTIMATED_PX_PER_UNIT, LARGE_DOCUMENT_UNITS, MEDIA_STAND_INS,
//   RENAMED_MEDIA_START_TAG_RE, accountForRenamedTags, calibrateEstimates, contentEl,
//   createElement, createFragment, disarmFragment, dropLeavingContent, elementBefore,
//   elementMatches, elementReplaceWith, endMediaWatch, forgetLeavingContent, hasMediaStandInName,
//   inertHolder, newMediaWatch, observeStandIns, partUnitsFor, placeInParts, playerFor,
//   renameMediaTags, replaceFormerContent, retireFarParts, retireShownParts, showMediaWatch,
//   shownParts

// HTML characters parsed before the first screen is shown: a screenful of dense text with room to
// spare, small enough to parse and lay out at once.
const FIRST_SLICE_UNITS = 16 * 1024;
// HTML characters handed to the parser per step after the first slice.
const STEP_UNITS = 8 * 1024;
// Milliseconds of steps per task: the page answers input and paints between tasks, and a frame
// rarely has more than a few tasks' worth of new blocks to lay out.
const SLICE_BUDGET_MS = 40;
// A style sheet of the document's own.
const DOCUMENT_STYLE_SHEET_RE = /<style[\s>/]/i;
// Puts the parser of a fresh inert document in the state that parsing inside a div gives: in the
// body, no-quirks, and past the point where a frameset could replace the body (the hr sets that).
const PARSER_PRELUDE = '<!DOCTYPE html><body><hr>';

let insertion = null;

// Shows html (the converter's output: a string, or its pieces in order) in the content area,
// replacing what it held. onNodes(root) is called with an inert element holding each slice's nodes
// after disarming and before they enter the page; onComplete(), when given, once every node is in
// place. The first slice holds at least blocksAtOnce top-level blocks (while there are that many).
// With awaitedUnits (the expected size of the whole), more HTML follows through extendDocumentHtml,
// and the insertion completes only after it. onPlaced(), when given, is called once blocksAtOnce
// blocks are in place, or all there are: at once, or when more HTML brings them. Returns the
// insertion, for extendDocumentHtml. A large document shows only from then on (see the top).
function insertDocumentHtml(html, onNodes, onComplete, blocksAtOnce = 0, awaitedUnits = 0, onPlaced = null) {
  const pieces = (typeof html === 'string' ? [html] : html).filter((piece) => piece !== '');
  const units = pieces.reduce((sum, piece) => sum + piece.length, 0);
  const parted = Math.max(units, awaitedUnits) >= LARGE_DOCUMENT_UNITS && !pieces.some(hasDocumentStyleSheet);
  // What the content area holds stays, while a large document arrives behind it.
  let former = null;
  if (parted) {
    former = [...contentEl.childNodes];
    endInsertionTasks();
  } else {
    stopDocumentInsertion();
    contentEl.textContent = '';
  }
  const parserDocument = document.implementation.createHTMLDocument('');
  parserDocument.open();
  parserDocument.write(PARSER_PRELUDE);
  parserDocument.body.textContent = '';
  const renamed = !pieces.some(hasMediaStandInName);
  insertion = {
    // The piece being written, from offset on, and the pieces after it.
    html: '',
    offset: 0,
    pieces: renamed ? pieces.map(renameMediaTags) : pieces,
    // HTML characters written so far, and up to where the nodes moved last ended: the units since
    // are the next nodes' share.
    written: 0,
    movedWritten: 0,
    renamed,
    // Renamed start tags written, and stand-ins (or repairs) found for them so far.
    tagsWritten: 0,
    tagsFound: 0,
    // Top-level blocks moved into the page so far.
    blocks: 0,
    parted,
    parts: [],
    partUnits: partUnitsFor(Math.max(units, awaitedUnits)),
    pxPerUnit: ESTIMATED_PX_PER_UNIT,
    calibrated: false,
    // Parts from here on contain nothing (see the top of this file).
    plainParts: false,
    parserDocument,
    closed: false,
    onNodes,
    onComplete,
    first: true,
    channel: null,
    // A slice task is on its way.
    scheduled: false,
    // More HTML is still to come (see extendDocumentHtml).
    awaiting: awaitedUnits > 0,
    blocksAtOnce,
    onPlaced,
    // Whether the new content shows; until it does, what the content area held before, which it
    // replaces then.
    shown: !parted,
    former,
    // The watch over this document's media stand-ins (see page/insert/deferred-media.js).
    media: newMediaWatch(),
  };
  if (!parted) {
    shownParts = insertion.parts;
    showMediaWatch(insertion.media);
  }
  // A document shown from its top replaces the old content before its first slice.
  else if (placeReached(insertion)) showInsertion(insertion);
  else retireShownParts();
  contentEl.setAttribute('aria-busy', 'true');
  writeHtml(insertion, FIRST_SLICE_UNITS);
  moveFinishedNodes(insertion);
  insertion.first = false;
  const state = insertion;
  placeAtOnce(state);
  if (htmlLeft(state)) scheduleSlice(state);
  else if (!state.awaiting) completeInsertion(state);
  return state;
}

// Continues the insertion begun with awaitedUnits with the next piece of its HTML (last: the final
// one). False when that insertion is no longer in progress, or when the piece would change how what
// is already shown is laid out or named (a style sheet of its own in a document grouped in parts,
// or the name that media tags are renamed to): the caller shows it anew.
function extendDocumentHtml(state, piece, last) {
  if (state !== insertion || !state.awaiting) return false;
  if (state.parted && hasDocumentStyleSheet(piece)) return false;
  if (state.renamed && hasMediaStandInName(piece)) return false;
  if (piece !== '') state.pieces.push(state.renamed ? renameMediaTags(piece) : piece);
  state.awaiting = !last;
  placeAtOnce(state);
  // A slice on its way takes the piece in; else the insertion had caught up and waited.
  if (!state.scheduled && state === insertion) scheduleSlice(state);
  return true;
}

function hasDocumentStyleSheet(html) {
  return DOCUMENT_STYLE_SHEET_RE.test(html);
}

// Whether HTML is left to write, in the piece being written or in the pieces after it.
function htmlLeft(state) {
  return state.offset < state.html.length || state.pieces.length > 0;
}

// Puts in at once the blocks the caller asked for, as far as the HTML reaches, and tells it once
// they are in place (or all there will be). A large document arriving behind the old content
// takes them in slices instead (see continueInsertion).
function placeAtOnce(state) {
  while (state.shown && state.blocks < state.blocksAtOnce && htmlLeft(state)) {
    writeHtml(state, STEP_UNITS);
    moveFinishedNodes(state);
  }
  if (placeReached(state)) tellPlaced(state);
}

// Whether the blocks the caller asked for are in, or all there will be.
function placeReached(state) {
  return state.blocks >= state.blocksAtOnce || (!state.awaiting && !htmlLeft(state));
}

// Shows the new content, then tells the caller that its blocks are in place.
function tellPlaced(state) {
  showInsertion(state);
  const onPlaced = state.onPlaced;
  state.onPlaced = null;
  if (onPlaced) onPlaced();
}

// Writes about units more characters of the piece being written (or of the next, when it is done),
// ending before a "<" so that no tag is cut in two. A piece ends where a block ends.
function writeHtml(state, units) {
  // A closed parser would start a new document.
  if (state.closed) return;
  if (state.offset === state.html.length && state.pieces.length > 0) {
    state.html = state.pieces.shift();
    state.offset = 0;
  }
  let end = state.html.indexOf('<', Math.min(state.html.length, state.offset + units));
  if (end === -1) end = state.html.length;
  const piece = state.html.slice(state.offset, end);
  state.parserDocument.write(piece);
  state.written += end - state.offset;
  state.offset = end;
  if (state.renamed) state.tagsWritten += (piece.match(RENAMED_MEDIA_START_TAG_RE) || []).length;
  if (!htmlLeft(state) && !state.awaiting) {
    state.parserDocument.close();
    state.closed = true;
  }
}

// Moves the nodes the parser has finished (all but the last while it is still parsing) into the
// content area, disarmed.
function moveFinishedNodes(state) {
  const body = state.parserDocument.body;
  const keep = htmlLeft(state) || state.awaiting ? body.lastChild : null;
  if (body.firstChild === keep) return;
  while (body.firstChild !== keep) inertHolder.appendChild(body.firstChild);
  const units = state.written - state.movedWritten;
  state.movedWritten = state.written;
  try {
    placeSlice(state, units);
  } catch (failure) {
    // Left out: whatever of the slice is not in the page yet goes with the holder's content.
  }
  inertHolder.textContent = '';
}

// Disarms the slice in the holder, lets the page see it, and moves it into the content area.
function placeSlice(state, units) {
  if (state.renamed) accountForRenamedTags(state);
  disarmFragment(inertHolder);
  for (const standIn of inertHolder.querySelectorAll(MEDIA_STAND_INS)) {
    if (!elementMatches(standIn, DEFERRED_STAND_INS)) elementReplaceWith(standIn, playerFor(standIn));
  }
  const standIns = inertHolder.querySelectorAll(DEFERRED_STAND_INS);
  state.onNodes(inertHolder);
  state.blocks += inertHolder.childElementCount;
  if (state.parted) {
    placeInParts(state, units);
  } else {
    const fragment = createFragment();
    while (inertHolder.firstChild) fragment.appendChild(inertHolder.firstChild);
    contentEl.appendChild(fragment);
  }
  if (standIns.length > 0) observeStandIns(state.media, standIns, state.first && state.shown);
}

// Inserts one slice, a task's worth of steps, then yields to the page and comes back, until all
// is in place.
function continueInsertion(state) {
  state.scheduled = false;
  if (state !== insertion) return;
  if (!state.shown && placeReached(state)) {
    // The new content replaces the old in a task of its own.
    tellPlaced(state);
  } else {
    if (state.shown && state.parted && !state.calibrated) calibrateEstimates(state);
    // Before this slice's parts: see page/insert/leaving-content.js.
    if (!state.shown) retireFarParts();
    const started = performance.now();
    do {
      writeHtml(state, STEP_UNITS);
      moveFinishedNodes(state);
    } while (htmlLeft(state) && (state.shown || !placeReached(state)) && performance.now() - started < SLICE_BUDGET_MS);
  }
  if (htmlLeft(state) || (!state.shown && placeReached(state))) scheduleSlice(state);
  else if (!state.awaiting) completeInsertion(state);
}

// The new content of a large document takes the place of what the content area showed (see
// page/insert/leaving-content.js).
function showInsertion(state) {
  if (state.shown) return;
  state.shown = true;
  replaceFormerContent(state.former);
  state.former = null;
  contentEl.classList.add('large');
  for (const part of state.parts) part.el.hidden = false;
  shownParts = state.parts;
  showMediaWatch(state.media);
}

// A message task, not a timer: timers chained this way are slowed down to 4 ms apart.
function scheduleSlice(state) {
  if (!state.channel) {
    state.channel = new MessageChannel();
    state.channel.port1.onmessage = () => continueInsertion(state);
  }
  state.scheduled = true;
  state.channel.port2.postMessage(null);
}

function completeInsertion(state) {
  insertion = null;
  inertHolder.textContent = '';
  if (state.channel) state.channel.port1.close();
  contentEl.removeAttribute('aria-busy');
  tellPlaced(state);
  if (state.onComplete) state.onComplete();
}

// Puts every remaining node in place at once, and takes out all that leaves (printing and export
// need the whole document, and nothing else).
function finishDocumentInsertion() {
  const state = insertion;
  if (state) showInsertion(state);
  dropLeavingContent();
  if (!state) return;
  while (htmlLeft(state)) writeHtml(state, Infinity);
  moveFinishedNodes(state);
  // What is still being converted follows when it comes.
  if (!state.awaiting) completeInsertion(state);
}

// Drops the insertion in progress, if any, and every deferred media element with it. The caller
// replaces the content area.
function stopDocumentInsertion() {
  endInsertionTasks();
  forgetLeavingContent();
  shownParts = [];
  contentEl.removeAttribute('aria-busy');
  contentEl.classList.remove('large');
  showMediaWatch(null);
}

// Ends the insertion in progress, if any, leaving what it put in the content area there.
function endInsertionTasks() {
  if (insertion) {
    if (insertion.channel) insertion.channel.port1.close();
    // Its content never showed: it leaves with the next one's arrival.
    if (!insertion.shown) endMediaWatch(insertion.media);
    insertion = null;
  }
  inertHolder.textContent = '';
}

// Puts every table of a parsed document in a box of its own, which scrolls sideways when the table
// is wider than the content area. (A table cannot scroll by itself.)
function boxWideTables(root) {
  for (const table of root.querySelectorAll('table')) {
    const box = createElement('div');
    box.className = 'table-scroll';
    elementBefore(table, box);
    box.appendChild(table);
  }
}
