#include "app/document_decoding.h"
#include "app/document_text.h"

#include "platform/charset_detector.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kChinese = 936;
constexpr unsigned kWestern = 1252;

struct DecodingCase {
    const char* what;
    unsigned system;
    std::string bytes;
    const wchar_t* chosen;
    std::wstring text;
    const wchar_t* encoding;
};

class DocumentDecoding : public ::testing::TestWithParam<DecodingCase> {};

TEST_P(DocumentDecoding, GivesTheTextAndNamesTheEncoding) {
    const DecodingCase& c = GetParam();
    const DecodedDocument decoded = DecodeDocumentOn(c.system, c.bytes, c.chosen);
    EXPECT_EQ(decoded.text, c.text) << c.what;
    EXPECT_EQ(decoded.encoding, c.encoding) << c.what;
}

// "中文" in GBK, and "#" with "中" in UTF-16 of either order.
const std::string kGbk = "\xD6\xD0\xCE\xC4";
INSTANTIATE_TEST_SUITE_P(
    Table, DocumentDecoding,
    ::testing::Values(
        DecodingCase{"valid UTF-8, a zero byte and all, is taken as it is", kChinese,
                     std::string("a\0\xE4\xB8\xAD", 5), L"", std::wstring(L"a\0\x4E2D", 3), L"UTF-8"},
        DecodingCase{"empty", kChinese, "", L"", L"", L"UTF-8"},
        DecodingCase{"a UTF-8 mark stays in the text", kWestern, "\xEF\xBB\xBF# T", L"", L"\xFEFF# T",
                     L"UTF-8"},
        DecodingCase{"a UTF-8 mark decides over bytes that do not fit", kChinese, "\xEF\xBB\xBFx\xFF", L"",
                     L"\xFEFFx\xFFFD", L"UTF-8"},
        DecodingCase{"a UTF-16 LE mark is not kept", kChinese, std::string("\xFF\xFE#\0-N", 6), L"",
                     L"#\x4E2D", L"UTF-16 LE"},
        DecodingCase{"a UTF-16 BE mark is not kept", kChinese, std::string("\xFE\xFF\0#N-", 6), L"",
                     L"#\x4E2D", L"UTF-16 BE"},
        DecodingCase{"an odd last byte of UTF-16", kChinese, std::string("\xFF\xFE#\0x", 5), L"", L"#\xFFFD",
                     L"UTF-16 LE"},
        DecodingCase{"UTF-16 LE without a mark, by its zero bytes", kWestern,
                     std::string("#\0 \0-N\x87"
                                 "e\n\0",
                                 10),
                     L"", L"# \x4E2D\x6587\n", L"UTF-16 LE"},
        DecodingCase{"UTF-16 BE without a mark", kWestern, std::string("\0#\0 N-e\x87\0\n", 10), L"",
                     L"# \x4E2D\x6587\n", L"UTF-16 BE"},
        DecodingCase{"GBK on a Chinese system", kChinese, "# " + kGbk, L"", L"# \x4E2D\x6587", L"GBK"},
        DecodingCase{"the reader's choice wins", kChinese, "# " + kGbk, L"Windows-1252",
                     L"# \xD6\xD0\xCE\xC4", L"Windows-1252"},
        DecodingCase{"a chosen UTF-8 reads leniently", kChinese, "a\xFF", L"UTF-8", L"a\xFFFD", L"UTF-8"},
        DecodingCase{"a chosen UTF-16 drops its own mark only", kChinese, std::string("\xFF\xFEx\0", 4),
                     L"UTF-16 LE", L"x", L"UTF-16 LE"},
        DecodingCase{"an unknown choice is no choice", kChinese, "# " + kGbk, L"EBCDIC", L"# \x4E2D\x6587",
                     L"GBK"}));

