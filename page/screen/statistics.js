// The top bar's statistics of the shown document: characters, words, lines and the file's size.
//
// Uses: nextTask, shownFileSize, ui

// The page's own texts. String literals hold non-ASCII text as \u escapes; each comment shows it.
const TEXT_CHARACTERS = ' \u5b57\u7b26 \u00b7 '; // " 字符 · "
const TEXT_WORDS = ' \u8bcd \u00b7 '; // " 词 · "
const TEXT_LINES = ' \u884c \u00b7 '; // " 行 · "

// Whether a UTF-16 unit is white space as the script's "\s" and trim understand it.
function isWhiteSpace(unit) {
  if (unit <= 0x20) return unit === 0x20 || (unit >= 0x09 && unit <= 0x0d);
  if (unit < 0xa0) return false;
  return unit === 0xa0 || unit === 0x1680 || (unit >= 0x2000 && unit <= 0x200a) || unit === 0x2028 ||
    unit === 0x2029 || unit === 0x202f || unit === 0x205f || unit === 0x3000 || unit === 0xfeff;
}

// How many UTF-16 units of a document are counted per task: a pass over a large document whole
// held the page up for longer than a task may take.
const STATISTICS_STEP_UNITS = 1024 * 1024;

// Counting the shown document's statistics: a newer document's counting ends an older one's.
let statisticsCountings = 0;

// Words (runs between white space), lines (LF count + 1) and UTF-8 bytes of a text, counted from its
// start in as many calls as it takes; at is where the next call goes on.
function newTextCounts() {
  return { words: 0, lines: 1, bytes: 0, inWord: false, at: 0 };
}

// Counts the text from counts.at to end (or one unit past it, to keep a surrogate pair whole). A lone
// surrogate counts as the 3 bytes of U+FFFD that an encoder writes for it.
function countText(text, counts, end) {
  let { words, lines, bytes, inWord, at: i } = counts;
  for (; i < end; i++) {
    const unit = text.charCodeAt(i);
    if (unit === 0x0a) lines++;
    const space = isWhiteSpace(unit);
    if (!space && !inWord) words++;
    inWord = !space;
    if (unit < 0x80) {
      bytes += 1;
    } else if (unit < 0x800) {
      bytes += 2;
    } else if (unit >= 0xd800 && unit <= 0xdbff && (text.charCodeAt(i + 1) & 0xfc00) === 0xdc00) {
      bytes += 4;
      i++;
    } else {
      bytes += 3;
    }
  }
  Object.assign(counts, { words, lines, bytes, inWord, at: i });
}

function formatSize(bytes) {
  const kb = bytes / 1024;
  return kb > 1024 ? (kb / 1024).toFixed(2) + ' MB' : kb.toFixed(1) + ' KB';
}

function statisticsText(md, counts) {
  return md.length + TEXT_CHARACTERS + counts.words + TEXT_WORDS + counts.lines + TEXT_LINES +
    formatSize(shownFileSize(md, counts.bytes));
}

// The top bar's statistics: UTF-16 code units, white-space separated words and LF count + 1 of the
// decoded text, and the file's size in bytes (see page/screen/encodings.js).
function documentStatistics(md) {
  const counts = newTextCounts();
  countText(md, counts, md.length);
  return statisticsText(md, counts);
}

// Shows the document's statistics in the top bar: at once, or for a large document a moment later,
// counted a step per task.
function showDocumentStatistics(md) {
  const counting = ++statisticsCountings;
  const counts = newTextCounts();
  const step = () => {
    if (counting !== statisticsCountings) return;
    countText(md, counts, Math.min(md.length, counts.at + STATISTICS_STEP_UNITS));
    if (counts.at < md.length) nextTask().then(step);
    else ui.meta.textContent = statisticsText(md, counts);
  };
  if (md.length > STATISTICS_STEP_UNITS) ui.meta.textContent = '';
  step();
}

// Empties the statistics, and ends their counting.
function forgetStatistics() {
  statisticsCountings++;
  ui.meta.textContent = '';
}
