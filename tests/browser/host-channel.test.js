'use strict';
// The page inside the web view: the host channel stand-in carries ready, openFile and closeDoc.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { loadMarkdown } = require('../page/load-markdown');
const { startSuite, endSuite, openViewer, openDocument, postedMessages, isShown, pageHtml, installWebViewStandIn } =
  require('./harness');

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({ context: {} }));
});

after(() => endSuite(browser, server));

// The welcome screen, and nothing left of a document: no statistics, outline or title.
async function welcomeShown(page) {
  return {
    dropzone: (await page.$('#content #dropzone')) !== null,
    closeBtn: await isShown(page, '#closeBtn'),
    filename: await page.textContent('#filename'),
    meta: await page.textContent('#meta'),
    outlineEntries: await page.$$eval('#tocList a', (as) => as.length),
    tocBtn: await isShown(page, '#tocBtn'),
    toc: await isShown(page, '#toc'),
    title: await page.title(),
  };
}

const WELCOME = { dropzone: true, closeBtn: false, filename: '未加载文档', meta: '', outlineEntries: 0, tocBtn: false, toc: false, title: 'Pagewright' };

describe('host channel', () => {
  it('posts ready exactly once, after its message listener is installed, on the welcome screen', async () => {
    const page = await openViewer(context, server);
    await page.waitForTimeout(200);
    assert.deepEqual(await postedMessages(page), [{ action: 'ready', listeners: 1 }]);
    assert.deepEqual(await welcomeShown(page), WELCOME);
    await page.close();
  });

  it('renders an openFile message under its name, quotes and backslashes intact', async () => {
    const page = await openViewer(context, server);
    const name = 'a "quoted" \\ name.md';
    const text = '# Hello\r\n\r\nSome *text* and `code`.\r\n- item\r\n\r\n<div title="a & b">x</div>';
    await openDocument(page, text, name);
    assert.equal(await page.textContent('#filename'), name);
    assert.equal(await page.getAttribute('#filename', 'title'), name, 'the tooltip shows the name whole');
    // The outline's ids aside, the content is the converter's HTML as the browser reads it.
    const html = await page.$eval('#content', (el) => el.innerHTML.replace(/ id="heading-\d+"/g, ''));
    const expected = await page.evaluate((fragment) => {
      const holder = document.implementation.createHTMLDocument('').createElement('div');
      holder.innerHTML = fragment;
      return holder.innerHTML;
    }, loadMarkdown().parse(text));
    assert.equal(html, expected);
    assert.equal(await page.textContent('#content h1'), 'Hello');
    assert.equal(await isShown(page, '#closeBtn'), true);
    await page.close();
  });

  it('a new document replaces the old one completely', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, '# One\n\n## Sub', 'one.md');
    await openDocument(page, 'plain', 'two.md');
    assert.equal(await page.$eval('#content', (el) => el.innerHTML), '<p>plain</p>');
    assert.equal(await page.textContent('#filename'), 'two.md');
    assert.equal(await page.$$eval('#tocList a', (as) => as.length), 0);
    await page.close();
  });

  // Documents whose blocks are forms with named pictures, which stand in for the form's own methods
  // and properties that the reader's place is found by.
  const SHADOWING_FORM = '<form><img name="getBoundingClientRect"><img name="children"><img name="attributes">';
  const rereads = [
    ['', (i) => `Text ${i}.`],
    [' (blocks are forms that shadow their own methods)', (i) => `${SHADOWING_FORM}Text ${i}.</form>`],
  ];
  for (const [kind, block] of rereads) {
    it(`the shown document delivered again keeps its place, theme and open outline; another starts at the top${kind}`, async () => {
      const own = await browser.newContext({ viewport: { width: 800, height: 600 } });
      const page = await openViewer(own, server);
      const long = (title) => `# ${title}\n\n` + Array.from({ length: 60 }, (_, i) => `## Part ${i}\n\n${block(i)}`).join('\n\n');
      const place = () => page.evaluate(() => ({
        y: window.scrollY,
        theme: document.body.dataset.theme,
        outline: getComputedStyle(document.getElementById('toc')).display,
        last: [...document.querySelectorAll('#tocList a')].at(-1).textContent,
      }));
      const shown = await openDocument(page, long('First'), 'notes.md');
      await page.click('#btnLight');
      await page.click('#tocBtn');
      await page.evaluate(() => window.scrollTo(0, 1500));
      await openDocument(page, long('Edited') + '\n\n## Added', 'notes.md', shown);
      assert.deepEqual(await place(), { y: 1500, theme: 'light', outline: 'block', last: 'Added' });
      // The same name opened anew (another folder's notes.md) is another document.
      await page.evaluate(() => window.scrollTo(0, 1500));
      await openDocument(page, long('Elsewhere'), 'notes.md');
      assert.equal((await place()).y, 0);
      const other = await openDocument(page, long('Other'), 'other.md');
      assert.equal((await place()).y, 0);
      // After the welcome screen the same name is a new start too.
      await page.evaluate(() => window.scrollTo(0, 900));
      await page.evaluate(() => window.__host.sendJson('{"action":"closeDoc"}'));
      await openDocument(page, long('Other'), 'other.md', other);
      assert.equal((await place()).y, 0);
      await own.close();
    });
  }

  it('the close button tells the host (where the reader left the document, first) and returns to the welcome screen', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, '# Doc\n\n## Part', 'doc.md');
    await page.click('#tocBtn');
    await page.click('#closeBtn');
    assert.deepEqual(
      (await postedMessages(page)).map((m) => m.action),
      ['ready', 'place', 'closeDoc'],
    );
    assert.deepEqual(await welcomeShown(page), WELCOME);
    await page.close();
  });

  it('closeDoc names the delivery it closes, and a delivery the page closed never comes back', async () => {
    const page = await openViewer(context, server);
    const closed = await openDocument(page, '# Closed', 'closed.md');
    await page.click('#closeBtn');
    // Its live reload was already on its way.
    await openDocument(page, '# Closed, edited', 'closed.md', closed);
    assert.deepEqual(await welcomeShown(page), WELCOME);
    const replaced = await openDocument(page, '# Replaced', 'replaced.md');
    await page.setInputFiles('#filePicker', { name: 'own.md', mimeType: 'text/markdown', buffer: Buffer.from('# Own') });
    await page.waitForFunction(() => document.querySelector('#filename').textContent === 'own.md');
    await openDocument(page, '# Replaced, edited', 'replaced.md', replaced);
    assert.equal(await page.textContent('#content h1'), 'Own');
    // The page's own document closes the host's too, told as a document of its own for the history.
    const posted = await postedMessages(page);
    assert.deepEqual(posted.filter((m) => m.action === 'closeDoc').map((m) => m.generation), [closed]);
    assert.deepEqual(posted.filter((m) => m.action === 'ownDocument').map((m) => m.name), ['own.md']);
    // The host's next document shows.
    await openDocument(page, '# Next', 'next.md');
    assert.equal(await page.textContent('#content h1'), 'Next');
    await page.close();
  });

  it('closeDoc from the host returns to the welcome screen and tells nobody', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, '# Doc\n\n## Part', 'doc.md');
    await page.evaluate(() => window.__host.sendJson('{"action":"closeDoc"}'));
    assert.deepEqual(await welcomeShown(page), WELCOME);
    assert.deepEqual((await postedMessages(page)).map((m) => m.action), ['ready']);
    await page.close();
  });

  it('ignores messages that are not objects or carry another action', async () => {
    const page = await openViewer(context, server);
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await openDocument(page, '# Kept', 'kept.md');
    const before = await page.$eval('#content', (el) => el.innerHTML);
    await page.evaluate(() => {
      for (const data of [null, 42, 'openFile', ['openFile'], {}, { action: 'open' }, { action: 'ready' }, { Action: 'closeDoc' }]) {
        window.__host.send(data);
      }
    });
    assert.equal(await page.$eval('#content', (el) => el.innerHTML), before);
    assert.equal(await page.textContent('#filename'), 'kept.md');
    assert.deepEqual(errors, []);
    await page.close();
  });

  it('works from an opaque origin, where local storage throws', async () => {
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.addInitScript(installWebViewStandIn);
    // Without the worker libraries' holders, which would take the address past the browser's limit.
    const html = pageHtml().replace(/<script type="text\/plain" id="lib\w+">[^]*?<\/script>\n/g, '');
    await page.goto('data:text/html;charset=utf-8;base64,' + Buffer.from(html).toString('base64'));
    assert.equal(await page.evaluate(() => { try { localStorage.length; return 'storage'; } catch (e) { return 'throws'; } }), 'throws');
    assert.deepEqual((await postedMessages(page)).map((m) => m.action), ['ready']);
    await openDocument(page, '# Opaque', 'opaque.md');
    assert.equal(await page.textContent('#content h1'), 'Opaque');
    await page.click('#btnLight');
    assert.equal(await page.getAttribute('body', 'data-theme'), 'light');
    assert.deepEqual(errors, []);
    await page.close();
  });
});

