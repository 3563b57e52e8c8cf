// Encodings: how the page reads the bytes of a file it opens itself (the file picker, a drop on the
// page, the "file" parameter), the name of the shown document's encoding in the top bar, and the list
// in which the reader chooses another one.
//
// Bytes are read as the host reads them: a byte-order mark decides (UTF-8, UTF-16 LE or BE, and the
// mark is dropped); without one, valid UTF-8 is UTF-8; text with a zero byte in every other place is
// UTF-16; anything else is a legacy encoding, which a detector made for this (jschardet, run in a
// worker from its text, fetched only then: never for a UTF-8 file) names. Without the detector, or when
// nothing it names fits, the bytes are read as lenient UTF-8. The platform's TextDecoder decodes.
//
// A chosen encoding sticks to the shown document: the host reads its document again in it (one message,
// "encoding"), and keeps it through live reloads and the reload keys; the page decodes its own
// documents again from their bytes, which it keeps while it keeps the document.
//
// Uses: createElement, endLanding, hostGeneration, hostView, keepOwnEncoding, libraryWorker,
//   readersPlace, renderDoc, returnToPlace, shownDocument, ui

// Every encoding a reader can choose, by the name the host gives it, with the platform decoder's label.
const ENCODINGS = [
  ['UTF-8', 'utf-8'], ['UTF-16 LE', 'utf-16le'], ['UTF-16 BE', 'utf-16be'],
  ['GBK', 'gbk'], ['GB18030', 'gb18030'], ['Big5', 'big5'],
  ['Shift_JIS', 'shift_jis'], ['EUC-JP', 'euc-jp'], ['EUC-KR', 'euc-kr'],
  ['Windows-1250', 'windows-1250'], ['Windows-1251', 'windows-1251'], ['Windows-1252', 'windows-1252'],
  ['Windows-1253', 'windows-1253'], ['Windows-1254', 'windows-1254'], ['Windows-1255', 'windows-1255'],
  ['Windows-1256', 'windows-1256'], ['Windows-1257', 'windows-1257'], ['Windows-1258', 'windows-1258'],
  ['Windows-874', 'windows-874'], ['KOI8-R', 'koi8-r'], ['KOI8-U', 'koi8-u'],
  ['ISO-8859-2', 'iso-8859-2'], ['ISO-8859-5', 'iso-8859-5'], ['ISO-8859-7', 'iso-8859-7'],
  ['ISO-8859-15', 'iso-8859-15'],
];
const ENCODING_LABELS = new Map(ENCODINGS);
const DEFAULT_ENCODING = 'UTF-8';
// Encodings that write a character below U+0080 in one byte and every other in two (a character
// outside the basic plane, two UTF-16 units, in four).
const DOUBLE_BYTE_ENCODINGS = new Set(['GBK', 'GB18030', 'Big5', 'Shift_JIS', 'EUC-JP', 'EUC-KR']);
// The encodings the detector may name (its own labels), and ours for the names it gives (in lower
// case). ISO-8859-1 and -9 are read in their Windows supersets, as the host reads them.
const DETECTOR_CANDIDATES = ['utf-8', 'gb18030', 'big5', 'cp932', 'euc-jp', 'euc-kr', 'windows-1250',
  'windows-1251', 'windows-1252', 'windows-1253', 'windows-1254', 'windows-1255', 'windows-1256',
  'windows-1257', 'windows-1258', 'cp874', 'koi8-r', 'koi8-u', 'iso-8859-1', 'iso-8859-2', 'iso-8859-5',
  'iso-8859-7', 'iso-8859-15'];
const DETECTED_NAMES = new Map([
  ['gb18030', 'GB18030'], ['gb2312', 'GBK'], ['gbk', 'GBK'], ['big5', 'Big5'], ['cp932', 'Shift_JIS'],
  ['shift_jis', 'Shift_JIS'], ['euc-jp', 'EUC-JP'], ['euc-kr', 'EUC-KR'], ['cp949', 'EUC-KR'],
  ['windows-1250', 'Windows-1250'], ['windows-1251', 'Windows-1251'], ['windows-1252', 'Windows-1252'],
  ['windows-1253', 'Windows-1253'], ['windows-1254', 'Windows-1254'], ['windows-1255', 'Windows-1255'],
  ['windows-1256', 'Windows-1256'], ['windows-1257', 'Windows-1257'], ['windows-1258', 'Windows-1258'],
  ['cp874', 'Windows-874'], ['koi8-r', 'KOI8-R'], ['koi8-u', 'KOI8-U'], ['iso-8859-1', 'Windows-1252'],
  ['iso-8859-2', 'ISO-8859-2'], ['iso-8859-5', 'ISO-8859-5'], ['iso-8859-7', 'ISO-8859-7'],
  ['iso-8859-9', 'Windows-1254'], ['iso8859-15', 'ISO-8859-15'], ['iso-8859-15', 'ISO-8859-15'],
  ['utf-8', 'UTF-8'],
]);
// The detector reads no further than this; the zero-byte look no further than the second.
const DETECTED_BYTES = 64 * 1024;
const ZERO_PATTERN_BYTES = 4096;
const TEXT_ENCODING_TITLE = '\u6587\u5b57\u7f16\u7801\uff1a\u70b9\u51fb\u9009\u62e9\u53e6\u4e00\u79cd'; // "文字编码：点击选择另一种"

