// The outline panel: h1 to h3 numbered and listed as they arrive, and the panel opened and closed.
//
// Uses: contentEl, createElement, createFragment, elementId, elementLocalName, elementSetAttribute,
//   nodeText, panelOpened, pointDocumentLinks, showPanelButton, ui

const HEADING_ID_PREFIX = 'heading-';

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
