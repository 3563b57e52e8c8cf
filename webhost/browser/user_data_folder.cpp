#include "webhost/browser/user_data_folder.h"

#include <windows.h>
#include <shlobj.h>

namespace {

constexpr std::wstring_view kSuffix = L"\\Tallowmere\\WebView2";

std::wstring LocalAppDataFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
        return {};
    }
    return buffer;
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return std::wstring(buffer, length);
}

} // namespace

std::wstring ChooseUserDataFolder(std::wstring_view localAppData, std::wstring_view tempFolder) {
    std::wstring folder;
    if (!localAppData.empty()) {
        folder.assign(localAppData);
    } else if (!tempFolder.empty()) {
        folder.assign(tempFolder);
        if (folder.back() == L'\\' || folder.back() == L'/') {
            folder.pop_back();
        }
    } else {
        return folder;
    }
    folder.append(kSuffix);
    return folder;
}

std::wstring UserDataFolder() {
    const std::wstring localAppData = LocalAppDataFolder();
    return ChooseUserDataFolder(localAppData, localAppData.empty() ? TempFolder() : std::wstring());
}
