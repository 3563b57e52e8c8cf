// A document's links and addresses.
//
// Links: a document's link never takes the page away, never opens a window of its own scheme and
// never reaches a data: page or a protocol handler. In-page anchors stay in the page; web and mail
// links open in a new window (in the program the host hands them to the user's browser or mail
// program); links of any other scheme lose their address and stay as text.
//
// Addresses beside the document: inside the program, a document the host delivered has its relative
// references (single addresses, every candidate of a source set, every url() of an inline style)
// rewritten under the document base that the host answers with the files beside the document:
//     <origin>/doc/<generation>/<levels up>/<path>
// The generation is the host's number for the delivery: the host answers only the shown document's,
// so a document shown before never gets the next one's files, and a new document never meets an old
// one's in the browser's caches. The levels up are how far the reference climbs above the document's folder
// with "..": the URL parser would fold such segments into any base it is given, so the reference is
// resolved against a deep virtual base first and the climb carried as a number. Documents from the
// file picker, a drop or the "file" parameter keep their references as written. A delivery of the
// shown document again adds a reload count to the addresses (see page/enrich/picture-reload.js).
//
// Uses: contentEl, countReload, documentReloads, elementGetAttribute, elementHasAttributes,
//   elementLocalName, elementRemoveAttribute, elementSetAttribute, firstPictureAddress,
//   forgetReloads, isPictureElement, showLater, withReloadMark

