#include "app/document_decoding.h"

#include "platform/charset_detector.h"
#include "platform/utf8.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace {

constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;

struct Encoding {
    std::wstring_view name; // as shown to the reader
    UINT codePage;
};

// Every encoding a reader can choose, and every one found by itself.
constexpr Encoding kEncodings[] = {
    {L"UTF-8", CP_UTF8},     {L"UTF-16 LE", kUtf16Le}, {L"UTF-16 BE", kUtf16Be}, {L"GBK", 936},
    {L"GB18030", 54936},     {L"Big5", 950},           {L"Shift_JIS", 932},      {L"EUC-JP", 20932},
    {L"EUC-KR", 949},        {L"Windows-1250", 1250},  {L"Windows-1251", 1251},  {L"Windows-1252", 1252},
    {L"Windows-1253", 1253}, {L"Windows-1254", 1254},  {L"Windows-1255", 1255},  {L"Windows-1256", 1256},
    {L"Windows-1257", 1257}, {L"Windows-1258", 1258},  {L"Windows-874", 874},    {L"KOI8-R", 20866},
    {L"KOI8-U", 21866},      {L"ISO-8859-2", 28592},   {L"ISO-8859-5", 28595},   {L"ISO-8859-7", 28597},
    {L"ISO-8859-15", 28605},
};

// The detector's names for what it finds, and the encodings they are read in. ISO-8859-1 and -9 are
// read in their Windows supersets, which also decode the bytes 0x80 to 0x9F that the ISO sets leave
// unused. GB18030 text is mostly GBK, and named so when it fits GBK.
struct DetectedName {
    std::string_view detector;
    UINT codePage;
};
constexpr DetectedName kDetectedNames[] = {
    {"GB18030", 54936},     {"Big5", 950},          {"Shift_JIS", 932},     {"EUC-JP", 20932},
    {"EUC-KR", 949},        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
    {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256},
    {"KOI8-R", 20866},      {"ISO-8859-1", 1252},   {"ISO-8859-2", 28592},  {"ISO-8859-5", 28595},
    {"ISO-8859-7", 28597},  {"ISO-8859-9", 1254},
};

// The system's code page wins unless the detector is at least this much surer of another encoding.
constexpr int kClearlyBetter = 10;
// The opening looked at for the zero bytes of UTF-16 without a mark.
constexpr size_t kZeroPatternBytes = 4096;

const Encoding* ByName(std::wstring_view name) noexcept {
    for (const Encoding& encoding : kEncodings) {
        if (encoding.name == name) {
            return &encoding;
        }
    }
    return nullptr;
}

const Encoding* ByCodePage(UINT codePage) noexcept {
    for (const Encoding& encoding : kEncodings) {
        if (encoding.codePage == codePage) {
            return &encoding;
        }
    }
    return nullptr;
}

int ByteCount(std::string_view bytes) noexcept {
    return static_cast<int>(bytes.size() < kMaxDecodableBytes ? bytes.size() : kMaxDecodableBytes);
}

// Whether every byte sequence is a character of the code page.
bool Fits(std::string_view bytes, UINT codePage) noexcept {
    if (bytes.empty()) {
        return true;
    }
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), ByteCount(bytes), nullptr, 0) >
           0;
}

// Decodes with the platform's converter, leniently (undecodable bytes become U+FFFD or the code page's
// own stand-in).
std::wstring Convert(std::string_view bytes, UINT codePage, DWORD flags = 0) {
    std::wstring text;
    if (bytes.empty()) {
        return text;
    }
    const int count = ByteCount(bytes);
    const int units = ::MultiByteToWideChar(codePage, flags, bytes.data(), count, nullptr, 0);
    if (units <= 0) {
        return text;
    }
    text.resize(static_cast<size_t>(units));
    const int written = ::MultiByteToWideChar(codePage, flags, bytes.data(), count, text.data(), units);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

// UTF-16 in either byte order; an odd last byte becomes U+FFFD.
std::wstring ConvertUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    if (bytes.size() % 2 != 0) {
        text.push_back(L'\xFFFD');
    }
    return text;
}

