// Making a converted document harmless before it enters the page. A document is untrusted: its HTML
// is rendered, but nothing in it may run or take over the page. Its fragment is parsed in an inert
// document and disarmed there, slice by slice (see page/insert/document-insertion.js): no scripts,
// handlers, script URLs, meta refresh, base, plugins, scriptable frames, form targets, animations of
// links or references to other SVG documents, popovers and modal dialogs; ids and names that would
// shadow the page's own are kept under a prefix, and so are the references to them (see
// page/insert/anchors.js); its style sheets select only inside the document (see
// page/insert/document-styles.js). The page's Content-Security-Policy, which admits only the page's
// own two scripts by hash, stands behind all of it.
//
// Uses: LIBRARY_HOLDER_IDS, SVG_NAMESPACE, addressKind, confineDocumentStyles, elementAttributes,
//   elementGetAttribute, elementHasAttributes, elementNamespace, elementRemove,
//   elementRemoveAttribute, elementRemoveAttributeNode, elementSetAttribute, renameReservedAnchors

// Characters the URL parser drops or ignores, removed before a URL's scheme is judged.
const URL_NOISE_RE = /[\u0000-\u0020\u007f]+/g;
// URL schemes that run script when followed.
const SCRIPT_URL_RE = /^(?:javascript|vbscript):/;
// Script URLs anywhere in an animation value list (values="a;javascript:...").
const SCRIPT_URL_ANYWHERE_RE = /(?:javascript|vbscript):/;
// Ids the outline gives to headings; a document may not claim them for other elements.
const OUTLINE_ID_RE = /^heading-\d+$/;

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
// Globals the diagram library defines; a document's ids and names may not take them.
const DIAGRAM_LIBRARY_GLOBALS = ['mermaid', '__esbuild_esm_mermaid_nm'];

// Names a document's ids and names may not take: the page's element ids (including those of its
// screens and the library holders, which only the stand-alone page carries), and the page globals
// that are read by name but exist only sometimes.
const reservedNames = new Set(['_qrCodeUri', 'chrome', 'status', 'dropzone', ...DIAGRAM_LIBRARY_GLOBALS, ...LIBRARY_HOLDER_IDS]);
document.querySelectorAll('[id]').forEach((el) => reservedNames.add(el.id));

// Where a document's HTML is disarmed: a document without a window, in which nothing loads or runs.
const inertHolder = document.implementation.createHTMLDocument('').createElement('div');
// A document that never holds content: the names any document has, which a document's ids and
// names may not shadow. (The page itself would also count the names of slices already shown.)
const namesOfEveryDocument = inertHolder.ownerDocument;

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