// Characters the URL parser drops or ignores, removed before an address's kind is judged.
const LINK_NOISE_RE = /[\u0000-\u0020\u007f]+/g;
// A scheme at the start of an address.
const LINK_SCHEME_RE = /^([a-z][a-z0-9+.\-]*):/i;
// Addresses that are not relative paths: a fragment, a query, a root or a host of their own.
const NOT_A_PATH_RE = /^(?:[#?/\\]|$)/;
// One candidate of a source set: its address (no white space, and no comma at either end) and then
// either the commas that end it or its descriptors up to the next comma outside parentheses.
const SOURCE_SET_CANDIDATE_RE = /([^\s,](?:\S*[^\s,])?)(?:,+|(?:[^,(]|\([^)]*\)?)*)/g;
// A url() in an inline style, quoted or not; one written with escapes is left as it is.
const STYLE_URL_RE = /\burl\(\s*(?:"([^"\\\n]*)"|'([^'\\\n]*)'|([^\s"'()\\]+))\s*\)/gi;

const WEB_LINK_SCHEMES = ['http', 'https', 'mailto'];
// Attributes that hold a link's target, and those that load something into the document.
const LINK_ATTRIBUTES = ['href', 'xlink:href'];
const SOURCE_ATTRIBUTES = ['src', 'poster', 'href', 'xlink:href'];
// Attributes that hold a list of picture candidates ("small.png 1x, large.png 2x").
const SOURCE_SET_ATTRIBUTES = ['srcset'];
// Elements whose href is followed when clicked (in HTML and in SVG).
const LINK_ELEMENTS = ['a', 'area'];
const NEW_WINDOW_REL = 'noopener noreferrer';

// The virtual base: levels deeper than any real folder, named so that no real file name matches
// (a NUL in a name is refused by the host).
const VIRTUAL_LEVEL = '%00';
const VIRTUAL_DEPTH = 64;
const VIRTUAL_ORIGIN = 'https://document.invalid';
const VIRTUAL_BASE = VIRTUAL_ORIGIN + '/' + (VIRTUAL_LEVEL + '/').repeat(VIRTUAL_DEPTH);
const DOCUMENT_BASE_PATH = '/doc/';

let documentBase = null;

// A document from the host, delivery `generation`, is about to be shown: its references resolve
// beside it. `again`: the shown document delivered again, a reload (see page/enrich/picture-reload.js).
function beginHostDocument(generation, again) {
  documentBase = location.origin + DOCUMENT_BASE_PATH + generation + '/';
  if (again) countReload(contentEl);
  else forgetReloads();
}

// A document from elsewhere is about to be shown: its references stay as written.
function beginLocalDocument() {
  documentBase = null;
  forgetReloads();
}

// What an address is: 'fragment' (#x), 'path' (relative to the document), 'web' (http, https,
// mailto, or a host of its own), 'page' (a query or a root on the page's own origin) or 'other'.
function addressKind(value) {
  const compact = value.replace(LINK_NOISE_RE, '');
  const scheme = LINK_SCHEME_RE.exec(compact);
  if (scheme) return WEB_LINK_SCHEMES.includes(scheme[1].toLowerCase()) ? 'web' : 'other';
  if (compact.startsWith('#')) return 'fragment';
  if (/^[/\\]{2}/.test(compact)) return 'web';
  return NOT_A_PATH_RE.test(compact) ? 'page' : 'path';
}

// The document-base address of a relative reference, or null when it is none.
function documentAddress(value) {
  let url;
  try {
    url = new URL(value, VIRTUAL_BASE);
  } catch (e) {
    return null;
  }
  if (url.origin !== VIRTUAL_ORIGIN) return null;
  const segments = url.pathname.split('/').slice(1);
  let kept = 0;
  while (kept < segments.length - 1 && segments[kept] === VIRTUAL_LEVEL) kept++;
  return documentBase + (VIRTUAL_DEPTH - kept) + '/' + segments.slice(kept).join('/') + url.search + url.hash;
}

// The address to load for a reference: beside the document when it is a relative path (as `mark`
// gives it for this delivery; see page/enrich/picture-reload.js), else as written.
function rebasedAddress(value, mark) {
  const address = addressKind(value) === 'path' && documentAddress(value);
  return address ? mark(address) : value;
}

function unmarked(address) {
  return address;
}

function isLink(el) {
  return LINK_ELEMENTS.includes(elementLocalName(el));
}

function settleLink(el) {
  const name = LINK_ATTRIBUTES.find((attribute) => elementGetAttribute(el, attribute) !== null);
  if (!name) return;
  const kind = addressKind(elementGetAttribute(el, name));
  if (kind === 'fragment') {
    elementRemoveAttribute(el, 'target');
  } else if (kind === 'other') {
    for (const attribute of LINK_ATTRIBUTES) elementRemoveAttribute(el, attribute);
    elementRemoveAttribute(el, 'target');
  } else {
    elementSetAttribute(el, 'target', '_blank');
    elementSetAttribute(el, 'rel', NEW_WINDOW_REL);
  }
}

// Points the element's relative references beside the document: single addresses, every candidate
// of a source set (its descriptors kept) and every url() of its inline style. Links go without the
// reload count; a picture after a reload shows its earlier address first (see page/enrich/picture-reload.js).
function rebaseSources(el) {
  const later = isLink(el) ? unmarked : withReloadMark;
  const first = documentReloads > 0 && isPictureElement(el) ? firstPictureAddress : later;
  const rebase = (name, rewrite) => {
    const value = elementGetAttribute(el, name);
    if (value === null) return;
    const shown = rewrite(value, first);
    if (shown !== value) elementSetAttribute(el, name, shown);
    if (first !== later && rewrite(value, later) !== shown) showLater(el, name, rewrite(value, later));
  };
  for (const name of SOURCE_ATTRIBUTES) rebase(name, rebasedAddress);
  for (const name of SOURCE_SET_ATTRIBUTES) {
    rebase(name, (set, mark) =>
      set.replace(SOURCE_SET_CANDIDATE_RE, (candidate, address) => rebasedAddress(address, mark) + candidate.slice(address.length)));
  }
  rebase('style', (style, mark) =>
    style.replace(STYLE_URL_RE, (written, doubleQuoted, singleQuoted, bare) => {
      const value = doubleQuoted ?? singleQuoted ?? bare;
      const address = rebasedAddress(value, mark);
      // A rebased address is URL-encoded: it holds no quotation mark or white space.
      return address === value ? written : 'url("' + address + '")';
    }));
}

// Applies the link rules to a disarmed document fragment and, for a document from the host, points
// its relative references beside the document.
function settleDocumentLinks(root) {
  const elements = root.getElementsByTagName('*');
  for (let i = 0; i < elements.length; i++) {
    const el = elements[i];
    if (!elementHasAttributes(el)) continue;
    if (documentBase !== null) rebaseSources(el);
    if (isLink(el)) settleLink(el);
  }
}
