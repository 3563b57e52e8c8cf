#include "webhost/document_download.h"

#include "webhost/document_file.h"
#include "webhost/download_policy.h"
#include "webhost/window_tasks.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <thread>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kCaption[] = L"Tallowmere";
constexpr wchar_t kSaveFailed[] = L"\u6587\u4EF6\u672A\u80FD\u4FDD\u5B58\uFF1A\n"; // 文件未能保存：
constexpr DWORD kCopyChunkBytes = 1u << 20;

// Touched on the window's thread only.
bool g_dialogOpen = false;

struct PendingSave {
    HWND window = nullptr;
    DocumentFile source;
    std::wstring saveName;
};

// The file's type as the dialog lists it: its extension, and nothing else to choose.
HRESULT RestrictToExtension(IFileSaveDialog* dialog, const std::wstring& extension) {
    if (extension.empty()) {
        return S_OK;
    }
    const std::wstring pattern = L"*." + extension;
    const COMDLG_FILTERSPEC types[] = {{extension.c_str(), pattern.c_str()}};
    HRESULT hr = dialog->SetFileTypes(1, types);
    if (SUCCEEDED(hr)) {
        hr = dialog->SetDefaultExtension(extension.c_str());
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(hr)) {
        hr = dialog->GetOptions(&options);
    }
    if (SUCCEEDED(hr)) {
        hr = dialog->SetOptions(options | FOS_STRICTFILETYPES | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM |
                                FOS_NOREADONLYRETURN | FOS_PATHMUSTEXIST);
    }
    return hr;
}

// The path the user chose; S_FALSE when the dialog was cancelled.
HRESULT AskWhereToSave(HWND owner, const std::wstring& saveName, const std::wstring& extension,
                       std::wstring& chosen) noexcept {
    try {
        ComPtr<IFileSaveDialog> dialog;
        HRESULT hr = ::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(dialog.GetAddressOf()));
        if (SUCCEEDED(hr)) {
            hr = RestrictToExtension(dialog.Get(), extension);
        }
        if (SUCCEEDED(hr)) {
            hr = dialog->SetFileName(saveName.c_str());
        }
        if (SUCCEEDED(hr)) {
            hr = dialog->Show(owner);
        }
        if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
            return S_FALSE;
        }
        ComPtr<IShellItem> item;
        if (SUCCEEDED(hr)) {
            hr = dialog->GetResult(&item);
        }
        UniqueCoTaskString path;
        if (SUCCEEDED(hr)) {
            hr = item->GetDisplayName(SIGDN_FILESYSPATH, path.put());
        }
        if (SUCCEEDED(hr)) {
            chosen = path.get();
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

bool CopyWhole(HANDLE from, HANDLE to) noexcept {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) {
        return false;
    }
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyChunkBytes]);
    if (!buffer) {
        return false;
    }
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.get(), kCopyChunkBytes, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        DWORD written = 0;
        if (!::WriteFile(to, buffer.get(), got, &written, nullptr) || written != got) {
            return false;
        }
    }
}

void ReportFailure(HWND window, const std::wstring& destination) noexcept {
    try {
        PostWindowTask(window, [window, destination] {
            const std::wstring text = kSaveFailed + destination;
            ::MessageBoxW(window, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
        });
    } catch (...) {
    }
}

// On a worker: the copy, removed again when it cannot be completed.
void CopyToDestination(const std::shared_ptr<PendingSave>& save, const std::wstring& destination,
                       bool mayReplace) noexcept {
    bool copied = false;
    {
        UniqueFile target(::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr,
                                        mayReplace ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
        if (!target) {
            ReportFailure(save->window, destination);
            return;
        }
        copied = CopyWhole(save->source.file.get(), target.get());
    }
    if (!copied) {
        ::DeleteFileW(destination.c_str());
        ReportFailure(save->window, destination);
    }
}

// On the window's thread: the dialog, then the copy handed to a worker.
void AskAndCopy(const std::shared_ptr<PendingSave>& save) {
    if (g_dialogOpen || !::IsWindow(save->window)) {
        return;
    }
    const std::wstring extension(ExtensionOf(save->source.path));
    std::wstring chosen;
    g_dialogOpen = true;
    const HRESULT asked = AskWhereToSave(save->window, save->saveName, extension, chosen);
    g_dialogOpen = false;
    if (asked != S_OK || chosen.empty()) {
        return;
    }
    // Should the dialog have let another extension through, the file's own is added; the name so made
    // was never confirmed for replacing, so it must be new.
    bool mayReplace = true;
    if (!extension.empty() && _wcsicmp(std::wstring(ExtensionOf(chosen)).c_str(), extension.c_str()) != 0) {
        chosen.append(L".").append(extension);
        mayReplace = false;
    }
    std::thread([save, chosen, mayReplace] { CopyToDestination(save, chosen, mayReplace); }).detach();
}

// On a worker: opens the file as the page's requests would; only a file that would be served is offered.
void OpenAndOffer(const std::shared_ptr<PendingSave>& save, const std::wstring& uri,
                  const ServedDocument& document) noexcept {
    try {
        if (OpenDocumentFile(uri, document, save->source) != S_OK) {
            return;
        }
        PostWindowTask(save->window, [save] { AskAndCopy(save); });
    } catch (...) {
        // Out of memory: nothing is offered.
    }
}

} // namespace

void SaveDocumentFileLater(HWND mainWindow, std::wstring uri, ServedDocument document,
                           std::wstring saveName) noexcept {
    try {
        if (g_dialogOpen) {
            return;
        }
        auto save = std::make_shared<PendingSave>();
        save->window = mainWindow;
        save->saveName = std::move(saveName);
        std::thread([save, uri = std::move(uri), document = std::move(document)] {
            OpenAndOffer(save, uri, document);
        }).detach();
    } catch (...) {
        // No memory or no thread: nothing is offered.
    }
}
