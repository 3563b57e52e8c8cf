#include "loader/runtime_channels.h"

namespace {

constexpr uint32_t kAllChannels = 0x1F;
constexpr uint32_t kPublicChannels = 0x0F;
constexpr uint32_t kInternalChannel = 0x10;

} // namespace

size_t GetChannelSearchOrder(const LoaderSettings& settings,
                             std::array<size_t, kRuntimeChannelCount>& channels) noexcept {
    uint32_t mask = settings.releaseChannelsSet ? settings.releaseChannels : kAllChannels;
    // Asking for all four public channels also admits Internal.
    if ((mask & ~kInternalChannel) == kPublicChannels) {
        mask = kAllChannels;
    }
    size_t count = 0;
    for (size_t k = 0; k < kRuntimeChannelCount; ++k) {
        const size_t n = settings.channelSearchKind == kLeastStableFirst ? kRuntimeChannelCount - 1 - k : k;
        if ((mask & (1u << n)) != 0) {
            channels[count++] = n;
        }
    }
    return count;
}
