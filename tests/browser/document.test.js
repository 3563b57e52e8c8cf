'use strict';
// A document shown in the page: statistics, document title, outline, anchors, window sizes and
// wide content, back-to-top, printing.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSuite, endSuite, openViewer, openDocument, documentShown, isShown, DIALECTS, DIALECT_QUERY } =
  require('./harness');

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({ context: { viewport: { width: 1000, height: 700 } } }));
});

after(() => endSuite(browser, server));

const MIB = 1024 * 1024;

// Every table runs in both dialects.
for (const dialect of DIALECTS) {
describe(`${dialect} dialect`, () => {
  const inDialect = { query: DIALECT_QUERY[dialect] };

  describe('statistics', () => {
    const cases = [
      ['empty document', '', '0 字符 · 0 词 · 1 行 · 0.0 KB'],
      ['white space only', '  \n\t ', '5 字符 · 0 词 · 2 行 · 0.0 KB'],
      ['one line end', 'a\n', '2 字符 · 1 词 · 2 行 · 0.0 KB'],
      ['CR LF counts its LFs, every CR is a character', 'one two\r\nthree\r\n', '16 字符 · 3 词 · 3 行 · 0.0 KB'],
      ['an emoji is two code units', '😀', '2 字符 · 1 词 · 1 行 · 0.0 KB'],
      ['Chinese runs between white space are words', '中文文本没有空格 第二段\n第三段', '16 字符 · 3 词 · 2 行 · 0.0 KB'],
      ['no-break and ideographic spaces separate words', '\u00a0a\u3000b', '4 字符 · 2 词 · 1 行 · 0.0 KB'],
      ['zero-width space joins, other Unicode spaces separate', 'a\u200bb c\ufeffd\u2028e\u000bf\u1680g', '13 字符 · 6 词 · 1 行 · 0.0 KB'],
      ['one and a half KB', 'x'.repeat(1536), '1536 字符 · 1 词 · 1 行 · 1.5 KB'],
      ['exactly 1024 × 1024 bytes', 'a'.repeat(MIB), `${MIB} 字符 · 1 词 · 1 行 · 1024.0 KB`],
      ['one byte more', 'a'.repeat(MIB + 1), `${MIB + 1} 字符 · 1 词 · 1 行 · 1.00 MB`],
      ['1024 × 1024 bytes of three-byte characters', '中'.repeat(349525) + 'a', '349526 字符 · 1 词 · 1 行 · 1024.0 KB'],
      ['the size counts UTF-8 bytes, not characters', '中'.repeat(349525) + 'ab', '349527 字符 · 1 词 · 1 行 · 1.00 MB'],
      ['an emoji is four bytes', '😀'.repeat(MIB / 4), `${MIB / 2} 字符 · 1 词 · 1 行 · 1024.0 KB`],
      ['an emoji is four bytes, one byte more', '😀'.repeat(MIB / 4) + '!', `${MIB / 2 + 1} 字符 · 1 词 · 1 行 · 1.00 MB`],
      // Counted a step per task past 1 M units: a word and an emoji's surrogate pair across the cut.
      ['counted in steps, a pair across the cut', 'a'.repeat(MIB - 1) + '😀 b\nc', `${MIB + 5} 字符 · 3 词 · 2 行 · 1.00 MB`],
      // Counted without rendering: Chromium takes 15 s and more to lay out a third of a million
      // replacement glyphs, and the count is what is under test here.
      ['a lone surrogate is written as three bytes', '\ud800'.repeat(349525) + 'a', '349526 字符 · 1 词 · 1 行 · 1024.0 KB', { counted: true }],
    ];
    let page;
    before(async () => {
      page = await openViewer(context, server, inDialect);
    });
    after(() => page.close());

    for (const [label, text, expected, { counted = false } = {}] of cases) {
      it(label, async () => {
        if (counted) {
          assert.equal(await page.evaluate((md) => documentStatistics(md), text), expected);
          return;
        }
        await openDocument(page, text, 'stats.md');
        assert.equal(await page.textContent('#meta'), expected);
      });
    }

    it('counts as white space exactly what the script\'s \\s matches', async () => {
      const mismatches = await page.evaluate(() => {
        const found = [];
        for (let unit = 0; unit < 0x10000; unit++) {
          const text = 'a' + String.fromCharCode(unit) + 'b';
          const expected = text.split(/\s+/).length;
          const counted = Number(documentStatistics(text).split(' ')[3]);
          if (counted !== expected) found.push(unit.toString(16));
        }
        return found;
      });
      assert.deepEqual(mismatches, []);
    });

    it('an empty document: empty content, close button shown, panel offered for its folder, title from the name', async () => {
      await openDocument(page, '', 'empty.md');
      assert.equal(await page.$eval('#content', (el) => el.innerHTML), '');
      assert.equal(await isShown(page, '#closeBtn'), true);
      assert.equal(await isShown(page, '#tocBtn'), true, 'the panel lists the documents around it');
      assert.equal(await page.title(), 'empty.md - Quillpane');
      assert.equal(await page.textContent('#filename'), 'empty.md');
    });
  });

  describe('document title', () => {
    it('follows the first h1, else the name, else stays', async () => {
      const page = await openViewer(context, server, inDialect);
      const steps = [
        ['# First\n\n# Second', 'n.md', 'First - Quillpane'],
        ['<h1>Raw <em>title</em></h1>', 'raw.md', 'Raw title - Quillpane'],
        ['## only a second level', 'x.md', 'x.md - Quillpane'],
        ['no heading', 'notes.md', 'notes.md - Quillpane'],
        ['still none, and no name', '', 'notes.md - Quillpane'],
      ];
      for (const [text, name, title] of steps) {
        await openDocument(page, text, name);
        assert.equal(await page.title(), title, `after ${JSON.stringify(text)}`);
      }
      await page.close();
    });
  });

  describe('outline', () => {
    let page;
    before(async () => {
      page = await openViewer(context, server, inDialect);
    });
    after(() => page.close());

    function entries() {
      return page.$$eval('#tocList a', (links) => links.map((a) => [a.textContent, a.getAttribute('href'), a.className]));
    }

    it('lists h1 to h3 with fresh ids, overwriting ids the document gave them', async () => {
      const doc = '# A\n\n## B\n\n### C\n\n#### D\n\n<h2 id="custom">E</h2>\n\n<h3 id="heading-9">F</h3>';
      await openDocument(page, doc);
      assert.deepEqual(await entries(), [
        ['A', '#heading-0', ''],
        ['B', '#heading-1', 'l2'],
        ['C', '#heading-2', 'l3'],
        ['E', '#heading-3', 'l2'],
        ['F', '#heading-4', 'l3'],
      ]);
      assert.deepEqual(
        await page.$$eval('#content h1, #content h2, #content h3, #content h4', (hs) => hs.map((h) => h.id)),
        // The GitHub dialect gives every heading its GitHub id; the outline renumbers h1 to h3.
        ['heading-0', 'heading-1', 'heading-2', dialect === 'github' ? 'd' : '', 'heading-3', 'heading-4'],
      );
      assert.equal(await isShown(page, '#tocBtn'), true);

      await openDocument(page, '## Only\n\n### Two');
      assert.deepEqual(await entries(), [
        ['Only', '#heading-0', 'l2'],
        ['Two', '#heading-1', 'l3'],
      ]);
    });

    it('hides the outline button for a document without h1 to h3 and without a known folder', async () => {
      await page.setInputFiles('#filePicker', { name: 'four.md', mimeType: 'text/markdown', buffer: Buffer.from('#### four\n\ntext') });
      await page.waitForFunction(() => document.getElementById('filename').textContent === 'four.md');
      await documentShown(page);
      assert.deepEqual(await entries(), []);
      assert.equal(await isShown(page, '#tocBtn'), false);
    });

    it('opens and closes the panel by the rules', async () => {
      const paragraphs = Array.from({ length: 40 }, (_, i) => `Paragraph ${i}`).join('\n\n');
      await openDocument(page, `# One\n\n${paragraphs}\n\n## Two\n\n${paragraphs}`);
      assert.equal(await isShown(page, '#toc'), false);

      await page.click('#tocBtn');
      assert.equal(await page.$eval('#toc', (el) => el.style.display), 'block');

      await page.click('#tocList a.l2');
      assert.equal(await isShown(page, '#toc'), true, 'an entry keeps the panel open');
      await page.waitForFunction(() => location.hash === '#heading-1' && window.scrollY > 0);

      await page.keyboard.press('Escape');
      assert.equal(await isShown(page, '#toc'), true, 'Escape does not close the outline');

      await page.click('#toc .toc-title');
      assert.equal(await isShown(page, '#toc'), true, 'a click inside the panel keeps it open');

      await page.click('#content h2');
      assert.equal(await isShown(page, '#toc'), false, 'a click outside closes it');

      await page.click('#tocBtn');
      assert.equal(await isShown(page, '#toc'), true);
      await page.click('#tocBtn');
      assert.equal(await isShown(page, '#toc'), false, 'the button toggles');
    });
  });

  // Wide content of every kind, and headings to jump to.
  const LONG_NAME = '一个非常非常长的文件名-2024年第三季度项目周报-最终版-修订稿-请勿外传.md';
  const WIDE_DOCUMENT = [
    '# Wide',
    'A link https://example.org/' + 'segment/'.repeat(40) + 'end.html in a paragraph.',
    'Inline code `' + 'identifier_'.repeat(40) + '` in a paragraph.',
    Array.from({ length: 3 }, (_, row) => '| ' + Array.from({ length: 14 }, (_, c) => `column${c}row${row}`).join(' | ') + ' |')
      .join('\n').replace('\n', '\n|' + '-|'.repeat(14) + '\n'),
    '```\n' + 'const line = "a long line of code";'.repeat(10) + '\n```',
    ...Array.from({ length: 30 }, (_, i) => `Paragraph ${i}`),
    '## Target',
    ...Array.from({ length: 30 }, (_, i) => `More ${i}`),
  ].join('\n\n');

  describe('window sizes and wide content', () => {
    for (const width of [480, 683, 1280]) {
      it(`${width} px: every control in reach, the name readable, nothing wider than the window`, async () => {
        const sized = await browser.newContext({ viewport: { width, height: 760 } });
        const page = await openViewer(sized, server, inDialect);
        await openDocument(page, WIDE_DOCUMENT, LONG_NAME);
        const layout = await page.evaluate(() => {
          const controls = [...document.querySelectorAll('#topbar button:not(#exportList button), #topbar .logo')].map((el) => el.getBoundingClientRect());
          const bar = document.getElementById('topbar').getBoundingClientRect();
          const scrolls = (el) => el.scrollWidth > el.clientWidth;
          return {
            controlsInReach: controls.every((r) => r.width > 0 && r.left >= 0 && r.right <= innerWidth && r.bottom <= bar.bottom),
            nameWidth: document.getElementById('filename').getBoundingClientRect().width,
            pageScrollsSideways: document.documentElement.scrollWidth > innerWidth,
            paragraphsOverflow: [...document.querySelectorAll('#content p')].some(scrolls),
            tableScrollsInItsBox: scrolls(document.querySelector('#content .table-scroll')),
            codeScrollsInItsBox: scrolls(document.querySelector('#content pre')),
          };
        });
        assert.ok(layout.nameWidth >= 200, `the file name has ${layout.nameWidth} px`);
        delete layout.nameWidth;
        assert.deepEqual(layout, {
          controlsInReach: true,
          pageScrollsSideways: false,
          paragraphsOverflow: false,
          tableScrollsInItsBox: true,
          codeScrollsInItsBox: true,
        });

        // The outline opens below the bar, and a jump leaves its heading in sight below it.
        await page.click('#tocBtn');
        const below = await page.evaluate(() => {
          const bar = document.getElementById('topbar').getBoundingClientRect();
          const panel = document.getElementById('toc').getBoundingClientRect();
          return panel.top >= bar.bottom && panel.right <= innerWidth;
        });
        assert.equal(below, true, 'the outline panel lies below the bar');
        await page.click('#tocList a.l2');
        await page.waitForFunction(() => window.scrollY > 0);
        const headingTop = await page.$eval('#heading-1', (h) => h.getBoundingClientRect().top);
        const barBottom = await page.$eval('#topbar', (bar) => bar.getBoundingClientRect().bottom);
        assert.ok(headingTop >= barBottom && headingTop < barBottom + 40, `heading at ${headingTop}, bar ends at ${barBottom}`);
        await sized.close();
      });
    }
  });

  describe('anchors in the document', () => {
    // Links to the document's own anchors: the names a document may not keep as they are (a page
    // element's id, document members), a heading's own id that the outline replaced, a heading
    // anchor derived from its text, and an ordinary id. [link text, the element it must reach]
    const doc = [
      '<a name="toc"></a>',
      '# 说明',
      '[目录](#toc) [标题](#title) [图片](#images) [链接](#links) [安装](#install) [快速开始](#快速开始) ' +
        '[Quick](#quick-start) [Plain](#plain) [Encoded](#%E5%BF%AB%E9%80%9F%E5%BC%80%E5%A7%8B)',
      ...Array.from({ length: 40 }, (_, i) => `Filler ${i}`),
      '<h2 id="title">Title</h2>',
      '<div id="images">Images</div>',
      '<p><a name="links">Links</a></p>',
      '<h3 id="install">Install</h3>',
      '## 快速开始',
      '#### Quick start!',
      '<p id="plain">Plain</p>',
      ...Array.from({ length: 40 }, (_, i) => `Filler ${i}`),
    ].join('\n\n');
    const targets = [
      ['目录', 'a[name="user-content-toc"]'],
      ['标题', 'h2:nth-of-type(1)'],
      ['图片', 'div#user-content-images'],
      ['链接', 'a[name="user-content-links"]'],
      ['安装', 'h3'],
      ['快速开始', 'h2:nth-of-type(2)'],
      ['Quick', 'h4'],
      ['Plain', '#plain'],
      ['Encoded', 'h2:nth-of-type(2)'],
    ];

    it('reach their targets in the page, below the bar, and never open a window', async () => {
      const page = await openViewer(context, server, inDialect);
      await openDocument(page, doc, 'anchors.md');
      const popups = [];
      page.on('popup', (popup) => popups.push(popup.url()));
      for (const [text, selector] of targets) {
        await page.evaluate(() => window.scrollTo(0, 0));
        await page.click(`#content a:text-is("${text}")`);
        await page.waitForFunction(() => window.scrollY > 0);
        const place = await page.$eval(`#content ${selector}`, (el) => {
          const top = el.getBoundingClientRect().top;
          return { top, barBottom: document.getElementById('topbar').getBoundingClientRect().bottom };
        });
        assert.ok(place.top >= place.barBottom && place.top < place.barBottom + 60, `${text}: ${JSON.stringify(place)}`);
      }
      assert.deepEqual(popups, []);
      // The outline keeps its own ids, and the page keeps its own elements.
      assert.deepEqual(await page.$$eval('#content h2, #content h3', (hs) => hs.map((h) => h.id)), ['heading-1', 'heading-2', 'heading-3']);
      assert.equal(await page.evaluate(() => document.querySelectorAll('#toc').length), 1);
      await page.close();
    });
  });

  describe('pictures for light and dark pages', () => {
    // Each source a square of its own size, so that the width tells which one shows.
    const square = (size) => `data:image/svg+xml,%3Csvg%20xmlns='http://www.w3.org/2000/svg'%20width='${size}'%20height='${size}'/%3E`;
    const doc = [
      `<picture><source media="(prefers-color-scheme: dark)" srcset="${square(3)}"><img src="${square(5)}"></picture>`,
      `<picture><source media="( PREFERS-COLOR-SCHEME : LIGHT ) and (min-width: 1px)" srcset="${square(7)}">` +
        `<source media="(prefers-color-scheme: dark)" srcset="${square(9)}"><img src="${square(11)}"></picture>`,
    ].join('\n\n');

    it("show the sources for the page's theme, not the system's, and follow it", async () => {
      const own = await browser.newContext({ colorScheme: 'light' });
      const page = await openViewer(own, server, inDialect);
      await openDocument(page, doc, 'logos.md');
      for (const [button, widths] of [['#btnDark', [3, 9]], ['#btnLight', [5, 7]], ['#btnHC', [3, 9]]]) {
        await page.click(button);
        await page.waitForFunction((expected) => [...document.querySelectorAll('#content img')].map((img) => img.naturalWidth).join() ===
          expected.join(), widths, { timeout: 5000 }).catch(() => {});
        assert.deepEqual(await page.$$eval('#content img', (imgs) => imgs.map((img) => img.naturalWidth)), widths, button);
      }
      await own.close();
    });
  });

  describe('back to top', () => {
    it('shows above 300 px of scrolling, hides at 300, and scrolls back up', async () => {
      const page = await openViewer(context, server, inDialect);
      await openDocument(page, Array.from({ length: 200 }, (_, i) => `Line ${i}`).join('\n\n'));
      assert.equal(await isShown(page, '#totop'), false);

      await page.evaluate(() => window.scrollTo(0, 301));
      await page.waitForFunction(() => document.getElementById('totop').style.display === 'flex');
      await page.evaluate(() => window.scrollTo(0, 300));
      await page.waitForFunction(() => document.getElementById('totop').style.display === 'none');

      await page.evaluate(() => window.scrollTo(0, 2000));
      await page.waitForFunction(() => document.getElementById('totop').style.display === 'flex');
      await page.click('#totop');
      await page.waitForFunction(() => window.scrollY === 0);
      await page.close();
    });
  });

  describe('printing', () => {
    // [what, selector, property, expected on paper in every theme]
    const INK = [
      ['paper', 'body', 'backgroundColor', 'rgb(255, 255, 255)'],
      ['bold', '#content strong', 'color', 'rgb(34, 34, 34)'],
      ['italic', '#content em', 'color', 'rgb(68, 68, 68)'],
      ['link', '#content a[href^="https"]', 'color', 'rgb(59, 130, 246)'],
      ['attachment card', '#content .ac', 'color', 'rgb(34, 34, 34)'],
      ['attachment card background', '#content .ac', 'backgroundColor', 'rgb(245, 245, 245)'],
      ['table heading', '#content th', 'color', 'rgb(34, 34, 34)'],
      ['even table row', '#content tr:nth-child(even) td', 'backgroundColor', 'rgb(248, 248, 248)'],
      ['quote', '#content blockquote', 'color', 'rgb(85, 85, 85)'],
      ['code', '#content p code', 'color', 'rgb(199, 37, 78)'],
      ['code block', '#content pre code', 'color', 'rgb(51, 51, 51)'],
      ['long code lines wrap', '#content pre', 'whiteSpace', 'pre-wrap'],
      ['outline panel', '#toc', 'display', 'none'],
      ['about dialog', '#aboutDialog', 'display', 'none'],
      ['dimmed background', '#aboutOverlay', 'display', 'none'],
    ];
    const PRINTED = '# Print\n\n**bold** *italic* `code` [link](https://example.org)\n\n> quote\n\n' +
      '|a|b|\n|-|-|\n|1|2|\n|3|4|\n\n!file[report.pdf|1 MB](r.pdf)\n\n```\n' + 'long code '.repeat(40) + '\n```\n\n' +
      Array.from({ length: 2 }, () => '| ' + Array.from({ length: 14 }, (_, c) => `printed_column_${c}`).join(' | ') + ' |').join('\n');

    for (const theme of ['dark', 'light', 'hc']) {
      it(`prints the document alone, dark on white, code wrapped, ${theme} theme`, async () => {
        const page = await openViewer(context, server, inDialect);
        await page.evaluate((t) => setTheme(t), theme);
        await openDocument(page, PRINTED);
        await page.click('#tocBtn');
        await page.click('#logoBtn');
        await page.emulateMedia({ media: 'print' });
        const seen = await page.evaluate(
          (cases) => cases.map(([what, selector, property]) => [what, getComputedStyle(document.querySelector(selector))[property]]),
          INK,
        );
        assert.deepEqual(seen, INK.map(([what, , , expected]) => [what, expected]));
        const cut = await page.$$eval('#content pre, #content .table-scroll', (boxes) => boxes.filter((box) => box.scrollWidth > box.clientWidth).length);
        assert.equal(cut, 0, 'no code line or table is cut');
        await page.close();
      });
    }

    it('leaves out the top bar and the back-to-top button and prints dark on white', async () => {
      const page = await openViewer(context, server, inDialect);
      await openDocument(page, '# Print me\n\n' + 'text\n\n'.repeat(200));
      await page.evaluate(() => window.scrollTo(0, 1000));
      await page.waitForFunction(() => document.getElementById('totop').style.display === 'flex');

      await page.emulateMedia({ media: 'print' });
      assert.equal(await isShown(page, '#topbar'), false);
      assert.equal(await isShown(page, '#totop'), false);
      const look = await page.evaluate(() => ({
        body: getComputedStyle(document.body).backgroundColor,
        h1: getComputedStyle(document.querySelector('#content h1')).color,
        padding: getComputedStyle(document.getElementById('content')).padding,
      }));
      assert.deepEqual(look, { body: 'rgb(255, 255, 255)', h1: 'rgb(17, 17, 17)', padding: '0px' });

      await page.emulateMedia({ media: 'screen' });
      assert.equal(await isShown(page, '#topbar'), true);
      await page.close();
    });
  });
});
}
