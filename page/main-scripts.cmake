# The page's main script: these files, joined in this order into one inline script. A script may use
# what the ones above it define, so a new script goes above the first one that uses it; viewer.js,
# whose start-up uses all the others, stays last. Adding a page script is one line here.
# The converter, markdown.js, comes first and is inlined verbatim; the others lose their whole-line
# comments (see cmake/AssemblePage.cmake).
set(PAGE_MAIN_SCRIPTS
    markdown.js
    anchors.js
    links.js
    document-insertion.js
    diagrams.js
    library-texts.js
    code-blocks.js
    dom-access.js
    conversion-worker.js
    classic-pieces.js
    conversion.js
    document-styles.js
    picture-reload.js
    history.js
    files-panel.js
    encodings.js
    export.js
    reading-look.js
    close-view.js
    reading-place.js
    viewer.js
)
