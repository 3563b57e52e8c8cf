# Assembles the viewer page (run with cmake -P) in its two forms, from the same pieces:
# - the stand-alone page, one self-contained UTF-8 file that works on its own in a browser: it
#   carries the libraries that run only in its workers (the highlighter, the formula typesetter, the
#   GitHub dialect's converter and the character set detector) as the text of holder elements;
# - the program's page, the same without those holders: the HTML parser would pass over their half a
#   megabyte at every start-up, so the program serves each library from its own origin instead, and
#   the page fetches it the first time a block or a document needs it. The library texts are written
#   beside it for the program to embed.
#
# Inputs (-D):
#   PAGE_TEMPLATE        page/index.html, with the placeholders @PAGE_CSP@, @PAGE_STYLES@,
#                        @PAGE_LIBRARIES@, @PAGE_MAIN_SCRIPT@ and @PAGE_CONSOLE_SCRIPT@
#   PAGE_DIR             page/, whose style-sheets.cmake lists the style sheet's files in order
#                        (joined as they are) and whose main-scripts.cmake lists the main script's
#                        files in order (markdown.js, the converter, first and verbatim; the others
#                        without their whole-line comments)
#   PAGE_HIGHLIGHTER     the highlighter's files, separated by "|", joined into one text
#   PAGE_FORMULAS        the formula typesetter's file
#   PAGE_CHARSET_DETECTOR the character set detector's file
#   PAGE_GITHUB_WORKER   page/convert/github-worker.js, the GitHub dialect's worker module, with
#                        placeholders for the files below
#   PAGE_GITHUB_DIALECT  the GitHub dialect's own files (page/convert/github-*.js), separated by "|",
#                        joined into the worker module
#   PAGE_VENDOR_DIR      page/vendor, the libraries exactly as published (in the worker module)
#   PAGE_CONSOLE_SCRIPT  page/console-forward.js (the second script)
#   PAGE_OUTPUT          the stand-alone page to write
#   PAGE_PROGRAM_OUTPUT  the program's page to write
#   PAGE_LIBRARY_DIR     the folder for the library texts: highlighter.js, formulas.js,
#                        github-converter.js and charset-detector.js
#
# The page's Content-Security-Policy admits exactly its two inline scripts by their SHA-256
# hashes and the diagram library by its one URL, so anything else that tries to run as script (a
# document's own script, handler attributes, javascript: URLs, a copy of the policy's nonce) is
# refused by the browser. The holders are script elements of type text/plain and a template, which
# never run in the page; only workers made from their text run them.

cmake_minimum_required(VERSION 3.25)

foreach(input PAGE_TEMPLATE PAGE_DIR PAGE_HIGHLIGHTER PAGE_FORMULAS PAGE_CHARSET_DETECTOR PAGE_GITHUB_WORKER
        PAGE_GITHUB_DIALECT PAGE_VENDOR_DIR PAGE_CONSOLE_SCRIPT PAGE_OUTPUT PAGE_PROGRAM_OUTPUT PAGE_LIBRARY_DIR)
    if(NOT DEFINED ${input})
        message(FATAL_ERROR "AssemblePage: ${input} is not set")
    endif()
endforeach()

