'use strict';
// The page's part in the window's history: its Back and Forward controls, where the reader left each
// document, the documents it read itself, landing at a link's fragment, and the panel's "文件" tab.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSuite, endSuite, openViewer, openDocument, documentShown, postedMessages, isShown, DIALECTS, DIALECT_QUERY } =
  require('./harness');

let browser;
let server;
let context;

// The host's listing of the shown document's root (generation 7): docs/ holds the document.
const LISTINGS = {
  '/files/7/': { folder: '', document: 'docs/guide/b.md', entries: [{ name: 'z.md' }, { name: 'docs', folder: true }, { name: 'A10.md' }, { name: 'a2.md' }], more: false },
  '/files/7/docs': { folder: 'docs', document: 'docs/guide/b.md', entries: [{ name: 'guide', folder: true }, { name: 'empty', folder: true }], more: false },
  '/files/7/docs/guide': { folder: 'docs/guide', document: 'docs/guide/b.md', entries: [{ name: 'c.md' }, { name: 'b.md' }], more: true },
  '/files/7/docs/empty': { folder: 'docs/empty', document: 'docs/guide/b.md', entries: [], more: false },
};

before(async () => {
  const files = {};
  for (const [path, listing] of Object.entries(LISTINGS)) files[path] = JSON.stringify(listing);
  ({ browser, server, context } = await startSuite({ files, context: { viewport: { width: 1000, height: 700 } } }));
});

after(() => endSuite(browser, server));

// An openFile message of the host's with the members it adds after the number.
function sendOpenFile(page, content, name, generation, extra = {}) {
  return page.evaluate((message) => window.__host.send(message), { action: 'openFile', name, content, generation, ...extra });
}

const long = (title) => `# ${title}\n\n` + Array.from({ length: 80 }, (_, i) => `## Part ${i}\n\nText ${i} of ${title}.`).join('\n\n');
const topHeading = (page) => page.evaluate(() => {
  const line = document.getElementById('topbar').getBoundingClientRect().bottom;
  return [...document.querySelectorAll('#content :is(h1, h2)')].find((h) => h.getBoundingClientRect().bottom > line).textContent;
});

describe('Back and Forward', () => {
  it('show where they lead, post the moves from buttons, keys and mouse buttons, and leave Backspace alone', async () => {
    const page = await openViewer(context, server);
    const state = () => page.$$eval('#backBtn, #forwardBtn', (buttons) => buttons.map((b) => [b.disabled, b.title]));
    assert.equal(await isShown(page, '#historyNav'), true);
    assert.deepEqual(await state(), [[true, '没有可后退的文档'], [true, '没有可前进的文档']]);
    await page.evaluate(() => window.__host.send({ action: 'history', back: 'install.md', forward: '' }));
    assert.deepEqual(await state(), [[false, '后退到 install.md（Alt+←）'], [true, '没有可前进的文档']]);
    await page.evaluate(() => window.__host.send({ action: 'history', back: '', forward: 'config.md' }));
    assert.deepEqual(await state(), [[true, '没有可后退的文档'], [false, '前进到 config.md（Alt+→）']]);

    await page.evaluate(() => window.__host.send({ action: 'history', back: 'a.md', forward: 'c.md' }));
    await page.click('#backBtn');
    await page.click('#forwardBtn');
    await page.keyboard.press('Alt+ArrowLeft');
    await page.keyboard.press('Alt+ArrowRight');
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Control+Alt+ArrowLeft');
    // The keyboard's own browser key, which the test's keyboard cannot press.
    await page.evaluate(() => document.body.dispatchEvent(new KeyboardEvent('keydown', { key: 'BrowserBack', bubbles: true, cancelable: true })));
    // The mouse's own back and forward buttons, through the browser's input (the test's mouse has none).
    const input = await context.newCDPSession(page);
    for (const button of ['back', 'forward']) {
      for (const type of ['mousePressed', 'mouseReleased']) {
        await input.send('Input.dispatchMouseEvent', { type, x: 300, y: 300, button, clickCount: 1 });
      }
    }
    await input.detach();
    assert.deepEqual((await postedMessages(page)).map((m) => m.action).slice(1),
      ['back', 'forward', 'back', 'forward', 'back', 'back', 'forward']);
    await page.close();
  });

  it('are not offered outside the program, which keeps the history', async () => {
    const page = await openViewer(context, server, { webView: false });
    assert.equal(await isShown(page, '#historyNav'), false);
    await page.close();
  });

  for (const theme of ['dark', 'light', 'hc']) {
    it(`look like the bar's other buttons, dimmed while there is nowhere to go, ${theme} theme`, async () => {
      const page = await openViewer(context, server);
      await page.addStyleTag({ content: '* { transition: none !important; }' });
      await page.click(theme === 'dark' ? '#btnDark' : theme === 'light' ? '#btnLight' : '#btnHC');
      await openDocument(page, '# Doc', 'doc.md');
      await page.evaluate(() => window.__host.send({ action: 'history', back: 'a.md', forward: '' }));
      const looks = await page.evaluate(() => {
        const style = (id) => getComputedStyle(document.getElementById(id));
        return {
          colour: style('backBtn').color === style('tocBtn').color,
          border: style('backBtn').borderTopColor === style('tocBtn').borderTopColor,
          opacity: [style('backBtn').opacity, style('forwardBtn').opacity],
        };
      });
      assert.deepEqual(looks, { colour: true, border: true, opacity: ['1', '0.4'] });
      await page.close();
    });
  }
});

