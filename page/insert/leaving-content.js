// Taking out the content a large document replaces, a step at a time.
//
// A large document shown again (live reload, a switch of dialect) arrives hidden behind the old one
// and takes its place in one task once it reaches the reader's place (see
// page/insert/document-insertion.js). Hiding a whole large document in that task took the browser
// longer than a task may. So while the new one arrives, the old document's parts far from the
// window go already, a batch in each of the new one's slices, the farthest first. The swap then
// hides only the window's neighbourhood and what is left of the rest. Hidden content is taken out
// of the page in short tasks as well: dropping it in one go held the page up as long.
//
// A part far from the window skips its content, and is therefore style-contained: ending such a
// box (hiding or removing it) makes the browser walk the whole document in the next style pass,
// tens of milliseconds at 10 MiB and five times that at 50 MiB, whether one part goes or a few
// hundred do. A skipped part's content, on the other hand, leaves at little cost, and the part
// keeps its size. So far parts that skip their content are emptied, which changes nothing the
// reader sees and shrinks what the swap's one walk goes over; other parts (a document whose parts
// contain nothing) are hidden, a spacer at the old document's start standing in for those above
// the window, so that nothing the reader sees moves. A batch goes in the slice's own task before
// its new parts are put in: the places are read while the last frame's layout still holds, and one
// style pass, the frame's, takes both.
//
// Uses: contentEl, createElement, elementCheckVisibility, elementRect, elementSetAttribute, nextTask,
//   nodeParent, nodeType, shownParts

// Milliseconds per task of taking out hidden content.
const LEAVING_BUDGET_MS = 20;
// Hides content on its way out, whatever style the document gave it.
const LEAVING_STYLE = 'display:none!important';
// Screens above and below the window whose old content stays until the swap: what the reader sees,
// and what a short scroll reaches.
const LEAVING_KEPT_SCREENS = 1;
// Old parts emptied or hidden per slice of the new document at most.
const LEAVING_BATCH_PARTS = 128;

// The hidden elements still to be taken out; the elements hidden already (so that the swap skips
// them); the spacer standing in for the hidden old parts above the window; whether the old parts
// are being hidden (an insertion is arriving behind them); and whether a task is on its way.
let leavingNodes = [];
let leavingHidden = new WeakSet();
let leavingSpacer = null;
let retiringParts = false;
let leavingScheduled = false;

// A large document starts arriving behind the one shown: its parts far from the window go with its
// slices (see retireFarParts).
function retireShownParts() {
  retiringParts = shownParts.length >= 2;
}

// The new content takes the place of former (what the content area showed when it began to arrive):
// the rest of it is hidden at once, and all of it taken out in steps.
function replaceFormerContent(former) {
  retiringParts = false;
  if (leavingSpacer !== null) former.push(leavingSpacer);
  for (const node of former) {
    if (nodeParent(node) !== contentEl || leavingHidden.has(node)) continue;
    if (nodeType(node) === Node.ELEMENT_NODE) hideLeaving(node);
    else contentEl.removeChild(node);
  }
  leavingSpacer = null;
  scheduleLeaving();
}

// Takes out at once all that is leaving (printing and export need the document alone).
function dropLeavingContent() {
  retiringParts = false;
  for (const node of leavingNodes) {
    if (nodeParent(node) === contentEl) contentEl.removeChild(node);
  }
  forgetLeavingContent();
}

// Forgets what was leaving: the caller empties the content area.
function forgetLeavingContent() {
  retiringParts = false;
  leavingNodes = [];
  leavingHidden = new WeakSet();
  leavingSpacer = null;
}

function spacerHeight() {
  return leavingSpacer === null ? 0 : parseFloat(leavingSpacer.style.height) || 0;
}

function hideLeaving(node) {
  elementSetAttribute(node, 'style', LEAVING_STYLE);
  elementSetAttribute(node, 'hidden', '');
  leavingHidden.add(node);
  leavingNodes.push(node);
}

