'use strict';
// A large document arrives in slices: the complete page equals a one-pass render, a new document
// or a screen cancels the one still arriving, printing takes all of it, outline jumps land.
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { startSuite, endSuite, openViewer, openDocument, DIALECT_QUERY } = require('./harness');
const { loadGithubDialect } = require('../page/load-github-dialect.js');
const { realisticDocument } = require('../page/realistic-document.js');
const { allFixtureCases } = require('../page/fixture-cases.js');

// HTML written in the document that the parser must carry across slices unchanged: an element
// left open over many blocks, formatting that the parser reconstructs in later blocks, a comment
// and a raw-text element spanning blank lines, and what the disarming must take out of them.
const HOSTILE = '<img src="x.png" onerror="document.title = 1"> <script>document.title = 2</script>';
const RAW_HTML = [
  '<!-- a comment with <audio controls> in it',
  'over blank lines -->',
  '<textarea>',
  '# not a heading, and a <video> tag',
  '</textarea>',
  '![an alt text naming <video controls>](x.png) <svg><video/><audio>x</audio></svg>',
  '<template><video controls></video></template>',
  '<video controls src="raw.mp4"></video> <audio controls><source src="raw.mp3"></audio>',
  'some <b>bold that never closes',
  'and goes on',
  HOSTILE,
].join('\n\n');

// About 200 KiB: many slices, some of them inside the details element.
const LARGE = [
  realisticDocument(64 * 1024, 5),
  '<details open><summary>More</summary>',
  realisticDocument(48 * 1024, 7),
  HOSTILE,
  '</details>',
  RAW_HTML,
  realisticDocument(64 * 1024, 6),
  '# Last heading',
  'the very end',
].join('\n\n');

let browser;
let server;
let context;

before(async () => {
  ({ browser, server, context } = await startSuite({ context: { viewport: { width: 1000, height: 700 } } }));
});

after(() => endSuite(browser, server));

function whenComplete(page) {
  return page.waitForFunction(() => document.getElementById('content').getAttribute('aria-busy') === null, null, {
    timeout: 60000,
  });
}

// What the page shows, with every deferred media player brought in by scrolling past it.
async function finalPage(page) {
  await whenComplete(page);
  const viewport = page.viewportSize();
  await page.setViewportSize({ width: viewport.width, height: 4000 });
  await page.evaluate(async () => {
    const frames = (n) => new Promise((resolve) => {
      const next = () => (n-- > 0 ? requestAnimationFrame(next) : resolve());
      next();
    });
    // Half a screen at a time: a stand-in inside a block that still skips its layout is seen only
    // once the block is laid out.
    const standIn = '#content :is(video-deferred, audio-deferred)';
    for (let y = 0; document.querySelector(standIn) && y < document.body.scrollHeight; y += innerHeight / 2) {
      window.scrollTo(0, y);
      await frames(3);
    }
    window.scrollTo(0, 0);
  });
  await page.setViewportSize(viewport);
  return page.evaluate(() => ({
    content: (() => {
      const copy = document.getElementById('content').cloneNode(true);
      for (const part of copy.querySelectorAll(':scope > .part')) part.replaceWith(...part.childNodes);
      // Code blocks near the window got copy buttons and colours; their text stays the same.
      for (const button of copy.querySelectorAll('pre > .copy-code')) button.remove();
      for (const code of copy.querySelectorAll('pre > code')) code.textContent = code.textContent;
      return copy.innerHTML;
    })(),
    outline: [...document.querySelectorAll('#tocList a')].map(
      (a) => [a.textContent, a.getAttribute('href'), a.className]),
    title: document.title,
    meta: document.getElementById('meta').textContent,
  }));
}

// The same document shown in one pass: the converter's HTML parsed as a whole in an inert
// document, disarmed, its tables boxed, links settled and pictures offered up close, headings numbered.
function onePass(page, md) {
  return page.evaluate((text) => {
    const holder = document.implementation.createHTMLDocument('').createElement('div');
    holder.innerHTML = parse(text);
    disarmFragment(holder);
    boxWideTables(holder);
    settleDocumentLinks(holder);
    offerPicturesCloseView(holder);
    const headings = [...holder.querySelectorAll('h1, h2, h3')];
    headings.forEach((h, i) => {
      h.id = 'heading-' + i;
    });
    return { content: holder.innerHTML, headings: headings.length, h1: holder.querySelector('h1').textContent };
  }, md);
}

