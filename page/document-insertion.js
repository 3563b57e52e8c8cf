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
// - its top-level blocks are grouped in parts (div.part, two or three screens each) that skip
//   style and layout while far from the viewport, standing in with an estimate of their height
//   until first laid out (the "large" class on the content area; see the style sheet). The
//   browser walks every box it holds in each frame: a few thousand parts cost little there, where
//   hundreds of thousands of blocks, even skipped one by one, made every frame slower than the
//   last. A part changes nothing that shows: it starts only at a block whose top margin is zero
//   and that has a height of its own, so that no margin would have collapsed across its edge; and
//   from the first slice that holds anything that could reach outside its part (floats,
//   positioned or fixed-width elements of the document's own HTML) on, parts contain nothing. A
//   document with a style sheet of its own is not grouped at all: its selectors could tell.
//   Skipped text is still found by the browser's search, a jump to a heading lays out what it
//   lands on, and printing lays out everything;
// - media players far from the viewport are not created: their tags are renamed before parsing,
//   so that the parser makes plain stand-ins of the same size, and each stand-in is replaced by
//   its player (made then, and disarmed like the rest) as it nears the viewport. A renamed tag
//   that made no element gets its old name back before its slice enters the page.
//
// HTML that arrives in pieces (the GitHub dialect's opening part, then the rest in many) is
// inserted as one: the first call says how large the whole is expected to be, and the parser waits
// for the rest. The pieces wait in a queue and are never joined: a string of a large document's
// whole HTML, and each pass over it (copying, searching, renaming), would each take longer than a
// task may.
//
// A new document, a screen or printing ends the insertion in progress: the first two drop it, the
// third completes it at once. A caller that must return to a place further down (live reload)
// asks for the blocks up to that place at once (as they arrive, when the HTML comes in pieces).
//
// A slice that fails on its way in (a fault in the page that a document has found) is left out
// alone, and the next one follows: nothing of it stays in the holder where slices are disarmed,
// which is emptied whenever an insertion starts and ends.
//
// Uses contentEl, inertHolder, disarmFragment and firstEndingBelow from viewer.js and the platform's
// own accessors
// (page/dom-access.js), which follow.

// HTML characters parsed before the first screen is shown: a screenful of dense text with room to
// spare, small enough to parse and lay out at once.
const FIRST_SLICE_UNITS = 16 * 1024;
// HTML characters handed to the parser per step after the first slice.
const STEP_UNITS = 8 * 1024;
// Milliseconds of steps per task: the page answers input and paints between tasks, and a frame
// rarely has more than a few tasks' worth of new blocks to lay out.
const SLICE_BUDGET_MS = 40;
// From this size of HTML, a document is grouped in parts.
const LARGE_DOCUMENT_UNITS = 128 * 1024;
// HTML characters per part (two or three screens).
const PART_UNITS = 16 * 1024;
// A part's height per HTML character, for its estimate before it is first laid out, until the
// first part has shown the real figure for this document and window.
const ESTIMATED_PX_PER_UNIT = 0.5;
// A style sheet of the document's own.
const DOCUMENT_STYLE_SHEET_RE = /<style[\s>/]/i;
// Content that could reach outside its part: floating, cleared, positioned or sized elements of the
// document's own HTML, and form controls and the like. The converter's own inline styles stay inside.
const CONTENT_REACHING_OUT =
  '[style]:not([style="margin:8px 0"], [style="max-width:100%;border-radius:7px"], [style="width:100%"], ' +
  '[style="font-size:12px;color:#64748b;margin:2px 0"], [style="font-size:20px"], ' +
  '[style="font-size:13px;font-weight:500"], [style="font-size:10px;color:#64748b"]), [align], [clear], ' +
  '[width]:not(img, video, iframe, svg, canvas, table, col, colgroup, td, th), textarea, select, input, button, ' +
  'nobr, xmp, listing, plaintext, marquee, math';
