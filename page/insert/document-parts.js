// A large document's top-level blocks grouped in parts, and where a block of the document is.
//
// Its top-level blocks are grouped in parts (div.part, two or three screens each) that skip
// style and layout while far from the viewport, standing in with an estimate of their height
// until first laid out (the "large" class on the content area; see the style sheet). The
// browser walks every box it holds in each frame: a few thousand parts cost little there, where
// hundreds of thousands of blocks, even skipped one by one, made every frame slower than the
// last. A part changes nothing that shows: it starts only at a block whose top margin is zero
// and that has a height of its own, so that no margin would have collapsed across its edge; and
// from the first slice that holds anything that could reach outside its part (floats,
// positioned or fixed-width elements of the document's own HTML) on, parts contain nothing. A
// document with a style sheet of its own is not grouped at all: its selectors could tell.
// Skipped text is still found by the browser's search, a jump to a heading lays out what it
// lands on, and printing lays out everything.
//
// The reader's place and its return find blocks through documentBlockAt, blockAtLine and
// documentBlocks, whether or not the document is grouped.
//
// Uses: HTML_NAMESPACE, contentEl, createElement, createFragment, elementAttributes,
//   elementCheckVisibility, elementClassName, elementLocalName, elementNamespace, firstEndingBelow,
//   inertHolder, nodeText, nodeType

// From this size of HTML, a document is grouped in parts.
const LARGE_DOCUMENT_UNITS = 128 * 1024;
// HTML characters per part (two or three screens).
const PART_UNITS = 16 * 1024;
// Parts of a huge document, about, at most: the browser's work in every frame that changes the
// layout (finding which parts near the window, style passes over the content area) grows with
// their number, and at 50 MiB (4,000 parts) took frames of 150 ms; a huge document's parts are
// larger instead (about ten screens at 50 MiB), and a part still lays out within a frame.
const MOST_PARTS = 768;
// A part's height per HTML character, for its estimate before it is first laid out, until the
// first part has shown the real figure for this document and window.
const ESTIMATED_PX_PER_UNIT = 0.5;
// Content that could reach outside its part: floating, cleared, positioned or sized elements of the
// document's own HTML, and form controls and the like. The converter's own inline styles stay inside.
const CONTENT_REACHING_OUT =
  '[style]:not([style="margin:8px 0"], [style="max-width:100%;border-radius:7px"], [style="width:100%"], ' +
  '[style="font-size:12px;color:#64748b;margin:2px 0"], [style="font-size:20px"], ' +
  '[style="font-size:13px;font-weight:500"], [style="font-size:10px;color:#64748b"]), [align], [clear], ' +
  '[width]:not(img, video, iframe, svg, canvas, table, col, colgroup, td, th), textarea, select, input, button, ' +
  'nobr, xmp, listing, plaintext, marquee, math';
// The reader's text size, which parts carry in place of the content area (see page/screen/reading-look.js):
// a new part takes the area's.
const PART_TEXT_SIZE_ATTRIBUTE = 'data-text-size';
const PART_SELECTOR = '#content.large > .part';
// Blocks a part may start with: their top margin is zero (see canStartPart).
const PART_START_ELEMENTS = new Set(['p', 'pre', 'blockquote', 'ul', 'ol', 'h1']);
const TABLE_BOX_CLASS = 'table-scroll';
// The parts of the document shown (or being shown), each { el, units, first } with the number of its
// first top-level block.
let shownParts = [];

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
    if (!part || (part.units >= state.partUnits && canStartPart(node))) {
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

// HTML characters per part of a document of units characters (or of its Markdown text, when its
// HTML is still to come).
function partUnitsFor(units) {
  return Math.max(PART_UNITS, Math.ceil(units / MOST_PARTS));
}

function openPart(state, first) {
  const el = createElement('div');
  el.className = state.plainParts ? 'part plain' : 'part';
  const textSize = contentEl.getAttribute(PART_TEXT_SIZE_ATTRIBUTE);
  if (textSize !== null) el.setAttribute(PART_TEXT_SIZE_ATTRIBUTE, textSize);
  // Until the document shows, its parts arrive behind what is shown (see page/insert/document-insertion.js).
  el.hidden = !state.shown;
  const part = { el, units: 0, first };
  state.parts.push(part);
  contentEl.appendChild(el);
  return part;
}

// The part of a large document that holds el, or null.
function partEnclosing(el) {
  return el.closest(PART_SELECTOR);
}

// Watches el with observer through the part that holds it (el itself outside parts): the browser
// works out where every observed element is in each frame that changes the layout, and a large
// document has tens of thousands of elements that wait for the window, a few thousand parts.
// elementsOf maps each observed element to the elements it stands for.
function watchThroughPart(observer, elementsOf, el) {
  const watched = partEnclosing(el) ?? el;
  const elements = elementsOf.get(watched);
  if (elements) {
    elements.push(el);
  } else {
    elementsOf.set(watched, [el]);
    observer.observe(watched);
  }
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
// block: for looking through them, not for finding one). Hidden parts are arriving or leaving.
function documentBlocks() {
  return contentEl.classList.contains('large') ? contentEl.querySelectorAll(':scope > .part:not([hidden]) > *') : contentEl.children;
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
