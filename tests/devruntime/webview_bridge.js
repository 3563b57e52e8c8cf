// What the browser control gives the top-level page, played in Chromium by the development runtime
// (added before any page script runs; never part of the page itself):
// - window.chrome.webview: postMessage(value) sends the value's JSON text to the program; the
//   program's messages arrive as "message" events whose data is the parsed object;
// - links: a link the user follows is not followed by Chromium itself but reported to the driver,
//   which asks the program (a new window, or a navigation start) and obeys its answer, as the control
//   raises its events before it opens a window or leaves the page.
// The driver reaches this bridge through three names on window: the two bindings it exposes for page ->
// host traffic, and the deliver function below for host -> page traffic.
(() => {
  if (window !== window.top) return;
  const HOST_POST_BINDING = '__tallowmereDevRuntimePost';
  const LINK_BINDING = '__tallowmereDevRuntimeLink';
  const DELIVER_FUNCTION = '__tallowmereDevRuntimeDeliver';
  const SAME_WINDOW_TARGETS = ['', '_self', '_top', '_parent'];

  const webview = new EventTarget();
  webview.postMessage = function postMessage(value) {
    const json = JSON.stringify(value);
    window[HOST_POST_BINDING](json === undefined ? 'null' : json);
  };

  Object.defineProperty(window, DELIVER_FUNCTION, {
    value: function deliver(json) {
      webview.dispatchEvent(new MessageEvent('message', { data: JSON.parse(json) }));
    },
  });

  if (!window.chrome) window.chrome = {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });

  // The link an activation follows (an HTML or SVG a, or an area, with an address), or null.
  function activatedLink(event) {
    for (const node of event.composedPath()) {
      if (!(node instanceof Element) || (node.localName !== 'a' && node.localName !== 'area')) continue;
      const address = node.getAttribute('href') ?? node.getAttributeNS('http://www.w3.org/1999/xlink', 'href');
      return address === null ? null : { node, address };
    }
    return null;
  }

  // Runs after the page's own handlers (it is the last listener on the way up), so a link the page
  // itself handled is left alone.
  function onActivation(event) {
    if (event.defaultPrevented || (event.type === 'click' ? event.button !== 0 : event.button !== 1)) return;
    const link = activatedLink(event);
    if (!link) return;
    let target;
    try {
      target = new URL(link.address, document.baseURI);
    } catch (e) {
      return;
    }
    const frame = (link.node.getAttribute('target') || '').toLowerCase();
    const newWindow = event.type === 'auxclick' || event.ctrlKey || event.shiftKey || event.metaKey ||
      !SAME_WINDOW_TARGETS.includes(frame);
    const here = new URL(location.href);
    // A jump within the page and a download from the page's own origin are not navigations.
    if (!newWindow && target.hash && target.href.split('#')[0] === here.href.split('#')[0]) return;
    if (link.node.hasAttribute('download') && target.origin === here.origin) return;
    event.preventDefault();
    window[LINK_BINDING](JSON.stringify({ uri: target.href, newWindow, userInitiated: event.isTrusted }));
  }
  window.addEventListener('click', onActivation);
  window.addEventListener('auxclick', onActivation);
})();
