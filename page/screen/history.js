// The window's history, as the page takes part in it. The host keeps the list of documents the window
// has shown and decides what Back and Forward show; the page
// - offers the moves: the two buttons at the left of the top bar (their state and tooltips come from
//   the host's "history" message), Alt+Left and Alt+Right, the browser keys and the mouse's back and
//   forward buttons, each posted to the host as "back" or "forward" (the page itself never navigates,
//   and the control's own moves are held back);
// - says where the reader left each document: when a document is about to be replaced, the reader's
//   place in it (see readersPlace in page/screen/reading-place.js) is posted with the delivery's
//   number, or with the page's own number for a document it read itself, and the host hands it back
//   when the reader returns;
// - keeps the documents it read itself (file picker, a drop on the page) while the window lives, since
//   the host cannot read them again, and shows one again when the host asks ("showOwn");
// - lands a document opened by a link with a fragment at the heading or anchor the fragment names,
//   found as the document's dialect names its headings, as soon as the slice that holds it is in
//   place (a large document arrives in slices; see page/insert/document-insertion.js).
//
// viewer.js calls installHistory at start-up.
//
// Uses: ANCHOR_PREFIX, TEXT_FILE_LABEL, beginLocalDocument, esc, forgetDocument, forgetPlacePath,
//   headingSlug, holdPlace, hostGeneration, hostView, letGoOfHostDocument, nodeIsConnected,
//   nodeText, readersPlace, rememberReadingPlace, renderDoc, returnToPlace, setShownEncoding,
//   showError, showFileName, showFilesOf, shownDocument, ui

// The moves, by key (with Alt and no other modifier), by the browser keys and by mouse button.
const HISTORY_ARROW_KEYS = { ArrowLeft: 'back', ArrowRight: 'forward' };
const HISTORY_BROWSER_KEYS = { BrowserBack: 'back', BrowserForward: 'forward' };
const HISTORY_MOUSE_BUTTONS = { 3: 'back', 4: 'forward' };

const TEXT_BACK_TO = '\u540e\u9000\u5230 '; // "后退到 "
const TEXT_FORWARD_TO = '\u524d\u8fdb\u5230 '; // "前进到 "
const TEXT_BACK_KEYS = '\uff08Alt+\u2190\uff09'; // "（Alt+←）"
const TEXT_FORWARD_KEYS = '\uff08Alt+\u2192\uff09'; // "（Alt+→）"
const TEXT_NOWHERE_BACK = '\u6ca1\u6709\u53ef\u540e\u9000\u7684\u6587\u6863'; // "没有可后退的文档"
const TEXT_NOWHERE_FORWARD = '\u6ca1\u6709\u53ef\u524d\u8fdb\u7684\u6587\u6863'; // "没有可前进的文档"
const TEXT_DOCUMENT_GONE = '\u6587\u6863\u4e0d\u5728\u4e86'; // "文档不在了"
const TEXT_GONE_DETAIL = '\u5b83\u5df2\u88ab\u5220\u9664\u3001\u79fb\u8d70\u6216\u6539\u540d\u3002\u6587\u4ef6\u56de\u6765\u540e\u4f1a\u81ea\u52a8\u663e\u793a\u3002'; // "它已被删除、移走或改名。文件回来后会自动显示。"
const TEXT_OWN_GONE_DETAIL = '\u9875\u9762\u5df2\u4e0d\u518d\u4fdd\u5b58\u5b83\u7684\u5185\u5bb9\uff0c\u8bf7\u91cd\u65b0\u9009\u62e9\u8fd9\u4e2a\u6587\u4ef6\u3002'; // "页面已不再保存它的内容，请重新选择这个文件。"

// The documents the page read itself, by the number the host knows them by: { md, name, encoding }
// (encoding as page/screen/encodings.js keeps it).
const ownDocuments = new Map();
let lastOwnNumber = 0;
// The number of the page's own document on screen; null when none is.
let shownOwnNumber = null;
// A link's fragment still to be landed at in the document being shown: { fragment, gathered,
// headingsSeen, slugs }; null when there is none.
let pendingLanding = null;

