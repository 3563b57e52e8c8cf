// The release as a user meets it, in a Wine prefix made fresh for this run (installer-prefix.sh): the
// per-user installer's silent install, a document opened through the shell, the silent uninstall; and
// the program's version information.
#include "runtime_log_reader.h"
#include "support/child_process.h"
#include "test_runtime/runtime_protocol.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::wstring kInstaller = TALLOWMERE_E2E_INSTALLER;
const std::wstring kRuntimeFolder = TALLOWMERE_E2E_RUNTIME_FOLDER;
const std::wstring kWorkFolder = TALLOWMERE_E2E_WORK_FOLDER;
const std::wstring kVersion = TALLOWMERE_E2E_VERSION;
const std::wstring kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tallowmere";
const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kApplication = kClasses + L"Applications\\tallowmere.exe";
const std::wstring kCapabilities = L"Software\\Tallowmere\\Capabilities";
constexpr DWORD kSetupTimeout = 120000;

// Kept by others than the installer, so left out of the before-and-after comparison: Wine's own
// settings, and the shell's records of what the user opened (recent documents, lists of choices).
const std::vector<std::wstring> kOthersKeys = {L"Software\\Wine",
                                               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"};

std::string ReadBytes(const std::wstring& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) {
        folder = path;
    }
    ::CoTaskMemFree(path);
    return folder;
}

bool StartsWithFolder(const std::wstring& path, const std::vector<std::wstring>& folders) {
    for (const std::wstring& folder : folders) {
        if (_wcsnicmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
            (path.size() == folder.size() || path[folder.size()] == L'\\')) {
            return true;
        }
    }
    return false;
}

// Every key and value below `key` as lines "key" and "key|name|type|data" (data in hexadecimal bytes).
void AddKeys(HKEY root, const std::wstring& key, std::set<std::wstring>& lines) {
    if (StartsWithFolder(key, kOthersKeys)) {
        return;
    }
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return;
    }
    lines.insert(key);
    DWORD keys = 0;
    DWORD longestKey = 0;
    DWORD values = 0;
    DWORD longestName = 0;
    DWORD largestData = 0;
    ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &keys, &longestKey, nullptr, &values, &longestName,
                       &largestData, nullptr, nullptr);
    std::vector<wchar_t> name(std::max(longestKey, longestName) + 1);
    std::vector<BYTE> data(largestData + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueW(opened, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS) {
            lines.insert(key + L"|(unreadable value)");
            continue;
        }
        std::wstring line = key + L"|" + name.data() + L"|" + std::to_wstring(type) + L"|";
        for (DWORD b = 0; b < dataLength; ++b) {
            line += L"0123456789abcdef"[data[b] >> 4];
            line += L"0123456789abcdef"[data[b] & 0xF];
        }
        lines.insert(line);
    }
    std::vector<std::wstring> children;
    for (DWORD i = 0; i < keys; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(opened, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            children.push_back(key.empty() ? name.data() : key + L"\\" + name.data());
        }
    }
    ::RegCloseKey(opened);
    for (const std::wstring& child : children) {
        AddKeys(root, child, lines);
    }
}

// Every file and folder below the user's profile, with the files' sizes, but for those kept by others:
// the shell's shortcuts to recent documents, and the temporary folder, where an NSIS uninstaller runs
// from a copy of itself. Links are not followed (Wine links the user's documents, pictures and the like
// to the Unix home folder).
std::set<std::wstring> ProfileFiles() {
    const fs::path profile(KnownFolder(FOLDERID_Profile));
    wchar_t temporary[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temporary);
    const std::vector<std::wstring> others = {
        fs::path(KnownFolder(FOLDERID_Recent)).lexically_relative(profile).wstring(),
        fs::path(temporary).parent_path().lexically_relative(profile).wstring()};
    std::set<std::wstring> lines;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(profile, error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::wstring relative = it->path().lexically_relative(profile).wstring();
        if (StartsWithFolder(relative, others)) {
            it.disable_recursion_pending();
            continue;
        }
        const DWORD attributes = ::GetFileAttributesW(it->path().c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            it.disable_recursion_pending();
        }
        lines.insert(relative + (it->is_regular_file() ? L"|" + std::to_wstring(it->file_size()) : L"\\"));
    }
    return lines;
}

