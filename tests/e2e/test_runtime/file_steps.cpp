#include "test_runtime/file_steps.h"

#include "platform/unique_handle.h"
#include "test_runtime/dispatcher.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_protocol.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>

namespace test_runtime {
namespace {

const std::set<std::string> kFileSteps = {"write",    "safe-save",    "delete",
                                          "truncate", "write-slowly", "write-racing"};

// Bounds of a racing writer's loop, whichever comes first.
constexpr unsigned kMostRacingWrites = 20000;
constexpr UINT kLongestRaceMilliseconds = 2500;

// The extended-length form of a path, so that documents deeper than MAX_PATH can be edited.
std::wstring LongPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr));
    return full.rfind(L"\\\\", 0) == 0 ? full : L"\\\\?\\" + full;
}

std::string Utf8(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                            0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr,
                          nullptr);
    return out;
}

void CreateParentFolders(const std::wstring& longPath) {
    // Past the prefix and the drive: every folder on the way, the existing ones refusing harmlessly.
    for (size_t at = longPath.find(L'\\', 7); at != std::wstring::npos; at = longPath.find(L'\\', at + 1)) {
        ::CreateDirectoryW(longPath.substr(0, at).c_str(), nullptr);
    }
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

// Opens (creating it and its folders when needed) for writing; readers may share it.
UniqueFile OpenForWriting(const std::wstring& longPath, DWORD disposition) {
    CreateParentFolders(longPath);
    return UniqueFile(::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Overwrites the file's bytes in place and cuts what is left of the old ones.
bool WriteInPlace(const std::wstring& longPath, const std::string& bytes) {
    const UniqueFile file = OpenForWriting(longPath, OPEN_ALWAYS);
    return file && WriteAll(file.get(), bytes) && ::SetEndOfFile(file.get());
}

// An editor's safe save: the new text written whole to a temporary file, renamed over the document.
bool SafeSave(const std::wstring& longPath, const std::string& bytes) {
    const std::wstring temporary = longPath + L".saving~";
    {
        const UniqueFile file = OpenForWriting(temporary, CREATE_ALWAYS);
        if (!file || !WriteAll(file.get(), bytes)) {
            return false;
        }
    }
    return ::MoveFileExW(temporary.c_str(), longPath.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool Truncate(const std::wstring& longPath, long long length) {
    const UniqueFile file(::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER at{};
    at.QuadPart = length;
    return file && ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

// A writer on a thread of its own, racing the program's looks and reads: as an editor does, it opens the
// file for writing while sharing it with readers only. Every refused open counts.
struct Race {
    std::thread thread;
    std::atomic<bool> done{false};
    unsigned writes = 0;
    unsigned refused = 0;
    DWORD error = ERROR_SUCCESS;
};

void WriteRacing(Race& race, const std::wstring& longPath, const std::string& bytes) {
    const UniqueFile file(::CreateFileW(longPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ++race.writes;
    if (!file) {
        ++race.refused;
        race.error = ::GetLastError();
        return;
    }
    WriteAll(file.get(), bytes);
    ::SetEndOfFile(file.get());
}

// Waits on the script's own thread, through its message loop, until the race is over.
void AwaitRace(std::shared_ptr<Race> race, std::function<void()> next) {
    RunAfter(20, [race, next] {
        if (!race->done) {
            AwaitRace(race, next);
            return;
        }
        race->thread.join();
        Log("raced", {NumberField(race->writes), NumberField(race->refused)});
        if (race->refused != 0) {
            Log("file-failed", {"write-racing", NumberField(race->error)});
        }
        next();
    });
}

} // namespace

bool IsFileStep(const std::string& command) {
    return kFileSteps.count(command) != 0;
}

void RunFileStep(const std::string& command, const std::vector<std::wstring>& arguments,
                 std::function<void()> next) {
    const std::wstring path = arguments.empty() ? std::wstring() : LongPath(arguments[0]);
    const std::wstring text = arguments.size() > 1 ? arguments[1] : std::wstring();
    Log("file", {command, EscapeField(arguments.empty() ? std::wstring() : arguments[0])});
    bool done = false;
    if (command == "write") {
        done = WriteInPlace(path, Utf8(text));
    } else if (command == "safe-save") {
        done = SafeSave(path, Utf8(text));
    } else if (command == "delete") {
        done = ::DeleteFileW(path.c_str()) != FALSE;
    } else if (command == "truncate") {
        done = Truncate(path, std::wcstoll(text.c_str(), nullptr, 10));
    } else if (command == "write-racing") {
        auto race = std::make_shared<Race>();
        race->thread = std::thread([race, path, last = Utf8(text)] {
            const ULONGLONG end = ::GetTickCount64() + kLongestRaceMilliseconds;
            for (unsigned i = 0; i < kMostRacingWrites && ::GetTickCount64() < end; ++i) {
                WriteRacing(*race, path, "race " + std::to_string(i));
            }
            WriteRacing(*race, path, last);
            race->done = true;
        });
        AwaitRace(race, std::move(next));
        return;
    } else if (command == "write-slowly") {
        // A writer that truncates, writes the first half, keeps the file open for a while, then writes
        // the rest: a reader that shares the file with it meanwhile would see a cut document.
        const std::string bytes = Utf8(text);
        auto file = std::make_shared<UniqueFile>(OpenForWriting(path, CREATE_ALWAYS));
        if (*file && WriteAll(file->get(), bytes.substr(0, bytes.size() / 2))) {
            const UINT pause =
                arguments.size() > 2 ? static_cast<UINT>(std::wcstoul(arguments[2].c_str(), nullptr, 10)) : 0;
            RunAfter(pause, [file, rest = bytes.substr(bytes.size() / 2), next] {
                if (!WriteAll(file->get(), rest)) {
                    Log("file-failed", {"write-slowly", NumberField(::GetLastError())});
                }
                file->reset();
                next();
            });
            return;
        }
    }
    if (!done) {
        Log("file-failed", {command, NumberField(::GetLastError())});
    }
    next();
}

} // namespace test_runtime
