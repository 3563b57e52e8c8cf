// The page's own elements, document members and host channel, looked up once at load time, before
// any document exists: a document's ids, names and forms can then never stand in for them. Every
// stage reaches the page through these.
//
// Uses: nothing

// The page document's own members (the page document itself never holds a name that shadows them).
const setDocumentTitle = Object.getOwnPropertyDescriptor(Document.prototype, 'title').set.bind(document);
const createElement = document.createElement.bind(document);
const createFragment = document.createDocumentFragment.bind(document);
const pageBody = document.body;
const pageRoot = document.documentElement;

// The page's own elements.
const ui = {
  topbar: document.getElementById('topbar'),
  historyNav: document.getElementById('historyNav'),
  backBtn: document.getElementById('backBtn'),
  forwardBtn: document.getElementById('forwardBtn'),
  closeBtn: document.getElementById('closeBtn'),
  logoBtn: document.getElementById('logoBtn'),
  filename: document.getElementById('filename'),
  meta: document.getElementById('meta'),
  encodingBtn: document.getElementById('encodingBtn'),
  encodingList: document.getElementById('encodingList'),
  btnDark: document.getElementById('btnDark'),
  btnLight: document.getElementById('btnLight'),
  btnHC: document.getElementById('btnHC'),
  btnClassic: document.getElementById('btnClassic'),
  btnGithub: document.getElementById('btnGithub'),
  printBtn: document.querySelector('#topbar [data-action="print"]'),
  exportMenu: document.getElementById('exportMenu'),
  exportBtn: document.getElementById('exportBtn'),
  exportList: document.getElementById('exportList'),
  tocBtn: document.getElementById('tocBtn'),
  toc: document.getElementById('toc'),
  tocList: document.getElementById('tocList'),
  tabOutline: document.getElementById('tabOutline'),
  tabFiles: document.getElementById('tabFiles'),
  fileTree: document.getElementById('fileTree'),
  totop: document.getElementById('totop'),
  filePicker: document.getElementById('filePicker'),
  aboutOverlay: document.getElementById('aboutOverlay'),
  aboutDialog: document.getElementById('aboutDialog'),
  aboutClose: document.querySelector('#aboutDialog .about-close'),
  qrCodeImg: document.getElementById('qrCodeImg'),
  qrCodePlaceholder: document.getElementById('qrCodePlaceholder'),
  qrData: document.getElementById('qrData'),
};

// The host channel, present only inside the web view.
const hostView = window.chrome && window.chrome.webview ? window.chrome.webview : null;

// The content area, where documents and screens show; found when the page starts (see viewer.js).
let contentEl = null;