// Blocks a part may start with: their top margin is zero (see canStartPart).
const PART_START_ELEMENTS = new Set(['p', 'pre', 'blockquote', 'ul', 'ol', 'h1']);
const TABLE_BOX_CLASS = 'table-scroll';
// Media players within one viewport height above or below the window are brought in.
const MEDIA_NEAR_MARGIN = '100% 0px';
// Media start and end tags in the converter's HTML ("<video", "</AUDIO", ...).
const MEDIA_TAG_RE = /<(\/?)(video|audio)(?=[\s/>])/gi;
// What a media tag is renamed to; a document that already holds the new name keeps its tags.
const MEDIA_STAND_IN_SUFFIX = '-deferred';
const MEDIA_STAND_IN_NAME_RE = /(?:video|audio)-deferred/i;
// A renamed tag that landed in text, a comment or an attribute value instead of making an element.
const RENAMED_MEDIA_TAG_RE = /(<\/?(?:video|audio))-deferred/gi;
// Renamed start tags only.
const RENAMED_MEDIA_START_TAG_RE = /<(?:video|audio)-deferred/gi;
const MEDIA_STAND_INS = 'video-deferred, audio-deferred';
// Stand-ins that stay until their player nears the viewport: players whose size before loading
// is the same for all, so that the stand-in holds their place exactly (see the style sheet).
const DEFERRED_STAND_INS = 'video-deferred[controls]:not([width], [height], [poster]), audio-deferred[controls]';
const HTML_NAMESPACE = 'http://www.w3.org/1999/xhtml';
// Puts the parser of a fresh inert document in the state that parsing inside a div gives: in the
// body, no-quirks, and past the point where a frameset could replace the body (the hr sets that).
const PARSER_PRELUDE = '<!DOCTYPE html><body><hr>';

let insertion = null;
// The parts of the document shown (or being shown), each { el, units, first } with the number of its
// first top-level block.
let shownParts = [];
let mediaObserver = null;
// Where a player is made and disarmed before it replaces its stand-in: a document without a window.
const playerHolder = document.implementation.createHTMLDocument('').createElement('div');

// Shows html (the converter's output: a string, or its pieces in order) in the content area,
// replacing what it held. onNodes(root) is called with an inert element holding each slice's nodes
// after disarming and before they enter the page; onComplete(), when given, once every node is in
// place. The first slice holds at least blocksAtOnce top-level blocks (while there are that many).
// With awaitedUnits (the expected size of the whole), more HTML follows through extendDocumentHtml,
// and the insertion completes only after it. onPlaced(), when given, is called once blocksAtOnce
// blocks are in place, or all there are: at once, or when more HTML brings them. Returns the
// insertion, for extendDocumentHtml.
function insertDocumentHtml(html, onNodes, onComplete, blocksAtOnce = 0, awaitedUnits = 0, onPlaced = null) {
  stopDocumentInsertion();
  contentEl.textContent = '';
  const pieces = (typeof html === 'string' ? [html] : html).filter((piece) => piece !== '');
  const units = pieces.reduce((sum, piece) => sum + piece.length, 0);
  const parted = Math.max(units, awaitedUnits) >= LARGE_DOCUMENT_UNITS && !pieces.some(hasDocumentStyleSheet);
  if (parted) contentEl.classList.add('large');
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
  };
  shownParts = insertion.parts;
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

function hasMediaStandInName(html) {
  return MEDIA_STAND_IN_NAME_RE.test(html);
}

function renameMediaTags(html) {
  return html.replace(MEDIA_TAG_RE, '<$1$2' + MEDIA_STAND_IN_SUFFIX);
}

// Whether HTML is left to write, in the piece being written or in the pieces after it.
function htmlLeft(state) {
  return state.offset < state.html.length || state.pieces.length > 0;
}

// Puts in at once the blocks the caller asked for, as far as the HTML reaches, and tells it once
// they are in place (or all there will be).
function placeAtOnce(state) {
  while (state.blocks < state.blocksAtOnce && htmlLeft(state)) {
    writeHtml(state, STEP_UNITS);
    moveFinishedNodes(state);
  }
  if (state.blocks >= state.blocksAtOnce || !state.awaiting) tellPlaced(state);
}

function tellPlaced(state) {
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
  if (standIns.length > 0) observeStandIns(standIns, state.first);
}

// Whether a part may start with node: a block whose top margin is zero and which has a height of
// its own, so that no margin would have collapsed through it with the one before: the converter's
// blocks, and the boxes the page puts tables in. Blocks with attributes could be styled otherwise.
function canStartPart(node) {
  if (nodeType(node) !== Node.ELEMENT_NODE || elementNamespace(node) !== HTML_NAMESPACE) return false;
  const name = elementLocalName(node);
  const attributes = elementAttributes(node);
  if (name === 'div') return elementClassName(node) === TABLE_BOX_CLASS && attributes.length === 1;
  if (!PART_START_ELEMENTS.has(name)) return false;
  for (const attr of attributes) {
    if (attr.name !== 'id') return false;
  }
  // Headings, quotes and code have borders or padding; a paragraph or a list needs text.
  const boxed = name === 'h1' || name === 'pre' || name === 'blockquote';
  return boxed || nodeText(node).trim() !== '';
}

