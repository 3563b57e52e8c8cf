// Pictures after a live reload. The host delivers the shown document again (a save, a reload key)
// under the same number, so the addresses beside it stay the same; but the browser reuses a picture
// it already has for an address, whatever the answer's headers say, and a picture regenerated beside
// the document would go on showing as it was. So every delivery again counts as a reload, and the
// addresses of its files carry the count as the last member of their query ("?reload=2"), which the
// host ignores.
//
// A new address would make every picture load anew: blank until it has, and the text below it moving
// as it takes its height. So a picture that was on screen before the reload is first shown from the
// address it had (the browser still has it: at once, at its size), and only once its new address is
// loaded and decoded does the picture change to it, pixels that did not change included, which then
// look the same. Pictures are <img> elements with their source sets and <picture> sources; other
// addresses (players, posters, backgrounds) take the new count at once.
//
// Uses: elementChildren, elementLocalName, elementSetAttribute, nodeIsConnected, nodeParent,
//   nodeType, ownGetter, uncurryThis

const RELOAD_PARAMETER = 'reload=';
// The reload count at the end of an address's query, before any fragment.
const RELOAD_MARK_RE = /[?&]reload=\d+(?=#|$)/;
const PICTURE_ELEMENTS = 'img';
const imageDecode = uncurryThis(HTMLImageElement.prototype.decode);
const imageCurrentSrc = ownGetter(HTMLImageElement.prototype, 'currentSrc');
const imageComplete = ownGetter(HTMLImageElement.prototype, 'complete');
const imageNaturalWidth = ownGetter(HTMLImageElement.prototype, 'naturalWidth');

// Deliveries of the shown document since it was opened.
let documentReloads = 0;
// The pictures the document showed before the reload: their address then, by their address without
// the count. Their elements are kept too, so that the browser keeps what it loaded for them.
let shownPictures = new Map();
// For elements shown from their earlier addresses: the attributes they take once their pictures
// are loaded anew.
let laterAttributes = new WeakMap();

// A new document: its addresses carry no count.
function forgetReloads() {
  documentReloads = 0;
  shownPictures = new Map();
  laterAttributes = new WeakMap();
}

// The shown document arrives again: what its pictures show now is kept for the next render.
function countReload(content) {
  documentReloads++;
  const shown = new Map();
  for (const img of content.querySelectorAll(PICTURE_ELEMENTS)) {
    if (!imageComplete(img) || imageNaturalWidth(img) === 0) continue;
    const address = imageCurrentSrc(img);
    shown.set(withoutReloadMark(address), { address, img });
  }
  shownPictures = shown;
  laterAttributes = new WeakMap();
}

function withoutReloadMark(address) {
  return address.replace(RELOAD_MARK_RE, '');
}

// An address beside the document (without a count) as this delivery loads it.
function withReloadMark(address) {
  if (documentReloads === 0) return address;
  const hash = address.indexOf('#');
  const end = hash === -1 ? address.length : hash;
  const separator = address.lastIndexOf('?', end) === -1 ? '?' : '&';
  return address.slice(0, end) + separator + RELOAD_PARAMETER + documentReloads + address.slice(end);
}

// The address a picture element shows first: the one it had before the reload, when it showed then.
function firstPictureAddress(address) {
  const shown = shownPictures.get(address);
  return shown ? shown.address : withReloadMark(address);
}

function isPictureElement(el) {
  const name = elementLocalName(el);
  if (name === 'img') return true;
  const parent = nodeParent(el);
  return name === 'source' && parent !== null && nodeType(parent) === Node.ELEMENT_NODE && elementLocalName(parent) === 'picture';
}

// The element shows `first` in `attribute` until its pictures are loaded from `later`.
function showLater(el, attribute, later) {
  let attributes = laterAttributes.get(el);
  if (!attributes) laterAttributes.set(el, (attributes = []));
  attributes.push([attribute, later]);
}

// Once a slice's pictures are in the page (the slice is on its way there), each that shows an
// earlier address loads its new one and changes to it when decoded.
function refreshPictures(root) {
  if (documentReloads === 0) return;
  const refreshed = [];
  for (const img of root.querySelectorAll(PICTURE_ELEMENTS)) {
    const parent = nodeParent(img);
    const sources = parent !== null && elementLocalName(parent) === 'picture' ? [...elementChildren(parent)] : [img];
    const changes = sources.filter((el) => laterAttributes.has(el));
    if (changes.length > 0) refreshed.push([img, changes]);
  }
  if (refreshed.length > 0) queueMicrotask(() => refreshed.forEach(([img, changes]) => refreshPicture(img, changes)));
}

function refreshPicture(img, changed) {
  const settle = () => {
    if (!nodeIsConnected(img)) return;
    for (const el of changed) {
      for (const [attribute, value] of laterAttributes.get(el) || []) elementSetAttribute(el, attribute, value);
      laterAttributes.delete(el);
    }
  };
  imageDecode(img).catch(() => {}).then(() => {
    if (!nodeIsConnected(img)) return;
    const probe = new Image();
    probe.src = withReloadMark(withoutReloadMark(imageCurrentSrc(img)));
    return probe.decode().catch(() => {}).then(settle);
  });
}
