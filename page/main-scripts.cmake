# The page's main script: these files, joined in this order into one inline script. They are the
# page's pipeline, a folder per stage: a document is converted (convert/), made safe and inserted
# (insert/), enriched (enrich/) and shown on the reader's screen (screen/). Each script says in its
# "// Uses:" line which top-level names of the others it uses, and tests/page checks that line. A
# script's top-level code may use at load time only what the scripts above it define, so a new script
# goes above the first one that needs it at load time; functions are called only after start-up.
# viewer.js, whose start-up uses all the others, stays last. Adding a page script is one line here.
# The converter, markdown.js, comes first and is inlined verbatim; the others lose their whole-line
# comments (see cmake/AssemblePage.cmake).
set(PAGE_MAIN_SCRIPTS
    markdown.js
    # What every stage uses: the platform's own accessors, and the page's own elements and channel.
    dom-access.js
    page-elements.js
    # Convert: Markdown to HTML in either dialect, off the page's thread.
    convert/library-texts.js
    convert/conversion-worker.js
    convert/classic-pieces.js
    convert/conversion.js
    # Make safe and insert: the HTML disarmed, its links and anchors settled, moved in slice by slice.
    insert/disarming.js
    insert/anchors.js
    insert/links.js
    insert/document-styles.js
    insert/deferred-media.js
    insert/document-parts.js
    insert/leaving-content.js
    insert/document-insertion.js
    # Enrich: pictures, diagrams, code blocks and formulas.
    enrich/picture-reload.js
    enrich/diagrams.js
    enrich/code-blocks.js
    # The reader's screen: the bars, panels and dialogs around the document.
    screen/top-bar.js
    screen/themes.js
    screen/dialects.js
    screen/statistics.js
    screen/outline.js
    screen/screens.js
    screen/about.js
    screen/reading-place.js
    screen/reading-look.js
    screen/history.js
    screen/files-panel.js
    screen/encodings.js
    screen/export.js
    screen/export-menu.js
    screen/close-view.js
    # The road between the stages: how documents arrive and how one is shown.
    show-document.js
    arrivals.js
    viewer.js
)
