// The pieces of the page's own origin that need no runtime: which file an address beside the
// document names, which bytes a Range header asks for, what a link or a download may do, and the hand-written
// interface identifiers these rest on.
#include "support/temp_folder.h"
#include "platform/browser_abi.h"
#include "webhost/serving/byte_range.h"
#include "webhost/serving/content_type.h"
#include "webhost/serving/document_root.h"
#include "webhost/serving/document_url.h"
#include "webhost/serving/file_range_stream.h"
#include "webhost/downloads/download_policy.h"
#include "webhost/serving/folder_listing.h"
#include "webhost/links/link_policy.h"
#include "webhost/serving/reparse_points.h"
#include "webhost/downloads/save_copy.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kDocument[] = L"C:\\notes\\daily\\today.md";

TEST(DocumentUrl, NamesFilesBesideTheDocumentAndNothingElse) {
    const std::wstring base = L"https://tallowmere.invalid/doc/7/";
    const struct {
        std::wstring address;
        std::optional<std::wstring> file;
    } cases[] = {
        {base + L"0/img/shot.png", L"C:\\notes\\daily\\img\\shot.png"},
        {base + L"0/shot.png?v=2#frag", L"C:\\notes\\daily\\shot.png"},
        {base + L"1/shared/a%20b%E6%96%87.png", L"C:\\notes\\shared\\a b\u6587.png"},
        {base + L"2/top.md", L"C:\\top.md"},
        {base + L"9999/top.md", L"C:\\top.md"}, // climbing stops at the drive root
        {base + L"0/%2e%2e/x.png", std::nullopt},
        {base + L"0/./x.png", std::nullopt},
        {base + L"0/img/", std::nullopt},
        {base + L"0/img//x.png", std::nullopt},
        {base + L"0/a%2Fb.png", std::nullopt},
        {base + L"0/a%5Cb.png", std::nullopt},
        {base + L"0/notes.md:secret", std::nullopt},
        {base + L"0/notes.md%3A%24DATA", std::nullopt},
        {base + L"0/NUL", std::nullopt},
        {base + L"0/com1.txt", std::nullopt},
        {base + L"0/Lpt%C2%B9.log", std::nullopt},
        {base + L"0/con%20.md", std::nullopt},
        {base + L"0/shot.png.", std::nullopt},
        {base + L"0/*.png", std::nullopt},
        {base + L"0/%FF.png", std::nullopt},
        {base + L"0/%4.png", std::nullopt},
        {base + L"0/a%00b.png", std::nullopt},
        {base + L"x/x.png", std::nullopt},
        {base + L"0", std::nullopt},
        {L"https://tallowmere.invalid/doc/0/x.png", std::nullopt},
        {L"https://tallowmere.invalid/x.png", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentFileForUrl(c.address, kDocument), c.file)
            << std::string(c.address.begin(), c.address.end());
    }
    EXPECT_EQ(DocumentFileForUrl(base + L"0/x.png", L""), std::nullopt) << "no document, no folder";
    // Other roots stop a climb as the drive root does.
    EXPECT_EQ(DocumentFileForUrl(base + L"5/x.png", L"\\\\server\\share\\docs\\a.md"),
              L"\\\\server\\share\\x.png");
    EXPECT_EQ(DocumentFileForUrl(base + L"5/x.png", L"\\\\?\\D:\\deep\\a.md"), L"\\\\?\\D:\\x.png");
    EXPECT_EQ(DocumentFileForUrl(base + L"0/x.png", L"E:\\a.md"), L"E:\\x.png");
    // Opened at any length.
    EXPECT_EQ(ExtendedLengthForm(L"C:\\a\\b.png"), L"\\\\?\\C:\\a\\b.png");
    EXPECT_EQ(ExtendedLengthForm(L"\\\\srv\\share\\b.png"), L"\\\\?\\UNC\\srv\\share\\b.png");
    EXPECT_EQ(ExtendedLengthForm(L"\\\\?\\D:\\b.png"), L"\\\\?\\D:\\b.png");
}

