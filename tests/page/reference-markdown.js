'use strict';
// A deliberately naive converter: every step is one whole-text regular
// expression rewrite, markers are put back one number at a time. It is slow
// (quadratic on unclosed brackets and on many markers) and exists only so the
// differential tests can compare page/markdown.js against the plain reading of
// each step on small generated inputs.
//
// It shares the two choices page/markdown.js makes about markers: U+0000 in
// the input becomes U+FFFD, and a code-block marker that ended up inside inline
// code is put back after the inline code (a second code-block pass).

function refEsc(s) {
  return s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

const REF_ICONS = {
  pdf: '\u{1F4C4}',
  zip: '\u{1F5DC}\uFE0F',
  rar: '\u{1F5DC}\uFE0F',
  doc: '\u{1F4DD}',
  docx: '\u{1F4DD}',
  xls: '\u{1F4CA}',
  xlsx: '\u{1F4CA}',
  txt: '\u{1F4C3}',
  json: '\u{1F527}',
  py: '\u{1F40D}',
  js: '\u2699\uFE0F',
};

function refMedia(tag, attrs, icon) {
  return function (m, title, src) {
    return '<div style="margin:8px 0"><' + tag + ' controls style="' + attrs + '"><source src="' + src + '"></' +
      tag + '>' + (title ? '<div style="font-size:12px;color:#64748b;margin:2px 0">' + icon + ' ' +
      refEsc(title) + '</div>' : '') + '</div>';
  };
}

function refAttachment(m, label, src) {
  const parts = label.split('|');
  const name = parts[0] || '\u9644\u4ef6';
  const size = parts[1] || '';
  const dot = name.lastIndexOf('.');
  const ext = (dot >= 0 ? name.slice(dot + 1) : name).toUpperCase();
  const key = ext.toLowerCase();
  const icon = Object.prototype.hasOwnProperty.call(REF_ICONS, key) ? REF_ICONS[key] : '\u{1F4CE}';
  return '<a class="ac" href="' + src + '" download="' + refEsc(name) + '"><span style="font-size:20px">' + icon +
    '</span><span><span style="font-size:13px;font-weight:500">' + refEsc(name) +
    '</span><br><span style="font-size:10px;color:#64748b">' + (size ? size + ' \u00b7 ' : '') + ext +
    ' \u6587\u4ef6 \u00b7 \u70b9\u51fb\u4e0b\u8f7d</span></span></a>';
}

function refReplaceAll(text, find, value) {
  return text.split(find).join(value);
}

// Step 1: fenced code blocks into CB, each replaced by its marker.
function refTakeFences(t, CB) {
  return t.replace(/```(\w*)[^\S\r\n]*\r?\n([\s\S]*?)```/g, (m, lang, code) => {
    code = code.replace(/\r?\n$/, '');
    const attribute = lang ? ' class="language-' + refEsc(lang) + '"' : '';
    CB.push('<pre><code' + attribute + '>' + refEsc(code) + '</code></pre>');
    return '\0CB' + (CB.length - 1) + '\0';
  });
}

// Step 2: inline code into IC, each replaced by its marker.
function refTakeInlineCode(t, IC) {
  return t.replace(/`([^`\n]+)`/g, (m, code) => {
    IC.push('<code>' + refEsc(code) + '</code>');
    return '\0IC' + (IC.length - 1) + '\0';
  });
}

function refParse(md) {
  const CB = [];
  const IC = [];
  let t = md.replace(/\0/g, '\uFFFD');
  t = refTakeFences(t, CB);
  t = refTakeInlineCode(t, IC);
  t = t.replace(/!video\[([^\]]*)\]\(([^)]+)\)/g, refMedia('video', 'max-width:100%;border-radius:7px', '\u{1F3AC}'));
  t = t.replace(/!audio\[([^\]]*)\]\(([^)]+)\)/g, refMedia('audio', 'width:100%', '\u{1F3B5}'));
  t = t.replace(/!file\[([^\]]*)\]\(([^)]+)\)/g, refAttachment);
  t = t.replace(/!\[([^\]]*)\]\(([^)]+)\)/g, '<img src="$2" alt="$1" title="$1">');
  t = t.replace(/\[([^\]]+)\]\(([^)]+)\)/g, '<a href="$2" target="_blank">$1</a>');
  t = t.replace(/^######\s+(.+)$/gm, '<h6>$1</h6>');
  t = t.replace(/^#####\s+(.+)$/gm, '<h5>$1</h5>');
  t = t.replace(/^####\s+(.+)$/gm, '<h4>$1</h4>');
  t = t.replace(/^###\s+(.+)$/gm, '<h3>$1</h3>');
  t = t.replace(/^##\s+(.+)$/gm, '<h2>$1</h2>');
  t = t.replace(/^#\s+(.+)$/gm, '<h1>$1</h1>');
  t = t.replace(/(^>\s?.+\r?\n?)+/gm, (m) => '<blockquote>' + m.replace(/^>\s?/gm, '').trim() + '</blockquote>');
  t = t.replace(/^---+$/gm, '<hr>');
  t = t.replace(/(^\|.+\|[ \t]*\r?\n?)+/gm, (m) => {
    const rows = m.trim().split(/\r?\n/);
    if (rows.length < 2) return m;
    let html = '';
    let head = true;
    for (let row of rows) {
      row = row.trim();
      if (!row || /^\|[\s:|\-]+\|$/.test(row)) continue;
      const cell = head ? 'th' : 'td';
      const cells = row.slice(1, -1).split('|').map((c) => '<' + cell + '>' + c.trim() + '</' + cell + '>');
      html += '<tr>' + cells.join('') + '</tr>';
      head = false;
    }
    return '<table>' + html + '</table>';
  });
  t = t.replace(/(^[ \t]*- .+\r?\n?)+/gm, (m) => {
    let prev = 1;
    let html = '';
    for (const line of m.trim().split(/\r?\n/)) {
      const level = Math.floor(line.match(/^[ \t]*/)[0].length / 2) + 1;
      if (level > prev) html += '<ul>'.repeat(level - prev);
      if (level < prev) html += '</ul>'.repeat(prev - level);
      html += '<li>' + line.replace(/^[ \t]*- /, '') + '</li>';
      prev = level;
    }
    return '<ul>' + html + '</ul>'.repeat(prev - 1) + '</ul>';
  });
  t = t.replace(/(^\d+\.\s.+\r?\n?)+/gm, (m) =>
    '<ol>' + m.trim().split(/\r?\n/).map((l) => '<li>' + l.replace(/^\d+\.\s/, '') + '</li>').join('') + '</ol>');
  t = t.replace(/\*\*\*(.+?)\*\*\*/g, '<strong><em>$1</em></strong>');
  t = t.replace(/\*\*(.+?)\*\*/g, '<strong>$1</strong>');
  t = t.replace(/\*(.+?)\*/g, '<em>$1</em>');
  t = t.replace(/~~(.+?)~~/g, '<del>$1</del>');
  t = t.split(/(?:\r?\n){2,}/).map((p) => p.trim()).filter((p) => p).map((p) => {
    if (/^<(h[1-6]|ul|ol|blockquote|pre|hr|table|div|a class|img)/.test(p)) return p;
    if (p.startsWith('\0CB')) return p;
    if (p.includes('\0CB')) {
      CB.forEach((html, k) => { p = refReplaceAll(p, '\0CB' + k + '\0', html); });
      return p;
    }
    return '<p>' + p.replace(/\r?\n/g, '<br>') + '</p>';
  }).join('\n');
  CB.forEach((html, k) => { t = refReplaceAll(t, '\0CB' + k + '\0', html); });
  IC.forEach((html, k) => { t = refReplaceAll(t, '\0IC' + k + '\0', html); });
  CB.forEach((html, k) => { t = refReplaceAll(t, '\0CB' + k + '\0', html); });
  return t;
}

module.exports = { refEsc, refParse, refTakeFences, refTakeInlineCode };
