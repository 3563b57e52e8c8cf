// The viewer page around the converter: top bar, screens, statistics, outline, themes, about
// dialog, the four ways a document arrives (host message, file picker, drop, "file" query
// parameter) and the page side of the host channel.
//
// A document is untrusted. Its HTML is rendered, but nothing in it may run or take over the page:
// - the page's Content-Security-Policy admits only this script and the console script, by hash;
// - the converter's fragment is parsed in an inert document and disarmed before it enters the
//   page, slice by slice (see page/document-insertion.js and disarmFragment): no scripts, handlers,
//   script URLs, meta refresh, base, plugins, scriptable frames, form targets, animations of links
//   or references to other SVG documents, popovers and modal dialogs; ids and names that would
//   shadow the page's own are kept under a prefix, and so are the references to them (see
//   page/anchors.js); its style sheets select only inside the document, whose boxes stay inside the
//   content area (see page/document-styles.js);
// - the page reads and changes a document's nodes only through the platform's own getters and
//   methods (see page/dom-access.js): the document's forms can replace their properties;
// - everything the page needs later (elements, the host channel, document methods) is looked up
//   once here at start-up, before any document exists, so a document cannot stand in for it.
//
// This script follows page/markdown.js, page/anchors.js, page/links.js, page/document-insertion.js,
// page/diagrams.js, page/code-blocks.js, page/dom-access.js, page/conversion.js,
// page/document-styles.js, page/picture-reload.js, page/history.js, page/files-panel.js,
// page/encodings.js and page/export.js in the same script element and uses their functions (esc,
// parse, the anchor and document link functions, insertDocumentHtml and its companions,
// redrawDiagramsForTheme, the code blocks' scheduler, convertDocument, the platform's own accessors,
// confineDocumentStyles, refreshPictures, the history's, the files panel's, the encodings' and the
// export's).
// Its string literals write non-ASCII text as \u escapes and closing tags as "<\/".

const THEME_STORAGE_KEY = 'md-theme';
const DEFAULT_THEME = 'dark';
// The Markdown dialect: 'classic' (the page's own converter) or 'github' (CommonMark with GitHub's
// extensions), remembered like the theme; the "dialect" query parameter chooses for one visit.
const DIALECT_STORAGE_KEY = 'md-dialect';
const DEFAULT_DIALECT = 'classic';
const DIALECT_PARAMETER = 'dialect';
const TITLE_SUFFIX = ' - Quillpane';
const PAGE_TITLE = 'Pagewright';
const HEADING_ID_PREFIX = 'heading-';
const TOTOP_THRESHOLD_PX = 300;
// The one theme with a light background; in every other (an unknown one shows the dark colours),
// pictures show their sources for a dark colour scheme.
const LIGHT_THEME = 'light';
// Media conditions that always hold and that never do, standing in for the colour scheme's.
const MEDIA_ALWAYS = '(min-width: 0px)';
const MEDIA_NEVER = '(not (min-width: 0px))';
const THEMED_SOURCES = 'picture > source[media]';
// How long the content of a document built again must keep its size before the reader's place is
// no longer held, and what the reader does to scroll away from it.
const PLACE_HOLD_MS = 1000;
// How deep into a block the reader's place is looked for.
const PLACE_MOST_DEPTH = 16;
const READER_SCROLL_EVENTS = ['wheel', 'keydown', 'pointerdown', 'touchstart'];
// Documents shorter than this (in UTF-16 units) are converted by the classic converter on the page's
// thread: below it parse takes less than the worker's start and answer, and no longer than a frame
// may take on a slow machine (see bench/large-document.js).
const CLASSIC_ON_PAGE_UNITS = 256 * 1024;

