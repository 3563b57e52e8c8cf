#include "webhost/serving/folder_listing.h"

#include "platform/long_path.h"
#include "webhost/text/case_insensitive.h"
#include "webhost/serving/document_root.h"
#include "webhost/serving/document_url.h"
#include "webhost/messages/json_escape.h"
#include "webhost/serving/page_origin.h"

#include <optional>
#include <vector>

namespace {

constexpr std::wstring_view kListedExtensions[] = {L"md", L"markdown", L"mdown", L"mkd", L"txt"};
// Folders of tools and packages, never of a project's own documents.
constexpr std::wstring_view kSkippedFolders[] = {L"node_modules"};
// Directory entries read per call of the platform.
constexpr size_t kBatchBytes = 64 * 1024;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

struct ListedEntry {
    std::wstring name;
    bool folder = false;
};

bool IsSkippedName(std::wstring_view name) noexcept {
    if (name.empty() || name.front() == L'.') {
        return true; // hidden by convention: ".git", ".github", ".vscode", and "." and ".." themselves
    }
    for (const std::wstring_view skipped : kSkippedFolders) {
        if (EqualsIgnoringCase(name, skipped)) {
            return true;
        }
    }
    return false;
}

bool HasListedExtension(std::wstring_view name) noexcept {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) {
        return false;
    }
    for (const std::wstring_view extension : kListedExtensions) {
        if (EqualsIgnoringCase(name.substr(dot + 1), extension)) {
            return true;
        }
    }
    return false;
}

// A reparse point that names something else (a symbolic link, a junction: a "name surrogate"), or one
// whose kind the platform does not say. Placeholders that only hold their own content stay.
bool LeadsElsewhere(const FILE_FULL_DIR_INFO& entry) noexcept {
    if ((entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    const DWORD tag = entry.EaSize; // for a reparse point the field holds its tag
    return tag == 0 || (tag & 0x20000000) != 0;
}

// The delivery number the address carries and the folder it names below the root, as segments; nothing
// when it is not in that form or passes through a folder the listing leaves out.
std::optional<std::vector<std::wstring>> FolderSegments(std::wstring_view uri, uint32_t& generation) {
    std::wstring_view rest = uri.substr(kFilesBase.size());
    uint64_t number = 0;
    size_t at = 0;
    for (; at < rest.size() && rest[at] >= L'0' && rest[at] <= L'9'; ++at) {
        number = number * 10 + static_cast<uint64_t>(rest[at] - L'0');
        if (number > UINT32_MAX) {
            return std::nullopt;
        }
    }
    if (at == 0 || at >= rest.size() || rest[at] != L'/' ||
        rest.find_first_of(L"?#") != std::wstring_view::npos) {
        return std::nullopt;
    }
    generation = static_cast<uint32_t>(number);
    rest = rest.substr(at + 1);
    std::vector<std::wstring> segments;
    while (!rest.empty()) {
        const size_t slash = rest.find(L'/');
        const std::optional<std::wstring> name = DecodeUrlSegment(rest.substr(0, slash));
        if (!name || !IsPlainFileName(*name) || IsSkippedName(*name)) {
            return std::nullopt;
        }
        segments.push_back(*name);
        if (slash == std::wstring_view::npos) {
            break;
        }
        rest = rest.substr(slash + 1);
        if (rest.empty()) {
            return std::nullopt; // "a/": an empty segment
        }
    }
    return segments;
}

// Every entry of the open folder worth listing, up to one past the cap.
std::vector<ListedEntry> ReadEntries(HANDLE folder, size_t maxEntries) {
    std::vector<ListedEntry> entries;
    std::vector<unsigned char> batch(kBatchBytes);
    // Each call goes on where the one before stopped, on a handle just opened from the start.
    while (entries.size() <= maxEntries &&
           ::GetFileInformationByHandleEx(folder, FileFullDirectoryInfo, batch.data(),
                                          static_cast<DWORD>(batch.size()))) {
        size_t offset = 0;
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(batch.data() + offset);
            const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            const bool isFolder = (entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool hidden = (entry->FileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            if (!hidden && !IsSkippedName(name) && !LeadsElsewhere(*entry) &&
                (isFolder || HasListedExtension(name))) {
                entries.push_back({std::wstring(name), isFolder});
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            offset += entry->NextEntryOffset;
        }
    }
    return entries;
}

bool IsAtOrInside(std::wstring_view path, std::wstring_view folder) noexcept {
    return !folder.empty() && (EqualsIgnoringCase(path, folder) || IsInsideFolder(path, folder));
}

void AppendMember(std::wstring& json, std::wstring_view name, std::wstring_view value) {
    json.append(L"\"").append(name).append(L"\":\"");
    AppendJsonEscaped(json, value);
    json.push_back(L'"');
}

std::wstring JoinSegments(const std::vector<std::wstring>& segments, wchar_t separator) {
    std::wstring joined;
    for (const std::wstring& segment : segments) {
        if (!joined.empty()) {
            joined.push_back(separator);
        }
        joined.append(segment);
    }
    return joined;
}

} // namespace

bool IsUnderFilesBase(std::wstring_view uri) noexcept {
    return uri.substr(0, kFilesBase.size()) == kFilesBase;
}

HRESULT ListDocumentFolder(std::wstring_view uri, const ServedDocument& document, std::wstring& json,
                           size_t maxEntries) noexcept {
    try {
        json.clear();
        if (document.path.empty() || !IsUnderFilesBase(uri)) {
            return S_FALSE;
        }
        uint32_t generation = 0;
        const std::optional<std::vector<std::wstring>> segments = FolderSegments(uri, generation);
        if (!segments || generation != document.generation) {
            return S_FALSE; // none shown, or an address of a document shown before
        }
        const std::wstring root = DocumentRootFolder(document.path);
        if (root.empty() || !IsInsideFolder(document.path, root)) {
            return S_FALSE;
        }
        std::wstring folder = root;
        for (const std::wstring& segment : *segments) {
            if (folder.back() != L'\\') {
                folder.push_back(L'\\');
            }
            folder.append(segment);
        }
        const UniqueFile handle(::CreateFileW(ExtendedLengthForm(folder).c_str(), FILE_LIST_DIRECTORY,
                                              kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                              nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (!handle || !::GetFileInformationByHandle(handle.get(), &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return S_FALSE;
        }
        // Where the folder really is: a link or junction on the way may lead anywhere.
        if (!IsAtOrInside(FinalPathOf(handle.get()), FinalPath(root))) {
            return S_FALSE;
        }
        std::vector<ListedEntry> entries = ReadEntries(handle.get(), maxEntries);
        const bool more = entries.size() > maxEntries;
        if (more) {
            entries.resize(maxEntries);
        }
        std::wstring shown = document.path.substr(root.size() + (root.back() == L'\\' ? 0 : 1));
        for (wchar_t& c : shown) {
            c = c == L'\\' ? L'/' : c;
        }
        json = L"{";
        AppendMember(json, L"folder", JoinSegments(*segments, L'/'));
        json.push_back(L',');
        AppendMember(json, L"document", shown);
        json.append(L",\"entries\":[");
        for (size_t i = 0; i < entries.size(); ++i) {
            json.append(i == 0 ? L"{" : L",{");
            AppendMember(json, L"name", entries[i].name);
            json.append(entries[i].folder ? L",\"folder\":true}" : L"}");
        }
        json.append(L"],\"more\":").append(more ? L"true" : L"false").push_back(L'}');
        return S_OK;
    } catch (...) {
        json.clear();
        return E_OUTOFMEMORY;
    }
}
