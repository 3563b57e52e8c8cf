// The outline panel's second tab, "文件": the documents under the shown document's root, as a tree
// of folders that open on demand. The host answers each folder at
//     <origin>/files/<generation>/<folder path below the root>
// (read on a worker, one folder at a time, under the shown delivery's number like every answer beside
// the document) with { folder, document, entries: [{ name, folder }], more }. The shown document is
// marked and its folders opened so that it is in view; the rest are sorted by name, folders first.
// Choosing a file (a click, Enter or Space) asks the host to open it through the window's history,
// by its address under the document base, judged like a link the reader followed. A document the page
// read itself has no folder the page knows of, and the tab says so.
//
// Keys in the tree, as in every tree view: Up and Down move, Right opens a folder or enters it, Left
// closes it or goes to its parent, Home and End go to the first and last entry, Enter and Space choose.
// Only one entry at a time is in the Tab order.
//
// viewer.js calls installFilesPanel at start-up.
//
// Uses: DOCUMENT_BASE_PATH, createElement, hostView, ui

const FILES_BASE_PATH = '/files/';
const TEXT_FILES_LOADING = '\u6b63\u5728\u8bfb\u53d6\u2026'; // "正在读取…"
const TEXT_FILES_EMPTY = '\u6ca1\u6709\u6587\u6863'; // "没有文档"
const TEXT_FILES_MORE = '\u8d85\u8fc7 2000 \u9879\uff0c\u53ea\u5217\u51fa\u4e86\u524d 2000 \u9879'; // "超过 2000 项，只列出了前 2000 项"
const TEXT_FILES_FAILED = '\u65e0\u6cd5\u8bfb\u53d6\u8fd9\u4e2a\u6587\u4ef6\u5939'; // "无法读取这个文件夹"
const TEXT_NO_FOLDER = '\u8fd9\u4e2a\u6587\u6863\u662f\u5728\u9875\u9762\u91cc\u6253\u5f00\u7684\uff0c\u4e0d\u77e5\u9053\u5b83\u6240\u5728\u7684\u6587\u4ef6\u5939\u3002'; // "这个文档是在页面里打开的，不知道它所在的文件夹。"
// Names in the order a reader expects: "2.md" before "10.md", case and accents aside.
const FILE_NAME_ORDER = new Intl.Collator('zh-CN', { numeric: true, sensitivity: 'base' });

// The delivery whose folders the tab shows; null when no folder is known.
let filesGeneration = null;
// The tree built for filesGeneration, once the tab has been shown: { generation, documentPath }.
let fileTreeState = null;
// Whether the outline lists anything (the panel opens on it then).
let outlineHasEntries = false;
// How far each level of the tree is indented, past the panel's own margin.
const TREE_MARGIN_PX = 16;
const TREE_INDENT_PX = 14;

// The panel's button: shown when the outline has entries or a folder is known.
function showPanelButton(hasHeadings) {
  outlineHasEntries = hasHeadings;
  ui.tocBtn.style.display = hasHeadings || filesGeneration !== null ? '' : 'none';
}

// The document of delivery `generation` (null: none of the host's) is now shown.
function showFilesOf(generation) {
  if (generation === filesGeneration && generation !== null) return;
  filesGeneration = generation;
  fileTreeState = null;
  ui.fileTree.textContent = '';
  if (ui.tabFiles.getAttribute('aria-selected') === 'true') buildFileTree();
}

function selectPanelTab(tab) {
  const files = tab === 'files';
  ui.tabOutline.setAttribute('aria-selected', String(!files));
  ui.tabFiles.setAttribute('aria-selected', String(files));
  ui.tocList.hidden = files;
  ui.fileTree.hidden = !files;
  if (files && fileTreeState === null) buildFileTree();
}

// The panel opens on the outline, or on the files when the outline is empty.
function panelOpened() {
  if (!outlineHasEntries) selectPanelTab('files');
}

function indentFor(level) {
  return TREE_MARGIN_PX + (level - 1) * TREE_INDENT_PX + 'px';
}

