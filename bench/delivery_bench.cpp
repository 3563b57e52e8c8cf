// Document delivery throughput: reading + decoding alone, and the whole pipeline (reading, decoding,
// escaping and composing the openFile message), on one generated 64 MiB document. Prints MiB/s for
// each and their ratio; the goal is a pipeline at most twice the cost of reading and decoding. Then the
// same pipeline for a 10 MiB document in GBK (found as such on a Chinese system) against the same text
// in UTF-8: detecting and decoding a legacy encoding should add at most 10 %.
#include "app/document_decoding.h"
#include "app/document_text.h"
#include "webhost/messages/host_messages.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

std::string GenerateDocument(size_t targetBytes) {
    static const char* const kLines[] = {
        "# \xE6\x96\x87\xE6\xA1\xA3\xE6\xA0\x87\xE9\xA2\x98 Heading\r\n",
        "Plain English text with \"quotes\", a back\\slash and a\ttab.\r\n",
        "\xE4\xB8\xAD\xE6\x96\x87\xE6\xAE\xB5\xE8\x90\xBD\xEF\xBC\x8C\xE6\xB2\xA1\xE6\x9C\x89\xE7\xA9\xBA"
        "\xE6\xA0\xBC\xE7\x9A\x84\xE5\x8F\xA5\xE5\xAD\x90\xE3\x80\x82\r\n",
        "- list item with `code` and **bold** text\r\n",
        "| a | b | \xE8\xA1\xA8 |\r\n",
        "\r\n",
    };
    std::string doc;
    doc.reserve(targetBytes + 256);
    for (size_t i = 0; doc.size() < targetBytes; ++i) {
        doc += kLines[i % (sizeof(kLines) / sizeof(kLines[0]))];
    }
    return doc;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return written == bytes.size();
}

// The UTF-8 text in code page 936.
std::string ToGbk(const std::string& utf8) {
    const std::wstring text = DecodeDocument(utf8).text;
    const int count = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(936, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(936, 0, text.data(), count, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

template <typename F> double BestSeconds(int rounds, F&& work) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main() {
    constexpr size_t kBytes = size_t{64} << 20;
    wchar_t folder[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"tallowmere-delivery-bench.md";
    const std::string doc = GenerateDocument(kBytes);
    HANDLE h =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot write %ls\n", path.c_str());
        return 1;
    }
    DWORD written = 0;
    ::WriteFile(h, doc.data(), static_cast<DWORD>(doc.size()), &written, nullptr);
    ::CloseHandle(h);

    size_t sink = 0;
    const double readDecode = BestSeconds(5, [&] { sink += ReadDocumentText(path).size(); });
    const double pipeline = BestSeconds(5, [&] {
        const std::wstring text = ReadDocumentText(path);
        sink += ComposeOpenFileMessage(L"bench.md", text, 1).size();
    });
    ::DeleteFileW(path.c_str());

    // The whole delivery on a Chinese system, of the same text in UTF-8 and in GBK.
    const std::string utf8 = GenerateDocument(size_t{10} << 20);
    const std::string gbk = ToGbk(utf8);
    const std::wstring utf8Path = std::wstring(folder) + L"tallowmere-delivery-bench-utf8.md";
    const std::wstring gbkPath = std::wstring(folder) + L"tallowmere-delivery-bench-gbk.md";
    if (!WriteBytes(utf8Path, utf8) || !WriteBytes(gbkPath, gbk)) {
        std::fprintf(stderr, "cannot write the 10 MiB documents\n");
        return 1;
    }
    std::wstring found;
    const auto deliver = [&](const std::wstring& file) {
        const DecodedDocument decoded = DecodeDocumentOn(936, ReadDocumentBytes(file).bytes);
        found = decoded.encoding;
        sink += ComposeOpenFileMessage(L"bench.md", decoded.text, 1, {}, false, {}, decoded.encoding).size();
    };
    const double utf8Delivery = BestSeconds(5, [&] { deliver(utf8Path); });
    const std::wstring utf8Found = found;
    const double gbkDelivery = BestSeconds(5, [&] { deliver(gbkPath); });
    ::DeleteFileW(utf8Path.c_str());
    ::DeleteFileW(gbkPath.c_str());

    const double mib = static_cast<double>(doc.size()) / (1024.0 * 1024.0);
    std::printf("document: %.1f MiB\n", mib);
    std::printf("read + decode:                 %8.1f ms  %8.1f MiB/s\n", readDecode * 1e3, mib / readDecode);
    std::printf("read + decode + escape + compose: %5.1f ms  %8.1f MiB/s\n", pipeline * 1e3, mib / pipeline);
    std::printf("ratio pipeline / read+decode: %.2f (goal <= 2.00)\n", pipeline / readDecode);
    std::printf("10 MiB delivery, UTF-8 (%ls, %.1f MiB): %8.1f ms\n", utf8Found.c_str(),
                static_cast<double>(utf8.size()) / (1024.0 * 1024.0), utf8Delivery * 1e3);
    std::printf("10 MiB delivery, GBK (%ls, %.1f MiB):   %8.1f ms\n", found.c_str(),
                static_cast<double>(gbk.size()) / (1024.0 * 1024.0), gbkDelivery * 1e3);
    std::printf("ratio GBK / UTF-8 delivery: %.2f (goal <= 1.10)\n", gbkDelivery / utf8Delivery);
    return sink == 0 ? 1 : 0;
}
