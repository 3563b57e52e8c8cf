#include "webhost/browser/user_data_folder.h"

#include <gtest/gtest.h>

namespace {

struct FolderCase {
    const char* what;
    std::wstring localAppData;
    std::wstring temp;
    std::wstring expected;
};

class UserDataFolderTable : public ::testing::TestWithParam<FolderCase> {};

TEST_P(UserDataFolderTable, Chooses) {
    EXPECT_EQ(ChooseUserDataFolder(GetParam().localAppData, GetParam().temp), GetParam().expected)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, UserDataFolderTable,
    ::testing::Values(
        FolderCase{"below local app data", L"C:\\Users\\u\\AppData\\Local", L"C:\\Temp\\",
                   L"C:\\Users\\u\\AppData\\Local\\Tallowmere\\WebView2"},
        FolderCase{"nothing added or removed", L"C:\\Data\\", L"", L"C:\\Data\\\\Tallowmere\\WebView2"},
        FolderCase{"unknown local app data: temp folder", L"", L"C:\\Users\\u\\AppData\\Local\\Temp\\",
                   L"C:\\Users\\u\\AppData\\Local\\Temp\\Tallowmere\\WebView2"},
        FolderCase{"temp folder without a trailing backslash", L"", L"D:\\tmp",
                   L"D:\\tmp\\Tallowmere\\WebView2"},
        FolderCase{"both unknown: the runtime decides", L"", L"", L""}));

TEST(UserDataFolder, EndsInTheProgramsOwnFolder) {
    const std::wstring folder = UserDataFolder();
    ASSERT_GT(folder.size(), 20u);
    EXPECT_EQ(folder.substr(folder.size() - 20), L"\\Tallowmere\\WebView2");
    EXPECT_NE(folder[0], L'\\') << "the folder must not be root-relative";
}

} // namespace
