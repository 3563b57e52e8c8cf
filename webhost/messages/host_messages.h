// The host's side of the message channel with the page: composing the messages the host sends and
// recognising those the page sends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the page puts the reader in a document it is given. Both empty: at the top.
struct DocumentLanding {
    // The place the page reported when the reader left the document (its own text, opaque to the host).
    std::wstring place;
    // A link's fragment as written in its address (percent-encoded): the heading or anchor it names.
    std::wstring fragment;
};

// {"action":"openFile","name":"<name>","content":"<text>","generation":<n>} with both texts escaped, no
// white space. `generation` numbers the delivery (see page_message_actions.h). A landing adds "place" or
// "fragment" (strings) after the generation; `missing` adds "missing":true (the file is not there: the
// page says so instead of showing an empty document); a `path` adds "path", the document's full path, by
// which the page remembers the reader's place in it; last, `encoding` adds "encoding" (a string: the name
// of the encoding the file was read in) when it is not empty.
std::wstring ComposeOpenFileMessage(std::wstring_view name, std::wstring_view content, uint32_t generation,
                                    const DocumentLanding& landing = {}, bool missing = false,
                                    std::wstring_view path = {}, std::wstring_view encoding = {});

// {"action":"history","back":"<name>","forward":"<name>"}: the names of the documents Back and Forward
// would show, empty where there is none.
std::wstring ComposeHistoryMessage(std::wstring_view back, std::wstring_view forward);

// {"action":"showOwn","own":<n>,"name":"<name>","place":"<place>"}: the page shows again the document it
// read itself under the number `own`, at `place`.
std::wstring ComposeShowOwnMessage(uint32_t own, std::wstring_view name, std::wstring_view place);

enum class PageMessage {
    Ready,
    CloseDoc,
    Back,        // {"action":"back"}: the reader asks for the document before
    Forward,     // {"action":"forward"}
    Place,       // {"action":"place","generation":n or "own":n,"place":"..."}: where the reader left it
    OwnDocument, // {"action":"ownDocument","own":n,"name":"..."}: the page shows a file it read itself
    OpenListed,  // {"action":"openListed","address":"..."}: the reader chose a document in the panel
    ExportHtml,  // {"action":"exportHtml","name":"...","html":"..."}: see export_messages.h
    ExportPdf,   // {"action":"exportPdf","name":"..."}
    PaperSet,    // {"action":"paperSet"}: the page took the paper size; a PDF waiting for it is printed
    Encoding,    // {"action":"encoding","generation":n,"encoding":"GBK"}: read the document again in it
    Other,
};

// The actions added with the history are recognised by the message's own "action" member. The first
// two, as ever, by substring: the quoted word may stand anywhere in the JSON text, and "ready" is tested
// first, so a text holding both words is Ready.
PageMessage ClassifyPageMessage(std::wstring_view json);

// The delivery that a "closeDoc" message names, {"action":"closeDoc","generation":<n>}: the decimal
// number after the first "generation": in its text; 0 (no delivery) when there is none or it does not
// fit 32 bits.
uint32_t ClosedDeliveryNumber(std::wstring_view json) noexcept;
