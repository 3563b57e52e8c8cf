// Pictures and diagrams up close: a view over the whole page.
//
// A click on a picture of the document (or Enter or Space on it: each such picture takes the focus)
// shows it at its natural size, fitted to the window when larger; the wheel zooms about the pointer,
// a drag pans, the arrow keys go to the previous and next picture, and Esc or a click beside the
// picture closes the view. A picture inside a link is the link's: it keeps following it and never
// opens here. A drawn diagram opens the same way from a small button at its corner, as its SVG,
// which is drawn anew at every zoom and so stays sharp.
//
// The view lies outside the content area, whose paint containment would clip it, and takes the
// theme's colours. It shows the picture from the address the document's picture has already loaded,
// so the browser has its bytes, and usually its decoded image, at hand. A diagram's copy keeps its
// drawing's style sheet, confined to the view's stage instead of the content area.
//
// viewer.js calls installCloseView at start-up; page/enrich/diagrams.js calls offerDiagramCloseView
// for each drawing it shows, and show-document.js offerPicturesCloseView for each slice of a document.
//
// Uses: DOCUMENT_SCOPE_END, DOCUMENT_SCOPE_START, contentEl, createElement, elementGetAttribute,
//   elementLocalName, elementRect, elementRemoveAttribute, elementSetAttribute, imageCurrentSrc,
//   imageNaturalWidth, nodeIsConnected, nodeText, ownGetter, ownMethod

// The document's pictures that open up close: those outside links.
const CLOSE_VIEW_PICTURES = 'img';
const CLOSE_VIEW_BUTTON_CLASS = 'diagram-close-view';
// A diagram's drawing on screen (see page/enrich/diagrams.js).
const CLOSE_VIEW_DRAWING = ':scope > .diagram-drawing > svg';
// The free space kept around a picture fitted to the window, and below it for the view's bar.
const CLOSE_VIEW_MARGIN_PX = 24;
const CLOSE_VIEW_BAR_PX = 56;
// Zoom: per wheel notch (100 pixels of wheel), per key or button press, and its bounds as multiples
// of the natural size (never below what fits, if that is smaller).
const WHEEL_ZOOM_BASE = 1.25;
const STEP_ZOOM = 1.5;
const MOST_ZOOM = 16;
const LEAST_ZOOM = 0.1;
// A press that moves further than this is a drag, not a click.
const DRAG_SLOP_PX = 4;
// Numbers in an SVG viewBox.
const VIEW_BOX_NUMBERS_RE = /[-+]?(?:\d+\.?\d*|\.\d+)(?:e[-+]?\d+)?/gi;

const TEXT_CLOSE_VIEW_OF = ' / '; // between the picture's number and the count
const TEXT_CLOSE_VIEW_DIAGRAM = '\u56fe\u8868'; // "图表"
const TEXT_CLOSE_VIEW_BUTTON = '\u653e\u5927\u67e5\u770b\u56fe\u8868'; // "放大查看图表"

// (imageNaturalWidth and imageCurrentSrc come from page/enrich/picture-reload.js.)
const imageNaturalHeight = ownGetter(HTMLImageElement.prototype, 'naturalHeight');
const elementClosest = ownMethod(Element.prototype, 'closest');
const nodeClone = ownMethod(Node.prototype, 'cloneNode');

const closeViewEl = document.getElementById('closeView');
const closeViewStage = document.getElementById('closeViewStage');
const closeViewCount = document.getElementById('closeViewCount');
const closeViewButtons = {
  prev: document.getElementById('closeViewPrev'),
  next: document.getElementById('closeViewNext'),
  zoomOut: document.getElementById('closeViewOut'),
  fit: document.getElementById('closeViewFit'),
  zoomIn: document.getElementById('closeViewIn'),
  close: document.getElementById('closeViewClose'),
};
const closeViewControls = [...closeViewEl.querySelectorAll('button')];

// What the view shows: the document's pictures (or the one diagram) it steps through, the one shown,
// the element standing for it in the stage, its natural size and where it lies in the stage.
const closeView = {
  items: [],
  at: 0,
  shown: null,
  width: 0,
  height: 0,
  scale: 1,
  x: 0,
  y: 0,
  focusBefore: null,
  drag: null,
  dragged: false,
};