// The page's own texts. String literals hold non-ASCII text as \u escapes; each comment shows it.
const TEXT_CHARACTERS = ' \u5b57\u7b26 \u00b7 '; // " 字符 · "
const TEXT_WORDS = ' \u8bcd \u00b7 '; // " 词 · "
const TEXT_LINES = ' \u884c \u00b7 '; // " 行 · "
const TEXT_LOADING = '\u52a0\u8f7d\u4e2d\u2026'; // "加载中…"
const TEXT_LOADING_FILE = '\u6b63\u5728\u52a0\u8f7d '; // "正在加载 "
const TEXT_ELLIPSIS = ' \u2026'; // " …"
const TEXT_WARNING_ICON = '\u26a0\ufe0f'; // "⚠️"
const TEXT_NO_DOCUMENT = '\u672a\u52a0\u8f7d\u6587\u6863'; // "未加载文档"
const TEXT_LOAD_FAILED = '\u65e0\u6cd5\u52a0\u8f7d\u6587\u6863'; // "无法加载文档"
const TEXT_FILE_LABEL = '\u6587\u4ef6\uff1a'; // "文件："
const TEXT_ERROR_LABEL = '\u9519\u8bef\uff1a'; // "错误："
const TEXT_CHECK_PATH = '\u8bf7\u786e\u8ba4\u6587\u4ef6\u8def\u5f84\u6b63\u786e\uff0c\u4e14\u670d\u52a1\u5668\u5141\u8bb8\u8bbf\u95ee\u8be5\u6587\u4ef6\u3002'; // "请确认文件路径正确，且服务器允许访问该文件。"
const TEXT_CORS_HINT = '\u76f4\u63a5\u6253\u5f00 HTML \u6587\u4ef6\uff08file://\uff09\u53ef\u80fd\u53d7 CORS \u9650\u5236\uff0c\u5efa\u8bae\u7528\u672c\u5730\u670d\u52a1\u5668\u3002'; // "直接打开 HTML 文件（file://）可能受 CORS 限制，建议用本地服务器。"
const TEXT_BOOK_ICON = '\ud83d\udcd6'; // "📖"
const TEXT_TAGLINE = '\u8f7b\u91cf\u7ea7 Markdown \u6587\u6863\u67e5\u770b\u5668'; // "轻量级 Markdown 文档查看器"
const TEXT_FEATURES = '\u652f\u6301\u56fe\u7247\u3001\u97f3\u9891\u3001\u89c6\u9891\u3001\u9644\u4ef6\u5185\u5d4c\u7684\u5bcc\u5a92\u4f53 Markdown'; // "支持图片、音频、视频、附件内嵌的富媒体 Markdown"
const TEXT_USAGE_1 = '\u7528\u6cd51\uff1a'; // "用法1："
const TEXT_USAGE_2 = '\u7528\u6cd52\uff1a\u76f4\u63a5\u62d6\u62fd .md \u6587\u4ef6\u5230\u9875\u9762'; // "用法2：直接拖拽 .md 文件到页面"
const TEXT_USAGE_3 = '\u7528\u6cd53\uff1a\u70b9\u51fb\u4e0b\u65b9\u533a\u57df\u9009\u62e9\u6587\u4ef6'; // "用法3：点击下方区域选择文件"
const TEXT_FOLDER_ICON = '\ud83d\udcc2'; // "📂"
const TEXT_DROP_HERE = '\u62d6\u62fd .md \u6587\u4ef6\u5230\u6b64\u5904\uff0c\u6216\u70b9\u51fb\u9009\u62e9'; // "拖拽 .md 文件到此处，或点击选择"
const TEXT_DROP_TYPES = '\u652f\u6301 .md / .markdown / .txt'; // "支持 .md / .markdown / .txt"

// Characters the URL parser drops or ignores, removed before a URL's scheme is judged.
const URL_NOISE_RE = /[\u0000-\u0020\u007f]+/g;
// URL schemes that run script when followed.
const SCRIPT_URL_RE = /^(?:javascript|vbscript):/;
// Script URLs anywhere in an animation value list (values="a;javascript:...").
const SCRIPT_URL_ANYWHERE_RE = /(?:javascript|vbscript):/;
// Ids the outline gives to headings; a document may not claim them for other elements.
const OUTLINE_ID_RE = /^heading-\d+$/;
// A picture source's condition on the system's colour scheme, "(prefers-color-scheme: dark)".
const COLOR_SCHEME_FEATURE_RE = /\(\s*prefers-color-scheme\s*:\s*(light|dark)\s*\)/gi;

// Elements a document may not keep: they run script, redirect or re-target the page, embed
// plugins, or hold content that only script could bring to life. None of them shows anything in
// a page that runs script.
const DOCUMENT_REMOVED_ELEMENTS = 'script,meta,base,template,noscript,object,embed,applet,frame,frameset,portal';
// SVG animation attributes whose values can set an attribute to a URL.
const ANIMATION_VALUE_ATTRIBUTES = ['values', 'from', 'to', 'by'];