function fileNote(text, level = 1) {
  const note = createElement('div');
  note.className = 'ft-note';
  note.textContent = text;
  note.style.paddingLeft = indentFor(level);
  return note;
}

function folderAddress(generation, segments) {
  return location.origin + FILES_BASE_PATH + generation + '/' + segments.map(encodeURIComponent).join('/');
}

// The listing of one folder, or null when it cannot be had.
async function fetchFolder(generation, segments) {
  try {
    const response = await fetch(folderAddress(generation, segments));
    if (!response.ok) return null;
    const listing = await response.json();
    return listing && Array.isArray(listing.entries) ? listing : null;
  } catch (e) {
    return null;
  }
}

function sortedEntries(entries) {
  return entries
    .filter((entry) => entry && typeof entry.name === 'string' && entry.name !== '')
    .sort((a, b) => (Boolean(b.folder) - Boolean(a.folder)) || FILE_NAME_ORDER.compare(a.name, b.name));
}

function makeTreeItem(entry, segments, level) {
  const item = createElement('div');
  item.setAttribute('role', 'treeitem');
  item.setAttribute('aria-level', String(level));
  item.tabIndex = -1;
  item.className = entry.folder ? 'ft-item ft-folder' : 'ft-item ft-file';
  item.dataset.path = [...segments, entry.name].join('/');
  const label = createElement('span');
  label.className = 'ft-label';
  label.textContent = entry.name;
  label.style.paddingLeft = indentFor(level);
  item.appendChild(label);
  if (entry.folder) {
    item.setAttribute('aria-expanded', 'false');
    const group = createElement('div');
    group.setAttribute('role', 'group');
    group.hidden = true;
    item.appendChild(group);
  }
  return item;
}

// Fills `group` with the folder's entries (read once), for the tree of `state`.
async function fillFolder(state, group, segments, level) {
  if (group.dataset.filled) return;
  group.dataset.filled = 'pending';
  group.replaceChildren(fileNote(TEXT_FILES_LOADING, level));
  const listing = await fetchFolder(state.generation, segments);
  if (state !== fileTreeState) return;
  if (!listing) {
    group.replaceChildren(fileNote(TEXT_FILES_FAILED, level));
    delete group.dataset.filled;
    return;
  }
  if (typeof listing.document === 'string') state.documentPath = listing.document;
  const items = sortedEntries(listing.entries).map((entry) => makeTreeItem(entry, segments, level));
  group.replaceChildren(...items);
  if (items.length === 0) group.appendChild(fileNote(TEXT_FILES_EMPTY, level));
  if (listing.more === true) group.appendChild(fileNote(TEXT_FILES_MORE, level));
  group.dataset.filled = 'yes';
  markShownDocument(state);
}

function itemSegments(item) {
  return item.dataset.path.split('/');
}

function childGroup(item) {
  return item.querySelector(':scope > [role="group"]');
}

async function setFolderOpen(item, open) {
  item.setAttribute('aria-expanded', String(open));
  const group = childGroup(item);
  group.hidden = !open;
  if (open) await fillFolder(fileTreeState, group, itemSegments(item), Number(item.getAttribute('aria-level')) + 1);
}

function markShownDocument(state) {
  if (!state.documentPath) return;
  for (const item of ui.fileTree.querySelectorAll('.ft-file')) {
    const shown = item.dataset.path === state.documentPath;
    item.classList.toggle('ft-current', shown);
    if (shown) item.setAttribute('aria-current', 'page');
    else item.removeAttribute('aria-current');
  }
}

