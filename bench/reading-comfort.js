'use strict';
// Reading comfort benchmark: `node bench/reading-comfort.js [--mib 10] [--runs 3]` (after building the
// viewer_page target; the page is read from PAGEWRIGHT_HTML, default build/pagewright.html).
//
// - Text size on a large document: the realistic document of --mib MiB (default 10) is opened
//   through the page's openFile message and left to arrive whole; the reader is put halfway down,
//   and the text size is stepped with Ctrl+= and Ctrl+- (real key presses) through all five sizes and
//   back. For each step it prints the time from the key to the end of the first frame in the new
//   size, the longest main-thread task in the second after it (goal: none over 100 ms), and whether
//   the reader's place held: the same block at the window's top line, with the same share of it
//   above the line (within 0.1).
// - A 20-megapixel picture up close: a 5,000 x 4,000 JPEG, already shown in the document, is opened
//   in the view; the time from the click to the end of the first frame that shows it decoded (goal
//   200 ms), as the median of --runs openings.
const { launchBrowser, installWebViewStandIn, pageHtml } = require('../tests/browser/harness');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const VIEWPORT = { width: 1280, height: 800 };
const LONGEST_TASK_GOAL_MS = 100;
const PICTURE_GOAL_MS = 200;
const SHARE_SLACK = 0.1;
const STEPS = ['Control+=', 'Control+=', 'Control+=', 'Control+-', 'Control+-', 'Control+-', 'Control+-', 'Control+='];

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at === -1 ? fallback : Number(process.argv[at + 1]);
}

async function newViewer(browser) {
  const page = await browser.newPage({ viewport: VIEWPORT });
  await page.addInitScript(installWebViewStandIn);
  // Served from the page's own address, so that local storage (the chosen size) works as in the program.
  await page.route('http://comfort.invalid/', (route) => route.fulfill({ status: 200, contentType: 'text/html', body: pageHtml() }));
  await page.goto('http://comfort.invalid/');
  await page.evaluate(() => {
    window.__longTasks = [];
    new PerformanceObserver((list) => window.__longTasks.push(...list.getEntries())).observe({ type: 'longtask' });
  });
  return page;
}

// The block at the window's top line and the share of it above the line.
function placeAtLine() {
  const line = document.getElementById('topbar').getBoundingClientRect().bottom;
  const x = document.getElementById('content').getBoundingClientRect().left + 40;
  const block = document.elementFromPoint(x, line + 1).closest('#content > *, #content > .part > *');
  const box = block.getBoundingClientRect();
  return { block: [...document.querySelectorAll('#content > .part > *, #content > :not(.part)')].indexOf(block), share: (line - box.top) / box.height };
}

async function textSize(browser, mib) {
  const page = await newViewer(browser);
  const text = realisticDocument(mib * MIB);
  await page.evaluate((content) => window.__host.send({ action: 'openFile', name: 'large.md', content, generation: 1 }), text);
  await page.waitForFunction(() => !document.querySelector('#content[aria-busy]'), null, { timeout: 300000, polling: 500 });
  await page.evaluate(() => {
    const headings = document.querySelectorAll('#content h2');
    headings[Math.floor(headings.length / 2)].scrollIntoView();
    window.scrollBy(0, 40);
  });
  await page.waitForTimeout(1500);
  console.log(`Text size on a ${mib} MiB document (${text.length.toLocaleString('en')} characters):`);
  console.log('  key              size  to its frame  longest task in the second after  place');
  let worst = 0;
  let placesKept = 0;
  for (const key of STEPS) {
    const before = await page.evaluate(placeAtLine);
    const started = await page.evaluate(() => {
      window.__longTasks.length = 0;
      window.__keyAt = null;
      document.addEventListener('keydown', () => { window.__keyAt = performance.now(); }, { once: true, capture: true });
      return true;
    });
    if (!started) break;
    await page.keyboard.press(key);
    // The end of the next frame (after the key's task), less the key's time.
    const frame = await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => {
      const channel = new MessageChannel();
      channel.port1.onmessage = () => resolve(performance.now() - window.__keyAt);
      channel.port2.postMessage(0);
    })));
    await page.waitForTimeout(1000);
    const result = await page.evaluate(() => ({
      // The size at the window's top line: a large document's parts carry their own.
      size: getComputedStyle(document.elementFromPoint(640, document.getElementById('topbar').getBoundingClientRect().bottom + 1)
        .closest('#content > .part') ?? document.getElementById('content')).fontSize,
      longest: Math.max(0, ...window.__longTasks.map((task) => task.duration)),
    }));
    const after = await page.evaluate(placeAtLine);
    const kept = after.block === before.block && Math.abs(after.share - before.share) <= SHARE_SLACK;
    if (kept) placesKept++;
    worst = Math.max(worst, result.longest);
    console.log(`  ${key.padEnd(16)} ${result.size.padStart(5)} ${(frame.toFixed(0) + ' ms').padStart(13)}  ` +
      `${(result.longest === 0 ? 'none over 50 ms' : result.longest.toFixed(0) + ' ms').padStart(32)}  ` +
      `${kept ? 'kept' : `moved (block ${before.block} at ${before.share.toFixed(2)} -> ${after.block} at ${after.share.toFixed(2)})`}`);
  }
  console.log(`  longest task: ${worst === 0 ? 'none over 50 ms' : worst.toFixed(0) + ' ms'} (goal <= ${LONGEST_TASK_GOAL_MS} ms); ` +
    `place kept in ${placesKept} of ${STEPS.length} steps`);
  await page.close();
}