function scheduleLeaving() {
  if (leavingScheduled || leavingNodes.length === 0) return;
  leavingScheduled = true;
  nextTask().then(leaveStep);
}

// One task's worth of taking out hidden content.
function leaveStep() {
  leavingScheduled = false;
  const started = performance.now();
  // Taken out from the end: each element is one part or block, so no step is large.
  while (leavingNodes.length > 0 && performance.now() - started < LEAVING_BUDGET_MS) {
    const node = leavingNodes.pop();
    if (nodeParent(node) === contentEl) contentEl.removeChild(node);
  }
  scheduleLeaving();
}

// Empties or hides up to LEAVING_BATCH_PARTS of the shown old parts that lie beyond the screens kept,
// the farthest first, while a large document arrives behind them (called by each of its slices).
function retireFarParts() {
  if (retiringParts && !retireBatch()) retiringParts = false;
  scheduleLeaving();
}

// One batch; false when no part is left to take.
function retireBatch() {
  const parts = shownParts.map((part) => part.el);
  if (parts.length < 2 || parts.some((el) => nodeParent(el) !== contentEl)) return false;
  const kept = innerHeight * LEAVING_KEPT_SCREENS;
  // Distances beyond the kept screens, read before anything changes: above from the first part on,
  // below from the last one back.
  const above = [];
  for (let i = 0; i < parts.length && above.length < LEAVING_BATCH_PARTS; i++) {
    const distance = -kept - elementRect(parts[i]).bottom;
    if (distance <= 0) break;
    above.push(distance);
  }
  const below = [];
  for (let i = parts.length - 1; i > above.length && below.length < LEAVING_BATCH_PARTS; i--) {
    const distance = elementRect(parts[i]).top - innerHeight - kept;
    if (distance <= 0) break;
    below.push(distance);
  }
  // The farthest of both ends, merged.
  let taken = 0;
  let fromAbove = 0;
  let fromBelow = 0;
  while (taken < LEAVING_BATCH_PARTS && (fromAbove < above.length || fromBelow < below.length)) {
    if (fromBelow >= below.length || (fromAbove < above.length && above[fromAbove] > below[fromBelow])) fromAbove++;
    else fromBelow++;
    taken++;
  }
  if (taken === 0) return false;
  const leaving = [...parts.slice(0, fromAbove), ...parts.slice(parts.length - fromBelow)];
  if (leaving.every(skipsContent)) {
    for (const el of leaving) el.replaceChildren();
  } else {
    for (const el of parts.slice(parts.length - fromBelow)) hideLeaving(el);
    if (fromAbove > 0) retireAbove(parts, fromAbove);
  }
  shownParts = shownParts.slice(fromAbove, shownParts.length - fromBelow);
  return true;
}

// Whether a part skips its content (it is far from the window and contains it).
function skipsContent(part) {
  const first = part.firstElementChild;
  return first !== null && !elementCheckVisibility(first, { contentVisibilityAuto: true });
}

// Hides the first count parts, above the window; the spacer grows by what they took, so the parts
// after them stay where they are.
function retireAbove(parts, count) {
  const next = parts[count];
  const nextTop = elementRect(next).top;
  const height = spacerHeight() + nextTop - elementRect(parts[0]).top;
  if (leavingSpacer === null) {
    leavingSpacer = createElement('div');
    contentEl.insertBefore(leavingSpacer, parts[0]);
  }
  leavingSpacer.style.height = height + 'px';
  const hidden = parts.slice(0, count);
  for (const el of hidden) hideLeaving(el);
  // Margins may meet across the edges of parts that contain nothing: those are laid out at once
  // and put right.
  if (!hidden.some((el) => el.classList.contains('plain'))) return;
  const drift = elementRect(next).top - nextTop;
  if (drift !== 0) leavingSpacer.style.height = height - drift + 'px';
}