// The encoding of the document on screen: its name, and for a document the page read itself its
// bytes (decoded again when the reader chooses) and their count; null while none is shown.
let shownEncoding = null;
let charsetWorker = null;

function startsWith(bytes, mark) {
  return bytes.length >= mark.length && mark.every((byte, i) => bytes[i] === byte);
}

// The platform decoder's reading of bytes in an encoding of ours: leniently, or null when fatal and
// they do not fit. A mark of the encoding at the start is dropped.
function decodeIn(bytes, name, fatal = false) {
  try {
    return new TextDecoder(ENCODING_LABELS.get(name) || 'utf-8', { fatal }).decode(bytes);
  } catch (e) {
    return null;
  }
}

// UTF-16 without a mark: any ASCII in the text leaves a zero byte in every other place, and (almost)
// none in the others. null: not UTF-16.
function zeroBytePattern(bytes) {
  const length = Math.min(bytes.length, ZERO_PATTERN_BYTES) & ~1;
  let even = 0;
  let odd = 0;
  for (let i = 0; i < length; i += 2) {
    if (bytes[i] === 0) even++;
    if (bytes[i + 1] === 0) odd++;
  }
  const pairs = length / 2;
  if (pairs >= 2 && odd * 5 >= pairs && even * 10 <= odd) return 'UTF-16 LE';
  if (pairs >= 2 && even * 5 >= pairs && odd * 10 <= even) return 'UTF-16 BE';
  return null;
}

// Runs in the detector's worker, after the library's text.
function charsetWorkerMain() {
  self.onmessage = (event) => {
    const { id, bytes, candidates } = event.data;
    let guesses = [];
    try {
      guesses = jschardet.detectAll(bytes, { detectEncodings: candidates }).map((guess) => guess.encoding);
    } catch (e) {
      guesses = [];
    }
    self.postMessage({ id, guesses });
  };
}

// A promise of the detector's guesses for bytes, most likely first, as names of ours; empty when the
// detector cannot be had.
function guessEncodings(bytes) {
  if (!charsetWorker) charsetWorker = libraryWorker('charsetDetector', charsetWorkerMain);
  const opening = bytes.slice(0, DETECTED_BYTES);
  return charsetWorker.run({ bytes: opening, candidates: DETECTOR_CANDIDATES }).then((answer) => {
    const guesses = answer && Array.isArray(answer.guesses) ? answer.guesses : [];
    return guesses.map((guess) => DETECTED_NAMES.get(String(guess).toLowerCase())).filter(Boolean);
  });
}

// GB18030 text that uses none of its four-byte sequences is GBK, and named so (as the host names it).
function narrowestChinese(bytes) {
  for (let i = 0; i + 1 < bytes.length; i++) {
    if (bytes[i] < 0x81) continue;
    if (bytes[i + 1] >= 0x30 && bytes[i + 1] <= 0x39) return 'GB18030';
    i++;
  }
  return 'GBK';
}

// A promise of { text, encoding } for a file's bytes (a Uint8Array): read in `chosen` when given,
// otherwise in the encoding they are found to be in (see the top of this file).
function decodeDocumentBytes(bytes, chosen = null) {
  if (chosen && ENCODING_LABELS.has(chosen)) return Promise.resolve({ text: decodeIn(bytes, chosen), encoding: chosen });
  const marked = startsWith(bytes, [0xef, 0xbb, 0xbf]) ? 'UTF-8'
    : startsWith(bytes, [0xff, 0xfe]) ? 'UTF-16 LE'
      : startsWith(bytes, [0xfe, 0xff]) ? 'UTF-16 BE' : null;
  if (marked) return Promise.resolve({ text: decodeIn(bytes, marked), encoding: marked });
  const utf8 = decodeIn(bytes, 'UTF-8', true);
  if (utf8 !== null) return Promise.resolve({ text: utf8, encoding: 'UTF-8' });
  const utf16 = zeroBytePattern(bytes);
  if (utf16) return Promise.resolve({ text: decodeIn(bytes, utf16), encoding: utf16 });
  return guessEncodings(bytes).then((guesses) => {
    for (const guess of guesses) {
      const name = guess === 'GB18030' ? narrowestChinese(bytes) : guess;
      const text = decodeIn(bytes, name, true);
      if (text !== null) return { text, encoding: name };
    }
    return { text: decodeIn(bytes, DEFAULT_ENCODING), encoding: DEFAULT_ENCODING };
  });
}

