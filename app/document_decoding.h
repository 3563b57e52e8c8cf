// How a document's bytes become its text. A byte-order mark decides (UTF-8, UTF-16 LE or BE); without
// one, valid UTF-8 is UTF-8, delivered exactly as the bytes say; text with a zero byte in every other
// place is UTF-16; anything else is a legacy encoding: the system's own code page when the bytes fit it
// and the system's detector does not name another clearly better, the detector's choice otherwise, and
// lenient UTF-8 when neither fits. The reader may also choose the encoding.
#pragma once

#include <string>
#include <string_view>

struct DecodedDocument {
    std::wstring text;
    // The encoding's name as the page shows it: "UTF-8", "UTF-16 LE", "GBK", "Windows-1251", ...
    std::wstring encoding;
};

// Decodes `bytes` in the encoding they are found to be in, or in `chosen` (a name of KnownEncoding)
// when that is not empty. A UTF-8 mark stays at the start of the text as U+FEFF (the page drops it); a
// UTF-16 mark does not. Malformed sequences become U+FFFD, except where another encoding is found to
// fit. Never fails: without memory the text is empty.
DecodedDocument DecodeDocument(std::string_view bytes, std::wstring_view chosen = {}) noexcept;

// DecodeDocument as on a system whose ANSI code page is `systemCodePage` (DecodeDocument takes GetACP's):
// the one place where the system decides, so that tests can be a Chinese and a Western system at once.
DecodedDocument DecodeDocumentOn(unsigned systemCodePage, std::string_view bytes,
                                 std::wstring_view chosen = {}) noexcept;

// Whether `name` is one of the encodings a reader can choose (the names DecodeDocument gives).
bool IsKnownEncoding(std::wstring_view name) noexcept;
