#include "loader/loader_options.h"

#include "loader/edge_view_options.h"
#include "platform/browser_abi.h"

#include <wrl/client.h>

bool ReadEdgeViewOption(IUnknown* environmentOptions) noexcept {
    if (environmentOptions == nullptr) {
        return false;
    }
    Microsoft::WRL::ComPtr<IEdgeViewEnvironmentOptions> options;
    if (environmentOptions->QueryInterface(IID_IEdgeViewEnvironmentOptions,
                                           reinterpret_cast<void**>(options.GetAddressOf())) != S_OK ||
        !options) {
        return false;
    }
    INT32 value = 0;
    return options->get_UseEdgeView(&value) == S_OK && value == 1;
}

void ReadOptionsChannelSettings(IUnknown* environmentOptions, LoaderSettings& settings) noexcept {
    if (environmentOptions == nullptr || (settings.channelSearchKindSet && settings.releaseChannelsSet)) {
        return;
    }
    Microsoft::WRL::ComPtr<ICoreWebView2EnvironmentOptions7> options;
    if (FAILED(environmentOptions->QueryInterface(IID_ICoreWebView2EnvironmentOptions7,
                                                  reinterpret_cast<void**>(options.GetAddressOf()))) ||
        !options) {
        return;
    }
    if (!settings.channelSearchKindSet) {
        int kind = 0;
        if (SUCCEEDED(options->get_ChannelSearchKind(&kind)) && kind == kLeastStableFirst) {
            settings.channelSearchKind = kLeastStableFirst;
        }
    }
    if (!settings.releaseChannelsSet) {
        int channels = 0;
        if (SUCCEEDED(options->get_ReleaseChannels(&channels)) && channels != 0) {
            settings.releaseChannels = static_cast<uint32_t>(channels);
            settings.releaseChannelsSet = true;
        }
    }
}