function isCloseViewOpen() {
  return !closeViewEl.hidden;
}

// Whether a picture of the document opens up close: not inside a link, which it keeps following.
function opensUpClose(img) {
  return elementLocalName(img) === 'img' && elementClosest(img, 'a[href]') === null;
}

// Each picture that opens up close takes the focus, so that the keyboard reaches it.
function offerPicturesCloseView(root) {
  for (const img of root.querySelectorAll(CLOSE_VIEW_PICTURES)) {
    if (opensUpClose(img)) elementSetAttribute(img, 'tabindex', '0');
  }
}

// The small button at a drawn diagram's corner.
function offerDiagramCloseView(pre) {
  if (pre.querySelector(':scope > .' + CLOSE_VIEW_BUTTON_CLASS)) return;
  const button = createElement('button');
  button.type = 'button';
  button.className = CLOSE_VIEW_BUTTON_CLASS;
  button.title = TEXT_CLOSE_VIEW_BUTTON;
  button.setAttribute('aria-label', TEXT_CLOSE_VIEW_BUTTON);
  button.addEventListener('click', () => openCloseView([pre], 0));
  pre.appendChild(button);
}

// The window's room for the picture: the stage less the margins and the bar.
function closeViewRoom() {
  return {
    width: Math.max(1, window.innerWidth - 2 * CLOSE_VIEW_MARGIN_PX),
    height: Math.max(1, window.innerHeight - CLOSE_VIEW_MARGIN_PX - CLOSE_VIEW_BAR_PX),
  };
}

function fittedScale() {
  const room = closeViewRoom();
  return Math.min(1, room.width / closeView.width, room.height / closeView.height);
}

// Places the shown element at the natural size times scale, its top left corner at (x, y).
function placeShown() {
  const style = closeView.shown.style;
  style.width = closeView.width * closeView.scale + 'px';
  style.height = closeView.height * closeView.scale + 'px';
  style.transform = `translate(${closeView.x}px, ${closeView.y}px)`;
}

// Fitted to the window (natural size when it fits), in the middle of the room.
function fitShown() {
  if (!closeView.shown || closeView.width === 0) return;
  const room = closeViewRoom();
  closeView.scale = fittedScale();
  closeView.x = CLOSE_VIEW_MARGIN_PX + (room.width - closeView.width * closeView.scale) / 2;
  closeView.y = CLOSE_VIEW_MARGIN_PX + (room.height - closeView.height * closeView.scale) / 2;
  placeShown();
}

// Zooms by factor about the stage point (px, py), which stays where it is.
function zoomShown(factor, px = window.innerWidth / 2, py = (window.innerHeight - CLOSE_VIEW_BAR_PX) / 2) {
  if (!closeView.shown || closeView.width === 0) return;
  const least = Math.min(LEAST_ZOOM, fittedScale());
  const scale = Math.min(MOST_ZOOM, Math.max(least, closeView.scale * factor));
  const ratio = scale / closeView.scale;
  closeView.x = px - (px - closeView.x) * ratio;
  closeView.y = py - (py - closeView.y) * ratio;
  closeView.scale = scale;
  placeShown();
}

function panShown(dx, dy) {
  closeView.x += dx;
  closeView.y += dy;
  placeShown();
}

// The natural size of a diagram: its viewBox, else its drawn size.
function diagramSize(svg) {
  const numbers = (elementGetAttribute(svg, 'viewBox') || '').match(VIEW_BOX_NUMBERS_RE);
  if (numbers && numbers.length === 4 && Number(numbers[2]) > 0 && Number(numbers[3]) > 0) {
    return { width: Number(numbers[2]), height: Number(numbers[3]) };
  }
  const box = elementRect(svg);
  return { width: Math.max(1, box.width), height: Math.max(1, box.height) };
}

