// Tells an enclosing page that the viewer is up and forwards console output to it: log, warn and
// error still reach the real console, and each call also becomes one record posted to the parent.
// Outside a frame the parent is this page itself, which does not listen for these records.
(function () {
  // One quotation mark at the start or the end of an argument's JSON text.
  const EDGE_QUOTE_RE = /^["']|["']$/g;
  const FORWARDED_MEMBERS = ['log', 'warn', 'error'];

  const parentWindow = window.parent;
  const realConsole = window.console;

  parentWindow.postMessage({ action: 'ready' }, '*');

  function argumentText(arg) {
    try {
      return JSON.stringify(arg).replace(EDGE_QUOTE_RE, '');
    } catch (e) {
      return arg;
    }
  }

  // Text that can always be posted, for arguments the structured clone refuses (functions,
  // DOM nodes and the like).
  function plainText(arg) {
    try {
      return String(arg);
    } catch (e) {
      return Object.prototype.toString.call(arg);
    }
  }

  function post(type, args) {
    try {
      parentWindow.postMessage({ action: 'console', type: type, args: args.map(argumentText) }, '*');
    } catch (e) {
      // Forwarding must never make a console call throw.
      try {
        parentWindow.postMessage({ action: 'console', type: type, args: args.map(plainText) }, '*');
      } catch (ignored) {
        // Nothing left to forward.
      }
    }
  }

  const wrappers = {};
  for (const member of FORWARDED_MEMBERS) {
    const real = realConsole[member];
    wrappers[member] = function () {
      const args = Array.prototype.slice.call(arguments);
      const result = real.apply(this, args);
      post(member, args);
      return result;
    };
  }

  window.console = new Proxy(realConsole, {
    get(target, key) {
      return Object.prototype.hasOwnProperty.call(wrappers, key) ? wrappers[key] : Reflect.get(target, key);
    },
  });
})();