struct Snapshot {
    std::set<std::wstring> keys;
    std::set<std::wstring> files;
};

Snapshot Take() {
    Snapshot snapshot;
    AddKeys(HKEY_CURRENT_USER, L"", snapshot.keys);
    snapshot.files = ProfileFiles();
    return snapshot;
}

// What one set has and the other lacks, for a failure message.
std::string Difference(const std::set<std::wstring>& before, const std::set<std::wstring>& after) {
    std::string text;
    for (const auto& [from, to, sign] :
         {std::tuple(&before, &after, "gone: "), std::tuple(&after, &before, "new: ")}) {
        for (const std::wstring& line : *from) {
            if (to->count(line) == 0) {
                text += sign + std::string(line.begin(), line.end()) + "\n";
            }
        }
    }
    return text;
}

// A text value of the user's registry; "(missing)" when it is not there.
std::wstring StringValue(const std::wstring& key, const std::wstring& name) {
    wchar_t data[2048] = {};
    DWORD size = sizeof(data);
    return ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.empty() ? nullptr : name.c_str(),
                          RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
               ? data
               : L"(missing)";
}

struct Extension {
    const wchar_t* extension;
    const wchar_t* progId;
};

const Extension kExtensions[] = {{L".md", L"Tallowmere.Markdown"},    {L".markdown", L"Tallowmere.Markdown"},
                                 {L".mdown", L"Tallowmere.Markdown"}, {L".mkd", L"Tallowmere.Markdown"},
                                 {L".mkdn", L"Tallowmere.Markdown"},  {L".txt", L"Tallowmere.Text"}};

void ExpectRegistered(const std::wstring& installFolder) {
    const std::wstring exe = installFolder + L"\\tallowmere.exe";
    const std::wstring open = L"\"" + exe + L"\" \"%1\"";
    struct Value {
        std::wstring key;
        std::wstring name;
        std::wstring data;
    };
    std::vector<Value> values = {
        {kClasses + L"Tallowmere.Text\\shell\\open\\command", L"", open},
        {kApplication + L"\\shell\\open\\command", L"", open},
        {kApplication, L"FriendlyAppName", L"Tallowmere"},
        {kCapabilities, L"ApplicationName", L"Tallowmere"},
        {L"Software\\RegisteredApplications", L"Tallowmere", kCapabilities},
        {kUninstallKey, L"DisplayName", L"Tallowmere"},
        {kUninstallKey, L"DisplayVersion", kVersion},
        {kUninstallKey, L"Publisher", L"Tallowmere Team"},
        {kUninstallKey, L"InstallLocation", installFolder},
        {kUninstallKey, L"UninstallString", L"\"" + installFolder + L"\\uninstall.exe\""},
        {kUninstallKey, L"QuietUninstallString", L"\"" + installFolder + L"\\uninstall.exe\" /S"},
    };
    for (const Extension& type : kExtensions) {
        values.push_back({kClasses + type.extension + L"\\OpenWithProgids", type.progId, L""});
        values.push_back({kApplication + L"\\SupportedTypes", type.extension, L""});
        values.push_back({kCapabilities + L"\\FileAssociations", type.extension, type.progId});
        // Offered, never taken over: the type's own default stays as it was (here: none).
        values.push_back({kClasses + type.extension, L"", L"(missing)"});
    }
    for (const Value& value : values) {
        EXPECT_EQ(StringValue(value.key, value.name), value.data)
            << std::string(value.key.begin(), value.key.end()) << " | "
            << std::string(value.name.begin(), value.name.end());
    }
    DWORD size = 0;
    DWORD length = sizeof(size);
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kUninstallKey.c_str(), L"EstimatedSize", RRF_RT_REG_DWORD,
                             nullptr, &size, &length),
              ERROR_SUCCESS);
    EXPECT_GE(size, fs::file_size(fs::path(exe)) / 1024) << "KiB";
}

