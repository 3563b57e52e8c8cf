'use strict';
// Documents in every common encoding: the page's own readers decode them as the host does, the top bar
// names the encoding, and the reader can choose another one.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { ROOT, startSuite, endSuite, openViewer, postedMessages } = require('./harness');

const CORPUS = path.join(ROOT, 'tests', 'corpus', 'encodings');
// "中文标题" and a paragraph, in GBK.
const GBK_DOCUMENT = Buffer.from('# \xd6\xd0\xce\xc4\xb1\xea\xcc\xe2\n\n\xb6\xce\xc2\xe4\n', 'latin1');

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({
    files: { '/docs/utf16.md': Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from('# \u4e2d\u6587\n', 'utf16le')]) },
    context: {},
  }));
});

after(() => endSuite(browser, server));

// Drops files ([name, bytes as an array]) on the page.
function dropFiles(page, files) {
  return page.evaluate((list) => {
    const transfer = new DataTransfer();
    for (const [name, bytes] of list) transfer.items.add(new File([new Uint8Array(bytes)], name));
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, files);
}

describe('the page reads bytes in their encoding', () => {
  it('decodes the corpus: UTF-8 unchanged, marks right, legacy files by the detector', async () => {
    const page = await openViewer(context, server, { webView: false });
    const files = fs.readFileSync(path.join(CORPUS, 'manifest.tsv'), 'utf8').trim().split('\n').map((line) => {
      const [file, encoding, kind] = line.split('\t');
      return { file, encoding, whole: kind === 'whole', bytes: [...fs.readFileSync(path.join(CORPUS, file))] };
    });
    const results = await page.evaluate(async (list) => {
      const out = [];
      for (const { file, encoding, bytes } of list) {
        const data = new Uint8Array(bytes);
        const found = await decodeDocumentBytes(data);
        out.push({ file, name: found.encoding, right: found.text === decodeIn(data, encoding) });
      }
      return out;
    }, files);
    const tally = { whole: [0, 0], opening: [0, 0] };
    results.forEach((result, i) => {
      const { encoding, whole } = files[i];
      if (encoding.startsWith('UTF-')) {
        assert.deepEqual([result.name, result.right], [encoding, true], result.file);
        return;
      }
      const counts = tally[whole ? 'whole' : 'opening'];
      counts[0] += result.right ? 1 : 0;
      counts[1]++;
    });
    console.log(`legacy files right: whole ${tally.whole.join(' of ')}, openings ${tally.opening.join(' of ')}`);
    assert.ok(tally.whole[0] * 100 >= tally.whole[1] * 95, `whole: ${tally.whole}`);
    assert.ok(tally.opening[0] * 100 >= tally.opening[1] * 85, `openings: ${tally.opening}`);
    await page.close();
  });

  it('the file parameter reads bytes: UTF-16 with a mark shows its text, the mark dropped', async () => {
    const page = await openViewer(context, server, { webView: false, query: '?file=docs/utf16.md' });
    await page.waitForSelector('#content h1');
    assert.equal(await page.textContent('#content h1'), '\u4e2d\u6587');
    assert.equal(await page.textContent('#encodingBtn'), 'UTF-16 LE');
    assert.match(await page.textContent('#meta'), /^5 字符 .* 0\.0 KB$/);
    await page.close();
  });
});

describe('the encoding in the top bar', () => {
  it('names the host\'s encoding and asks the host to read the document again in the one chosen', async () => {
    const page = await openViewer(context, server);
    // "中文" read as Windows-1252 by a host that guessed wrong: four characters.
    await page.evaluate(() => window.__host.sendJson(JSON.stringify({ action: 'openFile', name: 'a.md',
      content: '# \u00d6\u00d0\u00ce\u00c4', generation: 7, encoding: 'Windows-1252' })));
    assert.equal(await page.textContent('#encodingBtn'), 'Windows-1252');
    assert.match(await page.textContent('#meta'), / 0\.0 KB$/);
    // By keyboard, as every control of the bar: Enter opens the list on the current encoding.
    await page.focus('#encodingBtn');
    await page.keyboard.press('Enter');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.encoding), 'Windows-1252');
    await page.keyboard.press('Escape');
    assert.equal(await page.isHidden('#encodingList'), true);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'encodingBtn', 'Escape hands the focus back');
    await page.keyboard.press('Enter');
    await page.keyboard.press('Home');
    for (let i = 0; i < 3; i++) await page.keyboard.press('ArrowDown');
    assert.equal(await page.evaluate(() => document.activeElement.dataset.encoding), 'GBK');
    await page.keyboard.press('Enter');
    assert.deepEqual((await postedMessages(page)).filter((m) => m.action === 'encoding'),
      [{ action: 'encoding', generation: 7, encoding: 'GBK', listeners: 1 }]);
    // The host's answer: the same delivery again, in GBK.
    await page.evaluate(() => window.__host.sendJson(JSON.stringify({ action: 'openFile', name: 'a.md',
      content: '# \u4e2d\u6587', generation: 7, encoding: 'GBK' })));
    assert.equal(await page.textContent('#encodingBtn'), 'GBK');
    assert.equal(await page.textContent('#content h1'), '\u4e2d\u6587');
    await page.close();
  });

  it('decodes a dropped file again in the chosen encoding, and the size stays the file\'s', async () => {
    const page = await openViewer(context, server);
    await dropFiles(page, [['gbk.md', [...GBK_DOCUMENT]]]);
    await page.waitForFunction(() => document.querySelector('#content h1'));
    assert.equal(await page.textContent('#content h1'), '\u4e2d\u6587\u6807\u9898');
    assert.equal(await page.textContent('#encodingBtn'), 'GBK');
    await page.click('#encodingBtn');
    await page.click('#encodingList [data-encoding="Windows-1252"]');
    assert.equal(await page.textContent('#content h1'), '\u00d6\u00d0\u00ce\u00c4\u00b1\u00ea\u00cc\u00e2');
    assert.equal(await page.textContent('#encodingBtn'), 'Windows-1252');
    const meta = await page.textContent('#meta');
    assert.equal(meta.slice(meta.lastIndexOf(' ', meta.length - 4) + 1), `${(GBK_DOCUMENT.length / 1024).toFixed(1)} KB`);
    assert.equal((await postedMessages(page)).some((m) => m.action === 'encoding'), false, 'the page\'s own file');
    await page.close();
  });
});
