// A large document's media players, made only as they near the viewport.
//
// Media players far from the viewport are not created: their tags are renamed before parsing,
// so that the parser makes plain stand-ins of the same size, and each stand-in is replaced by
// its player (made then, and disarmed like the rest) as it nears the viewport. A renamed tag
// that made no element gets its old name back before its slice enters the page.
//
// The browser works out where every watched element is in each frame that changed the layout, so
// a large document's stand-ins are watched by their part (a 50 MiB document has tens of thousands
// of players, and watching each took tens of milliseconds a frame): once a part nears the window,
// its stand-ins are watched one by one, and a player is made only for those that near it too.
// Each document has a watch of its own: a large document arriving behind the one shown takes over
// when it takes its place, and the old document's watch ends there.
//
// Uses: disarmFragment, elementAttributes, elementGetAttribute, elementGetAttributeNames,
//   elementLocalName, elementNamespace, elementRect, elementReplaceWith, inertHolder,
//   nodeFirstChild, nodeIsConnected, nodeOwnerDocument, nodeType, templateContent, watchThroughPart

const HTML_NAMESPACE = 'http://www.w3.org/1999/xhtml';
// Media players within one viewport height above or below the window are brought in.
const MEDIA_NEAR_MARGIN = '100% 0px';
// Media start and end tags in the converter's HTML ("<video", "</AUDIO", ...).
const MEDIA_TAG_RE = /<(\/?)(video|audio)(?=[\s/>])/gi;
// What a media tag is renamed to; a document that already holds the new name keeps its tags.
const MEDIA_STAND_IN_SUFFIX = '-deferred';
const MEDIA_STAND_IN_NAME_RE = /(?:video|audio)-deferred/i;
// A renamed tag that landed in text, a comment or an attribute value instead of making an element.
const RENAMED_MEDIA_TAG_RE = /(<\/?(?:video|audio))-deferred/gi;
// Renamed start tags only.
const RENAMED_MEDIA_START_TAG_RE = /<(?:video|audio)-deferred/gi;
const MEDIA_STAND_INS = 'video-deferred, audio-deferred';
// Stand-ins that stay until their player nears the viewport: players whose size before loading
// is the same for all, so that the stand-in holds their place exactly (see the style sheet).
const DEFERRED_STAND_INS = 'video-deferred[controls]:not([width], [height], [poster]), audio-deferred[controls]';
// The watch of the document shown (see newMediaWatch).
let shownMediaWatch = null;
// Where a player is made and disarmed before it replaces its stand-in: a document without a window.
const playerHolder = document.implementation.createHTMLDocument('').createElement('div');

function hasMediaStandInName(html) {
  return MEDIA_STAND_IN_NAME_RE.test(html);
}

function renameMediaTags(html) {
  return html.replace(MEDIA_TAG_RE, '<$1$2' + MEDIA_STAND_IN_SUFFIX);
}

// Every renamed start tag the parser has seen should have made an HTML element. One that did not
// (it stood in a comment, an attribute value, a textarea, foreign content or a template) left its
// new name in the slice: put the old one back there.
function accountForRenamedTags(state) {
  const made = (root) => [...root.querySelectorAll(MEDIA_STAND_INS)].filter((el) => elementNamespace(el) === HTML_NAMESPACE);
  state.tagsFound += made(inertHolder).length;
  const pending = made(state.parserDocument.body).length;
  if (state.tagsFound + pending < state.tagsWritten) state.tagsFound += repairRenamedTags(inertHolder);
}

