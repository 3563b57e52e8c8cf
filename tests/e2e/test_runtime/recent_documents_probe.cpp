#include "test_runtime/recent_documents_probe.h"

#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_protocol.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>

namespace test_runtime {
namespace {

using AddToRecentDocs = void(WINAPI*)(UINT flags, LPCVOID data);

std::atomic<AddToRecentDocs> g_shellFunction{nullptr};
std::atomic<size_t> g_calls{0};

void WINAPI RecordAndPassOn(UINT flags, LPCVOID data) noexcept {
    try {
        Log("recent", {flags == SHARD_PATHW ? EscapeField(static_cast<const wchar_t*>(data))
                                            : "flags=" + NumberField(flags)});
    } catch (...) {
        // The count below still shows the call.
    }
    ++g_calls;
    if (const AddToRecentDocs shell = g_shellFunction.load()) {
        shell(flags, data);
    }
}

// The host's import address slot for shell32's SHAddToRecentDocs, found by name; null when the host
// does not import it.
ULONG_PTR* ImportSlot() {
    auto* const base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    const auto* const dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* const headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) {
        return nullptr;
    }
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (_stricmp(reinterpret_cast<const char*>(base + module->Name), "shell32.dll") != 0 ||
            module->OriginalFirstThunk == 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* named = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(named->Name), "SHAddToRecentDocs") == 0) {
                return &slots->u1.Function;
            }
        }
    }
    return nullptr;
}

} // namespace

void InstallRecentDocumentsProbe() noexcept {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    ULONG_PTR* const slot = ImportSlot();
    DWORD protection = 0;
    if (slot == nullptr || !::VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) {
        return;
    }
    g_shellFunction = reinterpret_cast<AddToRecentDocs>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(&RecordAndPassOn);
    ::VirtualProtect(slot, sizeof(*slot), protection, &protection);
}

size_t RecentDocumentsAdded() noexcept {
    return g_calls.load();
}

} // namespace test_runtime