# Reads a piece as the HTML parser will see it: line ends normalised to LF (the parser does the
# same before a script's text is hashed, so the hash must be taken over LF text too).
function(read_page_piece path out_var)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "AssemblePage: missing page piece ${path}")
    endif()
    file(READ "${path}" text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\r" "\n" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The page's own scripts without their whole-line comments: those are notes for the page's developers,
# a third of the script's bytes, and the browser would scan them at every start-up. Only lines whose
# first non-blank characters are "//" go (none of the scripts starts such a line inside a string);
# the converter, page/markdown.js, is always inlined verbatim.
function(read_script_without_comment_lines path out_var)
    read_page_piece("${path}" text)
    string(REGEX REPLACE "^[ \t]*//[^\n]*\n" "" text "${text}")
    string(REGEX REPLACE "\n[ \t]*//[^\n]*" "" text "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# An inline script must not end its element early or switch the parser into its escaped states.
function(check_inline_script text what)
    string(TOLOWER "${text}" lower)
    foreach(forbidden "</script" "<!--")
        string(FIND "${lower}" "${forbidden}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "AssemblePage: ${what} contains \"${forbidden}\"; write \"<\\/\" in string literals")
        endif()
    endforeach()
endfunction()

# A text that stands as the content of a script element that never runs must not end the element
# early nor keep the parser from ending it: no "</script", and no "<script" followed by a space, "/"
# or ">" after a "<!--" (that pair switches the parser into its double-escaped state).
function(check_raw_script_text text what)
    string(TOLOWER "${text}" lower)
    string(FIND "${lower}" "</script" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "AssemblePage: ${what} contains \"</script\"")
    endif()
    string(FIND "${lower}" "<!--" comment_at)
    if(NOT comment_at EQUAL -1)
        string(SUBSTRING "${lower}" ${comment_at} -1 rest)
        string(REGEX MATCH "<script[ \t\n\r/>]" opening "${rest}")
        if(opening)
            message(FATAL_ERROR "AssemblePage: ${what} contains \"<!--\" followed by a script start tag")
        endif()
    endif()
endfunction()

# The text of an embedded library: its files, one after the other, separated by a line end.
function(read_library files what out_var)
    string(REPLACE "|" ";" files "${files}")
    set(text "")
    foreach(file IN LISTS files)
        read_page_piece("${file}" piece)
        if(text STREQUAL "")
            set(text "${piece}")
        else()
            string(APPEND text "\n${piece}")
        endif()
    endforeach()
    check_raw_script_text("${text}" "${what}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Base64 (RFC 4648) of the bytes given as a hexadecimal string.
function(hex_to_base64 hex out_var)
    set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
    string(LENGTH "${hex}" hex_length)
    set(result "")
    set(offset 0)
    while(offset LESS hex_length)
        math(EXPR remaining "${hex_length} - ${offset}")
        if(remaining GREATER_EQUAL 6)
            set(group_bytes 3)
            string(SUBSTRING "${hex}" ${offset} 6 group)
        else()
            math(EXPR group_bytes "${remaining} / 2")
            string(SUBSTRING "${hex}" ${offset} ${remaining} group)
            # Pad the last group with zero bytes to 24 bits.
            if(group_bytes EQUAL 1)
                string(APPEND group "0000")
            else()
                string(APPEND group "00")
            endif()
        endif()
        math(EXPR value "0x${group}")
        math(EXPR s0 "(${value} >> 18) & 63")
        math(EXPR s1 "(${value} >> 12) & 63")
        math(EXPR s2 "(${value} >> 6) & 63")
        math(EXPR s3 "${value} & 63")
        string(SUBSTRING "${alphabet}" ${s0} 1 c0)
        string(SUBSTRING "${alphabet}" ${s1} 1 c1)
        string(SUBSTRING "${alphabet}" ${s2} 1 c2)
        string(SUBSTRING "${alphabet}" ${s3} 1 c3)
        if(group_bytes EQUAL 1)
            string(APPEND result "${c0}${c1}==")
        elseif(group_bytes EQUAL 2)
            string(APPEND result "${c0}${c1}${c2}=")
        else()
            string(APPEND result "${c0}${c1}${c2}${c3}")
        endif()
        math(EXPR offset "${offset} + 6")
    endwhile()
    set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

# The CSP source expression for an inline script's text.
function(script_hash_source text out_var)
    string(SHA256 hex "${text}")
    hex_to_base64("${hex}" base64)
    set(${out_var} "'sha256-${base64}'" PARENT_SCOPE)
endfunction()

read_page_piece("${PAGE_TEMPLATE}" page)
# The style sheet: each listed file as it is, one after the other.
include("${PAGE_DIR}/style-sheets.cmake")
set(styles "")
foreach(sheet IN LISTS PAGE_STYLE_SHEETS)
    read_page_piece("${PAGE_DIR}/${sheet}" sheet_text)
    string(APPEND styles "${sheet_text}")
endforeach()
read_library("${PAGE_HIGHLIGHTER}" "the highlighter" highlighter_text)
read_library("${PAGE_FORMULAS}" "the formula typesetter" formulas_text)
read_library("${PAGE_CHARSET_DETECTOR}" "the character set detector" charset_detector_text)
read_page_piece("${PAGE_CONSOLE_SCRIPT}" console_script)

# The main script: each listed file after a line end, the converter verbatim and first.
include("${PAGE_DIR}/main-scripts.cmake")
list(GET PAGE_MAIN_SCRIPTS 0 first_script)
if(NOT first_script STREQUAL "markdown.js")
    message(FATAL_ERROR "AssemblePage: markdown.js must be the first of the main scripts")
endif()
read_page_piece("${PAGE_DIR}/markdown.js" markdown_script)
set(main_script "\n${markdown_script}")
list(SUBLIST PAGE_MAIN_SCRIPTS 1 -1 other_scripts)
foreach(script IN LISTS other_scripts)
    read_script_without_comment_lines("${PAGE_DIR}/${script}" script_text)
    string(APPEND main_script "\n${script_text}")
endforeach()

# The GitHub dialect's worker module: each placeholder line of its template replaced by a file.
read_page_piece("${PAGE_GITHUB_WORKER}" github_worker)
foreach(piece
        "@GH_MARKDOWN_IT@;markdown-it/markdown-it.min.js"
        "@GH_FOOTNOTE@;markdown-it-footnote/markdown-it-footnote.min.js"
        "@GH_TASK_LISTS@;markdown-it-task-lists/markdown-it-task-lists.min.js"
        "@GH_EMOJI@;markdown-it-emoji/markdown-it-emoji.min.js"
        "@GH_FRONT_MATTER@;markdown-it-front-matter/index.js"
        "@GH_ALERTS@;markdown-it-github-alerts/index.mjs"
        "@GH_SLUG_REGEX@;github-slugger/regex.js")
    list(GET piece 0 placeholder)
    list(GET piece 1 file)
    read_page_piece("${PAGE_VENDOR_DIR}/${file}" vendored)
    string(REPLACE "${placeholder}" "${vendored}" github_worker "${github_worker}")
endforeach()
string(REPLACE "|" ";" github_dialect_files "${PAGE_GITHUB_DIALECT}")
set(github_dialect "")
foreach(file IN LISTS github_dialect_files)
    read_page_piece("${file}" piece)
    string(APPEND github_dialect "${piece}")
endforeach()
string(REPLACE "@GH_CLASSIC_CONVERTER@" "${markdown_script}" github_worker "${github_worker}")
string(REPLACE "@GH_DIALECT@" "${github_dialect}" github_worker "${github_worker}")
file(WRITE "${PAGE_LIBRARY_DIR}/highlighter.js" "${highlighter_text}")
file(WRITE "${PAGE_LIBRARY_DIR}/formulas.js" "${formulas_text}")
file(WRITE "${PAGE_LIBRARY_DIR}/github-converter.js" "${github_worker}")
file(WRITE "${PAGE_LIBRARY_DIR}/charset-detector.js" "${charset_detector_text}")
# In the stand-alone page the converter is the text of a template element, which the HTML parser
# hands back unchanged once "&" and "<" are written as entities (it holds "</script" in places).
string(REPLACE "&" "&amp;" github_worker_html "${github_worker}")
string(REPLACE "<" "&lt;" github_worker_html "${github_worker_html}")
set(library_holders "<script type=\"text/plain\" id=\"libHighlight\">${highlighter_text}</script>
<script type=\"text/plain\" id=\"libFormulas\">${formulas_text}</script>
<script type=\"text/plain\" id=\"libCharsets\">${charset_detector_text}</script>
<template id=\"githubConverter\">${github_worker_html}</template>")

foreach(placeholder @PAGE_CSP@ @PAGE_STYLES@ @PAGE_LIBRARIES@ @PAGE_MAIN_SCRIPT@ @PAGE_CONSOLE_SCRIPT@)
    string(FIND "${page}" "${placeholder}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "AssemblePage: the template lacks ${placeholder}")
    endif()
endforeach()

# The exact texts of the two script elements; their hashes are taken over these.
set(second_script "\n${console_script}")
check_inline_script("${main_script}" "the main script")
check_inline_script("${second_script}" "the console script")
script_hash_source("${main_script}" main_hash)
script_hash_source("${second_script}" second_hash)

# Documents may show images and media from the web, data:, blob: and file URLs, and the page may
# fetch the document named by its "file" parameter and, in the program, its worker libraries from the
# program's origin ('self'); nothing else is loaded. Styles stay inline
# (the page's own and a document's); scripts are the two above and the diagram library, which the
# page loads from the program's origin when it first draws a diagram: that one URL (a path without a
# trailing slash matches that file alone), not the origin, which also serves a document's files.
set(media_sources "http: https: data: blob: file:")
set(diagram_library_url "https://tallowmere.invalid/vendor/mermaid.min.js")
string(JOIN "; " csp
    "default-src 'none'"
    "script-src ${main_hash} ${second_hash} ${diagram_library_url}"
    "style-src 'unsafe-inline'"
    # The highlighter, the formula typesetter and the GitHub dialect's converter run in workers made
    # from their text (blob: URLs the page creates); a worker made so keeps this policy.
    "worker-src blob:"
    "img-src ${media_sources}"
    "media-src ${media_sources}"
    "connect-src 'self' ${media_sources}"
    "frame-src http: https:"
    "object-src 'none'"
    "base-uri 'none'"
    "form-action 'none'")

# Replaced in this order so that no inserted text is searched for a later placeholder: the template's
# own placeholders first, then the page is cut at the libraries' and the main script's places.
string(REPLACE "@PAGE_CSP@" "${csp}" page "${page}")
string(REPLACE "@PAGE_STYLES@" "${styles}" page "${page}")
string(FIND "${page}" "@PAGE_LIBRARIES@" libraries_at)
string(FIND "${page}" "@PAGE_MAIN_SCRIPT@" main_at)
if(main_at LESS libraries_at)
    message(FATAL_ERROR "AssemblePage: @PAGE_LIBRARIES@ must come before @PAGE_MAIN_SCRIPT@")
endif()
string(LENGTH "@PAGE_LIBRARIES@" libraries_placeholder_length)
string(LENGTH "@PAGE_MAIN_SCRIPT@" main_placeholder_length)
math(EXPR after_libraries_at "${libraries_at} + ${libraries_placeholder_length}")
math(EXPR between_length "${main_at} - ${after_libraries_at}")
math(EXPR after_main_at "${main_at} + ${main_placeholder_length}")
string(SUBSTRING "${page}" 0 ${libraries_at} before_libraries)
string(SUBSTRING "${page}" ${after_libraries_at} ${between_length} before_main)
string(SUBSTRING "${page}" ${after_main_at} -1 after_main)
string(REPLACE "@PAGE_CONSOLE_SCRIPT@" "${second_script}" after_main "${after_main}")
set(program_page "${before_libraries}${before_main}${main_script}${after_main}")
set(page "${before_libraries}${library_holders}${before_main}${main_script}${after_main}")

# The host writes the support image into the first empty data-src attribute of the page; that has
# to be the one on the qrData element.
string(FIND "${page}" "data-src=\"\"" first_empty_src)
string(FIND "${page}" "id=\"qrData\" data-src=\"\"" qr_data_at)
if(first_empty_src EQUAL -1 OR qr_data_at EQUAL -1)
    message(FATAL_ERROR "AssemblePage: the qrData element with its empty data-src is missing")
endif()
math(EXPR qr_src_at "${qr_data_at} + 12")
if(NOT first_empty_src EQUAL qr_src_at)
    message(FATAL_ERROR "AssemblePage: an empty data-src comes before the qrData element's")
endif()

file(WRITE "${PAGE_OUTPUT}" "${page}")
file(WRITE "${PAGE_PROGRAM_OUTPUT}" "${program_page}")
