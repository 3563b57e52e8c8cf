// The real tallowmere.exe, started under the test runtime: document delivery, the page's messages,
// sizing, and every start-up failure the user can meet.
#include "runtime_log_reader.h"
#include "runtime_registration.h"
#include "url_handler_registration.h"
#include "test_runtime/runtime_protocol.h"
#include "viewer_process.h"
#include "window_probe.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <bcrypt.h>
#include <shlobj.h>
#include <wincrypt.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using test_runtime::EscapeField;

const std::wstring kRuntimeFolder = TALLOWMERE_E2E_RUNTIME_FOLDER;
const std::wstring kRegisteredFolder = TALLOWMERE_E2E_REGISTERED_FOLDER;
const std::wstring kWorkFolder = TALLOWMERE_E2E_WORK_FOLDER;
const std::wstring kStagedPage = TALLOWMERE_E2E_STAGED_PAGE;
const std::wstring kStagedImage = TALLOWMERE_E2E_STAGED_IMAGE;
const std::wstring kStagedResources = TALLOWMERE_E2E_STAGED_RESOURCES;
const std::wstring kUrlRecorder = TALLOWMERE_E2E_URL_RECORDER;
const std::wstring kPageUrl = L"https://tallowmere.invalid/";

constexpr DWORD kExitTimeout = 30000;
constexpr DWORD kDialogTimeout = 20000;
constexpr wchar_t kMainWindowClass[] = L"TallowmereWnd";
constexpr wchar_t kDialogClass[] = L"#32770";
const std::wstring kCaption = L"Tallowmere \u9519\u8BEF";
const std::wstring kMessage = L"WebView2 \u73AF\u5883\u521B\u5EFA\u5931\u8D25\u3002\n"
                              L"\u8BF7\u786E\u8BA4\u5DF2\u5B89\u88C5 Edge WebView2 \u8FD0\u884C\u65F6\u3002";

enum class Road { FixedFolder, Installed, None };

struct RunOptions {
    std::wstring commandLineTail;
    std::vector<std::string> script;
    std::wstring mode;
    Road road = Road::FixedFolder;
    std::map<std::wstring, std::wstring> environment; // more variables for the program
};

RunOptions Options(std::wstring commandLineTail, std::vector<std::string> script) {
    RunOptions options;
    options.commandLineTail = std::move(commandLineTail);
    options.script = std::move(script);
    return options;
}

struct RunResult {
    bool exited = false;
    DWORD exitCode = 0;
    RuntimeLog log;
};

// One script line: the step and its arguments, each escaped into the line format.
std::string Step(const std::string& command, std::initializer_list<std::wstring> arguments = {}) {
    std::string line = command;
    for (const std::wstring& argument : arguments) {
        line += ' ' + EscapeField(argument);
    }
    return line;
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring DecodeUtf8(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int units =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
    return text;
}

// Base64 by the platform's own encoder, independent of the program's.
std::wstring PlatformBase64(const std::string& bytes) {
    DWORD length = 0;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (!::CryptBinaryToStringW(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &length)) {
        return L"(no platform encoder)";
    }
    std::wstring text(length, L'\0');
    ::CryptBinaryToStringW(data, static_cast<DWORD>(bytes.size()), flags, text.data(), &length);
    text.resize(length);
    return text;
}

// The embedded page with the embedded image written into its first empty data-src attribute.
std::wstring ExpectedPageText() {
    std::wstring page = DecodeUtf8(ReadBytes(kStagedPage));
    const std::wstring empty = L"data-src=\"\"";
    const size_t at = page.find(empty);
    if (at != std::wstring::npos) {
        page.replace(at, empty.size(),
                     L"data-src=\"data:image/jpeg;base64," + PlatformBase64(ReadBytes(kStagedImage)) + L"\"");
    }
    return page;
}

std::string EncodeUtf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// SHA-256 in lower-case hexadecimal, as the test runtime logs a response body.
std::wstring Sha256Hex(const std::string& bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(bytes.size()), 0);
    ::BCryptFinishHash(hash, digest, sizeof(digest), 0);
    ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    std::wstring hex;
    for (const unsigned char byte : digest) {
        hex.push_back(L"0123456789abcdef"[byte >> 4]);
        hex.push_back(L"0123456789abcdef"[byte & 0xF]);
    }
    return hex;
}

// A response as logged: status, reason, headers, body length, digest, body (short ones only).
struct LoggedResponse {
    std::wstring status;
    std::wstring headers;
    std::wstring length;
    std::wstring digest;
    std::string body;
};

std::vector<LoggedResponse> Responses(const RuntimeLog& log) {
    std::vector<LoggedResponse> responses;
    for (const LogEntry& entry : log.All("response")) {
        LoggedResponse response{
            entry.fields.at(0), entry.fields.at(2), entry.fields.at(3), entry.fields.at(4), {}};
        for (const wchar_t unit : entry.fields.at(5)) {
            response.body.push_back(static_cast<char>(unit));
        }
        responses.push_back(response);
    }
    return responses;
}

bool HasHeader(const LoggedResponse& response, const std::wstring& line) {
    return (L"\r\n" + response.headers + L"\r\n").find(L"\r\n" + line + L"\r\n") != std::wstring::npos;
}

std::wstring ExpectedUserDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\Tallowmere\\WebView2";
}

// An openFile message for a name and a content that need no escaping, of the program's `generation`th
// document opened; `extra` holds the members after the number (where to land), as written; the file was
// read in `encoding`.
std::wstring OpenFileJson(const std::wstring& name, const std::wstring& content, int generation = 1,
                          const std::wstring& extra = L"", const std::wstring& encoding = L"UTF-8") {
    return L"{\"action\":\"openFile\",\"name\":\"" + name + L"\",\"content\":\"" + content +
           L"\",\"generation\":" + std::to_wstring(generation) + extra + L",\"encoding\":\"" + encoding +
           L"\"}";
}

// A history message: the names Back and Forward would show.
std::wstring HistoryJson(const std::wstring& back, const std::wstring& forward) {
    return L"{\"action\":\"history\",\"back\":\"" + back + L"\",\"forward\":\"" + forward + L"\"}";
}

