// The reader's text size and reading width: the top bar's "Aa" panel and Ctrl+= / Ctrl+- / Ctrl+0.
//
// Both are the page's own styles, not the browser control's zoom, so the top bar, the panels and the
// dialogs keep their size. Each is an attribute on the content area itself (one on the root would
// have the browser restyle far more than the content), and the text size also on each part of a
// large document (see showTextSizeInParts); present only when the reader chose something other than
// the default (so that a reader who changes nothing sees the page exactly as before), and the style
// sheet reads it on screen only: paper keeps the print look. Both are remembered in local storage
// like the theme, across documents and runs.
//
// A change keeps the reader's place: the place is read before the attribute changes (the layout is
// clean then, so reading it costs nothing), and the reader's element is put back once the next frame
// has laid out the new size (see holdPlace in page/screen/reading-place.js), so nothing forces a
// layout in between. Parts of a large document far from the window skip style and layout, so a
// change costs only what is near.
//
// viewer.js calls installReadingLook at start-up, before the first screen.
//
// Uses: contentEl, elementOfPlace, elementRect, holdPlace, nextTask, nodeIsConnected, partEnclosing,
//   readersPlace, shownDocument, shownParts, ui

const TEXT_SIZE_STORAGE_KEY = 'md-text-size';
const READING_WIDTH_STORAGE_KEY = 'md-reading-width';
// The five text sizes, smallest first, as the style sheet names them; the second is the page's own.
const TEXT_SIZE_STEPS = ['small', 'normal', 'large', 'larger', 'largest'];
const DEFAULT_TEXT_SIZE = 'normal';
// The reading widths, narrowest first; "normal" is the page's own 860 px.
const READING_WIDTHS = ['narrow', 'normal', 'wide', 'full'];
const DEFAULT_READING_WIDTH = 'normal';
const TEXT_SIZE_ATTRIBUTE = 'data-text-size';
const READING_WIDTH_ATTRIBUTE = 'data-reading-width';
// The keys with Ctrl: larger ("=" and "+", the latter with Shift or on the number pad), smaller, default.
const LARGER_KEYS = ['=', '+'];
const SMALLER_KEYS = ['-', '_'];
const DEFAULT_SIZE_KEY = '0';
// A large document's parts that take a new text size in the change's own task: the one at the
// reader's place and the next, which fill the window (a part is two screens or more); and how many
// more each later task takes.
const PARTS_RESIZED_AT_ONCE = 2;
const PARTS_RESIZED_PER_TASK = 12;

const lookPanel = document.getElementById('lookPanel');
const lookBtn = document.getElementById('lookBtn');
const textSizeButtons = [...lookPanel.querySelectorAll('[data-text-size]')];
const readingWidthButtons = [...lookPanel.querySelectorAll('[data-reading-width]')];

let textSize = DEFAULT_TEXT_SIZE;
let readingWidth = DEFAULT_READING_WIDTH;
// The place to return to after the next frame (changes before it keep the first one's), and what
// ends the hold on the place of the change before.
let placeToKeep = null;
let endPlaceHold = null;
// Counts the changes of size, so that a slice of an earlier one stops once a later one has begun.
let partsResizeJob = 0;

function storedChoice(key, allowed, fallback) {
  try {
    const value = localStorage.getItem(key);
    return allowed.includes(value) ? value : fallback;
  } catch (e) {
    return fallback;
  }
}

function storeChoice(key, value) {
  try {
    localStorage.setItem(key, value);
  } catch (e) {
    // No storage: the choice lasts for this run only.
  }
}

// Sets an element's attribute for a choice, or takes it away for the default.
function setChoiceAttribute(el, attribute, value, fallback) {
  if (value === fallback) el.removeAttribute(attribute);
  else el.setAttribute(attribute, value);
}

// Sets the content area's attribute for a choice and shows it pressed in the panel.
function showChoice(attribute, value, fallback, buttons, dataKey) {
  setChoiceAttribute(contentEl, attribute, value, fallback);
  for (const button of buttons) button.setAttribute('aria-pressed', String(button.dataset[dataKey] === value));
}

// A large document's parts carry the text size themselves (the content area's size is not inherited
// there; see the style sheet), and take a new one a slice at a time: the browser restyles every
// part whose size changes, far or near, and all of them at once took longer than a frame. The part
// at the reader's place and its neighbours change at once, the others outward from there in the
// tasks after; a part far away is skipped by layout, so until its turn nothing shows it.
function showTextSizeInParts(size, nearEl) {
  const job = ++partsResizeJob;
  if (!contentEl.classList.contains('large')) return;
  const parts = shownParts.map((part) => part.el);
  const near = nearEl ? parts.indexOf(partEnclosing(nearEl)) : -1;
  const order = partsOutwardFrom(Math.max(0, near), parts.length).map((index) => parts[index]);
  // Each slice is restyled and laid out in its own task (by asking for a height): left to the next
  // frame, its work would come on top of the frame's own.
  const resize = (slice) => {
    for (const el of slice) setChoiceAttribute(el, TEXT_SIZE_ATTRIBUTE, size, DEFAULT_TEXT_SIZE);
    return contentEl.offsetHeight;
  };
  resize(order.slice(0, PARTS_RESIZED_AT_ONCE));
  (async () => {
    for (let at = PARTS_RESIZED_AT_ONCE; at < order.length; at += PARTS_RESIZED_PER_TASK) {
      await nextTask();
      if (job !== partsResizeJob) return;
      resize(order.slice(at, at + PARTS_RESIZED_PER_TASK).filter(nodeIsConnected));
    }
  })();
}