describe("the reader's place", () => {
  it('is posted when a document is left, and a document given back with it opens there; a gone one is named', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, long('First'), 'first.md', 101);
    await page.$eval('#content h2:nth-of-type(40)', (h) => h.scrollIntoView());
    const left = await topHeading(page);
    await openDocument(page, long('Second'), 'second.md', 102);
    const places = (await postedMessages(page)).filter((m) => m.action === 'place');
    assert.deepEqual(places.map((m) => m.generation), [101]);
    assert.equal((await page.evaluate(() => window.scrollY)), 0, 'a new document starts at the top');

    await sendOpenFile(page, long('First'), 'first.md', 103, { place: places[0].place });
    assert.equal(await topHeading(page), left);
    // A place the page cannot read is the top.
    await sendOpenFile(page, long('First'), 'first.md', 104, { place: '{"index":"x"}' });
    assert.equal(await page.evaluate(() => window.scrollY), 0);

    await sendOpenFile(page, '', 'gone.md', 105, { missing: true });
    assert.deepEqual(await page.evaluate(() => [
      document.querySelector('#status .msg').textContent, document.querySelector('#status .sub code').textContent,
      document.getElementById('filename').textContent, document.getElementById('meta').textContent,
    ]), ['文档不在了', 'gone.md', 'gone.md', '']);
    assert.equal(await isShown(page, '#closeBtn'), true);
    // The file came back: its live reload shows it, from the top.
    await sendOpenFile(page, '# Back again', 'gone.md', 105);
    assert.equal(await page.textContent('#content h1'), 'Back again');
    assert.deepEqual((await postedMessages(page)).filter((m) => m.action === 'place').map((m) => m.generation),
      [101, 102, 103, 104], 'nothing left from the error screen');
    await page.close();
  });

  it('is offered again when the host opens the same file anew, kept across runs by path, and followed or dismissed', async () => {
    const resumeContext = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    const page = await openViewer(resumeContext, server);
    const offer = () => page.evaluate(() => (document.getElementById('resumeBar').hidden ? null : document.getElementById('resumeGo').textContent));
    const path = 'C:\\docs\\First.md';
    await sendOpenFile(page, long('First'), 'First.md', 201, { path });
    assert.equal(await offer(), null, 'nothing remembered yet');
    const readTo = async () => {
      await page.$eval('#content h2:nth-of-type(40)', (h) => h.scrollIntoView());
      await page.evaluate(() => window.scrollBy(0, 30));
    };
    await readTo();
    const left = await topHeading(page);
    // Another document replaces it; the same file comes back (the path's case aside) after a reload of
    // the page, as in the next run.
    await sendOpenFile(page, long('Second'), 'second.md', 202, { path: 'C:\\docs\\second.md' });
    await page.reload();
    await sendOpenFile(page, long('First'), 'First.md', 203, { path: 'c:\\DOCS\\first.md' });
    assert.equal(await offer(), '继续阅读：Part 39', 'offered with its heading');
    assert.equal(await page.evaluate(() => window.scrollY), 0, 'the document still opens at its top');
    await page.keyboard.press('Enter');
    assert.equal(await topHeading(page), left, 'Enter goes there');
    assert.equal(await offer(), null);

    // A live reload offers nothing; neither do Back, Forward or a link to a heading, which say where to land.
    await sendOpenFile(page, long('First'), 'First.md', 203, { path });
    assert.equal(await offer(), null);
    for (const [generation, extra] of [[204, { place: '{"index":3,"path":[],"x":0,"y":900,"offset":0}' }], [205, { fragment: 'heading-7' }]]) {
      await readTo();
      await sendOpenFile(page, long('First'), 'First.md', generation, { path, ...extra });
      assert.equal(await offer(), null, JSON.stringify(extra));
    }
    // Dismissed by Esc and by scrolling, followed by a click; a document without a path has no place.
    for (const [generation, dismiss] of [[206, () => page.keyboard.press('Escape')], [207, () => page.mouse.wheel(0, 200)]]) {
      await readTo();
      await sendOpenFile(page, long('First'), 'First.md', generation, { path });
      assert.notEqual(await offer(), null);
      await dismiss();
      await page.waitForFunction(() => document.getElementById('resumeBar').hidden);
    }
    await readTo();
    await sendOpenFile(page, long('First'), 'First.md', 208, { path });
    await page.click('#resumeGo');
    assert.equal(await topHeading(page), 'Part 39');
    await sendOpenFile(page, long('First'), 'First.md', 209);
    assert.equal(await offer(), null);

    // The last 200 documents are kept: a 201st pushes out the oldest.
    await page.evaluate(() => localStorage.setItem('md-reading-places',
      JSON.stringify(Array.from({ length: 200 }, (_, i) => ({ path: `C:\\old\\${i}.md`, heading: 1, text: 'Part 0', em: 1 })))));
    await sendOpenFile(page, long('Third'), 'third.md', 210, { path: 'C:\\docs\\third.md' });
    await page.$eval('#content h2:nth-of-type(20)', (h) => h.scrollIntoView());
    await sendOpenFile(page, long('Second'), 'second.md', 211);
    const kept = await page.evaluate(() => JSON.parse(localStorage.getItem('md-reading-places')).map((entry) => entry.path));
    assert.deepEqual([kept.length, kept[0], kept[199]], [200, 'C:\\old\\1.md', 'C:\\docs\\third.md']);
    await resumeContext.close();
  });

  it('a document the page read itself is kept for the history and shown again where it was left', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, long('Hosted'), 'hosted.md', 201);
    await page.setInputFiles('#filePicker', { name: 'picked.md', mimeType: 'text/markdown', buffer: Buffer.from(long('Picked')) });
    await page.waitForFunction(() => document.getElementById('filename').textContent === 'picked.md');
    await page.$eval('#content h2:nth-of-type(30)', (h) => h.scrollIntoView());
    const left = await topHeading(page);
    await openDocument(page, '# Other', 'other.md', 202);
    const posted = (await postedMessages(page)).slice(1).map(({ listeners, ...m }) => m);
    assert.deepEqual(posted.map((m) => [m.action, m.generation ?? m.own, m.name]),
      [['place', 201, undefined], ['ownDocument', 1, 'picked.md'], ['place', 1, undefined]]);
    assert.equal(posted[2].own, 1);

    await page.evaluate((place) => window.__host.send({ action: 'showOwn', own: 1, name: 'picked.md', place }), posted[2].place);
    assert.equal(await page.textContent('#filename'), 'picked.md');
    assert.equal(await topHeading(page), left);
    await page.evaluate(() => window.__host.send({ action: 'showOwn', own: 9, name: 'lost.md', place: '' }));
    assert.equal(await page.textContent('#status .sub code'), 'lost.md');
    await page.close();
  });
});