// The document about to be shown is in encoding `name`; bytes: the file's, when the page read it.
function setShownEncoding(name, bytes = null) {
  shownEncoding = { name: ENCODING_LABELS.has(name) ? name : DEFAULT_ENCODING, bytes };
}

// The size of the shown document's file in bytes: counted when the page read it, otherwise worked out
// from its text and encoding (utf8Bytes: the text's length in UTF-8). A host's UTF-16 file counts
// without its mark, which its text no longer holds.
function shownFileSize(text, utf8Bytes) {
  if (shownEncoding && shownEncoding.bytes) return shownEncoding.bytes.length;
  const name = shownEncoding ? shownEncoding.name : DEFAULT_ENCODING;
  if (name === 'UTF-8') return utf8Bytes;
  if (name.startsWith('UTF-16')) return text.length * 2;
  if (!DOUBLE_BYTE_ENCODINGS.has(name)) return text.length;
  let size = 0;
  for (let i = 0; i < text.length; i++) size += text.charCodeAt(i) < 0x80 ? 1 : 2;
  return size;
}

// The top bar's encoding button, for the document on screen (none: hidden).
function showEncodingName() {
  ui.encodingBtn.hidden = shownEncoding === null;
  ui.encodingBtn.textContent = shownEncoding ? shownEncoding.name : '';
}

function forgetEncoding() {
  shownEncoding = null;
  closeEncodingList(false);
  showEncodingName();
}

function isEncodingListOpen() {
  return !ui.encodingList.hidden;
}

function openEncodingList() {
  const current = shownEncoding ? shownEncoding.name : DEFAULT_ENCODING;
  for (const item of ui.encodingList.children) item.setAttribute('aria-checked', String(item.dataset.encoding === current));
  ui.encodingList.hidden = false;
  ui.encodingBtn.setAttribute('aria-expanded', 'true');
  // Under the button, inside the window.
  const button = ui.encodingBtn.getBoundingClientRect();
  const width = ui.encodingList.offsetWidth;
  ui.encodingList.style.left = Math.max(4, Math.min(button.left, window.innerWidth - width - 4)) + 'px';
  ui.encodingList.style.top = button.bottom + 4 + 'px';
  const checked = ui.encodingList.querySelector('[aria-checked="true"]') || ui.encodingList.firstElementChild;
  checked.focus();
}

function closeEncodingList(returnFocus) {
  if (!isEncodingListOpen()) return;
  ui.encodingList.hidden = true;
  ui.encodingBtn.setAttribute('aria-expanded', 'false');
  if (returnFocus) ui.encodingBtn.focus();
}

// The reader chose an encoding: the document is shown again in it, at the reader's place.
function chooseEncoding(name) {
  closeEncodingList(true);
  if (!shownEncoding || shownDocument === null || name === shownEncoding.name) return;
  if (hostGeneration !== null && hostGeneration > 0) {
    // The host reads the file again and delivers it under the same number, which keeps the place.
    if (hostView) hostView.postMessage({ action: 'encoding', generation: hostGeneration, encoding: name });
    return;
  }
  const bytes = shownEncoding.bytes;
  if (!bytes) return;
  const text = decodeIn(bytes, name);
  setShownEncoding(name, bytes);
  keepOwnEncoding(text, shownEncoding);
  endLanding();
  const place = readersPlace();
  renderDoc(text, shownDocument.name, place.index + 1, () => returnToPlace(place));
}

// Up, Down, Home and End move in the list; Escape and Tab leave it (Escape back to its button).
function encodingListKeys(event) {
  const items = [...ui.encodingList.children];
  const at = items.indexOf(document.activeElement);
  const moves = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: items.length - 1 };
  if (event.key in moves) {
    event.preventDefault();
    items[(moves[event.key] + items.length) % items.length].focus();
  } else if (event.key === 'Escape') {
    event.preventDefault();
    event.stopPropagation();
    closeEncodingList(true);
  } else if (event.key === 'Tab') {
    closeEncodingList(false);
  }
}

function installEncodingList() {
  ui.encodingBtn.title = TEXT_ENCODING_TITLE;
  for (const [name] of ENCODINGS) {
    const item = createElement('button');
    item.type = 'button';
    item.setAttribute('role', 'menuitemradio');
    item.dataset.encoding = name;
    item.textContent = name;
    item.addEventListener('click', () => chooseEncoding(name));
    ui.encodingList.appendChild(item);
  }
  ui.encodingBtn.addEventListener('click', () => {
    if (isEncodingListOpen()) closeEncodingList(true);
    else openEncodingList();
  });
  ui.encodingList.addEventListener('keydown', encodingListKeys);
  document.addEventListener('click', (event) => {
    if (!isEncodingListOpen()) return;
    if (ui.encodingList.contains(event.target) || event.target === ui.encodingBtn) return;
    closeEncodingList(false);
  });
}
