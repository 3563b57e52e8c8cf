#include "test_runtime/web_resources.h"

#include "platform/unique_handle.h"
#include "support/web_resource_objects.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_protocol.h"

#include <bcrypt.h>

using Microsoft::WRL::ComPtr;
using namespace stand_in;

namespace test_runtime {
namespace {

constexpr size_t kLoggedBodyLimit = 4096;

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type invalid() noexcept { return nullptr; }
    static void close(Type h) noexcept { ::BCryptDestroyHash(h); }
};

std::string Sha256Hex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    UniqueHandle<AlgorithmTraits> algorithm;
    UniqueHandle<HashTraits> hash;
    unsigned char digest[32] = {};
    if (::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
        ::BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0) != 0 ||
        ::BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                         static_cast<ULONG>(bytes.size()), 0) != 0 ||
        ::BCryptFinishHash(hash.get(), digest, sizeof(digest), 0) != 0) {
        return "no-digest";
    }
    std::string hex;
    for (const unsigned char byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 0xF]);
    }
    return hex;
}

// Bytes as a text of one code unit each, for the log's escaped field.
std::wstring ByteText(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    }
    return text;
}

} // namespace

void LogResponse(ComPtr<StandInResponse> response, const std::wstring& uri) {
    ComPtr<IStream> stream = std::move(response->content);
    std::string body;
    const HRESULT read = stream ? ReadWhole(stream.Get(), body) : S_OK;
    if (FAILED(read)) {
        Log("stream-failed", {HresultField(read)});
        // A read that timed out may still be using the stream.
        return;
    }
    Log("response",
        {NumberField(response->status), EscapeField(response->reason), EscapeField(response->headers),
         NumberField(static_cast<long long>(body.size())), Sha256Hex(body),
         body.size() <= kLoggedBodyLimit ? EscapeField(ByteText(body)) : std::string("\\z")});
    response.Reset();
    if (stream) {
        const ULONG left = stream.Detach()->Release();
        if (left != 0) {
            Log("stream-leaked", {EscapeField(uri), NumberField(static_cast<long long>(left))});
        }
    }
}

} // namespace test_runtime