describe("a link's fragment", () => {
  // "代理" and a repeated heading: the second "Setup" is "setup-1" where the dialects name headings so.
  const DOCUMENT = '# Guide\n\n' + 'filler\n\n'.repeat(60) + '## Setup\n\n' + 'filler\n\n'.repeat(60) +
    '## Setup\n\n' + 'more\n\n'.repeat(60) + '#### 代理\n\n' + 'tail\n\n'.repeat(80);
  for (const dialect of DIALECTS) {
    it(`lands at the heading it names, as the ${dialect} dialect names its headings; none named, the top`, async () => {
      const page = await openViewer(context, server, { query: DIALECT_QUERY[dialect] });
      const landed = async (fragment, generation) => {
        await sendOpenFile(page, DOCUMENT, 'guide.md', generation, { fragment });
        await documentShown(page);
        await page.waitForTimeout(100);
        return page.evaluate(() => {
          const padding = parseFloat(getComputedStyle(document.documentElement).scrollPaddingTop);
          const heading = [...document.querySelectorAll('#content :is(h1, h2, h4)')]
            .find((h) => Math.abs(h.getBoundingClientRect().top - padding) < 2);
          return heading ? [heading.textContent, [...document.querySelectorAll('#content h2')].indexOf(heading)] : window.scrollY;
        });
      };
      assert.deepEqual(await landed('setup-1', 301), ['Setup', 1]);
      assert.deepEqual(await landed('%E4%BB%A3%E7%90%86', 302), ['代理', -1]);
      assert.deepEqual(await landed('nowhere', 303), 0);
      await page.close();
    });
  }
});