TEST(DocumentRoot, IsTheNearestRepositoryAboveTheDocumentOrElseItsOwnFolder) {
    // A temporary folder lies in no repository.
    TempFolder folder;
    folder.MakeFolder(L"plain");
    folder.MakeFolder(L"repo");
    folder.MakeFolder(L"repo\\.git");
    folder.MakeFolder(L"repo\\a");
    folder.MakeFolder(L"repo\\a\\b");
    folder.MakeFolder(L"repo\\module");
    folder.WriteFile(L"repo\\module\\.git", "gitdir: ../.git/modules/module"); // a submodule's work tree
    const struct {
        std::wstring document;
        std::wstring root;
    } cases[] = {
        {folder / L"plain\\doc.md", folder / L"plain"},
        {folder / L"repo\\doc.md", folder / L"repo"},
        {folder / L"repo\\a\\b\\doc.md", folder / L"repo"},
        {folder / L"repo\\module\\doc.md", folder / L"repo\\module"},
        {L"relative.md", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentRootFolder(c.document), c.root)
            << std::string(c.document.begin(), c.document.end());
    }

    const struct {
        std::wstring path;
        std::wstring folder;
        bool inside;
    } places[] = {
        {L"C:\\a\\b.png", L"C:\\a", true},     {L"c:\\A\\B\\c.png", L"C:\\a", true},
        {L"C:\\ab\\c.png", L"C:\\a", false},   {L"C:\\a", L"C:\\a", false},
        {L"C:\\x.png", L"C:\\", true},         {L"D:\\a\\b.png", L"C:\\a", false},
        {L"\\\\?\\C:\\a\\b", L"C:\\a", false}, {L"C:\\a\\b", L"", false},
    };
    for (const auto& c : places) {
        EXPECT_EQ(IsInsideFolder(c.path, c.folder), c.inside) << std::string(c.path.begin(), c.path.end());
    }
}

// A reparse point's data as the file system hands it out (tag, data length, the substitute name's
// offset and length, the print name's, a symbolic link's flags, then the names).
std::vector<unsigned char> ReparseData(ULONG tag, std::wstring_view name, ULONG flags = 0) {
    const bool link = tag == 0xA000000C;
    const USHORT nameBytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    const USHORT fields[] = {0, nameBytes, nameBytes, 0};
    std::vector<unsigned char> data(8 + sizeof(fields) + (link ? 4 : 0));
    std::memcpy(data.data(), &tag, 4);
    std::memcpy(data.data() + 8, fields, sizeof(fields));
    if (link) {
        std::memcpy(data.data() + 16, &flags, 4);
    }
    const size_t at = data.size();
    data.resize(at + nameBytes);
    std::memcpy(data.data() + at, name.data(), nameBytes);
    const USHORT length = static_cast<USHORT>(data.size() - 8);
    std::memcpy(data.data() + 4, &length, 2);
    return data;
}

