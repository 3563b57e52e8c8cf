# The page's style sheet: these files, joined in this order, without anything between them, into its
# one style element. One concern per file; the order is the cascade's, so a rule that must win over
# another stays in a file below it. Adding a style file is one line here.
set(PAGE_STYLE_SHEETS
    styles/theme.css
    styles/top-bar.css
    styles/reading-look.css
    styles/focus.css
    styles/content.css
    styles/close-view.css
    styles/document.css
    styles/code-blocks.css
    styles/large-documents.css
    styles/about.css
    styles/print.css
)