describe('a large document', () => {
  it('shows its first screen at once and ends equal to a one-pass render', async () => {
    const page = await openViewer(context, server);
    // Looked at in the task that takes the message in: a later look could find the rest arrived.
    const atOnce = await page.evaluate((md) => {
      window.__host.send({ action: 'openFile', name: 'large.md', content: md, generation: 1 });
      return {
        busy: document.getElementById('content').getAttribute('aria-busy'),
        filled: document.getElementById('content').getBoundingClientRect().bottom > innerHeight,
        players: document.querySelectorAll('#content video, #content audio').length,
        meta: document.getElementById('meta').textContent,
      };
    }, LARGE);
    assert.equal(atOnce.busy, 'true', 'the rest is still arriving');
    assert.equal(atOnce.filled, true, 'the first screen is full');
    assert.match(atOnce.meta, /^\d+ 字符/, 'the statistics come at once');

    const shown = await finalPage(page);
    const expected = await onePass(page, LARGE);
    assert.equal(shown.content, expected.content);
    assert.equal(shown.outline.length, expected.headings);
    assert.deepEqual(shown.outline.at(-1), ['Last heading', `#heading-${expected.headings - 1}`, '']);
    assert.equal(shown.title, expected.h1 + ' - Quillpane');

    // The parts change no block's place: every block where it is once the parts are taken out
    // (each part laid out with the containment it has when it is near the viewport).
    const places = await page.evaluate(() => {
      const content = document.getElementById('content');
      const top = () => content.getBoundingClientRect().top;
      const tops = (blocks) => [...blocks].map((b) => b.getBoundingClientRect().top - top());
      const parts = content.querySelectorAll(':scope > .part');
      for (const part of parts) {
        part.style.contentVisibility = 'visible';
        if (!part.classList.contains('plain')) part.style.contain = 'layout paint style';
      }
      const inParts = tops(content.querySelectorAll(':scope > .part > *'));
      for (const part of parts) part.replaceWith(...part.childNodes);
      return { parts: parts.length, inParts, without: tops(content.children) };
    });
    assert.ok(places.parts > 5, `${places.parts} parts`);
    assert.deepEqual(places.inParts, places.without);
    await page.close();
  });

  it('in the classic dialect comes from its worker in pieces that join to parse, each cut where a block ends', async () => {
    const page = await openViewer(context, server);
    const cases = allFixtureCases().map((c) => [`${c.file}: ${c.name}`, c.input]);
    const all = cases.map(([, input]) => input).join('\n\n');
    const outcome = await page.evaluate(async ([cases, all]) => {
      // A cut lies where a block ends when the HTML on either side, parsed apart, is what it is together.
      const holder = document.createElement('template');
      const parsed = (html) => {
        holder.innerHTML = html;
        return holder.innerHTML;
      };
      const converter = classicPieceConverter();
      const faults = [];
      let cuts = 0;
      for (const [name, input] of cases) {
        const pieces = [];
        // The smallest pieces and chunks: a cut wherever the converter may cut.
        converter.renderPieces(input, 1, (html) => pieces.push(html), 1);
        if (pieces.join('') !== parse(input)) faults.push(`${name}: the pieces joined are not parse's HTML`);
        for (let i = 1; i < pieces.length; i++, cuts++) {
          const before = pieces.slice(0, i).join('');
          const after = pieces.slice(i).join('');
          if (parsed(before) + parsed(after) !== parsed(before + after)) faults.push(`${name}: cut ${i} inside a block`);
        }
      }
      // The page's own worker, made from the page's text of the converter, with all of them as one
      // document (whose raw HTML, left open by one case, takes in what follows: cuts are not looked at).
      const fromWorker = (text) => new Promise((resolve) => {
        const pieces = [];
        convertDocument('classic', text, null, (piece, start, last) => {
          if (piece === null) resolve(null);
          pieces.push(piece);
          if (last) resolve(pieces.join(''));
        });
      });
      // Past the size the text goes to the worker in several messages.
      const long = all.repeat(Math.ceil((TEXT_MESSAGE_UNITS * 2 + 1) / all.length));
      const worker = (await fromWorker(all)) === parse(all);
      const used = conversionWorkers.classic.worker;
      const longDone = (await fromWorker(long)) === parse(long);
      // A worker that took a long text is replaced, and the fresh one converts the next.
      const replaced = conversionWorkers.classic.worker !== used && (await fromWorker(all)) === parse(all);
      return { faults, cuts, worker, long: longDone, replaced };
    }, [cases, all]);
    assert.deepEqual(outcome.faults, []);
    assert.ok(outcome.cuts > 20, `${outcome.cuts} cuts`);
    assert.equal(outcome.worker, true, 'the worker gives parse\'s HTML');
    assert.equal(outcome.long, true, 'the worker gives parse\'s HTML of a text sent in several messages');
    assert.equal(outcome.replaced, true, 'after a long text a fresh worker converts the next');
    await page.close();
  });

  it('creates media players only near the viewport, also after a live reload', async () => {
    const page = await openViewer(context, server);
    const generation = await openDocument(page, LARGE, 'large.md');
    await whenComplete(page);
    const near = await page.$$eval('#content video, #content audio', (media) =>
      media.map((m) => m.getBoundingClientRect().top / innerHeight),
    );
    const slots = await page.$$eval('#content :is(video-deferred, audio-deferred)', (s) => s.length);
    assert.ok(slots > 20, `${slots} players wait outside the page`);
    assert.ok(near.every((top) => top < 2.5), `players at ${near} viewport heights`);

    // Height, and the distance to the caption below: the same for the stand-in and the player.
    const box = (el) => {
      const top = el.getBoundingClientRect().top;
      return [el.getBoundingClientRect().height, el.nextElementSibling.getBoundingClientRect().top - top];
    };
    const slot = await page.$('#content video-deferred');
    const before = await slot.evaluate(box);
    await slot.evaluate((s) => s.scrollIntoView());
    await page.waitForFunction((s) => !s.isConnected, slot);
    const video = await page.evaluateHandle(() =>
      [...document.querySelectorAll('#content video')].find((v) => Math.abs(v.getBoundingClientRect().top) < innerHeight),
    );
    assert.deepEqual(await video.evaluate(box), before, 'the player takes the place and size of its stand-in');
    assert.equal(await video.evaluate((v) => v.querySelector('source') !== null), true);

    // Delivered again: the new document watches its own stand-ins (by their part) once it shows.
    await openDocument(page, LARGE, 'large.md', generation);
    await whenComplete(page);
    const far = await page.evaluateHandle(() => [...document.querySelectorAll('#content audio-deferred')].at(-1));
    await far.evaluate((s) => s.scrollIntoView());
    await page.waitForFunction((s) => !s.isConnected, far);
    await page.close();
  });

  const deliveries = [
    ['a second large document', 'host', realisticDocument(150 * 1024, 9), 'second.md'],
    ['a small document', 'host', '# Small\n\ntext', 'small.md'],
    ['a drop', 'drop', '# Dropped\n\nfile', 'dropped.md'],
  ];
  for (const [label, how, text, name] of deliveries) {
    it(`is replaced cleanly by ${label} arriving mid-insertion`, async () => {
      const page = await openViewer(context, server);
      await openDocument(page, LARGE, 'large.md');
      if (how === 'host') {
        await openDocument(page, text, name);
      } else {
        await page.evaluate(([content, fileName]) => {
          const transfer = new DataTransfer();
          transfer.items.add(new File([content], fileName));
          document.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
        }, [text, name]);
        await page.waitForFunction((n) => document.getElementById('filename').textContent === n, name);
      }
      const shown = await finalPage(page);
      const expected = await onePass(page, text);
      assert.equal(shown.content, expected.content, 'nothing of the first document is left');
      assert.equal(shown.outline.length, expected.headings);
      assert.equal(shown.title, expected.h1 + ' - Quillpane');
      assert.match(shown.meta, new RegExp(`^${text.length} 字符`));
      await page.close();
    });
  }

  // Each dialect converts in its worker; the classic one only a document past the size it converts at once.
  const converted = [['github', LARGE], ['classic', LARGE + '\n\n' + realisticDocument(256 * 1024, 11)]];
  for (const [dialect, md] of converted) it(`in the ${dialect} dialect: the opening part at once, the rest continuing it in pieces, the reader kept on reload`, async () => {
    const page = await openViewer(context, server, { query: DIALECT_QUERY[dialect] });
    await page.evaluate(() => {
      window.__extended = [];
      const extend = extendDocumentHtml;
      extendDocumentHtml = (state, piece, last) => {
        const busy = document.getElementById('content').getAttribute('aria-busy');
        const done = extend(state, piece, last);
        window.__extended.push({ busy, done, blocks: document.querySelectorAll('#content > *, #content > .part > *').length });
        return done;
      };
    });
    const generation = await openDocument(page, md, 'large.md');
    const extended = await page.evaluate(() => window.__extended);
    assert.ok(extended.length > 1, `${extended.length} pieces`);
    assert.ok(extended.every((piece) => piece.done && piece.busy === 'true'), JSON.stringify(extended));
    assert.ok(extended[0].blocks > 5, JSON.stringify(extended[0]));
    const whole = dialect === 'github' ? (await loadGithubDialect()).render(md) : await page.evaluate((text) => parse(text), md);
    const shown = await page.evaluate(() => ({
      outline: document.querySelectorAll('#tocList a').length,
      text: document.getElementById('content').textContent.replace(/\s+/g, ''),
    }));
    const expected = await page.evaluate((html) => {
      const doc = new DOMParser().parseFromString(html, 'text/html');
      doc.querySelectorAll('script, template, noscript').forEach((el) => el.remove());
      return { outline: doc.querySelectorAll('h1, h2, h3').length, text: doc.body.textContent.replace(/\s+/g, '') };
    }, whole);
    assert.equal(shown.outline, expected.outline);
    assert.equal(shown.text, expected.text, 'the page shows the whole document\'s conversion');

    const headingAt = (i) => document.querySelectorAll('#content :is(h1, h2, h3)')[i].getBoundingClientRect().top;
    const index = await page.evaluate(() => {
      const headings = document.querySelectorAll('#content :is(h1, h2, h3)');
      const far = Math.floor(headings.length * 0.7);
      headings[far].scrollIntoView();
      return far;
    });
    // Parts near the window are laid out in the next frames and take their real heights.
    const nextFrames = () => page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    await nextFrames();
    const before = await page.evaluate(headingAt, index);
    await openDocument(page, md, 'large.md', generation);
    // The page holds the place while the blocks near it are first laid out.
    const kept = await page.waitForFunction(([i, top]) => {
      const heading = document.querySelectorAll('#content :is(h1, h2, h3)')[i];
      return Math.abs(heading.getBoundingClientRect().top - top) <= 1;
    }, [index, before], { timeout: 3000 }).then(() => true, () => false);
    assert.ok(kept, `at ${await page.evaluate(headingAt, index)}px, not ${before}px`);
    await page.close();
  });

  // Old parts leave in two ways: emptied where they skip their content, hidden where some contain
  // nothing (the raw HTML of the first document makes its later parts so).
  const redelivered = [
    ['with parts that contain nothing', LARGE],
    ['whose parts all skip their content', realisticDocument(300 * 1024, 8)],
  ];
  for (const [label, md] of redelivered) it(`keeps the reader at the same place when delivered again under the same number, ${label}`, async () => {
    const page = await openViewer(context, server);
    const shown = await openDocument(page, md, 'large.md');
    await whenComplete(page);
    const headingAt = (i) => {
      const heading = document.querySelectorAll('#content :is(h1, h2, h3)')[i];
      return [heading.textContent, heading.getBoundingClientRect().top];
    };
    const index = await page.evaluate(() => {
      const headings = document.querySelectorAll('#content :is(h1, h2, h3)');
      const far = Math.floor(headings.length * 0.7);
      headings[far].scrollIntoView();
      window.scrollBy(0, -150);
      return far;
    });
    const nextFrames = () => page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    await nextFrames();
    const before = await page.evaluate(headingAt, index);
    const scrolled = await page.evaluate(() => scrollY);
    // While the new document arrives behind the old, the old one's far parts are emptied (or
    // hidden): in every frame until the swap, the reader's heading of the old one stays where it
    // was, and so does the scroll position.
    await page.evaluate((i) => {
      const heading = document.querySelectorAll('#content :is(h1, h2, h3)')[i];
      const parts = () => document.querySelectorAll('#content > .part:not([hidden]):not(:empty)').length;
      const shownBefore = parts();
      window.__oldFrames = [];
      const sample = () => {
        if (!heading.checkVisibility()) {
          window.__swapped = true;
          return;
        }
        window.__oldFrames.push({ top: heading.getBoundingClientRect().top, y: scrollY, fewer: parts() < shownBefore });
        requestAnimationFrame(sample);
      };
      requestAnimationFrame(sample);
    }, index);
    await openDocument(page, md, 'large.md', shown);
    await page.waitForFunction(() => window.__swapped);
    const oldFrames = await page.evaluate(() => window.__oldFrames);
    assert.ok(oldFrames.some((frame) => frame.fewer), `no old part left before the swap: ${JSON.stringify(oldFrames)}`);
    for (const frame of oldFrames) {
      assert.ok(Math.abs(frame.top - before[1]) <= 1 && frame.y === scrolled, `before the swap: ${JSON.stringify(frame)}, not ${before[1]}px at ${scrolled}`);
    }
    await nextFrames();
    for (const when of ['in the first frames', 'once complete']) {
      if (when === 'once complete') await whenComplete(page);
      const [text, top] = await page.evaluate(headingAt, index);
      assert.equal(text, before[0], when);
      assert.ok(Math.abs(top - before[1]) <= 1, `${when}: at ${top}px, not ${before[1]}px`);
    }
    await page.close();
  });

  it('lands where the history and links say while still arriving: at the place it was left, at a fragment\'s heading', async () => {
    const page = await openViewer(context, server);
    const first = await openDocument(page, LARGE, 'large.md');
    await whenComplete(page);
    const headingAt = (i) => document.querySelectorAll('#content :is(h1, h2, h3)')[i].getBoundingClientRect().top;
    const index = await page.evaluate(() => {
      const headings = document.querySelectorAll('#content :is(h1, h2, h3)');
      const far = Math.floor(headings.length * 0.7);
      headings[far].scrollIntoView();
      return far;
    });
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    const before = await page.evaluate(headingAt, index);
    await openDocument(page, '# Elsewhere', 'other.md');
    const [left] = await page.evaluate(() => window.__host.posted.map((entry) => JSON.parse(entry.json)).filter((m) => m.action === 'place'));
    assert.equal(left.generation, first);
    // Whether the landing came before the document was whole.
    await page.evaluate(() => {
      const hold = holdPlace;
      holdPlace = (place, el) => {
        // The first hold after a delivery is its landing; later ones (a whole replacing the part) are not.
        if (window.__heldWhileBusy === undefined) window.__heldWhileBusy = document.getElementById('content').hasAttribute('aria-busy');
        return hold(place, el);
      };
    });
    let generation = first + 100;
    const send = (extra, content = LARGE) => page.evaluate((message) => window.__host.send(message),
      { action: 'openFile', name: 'large.md', content, generation: ++generation, ...extra });
    await send({ place: left.place });
    // The document shows once it has arrived as far as that place.
    const kept = await page.waitForFunction(([i, top]) => {
      const heading = document.querySelectorAll('#content :is(h1, h2, h3)')[i];
      return heading !== undefined && Math.abs(heading.getBoundingClientRect().top - top) <= 1;
    }, [index, before], { timeout: 10000 }).then(() => true, () => false);
    assert.ok(kept, `at ${await page.evaluate(headingAt, index)}px, not ${before}px`);
    await whenComplete(page);

    // A heading some slices in, with more after it than one slice takes in on any machine.
    await page.evaluate(() => { window.__heldWhileBusy = undefined; });
    const landingDocument = LARGE.replace('<details open>', '# Landing target\n\n<details open>') + '\n\n' + realisticDocument(256 * 1024, 9);
    await send({ fragment: 'landing-target' }, landingDocument);
    await page.waitForFunction(() => {
      const last = [...document.querySelectorAll('#content h1')].find((h) => h.textContent === 'Landing target');
      const padding = parseFloat(getComputedStyle(document.documentElement).scrollPaddingTop);
      return last && Math.abs(last.getBoundingClientRect().top - padding) < 2;
    }, null, { timeout: 10000 });
    assert.equal(await page.evaluate(() => window.__heldWhileBusy), true, 'landed as its slice arrived');
    await page.close();
  });

  it('leaves out a slice that fails on its way in, alone, and completes', async () => {
    const page = await openViewer(context, server);
    // A fault in the page that one slice meets, after the slice was disarmed.
    await page.evaluate(() => {
      const box = boxWideTables;
      window.boxWideTables = (slice) => {
        if (slice.querySelector('#fault')) throw new Error('fault');
        box(slice);
      };
    });
    const doc = [realisticDocument(64 * 1024, 5), '<p id="before">b</p>', realisticDocument(16 * 1024, 7), '<p id="fault">f</p>',
      realisticDocument(16 * 1024, 8), '<p id="after">a</p>', realisticDocument(64 * 1024, 6), '<p id="end">e</p>'].join('\n\n');
    await openDocument(page, doc, 'faulty.md');
    await whenComplete(page);
    const found = (selector) => page.evaluate((s) => document.querySelectorAll(s).length, selector);
    assert.deepEqual(await Promise.all(['#before', '#fault', '#after', '#end'].map(found)), [1, 0, 1, 1]);
    await openDocument(page, 'next', 'next.md');
    assert.equal(await page.$eval('#content', (c) => c.innerHTML), '<p>next</p>', 'nothing of the slice is left for the next');
    await page.close();
  });

  it('stops arriving when the document is closed', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, LARGE, 'large.md');
    await page.click('#closeBtn');
    await page.waitForTimeout(500);
    const state = await page.evaluate(() => ({
      dropzone: document.querySelectorAll('#content #dropzone').length,
      children: document.getElementById('content').childElementCount,
      busy: document.getElementById('content').getAttribute('aria-busy'),
    }));
    assert.deepEqual(state, { dropzone: 1, children: 1, busy: null });
    await page.close();
  });

  it('prints whole, also while still arriving, with as many pages as without containment', async () => {
    const page = await openViewer(context, server);
    const doc = realisticDocument(200 * 1024, 11).replace(/!(?:video|audio)\[[^\]]*\]\([^)]*\)/g, '');
    await openDocument(page, doc, 'print.md');
    assert.equal(await page.$eval('#content', (c) => c.className), 'large');
    const pages = async () => (await page.pdf()).toString('latin1').match(/\/Type\s*\/Page\b/g).length;
    const arriving = await pages();
    assert.equal(await page.$eval('#content', (c) => c.getAttribute('aria-busy')), null, 'printing completed it');
    await page.evaluate(() => document.getElementById('content').classList.remove('large'));
    assert.equal(arriving, await pages());
    await page.close();
  });

  it('lands an outline jump far down on its heading', async () => {
    const page = await openViewer(context, server);
    await openDocument(page, LARGE, 'large.md');
    await whenComplete(page);
    await page.click('#tocBtn');
    const entries = await page.$$('#tocList a');
    await entries[Math.floor(entries.length * 0.8)].click();
    await page.waitForFunction(() => location.hash !== '');
    await page.waitForTimeout(300);
    const { top, below } = await page.evaluate(() => ({
      top: document.querySelector(location.hash).getBoundingClientRect().top,
      below: parseFloat(getComputedStyle(document.documentElement).scrollPaddingTop),
    }));
    assert.ok(Math.abs(top - below) < 2, `the heading is at ${top}px, not ${below}px`);
    await page.close();
  });
});