// SVG animations that can set an attribute of another element, and the attributes of a link they
// may not set: an address or a target put in after the links were settled would take the page away.
const SVG_ATTRIBUTE_ANIMATIONS = 'set, animate, animateTransform';
const LINK_ANIMATED_ATTRIBUTES = ['href', 'target'];
// What an animation names as its attribute: its local name, after any namespace prefix.
const ANIMATED_NAME_PREFIX_RE = /^.*:/;
// Elements that would show in the top layer when invoked, and the command that opens a dialog there.
const POPOVERS = '[popover]';
const TOP_LAYER_COMMAND = 'show-modal';
// The attributes by which an SVG use element shows another element.
const USE_REFERENCE_ATTRIBUTES = ['href', 'xlink:href'];
// (SVG_NAMESPACE and pageTheme come from page/diagrams.js.)

// The page document's own members (the page document itself never holds a name that shadows them).
const setDocumentTitle = Object.getOwnPropertyDescriptor(Document.prototype, 'title').set.bind(document);
const createElement = document.createElement.bind(document);
const createFragment = document.createDocumentFragment.bind(document);
const pageBody = document.body;

// The page's own elements.
const ui = {
  topbar: document.getElementById('topbar'),
  historyNav: document.getElementById('historyNav'),
  backBtn: document.getElementById('backBtn'),
  forwardBtn: document.getElementById('forwardBtn'),
  closeBtn: document.getElementById('closeBtn'),
  logoBtn: document.getElementById('logoBtn'),
  filename: document.getElementById('filename'),
  meta: document.getElementById('meta'),
  encodingBtn: document.getElementById('encodingBtn'),
  encodingList: document.getElementById('encodingList'),
  btnDark: document.getElementById('btnDark'),
  btnLight: document.getElementById('btnLight'),
  btnHC: document.getElementById('btnHC'),
  btnClassic: document.getElementById('btnClassic'),
  btnGithub: document.getElementById('btnGithub'),
  printBtn: document.querySelector('#topbar [data-action="print"]'),
  exportMenu: document.getElementById('exportMenu'),
  exportBtn: document.getElementById('exportBtn'),
  exportList: document.getElementById('exportList'),
  tocBtn: document.getElementById('tocBtn'),
  toc: document.getElementById('toc'),
  tocList: document.getElementById('tocList'),
  tabOutline: document.getElementById('tabOutline'),
  tabFiles: document.getElementById('tabFiles'),
  fileTree: document.getElementById('fileTree'),
  totop: document.getElementById('totop'),
  filePicker: document.getElementById('filePicker'),
  aboutOverlay: document.getElementById('aboutOverlay'),
  aboutDialog: document.getElementById('aboutDialog'),
  aboutClose: document.querySelector('#aboutDialog .about-close'),
  qrCodeImg: document.getElementById('qrCodeImg'),
  qrCodePlaceholder: document.getElementById('qrCodePlaceholder'),
  qrData: document.getElementById('qrData'),
};
// The about dialog's controls, in Tab order.
const aboutControls = [...ui.aboutDialog.querySelectorAll('a[href], button')];

const THEME_BUTTONS = [
  [ui.btnDark, 'dark'],
  [ui.btnLight, 'light'],
  [ui.btnHC, 'hc'],
];
const DIALECT_BUTTONS = [
  [ui.btnClassic, 'classic'],
  [ui.btnGithub, 'github'],
];

// Names a document's ids and names may not take: the page's element ids (including those of its
// screens and the library holders, which only the stand-alone page carries), and the page globals
// that are read by name but exist only sometimes.
const reservedNames = new Set(['_qrCodeUri', 'chrome', 'status', 'dropzone', ...DIAGRAM_LIBRARY_GLOBALS, ...LIBRARY_HOLDER_IDS]);
document.querySelectorAll('[id]').forEach((el) => reservedNames.add(el.id));

// The host channel, present only inside the web view.
const hostView = window.chrome && window.chrome.webview ? window.chrome.webview : null;

// Where a document's HTML is disarmed: a document without a window, in which nothing loads or runs.
const inertHolder = document.implementation.createHTMLDocument('').createElement('div');
// A document that never holds content: the names any document has, which a document's ids and
// names may not shadow. (The page itself would also count the names of slices already shown.)
const namesOfEveryDocument = inertHolder.ownerDocument;