// Builds the tree from the root, opens the folders down to the shown document, and brings it into view.
async function buildFileTree() {
  const generation = filesGeneration;
  if (generation === null) {
    fileTreeState = { generation: null, documentPath: null };
    ui.fileTree.replaceChildren(fileNote(TEXT_NO_FOLDER));
    return;
  }
  const state = { generation, documentPath: null };
  fileTreeState = state;
  const root = createElement('div');
  root.className = 'ft-root';
  ui.fileTree.replaceChildren(root);
  await fillFolder(state, root, [], 1);
  if (state !== fileTreeState || !state.documentPath) return;
  const folders = state.documentPath.split('/').slice(0, -1);
  for (let depth = 1; depth <= folders.length; depth++) {
    const path = folders.slice(0, depth).join('/');
    const item = [...ui.fileTree.querySelectorAll('.ft-folder')].find((el) => el.dataset.path === path);
    if (!item) break;
    await setFolderOpen(item, true);
    if (state !== fileTreeState) return;
  }
  const shown = ui.fileTree.querySelector('.ft-current');
  makeTabStop(shown || ui.fileTree.querySelector('.ft-item'));
  if (shown) revealInPanel(shown);
}

// Scrolls the panel, and only the panel, so that the entry's own row is in view.
function revealInPanel(item) {
  const row = item.querySelector('.ft-label').getBoundingClientRect();
  const panel = ui.toc.getBoundingClientRect();
  if (row.top < panel.top) ui.toc.scrollTop -= panel.top - row.top;
  else if (row.bottom > panel.bottom) ui.toc.scrollTop += row.bottom - panel.bottom;
}

// The entries a reader can reach now, in order (those inside closed folders left out).
function visibleItems() {
  return [...ui.fileTree.querySelectorAll('.ft-item')].filter((item) => !item.parentElement.closest('[role="group"][hidden]'));
}

function makeTabStop(item) {
  if (!item) return;
  for (const other of ui.fileTree.querySelectorAll('.ft-item[tabindex="0"]')) other.tabIndex = -1;
  item.tabIndex = 0;
}

function focusItem(item) {
  if (!item) return;
  makeTabStop(item);
  item.focus();
}

// A file is opened through the host, at its address under the document base: the folders from the
// shown document's up to the root, then its path below the root.
function openListedFile(item) {
  const state = fileTreeState;
  if (!state || state.generation === null || !state.documentPath || !hostView) return;
  if (item.dataset.path === state.documentPath) return;
  const levels = state.documentPath.split('/').length - 1;
  const address = location.origin + DOCUMENT_BASE_PATH + state.generation + '/' + levels + '/' +
    itemSegments(item).map(encodeURIComponent).join('/');
  hostView.postMessage({ action: 'openListed', address });
}

function chooseItem(item) {
  if (item.classList.contains('ft-folder')) setFolderOpen(item, item.getAttribute('aria-expanded') !== 'true');
  else openListedFile(item);
}

function onFileTreeKey(event) {
  const item = event.target.closest('.ft-item');
  if (!item || event.altKey || event.ctrlKey || event.metaKey) return;
  const items = visibleItems();
  const at = items.indexOf(item);
  const folder = item.classList.contains('ft-folder');
  const open = item.getAttribute('aria-expanded') === 'true';
  const parent = item.parentElement.closest('.ft-item');
  switch (event.key) {
    case 'ArrowDown': focusItem(items[at + 1]); break;
    case 'ArrowUp': focusItem(items[at - 1]); break;
    case 'Home': focusItem(items[0]); break;
    case 'End': focusItem(items.at(-1)); break;
    case 'ArrowRight':
      if (folder && !open) setFolderOpen(item, true);
      else if (folder) focusItem(items[at + 1] && items[at + 1].parentElement.closest('.ft-item') === item ? items[at + 1] : null);
      break;
    case 'ArrowLeft':
      if (folder && open) setFolderOpen(item, false);
      else focusItem(parent);
      break;
    case 'Enter':
    case ' ':
      chooseItem(item);
      break;
    default:
      return;
  }
  event.preventDefault();
}

function installFilesPanel() {
  ui.tabOutline.addEventListener('click', () => selectPanelTab('outline'));
  ui.tabFiles.addEventListener('click', () => selectPanelTab('files'));
  ui.fileTree.addEventListener('click', (event) => {
    // The entry's own row: a folder's element also holds its entries and notes.
    const label = event.target.closest('.ft-label');
    if (!label) return;
    makeTabStop(label.parentElement);
    chooseItem(label.parentElement);
  });
  ui.fileTree.addEventListener('keydown', onFileTreeKey);
}
