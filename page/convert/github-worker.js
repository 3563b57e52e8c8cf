// The conversion worker of the GitHub dialect, written as one module: the vendored libraries exactly
// as published (the assembly puts each file's text where its placeholder stands), the classic
// converter for the media lines, and the dialect's own files (page/convert/github-maths.js and
// page/convert/github-dialect.js, in that order, at the dialect's placeholder). The page keeps it as
// text and starts it as a worker only when a document is first shown in the GitHub dialect, followed by
// the worker's side of the conversion (page/convert/conversion-worker.js) given githubDialect; the
// tests import it.
//
// Uses: githubConverter (page/convert/github-dialect.js), parse (page/markdown.js)

// Published as browser bundles: each defines its global (markdownit, markdownitFootnote, ...).
@GH_MARKDOWN_IT@
@GH_FOOTNOTE@
@GH_TASK_LISTS@
@GH_EMOJI@

// Published as a CommonJS module only: given the module object it assigns.
const frontMatterModule = { exports: {} };
(function (module, exports) {
@GH_FRONT_MATTER@
})(frontMatterModule, frontMatterModule.exports);

// Published as ES modules only, read here at the top level of this module: the alerts plugin
// (MarkdownItGitHubAlerts) and the expression of GitHub's heading slugs (regex).
@GH_ALERTS@
@GH_SLUG_REGEX@

@GH_CLASSIC_CONVERTER@

@GH_DIALECT@

const githubDialect = githubConverter({
  markdownit: globalThis.markdownit,
  footnote: globalThis.markdownitFootnote,
  taskLists: globalThis.markdownitTaskLists,
  emoji: globalThis.markdownitEmoji,
  frontMatter: frontMatterModule.exports,
  alerts: MarkdownItGitHubAlerts,
  slugRegex: regex,
  parse,
});
export { githubDialect };
