// Export: the shown document as one self-contained HTML file (or, inside the program, as a PDF the
// host prints with the browser control's own print-to-PDF).
//
// The file is made from the document as it stands in the page, disarmed, never from its text: every
// block finished first (code coloured, formulas as MathML, diagrams as SVG), then a copy of the
// content area with the page's style sheet for the chosen look. The print look (white paper, the
// page's print rules made to apply on screen too) is the default; the other look is the current
// theme. Diagrams show the drawing of the look: on paper the copy drawn in the light colours.
// Pictures the page's own origin serves (the files beside the document) go into the file as data:
// addresses, up to EXPORT_PICTURE_BUDGET_BYTES in all; other pictures stay links, those beside the
// document written relative to it again. The file carries no script and no event attribute, and a
// Content-Security-Policy of its own lets nothing load but data: and the pictures that stayed links.
//
// Uses: CLOSE_VIEW_BUTTON_CLASS, COPY_BUTTON_CLASS, DIAGRAM_CLASS, DIAGRAM_DRAWING_CLASS,
//   DIAGRAM_PRINT_CLASS, DIAGRAM_THEME_ATTRIBUTE, MEDIA_STAND_INS, PRINT_THEME,
//   READING_WIDTH_ATTRIBUTE, TEXT_SIZE_ATTRIBUTE, completeCodeBlocks, contentEl, elementAttributes,
//   elementGetAttribute, elementLocalName, elementRemove, elementRemoveAttribute,
//   elementRemoveAttributeNode, elementReplaceWith, elementSetAttribute, imageComplete, imageCurrentSrc,
//   imageNaturalWidth, isScriptUrl, nodeParent, nodeText, nodeType, pageBody, playerFor

