#include "webhost/text/base64.h"

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
} // namespace

std::string Base64Encode(const unsigned char* bytes, size_t count) {
    std::string out;
    if (count == 0) {
        return out;
    }
    out.reserve((count + 2) / 3 * 4);
    for (size_t offset = 0; offset < count; offset += 3) {
        const unsigned b0 = bytes[offset];
        const unsigned b1 = offset + 1 < count ? bytes[offset + 1] : 0u;
        const unsigned b2 = offset + 2 < count ? bytes[offset + 2] : 0u;
        out.push_back(kAlphabet[b0 >> 2]);
        out.push_back(kAlphabet[((b0 & 3u) << 4) | (b1 >> 4)]);
        out.push_back(offset + 1 < count ? kAlphabet[((b1 & 15u) << 2) | (b2 >> 6)] : kPad);
        out.push_back(offset + 2 < count ? kAlphabet[b2 & 63u] : kPad);
    }
    return out;
}
