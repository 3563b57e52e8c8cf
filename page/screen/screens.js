// What the content area shows when it shows no document: the welcome screen with its drop zone, the
// loading screen and the error screen, and the page's texts for them.
// Its string literals write non-ASCII text as \u escapes and closing tags as "<\/".
//
// Uses: activateOnKeys, closeHostDocument, contentEl, esc, forgetDocument, forgetPlacePath,
//   hostGeneration, leaveDocument, rememberReadingPlace, reportLeftPlace, showFileName,
//   showFilesOf, shownOwnNumber, ui

const TEXT_LOADING = '\u52a0\u8f7d\u4e2d\u2026'; // "加载中…"
const TEXT_LOADING_FILE = '\u6b63\u5728\u52a0\u8f7d '; // "正在加载 "
const TEXT_ELLIPSIS = ' \u2026'; // " …"
const TEXT_WARNING_ICON = '\u26a0\ufe0f'; // "⚠️"
const TEXT_NO_DOCUMENT = '\u672a\u52a0\u8f7d\u6587\u6863'; // "未加载文档"
const TEXT_LOAD_FAILED = '\u65e0\u6cd5\u52a0\u8f7d\u6587\u6863'; // "无法加载文档"
const TEXT_FILE_LABEL = '\u6587\u4ef6\uff1a'; // "文件："
const TEXT_ERROR_LABEL = '\u9519\u8bef\uff1a'; // "错误："
const TEXT_CHECK_PATH = '\u8bf7\u786e\u8ba4\u6587\u4ef6\u8def\u5f84\u6b63\u786e\uff0c\u4e14\u670d\u52a1\u5668\u5141\u8bb8\u8bbf\u95ee\u8be5\u6587\u4ef6\u3002'; // "请确认文件路径正确，且服务器允许访问该文件。"
const TEXT_CORS_HINT = '\u76f4\u63a5\u6253\u5f00 HTML \u6587\u4ef6\uff08file://\uff09\u53ef\u80fd\u53d7 CORS \u9650\u5236\uff0c\u5efa\u8bae\u7528\u672c\u5730\u670d\u52a1\u5668\u3002'; // "直接打开 HTML 文件（file://）可能受 CORS 限制，建议用本地服务器。"
const TEXT_BOOK_ICON = '\ud83d\udcd6'; // "📖"
const TEXT_TAGLINE = '\u8f7b\u91cf\u7ea7 Markdown \u6587\u6863\u67e5\u770b\u5668'; // "轻量级 Markdown 文档查看器"
const TEXT_FEATURES = '\u652f\u6301\u56fe\u7247\u3001\u97f3\u9891\u3001\u89c6\u9891\u3001\u9644\u4ef6\u5185\u5d4c\u7684\u5bcc\u5a92\u4f53 Markdown'; // "支持图片、音频、视频、附件内嵌的富媒体 Markdown"
const TEXT_USAGE_1 = '\u7528\u6cd51\uff1a'; // "用法1："
const TEXT_USAGE_2 = '\u7528\u6cd52\uff1a\u76f4\u63a5\u62d6\u62fd .md \u6587\u4ef6\u5230\u9875\u9762'; // "用法2：直接拖拽 .md 文件到页面"
const TEXT_USAGE_3 = '\u7528\u6cd53\uff1a\u70b9\u51fb\u4e0b\u65b9\u533a\u57df\u9009\u62e9\u6587\u4ef6'; // "用法3：点击下方区域选择文件"
const TEXT_FOLDER_ICON = '\ud83d\udcc2'; // "📂"
const TEXT_DROP_HERE = '\u62d6\u62fd .md \u6587\u4ef6\u5230\u6b64\u5904\uff0c\u6216\u70b9\u51fb\u9009\u62e9'; // "拖拽 .md 文件到此处，或点击选择"
const TEXT_DROP_TYPES = '\u652f\u6301 .md / .markdown / .txt'; // "支持 .md / .markdown / .txt"

function showLoading(msg) {
  leaveDocument();
  contentEl.innerHTML = '<div id="status"><div class="spinner"><\/div><div class="msg">' + (msg || TEXT_LOADING) +
    '<\/div><\/div>';
}

function showError(title, detail) {
  leaveDocument();
  contentEl.innerHTML = '<div id="status"><div class="icon">' + TEXT_WARNING_ICON + '<\/div><div class="msg"><strong>' +
    esc(title) + '<\/strong><\/div><div class="sub">' + detail + '<\/div><\/div>';
}

const WELCOME_HTML = '<div id="status">' +
  '<div class="icon">' + TEXT_BOOK_ICON + '<\/div>' +
  '<div class="msg"><strong>Quillpane<\/strong><br>' + TEXT_TAGLINE + '<\/div>' +
  '<div class="sub">' + TEXT_FEATURES + '<\/div>' +
  '<div style="margin-top:20px;font-size:13px;color:#64748b;line-height:2">' +
  TEXT_USAGE_1 + '<code>pagewright.html?file=readme.md<\/code><br>' + TEXT_USAGE_2 + '<br>' + TEXT_USAGE_3 + '<\/div>' +
  '<div id="dropzone" role="button" tabindex="0">' +
  '<div class="dicon">' + TEXT_FOLDER_ICON + '<\/div><div class="dtxt">' + TEXT_DROP_HERE + '<\/div>' +
  '<div class="dsub">' + TEXT_DROP_TYPES + '<\/div><\/div>' +
  '<\/div>';

function showWelcome() {
  rememberReadingPlace();
  forgetPlacePath();
  hostGeneration = null;
  shownOwnNumber = null;
  showFilesOf(null);
  ui.closeBtn.style.display = 'none';
  ui.exportMenu.style.display = 'none';
  showFileName(TEXT_NO_DOCUMENT);
  forgetDocument();
  leaveDocument();
  contentEl.innerHTML = WELCOME_HTML;
  const dropzone = contentEl.querySelector('#dropzone');
  dropzone.addEventListener('click', () => ui.filePicker.click());
  activateOnKeys(dropzone, () => ui.filePicker.click());
  dropzone.addEventListener('dragover', (event) => {
    event.preventDefault();
    dropzone.classList.add('over');
  });
  dropzone.addEventListener('dragleave', () => dropzone.classList.remove('over'));
  // The file itself is opened by the page-wide drop handler, once per drop.
  dropzone.addEventListener('drop', (event) => {
    event.preventDefault();
    dropzone.classList.remove('over');
  });
}

function callbackClose() {
  // The button disappears with the document; its focus goes on to the welcome screen's drop zone.
  const hadFocus = document.activeElement === ui.closeBtn;
  reportLeftPlace();
  closeHostDocument();
  showWelcome();
  if (hadFocus) contentEl.querySelector('#dropzone').focus();
}