// The indices 0 .. count-1 by their distance from start, the nearer first.
function partsOutwardFrom(start, count) {
  const order = [start];
  for (let step = 1; order.length < count; step++) {
    if (start + step < count) order.push(start + step);
    if (start - step >= 0) order.push(start - step);
  }
  return order.slice(0, count);
}

// Applies a look (either part may be left as it is) and keeps the reader's place in the document.
function setReadingLook(size = textSize, width = readingWidth) {
  if (size === textSize && width === readingWidth) return;
  if (endPlaceHold) endPlaceHold();
  endPlaceHold = null;
  const keeping = placeToKeep !== null;
  if (!keeping && shownDocument !== null) placeToKeep = placeInText();
  textSize = size;
  readingWidth = width;
  showChoice(TEXT_SIZE_ATTRIBUTE, size, DEFAULT_TEXT_SIZE, textSizeButtons, 'textSize');
  showChoice(READING_WIDTH_ATTRIBUTE, width, DEFAULT_READING_WIDTH, readingWidthButtons, 'readingWidth');
  showTextSizeInParts(size, placeToKeep ? placeToKeep.el : null);
  storeChoice(TEXT_SIZE_STORAGE_KEY, size);
  storeChoice(READING_WIDTH_STORAGE_KEY, width);
  if (keeping || placeToKeep === null) return;
  requestAnimationFrame(() => {
    const place = placeToKeep;
    placeToKeep = null;
    if (nodeIsConnected(place.el)) endPlaceHold = keepPlaceInText(place);
  });
}

// The reader's place for a change of look: the element at the window's top line and how far down
// it the line falls, as a share of its height (its text wraps anew, so a share holds where an
// offset would not). Null at the document's top, which stays there by itself.
function placeInText() {
  const place = readersPlace();
  const el = elementOfPlace(place);
  if (place.y === 0 || !el) return null;
  const box = elementRect(el);
  const line = ui.topbar.getBoundingClientRect().bottom;
  return { x: place.x, el, share: box.height > 0 ? (line - box.top) / box.height : 0 };
}

// Once the new look is laid out: the same share of the element at the top line, held there while
// the parts of a large document near the window are laid out anew (see holdPlace in
// page/screen/reading-place.js).
function keepPlaceInText(place) {
  const line = ui.topbar.getBoundingClientRect().bottom;
  return holdPlace({ x: place.x, offset: line - place.share * elementRect(place.el).height }, place.el);
}

// One step larger (+1) or smaller (-1), within the five.
function stepTextSize(direction) {
  const at = TEXT_SIZE_STEPS.indexOf(textSize) + direction;
  if (at >= 0 && at < TEXT_SIZE_STEPS.length) setReadingLook(TEXT_SIZE_STEPS[at]);
}

function isLookPanelOpen() {
  return !lookPanel.hidden;
}

function setLookPanelOpen(open) {
  lookPanel.hidden = !open;
  lookBtn.setAttribute('aria-expanded', String(open));
}

// Ctrl+= / Ctrl+- / Ctrl+0 change the page's text, never the control's zoom.
function onReadingLookKey(event) {
  if (event.key === 'Escape' && isLookPanelOpen()) {
    setLookPanelOpen(false);
    lookBtn.focus();
    return;
  }
  if (!event.ctrlKey || event.altKey || event.metaKey) return;
  if (LARGER_KEYS.includes(event.key)) stepTextSize(1);
  else if (SMALLER_KEYS.includes(event.key)) stepTextSize(-1);
  else if (event.key === DEFAULT_SIZE_KEY) setReadingLook(DEFAULT_TEXT_SIZE);
  else return;
  event.preventDefault();
}

function closeLookPanelOnOutsideClick(event) {
  if (!isLookPanelOpen() || lookPanel.contains(event.target) || lookBtn.contains(event.target)) return;
  setLookPanelOpen(false);
}

function installReadingLook() {
  textSize = DEFAULT_TEXT_SIZE;
  readingWidth = DEFAULT_READING_WIDTH;
  const size = storedChoice(TEXT_SIZE_STORAGE_KEY, TEXT_SIZE_STEPS, DEFAULT_TEXT_SIZE);
  const width = storedChoice(READING_WIDTH_STORAGE_KEY, READING_WIDTHS, DEFAULT_READING_WIDTH);
  showChoice(TEXT_SIZE_ATTRIBUTE, size, DEFAULT_TEXT_SIZE, textSizeButtons, 'textSize');
  showChoice(READING_WIDTH_ATTRIBUTE, width, DEFAULT_READING_WIDTH, readingWidthButtons, 'readingWidth');
  textSize = size;
  readingWidth = width;
  lookBtn.addEventListener('click', () => setLookPanelOpen(!isLookPanelOpen()));
  for (const button of textSizeButtons) button.addEventListener('click', () => setReadingLook(button.dataset.textSize));
  for (const button of readingWidthButtons) {
    button.addEventListener('click', () => setReadingLook(undefined, button.dataset.readingWidth));
  }
  document.addEventListener('keydown', onReadingLookKey);
  document.addEventListener('click', closeLookPanelOnOutsideClick);
}
