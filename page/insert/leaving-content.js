// Taking out the content a large document replaces, a step at a time.
//
// A large document shown again (live reload, a switch of dialect) arrives hidden behind the old one
// and takes its place in one task once it reaches the reader's place (see
// page/insert/document-insertion.js). Hiding a whole large document in that task took the browser
// longer than a task may: every part once laid out has its boxes taken down. So while the new one
// arrives, the old document's parts far from the window are hidden already, a few per task, the
// farthest first; a spacer at the old document's start stands in for the hidden ones above the
// window, so that nothing the reader sees moves. The swap then hides only the window's
// neighbourhood. Hidden content is taken out of the page in short tasks as well: dropping it in one
// go held the page up as long.
//
// Uses: contentEl, createElement, elementRect, elementSetAttribute, nodeParent, nodeType, shownParts

// Milliseconds per task of hiding and taking out leaving content.
const LEAVING_BUDGET_MS = 20;
// Hides content on its way out, whatever style the document gave it.
const LEAVING_STYLE = 'display:none!important';
// Screens above and below the window whose old content stays until the swap: what the reader sees,
// and what a short scroll reaches.
const LEAVING_KEPT_SCREENS = 1;

// The hidden elements still to be taken out; the elements hidden already (so that the swap skips
// them); the spacer standing in for the hidden old parts above the window; whether the old parts
// are being hidden (an insertion is arriving behind them); and whether a task is on its way.
let leavingNodes = [];
let leavingHidden = new WeakSet();
let leavingSpacer = null;
let retiringParts = false;
let leavingScheduled = false;
const leavingChannel = new MessageChannel();
leavingChannel.port1.onmessage = leaveStep;

// A large document starts arriving behind the one shown: its parts far from the window begin to go.
function retireShownParts() {
  if (shownParts.length < 2) return;
  retiringParts = true;
  scheduleLeaving();
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
  if (leavingScheduled || (leavingNodes.length === 0 && !retiringParts)) return;
  leavingScheduled = true;
  leavingChannel.port2.postMessage(null);
}

// One task's worth: old parts far from the window hidden, then hidden content taken out.
function leaveStep() {
  leavingScheduled = false;
  const started = performance.now();
  const inTime = () => performance.now() - started < LEAVING_BUDGET_MS;
  while (retiringParts && inTime()) {
    if (!retireFarthestPart()) retiringParts = false;
  }
  // Taken out from the end: each element is one part or block, so no step is large.
  while (leavingNodes.length > 0 && inTime()) {
    const node = leavingNodes.pop();
    if (nodeParent(node) === contentEl) contentEl.removeChild(node);
  }
  scheduleLeaving();
}

// Hides the shown old part farthest from the window (the first or the last), when it lies beyond the
// screens kept; false when none does. Reading the places lays out what the last step hid, so each
// step's cost is counted within the budget.
function retireFarthestPart() {
  if (shownParts.length < 2) return false;
  const first = shownParts[0].el;
  const last = shownParts.at(-1).el;
  if (nodeParent(first) !== contentEl || nodeParent(last) !== contentEl) return false;
  const kept = innerHeight * LEAVING_KEPT_SCREENS;
  const below = elementRect(last).top - (innerHeight + kept);
  const above = -kept - elementRect(first).bottom;
  if (below <= 0 && above <= 0) return false;
  if (below >= above) {
    hideLeaving(last);
    shownParts.pop();
    return true;
  }
  // The spacer grows by what the part took, so the parts after it stay where they are.
  const next = shownParts[1].el;
  const nextTop = elementRect(next).top;
  const height = spacerHeight() + nextTop - elementRect(first).top;
  if (leavingSpacer === null) {
    leavingSpacer = createElement('div');
    contentEl.insertBefore(leavingSpacer, first);
  }
  leavingSpacer.style.height = height + 'px';
  hideLeaving(first);
  shownParts.shift();
  // Margins that met across the part's edges (parts that contain nothing) are put right.
  const drift = elementRect(next).top - nextTop;
  if (drift !== 0) leavingSpacer.style.height = height - drift + 'px';
  return true;
}
