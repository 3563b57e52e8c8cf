// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH + 1]{};
        ::GetTempPathW(MAX_PATH, base);
        wchar_t unique[32]{};
        static LONG counter = 0;
        swprintf(unique, 32, L"tm%lu_%ld", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
        path_ = std::wstring(base) + unique;
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::wstring from = path_;
        from.push_back(L'\0'); // SHFileOperationW takes a double-terminated list
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        ::SHFileOperationW(&op);
    }

    const std::wstring& path() const noexcept { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

    // Writes `bytes` exactly as given to a file in this folder and returns its full path.
    std::wstring WriteFile(std::wstring_view name, std::string_view bytes) const {
        const std::wstring file = *this / name;
        HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            ::CloseHandle(h);
        }
        return file;
    }

    std::wstring MakeFolder(std::wstring_view name) const {
        const std::wstring folder = *this / name;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        return folder;
    }

private:
    std::wstring path_;
};