// Moves the slice's nodes into parts: the open part takes them until it has its share of the HTML,
// and a new one starts at the next block that can start one.
function placeInParts(state, units) {
  if (!state.plainParts && inertHolder.querySelector(CONTENT_REACHING_OUT)) {
    state.plainParts = true;
    const open = state.parts.at(-1);
    if (open) open.el.classList.add('plain');
  }
  const share = units / Math.max(1, inertHolder.childNodes.length);
  let part = state.parts.at(-1);
  let fragment = createFragment();
  let blocks = part ? part.first + part.el.childElementCount : 0;
  const close = () => {
    part.el.appendChild(fragment);
    estimatePartHeight(state, part);
  };
  for (const node of [...inertHolder.childNodes]) {
    if (!part || (part.units >= PART_UNITS && canStartPart(node))) {
      if (part) close();
      part = openPart(state, blocks);
      fragment = createFragment();
    }
    part.units += share;
    if (nodeType(node) === Node.ELEMENT_NODE) blocks++;
    fragment.appendChild(node);
  }
  close();
}

function openPart(state, first) {
  const el = createElement('div');
  el.className = state.plainParts ? 'part plain' : 'part';
  const part = { el, units: 0, first };
  state.parts.push(part);
  contentEl.appendChild(el);
  return part;
}

// The height a part stands in with until it is first laid out; it keeps its real height after.
function estimatePartHeight(state, part) {
  part.el.style.containIntrinsicSize = 'auto ' + Math.round(part.units * state.pxPerUnit) + 'px';
}

// Once the first part has been laid out (it is on the first screen), its height per HTML character
// replaces the guess in the estimates: narrow windows and dense text make parts taller.
function calibrateEstimates(state) {
  const first = state.parts[0];
  if (state.parts.length < 2) return;
  const sample = first.el.firstElementChild;
  if (first.el.classList.contains('plain') || !sample) {
    state.calibrated = true;
    return;
  }
  if (!elementCheckVisibility(sample, { contentVisibilityAuto: true })) return;
  state.calibrated = true;
  const height = first.el.getBoundingClientRect().height;
  if (!(height > 0) || !(first.units > 0)) return;
  state.pxPerUnit = height / first.units;
  for (const part of state.parts.slice(1)) estimatePartHeight(state, part);
}

// The document's top-level block at index (in document order), whether or not it is grouped in
// parts; undefined past the end. A document in parts is looked up by the parts' first block
// numbers: a list, or a count, of a large document's hundreds of thousands of blocks took longer
// than a frame.
function documentBlockAt(index) {
  if (!contentEl.classList.contains('large')) return contentEl.children[index];
  const part = shownParts[partHolding(index)];
  return part ? part.el.children[index - part.first] : undefined;
}

// The top-level block whose bottom is the first below line (or the last), and its position among
// the document's blocks: { index, block }. A large document's part is found first, then the block
// within it: a block of a part far from the window would have to be laid out to say where it is,
// and a search among all blocks would lay out a dozen parts.
function blockAtLine(line) {
  if (!contentEl.classList.contains('large')) {
    const index = firstEndingBelow(contentEl.children, line);
    return { index, block: contentEl.children[index] || null };
  }
  const part = shownParts[firstEndingBelow(shownParts.map((p) => p.el), line)];
  if (!part) return { index: 0, block: null };
  const within = firstEndingBelow(part.el.children, line);
  return { index: part.first + within, block: part.el.children[within] || null };
}

// The document's top-level blocks in order, whether or not it is grouped in parts (a list of every
// block: for looking through them, not for finding one).
function documentBlocks() {
  return contentEl.classList.contains('large') ? contentEl.querySelectorAll(':scope > .part > *') : contentEl.children;
}

// The position of the last part whose first block is at or before index.
function partHolding(index) {
  let low = 0;
  let high = shownParts.length - 1;
  while (low < high) {
    const middle = (low + high + 1) >> 1;
    if (shownParts[middle].first <= index) low = middle;
    else high = middle - 1;
  }
  return low;
}

