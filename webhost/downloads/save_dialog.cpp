#include "webhost/downloads/save_dialog.h"

#include "platform/unique_handle.h"
#include "webhost/tasks/window_tasks.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kCaption[] = L"Tallowmere";

// Only paths on a file system can be written; the dialog asks before replacing a file and refuses
// read-only ones and folders that are not there.
constexpr FILEOPENDIALOGOPTIONS kSaveOptions =
    FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_NOREADONLYRETURN | FOS_PATHMUSTEXIST;

// The one type the dialog lists, and the extension it adds to a bare name.
HRESULT OfferType(IFileSaveDialog* dialog, const SaveProposal& proposal) {
    if (proposal.extension.empty()) {
        return S_OK;
    }
    const std::wstring pattern = L"*." + proposal.extension;
    const std::wstring& label = proposal.typeLabel.empty() ? proposal.extension : proposal.typeLabel;
    const COMDLG_FILTERSPEC types[] = {{label.c_str(), pattern.c_str()}};
    HRESULT hr = dialog->SetFileTypes(1, types);
    if (SUCCEEDED(hr)) {
        hr = dialog->SetDefaultExtension(proposal.extension.c_str());
    }
    return hr;
}

HRESULT SetOptions(IFileSaveDialog* dialog, bool onlyThisType) {
    FILEOPENDIALOGOPTIONS options = 0;
    HRESULT hr = dialog->GetOptions(&options);
    if (SUCCEEDED(hr)) {
        options |= kSaveOptions;
        if (onlyThisType) {
            options |= FOS_STRICTFILETYPES;
        }
        hr = dialog->SetOptions(options);
    }
    return hr;
}

// A folder that cannot be had leaves the dialog where the system would open it.
void StartIn(IFileSaveDialog* dialog, const std::wstring& folder) noexcept {
    if (folder.empty()) {
        return;
    }
    ComPtr<IShellItem> item;
    if (SUCCEEDED(
            ::SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(item.GetAddressOf())))) {
        dialog->SetFolder(item.Get());
    }
}

} // namespace

HRESULT AskWhereToSave(HWND owner, const SaveProposal& proposal, std::wstring& chosen) noexcept {
    try {
        ComPtr<IFileSaveDialog> dialog;
        HRESULT hr = ::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(dialog.GetAddressOf()));
        if (SUCCEEDED(hr)) {
            hr = OfferType(dialog.Get(), proposal);
        }
        if (SUCCEEDED(hr)) {
            hr = SetOptions(dialog.Get(), proposal.onlyThisType);
        }
        if (SUCCEEDED(hr)) {
            StartIn(dialog.Get(), proposal.folder);
        }
        if (SUCCEEDED(hr) && !proposal.name.empty()) {
            hr = dialog->SetFileName(proposal.name.c_str());
        }
        if (SUCCEEDED(hr)) {
            hr = dialog->Show(owner);
        }
        if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
            return S_FALSE;
        }
        ComPtr<IShellItem> item;
        if (SUCCEEDED(hr)) {
            hr = dialog->GetResult(item.GetAddressOf());
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

void ReportSaveFailure(HWND window, std::wstring_view lead, const std::wstring& destination) noexcept {
    try {
        PostWindowTask(window, [window, text = std::wstring(lead) + destination] {
            ::MessageBoxW(window, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
        });
    } catch (...) {
        // Out of memory: the failure goes untold.
    }
}
