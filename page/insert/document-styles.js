// A document's style sheets stay inside the document. Its <style> elements (HTML and SVG) are kept,
// so that a document styled on purpose still looks as its author meant, but each one's rules are
// parsed by the browser and put back inside "@scope (#content)": a selector then matches only the
// document's own elements (the content area's descendants), never the page's bars, panels and
// dialogs. Only ":scope" reaches the content area itself, and whatever the document does to it stays
// inside the box around it, whose paint containment keeps every box of the document, fixed ones
// included, within the content area and under the page's own (see the style sheet, #contentArea).
//
// Some rules are not confined by a scope: they define names that the whole page shares. A document's
// keyframes, font faces, registered custom properties, counter styles and font palettes or feature
// values are kept only when the name they define is none that the page's own style sheets use (a
// document's font face named after the page's font would redraw the page's every text). Rules that
// act on the page as a whole (@page, @import, @namespace, and any the browser adds later) are
// dropped. A style sheet that the browser cannot parse is emptied.
//
// page/insert/disarming.js calls confineDocumentStyles while it disarms a document.
//
// Uses: nodeText, uncurryThis

const DOCUMENT_SCOPE_START = '@scope (#content) {\n';
const DOCUMENT_SCOPE_END = '\n}';
// The style elements of a fragment, in either namespace.
const DOCUMENT_STYLE_ELEMENTS = 'style';
// Quotation marks around a font family's name.
const FAMILY_QUOTES_RE = /^["']|["']$/g;
// Every name the page's own style sheets mention, lower-cased and surrounded by spaces: identifiers
// and quoted texts, split where a name cannot go on.
const PAGE_STYLE_NAME_RE = /[^\s,;:{}()"'!]+|"[^"]*"|'[^']*'/g;
// A comment in a style sheet: its words are no names, and an apostrophe in it opens no quoted text.
const STYLE_COMMENT_RE = /\/\*[^]*?\*\//g;

// The rules a scope confines (style rules and the groups that hold them); taken at start-up, before a
// document could stand in for any of them. A browser without one of them has no such rules.
const SCOPED_RULE_TYPES = ['CSSStyleRule', 'CSSNestedDeclarations', 'CSSMediaRule', 'CSSSupportsRule', 'CSSContainerRule',
  'CSSLayerBlockRule', 'CSSLayerStatementRule', 'CSSScopeRule', 'CSSStartingStyleRule']
  .map((name) => window[name]).filter((type) => typeof type === 'function');
// The rules that define names the whole page shares, each with the names it defines.
const NAMING_RULE_TYPES = [
  ['CSSKeyframesRule', (rule) => [rule.name]],
  ['CSSFontFaceRule', (rule) => [rule.style.getPropertyValue('font-family')]],
  ['CSSPropertyRule', (rule) => [rule.name]],
  ['CSSCounterStyleRule', (rule) => [rule.name]],
  ['CSSFontPaletteValuesRule', (rule) => [rule.name, ...rule.fontFamily.split(',')]],
  ['CSSFontFeatureValuesRule', (rule) => rule.fontFamily.split(',')],
].map(([name, names]) => [window[name], names]).filter(([type]) => typeof type === 'function');
const NewStyleSheet = CSSStyleSheet;
const replaceStyleSheet = uncurryThis(CSSStyleSheet.prototype.replaceSync);
const nodeSetText = uncurryThis(Object.getOwnPropertyDescriptor(Node.prototype, 'textContent').set);

// The names the page's own style sheets use, read once at start-up, before any document exists.
const pageStyleNames = new Set();
for (const style of document.querySelectorAll('style')) {
  for (const name of style.textContent.replace(STYLE_COMMENT_RE, ' ').toLowerCase().match(PAGE_STYLE_NAME_RE) || []) {
    pageStyleNames.add(name.replace(FAMILY_QUOTES_RE, ''));
  }
}

function isPageStyleName(name) {
  return pageStyleNames.has(name.trim().replace(FAMILY_QUOTES_RE, '').toLowerCase());
}

// Whether a rule of a document's style sheet may stay where it is.
function keepsStyleRule(rule) {
  if (SCOPED_RULE_TYPES.some((type) => rule instanceof type)) return true;
  const naming = NAMING_RULE_TYPES.find(([type]) => rule instanceof type);
  return naming !== undefined && !naming[1](rule).some(isPageStyleName);
}

// Drops the rules that may not stay from a list of rules (a style sheet's, or a group's), and from
// the groups and style rules within it.
function dropPageWideRules(owner) {
  for (let i = owner.cssRules.length - 1; i >= 0; i--) {
    const rule = owner.cssRules[i];
    if (!keepsStyleRule(rule)) owner.deleteRule(i);
    else if (rule.cssRules && typeof rule.deleteRule === 'function' && !(rule instanceof CSSKeyframesRule)) dropPageWideRules(rule);
  }
}

// The text of a document's style sheet confined to the document.
function confinedStyleText(text) {
  const sheet = new NewStyleSheet();
  try {
    replaceStyleSheet(sheet, text);
  } catch (e) {
    return '';
  }
  dropPageWideRules(sheet);
  const rules = [];
  for (const rule of sheet.cssRules) rules.push(rule.cssText);
  return rules.length === 0 ? '' : DOCUMENT_SCOPE_START + rules.join('\n') + DOCUMENT_SCOPE_END;
}

// Confines every style sheet of a parsed document fragment (see the top of this file).
function confineDocumentStyles(root) {
  for (const style of root.querySelectorAll(DOCUMENT_STYLE_ELEMENTS)) {
    // The sheet's own media condition stays on the element; its text is replaced whole.
    nodeSetText(style, confinedStyleText(nodeText(style)));
  }
}
