#include "test_runtime/page_script.h"

#include "platform/unique_handle.h"
#include "support/dropped_files.h"
#include "test_runtime/dispatcher.h"
#include "test_runtime/file_steps.h"
#include "test_runtime/recent_documents_probe.h"
#include "test_runtime/runtime_log.h"
#include "test_runtime/runtime_objects.h"
#include "test_runtime/runtime_protocol.h"

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace test_runtime {
namespace {

constexpr UINT kDefaultAwaitTimeout = 10000;

struct Step {
    std::string command;
    std::vector<std::wstring> arguments;
};

struct Player {
    bool started = false;
    std::vector<Step> steps;
    size_t next = 0;
    std::set<RuntimeEvent> seen;
    bool awaiting = false;
    RuntimeEvent awaited = RuntimeEvent::Navigated;
    size_t awaitedPosts = 0;
    unsigned awaitGeneration = 0;
    size_t posts = 0;
};

Player& State() {
    static Player player;
    return player;
}

std::wstring ScriptPath() {
    wchar_t buffer[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(kScriptVariable, buffer, 1024);
    return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

std::vector<Step> ReadScript(const std::wstring& path) {
    std::vector<Step> steps;
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Log("script-missing", {EscapeField(path)});
        return steps;
    }
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::vector<std::string> fields = SplitFields(line);
        if (!fields.empty() && fields[0][0] != '#') {
            Step step{fields[0], {}};
            for (size_t i = 1; i < fields.size(); ++i) {
                step.arguments.push_back(UnescapeField(fields[i]));
            }
            steps.push_back(std::move(step));
        }
        start = end + 1;
    }
    return steps;
}

unsigned ArgumentNumber(const Step& step, size_t index, unsigned fallback) {
    return index < step.arguments.size()
               ? static_cast<unsigned>(std::wcstoul(step.arguments[index].c_str(), nullptr, 10))
               : fallback;
}

void PlayNext() noexcept;

void ContinueLater() {
    Post(PlayNext);
}

// --- the page's side -------------------------------------------------------------------------------

void PostFromPage(const std::wstring& json) {
    TestWebView* page = TestWebView::Current();
    Log("page-post", {EscapeField(json)});
    const size_t delivered = page == nullptr ? 0 : page->PostFromPage(json);
    Log("page-post-delivered", {NumberField(static_cast<long long>(delivered))});
}

// The user acts on the window, as with a click that starts a download: the window comes to the front and
// gets a real key press (Shift, which does nothing), so that the system's last-input time is now.
void UserActs() {
    ::SetForegroundWindow(MainWindow());
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_SHIFT;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

// What the page asks of the runtime: a resource (uri, Range header, method), a new window for a link
// (uri, user-initiated 1/0), or a navigation of the page itself (likewise).
void RunPageAction(const std::string& command, const std::vector<std::wstring>& args) {
    TestWebView* page = TestWebView::Current();
    const std::wstring uri = args.empty() ? std::wstring() : args[0];
    if (page == nullptr) {
        Log("no-page", {EscapeField(uri)});
        return;
    }
    const bool userInitiated = args.size() < 2 || args[1] != L"0";
    if (command == "download") {
        if (args.size() < 3 || args[2] != L"0") {
            UserActs();
        }
        page->StartDownload(uri, args.size() > 1 ? args[1] : std::wstring());
    } else if (command == "context-menu") {
        page->ShowContextMenu(args);
    } else if (command == "reload") {
        page->ReloadPage();
    } else if (command == "request" || command == "request-later") {
        page->RequestFromPage(uri, args.size() > 1 ? args[1] : std::wstring(),
                              args.size() > 2 ? args[2] : std::wstring(L"GET"));
    } else if (command == "new-window") {
        page->RequestNewWindow(uri, userInitiated);
    } else {
        page->NavigateFromPage(uri, userInitiated);
    }
}

// --- the user's side: a real WM_DROPFILES, as the shell would send it ------------------------------

void DropFiles(const std::vector<std::wstring>& paths) {
    if (FAILED(PostDroppedFiles(MainWindow(), paths))) {
        Log("drop-failed", {"PostDroppedFiles"});
    }
}

// --- the user's side: the save dialog the program shows ---------------------------------------------

BOOL CALLBACK FindDialog(HWND window, LPARAM found) noexcept {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && std::wcscmp(name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindFileNameBox(HWND window, LPARAM found) noexcept {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && _wcsicmp(name, L"Edit") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog of this thread and its file name box (the first edit box in it); null when none.
HWND FileNameBox(HWND& dialog) {
    dialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    HWND box = nullptr;
    if (dialog != nullptr) {
        ::EnumChildWindows(dialog, FindFileNameBox, reinterpret_cast<LPARAM>(&box));
    }
    return box;
}

// `log-save-dialog`: its title and the name it offers; `save-dialog <path>`: the user types a path and
// presses Save; `cancel-dialog`: the user cancels.
void RunDialogStep(const std::string& command, const std::vector<std::wstring>& args) {
    HWND dialog = nullptr;
    const HWND box = FileNameBox(dialog);
    if (box == nullptr) {
        Log("no-dialog", {});
        return;
    }
    if (command == "log-save-dialog") {
        wchar_t title[256] = {};
        wchar_t name[1024] = {};
        ::GetWindowTextW(dialog, title, 256);
        ::GetWindowTextW(box, name, 1024);
        Log("save-dialog", {EscapeField(std::wstring_view(title)), EscapeField(std::wstring_view(name))});
        return;
    }
    if (command == "save-dialog") {
        const std::wstring path = args.empty() ? std::wstring() : args[0];
        ::SetWindowTextW(box, path.c_str());
        Log("dialog-save", {EscapeField(path)});
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    } else {
        Log("dialog-cancel", {});
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
    }
}

BOOL CALLBACK CountDialog(HWND window, LPARAM count) noexcept {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::IsWindowVisible(window) && std::wcscmp(name, L"#32770") == 0) {
        ++*reinterpret_cast<long long*>(count);
    }
    return TRUE;
}

// --- steps -----------------------------------------------------------------------------------------

bool Arrived(const Player& player) {
    switch (player.awaited) {
    case RuntimeEvent::Posted:
        return player.posts >= player.awaitedPosts;
    case RuntimeEvent::Answered:
        return TestWebView::PendingRequests() == 0;
    case RuntimeEvent::AddedToRecent:
        return RecentDocumentsAdded() >= player.awaitedPosts;
    default:
        return player.seen.count(player.awaited) != 0;
    }
}

const char* EventName(RuntimeEvent event) {
    switch (event) {
    case RuntimeEvent::Navigated:
        return "navigation";
    case RuntimeEvent::ControllerCompleted:
        return "controller";
    case RuntimeEvent::Posted:
        return "post";
    case RuntimeEvent::Answered:
        return "answers";
    case RuntimeEvent::AddedToRecent:
        return "recent";
    }
    return "?";
}

// The host adds to the recent documents from a worker, which cannot notify the script: it looks every
// 20 ms until the awaited count is reached or the await is over.
void LookForRecentDocuments(unsigned generation) {
    RunAfter(20, [generation] {
        Player& state = State();
        if (!state.awaiting || state.awaitGeneration != generation) {
            return;
        }
        if (Arrived(state)) {
            state.awaiting = false;
            ContinueLater();
        } else {
            LookForRecentDocuments(generation);
        }
    });
}

// Waits for an event, or (posts, recent) until the host has posted `posts` messages or added that many
// documents to the recent documents in all.
void Await(RuntimeEvent event, size_t posts, unsigned timeout) {
    Player& player = State();
    player.awaited = event;
    player.awaitedPosts = posts;
    if (Arrived(player)) {
        ContinueLater();
        return;
    }
    player.awaiting = true;
    const unsigned generation = ++player.awaitGeneration;
    RunAfter(timeout, [generation] {
        Player& state = State();
        if (state.awaiting && state.awaitGeneration == generation) {
            state.awaiting = false;
            Log("timeout", {EventName(state.awaited)});
            ContinueLater();
        }
    });
    if (event == RuntimeEvent::AddedToRecent) {
        LookForRecentDocuments(generation);
    }
}

// A message sent to the main window from a thread of its own, as the system sends one before it calls a
// window "Not responding": whether it was answered within the patience, and how long that took.
struct WindowProbe {
    std::thread thread;
    std::atomic<bool> done{false};
    bool answered = false;
    ULONGLONG took = 0;
};

// Waits on the script's own thread, through its message loop, for the probe; logs it and goes on.
void AwaitProbe(std::shared_ptr<WindowProbe> probe) {
    RunAfter(10, [probe] {
        if (!probe->done) {
            AwaitProbe(probe);
            return;
        }
        probe->thread.join();
        Log("window-answered",
            {NumberField(probe->answered ? 1 : 0), NumberField(static_cast<long long>(probe->took))});
        ContinueLater();
    });
}

void ProbeWindow(UINT patience) {
    auto probe = std::make_shared<WindowProbe>();
    probe->thread = std::thread([probe, window = MainWindow(), patience] {
        DWORD_PTR result = 0;
        const ULONGLONG start = ::GetTickCount64();
        probe->answered = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, patience, &result) != 0;
        probe->took = ::GetTickCount64() - start;
        probe->done = true;
    });
    AwaitProbe(probe);
}

// Runs one step; returns false when the step continues the script itself (wait, await).
bool RunStep(const Step& step) {
    const std::string& command = step.command;
    const std::vector<std::wstring>& args = step.arguments;
    if (command == "wait") {
        RunAfter(ArgumentNumber(step, 0, 0), PlayNext);
        return false;
    }
    if (command == "await") {
        if (!args.empty() && args[0] == L"answers") {
            Await(RuntimeEvent::Answered, 0, ArgumentNumber(step, 1, kDefaultAwaitTimeout));
            return false;
        }
        if (!args.empty() && (args[0] == L"post" || args[0] == L"recent")) {
            Await(args[0] == L"post" ? RuntimeEvent::Posted : RuntimeEvent::AddedToRecent,
                  ArgumentNumber(step, 1, 1), ArgumentNumber(step, 2, kDefaultAwaitTimeout));
            return false;
        }
        const bool navigation = args.empty() || args[0] == L"navigation";
        Await(navigation ? RuntimeEvent::Navigated : RuntimeEvent::ControllerCompleted, 0,
              ArgumentNumber(step, 1, kDefaultAwaitTimeout));
        return false;
    }
    if (command == "probe-window") {
        ProbeWindow(ArgumentNumber(step, 0, 50));
        return false;
    }
    if (IsFileStep(command)) {
        RunFileStep(command, args, ContinueLater);
        return false;
    }
    if (command == "ready") {
        PostFromPage(L"{\"action\":\"ready\"}");
    } else if (command == "close-doc") {
        // The page names the delivery it shows, as the viewer page does.
        const TestWebView* page = TestWebView::Current();
        const std::wstring generation = page == nullptr ? std::wstring() : page->ShownGeneration();
        PostFromPage(generation.empty() ? L"{\"action\":\"closeDoc\"}"
                                        : L"{\"action\":\"closeDoc\",\"generation\":" + generation + L"}");
    } else if (command == "post") {
        PostFromPage(args.empty() ? std::wstring() : args[0]);
    } else if (command == "drop") {
        std::vector<std::string> paths;
        for (const std::wstring& path : args) {
            paths.push_back(EscapeField(path));
        }
        Log("drop", paths);
        DropFiles(args);
    } else if (command == "resize") {
        const int width = static_cast<int>(ArgumentNumber(step, 0, 800));
        const int height = static_cast<int>(ArgumentNumber(step, 1, 600));
        Log("resize", {NumberField(width), NumberField(height)});
        ::SetWindowPos(MainWindow(), nullptr, 0, 0, width, height,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (command == "set-title") {
        ::SetWindowTextW(MainWindow(), args.empty() ? L"" : args[0].c_str());
    } else if (command == "log-title") {
        wchar_t title[512] = {};
        ::GetWindowTextW(MainWindow(), title, 512);
        Log("title", {EscapeField(std::wstring_view(title))});
    } else if (command == "log-dialogs") {
        long long count = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), CountDialog, reinterpret_cast<LPARAM>(&count));
        Log("dialogs", {NumberField(count)});
    } else if (command == "request") {
        // Like a page awaiting a fetch: the script goes on once every request so far is answered.
        RunPageAction(command, args);
        Await(RuntimeEvent::Answered, 0, kDefaultAwaitTimeout);
        return false;
    } else if (command == "request-later" || command == "new-window" || command == "follow-link" ||
               command == "download" || command == "context-menu" || command == "reload") {
        RunPageAction(command, args);
    } else if (command == "log-save-dialog" || command == "save-dialog" || command == "cancel-dialog") {
        RunDialogStep(command, args);
    } else if (command == "close") {
        Log("close", {});
        ::PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
    } else {
        Log("unknown-step", {EscapeField(std::wstring(command.begin(), command.end()))});
    }
    return true;
}

void PlayNext() noexcept {
    try {
        Player& player = State();
        if (player.next >= player.steps.size()) {
            if (player.next == player.steps.size()) {
                ++player.next;
                Log("script-end", {});
            }
            return;
        }
        const Step& step = player.steps[player.next++];
        if (RunStep(step)) {
            ContinueLater();
        }
    } catch (...) {
        Log("script-failed", {});
    }
}

} // namespace

void StartPageScript() noexcept {
    try {
        Player& player = State();
        if (player.started) {
            return;
        }
        player.started = true;
        const std::wstring path = ScriptPath();
        if (path.empty()) {
            return;
        }
        player.steps = ReadScript(path);
        ContinueLater();
    } catch (...) {
        Log("script-failed", {});
    }
}

void NotifyRuntimeEvent(RuntimeEvent event) noexcept {
    try {
        Player& player = State();
        player.seen.insert(event);
        if (event == RuntimeEvent::Posted) {
            ++player.posts;
        }
        if (player.awaiting && Arrived(player)) {
            player.awaiting = false;
            ContinueLater();
        }
    } catch (...) {
    }
}

} // namespace test_runtime