const EXPORT_PICTURE_BUDGET_BYTES = 10 * 1024 * 1024;
// Pictures fetched for embedding at the same time.
const EXPORT_PICTURE_FETCHES = 8;
const EXPORT_LOOK_PRINT = 'print';
const EXPORT_LOOK_THEME = 'theme';
// The path under the page's origin where the host answers with the files beside a document:
// /doc/<delivery>/<levels up>/<path>.
const EXPORT_DOCUMENT_PATH_RE = /^\/doc\/\d+\/(\d+)\/(.*)$/;
// The reload count the page adds to addresses beside a document (see page/enrich/picture-reload.js).
const EXPORT_RELOAD_MARK_RE = /[?&]reload=\d+(?=#|$)/;
// A document's file name without its extension, for the exported file's name.
const EXPORT_EXTENSION_RE = /\.[^.]*$/;
// Text in a style element that would end the element when the file is read again.
const EXPORT_STYLE_END_RE = /<(?=\/style)/gi;
// What the exported file may not contain, checked once more on the file as written: elements that
// run script or load other documents.
const EXPORT_REMOVED_ELEMENTS = 'script,noscript,iframe,frame,frameset,object,embed,applet,portal,base,meta,link,template';
// Attributes that hold an address (a script URL is removed from any of them).
const EXPORT_URL_ATTRIBUTES = ['href', 'xlink:href', 'src', 'srcset', 'poster', 'action', 'formaction', 'data'];
// Attributes by which an element other than a picture or a link would load something.
const EXPORT_LOADING_ATTRIBUTES = ['src', 'srcset', 'poster', 'data', 'background', 'href', 'xlink:href'];
// Elements whose address is followed only when clicked, and the one kind that loads a picture.
const EXPORT_LINK_ELEMENTS = ['a', 'area'];
// A url() in style text that is no data: address: it would load, so it becomes "none".
const EXPORT_STYLE_URL_RE = /url\(\s*(?!["']?\s*data:)(?:"[^"]*"|'[^']*'|[^)]*)\)/gi;
// Characters that would end a source expression of the file's policy.
const EXPORT_POLICY_BREAK_RE = /[\s;,'"]/;
// Screen rules for the print look: paper's column, centred, in a browser window.
const EXPORT_PRINT_SCREEN_CSS = '@media screen { #content { max-width: 860px; padding: 36px 28px 80px; } }';
// How long an export waits at most for the blocks (a first diagram loads its library): the command
// line gives the whole export 120 s.
const EXPORT_WAIT_MOST_MS = 60000;
const EXPORT_HTML_TYPE = 'text/html;charset=utf-8';
// About how much markup of the content area is parsed and checked at a time.
const EXPORT_CHUNK_CHARS = 256 * 1024;
// Characters a text node's serialisation writes as references (as the platform's serialiser does).
const EXPORT_TEXT_ESCAPE_RE = /[&<>\u00a0]/g;
const EXPORT_TEXT_ESCAPES = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '\u00a0': '&nbsp;' };
// A comment's opening in markup, written apart: the page's inline script may not hold it whole.
const EXPORT_COMMENT_OPEN = '<' + '!--';
// The comment that stands where the content goes in the file's frame.
const EXPORT_CONTENT_MARK = 'tallowmere-export-content';
// How often the export looks whether a document still converting is in place.
const EXPORT_CONVERSION_POLL_MS = 50;

// The page's own style sheet (the first in its head), taken at start-up.
const pageStyleSheet = document.querySelector('head > style');

// Resolves once the document on screen is whole: the GitHub dialect converts in a worker.
function whenDocumentConverted() {
  return new Promise((resolve) => {
    const look = () => (contentEl.hasAttribute('aria-busy') ? setTimeout(look, EXPORT_CONVERSION_POLL_MS) : resolve());
    look();
  });
}

// The page's style rules for the look: the print look makes the print rules apply everywhere.
function exportStyles(look) {
  const own = pageStyleSheet.textContent;
  if (look !== EXPORT_LOOK_PRINT) return own;
  const printRules = [];
  for (const rule of pageStyleSheet.sheet.cssRules) {
    if (rule instanceof CSSMediaRule && rule.media.mediaText === 'print') {
      for (const inner of rule.cssRules) printRules.push(inner.cssText);
    }
  }
  return own + '\n' + printRules.join('\n') + '\n' + EXPORT_PRINT_SCREEN_CSS;
}

// Diagrams keep only the drawing the look shows: on paper, the copy in the light colours (or the
// code, when a drawing in a dark theme has no copy).
function keepDiagramsOfLook(root, look) {
  for (const pre of root.querySelectorAll('pre.' + DIAGRAM_CLASS)) {
    const drawing = pre.querySelector(':scope > .' + DIAGRAM_DRAWING_CLASS);
    const copy = pre.querySelector(':scope > .' + DIAGRAM_PRINT_CLASS);
    if (look !== EXPORT_LOOK_PRINT) {
      if (copy) copy.remove();
      continue;
    }
    if (copy) {
      if (drawing) drawing.remove();
      copy.className = DIAGRAM_DRAWING_CLASS;
      pre.setAttribute(DIAGRAM_THEME_ATTRIBUTE, PRINT_THEME);
    } else if (drawing && pre.getAttribute(DIAGRAM_THEME_ATTRIBUTE) !== PRINT_THEME) {
      drawing.remove();
      pre.classList.remove(DIAGRAM_CLASS);
    }
  }
}

// An address beside the document written relative to it again ("../img/a.png"), or null when the
// address is none of the page's /doc/ addresses.
function relativeToDocument(address) {
  let url;
  try {
    url = new URL(address, location.href);
  } catch (e) {
    return null;
  }
  if (url.origin !== location.origin) return null;
  const match = EXPORT_DOCUMENT_PATH_RE.exec(url.pathname);
  if (!match) return null;
  const search = url.search.replace(EXPORT_RELOAD_MARK_RE, '');
  return '../'.repeat(Number(match[1])) + match[2] + search + url.hash;
}

function blobAsDataUrl(blob) {
  return new Promise((resolve, reject) => {
    const reader = new FileReader();
    reader.addEventListener('load', () => resolve(reader.result));
    reader.addEventListener('error', () => reject(reader.error));
    reader.readAsDataURL(blob);
  });
}

// The picture's bytes when the page's origin serves it and it could fit the budget at all; null
// otherwise.
async function fetchedPicture(address) {
  let url;
  try {
    url = new URL(address, location.href);
  } catch (e) {
    return null;
  }
  if (url.origin !== location.origin || url.protocol === 'file:') return null;
  try {
    const response = await fetch(url.href);
    if (!response.ok) return null;
    const blob = await response.blob();
    return blob.size > EXPORT_PICTURE_BUDGET_BYTES ? null : blob;
  } catch (e) {
    return null;
  }
}

// The bytes of every address, fetched EXPORT_PICTURE_FETCHES at a time: one after another, a
// document's hundreds of pictures kept the export waiting on each in turn. A picture shown twice is
// fetched once.
async function fetchedPictures(addresses) {
  const unique = [...new Set(addresses)];
  const blobs = new Map();
  let next = 0;
  const fetchRest = async () => {
    while (next < unique.length) {
      const address = unique[next++];
      blobs.set(address, await fetchedPicture(address));
    }
  };
  await Promise.all(Array.from({ length: Math.min(EXPORT_PICTURE_FETCHES, unique.length) }, fetchRest));
  return blobs;
}

// Each picture shows what it shows in the page (the source its element there chose, from shownOf),
// embedded as a data: address while the budget ({ left: bytes }, shared by the whole file) lasts (in
// document order), or as a link.
async function embedPictures(root, shownOf, budget) {
  const pictures = [...root.querySelectorAll('img')];
  const shown = pictures.map((img) => shownOf.get(img));
  const addresses = pictures.map((img, i) => (shown[i] ? imageCurrentSrc(shown[i]) : '') || elementGetAttribute(img, 'src') || '');
  // A file beside the document that the page could not show is not asked of the host again: it
  // stays a link relative to the document, as when it cannot be read.
  const missing = (i) => shown[i] && imageComplete(shown[i]) && imageNaturalWidth(shown[i]) === 0 &&
    relativeToDocument(addresses[i]) !== null;
  const blobs = await fetchedPictures(addresses.filter((address, i) => address !== '' && !missing(i)));
  for (let i = 0; i < pictures.length; i++) {
    const img = pictures[i];
    const address = addresses[i];
    if (address === '') continue;
    const blob = blobs.get(address);
    let data = null;
    if (blob && blob.size <= budget.left) {
      data = await blobAsDataUrl(blob).catch(() => null);
      if (data) budget.left -= blob.size;
    }
    elementSetAttribute(img, 'src', data || relativeToDocument(address) || address);
    elementRemoveAttribute(img, 'srcset');
    const parent = nodeParent(img);
    if (parent && nodeType(parent) === Node.ELEMENT_NODE && elementLocalName(parent) === 'picture') {
      parent.querySelectorAll(':scope > source').forEach(elementRemove);
    }
  }
}

// Every other address beside the document (players, links, attachment cards) relative to it again.
function relinkDocumentFiles(root) {
  for (const el of root.querySelectorAll('[href], [src], [poster], [srcset]')) {
    for (const name of ['href', 'src', 'poster']) {
      const value = elementGetAttribute(el, name);
      const relative = value === null ? null : relativeToDocument(value);
      if (relative !== null) elementSetAttribute(el, name, relative);
    }
    if (elementGetAttribute(el, 'srcset') !== null) elementRemoveAttribute(el, 'srcset');
  }
}

// Adds the sources the file's policy lets load for these pictures: exactly those that stayed links
// (those beside the file by its own origin; a web address that cannot be written in a policy does not
// load). data: is always among them.
function addPictureSources(root, sources) {
  for (const img of root.querySelectorAll('img[src]')) {
    const src = elementGetAttribute(img, 'src');
    if (src.startsWith('data:')) continue;
    let url = null;
    try {
      url = new URL(src);
    } catch (e) {
      sources.add("'self'");
      continue;
    }
    if ((url.protocol === 'http:' || url.protocol === 'https:') && !EXPORT_POLICY_BREAK_RE.test(url.href)) {
      sources.add(url.href);
    }
  }
}

// Nothing but a picture loads: other elements' addresses (players, SVG images, backgrounds) and the
// url()s of style text that are not data: addresses go.
function keepOnlyPicturesLoading(el, name) {
  if (EXPORT_LINK_ELEMENTS.includes(name)) return;
  for (const attribute of EXPORT_LOADING_ATTRIBUTES) {
    if (name === 'img' && (attribute === 'src' || attribute === 'srcset')) continue;
    const value = elementGetAttribute(el, attribute);
    if (value === null) continue;
    const kept = value.trim().startsWith('data:') || (attribute.endsWith('href') && value.trim().startsWith('#'));
    if (!kept) elementRemoveAttribute(el, attribute);
  }
  const style = elementGetAttribute(el, 'style');
  const cleaned = style === null ? null : style.replace(EXPORT_STYLE_URL_RE, 'none');
  if (cleaned !== style) elementSetAttribute(el, 'style', cleaned);
}

function exportPolicy(imageSources) {
  return ["default-src 'none'", "script-src 'none'", "style-src 'unsafe-inline'", 'img-src ' + imageSources,
    "object-src 'none'", "base-uri 'none'", "form-action 'none'"].join('; ');
}

// The last look at the file, on the tree it was parsed into: nothing in the document's part of it
// runs script, loads another document, loads anything but a picture or ends a style element early.
function disarmExport(body) {
  body.querySelectorAll(EXPORT_REMOVED_ELEMENTS).forEach(elementRemove);
  for (const el of body.getElementsByTagName('*')) {
    const attrs = elementAttributes(el);
    for (let j = attrs.length - 1; j >= 0; j--) {
      const name = attrs[j].name.toLowerCase();
      const scriptUrl = EXPORT_URL_ATTRIBUTES.includes(name) && isScriptUrl(attrs[j].value, false);
      if ((name.startsWith('on') && name !== 'open') || scriptUrl) elementRemoveAttributeNode(el, attrs[j]);
    }
    keepOnlyPicturesLoading(el, elementLocalName(el));
  }
  for (const style of body.querySelectorAll('style')) {
    style.textContent = nodeText(style).replace(EXPORT_STYLE_URL_RE, 'none').replace(EXPORT_STYLE_END_RE, '\\3c ');
  }
}

// The page's pieces of a chunk, and their pictures in document order.
function picturesOf(nodes) {
  const pictures = [];
  for (const node of nodes) {
    if (nodeType(node) !== Node.ELEMENT_NODE) continue;
    if (elementLocalName(node) === 'img') pictures.push(node);
    pictures.push(...node.querySelectorAll('img'));
  }
  return pictures;
}

// A child of the content area as markup, as its parent's serialisation would write it.
function serialisedChild(node) {
  switch (nodeType(node)) {
    case Node.ELEMENT_NODE:
      return node.outerHTML;
    case Node.TEXT_NODE:
      return nodeText(node).replace(EXPORT_TEXT_ESCAPE_RE, (c) => EXPORT_TEXT_ESCAPES[c]);
    case Node.COMMENT_NODE:
      return EXPORT_COMMENT_OPEN + nodeText(node) + '-->';
    default:
      return '';
  }
}

// The content area's children in runs of about EXPORT_CHUNK_CHARS of markup (a large document's
// parts one or a few at a time), each run with the page's own nodes it was made from.
function* contentChunks() {
  let markup = [];
  let nodes = [];
  let length = 0;
  for (const node of contentEl.childNodes) {
    const piece = serialisedChild(node);
    markup.push(piece);
    nodes.push(node);
    length += piece.length;
    if (length >= EXPORT_CHUNK_CHARS) {
      yield { html: markup.join(''), nodes };
      markup = [];
      nodes = [];
      length = 0;
    }
  }
  if (nodes.length) yield { html: markup.join(''), nodes };
}

// Markup parsed where the file holds it (inside the content area), in a document of its own.
function parsedInContentArea(parser, html) {
  const parsed = parser.parseFromString(
    '<!DOCTYPE html><html><head></head><body><div id="contentArea"><div>' + html + '</div></div></body></html>',
    'text/html');
  return { body: parsed.body, holder: parsed.getElementById('contentArea').firstElementChild };
}

// One run of the content made ready for the file: parsed, changed and checked in a document of its
// own, then serialised from that tree; sources collects the pictures the file's policy must allow.
async function exportedChunk(parser, chunk, look, budget, sources) {
  const shownPictures = picturesOf(chunk.nodes);
  const { body, holder } = parsedInContentArea(parser, chunk.html);
  // Each picture read back with the page's own element, which knows the source it chose; a tree the
  // parser rearranged could hold its pictures in another order, and then none is paired.
  const readBack = holder.getElementsByTagName('img');
  const shownOf = new Map();
  if (readBack.length === shownPictures.length) shownPictures.forEach((shown, i) => shownOf.set(readBack[i], shown));
  holder.querySelectorAll('.' + COPY_BUTTON_CLASS).forEach(elementRemove);
  // Nothing of the reader's look goes with it: no up-close buttons.
  holder.querySelectorAll('.' + CLOSE_VIEW_BUTTON_CLASS).forEach(elementRemove);
  for (const standIn of holder.querySelectorAll(MEDIA_STAND_INS)) elementReplaceWith(standIn, playerFor(standIn));
  keepDiagramsOfLook(holder, look);
  await embedPictures(holder, shownOf, budget);
  relinkDocumentFiles(holder);
  disarmExport(body);
  addPictureSources(holder, sources);
  return holder.innerHTML;
}

// The shown document as one HTML file, in the look asked for. The content area goes a run of its
// children at a time: each run is serialised, parsed into a document of its own, where everything
// else happens, and serialised again from there, so the file is the tree the checks saw, read back as
// a browser will read it. Neither a copy of the page's tree nor a second tree of the whole document
// is ever held: at ten megabytes of text those were the largest things the export held.
async function exportDocumentHtml(look = EXPORT_LOOK_PRINT) {
  await whenDocumentConverted();
  await completeCodeBlocks(EXPORT_WAIT_MOST_MS);
  const parser = new DOMParser();
  const budget = { left: EXPORT_PICTURE_BUDGET_BYTES };
  const sources = new Set(['data:']);
  const chunks = [];
  for (const chunk of contentChunks()) chunks.push(await exportedChunk(parser, chunk, look, budget, sources));

  // The file around the content: the content area's own element, emptied, holds a mark where the
  // runs go.
  const file = parser.parseFromString(
    '<!DOCTYPE html><html><head></head><body><div id="contentArea">' + contentEl.cloneNode(false).outerHTML +
    '</div></body></html>', 'text/html');
  const copy = file.getElementById('contentArea').firstElementChild;
  // Nothing of the reader's look goes with it: no chosen text size or width.
  copy.removeAttribute(TEXT_SIZE_ATTRIBUTE);
  copy.removeAttribute(READING_WIDTH_ATTRIBUTE);
  copy.classList.remove('large');
  copy.removeAttribute('aria-busy');
  disarmExport(file.body);
  copy.appendChild(file.createComment(EXPORT_CONTENT_MARK));

  file.documentElement.setAttribute('lang', document.documentElement.lang);
  const meta = (attributes) => {
    const el = file.createElement('meta');
    for (const [name, value] of attributes) el.setAttribute(name, value);
    file.head.appendChild(el);
  };
  meta([['charset', 'UTF-8']]);
  meta([['http-equiv', 'Content-Security-Policy'], ['content', exportPolicy([...sources].join(' '))]]);
  meta([['name', 'viewport'], ['content', 'width=device-width, initial-scale=1.0']]);
  const title = file.createElement('title');
  title.textContent = document.title;
  const style = file.createElement('style');
  style.textContent = exportStyles(look);
  file.head.append(title, style);
  const theme = look === EXPORT_LOOK_PRINT ? null : pageBody.getAttribute('data-theme');
  if (theme) {
    file.documentElement.setAttribute('data-theme', theme);
    file.body.setAttribute('data-theme', theme);
  }
  const shell = file.documentElement.outerHTML;
  // The mark is the last comment of the file: the content area is the body's last element.
  const mark = EXPORT_COMMENT_OPEN + EXPORT_CONTENT_MARK + '-->';
  const at = shell.lastIndexOf(mark);
  return '<!DOCTYPE html>\n' + shell.slice(0, at) + chunks.join('') + shell.slice(at + mark.length);
}
