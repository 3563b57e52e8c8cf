'use strict';
// The page on its own in a browser: the "file" query parameter, and the records it posts to an
// enclosing page.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSuite, endSuite, openViewer, postedMessages, isShown } = require('./harness');

// An enclosing page that frames the viewer and keeps every record the viewer posts to it.
const FRAME_PAGE = `<!DOCTYPE html><meta charset="utf-8"><title>frame</title>
<script>window.records = []; addEventListener('message', (e) => records.push(e.data));</script>
<iframe id="viewer" src="/pagewright.html" width="800" height="600"></iframe>`;

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({
    files: {
      '/docs/readme.md': '# Read me\n\nStand-alone **works**.\n\n## Part',
      '/docs/slow.md': '# Slow',
      '/frame.html': FRAME_PAGE,
    },
    context: {},
  }));
});

after(() => endSuite(browser, server));

describe('file query parameter', () => {
  it('shows the named document under the last path component', async () => {
    const page = await openViewer(context, server, { webView: false, query: '?file=docs/readme.md' });
    await page.waitForSelector('#content h1');
    assert.equal(await page.textContent('#filename'), 'readme.md');
    assert.equal(await page.textContent('#content h1'), 'Read me');
    assert.equal(await page.title(), 'Read me - Quillpane');
    assert.equal(await page.textContent('#meta'), '42 字符 · 7 词 · 5 行 · 0.0 KB');
    assert.equal(await isShown(page, '#closeBtn'), true);
    await page.close();
  });

  it('neither listens to nor posts to the host channel', async () => {
    const page = await openViewer(context, server, { query: '?file=docs/readme.md' });
    await page.waitForSelector('#content h1');
    assert.deepEqual(await postedMessages(page), []);
    await page.evaluate(() => window.__host.send({ action: 'closeDoc' }));
    assert.equal(await page.textContent('#content h1'), 'Read me', 'no listener took the closeDoc');
    await page.close();
  });

  it('shows the loading screen while the document is on its way', async () => {
    const page = await context.newPage();
    let release;
    const held = new Promise((resolve) => (release = resolve));
    await page.route('**/docs/slow.md', async (route) => {
      await held;
      await route.continue();
    });
    await page.goto(server.pageUrl + '?file=docs/slow.md');
    await page.waitForSelector('#status .spinner');
    assert.equal(await page.textContent('#status .msg'), '正在加载 slow.md …');
    assert.equal(await page.textContent('#filename'), 'slow.md');
    release();
    await page.waitForSelector('#content h1');
    assert.equal(await page.textContent('#content h1'), 'Slow');
    await page.evaluate(() => showLoading(''));
    assert.equal(await page.textContent('#status .msg'), '加载中…', 'the default loading message');
    await page.close();
  });

  it('a missing file shows the error screen with status code and text', async () => {
    const page = await openViewer(context, server, { webView: false, query: '?file=docs/missing.md' });
    await page.waitForSelector('#status .icon');
    assert.equal(await page.textContent('#status .icon'), '⚠️');
    assert.equal(await page.textContent('#status .msg'), '无法加载文档');
    const detail = await page.textContent('#status .sub');
    assert.match(detail, /^文件：docs\/missing\.md错误：404 Not Found请确认文件路径正确/);
    assert.equal(await page.textContent('#status .sub code'), 'docs/missing.md');
    assert.equal(await page.textContent('#filename'), 'missing.md');
    assert.equal(await isShown(page, '#closeBtn'), false);
    await page.close();
  });

  it('a parameter that looks like markup is shown as text', async () => {
    const file = 'docs/<img src=x id=injected>.md';
    const page = await openViewer(context, server, { webView: false, query: '?file=' + encodeURIComponent(file) });
    await page.waitForSelector('#status .sub code');
    assert.equal(await page.textContent('#status .sub code'), file);
    assert.equal(await page.$('#injected'), null);
    assert.equal(await page.textContent('#filename'), '<img src=x id=injected>.md');
    await page.close();
  });
});

describe('records to an enclosing page', () => {
  it('posts ready once, then one console record per log, warn and error call', async () => {
    const page = await context.newPage();
    await page.goto(server.origin + '/frame.html');
    const frame = page.frame({ url: /pagewright\.html/ });
    await frame.waitForSelector('#dropzone');
    await frame.evaluate(() => {
      console.log('plain', { a: 1 }, "it's", [1, 'two'], undefined);
      console.warn(3);
      console.info('not forwarded');
      console.error(function notCloneable() {}, null);
    });
    await page.waitForFunction(() => window.records.length >= 4);
    const records = await page.evaluate(() => window.records);
    assert.deepEqual(records, [
      { action: 'ready' },
      { action: 'console', type: 'log', args: ['plain', '{"a":1}', "it's", '[1,"two"]', undefined] },
      { action: 'console', type: 'warn', args: ['3'] },
      { action: 'console', type: 'error', args: ['function notCloneable() {}', 'null'] },
    ]);
    await page.close();
  });
});
