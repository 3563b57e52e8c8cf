// window.chrome.webview as the browser control offers it to the top-level page, played in Chromium by
// the development runtime (added before any page script runs; never part of the page itself):
// - postMessage(value) sends the value's JSON text to the program;
// - the program's messages arrive as "message" events whose data is the parsed object.
// The driver reaches this bridge through two names on window: the binding it exposes for page -> host
// traffic, and the deliver function below for host -> page traffic.
(() => {
  if (window !== window.top) return;
  const HOST_POST_BINDING = '__tallowmereDevRuntimePost';
  const DELIVER_FUNCTION = '__tallowmereDevRuntimeDeliver';

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
})();
