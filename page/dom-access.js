// The platform's own getters and methods for reading and changing a document's nodes.
//
// A document's HTML is untrusted, and HTML can replace the properties of its own elements: in a
// form, every named control (and every named picture) stands in for the form's property of that
// name, so that <input name="attributes"> replaces form.attributes and
// <img name="getBoundingClientRect"> the method. The page therefore never reads a property of a
// node that may come from a document, and never calls one of its methods, through the node itself:
// it calls the getters and methods taken here from the prototypes at start-up, before any document
// exists. (The page's own elements, holders and parts are not documents' and are used directly.)
//
// Every stage reads and changes a document's nodes through these.
//
// Uses: nothing

// uncurryThis(f)(target, ...args) calls f with target as this, whatever target holds.
const uncurryThis = Function.prototype.bind.bind(Function.prototype.call);
const ownGetter = (proto, name) => uncurryThis(Object.getOwnPropertyDescriptor(proto, name).get);
const ownMethod = (proto, name) => uncurryThis(Object.getOwnPropertyDescriptor(proto, name).value);

const nodeType = ownGetter(Node.prototype, 'nodeType');
const nodeText = ownGetter(Node.prototype, 'textContent');
const nodeIsConnected = ownGetter(Node.prototype, 'isConnected');
const nodeParent = ownGetter(Node.prototype, 'parentNode');
const nodeFirstChild = ownGetter(Node.prototype, 'firstChild');
const nodeOwnerDocument = ownGetter(Node.prototype, 'ownerDocument');

const elementLocalName = ownGetter(Element.prototype, 'localName');
const elementNamespace = ownGetter(Element.prototype, 'namespaceURI');
const elementClassName = ownGetter(Element.prototype, 'className');
const elementId = ownGetter(Element.prototype, 'id');
const elementAttributes = ownGetter(Element.prototype, 'attributes');
const elementChildren = ownGetter(Element.prototype, 'children');
const elementHasAttributes = ownMethod(Element.prototype, 'hasAttributes');
const elementGetAttributeNames = ownMethod(Element.prototype, 'getAttributeNames');
const elementGetAttribute = ownMethod(Element.prototype, 'getAttribute');
const elementSetAttribute = ownMethod(Element.prototype, 'setAttribute');
const elementRemoveAttribute = ownMethod(Element.prototype, 'removeAttribute');
const elementRemoveAttributeNode = ownMethod(Element.prototype, 'removeAttributeNode');
const elementMatches = ownMethod(Element.prototype, 'matches');
const elementRect = ownMethod(Element.prototype, 'getBoundingClientRect');
const elementCheckVisibility = ownMethod(Element.prototype, 'checkVisibility');
const elementBefore = ownMethod(Element.prototype, 'before');
const elementReplaceWith = ownMethod(Element.prototype, 'replaceWith');
const elementRemove = ownMethod(Element.prototype, 'remove');

const templateContent = ownGetter(HTMLTemplateElement.prototype, 'content');