// Inserts one slice, a task's worth of steps, then yields to the page and comes back, until all
// is in place.
function continueInsertion(state) {
  state.scheduled = false;
  if (state !== insertion) return;
  if (state.parted && !state.calibrated) calibrateEstimates(state);
  const started = performance.now();
  do {
    writeHtml(state, STEP_UNITS);
    moveFinishedNodes(state);
  } while (htmlLeft(state) && performance.now() - started < SLICE_BUDGET_MS);
  if (htmlLeft(state)) scheduleSlice(state);
  else if (!state.awaiting) completeInsertion(state);
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

// Puts every remaining node in place at once (printing needs the whole document).
function finishDocumentInsertion() {
  const state = insertion;
  if (!state) return;
  while (htmlLeft(state)) writeHtml(state, Infinity);
  moveFinishedNodes(state);
  // What is still being converted follows when it comes.
  if (!state.awaiting) completeInsertion(state);
}

// Drops the insertion in progress, if any, and every deferred media element with it. The caller
// replaces the content area.
function stopDocumentInsertion() {
  if (insertion) {
    if (insertion.channel) insertion.channel.port1.close();
    insertion = null;
  }
  inertHolder.textContent = '';
  shownParts = [];
  contentEl.removeAttribute('aria-busy');
  contentEl.classList.remove('large');
  if (mediaObserver) mediaObserver.disconnect();
}

// Every renamed start tag the parser has seen should have made an HTML element. One that did not
// (it stood in a comment, an attribute value, a textarea, foreign content or a template) left its
// new name in the slice: put the old one back there.
function accountForRenamedTags(state) {
  const made = (root) => [...root.querySelectorAll(MEDIA_STAND_INS)].filter((el) => elementNamespace(el) === HTML_NAMESPACE);
  state.tagsFound += made(inertHolder).length;
  const pending = made(state.parserDocument.body).length;
  if (state.tagsFound + pending < state.tagsWritten) state.tagsFound += repairRenamedTags(inertHolder);
}

// Gives every renamed tag under root that made no HTML element its old name back; returns how
// many start tags it found. In a template's content even the elements get their names back.
function repairRenamedTags(root, inTemplate = false) {
  let repaired = 0;
  const restore = (text) =>
    text.replace(RENAMED_MEDIA_TAG_RE, (match, tag) => {
      if (tag[1] !== '/') repaired++;
      return tag;
    });
  const show = NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT | NodeFilter.SHOW_COMMENT;
  const walker = nodeOwnerDocument(root).createTreeWalker(root, show);
  const misnamed = [];
  while (walker.nextNode()) {
    const node = walker.currentNode;
    if (nodeType(node) !== Node.ELEMENT_NODE) {
      if (node.data.includes(MEDIA_STAND_IN_SUFFIX)) node.data = restore(node.data);
      continue;
    }
    for (const attr of elementAttributes(node)) {
      if (attr.value.includes(MEDIA_STAND_IN_SUFFIX)) attr.value = restore(attr.value);
    }
    const name = elementLocalName(node);
    if (name === 'template') repaired += repairRenamedTags(templateContent(node), true);
    const standIn = name === 'video-deferred' || name === 'audio-deferred';
    if (standIn && (inTemplate || elementNamespace(node) !== HTML_NAMESPACE)) misnamed.push(node);
  }
  for (const el of misnamed) {
    const name = elementLocalName(el).slice(0, -MEDIA_STAND_IN_SUFFIX.length);
    const renamed = nodeOwnerDocument(el).createElementNS(elementNamespace(el), name);
    for (const attr of elementAttributes(el)) renamed.setAttributeNS(attr.namespaceURI, attr.name, attr.value);
    while (nodeFirstChild(el)) renamed.appendChild(nodeFirstChild(el));
    elementReplaceWith(el, renamed);
    repaired++;
  }
  return repaired;
}

// The player a stand-in holds the place of, made in the inert document and disarmed there: its
// attributes in their order, and the stand-in's children (sources, tracks, fallback text).
function playerFor(standIn) {
  const name = elementLocalName(standIn).slice(0, -MEDIA_STAND_IN_SUFFIX.length);
  const player = playerHolder.ownerDocument.createElement(name);
  for (const attribute of elementGetAttributeNames(standIn)) {
    player.setAttribute(attribute, elementGetAttribute(standIn, attribute));
  }
  while (nodeFirstChild(standIn)) player.appendChild(nodeFirstChild(standIn));
  playerHolder.replaceChildren(player);
  disarmFragment(playerHolder);
  player.remove();
  return player;
}

function observeStandIns(standIns, first) {
  if (!mediaObserver) mediaObserver = new IntersectionObserver(restoreNearMedia, { rootMargin: MEDIA_NEAR_MARGIN });
  for (const standIn of standIns) mediaObserver.observe(standIn);
  // The first screen's players are in place before it is first shown.
  if (first) {
    const near = [...standIns].filter((standIn) => elementRect(standIn).top < innerHeight * 2);
    near.forEach(restoreMedia);
  }
}

function restoreNearMedia(entries) {
  for (const entry of entries) {
    if (entry.isIntersecting) restoreMedia(entry.target);
  }
}

function restoreMedia(standIn) {
  mediaObserver.unobserve(standIn);
  if (nodeIsConnected(standIn)) elementReplaceWith(standIn, playerFor(standIn));
}