function postToHost(message) {
  if (hostView) hostView.postMessage(message);
}

function goInHistory(direction) {
  postToHost({ action: direction });
}

// The host's word on what Back and Forward would show: { back, forward }, names, empty for none.
function showHistoryState(msg) {
  const back = typeof msg.back === 'string' ? msg.back : '';
  const forward = typeof msg.forward === 'string' ? msg.forward : '';
  ui.backBtn.disabled = back === '';
  ui.forwardBtn.disabled = forward === '';
  ui.backBtn.title = back === '' ? TEXT_NOWHERE_BACK : TEXT_BACK_TO + back + TEXT_BACK_KEYS;
  ui.forwardBtn.title = forward === '' ? TEXT_NOWHERE_FORWARD : TEXT_FORWARD_TO + forward + TEXT_FORWARD_KEYS;
}

// The move a key press asks for, or null.
function historyKeyMove(event) {
  if (HISTORY_BROWSER_KEYS[event.key]) return HISTORY_BROWSER_KEYS[event.key];
  if (!event.altKey || event.ctrlKey || event.shiftKey || event.metaKey) return null;
  return HISTORY_ARROW_KEYS[event.key] || null;
}

// A document is about to leave the screen (another replaces it, or the welcome screen does): the host
// is told where the reader left it.
function reportLeftPlace() {
  rememberReadingPlace();
  if (!hostView || shownDocument === null) return;
  const place = JSON.stringify(readersPlace());
  if (hostGeneration !== null && hostGeneration > 0) {
    postToHost({ action: 'place', generation: hostGeneration, place });
  } else if (shownOwnNumber !== null) {
    postToHost({ action: 'place', own: shownOwnNumber, place });
  }
}

// A place the host handed back, as readersPlace made it; null when it is none.
function parsePlace(text) {
  if (typeof text !== 'string' || text === '') return null;
  let place;
  try {
    place = JSON.parse(text);
  } catch (e) {
    return null;
  }
  const whole = (value) => Number.isSafeInteger(value) && value >= 0;
  if (!place || typeof place !== 'object' || !whole(place.index) || !Array.isArray(place.path) ||
    !place.path.every(whole) || ![place.x, place.y, place.offset].every(Number.isFinite)) {
    return null;
  }
  return place;
}

// A document the page read itself: kept under a new number, which the host puts in its history.
function keepOwnDocument(md, name, encoding) {
  lastOwnNumber++;
  ownDocuments.set(lastOwnNumber, { md, name, encoding });
  shownOwnNumber = lastOwnNumber;
  postToHost({ action: 'ownDocument', own: lastOwnNumber, name });
}

// The reader chose another encoding for the page's own document on screen: it is kept so.
function keepOwnEncoding(md, encoding) {
  const kept = shownOwnNumber === null ? null : ownDocuments.get(shownOwnNumber);
  if (!kept) return;
  kept.md = md;
  kept.encoding = encoding;
}

// The host goes back or forward to a document the page read itself.
function showOwnDocumentAgain(msg) {
  const kept = ownDocuments.get(msg.own);
  const name = typeof msg.name === 'string' ? msg.name : '';
  reportLeftPlace();
  forgetPlacePath();
  letGoOfHostDocument();
  if (!kept) {
    showGoneDocument(name, TEXT_OWN_GONE_DETAIL);
    shownOwnNumber = null;
    return;
  }
  endLanding();
  beginLocalDocument();
  shownOwnNumber = msg.own;
  showFilesOf(null);
  const place = parsePlace(msg.place);
  setShownEncoding(kept.encoding.name, kept.encoding.bytes);
  renderDoc(kept.md, kept.name, place ? place.index + 1 : 0, () => returnToPlace(place));
}

// The error screen for a document that is not there, under its name.
function showGoneDocument(name, detail) {
  forgetDocument();
  showFileName(name);
  showError(TEXT_DOCUMENT_GONE, TEXT_FILE_LABEL + '<code>' + esc(name) + '<\/code><br>' + detail);
  ui.closeBtn.style.display = '';
}