describe('the files tab', () => {
  const tree = (page) => page.$$eval('#fileTree .ft-item', (items) => items
    .filter((item) => !item.parentElement.closest('[role="group"][hidden]'))
    .map((item) => item.getAttribute('aria-level') + ' ' + item.querySelector('.ft-label').textContent +
      (item.getAttribute('aria-expanded') === 'true' ? ' open' : '') + (item.getAttribute('aria-current') ? ' shown' : '')));
  const focused = (page) => page.evaluate(() => {
    const el = document.activeElement;
    return el.classList.contains('ft-item') ? el.querySelector('.ft-label').textContent : el.id;
  });

  it('shows the root sorted, opened down to the shown document, and works from the keyboard alone', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, 'No headings here.', 'b.md', 7);
    assert.equal(await isShown(page, '#tocBtn'), true, 'a folder is known, so the panel is offered');
    await page.evaluate(() => document.activeElement.blur());
    for (let i = 0; i < 30 && (await focused(page)) !== 'tocBtn'; i++) await page.keyboard.press('Tab');
    await page.keyboard.press('Enter');
    // Without headings the panel opens on its files.
    assert.equal(await page.getAttribute('#tabFiles', 'aria-selected'), 'true');
    await page.waitForFunction(() => document.querySelector('#fileTree .ft-current[tabindex="0"]'));
    assert.deepEqual(await tree(page), ['1 docs open', '2 empty', '2 guide open', '3 b.md shown', '3 c.md', '1 a2.md', '1 A10.md', '1 z.md']);
    assert.equal(await page.textContent('#fileTree .ft-note'), '超过 2000 项，只列出了前 2000 项');

    // Tab: the two tabs, then the tree at the shown document.
    await page.keyboard.press('Tab');
    assert.equal(await focused(page), 'tabOutline');
    await page.keyboard.press('Tab');
    assert.equal(await focused(page), 'tabFiles');
    await page.keyboard.press('Tab');
    assert.equal(await focused(page), 'b.md');
    await page.keyboard.press('ArrowDown');
    assert.equal(await focused(page), 'c.md');
    await page.keyboard.press('Enter');
    await page.keyboard.press('ArrowLeft');
    assert.equal(await focused(page), 'guide');
    await page.keyboard.press('ArrowLeft');
    assert.deepEqual(await tree(page), ['1 docs open', '2 empty', '2 guide', '1 a2.md', '1 A10.md', '1 z.md']);
    await page.keyboard.press('ArrowUp');
    await page.keyboard.press(' ');
    // The folder says "reading" until its listing is in.
    await page.waitForFunction(() => !/^(?:|正在读取…)$/.test(document.querySelector('#fileTree [data-path="docs/empty"] .ft-note')?.textContent ?? ''));
    assert.equal(await page.textContent('#fileTree [data-path="docs/empty"] .ft-note'), '没有文档');
    await page.keyboard.press('End');
    await page.keyboard.press(' ');
    await page.keyboard.press('Home');
    await page.keyboard.press('ArrowLeft');
    assert.deepEqual(await tree(page), ['1 docs', '1 a2.md', '1 A10.md', '1 z.md']);
    // Chosen with Enter, Space and a click, each by its address under the document base, two levels
    // above the shown document's folder.
    await page.click('#fileTree [data-path="a2.md"] .ft-label');
    const opened = (await postedMessages(page)).filter((m) => m.action === 'openListed').map((m) => m.address);
    const base = `${server.origin}/doc/7/2/`;
    assert.deepEqual(opened, [`${base}docs/guide/c.md`, `${base}z.md`, `${base}a2.md`]);
    assert.equal(await isShown(page, '#toc'), true, 'the panel stays open meanwhile');
    await page.close();
  });

  it('says so for a document the page read itself, and for a folder it cannot read', async () => {
    const page = await openViewer(context, server);
    await page.setInputFiles('#filePicker', { name: 'picked.md', mimeType: 'text/markdown', buffer: Buffer.from('# Picked') });
    await page.waitForFunction(() => document.getElementById('filename').textContent === 'picked.md');
    await page.click('#tocBtn');
    await page.click('#tabFiles');
    assert.equal(await page.textContent('#fileTree'), '这个文档是在页面里打开的，不知道它所在的文件夹。');
    await openDocument(page, '# Hosted elsewhere', 'x.md', 8);
    // The note of the page's own document is replaced first by "reading", then by the answer.
    await page.waitForFunction(() => !/正在读取|页面里打开/.test(document.getElementById('fileTree').textContent));
    assert.equal(await page.textContent('#fileTree'), '无法读取这个文件夹');
    await page.close();
  });
});
