#include "loader/module_path.h"
#include "loader/runtime_discovery.h"
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const std::wstring kNotFoundText = L"WebView2: Failed to find the WebView2 client dll at: ";

std::wstring ExecutableFolder() {
    std::wstring path;
    EXPECT_EQ(GetModulePath(nullptr, path), S_OK);
    return path.substr(0, path.rfind(L'\\') + 1);
}

class FixedFolderTest : public testing::Test {
protected:
    CapturingPlatform platform_;
    std::wstring dllPath_;
};

TEST(ModulePath, NamesTheRunningExecutable) {
    std::wstring path;
    ASSERT_EQ(GetModulePath(nullptr, path), S_OK);
    EXPECT_EQ(path.find(L'\0'), std::wstring::npos);
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(path.substr(path.size() - 4), L".exe");
}

// Where the client library is looked for, by the folder's form; none of these exist.
TEST_F(FixedFolderTest, BuildsTheLibraryPathFromTheFolder) {
    const std::wstring exeFolder = ExecutableFolder();
    const std::wstring library = L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\tallowmere-no-rt", L"C:\\tallowmere-no-rt" + library},
        {L"c:\\tallowmere-no-rt\\", L"c:\\tallowmere-no-rt\\" + library},
        {L"\\\\server\\share\\rt", L"\\\\server\\share\\rt" + library},
        {L"tallowmere-no-rt", exeFolder + L"tallowmere-no-rt" + library},
        {L"C:tallowmere-no-rt", exeFolder + L"C:tallowmere-no-rt" + library},
        {L"C:/tallowmere-no-rt", exeFolder + L"C:/tallowmere-no-rt" + library},
        {L"\\tallowmere-no-rt", exeFolder + L"\\tallowmere-no-rt" + library},
        {L"\\\\", exeFolder + L"\\\\" + library},
    };
    for (const auto& [folder, expected] : cases) {
        platform_.output.clear();
        EXPECT_EQ(FindClientDllInFolder(folder.c_str(), dllPath_), kNotFound)
            << testing::PrintToString(folder);
        EXPECT_EQ(dllPath_, expected);
        EXPECT_EQ(platform_.output, Pieces({{'A', kNotFoundText}, {'W', expected}, {'A', L"\n"}}));
    }
}

TEST_F(FixedFolderTest, AcceptsAnyVersionInAnAbsoluteFolder) {
    TempFolder temp;
    const std::wstring old = temp.AddRuntime(L"85.0.0.0");
    EXPECT_EQ(FindClientDllInFolder(old.c_str(), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(old));
    EXPECT_TRUE(platform_.output.empty());
}

TEST_F(FixedFolderTest, AcceptsAFolderBesideTheExecutable) {
    const std::wstring name = L"fixed-runtime-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring folder = ExecutableFolder() + name;
    std::filesystem::create_directories(folder + L"\\EBWebView\\x64");
    { std::ofstream(std::filesystem::path(ClientDllPath(folder))) << "MZ"; }
    const HRESULT hr = FindClientDllInFolder(name.c_str(), dllPath_);
    std::filesystem::remove_all(folder);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(folder));
}

TEST_F(FixedFolderTest, InaccessibleLibraryIsReportedTwice) {
    TempFolder temp;
    const std::wstring folder = temp.AddUnopenableRuntime(L"rt");
    const std::wstring library = ClientDllPath(folder);
    EXPECT_EQ(FindClientDllInFolder(folder.c_str(), dllPath_), kNotFound);
    EXPECT_EQ(platform_.output, Pieces({{'A', L"WebView2: skipped inaccessible "},
                                        {'W', library},
                                        {'A', L"\n"},
                                        {'A', kNotFoundText},
                                        {'W', library},
                                        {'A', L"\n"}}));
}

} // namespace
