#include "loader_test_support.h"

#include "loader/module_path.h"
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

CapturingPlatform* g_current = nullptr;

std::wstring HiveName(HKEY hive) {
    if (hive == HKEY_CURRENT_USER) {
        return L"HKCU\\";
    }
    if (hive == HKEY_LOCAL_MACHINE) {
        return L"HKLM\\";
    }
    return L"?\\";
}

void WINAPI CaptureA(LPCSTR text) {
    std::wstring wide;
    for (const char* c = text; *c != '\0'; ++c) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    g_current->output.push_back({'A', wide});
}

void WINAPI CaptureW(LPCWSTR text) {
    g_current->output.push_back({'W', text});
}

LSTATUS WINAPI RecordingRegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    g_current->openedPolicyKeys.push_back(HiveName(key) + subKey);
    return ::RegOpenKeyExW(key, subKey, options, access, result);
}

HRESULT WINAPI FakeTryCreatePackageDependency(PSID, PCWSTR familyName, PackageVersion, UINT32, UINT32, PCWSTR,
                                              UINT32, PWSTR* dependencyId) {
    g_current->dependencyRequests.push_back(familyName);
    *dependencyId = nullptr;
    if (FAILED(g_current->tryCreateResult)) {
        return g_current->tryCreateResult;
    }
    const std::wstring id = std::wstring(L"dependency:") + familyName;
    const size_t bytes = (id.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), 0, bytes));
    std::memcpy(copy, id.c_str(), bytes);
    *dependencyId = copy;
    return S_OK;
}

HRESULT WINAPI FakeAddPackageDependency(PCWSTR dependencyId, INT32, UINT32, PackageDependencyContext* context,
                                        PWSTR* fullName) {
    g_current->dependenciesAdded.push_back(dependencyId);
    *context = reinterpret_cast<PackageDependencyContext>(static_cast<uintptr_t>(1));
    if (fullName != nullptr) {
        *fullName = nullptr;
    }
    return S_OK;
}

LONG WINAPI FakeGetCurrentPackageInfo(UINT32 flags, UINT32* bufferLength, BYTE* buffer, UINT32* count) {
    EXPECT_EQ(flags, 0x00180001u);
    const auto& packages = g_current->packages;
    if (packages.empty()) {
        return kAppModelErrorNoPackage;
    }
    const UINT32 needed = static_cast<UINT32>(packages.size() * sizeof(PackageInfo));
    if (buffer == nullptr || *bufferLength < needed) {
        *bufferLength = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    auto* entries = reinterpret_cast<PackageInfo*>(buffer);
    for (size_t i = 0; i < packages.size(); ++i) {
        PackageInfo entry = {};
        entry.path = const_cast<PWSTR>(packages[i].path.c_str());
        entry.packageFamilyName = const_cast<PWSTR>(packages[i].familyName.c_str());
        entry.packageFullName = entry.packageFamilyName;
        entry.packageId.version.parts = packages[i].version;
        entries[i] = entry;
    }
    *bufferLength = needed;
    if (count != nullptr) {
        *count = static_cast<UINT32>(packages.size());
    }
    return ERROR_SUCCESS;
}

LONG WINAPI FakeGetCurrentApplicationUserModelId(UINT32* length, PWSTR id) {
    if (!g_current->applicationId) {
        return kAppModelErrorNoApplication;
    }
    const std::wstring& value = *g_current->applicationId;
    const UINT32 needed = static_cast<UINT32>(value.size() + 1);
    if (*length < needed) {
        *length = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(id, value.c_str(), needed * sizeof(wchar_t));
    *length = needed;
    return ERROR_SUCCESS;
}

HRESULT WINAPI FakeGetCurrentProcessExplicitAppUserModelId(PWSTR* appId) {
    *appId = nullptr;
    if (!g_current->explicitId) {
        return E_NOTIMPL;
    }
    const std::wstring& value = *g_current->explicitId;
    const size_t bytes = (value.size() + 1) * sizeof(wchar_t);
    *appId = static_cast<PWSTR>(::CoTaskMemAlloc(bytes));
    std::memcpy(*appId, value.c_str(), bytes);
    return S_OK;
}

void Check(LSTATUS status, const char* what) {
    if (status != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(status));
    }
}

UniqueRegKey OpenForWriting(HKEY hive, const std::wstring& path, REGSAM view) {
    UniqueRegKey key;
    Check(::RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(),
                            nullptr),
          "RegCreateKeyExW");
    return key;
}

