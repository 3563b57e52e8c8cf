'use strict';
// Export benchmark: `node bench/export.js [--size 10] [--dialect classic|github] [--no-pdf] [--cli]` (after building
// the viewer_page target; the page is read from PAGEWRIGHT_HTML, default build/pagewright.html).
//
// A realistic document (10 MiB by default, without media lines) is shown in headless Chromium through
// the page's openFile message, in a fresh browser; then the page exports it to HTML, and Chromium prints
// the page to PDF (the browser control's print-to-PDF is Chromium's). It prints:
// - complete rendering: from the message until the content is no longer busy;
// - HTML export: rendering plus the page's export, and its ratio to the rendering (goal <= 2x);
// - PDF export: rendering plus finishing the blocks plus printing, and its ratio (goal <= 4x);
// - the renderer's peak memory after showing and after exporting, and their ratio (goal <= 2x).
// --no-pdf leaves the PDF out (at 10 MiB it takes minutes). With --cli it also times `scripts/run --export OUT.html` on a 1 KB document, start-up included
// (program, Wine and the development runtime's Chromium; goal < 1.5 s on Windows), when the program
// and the development runtime are built.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { launchBrowser, installWebViewStandIn, pageHtml, loadPage, ROOT } = require('../tests/browser/harness');
const { realisticDocument } = require('../tests/page/realistic-document.js');

const MIB = 1024 * 1024;
const MEDIA_EXTENSION_RE = /!(?:video|audio|file)\[[^\]]*\]\([^)]*\)/g;
const VIEWPORT = { width: 1280, height: 800 };
const GOALS = { html: 2, pdf: 4, memory: 2, cliSeconds: 1.5 };

function option(name, fallback) {
  const at = process.argv.indexOf(name);
  return at === -1 ? fallback : process.argv[at + 1];
}

function documentOf(mib) {
  const text = realisticDocument(mib * MIB * 1.3).replace(MEDIA_EXTENSION_RE, '');
  const head = Buffer.from(text, 'utf8').subarray(0, mib * MIB).toString('utf8');
  return head.slice(0, head.lastIndexOf('\n') + 1);
}

async function rendererPeak(browser) {
  const session = await browser.newBrowserCDPSession();
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  await session.detach();
  let peak = 0;
  for (const info of processInfo.filter((p) => p.type === 'renderer')) {
    const status = fs.readFileSync(`/proc/${info.id}/status`, 'utf8');
    peak = Math.max(peak, Number(/VmHWM:\s+(\d+)/.exec(status)[1]) * 1024);
  }
  return peak;
}

async function measure(text, dialect) {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage({ viewport: VIEWPORT });
    await page.addInitScript(installWebViewStandIn);
    await loadPage(page, pageHtml(), { timeout: 300000 });
    const complete = await page.evaluate(({ md, dialect }) => new Promise((resolve) => {
      setDialect(dialect);
      const content = document.getElementById('content');
      const t0 = performance.now();
      window.__host.send({ action: 'openFile', name: 'large.md', content: md });
      const look = () => (content.getAttribute('aria-busy') === 'true' || content.querySelector('#status')
        ? setTimeout(look, 20) : resolve(performance.now() - t0));
      look();
    }), { md: text, dialect });
    const shownPeak = await rendererPeak(browser);
    const html = await page.evaluate(async () => {
      const t0 = performance.now();
      const file = await exportDocumentHtml();
      return { ms: performance.now() - t0, bytes: file.length };
    });
    const exportedPeak = await rendererPeak(browser);
    if (process.argv.includes('--no-pdf')) return { complete, html, pdfMs: null, shownPeak, exportedPeak };
    const pdfStart = Date.now();
    await page.evaluate(() => completeCodeBlocks());
    const pdf = await page.pdf({ preferCSSPageSize: true, printBackground: true });
    const pdfMs = Date.now() - pdfStart;
    return { complete, html, pdfMs, pdfBytes: pdf.length, shownPeak, exportedPeak };
  } finally {
    await browser.close();
  }
}

function timeCli() {
  const exe = path.join(ROOT, 'build', 'tallowmere.exe');
  if (!fs.existsSync(exe)) return null;
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'tm-export-'));
  const doc = path.join(folder, 'small.md');
  fs.writeFileSync(doc, '# Small\n\n' + 'A short paragraph of text. '.repeat(36) + '\n');
  const out = path.join(folder, 'small.html');
  const start = Date.now();
  try {
    execFileSync(path.join(ROOT, 'scripts', 'run'), ['--export', out, doc], { stdio: 'ignore' });
  } catch (e) {
    return { seconds: NaN, written: false };
  }
  return { seconds: (Date.now() - start) / 1000, written: fs.existsSync(out) };
}

async function main() {
  const mib = Number(option('--size', '10'));
  const dialect = option('--dialect', 'classic');
  const text = documentOf(mib);
  const r = await measure(text, dialect);
  const mb = (bytes) => (bytes / MIB).toFixed(0) + ' MB';
  const s = (ms) => (ms / 1000).toFixed(2) + ' s';
  const htmlRatio = (r.complete + r.html.ms) / r.complete;
  const pdfRatio = (r.complete + r.pdfMs) / r.complete;
  const memoryRatio = r.exportedPeak / r.shownPeak;
  console.log(`${mib} MiB document, ${dialect} dialect, ${os.loadavg()[0].toFixed(1)} load on ${os.cpus().length} cores`);
  console.log(`complete rendering           ${s(r.complete)}`);
  console.log(`HTML export (render + export) ${s(r.complete + r.html.ms)} = ${htmlRatio.toFixed(2)}x (goal <= ${GOALS.html}x); the file ${mb(r.html.bytes)}`);
  if (r.pdfMs !== null) {
    console.log(`PDF export (render + print)   ${s(r.complete + r.pdfMs)} = ${pdfRatio.toFixed(2)}x (goal <= ${GOALS.pdf}x); the file ${mb(r.pdfBytes)}`);
  }
  console.log(`renderer peak memory         shown ${mb(r.shownPeak)}, exported ${mb(r.exportedPeak)} = ${memoryRatio.toFixed(2)}x (goal <= ${GOALS.memory}x)`);
  if (process.argv.includes('--cli')) {
    const cli = timeCli();
    if (!cli) console.log('command line: build/tallowmere.exe is not built');
    else console.log(`command line, 1 KB to HTML   ${cli.seconds.toFixed(2)} s (goal < ${GOALS.cliSeconds} s), written: ${cli.written}`);
  }
}

main().catch((failure) => {
  console.error(String(failure.message || failure).slice(0, 500));
  process.exit(1);
});