bool StartsWith(std::string_view bytes, std::string_view mark) noexcept {
    return bytes.substr(0, mark.size()) == mark;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

std::wstring DecodeIn(std::string_view bytes, UINT codePage) {
    switch (codePage) {
    case kUtf16Le:
        return ConvertUtf16(StartsWith(bytes, kUtf16LeMark) ? bytes.substr(2) : bytes, false);
    case kUtf16Be:
        return ConvertUtf16(StartsWith(bytes, kUtf16BeMark) ? bytes.substr(2) : bytes, true);
    default:
        return Convert(bytes, codePage);
    }
}

// UTF-16 without a mark: text with any ASCII in it has a zero byte in every other place, the high byte
// of each such character, and (almost) none in the other places. 0: not UTF-16.
UINT ZeroBytePattern(std::string_view bytes) noexcept {
    const size_t length = (bytes.size() < kZeroPatternBytes ? bytes.size() : kZeroPatternBytes) & ~size_t{1};
    size_t evenZeros = 0;
    size_t oddZeros = 0;
    for (size_t i = 0; i < length; i += 2) {
        evenZeros += bytes[i] == 0 ? 1 : 0;
        oddZeros += bytes[i + 1] == 0 ? 1 : 0;
    }
    const size_t pairs = length / 2;
    // At least a fifth of the characters are ASCII, and the other places hold a tenth as many zeros.
    if (pairs >= 2 && oddZeros * 5 >= pairs && evenZeros * 10 <= oddZeros) {
        return kUtf16Le;
    }
    if (pairs >= 2 && evenZeros * 5 >= pairs && oddZeros * 10 <= evenZeros) {
        return kUtf16Be;
    }
    return 0;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) noexcept {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

UINT DetectedCodePage(std::string_view detector) noexcept {
    for (const DetectedName& known : kDetectedNames) {
        if (SameIgnoringCase(known.detector, detector)) {
            return known.codePage;
        }
    }
    return 0;
}

// The legacy encoding of bytes that are neither UTF-8 nor UTF-16; 0: none fits (read as lenient UTF-8).
// `systemText` receives the bytes decoded strictly in the system's code page (empty when they do not fit
// it): the test of the fit is the decoding itself, which the system's code page, when it wins, then needs
// no second time.
UINT LegacyCodePage(std::string_view bytes, UINT system, std::wstring& systemText) {
    if (system != CP_UTF8 && ByCodePage(system) != nullptr) {
        systemText = Convert(bytes, system, MB_ERR_INVALID_CHARS);
    }
    const bool systemFits = !systemText.empty();
    UINT best = 0;
    int bestConfidence = 0;
    int systemConfidence = -1;
    for (const CharsetGuess& guess : GuessCharsets(bytes.data(), bytes.size())) {
        UINT codePage = DetectedCodePage(guess.name);
        if (codePage == 54936 && Fits(bytes, 936)) {
            codePage = 936;
        }
        if (codePage == system && systemConfidence < 0) {
            systemConfidence = guess.confidence;
        }
        if (best == 0 && codePage != 0 && Fits(bytes, codePage)) {
            best = codePage;
            bestConfidence = guess.confidence;
        }
    }
    if (systemFits && (best == 0 || best == system || systemConfidence + kClearlyBetter >= bestConfidence)) {
        return system;
    }
    return best;
}

DecodedDocument Decode(std::string_view bytes, std::wstring_view chosen, UINT system) {
    DecodedDocument decoded;
    if (const Encoding* encoding = chosen.empty() ? nullptr : ByName(chosen)) {
        decoded.text = DecodeIn(bytes, encoding->codePage);
        decoded.encoding = encoding->name;
        return decoded;
    }
    UINT codePage = CP_UTF8;
    if (StartsWith(bytes, kUtf16LeMark)) {
        codePage = kUtf16Le;
    } else if (StartsWith(bytes, kUtf16BeMark)) {
        codePage = kUtf16Be;
    } else if (!StartsWith(bytes, kUtf8Mark)) {
        // A valid UTF-8 file costs one strict pass more than none: the text comes from the same call.
        decoded.text = Convert(bytes, CP_UTF8, MB_ERR_INVALID_CHARS);
        if (!decoded.text.empty() || bytes.empty()) {
            decoded.encoding = L"UTF-8";
            return decoded;
        }
        codePage = ZeroBytePattern(bytes);
        if (codePage == 0) {
            std::wstring systemText;
            codePage = LegacyCodePage(bytes, system, systemText);
            if (codePage == system) {
                decoded.text = std::move(systemText);
                decoded.encoding = ByCodePage(codePage)->name;
                return decoded;
            }
        }
        if (codePage == 0) {
            codePage = CP_UTF8;
        }
    }
    decoded.text = DecodeIn(bytes, codePage);
    decoded.encoding = ByCodePage(codePage)->name;
    return decoded;
}

} // namespace

DecodedDocument DecodeDocument(std::string_view bytes, std::wstring_view chosen) noexcept {
    return DecodeDocumentOn(::GetACP(), bytes, chosen);
}

DecodedDocument DecodeDocumentOn(unsigned systemCodePage, std::string_view bytes,
                                 std::wstring_view chosen) noexcept {
    try {
        return Decode(bytes, chosen, systemCodePage);
    } catch (...) {
        DecodedDocument nothing;
        nothing.encoding = L"UTF-8";
        return nothing;
    }
}

bool IsKnownEncoding(std::wstring_view name) noexcept {
    return ByName(name) != nullptr;
}