TEST(ReparsePoints, LinksAreFollowedOnTheirOwnVolumeOnly) {
    constexpr ULONG kLink = 0xA000000C;
    constexpr ULONG kJunction = 0xA0000003;
    const struct {
        std::vector<unsigned char> data;
        std::wstring link;
        std::wstring destination; // empty: not followed at all
        bool sameVolume;          // as the root C:\repo
    } cases[] = {
        {ReparseData(kLink, L"\\??\\C:\\repo\\img\\x.png"), L"C:\\repo\\pic.png", L"C:\\repo\\img\\x.png",
         true},
        {ReparseData(kLink, L"..\\shared\\.\\x.png", 1), L"C:\\repo\\notes\\pic.png",
         L"C:\\repo\\shared\\x.png", true},
        {ReparseData(kLink, L"\\other\\x.png", 1), L"C:\\repo\\pic.png", L"C:\\other\\x.png", true},
        {ReparseData(kLink, L"\\??\\UNC\\server\\share\\x.png"), L"C:\\repo\\pic.png",
         L"\\\\server\\share\\x.png", false},
        {ReparseData(kJunction, L"\\??\\D:\\elsewhere\\"), L"C:\\repo\\j", L"D:\\elsewhere", false},
        {ReparseData(kJunction, L"\\??\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\"), L"C:\\repo\\j", L"",
         false},
        {ReparseData(kLink, L"\\Device\\HarddiskVolume2\\x"), L"C:\\repo\\pic.png", L"", false},
        {ReparseData(0x9000001A, L"cloud"), L"C:\\repo\\pic.png", L"", false}, // a file kept in the cloud
    };
    for (const auto& c : cases) {
        const std::optional<LinkTarget> target = ParseLinkData(c.data.data(), c.data.size());
        const std::wstring destination = target ? LinkDestination(c.link, *target) : std::wstring();
        EXPECT_EQ(destination, c.destination) << std::string(c.link.begin(), c.link.end());
        EXPECT_EQ(!destination.empty() && OnSameVolume(destination, L"\\\\?\\C:\\repo"), c.sameVolume)
            << std::string(destination.begin(), destination.end());
    }
    const std::vector<unsigned char> cut = ReparseData(kLink, L"\\??\\C:\\x");
    EXPECT_EQ(ParseLinkData(cut.data(), cut.size() - 2), std::nullopt) << "data shorter than it says";
    EXPECT_TRUE(OnSameVolume(L"\\\\?\\UNC\\srv\\share\\a", L"\\\\SRV\\Share\\b"));
    EXPECT_FALSE(OnSameVolume(L"\\\\srv\\share\\a", L"\\\\srv\\other\\a"));
}

TEST(SaveCopy, ReplacesTheDestinationOnlyWithAWholeCopyAndLeavesNoPartialFile) {
    TempFolder folder;
    const std::wstring kept = folder.WriteFile(L"kept.txt", "the user's own");
    const UniqueFile source(::CreateFileW(folder.WriteFile(L"source.txt", "the copy").c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(source.valid());
    const auto content = [&](const std::wstring& path) {
        char bytes[64] = {};
        DWORD got = 0;
        const UniqueFile file(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ::ReadFile(file.get(), bytes, sizeof(bytes), &got, nullptr);
        return file ? std::string(bytes, got) : std::string("(none)");
    };
    const auto files = [&] {
        WIN32_FIND_DATAW found{};
        std::vector<std::wstring> names;
        const HANDLE search = ::FindFirstFileW((folder / L"*").c_str(), &found);
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.push_back(found.cFileName);
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    };
    std::atomic<bool> cancelled{true};
    EXPECT_EQ(SaveCopy(source.get(), kept, true, cancelled), HRESULT_FROM_WIN32(ERROR_CANCELLED));
    cancelled = false;
    EXPECT_TRUE(FAILED(SaveCopy(source.get(), kept, false, cancelled))) << "not to be replaced";
    EXPECT_EQ(content(kept), "the user's own");
    EXPECT_EQ(files(), (std::vector<std::wstring>{L"kept.txt", L"source.txt"})) << "no partial file is left";
    EXPECT_EQ(SaveCopy(source.get(), kept, true, cancelled), S_OK);
    EXPECT_EQ(SaveCopy(source.get(), folder / L"new.txt", false, cancelled), S_OK);
    EXPECT_EQ(content(kept), "the copy");
    EXPECT_EQ(content(folder / L"new.txt"), "the copy");
    EXPECT_EQ(files(), (std::vector<std::wstring>{L"kept.txt", L"new.txt", L"source.txt"}));
}

TEST(FileRangeStream, IsFreeThreadedAndRefusesASeekPastAnyPosition) {
    TempFolder folder;
    UniqueFile file(::CreateFileW(folder.WriteFile(L"ten.bin", "0123456789").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.valid());
    Microsoft::WRL::ComPtr<IStream> stream;
    ASSERT_EQ(CreateFileRangeStream(std::move(file), 2, 5, stream.GetAddressOf()), S_OK);
    Microsoft::WRL::ComPtr<IMarshal> marshal;
    Microsoft::WRL::ComPtr<IAgileObject> agile;
    EXPECT_EQ(stream.As(&marshal), S_OK) << "aggregates the free-threaded marshaler";
    EXPECT_EQ(stream.As(&agile), S_OK);

    LARGE_INTEGER move{};
    move.QuadPart = 3;
    ULARGE_INTEGER at{};
    ASSERT_EQ(stream->Seek(move, STREAM_SEEK_SET, &at), S_OK);
    move.QuadPart = INT64_MAX;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_CUR, &at), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(at.QuadPart, 3u) << "a refused seek leaves the position";
    char bytes[8] = {};
    ULONG got = 0;
    EXPECT_EQ(stream->Read(bytes, sizeof(bytes), &got), S_FALSE);
    EXPECT_EQ(std::string(bytes, got), "56");
}

TEST(ByteRange, HonoursOneRangeClampedToTheFileAndTheLimitsOfAPartAndOfAWhole) {
    const struct {
        const wchar_t* header;
        uint64_t size;
        RangeAnswer answer;
        uint64_t first;
        uint64_t length;
    } cases[] = {
        {L"", 100, RangeAnswer::Whole, 0, 0},
        {L"bytes=0-", 100, RangeAnswer::Partial, 0, 64}, // bounded chunk
        {L"bytes=10-19", 100, RangeAnswer::Partial, 10, 10},
        {L" Bytes = 90 - 200 ", 100, RangeAnswer::Partial, 90, 10},
        {L"bytes=-30", 100, RangeAnswer::Partial, 70, 30},
        {L"bytes=-300", 100, RangeAnswer::Partial, 0, 64},
        {L"bytes=99-99", 100, RangeAnswer::Partial, 99, 1},
        {L"bytes=100-", 100, RangeAnswer::Unsatisfiable, 0, 0},
        {L"bytes=-0", 100, RangeAnswer::Unsatisfiable, 0, 0},
        {L"bytes=0-", 0, RangeAnswer::Unsatisfiable, 0, 0},
        {L"bytes=20-10", 100, RangeAnswer::Whole, 0, 0},
        {L"bytes=0-1,5-6", 100, RangeAnswer::Whole, 0, 0},
        {L"items=0-1", 100, RangeAnswer::Whole, 0, 0},
        {L"bytes=x-1", 100, RangeAnswer::Whole, 0, 0},
        {L"bytes=99999999999999999999-", 100, RangeAnswer::Whole, 0, 0},
        // Whole only up to the limit of a whole answer; past it, the first part.
        {L"", 256, RangeAnswer::Whole, 0, 0},
        {L"", 257, RangeAnswer::Partial, 0, 64},
        {L"bytes=0-1,5-6", 1000, RangeAnswer::Partial, 0, 64},
    };
    for (const auto& c : cases) {
        const ByteRangeChoice choice = ChooseByteRange(c.header, c.size, 64, 256);
        EXPECT_EQ(choice.answer, c.answer) << std::wstring(c.header).size() << " " << c.size;
        if (c.answer == RangeAnswer::Partial) {
            EXPECT_EQ(choice.first, c.first);
            EXPECT_EQ(choice.length, c.length);
        }
    }
}

TEST(ContentType, ComesFromTheExtensionOnly) {
    EXPECT_EQ(ContentTypeForPath(L"C:\\a\\Shot.PNG"), L"image/png");
    EXPECT_EQ(ContentTypeForPath(L"C:\\a\\demo.mp4"), L"video/mp4");
    EXPECT_EQ(ContentTypeForPath(L"C:\\a\\notes.md"), L"text/markdown; charset=utf-8");
    EXPECT_EQ(ContentTypeForPath(L"C:\\a.d\\README"), L"application/octet-stream");
    EXPECT_EQ(ContentTypeForPath(L"C:\\a\\archive.tar.gz"), L"application/octet-stream");
}

TEST(LinkPolicy, OpensWebAndMailOutsideDocumentsInsideAndRefusesTheRest) {
    // Decided by the link's text alone: nothing here is on disk.
    const ServedDocument shown{L"C:\\notes\\daily\\index.md", 3};
    const std::wstring base = L"https://tallowmere.invalid/doc/3/";
    const struct {
        std::wstring uri;
        bool userInitiated;
        LinkAction action;
        std::wstring target;
        std::wstring fragment = {};
    } cases[] = {
        {L"https://example.org/a?b=1#c", true, LinkAction::OpenExternally, L"https://example.org/a?b=1#c"},
        {L"HTTP://example.org/", true, LinkAction::OpenExternally, L"HTTP://example.org/"},
        {L"mailto:a@example.org?subject=Hi there \"x\" \u00e9", true, LinkAction::OpenExternally,
         L"mailto:a@example.org?subject=Hi%20there%20%22x%22%20%C3%A9"},
        {L"MAILTO:a@example.org?ATTACH=C:\\x&Subject=s&body=b&to=c@example.org&cc=d&bcc=e&attachment=f&=g#h",
         true, LinkAction::OpenExternally, L"MAILTO:a@example.org?Subject=s&body=b&cc=d&bcc=e"},
        {L"mailto:a@example.org?attach=C:\\x", true, LinkAction::OpenExternally, L"mailto:a@example.org"},
        {L"https://example.org/", false, LinkAction::Refuse, L""},
        {base + L"0/other.md#part", true, LinkAction::OpenInViewer, L"C:\\notes\\daily\\other.md", L"part"},
        {base + L"1/guide/%E4%BB%A3.mdown#%E4%BB%A3%E7%90%86", true, LinkAction::OpenInViewer,
         L"C:\\notes\\guide\\\u4ee3.mdown", L"%E4%BB%A3%E7%90%86"},
        {base + L"0/notes.TXT", true, LinkAction::OpenInViewer, L"C:\\notes\\daily\\notes.TXT"},
        // Leaving the root is the reader's choice (see link_policy.h); the drive's root stops a climb.
        {base + L"9999/top.md", true, LinkAction::OpenInViewer, L"C:\\top.md"},
        {base + L"0/other.md", false, LinkAction::Refuse, L""},
        // Only the shown delivery's addresses: an old one would climb from another document's folder.
        {L"https://tallowmere.invalid/doc/2/0/other.md", true, LinkAction::Refuse, L""},
        {L"https://tallowmere.invalid/doc/0/9999/top.md", true, LinkAction::Refuse, L""},
        {base + L"0/run.bat", true, LinkAction::Refuse, L""},
        {base + L"0/a%2Fb.md", true, LinkAction::Refuse, L""},
        {L"https://tallowmere.invalid/", true, LinkAction::Refuse, L""},
        {L"https://TALLOWMERE.invalid/doc/3/0/other.md", true, LinkAction::Refuse, L""},
        {L"file:///C:/Windows/system32/calc.exe", true, LinkAction::Refuse, L""},
        {L"javascript:alert(1)", true, LinkAction::Refuse, L""},
        {L"data:text/html,<b>x</b>", true, LinkAction::Refuse, L""},
        {L"ms-settings:", true, LinkAction::Refuse, L""},
        {L"mocha:x", true, LinkAction::Refuse, L""},
        {L"C:\\Windows\\notepad.exe", true, LinkAction::Refuse, L""},
        {L"https://example.org/" + std::wstring(kMaxExternalAddress, L'a'), true, LinkAction::Refuse, L""},
    };
    for (const auto& c : cases) {
        const LinkDecision decision = DecideLink(c.uri, c.userInitiated, shown);
        EXPECT_EQ(decision.action, c.action) << std::string(c.uri.begin(), c.uri.end());
        EXPECT_EQ(decision.target, c.target) << std::string(c.uri.begin(), c.uri.end());
        EXPECT_EQ(decision.fragment, c.fragment) << std::string(c.uri.begin(), c.uri.end());
    }
    EXPECT_EQ(DecideLink(base + L"0/other.md", true, ServedDocument{}).action, LinkAction::Refuse)
        << "nothing is beside no document";
}

TEST(LinkPolicy, ALinkedDocumentIsJudgedOnAnOpenHandle) {
    TempFolder folder;
    const struct {
        std::wstring path;
        HRESULT expected;
    } cases[] = {
        {folder.WriteFile(L"other.md", "# y"), S_OK},
        {folder / L"missing.md", S_FALSE},
        {folder.MakeFolder(L"sub.md"), S_FALSE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckLinkedDocument(c.path), c.expected) << std::string(c.path.begin(), c.path.end());
    }
}

TEST(DownloadPolicy, SavesFilesBesideTheDocumentUnderTheirOwnExtensionOpensAskedForWebAddressesOnly) {
    const std::wstring base = L"https://tallowmere.invalid/doc/2/0/";
    const std::wstring downloads = L"C:\\Users\\r\\Downloads\\";
    const struct {
        std::wstring uri;
        std::wstring suggested; // the file name the runtime would save under
        bool userInitiated;
        DownloadAction action;
        std::wstring saveName;
    } cases[] = {
        {base + L"notes.txt", L"invoice.exe", false, DownloadAction::SaveDocumentFile, L"invoice.txt"},
        {base + L"notes.txt", L"report.pdf.exe", true, DownloadAction::SaveDocumentFile, L"report.pdf.txt"},
        {base + L"notes.txt", L"notes.txt", true, DownloadAction::SaveDocumentFile, L"notes.txt"},
        {base + L"archive.TAR.GZ", L"archive", true, DownloadAction::SaveDocumentFile, L"archive.GZ"},
        {base + L"Makefile", L"run.bat", true, DownloadAction::SaveDocumentFile, L"run"},
        // Nothing usable left of the suggestion: the file's own name.
        {base + L"notes.txt", L".exe", true, DownloadAction::SaveDocumentFile, L"notes.txt"},
        {base + L"notes.txt", L"", true, DownloadAction::SaveDocumentFile, L"notes.txt"},
        {base + L"notes.txt", L"CON.exe", true, DownloadAction::SaveDocumentFile, L"notes.txt"},
        {base + L"notes.txt", L"a:b.exe", true, DownloadAction::SaveDocumentFile, L"notes.txt"},
        {base + L"notes.txt", L"end..", true, DownloadAction::SaveDocumentFile, L"end..txt"},
        {base + L"a%2Fb.txt", L"x.txt", true, DownloadAction::Refuse, L""},
        {L"https://tallowmere.invalid/doc/2/0/", L"x.txt", true, DownloadAction::Refuse, L""},
        {L"https://tallowmere.invalid/", L"index.html", true, DownloadAction::Refuse, L""},
        {L"https://example.org/setup.exe", L"setup.exe", true, DownloadAction::OpenExternally, L""},
        {L"https://example.org/setup.exe", L"setup.exe", false, DownloadAction::Refuse, L""},
        {L"data:text/plain,x", L"x.exe", true, DownloadAction::Refuse, L""},
        {L"blob:https://tallowmere.invalid/1f", L"x.exe", true, DownloadAction::Refuse, L""},
        {L"mailto:a@example.org", L"x.eml", true, DownloadAction::Refuse, L""},
        {L"file:///C:/x.txt", L"x.txt", true, DownloadAction::Refuse, L""},
    };
    for (const auto& c : cases) {
        const DownloadDecision decision =
            DecideDownload(c.uri, downloads + c.suggested, c.userInitiated, kDocument);
        EXPECT_EQ(decision.action, c.action) << std::string(c.uri.begin(), c.uri.end());
        EXPECT_EQ(decision.saveName, c.saveName) << std::string(c.suggested.begin(), c.suggested.end());
    }
    // Without a current document nothing beside one exists.
    EXPECT_EQ(DecideDownload(base + L"notes.txt", L"notes.txt", true, L"").action, DownloadAction::Refuse);
}

TEST(FolderListing, ListsOneFolderOfTheRootSkippingHiddenToolsAndOtherFiles) {
    TempFolder folder;
    for (const wchar_t* made : {L"repo", L"repo\\.git", L"repo\\docs", L"repo\\docs\\api", L"repo\\.github",
                                L"repo\\node_modules", L"repo\\secret", L"repo\\big"}) {
        folder.MakeFolder(made);
    }
    for (const wchar_t* written : {L"repo\\README.md", L"repo\\notes.TXT", L"repo\\logo.png",
                                   L"repo\\.env.md", L"repo\\docs\\install.md", L"repo\\docs\\a.mkd",
                                   L"repo\\docs\\b.mdown", L"repo\\docs\\c.markdown"}) {
        folder.WriteFile(written, "x");
    }
    ::SetFileAttributesW((folder / L"repo\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // The cap is 2,000 entries; the same rule is tried with 3, so that the test makes few files.
    constexpr size_t kCap = 3;
    for (size_t i = 0; i <= kCap; ++i) {
        folder.WriteFile(L"repo\\big\\" + std::to_wstring(i) + L".md", "");
    }
    const ServedDocument shown{folder / L"repo\\docs\\install.md", 5};
    const std::wstring base = L"https://tallowmere.invalid/files/5/";
    std::wstring json;
    ASSERT_EQ(ListDocumentFolder(base, shown, json), S_OK);
    // The platform lists a folder in its own order, and the page sorts; the order is taken as it came.
    for (const wchar_t* expected :
         {L"{\"name\":\"docs\",\"folder\":true}", L"{\"name\":\"big\",\"folder\":true}",
          L"{\"name\":\"README.md\"}", L"{\"name\":\"notes.TXT\"}"}) {
        EXPECT_NE(json.find(expected), std::wstring::npos) << std::wstring(expected).size();
    }
    for (const wchar_t* left : {L".git", L".github", L"node_modules", L"secret", L"logo.png", L".env.md"}) {
        EXPECT_EQ(json.find(std::wstring(L"\"") + left + L"\""), std::wstring::npos)
            << std::wstring(left).size();
    }
    const auto startsWith = [&](const std::wstring& head) { return json.substr(0, head.size()) == head; };
    const auto endsWith = [&](const std::wstring& tail) {
        return json.size() >= tail.size() && json.substr(json.size() - tail.size()) == tail;
    };
    EXPECT_TRUE(startsWith(L"{\"folder\":\"\",\"document\":\"docs/install.md\",\"entries\":["))
        << json.size();
    EXPECT_TRUE(endsWith(L"],\"more\":false}"));

    ASSERT_EQ(ListDocumentFolder(base + L"docs", shown, json), S_OK);
    EXPECT_TRUE(startsWith(L"{\"folder\":\"docs\","));
    for (const wchar_t* expected : {L"{\"name\":\"api\",\"folder\":true}", L"\"a.mkd\"", L"\"b.mdown\"",
                                    L"\"c.markdown\"", L"\"install.md\""}) {
        EXPECT_NE(json.find(expected), std::wstring::npos) << std::wstring(expected).size();
    }
    const auto listed = [&] {
        size_t count = 0;
        for (size_t at = json.find(L"\"name\""); at != std::wstring::npos;
             at = json.find(L"\"name\"", at + 1)) {
            ++count;
        }
        return count;
    };
    ASSERT_EQ(ListDocumentFolder(base + L"big", shown, json, kCap), S_OK);
    EXPECT_TRUE(endsWith(L"],\"more\":true}")) << "stops at the cap, saying so";
    EXPECT_EQ(listed(), kCap);
    ASSERT_EQ(ListDocumentFolder(base + L"big", shown, json, kCap + 1), S_OK);
    EXPECT_TRUE(endsWith(L"],\"more\":false}"));
    EXPECT_EQ(listed(), kCap + 1);

    // Not found: another delivery's number, a folder the listing leaves out, one that is not there or
    // not a folder, a climb, and no document.
    for (const std::wstring& refused :
         {std::wstring(L"https://tallowmere.invalid/files/4/"), base + L".git", base + L"node_modules",
          base + L"docs/", base + L"docs//api", base + L"missing", base + L"README.md", base + L"..",
          base + L"%2e%2e", base + L"docs?x", std::wstring(L"https://tallowmere.invalid/files/5")}) {
        EXPECT_EQ(ListDocumentFolder(refused, shown, json), S_FALSE)
            << std::string(refused.begin(), refused.end());
    }
    EXPECT_EQ(ListDocumentFolder(base, ServedDocument{}, json), S_FALSE);
}

TEST(BrowserAbi, HandWrittenIdentifiersMatchTheirText) {
    const struct {
        const IID& iid;
        const wchar_t* text;
    } cases[] = {
        {IID_ICoreWebView2NavigationStartingEventArgs, L"{5B495469-E119-438A-9B18-7604F25F2E49}"},
        {IID_ICoreWebView2NavigationStartingEventHandler, L"{9ADBE429-F36D-432B-9DDC-F8881FBD76E3}"},
        {IID_ICoreWebView2NewWindowRequestedEventArgs, L"{34ACB11C-FC37-4418-9132-F9C21D1EAFB9}"},
        {IID_ICoreWebView2NewWindowRequestedEventHandler, L"{D4C185FE-C81C-4989-97AF-2D3FA7AB5651}"},
        {IID_ICoreWebView2Deferral, L"{C10E7F7B-B585-46F0-A623-8BEFBF3E4EE0}"},
        {IID_ICoreWebView2WebResourceRequestedEventHandler, L"{AB00B74C-15F1-4646-80E8-E76341D25D71}"},
        {IID_ICoreWebView2WebResourceRequestedEventArgs, L"{453E667F-12C7-49D4-BE6D-DDBE7956F57A}"},
        {IID_ICoreWebView2WebResourceRequest, L"{97055CD4-512C-4264-8B5F-E3F446CEA6A5}"},
        {IID_ICoreWebView2WebResourceResponse, L"{AAFCC94F-FA27-48FD-97DF-830EF75AAEC9}"},
        {IID_ICoreWebView2HttpRequestHeaders, L"{E86CAC0E-5523-465C-B536-8FB9FC8C8C60}"},
        {IID_ICoreWebView2HttpResponseHeaders, L"{03C5FF5A-9B45-4A88-881C-89A9F328619C}"},
        {IID_ICoreWebView2_2, L"{9E8F0CF8-E670-4B5E-B2BC-73E061E3184C}"},
        {IID_ICoreWebView2_3, L"{A0D6DF20-3B92-416D-AA0C-437A9C727857}"},
        {IID_ICoreWebView2_4, L"{20D02D59-6DF2-42DC-BD06-F98A694B1302}"},
        {IID_ICoreWebView2_11, L"{0BE78E56-C193-4051-B943-23B460C08BDB}"},
        {IID_ICoreWebView2DownloadStartingEventHandler, L"{EFEDC989-C396-41CA-83F7-07F845A55724}"},
        {IID_ICoreWebView2DownloadStartingEventArgs, L"{E99BBE21-43E9-4544-A732-282764EAFA60}"},
        {IID_ICoreWebView2DownloadOperation, L"{3D6B6CF2-AFE1-44C7-A995-C65117714336}"},
        {IID_ICoreWebView2ContextMenuRequestedEventHandler, L"{04D3FE1D-AB87-42FB-A898-DA241D35B63C}"},
        {IID_ICoreWebView2ContextMenuRequestedEventArgs, L"{A1D309EE-C03F-11EB-8529-0242AC130003}"},
        {IID_ICoreWebView2ContextMenuItemCollection, L"{F562A2F5-C415-45CF-B909-D4B7C1E276D3}"},
        {IID_ICoreWebView2ContextMenuItem, L"{7AED49E3-A93F-497A-811C-749C6B6B6C65}"},
        {IID_ICoreWebView2NavigationStartingEventArgs2, L"{9086BE93-91AA-472D-A7E0-579F2BA006AD}"},
        {IID_ICoreWebView2NavigationStartingEventArgs3, L"{DDFFE494-4942-4BD2-AB73-35B8FF40E19F}"},
    };
    for (const auto& c : cases) {
        IID parsed{};
        ASSERT_EQ(::IIDFromString(c.text, &parsed), S_OK);
        EXPECT_TRUE(IsEqualIID(parsed, c.iid)) << std::wstring(c.text).size();
    }
}

} // namespace
