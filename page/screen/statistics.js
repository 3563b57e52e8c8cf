// The top bar's statistics of the shown document: characters, words, lines and the file's size.
//
// Uses: shownFileSize

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

// Words (runs between white space), lines (LF count + 1) and UTF-8 bytes of a text, in one pass:
// a large document has hundreds of thousands of words. A lone surrogate counts as the 3 bytes of
// U+FFFD that an encoder writes for it.
function measureText(text) {
  let words = 0;
  let lines = 1;
  let bytes = 0;
  let inWord = false;
  for (let i = 0; i < text.length; i++) {
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
  return { words, lines, bytes };
}

function formatSize(bytes) {
  const kb = bytes / 1024;
  return kb > 1024 ? (kb / 1024).toFixed(2) + ' MB' : kb.toFixed(1) + ' KB';
}

// The top bar's statistics: UTF-16 code units, white-space separated words and LF count + 1 of the
// decoded text, and the file's size in bytes (see page/screen/encodings.js).
function documentStatistics(md) {
  const { words, lines, bytes } = measureText(md);
  return md.length + TEXT_CHARACTERS + words + TEXT_WORDS + lines + TEXT_LINES + formatSize(shownFileSize(md, bytes));
}