// A path as a JSON string holds it: each backslash doubled.
std::wstring JsonEscapedPath(const std::wstring& path) {
    std::wstring escaped;
    for (const wchar_t c : path) {
        escaped.append(c == L'\\' ? L"\\\\" : std::wstring(1, c));
    }
    return escaped;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

// An openFile message carries the document's full path (before its encoding), which
// CommandLineDocumentArrivesOnceAfterReadyExactlyAsWritten checks; the others are compared without it.
std::wstring WithoutPath(const std::wstring& text) {
    constexpr std::wstring_view kPath = L",\"path\":\"";
    const size_t at = text.rfind(kPath);
    if (text.rfind(L"{\"action\":\"openFile\"", 0) != 0 || at == std::wstring::npos) {
        return text;
    }
    // A full path holds no double quote: the next one closes it.
    const size_t end = text.find(L'"', at + kPath.size());
    return end == std::wstring::npos ? text : text.substr(0, at) + text.substr(end + 1);
}

std::vector<std::wstring> FirstFields(const std::vector<LogEntry>& entries) {
    std::vector<std::wstring> texts;
    for (const LogEntry& entry : entries) {
        texts.push_back(entry.fields.empty() ? std::wstring() : WithoutPath(entry.fields[0]));
    }
    return texts;
}

// The openFile messages the host posted, in order (its history messages left out).
std::vector<std::wstring> OpenFilePosts(const RuntimeLog& log) {
    std::vector<std::wstring> posts;
    for (const std::wstring& post : FirstFields(log.All("post"))) {
        if (post.rfind(L"{\"action\":\"openFile\"", 0) == 0) {
            posts.push_back(post);
        }
    }
    return posts;
}

size_t FirstPosition(const RuntimeLog& log, const std::string& tag) {
    const std::vector<size_t> positions = log.Positions(tag);
    return positions.empty() ? std::string::npos : positions.front();
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_'); // a parameterised test's name
        folder_ = kWorkFolder + L"\\" + std::wstring(name.begin(), name.end());
        std::error_code ignored;
        fs::remove_all(fs::path(folder_), ignored);
        fs::create_directories(fs::path(folder_));
        logPath_ = folder_ + L"\\runtime.log";
        // Appended to: one left over from an earlier run (in a folder too deep to remove) must go.
        ::DeleteFileW(logPath_.c_str());
    }

    std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }

    std::wstring WriteDocument(const std::wstring& name, const std::string& bytes) const {
        const std::wstring path = Path(name);
        std::ofstream(fs::path(path), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::unique_ptr<ViewerProcess> Start(const RunOptions& options) const {
        std::map<std::wstring, std::wstring> environment = options.environment;
        environment[test_runtime::kLogVariable] = logPath_;
        if (!options.script.empty()) {
            const std::wstring scriptPath = Path(L"page.script");
            std::ofstream script(fs::path(scriptPath), std::ios::binary);
            for (const std::string& line : options.script) {
                script << line << '\n';
            }
            environment[test_runtime::kScriptVariable] = scriptPath;
        }
        if (!options.mode.empty()) {
            environment[test_runtime::kModeVariable] = options.mode;
        }
        if (options.road == Road::FixedFolder) {
            environment[L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER"] = kRuntimeFolder;
        }
        auto process = std::make_unique<ViewerProcess>(options.commandLineTail, environment, folder_);
        EXPECT_TRUE(process->started()) << "tallowmere.exe did not start, error " << process->startError();
        return process;
    }

    RunResult Finish(ViewerProcess& process) const {
        RunResult result;
        result.exited = process.WaitForExit(kExitTimeout, result.exitCode);
        result.log = RuntimeLog::Read(logPath_);
        return result;
    }

    RunResult Run(const RunOptions& options) const {
        const auto process = Start(options);
        return Finish(*process);
    }

    // The environment-failure box must come once, with its exact caption and text, owned by the main
    // window; after OK the window stays and closes normally.
    void ExpectEnvironmentFailureBoxThenClose(ViewerProcess& process) const {
        const HWND dialog = WaitForTopLevelWindow(process.id(), kDialogClass, kDialogTimeout);
        ASSERT_NE(dialog, nullptr) << "no message box appeared";
        const HWND mainWindow = WaitForTopLevelWindow(process.id(), kMainWindowClass, kDialogTimeout);
        ASSERT_NE(mainWindow, nullptr);
        const MessageBoxView box = ReadMessageBox(dialog);
        EXPECT_EQ(box.caption, kCaption);
        EXPECT_EQ(box.text, kMessage);
        EXPECT_EQ(box.owner, mainWindow);
        EXPECT_TRUE(box.hasIcon);
        EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
        ASSERT_TRUE(DismissMessageBox(dialog, kDialogTimeout));

        ::Sleep(500);
        EXPECT_TRUE(TopLevelWindows(process.id(), kDialogClass).empty()) << "a second message box appeared";
        EXPECT_TRUE(::IsWindow(mainWindow) && ::IsWindowVisible(mainWindow))
            << "the main window did not stay";
        EXPECT_EQ(WindowText(mainWindow), L"Tallowmere");
        ::PostMessageW(mainWindow, WM_CLOSE, 0, 0);
    }

    std::wstring folder_;
    std::wstring logPath_;
};

// --- a document on the command line -----------------------------------------------------------------

TEST_F(EndToEnd, CommandLineDocumentArrivesOnceAfterReadyExactlyAsWritten) {
    // BOM, CR LF, tab, NUL, quote, backslash, a lone 0xFF and Chinese text, under a non-ASCII name with
    // a space.
    const std::string bytes = std::string("\xEF\xBB\xBF# Title\r\nTab\there\r\nNul ") + '\0' +
                              "end\r\nQuote \" back \\ slash\r\nLone \xFF byte\r\n\xE4\xB8\xAD\xE6\x96\x87\n";
    const std::wstring document = WriteDocument(L"\u6587\u6863 notes.md", bytes);
    const RunResult run = Run(Options(Quoted(document), {Step("await", {L"navigation"}), Step("ready"),
                                                         Step("await", {L"post", L"1"}), Step("ready"),
                                                         Step("wait", {L"50"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    const std::wstring expected =
        L"{\"action\":\"openFile\",\"name\":\"\u6587\u6863 notes.md\",\"content\":\""
        L"\uFEFF# Title\\r\\nTab\\there\\r\\nNul \\u0000end\\r\\n"
        L"Quote \\\" back \\\\ slash\\r\\nLone \uFFFD byte\\r\\n\u4E2D\u6587\\n\",\"generation\":1,"
        L"\"path\":\"" +
        JsonEscapedPath(document) + L"\",\"encoding\":\"UTF-8\"}";
    ASSERT_EQ(log.Count("post"), 1u) << log.Describe();
    EXPECT_EQ(log.All("post")[0].fields.at(0), expected);

    // After the first ready, before the second: the second delivers nothing.
    const std::vector<size_t> pagePosts = log.Positions("page-post");
    ASSERT_EQ(pagePosts.size(), 2u) << log.Describe();
    EXPECT_GT(FirstPosition(log, "post"), pagePosts[0]);
    EXPECT_LT(FirstPosition(log, "post"), pagePosts[1]);

    // Closing released both of the host's references while the window was still being destroyed, not
    // at process exit.
    for (const wchar_t* object : {L"controller", L"webview"}) {
        const size_t destroyed = log.Find("destroyed", object);
        ASSERT_NE(destroyed, std::string::npos) << log.Describe();
        EXPECT_EQ(log.entries()[destroyed].fields.at(1), L"1") << object;
    }
}

TEST_F(EndToEnd, StartUpSizesTheControlHidesTheStatusBarAndServesThePreparedPageOnItsOwnOrigin) {
    // The libraries the page loads from the program's origin, each staged under the same name.
    const std::vector<std::wstring> libraries = {L"mermaid.min.js", L"highlighter.js", L"formulas.js",
                                                 L"github-converter.js", L"charset-detector.js"};
    const std::wstring vendor = L"https://tallowmere.invalid/vendor/";
    std::vector<std::string> steps = {Step("await", {L"navigation"}), Step("ready")};
    for (const std::wstring& name : libraries) {
        steps.push_back(Step("request", {vendor + name}));
    }
    steps.push_back(Step("request", {vendor + L"mermaid.min.js?x"}));
    steps.push_back(Step("request", {vendor + L"highlighter.js", L"", L"POST"}));
    steps.push_back(Step("wait", {L"50"}));
    steps.push_back(Step("close"));
    const RunResult run = Run(Options(L"", steps));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    const std::vector<LogEntry> created = log.All("create-environment");
    ASSERT_EQ(created.size(), 1u) << log.Describe();
    EXPECT_EQ(created[0].fields.at(1), L"1") << "runtime kind of a fixed folder";
    EXPECT_EQ(created[0].fields.at(2), ExpectedUserDataFolder());
    EXPECT_EQ(created[0].fields.at(3), L"0") << "no environment options";
    EXPECT_EQ(FirstFields(log.All("create-controller")), std::vector<std::wstring>{kMainWindowClass});

    // Bounds before the page loads, equal to the client area (and again on any later WM_SIZE that a
    // window manager may cause).
    const std::vector<LogEntry> bounds = log.All("bounds");
    ASSERT_GE(bounds.size(), 1u) << log.Describe();
    for (const LogEntry& entry : bounds) {
        const std::vector<std::wstring>& rect = entry.fields;
        ASSERT_EQ(rect.size(), 8u);
        EXPECT_EQ(std::vector<std::wstring>(rect.begin(), rect.begin() + 4),
                  std::vector<std::wstring>(rect.begin() + 4, rect.end()));
        EXPECT_NE(rect[2], L"0");
        EXPECT_NE(rect[3], L"0");
    }

    // The status bar switched off through a settings object released before navigating.
    EXPECT_EQ(FirstFields(log.All("status-bar")), std::vector<std::wstring>{L"0"});
    const size_t navigate = FirstPosition(log, "navigate");
    ASSERT_NE(navigate, std::string::npos) << log.Describe();
    EXPECT_LT(FirstPosition(log, "bounds"), navigate);
    EXPECT_LT(log.Find("destroyed", L"settings"), navigate);
    EXPECT_EQ(log.Count("subscribe"), 1u);

    // The filter and every handler of the origin are in place before the navigation, which they let
    // through; the page is then answered byte for byte, as UTF-8 HTML.
    EXPECT_EQ(FirstFields(log.All("navigate")), std::vector<std::wstring>{kPageUrl});
    EXPECT_EQ(log.Count("navigate-string"), 0u);
    for (const char* tag :
         {"filter", "subscribe-resources", "subscribe-navigation-starting", "subscribe-new-window"}) {
        EXPECT_LT(FirstPosition(log, tag), navigate) << tag;
    }
    EXPECT_EQ(FirstFields(log.All("filter")), std::vector<std::wstring>{L"https://tallowmere.invalid/*"});
    EXPECT_EQ(FirstFields(log.All("navigation-starting")), std::vector<std::wstring>{kPageUrl});
    EXPECT_EQ(FirstFields(log.All("navigation-cancel")), std::vector<std::wstring>{L"0"});
    const std::vector<LoggedResponse> responses = Responses(log);
    ASSERT_EQ(responses.size(), libraries.size() + 3) << log.Describe();
    const std::string expectedPage = EncodeUtf8(ExpectedPageText());
    EXPECT_EQ(responses[0].status, L"200");
    EXPECT_TRUE(HasHeader(responses[0], L"Content-Type: text/html; charset=utf-8")) << responses[0].headers;
    EXPECT_EQ(responses[0].length, std::to_wstring(expectedPage.size()));
    EXPECT_EQ(responses[0].digest, Sha256Hex(expectedPage));
    EXPECT_EQ(log.Count("stream-leaked"), 0u) << log.Describe();

    // Each library, from the program's own resources byte for byte, at its exact address only.
    for (size_t i = 0; i < libraries.size(); ++i) {
        const LoggedResponse& response = responses[1 + i];
        const std::string expected = ReadBytes(kStagedResources + L"/" + libraries[i]);
        ASSERT_FALSE(expected.empty()) << libraries[i];
        EXPECT_EQ(response.status, L"200") << libraries[i];
        EXPECT_TRUE(HasHeader(response, L"Content-Type: text/javascript; charset=utf-8")) << response.headers;
        EXPECT_TRUE(HasHeader(response, L"X-Content-Type-Options: nosniff")) << response.headers;
        EXPECT_EQ(response.length, std::to_wstring(expected.size())) << libraries[i];
        EXPECT_EQ(response.digest, Sha256Hex(expected)) << libraries[i];
    }
    EXPECT_EQ(responses[libraries.size() + 1].status, L"404");
    EXPECT_EQ(responses[libraries.size() + 2].status, L"405");

    // Without a document nothing is posted, however ready the page is.
    EXPECT_EQ(log.Count("post"), 0u) << log.Describe();
}

// --- the document's folder ------------------------------------------------------------------------------

enum class LinkKind { File, Junction };

bool IsWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// A symbolic link to a file, or a junction to a folder, at `link`. Windows makes them with mklink (a
// file link needs the right to make links, or developer mode). Wine's CreateSymbolicLinkW reports
// success without making anything, and Wine has no junctions: there a Unix symbolic link made by
// /bin/ln stands in for both, which Wine follows as Windows follows a link and whose target it gives as
// the final path. False when neither could be made.
bool MakeLink(const std::wstring& link, const std::wstring& target, LinkKind kind) {
    std::wstring command;
    if (IsWine()) {
        const auto unixPath = [](std::wstring path) {
            std::replace(path.begin(), path.end(), L'\\', L'/');
            return path.substr(2); // Z: is the Unix root
        };
        command = L"Z:\\bin\\ln -s \"" + unixPath(target) + L"\" \"" + unixPath(link) + L"\"";
    } else {
        command = L"cmd /c mklink " + std::wstring(kind == LinkKind::Junction ? L"/J " : L"") + Quoted(link) +
                  L" " + Quoted(target) + L" >nul";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(IsWine() ? L"Z:\\bin\\ln" : nullptr, command.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(EndToEnd, TheShownDocumentsRootIsServedReadOnlyOffTheWindowsThreadUntilItIsClosed) {
    // The document lies in a subfolder of a repository, which is its root; beside the repository lie
    // files that links and junctions inside it lead to.
    for (const wchar_t* folder : {L"repo\\.git", L"repo\\notes\\img", L"repo\\shared", L"elsewhere"}) {
        fs::create_directories(fs::path(Path(folder)));
    }
    const std::wstring document = WriteDocument(L"repo\\notes\\today.md", "![](img/picture.png)");
    const std::string picture = std::string("\x89PNG\r\n\x1A\n", 8) + std::string(92, '\xFE');
    WriteDocument(L"repo\\notes\\img\\picture.png", picture);
    std::string clip;
    for (int i = 0; i < 100; ++i) {
        clip.push_back(static_cast<char>(i));
    }
    WriteDocument(L"repo\\notes\\clip.mp4", clip);
    // A "picture" far larger than any: 65 MiB, all but its end unwritten.
    constexpr LONGLONG kHugeBytes = 65ll << 20;
    {
        const UniqueFile huge(::CreateFileW(WriteDocument(L"repo\\notes\\huge.png", "").c_str(),
                                            GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = kHugeBytes;
        ASSERT_TRUE(::SetFilePointerEx(huge.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(huge.get()));
    }
    WriteDocument(L"repo\\shared\\top.txt", "above");
    WriteDocument(L"outside.txt", "outside");
    WriteDocument(L"elsewhere\\far.txt", "far");
    const bool linked =
        MakeLink(Path(L"repo\\notes\\linked.txt"), Path(L"outside.txt"), LinkKind::File) &&
        MakeLink(Path(L"repo\\notes\\inner.txt"), Path(L"repo\\shared\\top.txt"), LinkKind::File);
    const bool joined = MakeLink(Path(L"repo\\notes\\joined"), Path(L"elsewhere"), LinkKind::Junction);
    const std::wstring base = L"https://tallowmere.invalid/doc/1/";
    struct Case {
        std::wstring uri;
        std::wstring range;
        std::wstring method;
        std::wstring status;
        std::string body;
        std::vector<std::wstring> headers;
        bool made = true; // false: a link the system could not make, so the row is not checked
    };
    const Case cases[] = {
        {base + L"0/img/picture.png",
         L"",
         L"GET",
         L"200",
         picture,
         {L"Content-Type: image/png", L"Content-Length: 100"}},
        {base + L"0/clip.mp4",
         L"bytes=90-",
         L"GET",
         L"206",
         clip.substr(90),
         {L"Content-Type: video/mp4", L"Content-Range: bytes 90-99/100", L"Accept-Ranges: bytes"}},
        {base + L"0/clip.mp4",
         L"bytes=-3",
         L"GET",
         L"206",
         clip.substr(97),
         {L"Content-Range: bytes 97-99/100"}},
        {base + L"0/clip.mp4", L"bytes=100-", L"GET", L"416", "", {L"Content-Range: bytes */100"}},
        // An answer without a range costs at most a picture's worth: a larger file comes as its first part.
        {base + L"0/huge.png",
         L"",
         L"GET",
         L"206",
         "",
         {L"Content-Length: 8388608", L"Content-Range: bytes 0-8388607/" + std::to_wstring(kHugeBytes)}},
        // The page's reload count (see the page's picture reload) is no part of the file's name.
        {base + L"0/img/picture.png?reload=3", L"", L"GET", L"200", picture, {L"Content-Length: 100"}},
        // Up to the repository's root, but never above it, however far an address climbs.
        {base + L"1/shared/top.txt",
         L"",
         L"GET",
         L"200",
         "above",
         {L"Content-Type: text/plain; charset=utf-8"}},
        {base + L"2/outside.txt", L"", L"GET", L"404", "", {}},
        {base + L"9/outside.txt", L"", L"GET", L"404", "", {}},
        // A link or junction inside the root that leads out of it is not followed; one that stays is.
        {base + L"0/linked.txt", L"", L"GET", L"404", "", {}, linked},
        {base + L"0/inner.txt", L"", L"GET", L"200", "above", {}, linked},
        {base + L"0/joined/far.txt", L"", L"GET", L"404", "", {}, joined},
        {base + L"0/img/missing.png", L"", L"GET", L"404", "", {}},
        {base + L"0/img/", L"", L"GET", L"404", "", {}},
        {base + L"0/img", L"", L"GET", L"404", "", {}},
        {base + L"0/today.md:secret", L"", L"GET", L"404", "", {}},
        {base + L"0/aux.png", L"", L"GET", L"404", "", {}},
        {base + L"0/img/picture.png", L"", L"POST", L"405", "", {L"Allow: GET"}},
        {L"https://tallowmere.invalid/img/picture.png", L"", L"GET", L"404", "", {}},
        // Only the shown delivery's number is answered.
        {L"https://tallowmere.invalid/doc/2/0/img/picture.png", L"", L"GET", L"404", "", {}},
    };
    std::vector<std::string> script = {Step("await", {L"navigation"}), Step("ready")};
    for (const auto& c : cases) {
        script.push_back(Step("request", {c.uri, c.range, c.method}));
    }
    // The panel's listing of the document's folder leaves out the junction that leads out of the root,
    // and the folder behind it is not listed either.
    script.push_back(Step("request", {L"https://tallowmere.invalid/files/1/notes"}));
    script.push_back(Step("request", {L"https://tallowmere.invalid/files/1/notes/joined"}));
    // Once the page closed its document nothing beside it is served; a new one is served again, under
    // its own number only: the old document's late requests are not answered from it.
    script.push_back(Step("close-doc"));
    script.push_back(Step("request", {base + L"0/img/picture.png"}));
    script.push_back(Step("drop", {document}));
    script.push_back(Step("request", {base + L"0/img/picture.png"}));
    script.push_back(Step("request", {L"https://tallowmere.invalid/doc/2/0/img/picture.png"}));
    // A file is opened and checked on a worker: the window's thread runs the next step (and
    // whatever else its message loop holds) before the answer arrives.
    script.push_back(Step("request-later", {L"https://tallowmere.invalid/doc/2/0/clip.mp4"}));
    script.push_back(Step("log-title"));
    script.push_back(Step("await", {L"answers"}));
    script.push_back(Step("close"));
    const RunResult run = Run(Options(Quoted(document), script));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    const std::vector<LoggedResponse> responses = Responses(log);
    ASSERT_EQ(responses.size(), 1 + std::size(cases) + 2 + 4) << log.Describe(); // the page first
    for (size_t i = 0; i < std::size(cases); ++i) {
        const LoggedResponse& response = responses[i + 1];
        const std::string uri(cases[i].uri.begin(), cases[i].uri.end());
        if (!cases[i].made) {
            std::cout << "not checked, the link could not be made: " << uri << "\n";
            continue;
        }
        EXPECT_EQ(response.status, cases[i].status) << uri;
        EXPECT_EQ(response.body, cases[i].body) << uri;
        EXPECT_TRUE(HasHeader(response, L"Cache-Control: no-store")) << uri;
        for (const std::wstring& header : cases[i].headers) {
            EXPECT_TRUE(HasHeader(response, header))
                << uri << ": " << std::string(header.begin(), header.end());
        }
    }
    const LoggedResponse& listing = responses[std::size(cases) + 1];
    EXPECT_EQ(listing.status, L"200");
    EXPECT_TRUE(HasHeader(listing, L"Content-Type: application/json; charset=utf-8")) << listing.headers;
    EXPECT_NE(listing.body.find("{\"folder\":\"notes\",\"document\":\"notes/today.md\",\"entries\":["),
              std::string::npos)
        << listing.body;
    for (const char* listed : {"{\"name\":\"img\",\"folder\":true}", "{\"name\":\"today.md\"}"}) {
        EXPECT_NE(listing.body.find(listed), std::string::npos) << listing.body;
    }
    if (joined) {
        EXPECT_EQ(listing.body.find("joined"), std::string::npos) << listing.body;
        EXPECT_EQ(responses[std::size(cases) + 2].status, L"404");
    }
    const auto status = [&](size_t after) { return responses[std::size(cases) + 2 + after].status; };
    EXPECT_EQ(status(1), L"404") << "served after the document was closed";
    EXPECT_EQ(status(2), L"404") << "a document shown before got the next one's file";
    EXPECT_EQ(status(3), L"200");
    EXPECT_EQ(status(4), L"200");
    EXPECT_GT(log.Positions("response").back(), FirstPosition(log, "title")) << log.Describe();
    EXPECT_EQ(log.Count("response-unset") + log.Count("stream-failed") + log.Count("stream-leaked"), 0u)
        << log.Describe();
    EXPECT_EQ(log.Count("timeout"), 0u) << log.Describe();
}

// --- links ------------------------------------------------------------------------------------------------

TEST_F(EndToEnd, LinksOpenOutsideOrInTheViewerOrNotAtAllAndThePageIsNeverLeft) {
    const std::wstring document = WriteDocument(L"index.md", "index");
    WriteDocument(L"other.md", "other");
    WriteDocument(L"run.bat", "calc");
    UrlHandlerRegistration handlers(kUrlRecorder);
    ASSERT_TRUE(handlers.registered());
    const std::wstring sibling = L"https://tallowmere.invalid/doc/1/0/other.md";
    const RunResult run = Run(Options(
        Quoted(document),
        {Step("await", {L"navigation"}), Step("ready"),
         Step("new-window", {L"https://example.org/a?b=1#c", L"1"}),
         Step("new-window", {L"mailto:someone@example.org?attach=C:\\secret.txt&subject=Hi \"there\"&"
                             L"Attachment=x&cc=c@example.org#f",
                             L"1"}),
         Step("new-window", {sibling + L"#part", L"1"}),
         Step("new-window", {L"file:///C:/windows/notepad.exe", L"1"}),
         Step("new-window", {L"mocha:alert(1)", L"1"}),
         Step("new-window", {L"https://tallowmere.invalid/doc/1/0/run.bat", L"1"}),
         Step("new-window", {L"https://example.org/unasked", L"0"}),
         Step("follow-link", {L"https://example.org/raw", L"1"}),
         Step("follow-link", {L"data:text/html,<b>x</b>", L"1"}), Step("follow-link", {kPageUrl, L"1"}),
         Step("follow-link", {sibling, L"0"}),
         // The sibling is looked at on a worker: its document and the history's news come a moment later.
         Step("await", {L"post", L"3"}), Step("wait", {L"50"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    // Every request was handled, every navigation but the program's own cancelled: no window of the
    // runtime's own, and the page never left.
    EXPECT_EQ(FirstFields(log.All("new-window-handled")), std::vector<std::wstring>(7, L"1"))
        << log.Describe();
    EXPECT_EQ(FirstFields(log.All("navigation-cancel")),
              (std::vector<std::wstring>{L"0", L"1", L"1", L"1", L"1"}));
    EXPECT_EQ(log.Count("popup-opened"), 0u);
    EXPECT_EQ(log.Count("page-left"), 0u);

    // The sibling document opened in the viewer, as if dropped.
    EXPECT_EQ(OpenFilePosts(log),
              (std::vector<std::wstring>{OpenFileJson(L"index.md", L"index"),
                                         OpenFileJson(L"other.md", L"other", 2, L",\"fragment\":\"part\"")}));

    // The web and mail addresses reached the user's programs, and nothing else did. They are started
    // apart from the program, so their records may come late and in any order.
    const std::set<std::wstring> expected = {
        L"https://example.org/a?b=1#c",
        L"mailto:someone@example.org?subject=Hi%20%22there%22&cc=c@example.org", L"https://example.org/raw"};
    std::set<std::wstring> opened;
    for (int attempt = 0; attempt < 100 && opened.size() < expected.size(); ++attempt) {
        ::Sleep(100);
        opened.clear();
        for (const LogEntry& entry : RuntimeLog::Read(logPath_).All("shell-open")) {
            opened.insert(entry.fields.empty() ? L"" : entry.fields[0]);
        }
    }
    ::Sleep(500);
    EXPECT_EQ(RuntimeLog::Read(logPath_).Count("shell-open"), expected.size());
    EXPECT_EQ(opened, expected);
}

// --- recent documents ---------------------------------------------------------------------------------

TEST_F(EndToEnd, EachDocumentOpenedFromTheCommandLineALinkOrADropGoesToRecentDocumentsOnce) {
    WriteDocument(L"first.md", "first");
    const std::wstring linked = WriteDocument(L"linked.md", "linked");
    const std::wstring dropped = WriteDocument(L"dropped.md", "dropped");
    const RunResult run = Run(
        Options(Quoted(L"first.md"), // relative to the program's current folder
                {Step("await", {L"navigation"}), Step("ready"), Step("await", {L"post", L"1"}),
                 Step("new-window", {L"https://tallowmere.invalid/doc/1/0/linked.md", L"1"}),
                 Step("await", {L"post", L"2"}),
                 // Shown again: a reload key and a live reload.
                 Step("reload"), Step("await", {L"post", L"3"}), Step("write", {L"linked.md", L"changed"}),
                 Step("await", {L"post", L"4"}), Step("drop", {dropped}), Step("await", {L"post", L"5"}),
                 // Shown, empty, but no document to remember.
                 Step("drop", {Path(L"missing.md")}), Step("drop", {folder_}), Step("await", {L"post", L"7"}),
                 Step("await", {L"recent", L"3"}), Step("wait", {L"300"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(log.Count("timeout"), 0u) << log.Describe();
    // Added from workers, so in any order.
    std::vector<std::wstring> recent = FirstFields(log.All("recent"));
    std::sort(recent.begin(), recent.end());
    EXPECT_EQ(recent, (std::vector<std::wstring>{dropped, Path(L"first.md"), linked})) << log.Describe();
}

// --- the window's history -------------------------------------------------------------------------------

TEST_F(EndToEnd, BackAndForwardShowEachDocumentAgainAtItsPlaceAndAGoneOneByName) {
    const std::wstring a = WriteDocument(L"a.md", "a");
    fs::create_directories(fs::path(Path(L"docs")));
    WriteDocument(L"docs\\b.md", "b");
    WriteDocument(L"c.md", "c");
    const std::wstring doc = L"https://tallowmere.invalid/doc/";
    // The page says where the reader left a document as it leaves it; the host keeps it for the way back.
    const auto place = [](const wchar_t* member, const wchar_t* number, const wchar_t* where) {
        return Step("post", {std::wstring(L"{\"action\":\"place\",\"") + member + L"\":" + number +
                             L",\"place\":\"" + where + L"\"}"});
    };
    const auto move = [](const wchar_t* direction) {
        return Step("post", {std::wstring(L"{\"action\":\"") + direction + L"\"}"});
    };
    const RunResult run = Run(Options(
        Quoted(a),
        {Step("await", {L"navigation"}), Step("ready"), Step("await", {L"post", L"1"}),
         // a → b, by a link to a heading in it; → c, by a link; an address of a document shown before
         // is refused.
         Step("follow-link", {doc + L"1/0/docs/b.md#%E4%BB%A3%E7%90%86", L"1"}),
         Step("await", {L"post", L"3"}), place(L"generation", L"1", L"A3"),
         Step("follow-link", {doc + L"1/0/c.md", L"1"}), Step("follow-link", {doc + L"2/1/c.md", L"1"}),
         Step("await", {L"post", L"5"}), place(L"generation", L"2", L"B5"),
         // Back twice, to b and a at their places; no further.
         move(L"back"), Step("await", {L"post", L"7"}), place(L"generation", L"4", L"B6"), move(L"back"),
         Step("await", {L"post", L"9"}), move(L"back"), Step("wait", {L"100"}),
         // c goes; forward to b, then to c, which the page names as gone; no further.
         Step("delete", {L"c.md"}), move(L"forward"), Step("await", {L"post", L"11"}), move(L"forward"),
         Step("await", {L"post", L"13"}), move(L"forward"), Step("wait", {L"100"}),
         // Back to b; a document the page read itself takes c's place forward of it.
         move(L"back"), Step("await", {L"post", L"15"}),
         Step("post", {L"{\"action\":\"ownDocument\",\"own\":1,\"name\":\"picked.md\"}"}),
         Step("await", {L"post", L"16"}), place(L"own", L"1", L"P1"), move(L"back"),
         Step("await", {L"post", L"18"}), move(L"forward"), Step("await", {L"post", L"20"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    const auto at = [](const std::wstring& where) { return L",\"place\":\"" + where + L"\""; };
    EXPECT_EQ(FirstFields(log.All("post")),
              (std::vector<std::wstring>{
                  OpenFileJson(L"a.md", L"a"),
                  OpenFileJson(L"b.md", L"b", 2, L",\"fragment\":\"%E4%BB%A3%E7%90%86\""),
                  HistoryJson(L"a.md", L""),
                  OpenFileJson(L"c.md", L"c", 3),
                  HistoryJson(L"b.md", L""),
                  OpenFileJson(L"b.md", L"b", 4, at(L"B5")),
                  HistoryJson(L"a.md", L"c.md"),
                  OpenFileJson(L"a.md", L"a", 5, at(L"A3")),
                  HistoryJson(L"", L"b.md"),
                  OpenFileJson(L"b.md", L"b", 6, at(L"B6")),
                  HistoryJson(L"a.md", L"c.md"),
                  OpenFileJson(L"c.md", L"", 7, L",\"missing\":true"),
                  HistoryJson(L"b.md", L""),
                  OpenFileJson(L"b.md", L"b", 8, at(L"B6")),
                  HistoryJson(L"a.md", L"c.md"),
                  HistoryJson(L"b.md", L""),
                  OpenFileJson(L"b.md", L"b", 9, at(L"B6")),
                  HistoryJson(L"a.md", L"picked.md"),
                  L"{\"action\":\"showOwn\",\"own\":1,\"name\":\"picked.md\",\"place\":\"P1\"}",
                  HistoryJson(L"b.md", L""),
              }))
        << log.Describe();
    EXPECT_EQ(log.Count("timeout"), 0u) << log.Describe();
}

// --- downloads and the context menu --------------------------------------------------------------------

// Whether the volume holding `path` keeps named streams (Wine's keep none).
bool KeepsNamedStreams(const std::wstring& path) {
    wchar_t root[MAX_PATH] = {};
    DWORD flags = 0;
    return ::GetVolumePathNameW(path.c_str(), root, MAX_PATH) &&
           ::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

TEST_F(EndToEnd, DownloadsAreTheProgramsOwnAndTheMenuLosesBackForwardAndSaveAs) {
    const std::wstring document = WriteDocument(L"index.md", "index");
    // The notes came from the Internet, and carry its zone.
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.org/notes.zip\r\n";
    const bool streams = KeepsNamedStreams(folder_);
    if (streams) {
        WriteDocument(L"notes.txt:Zone.Identifier", zone);
    }
    WriteDocument(L"notes.txt", "the notes");
    // A file whose copy takes a while: 256 MiB, all but its end unwritten.
    {
        const UniqueFile big(::CreateFileW(WriteDocument(L"big.bin", "").c_str(), GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = 256ll << 20;
        ASSERT_TRUE(::SetFilePointerEx(big.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(big.get()));
    }
    UrlHandlerRegistration handlers(kUrlRecorder);
    ASSERT_TRUE(handlers.registered());
    const std::wstring base = L"https://tallowmere.invalid/doc/1/0/";
    const std::wstring suggested = L"C:\\users\\reader\\Downloads\\";
    const std::wstring saved = Path(L"kept.txt");
    const RunResult run = Run(
        Options(Quoted(document),
                {Step("await", {L"navigation"}), Step("ready"), Step("await", {L"post", L"1"}),
                 Step("context-menu", {L"back", L"forward", L"reload", L"-", L"saveAs", L"print", L"-",
                                       L"share", L"-", L"inspectElement"}),
                 Step("context-menu", {L"back", L"-", L"copy", L"-", L"forward", L"-", L"selectAll"}),
                 // Nobody asked for these; the first two are not even files.
                 Step("download", {L"data:text/plain,x", suggested + L"x.exe", L"0"}),
                 Step("download", {L"blob:https://tallowmere.invalid/4f1e", suggested + L"x.exe", L"0"}),
                 // Past the time a user's act counts for (under Wine a window coming up counts as input).
                 Step("wait", {L"3200"}),
                 Step("download", {L"https://example.org/unasked.zip", suggested + L"unasked.zip", L"0"}),
                 Step("download", {base + L"missing.txt", suggested + L"missing.txt", L"0"}),
                 Step("wait", {L"300"}), Step("log-save-dialog"),
                 // A card whose author chose the name and extension: the extension is the file's own.
                 Step("download", {base + L"notes.txt", suggested + L"invoice.exe"}), Step("wait", {L"500"}),
                 Step("log-save-dialog"), Step("save-dialog", {saved}), Step("wait", {L"500"}),
                 Step("download", {L"https://example.org/asked.zip", suggested + L"asked.zip"}),
                 Step("wait", {L"100"}),
                 // Closing the window while a copy runs cuts it short, leaving nothing of it.
                 Step("download", {base + L"big.bin", suggested + L"big.bin"}), Step("wait", {L"500"}),
                 Step("save-dialog", {Path(L"big copy.bin")}), Step("wait", {L"50"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    const std::vector<LogEntry> menus = log.All("context-menu-shown");
    ASSERT_EQ(menus.size(), 2u) << log.Describe();
    EXPECT_EQ(menus[0].fields, (std::vector<std::wstring>{L"reload", L"-", L"print", L"-", L"share", L"-",
                                                          L"inspectElement"}));
    EXPECT_EQ(menus[1].fields, (std::vector<std::wstring>{L"copy", L"-", L"selectAll"}));

    // The control saved nothing itself, whatever came of each download.
    EXPECT_EQ(FirstFields(log.All("download-result")), std::vector<std::wstring>(7, L"1"));
    EXPECT_EQ(log.Count("download-saved"), 0u);
    // A dialog for each file beside the document, the first offering the card's name with the file's own
    // extension.
    EXPECT_EQ(log.Count("dialog-save"), 2u);
    const std::vector<LogEntry> dialogs = log.All("save-dialog");
    ASSERT_EQ(dialogs.size(), 1u) << log.Describe();
    ASSERT_EQ(dialogs[0].fields.size(), 2u);
    EXPECT_EQ(dialogs[0].fields[1], L"invoice.txt");
    EXPECT_EQ(log.Count("no-dialog"), 1u);
    EXPECT_EQ(ReadBytes(saved), "the notes");
    // The copy keeps the source's Mark-of-the-Web, so the system's checks still see a download.
    if (streams) {
        EXPECT_EQ(ReadBytes(saved + L":Zone.Identifier"), zone);
    } else {
        std::cout << "not checked, this volume keeps no named streams: the copy's Mark-of-the-Web\n";
    }
    // The copy cut short left no file, or (had it finished first) the whole one; nothing partial.
    const uint64_t copied =
        fs::exists(fs::path(Path(L"big copy.bin"))) ? fs::file_size(fs::path(Path(L"big copy.bin"))) : 0;
    EXPECT_TRUE(copied == 0 || copied == (256ull << 20)) << copied;
    for (const auto& entry : fs::directory_iterator(fs::path(folder_))) {
        EXPECT_NE(entry.path().extension().wstring(), L".partial") << "a temporary file was left";
    }
    std::error_code ignored;
    fs::remove(fs::path(Path(L"big copy.bin")), ignored);
    fs::remove(fs::path(Path(L"big.bin")), ignored);

    // Only the web address the user asked for reached the default browser.
    for (int attempt = 0; attempt < 50 && RuntimeLog::Read(logPath_).Count("shell-open") == 0; ++attempt) {
        ::Sleep(100);
    }
    ::Sleep(300);
    EXPECT_EQ(FirstFields(RuntimeLog::Read(logPath_).All("shell-open")),
              std::vector<std::wstring>{L"https://example.org/asked.zip"});
}

// --- dropped files ------------------------------------------------------------------------------------

TEST_F(EndToEnd, DropsBeforeReadyOnlyTheLastDropsFirstFileIsDeliveredOnce) {
    const std::wstring a = WriteDocument(L"a.md", "ay");
    const std::wstring b = WriteDocument(L"b.md", "bee");
    const std::wstring c = WriteDocument(L"c.md", "sea");
    const std::wstring d = WriteDocument(L"d.md", "dee");
    const RunResult run = Run(Options(Quoted(a), {Step("await", {L"navigation"}), Step("drop", {b}),
                                                  Step("drop", {c, d}), Step("wait", {L"50"}), Step("ready"),
                                                  Step("await", {L"post", L"1"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstFields(log.All("post")), std::vector<std::wstring>{OpenFileJson(L"c.md", L"sea")})
        << log.Describe();
    EXPECT_GT(FirstPosition(log, "post"), FirstPosition(log, "page-post"));
}

TEST_F(EndToEnd, AfterReadyDropsArriveAtOnceAndCloseDocResetsTheTitle) {
    const std::wstring e = WriteDocument(L"e.md", "eee");
    const std::wstring folder = Path(L"Some Folder");
    fs::create_directories(fs::path(folder));
    const RunResult run = Run(Options(
        L"",
        {Step("await", {L"navigation"}), Step("ready"), Step("drop", {e}), Step("await", {L"post", L"1"}),
         Step("log-dialogs"), Step("drop", {folder}), Step("await", {L"post", L"3"}), Step("log-dialogs"),
         Step("set-title", {L"Something else"}), Step("log-title"), Step("close-doc"), Step("log-title"),
         Step("drop", {e}), Step("await", {L"post", L"5"}), Step("log-dialogs"),
         Step("resize", {L"900", L"640"}), Step("wait", {L"50"}), Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);

    // Each drop is read on a worker and posted soon after, the history's news behind it.
    const std::vector<size_t> drops = log.Positions("drop");
    const std::vector<size_t> markers = log.Positions("dialogs");
    const std::vector<size_t> posts = log.Positions("post");
    ASSERT_EQ(drops.size(), 3u);
    ASSERT_EQ(markers.size(), 3u);
    // Each document, and from the second on the history's news for the Back button.
    ASSERT_EQ(posts.size(), 5u) << log.Describe();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_GT(posts[i == 0 ? 0 : 2 * i - 1], drops[i]);
        EXPECT_LT(posts[i == 0 ? 0 : 2 * i], markers[i]);
    }
    EXPECT_EQ(FirstFields(log.All("post")),
              (std::vector<std::wstring>{OpenFileJson(L"e.md", L"eee"), OpenFileJson(L"Some Folder", L"", 2),
                                         HistoryJson(L"e.md", L""), OpenFileJson(L"e.md", L"eee", 3),
                                         HistoryJson(L"Some Folder", L"")}));
    EXPECT_EQ(FirstFields(log.All("title")), (std::vector<std::wstring>{L"Something else", L"Tallowmere"}));

    // After the resize the control still covers the client area, which has changed.
    const std::vector<LogEntry> bounds = log.All("bounds");
    ASSERT_GE(bounds.size(), 2u) << log.Describe();
    const std::vector<std::wstring>& last = bounds.back().fields;
    ASSERT_EQ(last.size(), 8u);
    EXPECT_GT(log.Positions("bounds").back(), FirstPosition(log, "resize"));
    EXPECT_EQ(std::vector<std::wstring>(last.begin(), last.begin() + 4),
              std::vector<std::wstring>(last.begin() + 4, last.end()));
    EXPECT_NE(last[2], bounds.front().fields[2]);
}

// --- finding the runtime --------------------------------------------------------------------------------

TEST_F(EndToEnd, RuntimeRegisteredForTheStableChannelIsFound) {
    const std::wstring document = WriteDocument(L"registered.md", "found");
    RuntimeRegistration registration(kRegisteredFolder);
    ASSERT_TRUE(registration.registered());
    RunOptions options = Options(Quoted(document), {Step("await", {L"navigation"}), Step("ready"),
                                                    Step("await", {L"post", L"1"}), Step("close")});
    options.road = Road::Installed;
    const RunResult run = Run(options);
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<LogEntry> created = log.All("create-environment");
    ASSERT_EQ(created.size(), 1u) << log.Describe();
    EXPECT_EQ(created[0].fields.at(1), L"0") << "runtime kind of an installed runtime";
    EXPECT_EQ(FirstFields(log.All("post")),
              std::vector<std::wstring>{OpenFileJson(L"registered.md", L"found")});
}

// --- export ---------------------------------------------------------------------------------------------

// The page's export goes where the user says in the save dialog; from the command line it goes to OUT
// without a window, the program asking the page for it after the document, and each failure ends with its
// own exit code before anything is written.
TEST_F(EndToEnd, ExportWritesTheFileWholeWhereAskedOrEndsWithItsOwnExitCode) {
    const std::wstring document = WriteDocument(L"notes.md", "# Notes\n");
    const std::wstring html = L"<!DOCTYPE html><p>\u5BFC\u51FA</p>";
    const std::string htmlBytes = "<!DOCTYPE html><p>\xE5\xAF\xBC\xE5\x87\xBA</p>";
    const std::wstring answer =
        L"{\"action\":\"exportHtml\",\"name\":\"notes.html\",\"html\":\"" + html + L"\"}";
    const std::vector<std::string> answering = {Step("await", {L"navigation"}), Step("ready"),
                                                Step("await", {L"post", L"2"}), Step("post", {answer}),
                                                Step("wait", {L"3000"})};
    // A page that never hands the document over: the render runs out of its time (shortened here).
    const std::vector<std::string> silent = {Step("await", {L"navigation"}), Step("ready"),
                                             Step("await", {L"post", L"2"}), Step("wait", {L"3000"})};
    struct Row {
        const char* what;
        std::wstring tail;
        Road road;
        DWORD exitCode;
        bool written;
        bool pageSilent = false;
    };
    const std::wstring out = Path(L"out.html");
    const Row rows[] = {
        {"written whole", L"--export " + Quoted(out) + L" " + Quoted(document), Road::FixedFolder, 0, true},
        {"in a dialect", L"--export " + Quoted(out) + L" " + Quoted(document) + L" --dialect github",
         Road::FixedFolder, 0, true},
        {"unknown extension", L"--export " + Quoted(Path(L"out.txt")) + L" " + Quoted(document),
         Road::FixedFolder, 1, false},
        {"unknown dialect", L"--export " + Quoted(out) + L" " + Quoted(document) + L" --dialect gfm",
         Road::FixedFolder, 1, false},
        {"missing document", L"--export " + Quoted(out) + L" " + Quoted(Path(L"absent.md")),
         Road::FixedFolder, 2, false},
        {"unwritable OUT", L"--export " + Quoted(Path(L"no folder\\out.html")) + L" " + Quoted(document),
         Road::FixedFolder, 3, false},
        {"no runtime", L"--export " + Quoted(out) + L" " + Quoted(document), Road::None, 4, false},
        {"render not finished in time", L"--export " + Quoted(out) + L" " + Quoted(document),
         Road::FixedFolder, 5, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ::DeleteFileW(out.c_str());
        ::DeleteFileW(logPath_.c_str()); // each run's log of its own
        RunOptions options = Options(row.tail, row.pageSilent ? silent : answering);
        options.road = row.road;
        if (row.pageSilent) {
            options.environment[L"TALLOWMERE_TEST_EXPORT_LIMIT_MS"] = L"1000";
        }
        const auto process = Start(options);
        ::Sleep(1500);
        EXPECT_TRUE(TopLevelWindows(process->id(), kDialogClass).empty()) << "an export shows no message box";
        const RunResult run = Finish(*process);
        ASSERT_TRUE(run.exited);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(ReadBytes(out), row.written ? htmlBytes : std::string());
        EXPECT_FALSE(fs::exists(fs::path(out + L"." + std::to_wstring(process->id()) + L".partial")));
        if (row.written) {
            const std::wstring dialect =
                row.tail.find(L"github") != std::wstring::npos ? L",\"dialect\":\"github\"" : L"";
            const std::vector<LogEntry> posts = run.log.All("post");
            ASSERT_EQ(posts.size(), 2u) << run.log.Describe();
            EXPECT_EQ(posts[1].fields.at(0),
                      L"{\"action\":\"exportDocument\",\"format\":\"html\"" + dialect + L"}");
            EXPECT_EQ(run.log.Count("recent"), 0u) << "an export is no document the user opened";
        }
    }

    // From the page: the save dialog offers the page's name, and the file is written where the user chose.
    const std::wstring chosen = Path(L"chosen.html");
    ::DeleteFileW(logPath_.c_str());
    const RunResult run = Run(Options(
        Quoted(document), {Step("await", {L"navigation"}), Step("ready"), Step("await", {L"post", L"1"}),
                           Step("post", {answer}), Step("wait", {L"1500"}), Step("log-save-dialog"),
                           Step("save-dialog", {chosen}), Step("wait", {L"1500"}), Step("close")}));
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.log.Count("save-dialog"), 1u) << run.log.Describe();
    EXPECT_EQ(run.log.All("save-dialog")[0].fields.at(1), L"notes.html");
    EXPECT_EQ(ReadBytes(chosen), htmlBytes);
}

// --- start-up failures ----------------------------------------------------------------------------------

TEST_F(EndToEnd, MissingRuntimeShowsTheMessageBoxOnceAndTheWindowStays) {
    RunOptions options;
    options.road = Road::None;
    const auto process = Start(options);
    ExpectEnvironmentFailureBoxThenClose(*process);
    const RunResult run = Finish(*process);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.log.entries().empty()) << run.log.Describe();
}

TEST_F(EndToEnd, RefusedEnvironmentShowsTheMessageBox) {
    RunOptions options;
    options.mode = L"refuse-environment";
    const auto process = Start(options);
    ExpectEnvironmentFailureBoxThenClose(*process);
    const RunResult run = Finish(*process);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_GE(run.log.Count("refuse-environment"), 1u) << run.log.Describe();
    EXPECT_EQ(run.log.Count("environment-completed"), 0u);
}

TEST_F(EndToEnd, OneFailedEnvironmentCompletionIsRetriedAndTheDocumentStillArrives) {
    const std::wstring document = WriteDocument(L"retried.md", "again");
    RunOptions options =
        Options(Quoted(document), {Step("await", {L"navigation"}), Step("ready"),
                                   Step("await", {L"post", L"1"}), Step("log-dialogs"), Step("close")});
    options.mode = L"fail-environment-completion=1";
    const RunResult run = Run(options);
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstFields(log.All("environment-completed")),
              (std::vector<std::wstring>{L"80004004", L"00000000"}))
        << log.Describe();
    EXPECT_EQ(FirstFields(log.All("dialogs")), std::vector<std::wstring>{L"0"});
    EXPECT_EQ(FirstFields(log.All("post")), std::vector<std::wstring>{OpenFileJson(L"retried.md", L"again")});
}

TEST_F(EndToEnd, TwoFailedEnvironmentCompletionsShowTheMessageBox) {
    RunOptions options;
    options.mode = L"fail-environment-completion=2";
    const auto process = Start(options);
    ExpectEnvironmentFailureBoxThenClose(*process);
    const RunResult run = Finish(*process);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstFields(run.log.All("environment-completed")),
              (std::vector<std::wstring>{L"80004004", L"80004004"}))
        << run.log.Describe();
    EXPECT_EQ(run.log.Count("create-controller"), 0u);
}

TEST_F(EndToEnd, FailedControllerShowsNothingAndLeavesAnEmptyWindowThatTheUserCloses) {
    const std::wstring document = WriteDocument(L"never.md", "never");
    RunOptions options = Options(Quoted(document), {Step("await", {L"controller"}), Step("wait", {L"100"}),
                                                    Step("log-dialogs"), Step("resize", {L"900", L"640"}),
                                                    Step("drop", {document}), Step("wait", {L"100"})});
    options.mode = L"fail-controller=80070005";
    const auto process = Start(options);
    // The script is over and the window stays, empty, until the user closes it.
    for (int attempt = 0; attempt < 200 && RuntimeLog::Read(logPath_).Count("script-end") == 0; ++attempt) {
        ::Sleep(50);
    }
    ::Sleep(300);
    const HWND window = WaitForTopLevelWindow(process->id(), kMainWindowClass, 1000);
    ASSERT_NE(window, nullptr) << "the main window vanished" << RuntimeLog::Read(logPath_).Describe();
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    const RunResult run = Finish(*process);
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstFields(log.All("controller-completed")), std::vector<std::wstring>{L"80070005"})
        << log.Describe();
    EXPECT_EQ(FirstFields(log.All("dialogs")), std::vector<std::wstring>{L"0"});
    EXPECT_EQ(log.Count("bounds"), 0u);
    EXPECT_EQ(log.Count("navigate"), 0u);
    EXPECT_EQ(log.Count("post"), 0u);
}

TEST_F(EndToEnd, ControllerWithoutWebViewIsLetGoSilently) {
    RunOptions options =
        Options(L"", {Step("await", {L"controller"}), Step("wait", {L"100"}), Step("log-dialogs"),
                      Step("resize", {L"900", L"640"}), Step("wait", {L"100"}), Step("close")});
    options.mode = L"no-webview";
    const RunResult run = Run(options);
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(FirstFields(log.All("get-webview")), std::vector<std::wstring>{L"0"}) << log.Describe();
    EXPECT_LT(log.Find("destroyed", L"controller"), FirstPosition(log, "resize")) << log.Describe();
    EXPECT_EQ(FirstFields(log.All("dialogs")), std::vector<std::wstring>{L"0"});
    EXPECT_EQ(log.Count("bounds"), 0u);
    EXPECT_EQ(log.Count("navigate"), 0u);
}

TEST_F(EndToEnd, ClosingDuringStartUpLeavesNothingHeld) {
    // The close reaches the window after the environment but before the controller completes.
    const RunResult run = Run(Options(L"", {Step("close")}));
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(log.Count("controller-completed"), 1u) << log.Describe();
    EXPECT_EQ(log.Count("get-webview"), 0u) << log.Describe();
    EXPECT_EQ(log.Count("navigate"), 0u);
    EXPECT_NE(log.Find("destroyed", L"controller"), std::string::npos);
}

// --- a document that changes on disk -------------------------------------------------------------------

// A folder name of 100 units: three of them put a document past 300 units.
const std::wstring kLongFolder(100, L'x');
const std::wstring kLongDocument = kLongFolder + L"\\" + kLongFolder + L"\\" + kLongFolder + L"\\long.md";

struct ReloadCase {
    const char* name;
    std::wstring document; // relative to the test's folder; holds "one" and is named on the command line
    // Played once the page is ready and the document shown; "%FOLDER%" stands for the test's folder.
    std::vector<std::string> steps;
    // Every message the host posts, in order; with `between`, only the first and the last.
    std::vector<std::wstring> posted;
    // For a writer whose pace no list can follow: checks the log and the posts between first and last.
    void (*between)(const RuntimeLog& log, const std::vector<std::wstring>& posts) = nullptr;
    std::wstring linkTo = {}; // when given, the document is a symbolic link to this file, which holds "one"
    std::wstring readDelay = {}; // when given, every read of a document takes so many milliseconds
};

// 30 appends, 100 ms apart: each write holds all lines so far.
constexpr int kAppends = 30;

std::wstring AppendedText(int lines) {
    std::wstring text;
    for (int line = 1; line <= lines; ++line) {
        text += (line == 1 ? L"a" : L" a") + std::to_wstring(line);
    }
    return text;
}

std::vector<std::string> AppendSteps() {
    std::vector<std::string> steps;
    for (int lines = 1; lines <= kAppends; ++lines) {
        steps.push_back(Step("write", {L"notes.md", AppendedText(lines)}));
        steps.push_back(Step("wait", {L"100"}));
    }
    steps.push_back(Step("wait", {L"1000"}));
    return steps;
}

// Each post between is a whole append, later than the one before: the file shows as it grows, the
// first time well before the writes stop (about a second after the first, which is 10 writes), and
// again before they stop.
void ShownAsItGrows(const RuntimeLog& log, const std::vector<std::wstring>& posts) {
    int last = 0;
    for (size_t i = 1; i + 1 < posts.size(); ++i) {
        int lines = last + 1;
        while (lines < kAppends && posts[i] != OpenFileJson(L"notes.md", AppendedText(lines))) {
            ++lines;
        }
        EXPECT_LT(lines, kAppends) << "not a whole append, or out of order: " << posts[i].size() << " units";
        last = lines;
    }
    const std::vector<size_t> writes = log.Positions("file");
    const std::vector<size_t> shown = log.Positions("post");
    ASSERT_EQ(writes.size(), static_cast<size_t>(kAppends));
    ASSERT_GE(shown.size(), 4u) << "shown at most once while the writes went on";
    EXPECT_LT(shown[1], writes[19]) << "first shown after the 20th write";
    EXPECT_LT(shown[2], writes[kAppends - 1]) << "not shown again while the writes went on";
}

// The racing writer did race; a refused open of its would be a "file-failed".
void RacedTheWriter(const RuntimeLog& log, const std::vector<std::wstring>&) {
    const std::vector<LogEntry> raced = log.All("raced");
    ASSERT_EQ(raced.size(), 1u) << log.Describe();
    EXPECT_GE(std::stoul(raced[0].fields.at(0)), 100u) << "the writer hardly ran";
}

// A symbolic link at `link` (in `folder`) to `target`, relative to it. Wine's CreateSymbolicLinkW
// reports success and makes nothing; there the system's ln makes a Unix link, which Wine follows as
// Windows follows its own.
bool MakeSymbolicLink(const std::wstring& folder, const std::wstring& link, const std::wstring& target) {
    const std::wstring linkPath = folder + L"\\" + link;
    ::CreateSymbolicLinkW(linkPath.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (::GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    std::wstring unixTarget = target;
    std::replace(unixTarget.begin(), unixTarget.end(), L'\\', L'/');
    std::wstring command = L"Z:\\bin\\ln -s " + unixTarget + L" " + link;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                         &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, 10000);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    return ::GetFileAttributesW(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The window answered a message within 50 ms while the read of the change was held, before it arrived.
void AnsweredWhileTheReadWasHeld(const RuntimeLog& log, const std::vector<std::wstring>&) {
    const std::vector<LogEntry> probes = log.All("window-answered");
    ASSERT_EQ(probes.size(), 1u) << log.Describe();
    EXPECT_EQ(probes[0].fields.at(0), L"1") << "the window did not answer within 50 ms";
    EXPECT_LE(std::stoul(probes[0].fields.at(1)), 50u);
    EXPECT_LT(FirstPosition(log, "window-answered"), log.Positions("post").back()) << "the read was not held";
}

void PrintTo(const ReloadCase& test, std::ostream* out) {
    *out << test.name;
}

class LiveReload : public EndToEnd, public ::testing::WithParamInterface<ReloadCase> {
protected:
    // Any length of path: the folders on the way are made, and the extended-length form is used.
    void WriteLong(const std::wstring& relative, const std::string& bytes) const {
        const std::wstring path = L"\\\\?\\" + Path(relative);
        for (size_t at = path.find(L'\\', folder_.size() + 4); at != std::wstring::npos;
             at = path.find(L'\\', at + 1)) {
            ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        }
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }
};

TEST_P(LiveReload, DeliversEachCompleteChangeOnce) {
    const ReloadCase& test = GetParam();
    if (test.linkTo.empty()) {
        WriteLong(test.document, "one");
    } else {
        WriteLong(test.linkTo, "one");
        if (!MakeSymbolicLink(folder_, test.document, test.linkTo)) {
            GTEST_SKIP() << "no symbolic links here";
        }
    }
    std::vector<std::string> script = {Step("await", {L"navigation"}), Step("ready"),
                                       Step("await", {L"post", L"1"})};
    const std::string folder = EscapeField(folder_);
    for (std::string step : test.steps) {
        for (size_t at = step.find("%FOLDER%"); at != std::string::npos; at = step.find("%FOLDER%")) {
            step.replace(at, 8, folder);
        }
        script.push_back(step);
    }
    script.push_back(Step("close"));
    RunOptions options = Options(Quoted(test.document), script);
    if (!test.readDelay.empty()) {
        options.environment[L"TALLOWMERE_TEST_READ_DELAY_MS"] = test.readDelay;
    }
    const RunResult run = Run(options);
    const RuntimeLog& log = run.log;
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<std::wstring> posts = OpenFilePosts(log);
    if (test.between == nullptr) {
        EXPECT_EQ(posts, test.posted) << log.Describe();
    } else {
        ASSERT_GE(posts.size(), 2u) << log.Describe();
        EXPECT_EQ(posts.front(), test.posted.front());
        EXPECT_EQ(posts.back(), test.posted.back());
        test.between(log, posts);
    }
    EXPECT_EQ(log.Count("timeout") + log.Count("file-failed"), 0u) << log.Describe();
    // A reload key shows the document again; the page itself is never reloaded.
    EXPECT_EQ(log.Count("page-reloaded"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LiveReload,
    ::testing::Values(
        ReloadCase{"InPlaceSafeSaveDeleteAndRecreate",
                   L"notes.md",
                   {Step("write", {L"notes.md", L"two"}), Step("await", {L"post", L"2"}),
                    Step("safe-save", {L"notes.md", L"three"}), Step("await", {L"post", L"3"}),
                    // Gone: the last content stays on screen until the file is back.
                    Step("delete", {L"notes.md"}), Step("wait", {L"500"}),
                    Step("write", {L"notes.md", L"four"}), Step("await", {L"post", L"4"}),
                    Step("wait", {L"400"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"two"),
                    OpenFileJson(L"notes.md", L"three"), OpenFileJson(L"notes.md", L"four")}},
        ReloadCase{
            "UnchangedBytesBurstAndTruncation",
            L"notes.md",
            {// A new time stamp on the same bytes.
             Step("write", {L"notes.md", L"one"}), Step("wait", {L"400"}),
             // A burst, a write every 20 ms.
             Step("write", {L"notes.md", L"b1"}), Step("wait", {L"20"}), Step("write", {L"notes.md", L"b22"}),
             Step("wait", {L"20"}), Step("write", {L"notes.md", L"b333"}), Step("wait", {L"20"}),
             Step("write", {L"notes.md", L"b4444"}), Step("wait", {L"20"}),
             Step("write", {L"notes.md", L"five"}), Step("await", {L"post", L"2"}),
             Step("truncate", {L"notes.md", L"2"}), Step("await", {L"post", L"3"}),
             Step("truncate", {L"notes.md", L"0"}), Step("await", {L"post", L"4"}), Step("wait", {L"400"})},
            {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"five"),
             OpenFileJson(L"notes.md", L"fi"), OpenFileJson(L"notes.md", L"")}},
        ReloadCase{"NeitherCutNorTransientlyEmpty",
                   L"notes.md",
                   {// Held open by its writer half-written for a moment.
                    Step("write-slowly", {L"notes.md", L"complete text", L"100"}),
                    Step("await", {L"post", L"2"}),
                    // Truncated, then written after a pause.
                    Step("write", {L"notes.md", L""}), Step("wait", {L"250"}),
                    Step("write", {L"notes.md", L"written after a pause"}), Step("await", {L"post", L"3"}),
                    Step("wait", {L"600"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"complete text"),
                    OpenFileJson(L"notes.md", L"written after a pause")}},
        ReloadCase{"ADropMovesTheWatchAndClosingStopsIt",
                   L"notes.md",
                   {Step("write", {L"other.md", L"other"}), Step("drop", {L"%FOLDER%\\other.md"}),
                    // The document, then the history's message that Back leads to the first.
                    Step("await", {L"post", L"3"}), Step("write", {L"notes.md", L"no longer shown"}),
                    Step("write", {L"other.md", L"other changed"}), Step("await", {L"post", L"4"}),
                    Step("close-doc"), Step("write", {L"other.md", L"after closing"}),
                    // Past the once-a-second look, should notification be missing.
                    Step("wait", {L"1300"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"other.md", L"other", 2),
                    OpenFileJson(L"other.md", L"other changed", 2)}},
        ReloadCase{"AReloadKeyShowsTheFileAsOnDiskNowAndNothingWithoutADocument",
                   L"notes.md",
                   {Step("reload"), Step("await", {L"post", L"2"}), Step("write", {L"notes.md", L"two"}),
                    Step("reload"), Step("await", {L"post", L"3"}), Step("wait", {L"400"}), Step("close-doc"),
                    Step("reload"), Step("wait", {L"400"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"one"),
                    OpenFileJson(L"notes.md", L"two")}},
        ReloadCase{"AFolderNotThereYetIsLookedAtEverySecond",
                   L"notes.md",
                   {Step("drop", {L"%FOLDER%\\later\\later.md"}), Step("await", {L"post", L"3"}),
                    Step("write", {L"later\\later.md", L"arrived"}), Step("await", {L"post", L"4"}),
                    Step("write", {L"later\\later.md", L"changed"}), Step("await", {L"post", L"5"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"later.md", L"", 2),
                    OpenFileJson(L"later.md", L"arrived", 2), OpenFileJson(L"later.md", L"changed", 2)}},
        ReloadCase{"PathsOf300UnitsAndMore",
                   kLongDocument,
                   {Step("drop", {L"%FOLDER%\\" + kLongDocument}), Step("await", {L"post", L"3"}),
                    Step("write", {kLongDocument, L"deep edit"}), Step("await", {L"post", L"4"})},
                   {OpenFileJson(L"long.md", L"one"), OpenFileJson(L"long.md", L"one", 2),
                    OpenFileJson(L"long.md", L"deep edit", 2)}},
        ReloadCase{"AWriterIsNeverRefused",
                   L"notes.md",
                   {Step("write-racing", {L"notes.md", L"raced to the very end"}), Step("wait", {L"1500"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"raced to the very end")},
                   RacedTheWriter},
        ReloadCase{"WrittenWithoutPauseShowsAsItGoes",
                   L"notes.md",
                   AppendSteps(),
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", AppendedText(kAppends))},
                   ShownAsItGrows},
        ReloadCase{"ASymbolicLinkFollowsSavesToItsTarget",
                   L"notes.md",
                   {Step("write", {L"real\\notes.md", L"two"}), Step("await", {L"post", L"2"}),
                    Step("safe-save", {L"real\\notes.md", L"three"}), Step("await", {L"post", L"3"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"two"),
                    OpenFileJson(L"notes.md", L"three")},
                   nullptr,
                   L"real\\notes.md"},
        // A slow disk, or a share whose server has gone: the window goes on answering while a change is
        // read (from about 200 ms after the write, for 1.5 s).
        ReloadCase{"SlowReadsLeaveTheWindowAnswering",
                   L"notes.md",
                   {Step("write", {L"notes.md", L"two"}), Step("wait", {L"500"}),
                    Step("probe-window", {L"50"}), Step("await", {L"post", L"2"})},
                   {OpenFileJson(L"notes.md", L"one"), OpenFileJson(L"notes.md", L"two")},
                   AnsweredWhileTheReadWasHeld,
                   {},
                   L"1500"}),
    [](const ::testing::TestParamInfo<ReloadCase>& info) { return std::string(info.param.name); });

class RegistrationCleanup : public ::testing::Environment {
public:
    void SetUp() override {
        RuntimeRegistration::RemoveLeftover(fs::path(kRegisteredFolder).parent_path().wstring());
        UrlHandlerRegistration::RemoveLeftover(kUrlRecorder);
    }
};

const auto* const kRegistrationCleanup = ::testing::AddGlobalTestEnvironment(new RegistrationCleanup);

} // namespace
