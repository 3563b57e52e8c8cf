#include "webhost/links/context_menu_handler.h"

#include "platform/unique_handle.h"

#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

enum class Entry { Keep, Remove, Separator };

Entry Classify(ICoreWebView2ContextMenuItem* item) noexcept {
    int kind = 0;
    if (SUCCEEDED(item->get_Kind(&kind)) && kind == kContextMenuItemSeparator) {
        return Entry::Separator;
    }
    UniqueCoTaskString name;
    if (FAILED(item->get_Name(name.put())) || !name) {
        return Entry::Keep;
    }
    for (const std::wstring_view removed : kRemovedMenuItems) {
        if (removed == name.get()) {
            return Entry::Remove;
        }
    }
    return Entry::Keep;
}

} // namespace

HRESULT STDMETHODCALLTYPE ContextMenuRequestedHandler::Invoke(
    ICoreWebView2* /*sender*/, ICoreWebView2ContextMenuRequestedEventArgs* args) noexcept {
    ComPtr<ICoreWebView2ContextMenuItemCollection> items;
    UINT32 count = 0;
    if (args == nullptr || FAILED(args->get_MenuItems(&items)) || !items ||
        FAILED(items->get_Count(&count))) {
        return S_OK;
    }
    try {
        std::vector<Entry> entries;
        for (UINT32 i = 0; i < count; ++i) {
            ComPtr<ICoreWebView2ContextMenuItem> item;
            const bool got = SUCCEEDED(items->GetValueAtIndex(i, &item)) && item;
            entries.push_back(got ? Classify(item.Get()) : Entry::Keep);
        }
        // Which separators still separate something once the items are gone: one before a kept item,
        // after at least one kept item.
        std::vector<bool> remove(entries.size(), false);
        bool keptBefore = false;
        size_t pendingSeparator = entries.size();
        for (size_t i = 0; i < entries.size(); ++i) {
            switch (entries[i]) {
            case Entry::Remove:
                remove[i] = true;
                break;
            case Entry::Separator:
                remove[i] = true;
                if (keptBefore && pendingSeparator == entries.size()) {
                    pendingSeparator = i;
                }
                break;
            case Entry::Keep:
                if (pendingSeparator != entries.size()) {
                    remove[pendingSeparator] = false;
                    pendingSeparator = entries.size();
                }
                keptBefore = true;
                break;
            }
        }
        // From the end, so that the indexes still to come stay valid.
        for (size_t i = entries.size(); i-- > 0;) {
            if (remove[i]) {
                items->RemoveValueAtIndex(static_cast<UINT32>(i));
            }
        }
    } catch (...) {
        // Out of memory: the menu shows as the runtime made it.
    }
    return S_OK;
}