std::atomic<unsigned> g_folderCounter{0};

void WriteFile(const std::filesystem::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << "MZ not really a library";
}

// Keys and variables a crashed earlier run may have left behind in the private prefix.
class LeftoverState : public testing::Environment {
public:
    void SetUp() override {
        for (const HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
                for (const PCWSTR guid :
                     {L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
                      L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",
                      L"{BE59E8FD-089A-411B-A3B0-051D9E417818}"}) {
                    DeleteRegistryTree(
                        hive, std::wstring(L"Software\\Microsoft\\EdgeUpdate\\ClientState\\") + guid, view);
                }
                DeleteRegistryTree(
                    hive, L"Software\\Microsoft\\EdgeUpdate\\Clients\\{56EB18F8-B008-4CBD-B6D2-8C97FE7E9062}",
                    view);
            }
            DeleteRegistryTree(hive, L"Software\\Policies\\Microsoft\\Edge\\WebView2");
        }
        for (const PCWSTR name : {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"WEBVIEW2_USER_DATA_FOLDER",
                                  L"WEBVIEW2_USE_EDGE_VIEW", L"WEBVIEW2_RELEASE_CHANNELS",
                                  L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"}) {
            ::SetEnvironmentVariableW(name, nullptr);
        }
    }
};

[[maybe_unused]] testing::Environment* const g_leftoverState =
    testing::AddGlobalTestEnvironment(new LeftoverState);

} // namespace

void DeleteRegistryTree(HKEY hive, const std::wstring& path, REGSAM view) {
    {
        UniqueRegKey key;
        if (::RegOpenKeyExW(hive, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS) {
            return;
        }
        ::RegDeleteTreeW(key.get(), nullptr);
    }
    ::RegDeleteKeyExW(hive, path.c_str(), view, 0);
}

RegistryKeyGuard::RegistryKeyGuard(HKEY hive, std::wstring path, REGSAM view)
    : hive_(hive), path_(std::move(path)), view_(view) {
    OpenForWriting(hive_, path_, view_);
}

RegistryKeyGuard::~RegistryKeyGuard() {
    DeleteRegistryTree(hive_, path_, view_);
}

void RegistryKeyGuard::SetString(PCWSTR name, std::wstring_view value, bool withTerminator) const {
    const UniqueRegKey key = OpenForWriting(hive_, path_, view_);
    const std::wstring copy(value);
    const DWORD bytes = static_cast<DWORD>((copy.size() + (withTerminator ? 1 : 0)) * sizeof(wchar_t));
    Check(::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy.c_str()), bytes),
          "RegSetValueExW");
}

void RegistryKeyGuard::SetDword(PCWSTR name, DWORD value) const {
    const UniqueRegKey key = OpenForWriting(hive_, path_, view_);
    Check(
        ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
        "RegSetValueExW");
}

void RegistryKeyGuard::SetSubKeyString(PCWSTR subKey, PCWSTR name, std::wstring_view value) const {
    const UniqueRegKey key = OpenForWriting(hive_, path_ + L"\\" + subKey, view_);
    const std::wstring copy(value);
    Check(::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy.c_str()),
                           static_cast<DWORD>((copy.size() + 1) * sizeof(wchar_t))),
          "RegSetValueExW");
}

void RegistryKeyGuard::SetSubKeyDword(PCWSTR subKey, PCWSTR name, DWORD value) const {
    const UniqueRegKey key = OpenForWriting(hive_, path_ + L"\\" + subKey, view_);
    Check(
        ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)),
        "RegSetValueExW");
}