let contentEl = null;
// The media conditions that a document wrote on its picture sources for a colour scheme.
const writtenSourceMedia = new WeakMap();
// The host's number of the delivery the page shows, while it shows one; null otherwise.
let hostGeneration = null;
// The host's deliveries the page has closed (the close button, or a document of its own in their
// place): a live reload of one that was already on its way is not shown.
const closedGenerations = new Set();
// The dialect new renders use, and the one the document on screen was converted in.
let chosenDialect = DEFAULT_DIALECT;
let documentDialect = DEFAULT_DIALECT;
// The document on screen (or arriving), so that a switch of dialect can show it again: { md, name }.
let shownDocument = null;

function isReservedName(value) {
  return reservedNames.has(value) || value in namesOfEveryDocument || OUTLINE_ID_RE.test(value);
}

function isScriptUrl(value, anywhere) {
  const compact = value.replace(URL_NOISE_RE, '').toLowerCase();
  return anywhere ? SCRIPT_URL_ANYWHERE_RE.test(compact) : SCRIPT_URL_RE.test(compact);
}

// Whether an attribute of a document element may stay.
function keepsAttribute(attr) {
  const name = attr.name.toLowerCase();
  if (name.startsWith('on') && name !== 'open') return false;
  if (name === 'action' || name === 'formaction') return false;
  // A document's dialog never opens modally: the top layer lies over the page's own bars and dialogs.
  if (name === 'command' && attr.value.trim().toLowerCase() === TOP_LAYER_COMMAND) return false;
  return !isScriptUrl(attr.value, ANIMATION_VALUE_ATTRIBUTES.includes(name));
}

// Whether an SVG animation element would change a link's address or target.
function animatesLink(el) {
  if (elementNamespace(el) !== SVG_NAMESPACE) return false;
  const name = elementGetAttribute(el, 'attributeName');
  if (name === null) return false;
  return LINK_ANIMATED_ATTRIBUTES.includes(name.trim().toLowerCase().replace(ANIMATED_NAME_PREFIX_RE, ''));
}

// A use element shows a part of the document itself, never a document from elsewhere.
function dropExternalReferences(use) {
  if (elementNamespace(use) !== SVG_NAMESPACE) return;
  for (const name of USE_REFERENCE_ATTRIBUTES) {
    const value = elementGetAttribute(use, name);
    if (value !== null && addressKind(value) !== 'fragment') elementRemoveAttribute(use, name);
  }
}

// A document's popover stays hidden: shown, it would lie in the top layer, over the page's own bars
// and dialogs.
function keepOutOfTopLayer(el) {
  elementRemoveAttribute(el, 'popover');
  elementSetAttribute(el, 'hidden', '');
}