async function pictureUpClose(browser, runs) {
  const page = await newViewer(browser);
  // A 20-megapixel photograph-like JPEG, made in the page: a gradient with noise, so that it does
  // not compress to nothing.
  await page.evaluate(async () => {
    const canvas = new OffscreenCanvas(5000, 4000);
    const context = canvas.getContext('2d');
    const gradient = context.createLinearGradient(0, 0, 5000, 4000);
    gradient.addColorStop(0, '#f97316');
    gradient.addColorStop(0.5, '#3b82f6');
    gradient.addColorStop(1, '#10b981');
    context.fillStyle = gradient;
    context.fillRect(0, 0, 5000, 4000);
    const noise = context.createImageData(500, 400);
    for (let i = 0; i < noise.data.length; i++) noise.data[i] = (i % 4 === 3) ? 60 : Math.random() * 255;
    for (let y = 0; y < 4000; y += 400) for (let x = 0; x < 5000; x += 500) context.putImageData(noise, x, y);
    const blob = await canvas.convertToBlob({ type: 'image/jpeg', quality: 0.9 });
    window.__pictureBytes = blob.size;
    window.__host.send({ action: 'openFile', name: 'picture.md', generation: 2, content: `# A picture\n\n![photo](${URL.createObjectURL(blob)})\n` });
  });
  await page.waitForFunction(() => document.querySelector('#content img').complete, null, { timeout: 60000 });
  await page.evaluate(() => document.querySelector('#content img').decode());
  await page.waitForTimeout(500);
  const times = [];
  for (let run = 0; run < runs; run++) {
    const shown = await page.evaluate(async () => {
      const started = performance.now();
      document.querySelector('#content img').click();
      await document.querySelector('#closeViewStage > img').decode();
      return new Promise((resolve) => requestAnimationFrame(() => {
        const channel = new MessageChannel();
        channel.port1.onmessage = () => resolve(performance.now() - started);
        channel.port2.postMessage(0);
      }));
    });
    times.push(shown);
    await page.keyboard.press('Escape');
    await page.waitForTimeout(300);
  }
  times.sort((a, b) => a - b);
  const bytes = await page.evaluate(() => window.__pictureBytes);
  console.log(`A 20-megapixel picture up close (5000 x 4000 JPEG, ${(bytes / MIB).toFixed(1)} MB): ` +
    `${times.map((t) => t.toFixed(0)).join(', ')} ms; median ${times[Math.floor(times.length / 2)].toFixed(0)} ms ` +
    `(goal <= ${PICTURE_GOAL_MS} ms)`);
  await page.close();
}

async function main() {
  const browser = await launchBrowser();
  try {
    await textSize(browser, option('--mib', 10));
    await pictureUpClose(browser, option('--runs', 3));
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
