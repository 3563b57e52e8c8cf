// In-document anchors. A document may not give its elements ids or names that would shadow the
// page's own elements, globals or document members, and the outline gives h1 to h3 ids of its
// own; either would leave the document's links to its anchors ("#toc", "#title", "#links", a
// heading's own id) jumping nowhere. So such a name is kept under a prefix instead of being
// dropped, and after the outline has numbered the headings every fragment link of the document is
// pointed at what it meant: its own element of that id or name, the same under the prefix, the
// heading that had that id, or else the heading whose text gives that anchor the way Markdown
// hosting sites derive heading anchors ("## Quick start" is "#quick-start").
//
// Uses: contentEl, elementGetAttribute, elementId, elementMatches, elementRemoveAttribute,
//   elementSetAttribute, isReservedName, nodeText

// The prefix under which a document keeps an id or name the page reserves.
const ANCHOR_PREFIX = 'user-content-';
// Attributes by which an element names others by their ids (one, or several separated by white
// space): a label's control, a control's form or list, what a button opens or commands, and the
// relations of accessibility, tables and microdata.
const ID_REFERENCE_ATTRIBUTES = ['for', 'form', 'list', 'popovertarget', 'commandfor', 'interestfor', 'anchor',
  'headers', 'itemref', 'aria-activedescendant', 'aria-controls', 'aria-describedby', 'aria-details',
  'aria-errormessage', 'aria-flowto', 'aria-labelledby', 'aria-owns'];
const ID_REFERENCES = ID_REFERENCE_ATTRIBUTES.map((name) => '[' + name + ']').join(', ');
// One id in such an attribute.
const ID_REFERENCE_RE = /[^\t\n\f\r ]+/g;
// An image's map, named after "#".
const MAP_REFERENCES = 'img[usemap], input[usemap], object[usemap]';
// The document's links to a place in itself.
const FRAGMENT_LINKS = 'a[href^="#"], area[href^="#"]';
const HEADINGS = 'h1, h2, h3, h4, h5, h6';
// What pointing the links needs to know of the document, found in one query.
const ANCHOR_PARTS = FRAGMENT_LINKS + ', [id], [name], ' + HEADINGS;
// Characters a heading anchor leaves out: all but letters, marks, digits, connectors, "-" and space.
const SLUG_DROPPED_RE = /[^\p{L}\p{M}\p{N}\p{Pc}\- ]/gu;
// The spaces of a heading anchor, each written as "-".
const SLUG_SPACE_RE = / /g;

// Renames the ids and names of a parsed document that the page reserves (see isReservedName), and
// points the document's references to them at what the renaming made of them: a reference names the
// document's own element of that name, or nothing, and never one of the page's (a document's label
// "for" the close button would close the document).
function renameReservedAnchors(root) {
  for (const el of root.querySelectorAll('[id], [name]')) {
    for (const attribute of ['id', 'name']) {
      const value = elementGetAttribute(el, attribute);
      if (value !== null && isReservedName(value)) elementSetAttribute(el, attribute, ANCHOR_PREFIX + value);
    }
  }
  const rename = (id) => (isReservedName(id) ? ANCHOR_PREFIX + id : id);
  for (const el of root.querySelectorAll(ID_REFERENCES)) {
    for (const attribute of ID_REFERENCE_ATTRIBUTES) {
      const value = elementGetAttribute(el, attribute);
      const renamed = value === null ? null : value.replace(ID_REFERENCE_RE, rename);
      if (renamed !== value) elementSetAttribute(el, attribute, renamed);
    }
  }
  for (const el of root.querySelectorAll(MAP_REFERENCES)) {
    const value = elementGetAttribute(el, 'usemap');
    if (value.startsWith('#') && isReservedName(value.slice(1))) elementSetAttribute(el, 'usemap', '#' + ANCHOR_PREFIX + value.slice(1));
  }
}

function decodeFragment(href) {
  const fragment = href.slice(1);
  try {
    return decodeURIComponent(fragment);
  } catch (e) {
    return fragment;
  }
}

// What pointing a document's links needs of it, gathered slice by slice as they enter the page
// (after the outline has numbered their headings), so that pointing them once the document is
// complete needs no pass over a large document's whole tree: its fragment links, every id and
// name, and its headings in order.
function newAnchorGathering() {
  return { links: [], names: new Set(), headings: [] };
}

function gatherAnchors(root, gathered) {
  for (const el of root.querySelectorAll(ANCHOR_PARTS)) {
    if (elementMatches(el, FRAGMENT_LINKS)) gathered.links.push(el);
    if (elementMatches(el, HEADINGS)) gathered.headings.push(el);
    gathered.names.add(elementGetAttribute(el, 'id'));
    gathered.names.add(elementGetAttribute(el, 'name'));
  }
}

function headingSlug(text) {
  return text.trim().toLowerCase().replace(SLUG_DROPPED_RE, '').replace(SLUG_SPACE_RE, '-');
}

// The headings (in document order) by their derived anchors; a repeated anchor is numbered ("-1",
// "-2", …).
function headingsBySlug(documentHeadings) {
  const headings = new Map();
  const repeats = new Map();
  for (const heading of documentHeadings) {
    const slug = headingSlug(nodeText(heading));
    const seen = repeats.get(slug) || 0;
    repeats.set(slug, seen + 1);
    const numbered = seen === 0 ? slug : slug + '-' + seen;
    if (!headings.has(numbered)) headings.set(numbered, heading);
  }
  return headings;
}

// Points the content area's fragment links at their targets (see the top of this file) and keeps
// them in the page: a link into the document never opens a window. formerIds maps the ids the
// outline replaced to the ids that replaced them; gathered is what gatherAnchors found of the
// document (by default, it is looked for in the content area now).
function pointDocumentLinks(formerIds, gathered = null) {
  if (gathered === null) {
    gathered = newAnchorGathering();
    gatherAnchors(contentEl, gathered);
  }
  const { links, names } = gathered;
  if (links.length === 0) return;
  let slugs = null;
  for (const link of links) {
    elementRemoveAttribute(link, 'target');
    const fragment = decodeFragment(elementGetAttribute(link, 'href'));
    if (fragment === '' || names.has(fragment)) continue;
    let id = names.has(ANCHOR_PREFIX + fragment)
      ? ANCHOR_PREFIX + fragment
      : formerIds.get(fragment) || formerIds.get(ANCHOR_PREFIX + fragment);
    if (!id) {
      if (slugs === null) slugs = headingsBySlug(gathered.headings);
      const slug = fragment.toLowerCase();
      const heading = slugs.get(slug);
      if (!heading) continue;
      if (!elementId(heading)) elementSetAttribute(heading, 'id', ANCHOR_PREFIX + slug);
      id = elementId(heading);
    }
    elementSetAttribute(link, 'href', '#' + id);
  }
}