TEST(DocumentDecoding, WithoutADetectorBytesThatFitNoSystemCodePageAreLenientUtf8) {
    if (HasCharsetDetector()) {
        GTEST_SKIP() << "this system has a character set detector";
    }
    // A lone lead byte fits neither UTF-8 nor GBK.
    const DecodedDocument decoded = DecodeDocumentOn(kChinese, "ab\x81");
    EXPECT_EQ(decoded.text, L"ab\xFFFD");
    EXPECT_EQ(decoded.encoding, L"UTF-8");
    EXPECT_EQ(DecodeDocumentOn(kWestern, kGbk).encoding, L"Windows-1252")
        << "the system's own code page first";
}

std::string ReadFile(const std::wstring& path) {
    return ReadDocumentBytes(path).bytes;
}

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct CorpusFile {
    std::string name;
    std::wstring encoding;
    bool whole;
};

// The corpus (tests/corpus/encodings): nine documents in fourteen encodings, whole and as openings of
// about 400 bytes. A whole file is right when its text is its source's (sources/, in UTF-8), an opening
// when its text is found in its source.
TEST(DocumentDecoding, Corpus) {
    const std::wstring folder = TALLOWMERE_ENCODINGS_CORPUS;
    std::istringstream manifest(ReadFile(folder + L"\\manifest.tsv"));
    std::vector<CorpusFile> files;
    for (std::string line; std::getline(manifest, line);) {
        const size_t tab = line.find('\t');
        const size_t kind = line.find('\t', tab + 1);
        files.push_back({line.substr(0, tab), Widen(line.substr(tab + 1, kind - tab - 1)),
                         line.substr(kind + 1) == "whole"});
    }
    ASSERT_GT(files.size(), 30u);
    for (const unsigned system : {kChinese, kWestern}) {
        int legacy[2] = {};
        int right[2] = {};
        for (const CorpusFile& file : files) {
            const std::string bytes = ReadFile(folder + L"\\" + Widen(file.name));
            ASSERT_FALSE(bytes.empty()) << file.name;
            const DecodedDocument decoded = DecodeDocumentOn(system, bytes);
            const std::string source =
                ReadFile(folder + L"\\sources\\" + Widen(file.name.substr(0, file.name.find('.'))) + L".md");
            const std::wstring expected = DecodeDocumentOn(system, source).text;
            // A UTF-8 mark stays in the program's text (the page drops it).
            const std::wstring text = decoded.text.substr(decoded.text.starts_with(L'\xFEFF') ? 1 : 0);
            const bool isRight =
                !text.empty() && (file.whole ? text == expected : expected.find(text) != std::wstring::npos);
            const bool unicode = file.encoding.starts_with(L"UTF-");
            if (unicode) {
                EXPECT_TRUE(isRight) << file.name << " on " << system;
                EXPECT_EQ(decoded.encoding, file.encoding) << file.name;
                if (file.encoding == L"UTF-8") {
                    EXPECT_EQ(decoded.text.size(),
                              ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                    nullptr, 0))
                        << "valid UTF-8 is unchanged";
                }
                continue;
            }
            ++legacy[file.whole];
            right[file.whole] += isRight ? 1 : 0;
            // Without a detector, only the system's own code page can be right, and it is.
            const bool systemOwn =
                system == kChinese ? file.encoding.starts_with(L"GB") : file.encoding == L"Windows-1252";
            if (!HasCharsetDetector() && systemOwn) {
                EXPECT_TRUE(isRight) << file.name << " on " << system;
            }
        }
        if (HasCharsetDetector()) {
            EXPECT_GE(right[1] * 100, legacy[1] * 95) << "whole legacy files right on " << system;
            EXPECT_GE(right[0] * 100, legacy[0] * 85) << "openings right on " << system;
        }
        std::printf("system %u: %d of %d whole legacy files right, %d of %d openings (detector: %s)\n",
                    system, right[1], legacy[1], right[0], legacy[0], HasCharsetDetector() ? "yes" : "none");
    }
}

} // namespace