// Makes a parsed document fragment harmless in place (see the top of this file).
function disarmFragment(root) {
  root.querySelectorAll(DOCUMENT_REMOVED_ELEMENTS).forEach(elementRemove);
  for (const animation of root.querySelectorAll(SVG_ATTRIBUTE_ANIMATIONS)) {
    if (animatesLink(animation)) elementRemove(animation);
  }
  root.querySelectorAll('use').forEach(dropExternalReferences);
  root.querySelectorAll(POPOVERS).forEach(keepOutOfTopLayer);
  renameReservedAnchors(root);
  confineDocumentStyles(root);
  const elements = root.getElementsByTagName('*');
  for (let i = 0; i < elements.length; i++) {
    const el = elements[i];
    if (!elementHasAttributes(el)) continue;
    const attrs = elementAttributes(el);
    for (let j = attrs.length - 1; j >= 0; j--) {
      if (!keepsAttribute(attrs[j])) elementRemoveAttributeNode(el, attrs[j]);
    }
  }
  // A frame shows its page, but with no script, forms, pop-ups or top navigation: srcdoc content
  // would otherwise run under this page's policy, and remote pages are not the document's to run
  // either.
  root.querySelectorAll('iframe').forEach((frame) => elementSetAttribute(frame, 'sandbox', ''));
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

// Whether a UTF-16 unit is white space as the script's "\s" and trim understand it.
function isWhiteSpace(unit) {
  if (unit <= 0x20) return unit === 0x20 || (unit >= 0x09 && unit <= 0x0d);
  if (unit < 0xa0) return false;
  return unit === 0xa0 || unit === 0x1680 || (unit >= 0x2000 && unit <= 0x200a) || unit === 0x2028 ||
    unit === 0x2029 || unit === 0x202f || unit === 0x205f || unit === 0x3000 || unit === 0xfeff;
}

// Words (runs between white space), lines (LF count + 1) and UTF-8 bytes of a text, in one pass:
// a large document has hundreds of thousands of words. A lone surrogate counts as the 3 bytes of
// U+FFFD that an encoder writes for it.
function measureText(text) {
  let words = 0;
  let lines = 1;
  let bytes = 0;
  let inWord = false;
  for (let i = 0; i < text.length; i++) {
    const unit = text.charCodeAt(i);
    if (unit === 0x0a) lines++;
    const space = isWhiteSpace(unit);
    if (!space && !inWord) words++;
    inWord = !space;
    if (unit < 0x80) {
      bytes += 1;
    } else if (unit < 0x800) {
      bytes += 2;
    } else if (unit >= 0xd800 && unit <= 0xdbff && (text.charCodeAt(i + 1) & 0xfc00) === 0xdc00) {
      bytes += 4;
      i++;
    } else {
      bytes += 3;
    }
  }
  return { words, lines, bytes };
}

function formatSize(bytes) {
  const kb = bytes / 1024;
  return kb > 1024 ? (kb / 1024).toFixed(2) + ' MB' : kb.toFixed(1) + ' KB';
}

// The top bar's statistics: UTF-16 code units, white-space separated words and LF count + 1 of the
// decoded text, and the file's size in bytes (see page/encodings.js).
function documentStatistics(md) {
  const { words, lines, bytes } = measureText(md);
  return md.length + TEXT_CHARACTERS + words + TEXT_WORDS + lines + TEXT_LINES + formatSize(shownFileSize(md, bytes));
}

// A document's picture chooses between sources for a light and a dark colour scheme by the page's
// theme, not by the system's: each such condition is replaced by one that holds exactly when the
// theme's colour scheme is the one it names, and put in again when the theme changes.
function followThemeInPictures(root) {
  const dark = pageTheme() !== LIGHT_THEME;
  const holds = (match, scheme) => ((scheme.toLowerCase() === 'dark') === dark ? MEDIA_ALWAYS : MEDIA_NEVER);
  for (const source of root.querySelectorAll(THEMED_SOURCES)) {
    const written = writtenSourceMedia.get(source) ?? elementGetAttribute(source, 'media');
    const themed = written.replace(COLOR_SCHEME_FEATURE_RE, holds);
    if (themed === written) continue;
    writtenSourceMedia.set(source, written);
    elementSetAttribute(source, 'media', themed);
  }
}

function setTheme(t) {
  if (t === DEFAULT_THEME) pageBody.removeAttribute('data-theme');
  else pageBody.setAttribute('data-theme', t);
  followThemeInPictures(contentEl);
  for (const [button, theme] of THEME_BUTTONS) {
    button.classList.toggle('active', theme === t);
    button.setAttribute('aria-pressed', String(theme === t));
  }
  try {
    localStorage.setItem(THEME_STORAGE_KEY, t);
  } catch (e) {
    // No storage (opaque origin, disabled storage): the theme lasts for this run only.
  }
  redrawDiagramsForTheme();
}

function storedTheme() {
  try {
    return localStorage.getItem(THEME_STORAGE_KEY) || DEFAULT_THEME;
  } catch (e) {
    return DEFAULT_THEME;
  }
}

function setDialectButtons(dialect) {
  for (const [button, value] of DIALECT_BUTTONS) button.setAttribute('aria-pressed', String(value === dialect));
}

function storedDialect() {
  try {
    return localStorage.getItem(DIALECT_STORAGE_KEY) === 'github' ? 'github' : DEFAULT_DIALECT;
  } catch (e) {
    return DEFAULT_DIALECT;
  }
}

// The reader's choice: remembered, and the document on screen shown again in it at the reader's
// place, as a live reload does.
function setDialect(dialect) {
  try {
    localStorage.setItem(DIALECT_STORAGE_KEY, dialect);
  } catch (e) {
    // No storage: the choice lasts for this run only.
  }
  setDialectButtons(dialect);
  if (dialect === chosenDialect) return;
  chosenDialect = dialect;
  // The classic dialect's worker starts with the first large document: start-up stays as light.
  if (dialect === 'github') prepareConversion(dialect);
  if (!shownDocument) return;
  endLanding();
  const place = readersPlace();
  renderDoc(shownDocument.md, shownDocument.name, place.index + 1, () => returnToPlace(place));
}

// The dialect of the document on screen: 'classic' or 'github'.
function shownDialect() {
  return documentDialect;
}

// Shows a document in the chosen dialect. Both dialects convert in a worker (see
// page/conversion.js), so a document shows a moment later, a large one with its opening part first
// and then in pieces; a small document in the classic dialect is converted here and at once, which
// is sooner than the worker's answer. Where no worker can be had, the classic converter runs here.
// onShown() is called once the first screen is in place, with at least blocksAtOnce top-level blocks.
function renderDoc(md, name, blocksAtOnce = 0, onShown = null) {
  shownDocument = { md, name };
  cancelConversion();
  const dialect = chosenDialect === 'github' ? 'github' : 'classic';
  if (dialect === 'classic' && md.length < CLASSIC_ON_PAGE_UNITS) {
    showDocumentHtml(md, name, parse(md), 'classic', blocksAtOnce);
    if (onShown) onShown();
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
      showDocumentHtml(md, name, parse(md), 'classic', blocksAtOnce);
      if (onShown) onShown();
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

// A large document arrives in slices (see page/document-insertion.js): the name, statistics and
// the first screen at once; the outline grows and the title follows the first h1 as slices come,
// so that when the last is in, everything equals what showing it in one pass gives. At least
// blocksAtOnce top-level blocks are in place when it returns, or when onPlaced() is called. Its
// code blocks are finished as they near the window, in the dialect's way (see
// page/code-blocks.js). html is a string or its pieces; with awaitedUnits, more of the document's
// HTML follows (see extendDocumentHtml); returns the insertion.
function showDocumentHtml(md, name, html, dialect, blocksAtOnce, awaitedUnits = 0, onPlaced = null) {
  documentDialect = dialect;
  showFileName(name || '');
  ui.closeBtn.style.display = '';
  ui.exportMenu.style.display = '';
  ui.meta.textContent = documentStatistics(md);
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

// The host delivers the shown document again whenever its file changes on disk, under the same number:
// then the reader's place is kept (rendering never touches the theme or an open outline). Every
// document the host opens gets a new number, even the same file again or one of the same name from
// another folder, and starts at the top, or where the host says (see page/history.js): at the place
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

function buildTOC() {
  ui.tocList.textContent = '';
  const formerIds = new Map();
  const count = appendOutline(contentEl.querySelectorAll('h1, h2, h3'), 0, formerIds);
  showPanelButton(count > 0);
  pointDocumentLinks(formerIds);
}

// Numbers the headings from firstIndex on and appends their outline entries; returns their count.
// formerIds gathers the ids the numbering replaced, mapped to the ids that replaced them.
function appendOutline(headings, firstIndex, formerIds) {
  const entries = createFragment();
  headings.forEach((heading, i) => {
    const id = HEADING_ID_PREFIX + (firstIndex + i);
    const formerId = elementId(heading);
    if (formerId && !formerIds.has(formerId)) formerIds.set(formerId, id);
    elementSetAttribute(heading, 'id', id);
    const entry = createElement('a');
    entry.href = '#' + id;
    entry.textContent = nodeText(heading);
    if (elementLocalName(heading) === 'h2') entry.className = 'l2';
    else if (elementLocalName(heading) === 'h3') entry.className = 'l3';
    entries.appendChild(entry);
  });
  ui.tocList.appendChild(entries);
  return headings.length;
}

function setTocOpen(open) {
  if (open) panelOpened();
  ui.toc.style.display = open ? 'block' : 'none';
  ui.tocBtn.setAttribute('aria-expanded', String(open));
}

function toggleTOC() {
  setTocOpen(ui.toc.style.display !== 'block');
}

function closeTocOnOutsideClick(event) {
  if (ui.toc.style.display !== 'block') return;
  if (ui.toc.contains(event.target) || event.target === ui.tocBtn) return;
  setTocOpen(false);
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

function showLoading(msg) {
  leaveDocument();
  contentEl.innerHTML = '<div id="status"><div class="spinner"><\/div><div class="msg">' + (msg || TEXT_LOADING) +
    '<\/div><\/div>';
}

function showError(title, detail) {
  leaveDocument();
  contentEl.innerHTML = '<div id="status"><div class="icon">' + TEXT_WARNING_ICON + '<\/div><div class="msg"><strong>' +
    esc(title) + '<\/strong><\/div><div class="sub">' + detail + '<\/div><\/div>';
}

const WELCOME_HTML = '<div id="status">' +
  '<div class="icon">' + TEXT_BOOK_ICON + '<\/div>' +
  '<div class="msg"><strong>Quillpane<\/strong><br>' + TEXT_TAGLINE + '<\/div>' +
  '<div class="sub">' + TEXT_FEATURES + '<\/div>' +
  '<div style="margin-top:20px;font-size:13px;color:#64748b;line-height:2">' +
  TEXT_USAGE_1 + '<code>pagewright.html?file=readme.md<\/code><br>' + TEXT_USAGE_2 + '<br>' + TEXT_USAGE_3 + '<\/div>' +
  '<div id="dropzone" role="button" tabindex="0">' +
  '<div class="dicon">' + TEXT_FOLDER_ICON + '<\/div><div class="dtxt">' + TEXT_DROP_HERE + '<\/div>' +
  '<div class="dsub">' + TEXT_DROP_TYPES + '<\/div><\/div>' +
  '<\/div>';

// The file name in the top bar; its tooltip shows the name whole when the bar has to cut it.
function showFileName(text) {
  ui.filename.textContent = text;
  ui.filename.title = text;
}

// Takes what is left of a closed document out of the top bar, the outline and the title.
function forgetDocument() {
  ui.meta.textContent = '';
  forgetEncoding();
  ui.tocList.textContent = '';
  setTocOpen(false);
  ui.tocBtn.style.display = 'none';
  setDocumentTitle(PAGE_TITLE);
}

// Lets Enter and Space work an element that acts as a button without being one.
function activateOnKeys(element, action) {
  element.addEventListener('keydown', (event) => {
    if (event.key !== 'Enter' && event.key !== ' ') return;
    event.preventDefault();
    action();
  });
}

function showWelcome() {
  rememberReadingPlace();
  forgetPlacePath();
  hostGeneration = null;
  shownOwnNumber = null;
  showFilesOf(null);
  ui.closeBtn.style.display = 'none';
  ui.exportMenu.style.display = 'none';
  showFileName(TEXT_NO_DOCUMENT);
  forgetDocument();
  leaveDocument();
  contentEl.innerHTML = WELCOME_HTML;
  const dropzone = contentEl.querySelector('#dropzone');
  dropzone.addEventListener('click', () => ui.filePicker.click());
  activateOnKeys(dropzone, () => ui.filePicker.click());
  dropzone.addEventListener('dragover', (event) => {
    event.preventDefault();
    dropzone.classList.add('over');
  });
  dropzone.addEventListener('dragleave', () => dropzone.classList.remove('over'));
  // The file itself is opened by the page-wide drop handler, once per drop.
  dropzone.addEventListener('drop', (event) => {
    event.preventDefault();
    dropzone.classList.remove('over');
  });
}

function callbackClose() {
  // The button disappears with the document; its focus goes on to the welcome screen's drop zone.
  const hadFocus = document.activeElement === ui.closeBtn;
  reportLeftPlace();
  closeHostDocument();
  showWelcome();
  if (hadFocus) contentEl.querySelector('#dropzone').focus();
}

// What had the focus before the about dialog took it.
let focusBeforeAbout = null;

function isAboutOpen() {
  return ui.aboutDialog.style.display !== 'none';
}

function showAbout() {
  const opening = !isAboutOpen();
  ui.aboutOverlay.style.display = 'block';
  ui.aboutDialog.style.display = 'flex';
  if (typeof window._qrCodeUri === 'string') {
    ui.qrCodeImg.src = window._qrCodeUri;
    ui.qrCodeImg.style.display = 'block';
    ui.qrCodePlaceholder.style.display = 'none';
  }
  if (opening) {
    focusBeforeAbout = document.activeElement;
    ui.aboutClose.focus();
  }
}

function hideAbout() {
  const closing = isAboutOpen();
  ui.aboutOverlay.style.display = 'none';
  ui.aboutDialog.style.display = 'none';
  if (closing) returnFocusFromAbout();
}

// Back to the top-bar control that opened the dialog, else to the logo (never into the document,
// whose elements' methods the document may have replaced).
function returnFocusFromAbout() {
  const previous = focusBeforeAbout;
  focusBeforeAbout = null;
  (previous && ui.topbar.contains(previous) ? previous : ui.logoBtn).focus();
}

// While the about dialog is open, Tab and Shift+Tab go round its own controls only.
function keepFocusInAbout(event) {
  if (event.key !== 'Tab' || !isAboutOpen()) return;
  const first = aboutControls[0];
  const last = aboutControls[aboutControls.length - 1];
  const active = document.activeElement;
  let next = null;
  if (!ui.aboutDialog.contains(active)) next = event.shiftKey ? last : first;
  else if (event.shiftKey && active === first) next = last;
  else if (!event.shiftKey && active === last) next = first;
  if (next) {
    event.preventDefault();
    next.focus();
  }
}

// Keeps --topbar-height at the bar's height, which grows when a narrow window wraps the bar: the
// outline panel opens just below it and anchor jumps stop short of it.
function followTopbarHeight() {
  const root = document.documentElement;
  new ResizeObserver(() => root.style.setProperty('--topbar-height', ui.topbar.offsetHeight + 'px')).observe(ui.topbar);
}

// Reads the first file's bytes, then decodes them as the host would (see page/encodings.js).
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

function installEventBindings() {
  ui.closeBtn.addEventListener('click', callbackClose);
  ui.logoBtn.addEventListener('click', showAbout);
  activateOnKeys(ui.logoBtn, showAbout);
  for (const [button, theme] of THEME_BUTTONS) button.addEventListener('click', () => setTheme(theme));
  for (const [button, dialect] of DIALECT_BUTTONS) button.addEventListener('click', () => setDialect(dialect));
  // The print button and Ctrl+P print once every code block, formula and diagram is finished. A
  // print started otherwise cannot be waited for: it still prints the whole document, with the
  // blocks finished so far.
  ui.printBtn.addEventListener('click', printWhenComplete);
  document.addEventListener('keydown', (event) => {
    if (!isPrintShortcut(event)) return;
    event.preventDefault();
    printWhenComplete();
  });
  window.addEventListener('beforeprint', () => {
    finishDocumentInsertion();
    applyArrivedResults();
  });
  installExportMenu(ui.exportBtn, ui.exportList);
  ui.tocBtn.addEventListener('click', toggleTOC);
  ui.totop.addEventListener('click', () => window.scrollTo({ top: 0, behavior: 'smooth' }));
  ui.aboutOverlay.addEventListener('click', hideAbout);
  ui.aboutClose.addEventListener('click', hideAbout);
  document.addEventListener('click', closeTocOnOutsideClick);
  window.addEventListener('scroll', () => {
    ui.totop.style.display = window.scrollY > TOTOP_THRESHOLD_PX ? 'flex' : 'none';
  });
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') hideAbout();
  });
  document.addEventListener('keydown', keepFocusInAbout);
  ui.filePicker.addEventListener('change', () => {
    handleFiles(ui.filePicker.files);
    ui.filePicker.value = '';
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    handleFiles(event.dataTransfer && event.dataTransfer.files);
  });
  // A form in a document never submits: it would navigate the page away.
  document.addEventListener('submit', (event) => event.preventDefault(), true);
}

function startPage() {
  contentEl = document.getElementById('content');
  const qrUri = ui.qrData ? ui.qrData.getAttribute('data-src') : '';
  if (qrUri) window._qrCodeUri = qrUri;
  setTheme(storedTheme());
  installReadingLook();
  installCloseView();
  installReadingPlace();
  const query = new URLSearchParams(location.search);
  const visitDialect = query.get(DIALECT_PARAMETER);
  chosenDialect = visitDialect === 'github' || visitDialect === 'classic' ? visitDialect : storedDialect();
  setDialectButtons(chosenDialect);
  if (chosenDialect === 'github') prepareConversion(chosenDialect);
  installEventBindings();
  installEncodingList();
  installHistory();
  installFilesPanel();
  followTopbarHeight();
  const file = query.get('file');
  if (file) {
    loadFromQuery(file);
    return;
  }
  showWelcome();
  if (hostView) {
    hostView.addEventListener('message', onHostMessage);
    hostView.postMessage({ action: 'ready' });
  }
}

startPage();
