'use strict';
// A generated document that looks like real notes: headings, paragraphs in
// English and Chinese, lists, tables, quotes, code, links, images and media
// cards. Deterministic, so benchmarks and tests always see the same text.

// Deterministic pseudo-random numbers below limit (32-bit xorshift).
function makeRandom(seed) {
  let state = seed >>> 0 || 1;
  return function next(limit) {
    state ^= state << 13;
    state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5;
    state >>>= 0;
    return state % limit;
  };
}

const ENGLISH = ('the viewer renders each document quickly while keeping the markup small and readable for people ' +
  'who write notes reports and manuals in plain text files with tables lists quotes and code samples').split(' ');
const CHINESE = ['文档', '查看器', '轻量级', '渲染', '速度', '表格', '列表', '引用', '代码', '图片', '视频', '音频',
  '附件', '标题', '段落', '链接', '主题', '目录', '打印', '支持'];

// Returns a document of at least minBytes bytes in UTF-8.
function realisticDocument(minBytes, seed = 20240611) {
  const random = makeRandom(seed);
  const pick = (list) => list[random(list.length)];
  const words = (count) => {
    const out = [];
    for (let i = 0; i < count; i++) out.push(random(3) === 0 ? pick(CHINESE) : pick(ENGLISH));
    return out.join(' ');
  };
  const sentence = () => {
    let s = words(6 + random(10));
    switch (random(8)) {
      case 0: s += ' `code_' + random(100) + '()`'; break;
      case 1: s += ' [' + words(2) + '](https://example.com/' + random(1000) + ')'; break;
      case 2: s += ' **' + words(2) + '**'; break;
      case 3: s += ' *' + words(2) + '*'; break;
      case 4: s += ' ~~' + words(1) + '~~'; break;
      default: break;
    }
    return s + (random(2) ? '.' : '\u3002');
  };
  const paragraph = () => Array.from({ length: 2 + random(4) }, sentence).join(random(4) ? ' ' : '\n');
  const blocks = [];
  let size = 0;
  let section = 0;
  while (size < minBytes) {
    let block;
    switch (random(14)) {
      case 0: block = '#'.repeat(1 + (section++ % 3)) + ' ' + words(4); break;
      case 1: block = Array.from({ length: 3 + random(5) }, (_, i) =>
        (i && random(3) === 0 ? '  ' : '') + '- ' + sentence()).join('\n'); break;
      case 2: block = Array.from({ length: 3 + random(4) }, (_, i) => (i + 1) + '. ' + sentence()).join('\n'); break;
      case 3: {
        const columns = 3 + random(3);
        const row = () => '| ' + Array.from({ length: columns }, () => words(1 + random(3))).join(' | ') + ' |';
        block = [row(), '|' + '---|'.repeat(columns)].concat(Array.from({ length: 3 + random(8) }, row)).join('\n');
        break;
      }
      case 4: block = Array.from({ length: 1 + random(3) }, () => '> ' + sentence()).join('\n'); break;
      case 5: block = '```js\n' + Array.from({ length: 3 + random(10) }, (_, i) =>
        'const value' + i + ' = compute(' + i + ') * 2; // ' + words(3)).join('\n') + '\n```'; break;
      case 6: block = '![' + words(2) + '](images/picture-' + random(500) + '.png)'; break;
      case 7: block = '!video[' + words(3) + '](media/clip-' + random(50) + '.mp4)'; break;
      case 8: block = '!audio[' + words(2) + '](media/track-' + random(50) + '.mp3)'; break;
      case 9: block = '!file[report-' + random(99) + '.' + pick(['pdf', 'zip', 'docx', 'xlsx', 'bin']) + '|' +
        (1 + random(90)) / 10 + ' MB](files/report.pdf)'; break;
      case 10: block = '---'; break;
      default: block = paragraph(); break;
    }
    blocks.push(block);
    size += Buffer.byteLength(block, 'utf8') + 2;
  }
  return blocks.join('\n\n');
}

module.exports = { realisticDocument, makeRandom };