function showMissingHostDocument(name) {
  showGoneDocument(name, TEXT_GONE_DETAIL);
}

// Lands the document about to be shown at the target of `fragment` (as written in the link, without
// "#"), once the slice that holds it is in place; the top when nothing is named so.
function expectLanding(fragment) {
  pendingLanding = null;
  if (typeof fragment !== 'string' || fragment === '') return;
  let decoded = fragment;
  try {
    decoded = decodeURIComponent(fragment);
  } catch (e) {
    // Kept as written, as a browser keeps a fragment it cannot decode.
  }
  pendingLanding = { fragment: decoded, gathered: null, headingsSeen: 0, slugs: new Map() };
}

// The element of a slice that the pending fragment names, by the rules in-document links follow (see
// page/insert/anchors.js): an element of that id or name, the same under the prefix kept for reserved names,
// the heading that had that id before the outline numbered it, or the heading whose text gives that
// anchor. formerIds and gathered are the document's so far, this slice included.
function landingTargetIn(slice, formerIds, gathered) {
  const landing = pendingLanding;
  const named = (value) => {
    const quoted = CSS.escape(value);
    return value ? slice.querySelector('[id="' + quoted + '"], a[name="' + quoted + '"]') : null;
  };
  const fragment = landing.fragment;
  const former = formerIds.get(fragment) || formerIds.get(ANCHOR_PREFIX + fragment);
  const found = named(fragment) || named(ANCHOR_PREFIX + fragment) || (former && named(former));
  if (found) return found;
  if (landing.gathered !== gathered) {
    landing.gathered = gathered;
    landing.headingsSeen = 0;
    landing.slugs = new Map();
  }
  const wanted = fragment.toLowerCase();
  for (; landing.headingsSeen < gathered.headings.length; landing.headingsSeen++) {
    const heading = gathered.headings[landing.headingsSeen];
    const slug = headingSlug(nodeText(heading));
    const seen = landing.slugs.get(slug) || 0;
    landing.slugs.set(slug, seen + 1);
    if ((seen === 0 ? slug : slug + '-' + seen) === wanted && slice.contains(heading)) {
      landing.headingsSeen++;
      return heading;
    }
  }
  return null;
}

// Called with each slice of the document being shown, before it enters the page.
function noticeLandingTarget(slice, formerIds, gathered) {
  if (pendingLanding === null) return;
  const target = landingTargetIn(slice, formerIds, gathered);
  if (!target) return;
  pendingLanding = null;
  // The slice enters the page when this call has returned.
  queueMicrotask(() => {
    if (!nodeIsConnected(target)) return;
    // Where a jump to an anchor puts it: below the top bar, by the page's scroll padding.
    const padding = parseFloat(getComputedStyle(document.documentElement).scrollPaddingTop) || 0;
    holdPlace({ x: 0, offset: padding }, target);
  });
}

// The document was shown whole without the fragment's target: it stays at the top.
function endLanding() {
  pendingLanding = null;
}

function installHistory() {
  if (!hostView) return;
  ui.historyNav.hidden = false;
  ui.backBtn.addEventListener('click', () => goInHistory('back'));
  ui.forwardBtn.addEventListener('click', () => goInHistory('forward'));
  // Taken before anything else sees them: the control would otherwise try its own history.
  window.addEventListener('keydown', (event) => {
    const move = historyKeyMove(event);
    if (!move) return;
    event.preventDefault();
    if (!event.repeat) goInHistory(move);
  }, true);
  for (const type of ['mousedown', 'auxclick']) {
    window.addEventListener(type, (event) => {
      if (HISTORY_MOUSE_BUTTONS[event.button]) event.preventDefault();
    }, true);
  }
  window.addEventListener('mouseup', (event) => {
    const move = HISTORY_MOUSE_BUTTONS[event.button];
    if (!move) return;
    event.preventDefault();
    goInHistory(move);
  }, true);
}