// A copy of a diagram's drawing for the stage: its style sheets confined to the stage instead of
// the content area, its size given by the view.
function diagramCopy(svg) {
  const copy = nodeClone(svg, true);
  for (const style of copy.querySelectorAll('style')) {
    const text = nodeText(style);
    if (text.startsWith(DOCUMENT_SCOPE_START) && text.endsWith(DOCUMENT_SCOPE_END)) {
      style.textContent = '@scope (#closeViewStage) {\n' + text.slice(DOCUMENT_SCOPE_START.length);
    } else {
      style.textContent = '';
    }
  }
  elementRemoveAttribute(copy, 'style');
  elementSetAttribute(copy, 'width', '100%');
  elementSetAttribute(copy, 'height', '100%');
  return copy;
}

// Shows the item at position at of the view's items.
function showCloseViewItem(at) {
  const item = closeView.items[at];
  closeView.at = at;
  closeViewStage.textContent = '';
  closeView.width = 0;
  let shown;
  if (elementLocalName(item) === 'img') {
    shown = createElement('img');
    shown.alt = elementGetAttribute(item, 'alt') || '';
    shown.draggable = false;
    closeView.width = imageNaturalWidth(item);
    closeView.height = imageNaturalHeight(item);
    if (closeView.width === 0) {
      shown.addEventListener('load', () => {
        closeView.width = shown.naturalWidth;
        closeView.height = shown.naturalHeight;
        fitShown();
      }, { once: true });
    }
    shown.src = imageCurrentSrc(item) || elementGetAttribute(item, 'src') || '';
  } else {
    const svg = item.querySelector(CLOSE_VIEW_DRAWING);
    if (!svg) return;
    const size = diagramSize(svg);
    closeView.width = size.width;
    closeView.height = size.height;
    shown = createElement('div');
    shown.className = 'cv-diagram';
    shown.appendChild(diagramCopy(svg));
  }
  shown.classList.add('cv-shown');
  closeView.shown = shown;
  closeViewStage.appendChild(shown);
  fitShown();
  const many = closeView.items.length > 1;
  closeViewCount.textContent = elementLocalName(item) === 'img'
    ? (many ? at + 1 + TEXT_CLOSE_VIEW_OF + closeView.items.length : '') : TEXT_CLOSE_VIEW_DIAGRAM;
  closeViewButtons.prev.hidden = !many;
  closeViewButtons.next.hidden = !many;
  closeViewButtons.prev.disabled = at === 0;
  closeViewButtons.next.disabled = at === closeView.items.length - 1;
}

function openCloseView(items, at) {
  if (items.length === 0) return;
  if (!isCloseViewOpen()) closeView.focusBefore = document.activeElement;
  closeView.items = items;
  closeViewEl.hidden = false;
  showCloseViewItem(at);
  closeViewButtons.close.focus();
}

// Opens a picture of the document, among the others that open up close.
function openPictureCloseView(img) {
  const pictures = [...contentEl.querySelectorAll(CLOSE_VIEW_PICTURES)].filter(opensUpClose);
  const at = pictures.indexOf(img);
  if (at >= 0) openCloseView(pictures, at);
}

function closeCloseView() {
  if (!isCloseViewOpen()) return;
  closeViewEl.hidden = true;
  closeViewStage.textContent = '';
  closeView.shown = null;
  closeView.items = [];
  const before = closeView.focusBefore;
  closeView.focusBefore = null;
  if (before && nodeIsConnected(before)) before.focus({ preventScroll: true });
}

function stepCloseView(direction) {
  const at = closeView.at + direction;
  if (at >= 0 && at < closeView.items.length) showCloseViewItem(at);
}

// Keys inside the view; they go no further (the page's own keys, text size among them, wait).
function onCloseViewKey(event) {
  const keys = {
    Escape: closeCloseView,
    ArrowLeft: () => stepCloseView(-1),
    ArrowRight: () => stepCloseView(1),
    '+': () => zoomShown(STEP_ZOOM),
    '=': () => zoomShown(STEP_ZOOM),
    '-': () => zoomShown(1 / STEP_ZOOM),
    '0': fitShown,
  };
  if (event.key === 'Tab') {
    keepFocusInCloseView(event);
    return;
  }
  const action = keys[event.key];
  if (!action || event.altKey || event.metaKey) return;
  event.preventDefault();
  event.stopPropagation();
  action();
}