describe("a document's links and addresses", () => {
  const DOCUMENT = [
    '![a](img/a.png) ![b](../up/b.png) ![c](%2e%2e/c.png) ![d](./img/../d.png?v=1#t) ![s](img/my shot.png)',
    '[sibling](other.md#sec) [anchor](#heading-1) [web](https://example.org/) [mail](mailto:a@example.org) [odd](mocha:x)',
    '!file[a.pdf](files/a.pdf)',
    '!video[v](media/v.mp4)',
    '<img src="/root.png"> <img src="//example.org/x.png"> <img src="data:image/png;base64,AA==">',
    '<svg><image href="img/vector.png"/></svg>',
    '<img srcset="img/s.png, ../l,2.png 2x, data:image/png;base64,AA== 3x"> <picture><source srcset="img/dark.png 100w,img/wide.png (x) 200w" sizes="50vw"><img src="img/light.png"></picture>',
    `<span style="background: url( 'img/bg.png' ) no-repeat, url(&quot;../up/b.png&quot;), url(https://example.org/x.png), url(a\\).png)">s</span>`,
    '# Top',
    '## Later',
  ].join('\n\n');

  // Every address a document element holds, in document order.
  function addresses(page) {
    return page.$$eval('#content :is([src], [srcset], [href], [poster], [style*="url("])', (els) =>
      els.map((el) => [el.localName, ['src', 'srcset', 'href', 'poster', 'style'].map((name) => el.getAttribute(name)).find((v) => v !== null),
        el.getAttribute('target')]));
  }

  it('a document from the host finds the files beside it, climbing with .. as a local page would', async () => {
    const page = await openViewer(context, server);
    const generation = await openDocument(page, DOCUMENT, 'doc.md');
    const base = `${server.origin}/doc/${generation}/`;
    assert.deepEqual(await addresses(page), [
      ['img', `${base}0/img/a.png`, null],
      ['img', `${base}1/up/b.png`, null],
      ['img', `${base}1/c.png`, null],
      ['img', `${base}0/d.png?v=1#t`, null],
      ['img', `${base}0/img/my%20shot.png`, null],
      ['a', `${base}0/other.md#sec`, '_blank'],
      ['a', '#heading-1', null],
      ['a', 'https://example.org/', '_blank'],
      ['a', 'mailto:a@example.org', '_blank'],
      ['a', `${base}0/files/a.pdf`, '_blank'],
      ['source', `${base}0/media/v.mp4`, null],
      ['img', '/root.png', null],
      ['img', '//example.org/x.png', null],
      ['img', 'data:image/png;base64,AA==', null],
      ['image', `${base}0/img/vector.png`, null],
      ['img', `${base}0/img/s.png, ${base}1/l,2.png 2x, data:image/png;base64,AA== 3x`, null],
      ['source', `${base}0/img/dark.png 100w,${base}0/img/wide.png (x) 200w`, null],
      ['img', `${base}0/img/light.png`, null],
      ['span', `background: url("${base}0/img/bg.png") no-repeat, url("${base}1/up/b.png"), url(https://example.org/x.png), url(a\\).png)`, null],
    ]);
    assert.equal(await page.$eval('#content a:not([href])', (a) => a.textContent), 'odd');
    assert.ok(server.requests.includes(`/doc/${generation}/0/img/a.png`), 'the browser asked the document base');
    // The next document from the host has the host's next number in its addresses.
    const next = await openDocument(page, '![a](img/a.png)', 'next.md');
    assert.equal(await page.getAttribute('#content img', 'src'), `${server.origin}/doc/${next}/0/img/a.png`);
    await page.close();
  });

  it('documents from the file picker keep their addresses as written', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, '![a](img/a.png)', 'hosted.md');
    await page.setInputFiles('#filePicker', { name: 'picked.md', mimeType: 'text/markdown', buffer: Buffer.from('![a](img/a.png)') });
    await page.waitForFunction(() => document.querySelector('#filename').textContent === 'picked.md');
    assert.equal(await page.getAttribute('#content img', 'src'), 'img/a.png');
    await page.close();
  });

  it('an in-page anchor stays in the page; a web link opens a window of its own', async () => {
    const page = await openViewer(context, server);
    const popups = [];
    page.on('popup', (popup) => popups.push(popup));
    await openDocument(page, `# Top\n\n${'filler\n\n'.repeat(80)}## Later\n\n[up](#heading-0) [web](${server.origin}/web-link)`, 'doc.md');
    const pageUrl = page.url();
    await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
    await page.click('#content a[href="#heading-0"]');
    await page.waitForFunction(() => window.scrollY < 100);
    assert.equal(page.url(), `${pageUrl}#heading-0`);
    await page.click('#content a[target="_blank"]');
    await page.waitForTimeout(300);
    assert.equal(popups.length, 1);
    assert.equal(await popups[0].evaluate(() => window.opener), null, 'the new window cannot reach the viewer');
    await popups[0].close();
    assert.equal(page.url(), `${pageUrl}#heading-0`, 'the viewer stayed where it was');
    await page.close();
  });
});