EnvironmentVariableGuard::EnvironmentVariableGuard(std::wstring name, std::optional<std::wstring> value)
    : name_(std::move(name)) {
    const DWORD size = ::GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
    if (size != 0) {
        std::wstring old(size, L'\0');
        old.resize(::GetEnvironmentVariableW(name_.c_str(), old.data(), size));
        previous_ = old;
    }
    ::SetEnvironmentVariableW(name_.c_str(), value ? value->c_str() : nullptr);
}

EnvironmentVariableGuard::~EnvironmentVariableGuard() {
    ::SetEnvironmentVariableW(name_.c_str(), previous_ ? previous_->c_str() : nullptr);
}

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) {
        throw std::runtime_error("GetTempPathW failed");
    }
    path_ = std::wstring(temp, length) + L"tallowmere-loader-" + std::to_wstring(::GetCurrentProcessId()) +
            L"-" + std::to_wstring(g_folderCounter++);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TempFolder::AddRuntime(const std::wstring& relative) const {
    const std::wstring folder = path_ + L"\\" + relative;
    std::filesystem::create_directories(folder + L"\\EBWebView\\x64");
    WriteFile(ClientDllPath(folder));
    return folder;
}

std::wstring TempFolder::AddUnopenableRuntime(const std::wstring& relative) const {
    const std::wstring folder = path_ + L"\\" + relative;
    std::filesystem::create_directories(ClientDllPath(folder));
    return folder;
}

std::wstring ClientDllPath(const std::wstring& runtimeFolder) {
    return runtimeFolder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
}

void PrintTo(const DebugPiece& piece, std::ostream* out) {
    *out << piece.kind << ":\"";
    for (const wchar_t c : piece.text) {
        if (c == L'\n') {
            *out << "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            *out << static_cast<char>(c);
        } else {
            *out << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
        }
    }
    *out << '"';
}

std::vector<DebugPiece> Pieces(std::initializer_list<std::pair<char, std::wstring>> pieces) {
    std::vector<DebugPiece> result;
    for (const auto& [kind, text] : pieces) {
        result.push_back({kind, text});
    }
    return result;
}

CapturingPlatform::CapturingPlatform() : table_(RealLoaderPlatform()) {
    table_.outputDebugStringA = &CaptureA;
    table_.outputDebugStringW = &CaptureW;
    table_.regOpenKeyExW = &RecordingRegOpenKeyExW;
    table_.tryCreatePackageDependency = nullptr;
    table_.addPackageDependency = nullptr;
    table_.getCurrentPackageInfo = nullptr;
    table_.getCurrentApplicationUserModelId = nullptr;
    table_.getCurrentProcessExplicitAppUserModelId = nullptr;
    g_current = this;
    Install();
}

CapturingPlatform::~CapturingPlatform() {
    override_.reset();
    g_current = nullptr;
}

void CapturingPlatform::Install() {
    override_.reset();
    override_.emplace(table_);
}

void CapturingPlatform::ProvidePackageFunctions() {
    table_.tryCreatePackageDependency = &FakeTryCreatePackageDependency;
    table_.addPackageDependency = &FakeAddPackageDependency;
    table_.getCurrentPackageInfo = &FakeGetCurrentPackageInfo;
    Install();
}

void CapturingPlatform::ProvideAppUserModelIdFunctions(std::optional<std::wstring> application,
                                                       std::optional<std::wstring> explicitOne) {
    applicationId = std::move(application);
    explicitId = std::move(explicitOne);
    table_.getCurrentApplicationUserModelId = &FakeGetCurrentApplicationUserModelId;
    table_.getCurrentProcessExplicitAppUserModelId = &FakeGetCurrentProcessExplicitAppUserModelId;
    Install();
}

std::wstring CapturingPlatform::Text() const {
    std::wstring text;
    for (const DebugPiece& piece : output) {
        text += piece.text;
    }
    return text;
}

std::wstring ExecutableFileName() {
    std::wstring path;
    EXPECT_EQ(GetModulePath(nullptr, path), S_OK);
    return path.substr(path.rfind(L'\\') + 1);
}