// Opens `document` as Explorer does once the user chose `progId` for its type (ShellExecuteEx, the verb
// "open", the ProgID's key: Wine's HKEY_CLASSES_ROOT does not show the user's own classes, so the key
// is handed over as Windows finds it through the user's choice). The test runtime stands in for the
// browser runtime, playing `script`. Returns the started program's image path once it ended well.
std::wstring OpenThroughTheShell(const std::wstring& document, const std::wstring& progId,
                                 const std::wstring& logPath, const std::vector<std::string>& script) {
    const std::wstring scriptPath = kWorkFolder + L"\\page.script";
    {
        std::ofstream out(fs::path(scriptPath), std::ios::binary);
        for (const std::string& line : script) {
            out << line << '\n';
        }
    }
    // The shell hands the program this process's environment.
    ::SetEnvironmentVariableW(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", kRuntimeFolder.c_str());
    ::SetEnvironmentVariableW(test_runtime::kLogVariable, logPath.c_str());
    ::SetEnvironmentVariableW(test_runtime::kScriptVariable, scriptPath.c_str());
    HKEY progIdKey = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, (kClasses + progId).c_str(), 0, KEY_READ, &progIdKey) !=
        ERROR_SUCCESS) {
        return L"(no " + progId + L")";
    }
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSKEY;
    execute.hkeyClass = progIdKey;
    execute.lpVerb = L"open";
    execute.lpFile = document.c_str();
    execute.nShow = SW_SHOWNORMAL;
    const bool started = ::ShellExecuteExW(&execute) && execute.hProcess != nullptr;
    ::RegCloseKey(progIdKey);
    for (const wchar_t* name :
         {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", test_runtime::kLogVariable, test_runtime::kScriptVariable}) {
        ::SetEnvironmentVariableW(name, nullptr);
    }
    if (!started) {
        return L"(not started)";
    }
    wchar_t image[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    ::QueryFullProcessImageNameW(execute.hProcess, 0, image, &length);
    const bool ended = ::WaitForSingleObject(execute.hProcess, 30000) == WAIT_OBJECT_0;
    DWORD exitCode = 99;
    if (!ended) {
        ::TerminateProcess(execute.hProcess, exitCode);
    }
    ::GetExitCodeProcess(execute.hProcess, &exitCode);
    ::CloseHandle(execute.hProcess);
    return !ended          ? L"(did not end)"
           : exitCode != 0 ? L"(ended with " + std::to_wstring(exitCode) + L")"
                           : image;
}

std::string Step(const std::string& command, std::initializer_list<std::wstring> arguments = {}) {
    std::string line = command;
    for (const std::wstring& argument : arguments) {
        line += ' ' + test_runtime::EscapeField(argument);
    }
    return line;
}

TEST(Installer, SilentInstallThenADocumentOpenedThroughTheShellThenSilentUninstallLeavingNothingOfItsOwn) {
    ASSERT_TRUE(fs::exists(fs::path(kInstaller))) << "the installer was not made";
    fs::create_directories(fs::path(kWorkFolder));
    const std::wstring installFolder = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Tallowmere";
    const std::wstring shortcut = KnownFolder(FOLDERID_Programs) + L"\\Tallowmere.lnk";
    const std::wstring dataFolder = KnownFolder(FOLDERID_LocalAppData) + L"\\Tallowmere\\WebView2";
    ASSERT_FALSE(fs::exists(fs::path(installFolder))) << "the prefix is not fresh";
    // Every Windows has the user's classes key (it holds the user's own hive); a fresh Wine prefix lacks it.
    HKEY classes = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr,
                                &classes, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(classes);
    const Snapshot before = Take();

    // Installed silently, for this user alone, where per-user programs go.
    {
        ChildProcess setup;
        ASSERT_TRUE(setup.Start(kInstaller, L"/S"));
        ASSERT_EQ(setup.WaitForExit(kSetupTimeout), 0u);
    }
    EXPECT_EQ(ReadBytes(installFolder + L"\\tallowmere.exe"), ReadBytes(TALLOWMERE_EXE_PATH));
    for (const wchar_t* file : {L"README.txt", L"LICENSE.txt", L"licenses\\markdown-it.txt",
                                L"licenses\\mermaid.txt", L"licenses\\highlightjs-cdn-assets.txt"}) {
        EXPECT_TRUE(fs::exists(fs::path(installFolder + L"\\" + file))) << fs::path(file).string();
    }
    EXPECT_TRUE(fs::exists(fs::path(shortcut)));
    ExpectRegistered(installFolder);

    // The user makes it the default for .md in Windows' own dialog and opens a document from Explorer:
    // the installed program starts with its path and shows it.
    {
        const std::wstring document = kWorkFolder + L"\\opened through the shell.md";
        std::ofstream(fs::path(document), std::ios::binary) << "# Opened";
        const std::wstring logPath = kWorkFolder + L"\\runtime.log";
        ::DeleteFileW(logPath.c_str());
        const std::wstring image = OpenThroughTheShell(
            document, L"Tallowmere.Markdown", logPath,
            {Step("await", {L"navigation"}), Step("ready"), Step("await", {L"post", L"1"}), Step("close")});
        EXPECT_EQ(_wcsicmp(image.c_str(), (installFolder + L"\\tallowmere.exe").c_str()), 0)
            << fs::path(image).string();
        const RuntimeLog log = RuntimeLog::Read(logPath);
        ASSERT_EQ(log.Count("post"), 1u) << log.Describe();
        const std::wstring post = log.All("post")[0].fields.at(0);
        EXPECT_EQ(post.substr(0, post.rfind(L",\"path\":")),
                  L"{\"action\":\"openFile\",\"name\":\"opened through the shell.md\",\"content\":\"# "
                  L"Opened\",\"generation\":1");
    }

    // The browser control's data, as a run with the real runtime leaves it: the user's, kept by a silent
    // uninstall.
    fs::create_directories(fs::path(dataFolder + L"\\EBWebView"));
    std::ofstream(fs::path(dataFolder + L"\\EBWebView\\Local State")) << "{}";

    // Uninstalled silently, as an administrator would from the entry's quiet command. The uninstaller
    // goes on from a copy of itself; it is done when its entry is gone.
    {
        ChildProcess uninstall;
        ASSERT_TRUE(uninstall.Start(installFolder + L"\\uninstall.exe", L"/S"));
        ASSERT_EQ(uninstall.WaitForExit(kSetupTimeout), 0u);
        for (int wait = 0; wait < 600 && StringValue(kUninstallKey, L"DisplayName") != L"(missing)"; ++wait) {
            ::Sleep(100);
        }
    }
    EXPECT_TRUE(fs::exists(fs::path(dataFolder + L"\\EBWebView\\Local State"))) << "the user's data went";
    fs::remove_all(fs::path(dataFolder).parent_path());
    const Snapshot after = Take();
    EXPECT_TRUE(after.keys == before.keys) << Difference(before.keys, after.keys);
    EXPECT_TRUE(after.files == before.files) << Difference(before.files, after.files);
}

// What Explorer's properties and the "Open with" list show.
TEST(VersionInformation, ReadsBackWithTheProjectsVersionAndNames) {
    const DWORD size = ::GetFileVersionInfoSizeW(TALLOWMERE_EXE_PATH, nullptr);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(TALLOWMERE_EXE_PATH, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::wstring numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                                 std::to_wstring(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, kVersion);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"FileDescription", L"Tallowmere"},
        {L"ProductName", L"Tallowmere"},
        {L"FileVersion", kVersion},
        {L"ProductVersion", kVersion},
        {L"OriginalFilename", L"tallowmere.exe"},
        {L"LegalCopyright", L"Copyright (c) 2026 Tallowmere Team. MIT License."},
        {L"CompanyName", L"Tallowmere Team"}};
    for (const auto& [name, expected] : texts) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(::VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
            << fs::path(name).string();
        EXPECT_EQ(std::wstring(text), expected) << fs::path(name).string();
    }
}

} // namespace