// Tab and Shift+Tab go round the view's own buttons.
function keepFocusInCloseView(event) {
  const controls = closeViewControls.filter((button) => !button.hidden && !button.disabled);
  const first = controls[0];
  const last = controls[controls.length - 1];
  const active = document.activeElement;
  let next = null;
  if (!closeViewEl.contains(active)) next = event.shiftKey ? last : first;
  else if (event.shiftKey && active === first) next = last;
  else if (!event.shiftKey && active === last) next = first;
  if (next) {
    event.preventDefault();
    next.focus();
  }
}

function onCloseViewWheel(event) {
  event.preventDefault();
  const notches = event.deltaMode === WheelEvent.DOM_DELTA_LINE ? event.deltaY / 3 : event.deltaY / 100;
  zoomShown(Math.pow(WHEEL_ZOOM_BASE, -notches), event.clientX, event.clientY);
}

function onCloseViewPointerDown(event) {
  closeView.dragged = false;
  if (event.button !== 0 || !closeView.shown || !closeView.shown.contains(event.target)) {
    closeView.drag = null;
    return;
  }
  event.preventDefault();
  closeView.drag = { id: event.pointerId, x: event.clientX, y: event.clientY, startX: event.clientX, startY: event.clientY };
  closeViewStage.setPointerCapture(event.pointerId);
}

function onCloseViewPointerMove(event) {
  const drag = closeView.drag;
  if (!drag || drag.id !== event.pointerId) return;
  if (Math.hypot(event.clientX - drag.startX, event.clientY - drag.startY) > DRAG_SLOP_PX) closeView.dragged = true;
  panShown(event.clientX - drag.x, event.clientY - drag.y);
  drag.x = event.clientX;
  drag.y = event.clientY;
}

function onCloseViewPointerUp(event) {
  if (closeView.drag && closeView.drag.id === event.pointerId) closeView.drag = null;
}

// A click beside the picture closes the view; a click on it, or the end of a drag, does not.
function onCloseViewClick(event) {
  if (event.target !== closeViewStage || closeView.dragged) return;
  closeCloseView();
}

function onContentClick(event) {
  const target = event.target;
  if (event.button !== 0 || !(target instanceof HTMLImageElement) || !opensUpClose(target)) return;
  event.preventDefault();
  openPictureCloseView(target);
}

function onContentKey(event) {
  const target = event.target;
  if (event.key !== 'Enter' && event.key !== ' ') return;
  if (!(target instanceof HTMLImageElement) || !opensUpClose(target)) return;
  event.preventDefault();
  openPictureCloseView(target);
}

function installCloseView() {
  contentEl.addEventListener('click', onContentClick);
  contentEl.addEventListener('keydown', onContentKey);
  // Taken before anything else while the view is open, wherever the focus is.
  document.addEventListener('keydown', (event) => {
    if (isCloseViewOpen()) onCloseViewKey(event);
  }, true);
  closeViewStage.addEventListener('wheel', onCloseViewWheel, { passive: false });
  closeViewStage.addEventListener('pointerdown', onCloseViewPointerDown);
  closeViewStage.addEventListener('pointermove', onCloseViewPointerMove);
  closeViewStage.addEventListener('pointerup', onCloseViewPointerUp);
  closeViewStage.addEventListener('pointercancel', onCloseViewPointerUp);
  closeViewStage.addEventListener('click', onCloseViewClick);
  closeViewButtons.prev.addEventListener('click', () => stepCloseView(-1));
  closeViewButtons.next.addEventListener('click', () => stepCloseView(1));
  closeViewButtons.zoomOut.addEventListener('click', () => zoomShown(1 / STEP_ZOOM));
  closeViewButtons.zoomIn.addEventListener('click', () => zoomShown(STEP_ZOOM));
  closeViewButtons.fit.addEventListener('click', fitShown);
  closeViewButtons.close.addEventListener('click', closeCloseView);
  window.addEventListener('resize', () => {
    if (isCloseViewOpen()) fitShown();
  });
}