// Gives every renamed tag under root that made no HTML element its old name back; returns how
// many start tags it found. In a template's content even the elements get their names back.
function repairRenamedTags(root, inTemplate = false) {
  let repaired = 0;
  const restore = (text) =>
    text.replace(RENAMED_MEDIA_TAG_RE, (match, tag) => {
      if (tag[1] !== '/') repaired++;
      return tag;
    });
  const show = NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT | NodeFilter.SHOW_COMMENT;
  const walker = nodeOwnerDocument(root).createTreeWalker(root, show);
  const misnamed = [];
  while (walker.nextNode()) {
    const node = walker.currentNode;
    if (nodeType(node) !== Node.ELEMENT_NODE) {
      if (node.data.includes(MEDIA_STAND_IN_SUFFIX)) node.data = restore(node.data);
      continue;
    }
    for (const attr of elementAttributes(node)) {
      if (attr.value.includes(MEDIA_STAND_IN_SUFFIX)) attr.value = restore(attr.value);
    }
    const name = elementLocalName(node);
    if (name === 'template') repaired += repairRenamedTags(templateContent(node), true);
    const standIn = name === 'video-deferred' || name === 'audio-deferred';
    if (standIn && (inTemplate || elementNamespace(node) !== HTML_NAMESPACE)) misnamed.push(node);
  }
  for (const el of misnamed) {
    const name = elementLocalName(el).slice(0, -MEDIA_STAND_IN_SUFFIX.length);
    const renamed = nodeOwnerDocument(el).createElementNS(elementNamespace(el), name);
    for (const attr of elementAttributes(el)) renamed.setAttributeNS(attr.namespaceURI, attr.name, attr.value);
    while (nodeFirstChild(el)) renamed.appendChild(nodeFirstChild(el));
    elementReplaceWith(el, renamed);
    repaired++;
  }
  return repaired;
}

// The player a stand-in holds the place of, made in the inert document and disarmed there: its
// attributes in their order, and the stand-in's children (sources, tracks, fallback text).
function playerFor(standIn) {
  const name = elementLocalName(standIn).slice(0, -MEDIA_STAND_IN_SUFFIX.length);
  const player = playerHolder.ownerDocument.createElement(name);
  for (const attribute of elementGetAttributeNames(standIn)) {
    player.setAttribute(attribute, elementGetAttribute(standIn, attribute));
  }
  while (nodeFirstChild(standIn)) player.appendChild(nodeFirstChild(standIn));
  playerHolder.replaceChildren(player);
  disarmFragment(playerHolder);
  player.remove();
  return player;
}

// A document's watch over its stand-ins: the observer (made with the first stand-in) and, for each
// element watched (a part, or a stand-in outside parts), the stand-ins it stands for.
function newMediaWatch() {
  return { observer: null, standInsOf: new Map() };
}

// Ends a document's watch (its content has left, or is leaving, the page).
function endMediaWatch(watch) {
  if (watch === null) return;
  if (watch.observer) watch.observer.disconnect();
  watch.standInsOf.clear();
}

// The document whose watch is given now shows (null: none does): the one shown before it has gone.
function showMediaWatch(watch) {
  if (shownMediaWatch !== watch) endMediaWatch(shownMediaWatch);
  shownMediaWatch = watch;
}

// Watches the stand-ins of a slice that has just entered the page; first: the first screen's slice.
function observeStandIns(watch, standIns, first) {
  if (!watch.observer) watch.observer = new IntersectionObserver((entries) => restoreNearMedia(watch, entries), { rootMargin: MEDIA_NEAR_MARGIN });
  for (const standIn of standIns) watchThroughPart(watch.observer, watch.standInsOf, standIn);
  // The first screen's players are in place before it is first shown.
  if (first) {
    const near = [...standIns].filter((standIn) => elementRect(standIn).top < innerHeight * 2);
    for (const standIn of near) restoreMedia(watch, standIn);
  }
}

function restoreNearMedia(watch, entries) {
  for (const entry of entries) {
    if (!entry.isIntersecting) continue;
    const held = watch.standInsOf.get(entry.target);
    watch.standInsOf.delete(entry.target);
    // A stand-in watched by itself (outside parts, or in a part that neared the window).
    if (held === undefined || held[0] === entry.target) {
      restoreMedia(watch, entry.target);
      continue;
    }
    // A part near the window: its stand-ins are watched one by one from now on.
    watch.observer.unobserve(entry.target);
    for (const standIn of held) {
      if (nodeIsConnected(standIn)) watch.observer.observe(standIn);
    }
  }
}

function restoreMedia(watch, standIn) {
  watch.observer.unobserve(standIn);
  if (nodeIsConnected(standIn)) elementReplaceWith(standIn, playerFor(standIn));
}
