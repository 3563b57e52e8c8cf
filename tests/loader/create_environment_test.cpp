#include "environment_test_support.h"
#include "loader/create_environment.h"
#include "loader/hresult_text.h"
#include "platform/com_adopt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kProcNotFound = static_cast<HRESULT>(0x8007007F);
constexpr HRESULT kModuleNotFound = static_cast<HRESULT>(0x8007007E);
// Failure codes a scripted runtime completes with; any distinct negative values do.
constexpr HRESULT kFirstFailure = static_cast<HRESULT>(0x80AB0101);
constexpr HRESULT kSecondFailure = static_cast<HRESULT>(0x80AB0102);
constexpr HRESULT kRefusedAtOnce = static_cast<HRESULT>(0x80AB0103);

constexpr wchar_t kNoRuntimeText[] =
    L"WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge installation.\n";
constexpr wchar_t kStableClientState[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kEdgeClient[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{56EB18F8-B008-4CBD-B6D2-8C97FE7E9062}";

std::wstring HexOf(HRESULT hr) {
    return FormatHResultHex(hr).data();
}

std::wstring LoadLibraryText(HRESULT hr, const std::wstring& dllPath) {
    std::wstring text = L"WebView2: CoreWebView2Environment failed when trying to LoadLibrary: hr=0x" +
                        HexOf(hr) + L" path=" + dllPath;
    if (hr == kModuleNotFound) {
        text +=
            L"\nWebView2: This error (0x8007007E) typically indicates missing binaries or an architecture "
            L"mismatch. Please ensure the correct binaries (tallowmere.exe, EmbeddedBrowserWebView.dll, "
            L"etc.) for the target architecture (x86/x64/ARM64) are deployed";
    }
    return text + L"\n";
}

std::wstring CallIntoText(HRESULT hr) {
    return L"WebView2: CoreWebView2Environment failed when trying to call into EmbeddedBrowserWebView.dll. "
           L"hr=0x" +
           HexOf(hr) + L"\n";
}

std::wstring Twice(const std::wstring& text) {
    return text + text;
}

std::wstring VersionOf(ICoreWebView2Environment* environment) {
    LPWSTR version = nullptr;
    if (environment == nullptr || FAILED(environment->get_BrowserVersionString(&version))) {
        return L"";
    }
    const UniqueCoTaskString owned(version);
    return owned.get();
}

class CreateEnvironment : public ::testing::Test {
protected:
    CreateEnvironment() : host_(AdoptComPtr(new RecordingHostHandler())) {}
    void TearDown() override { DrainMessages(); }

    HRESULT Create(PCWSTR browserExecutableFolder, PCWSTR userDataFolder = nullptr,
                   ICoreWebView2EnvironmentOptions* options = nullptr) {
        return CreateCoreWebView2EnvironmentWithOptions(browserExecutableFolder, userDataFolder, options,
                                                        host_.Get());
    }
    bool AwaitHostInvocations(size_t count) {
        return PumpMessagesUntil([&] { return host_->invocations.size() >= count; });
    }
    // The events written, read back; an unreadable one fails the test.
    std::vector<ErrorEventFields> EventFields() {
        std::vector<ErrorEventFields> fields;
        for (const RecordedWrite& write : events_.Writes()) {
            const std::optional<ErrorEventFields> read = ReadErrorEventFields(write);
            EXPECT_TRUE(read.has_value());
            if (read) {
                fields.push_back(*read);
            }
        }
        return fields;
    }
    void ExpectEvents(size_t count, HRESULT hr, uint8_t clientDllFound, uint8_t installedRuntime) {
        const std::vector<ErrorEventFields> fields = EventFields();
        ASSERT_EQ(fields.size(), count);
        for (const ErrorEventFields& f : fields) {
            EXPECT_EQ(f.hr, hr);
            EXPECT_EQ(f.clientDllFound, clientDllFound);
            EXPECT_EQ(f.installedRuntime, installedRuntime);
            EXPECT_EQ(f.privacyTags, 0x1000000u);
        }
    }

    LoaderVariablesCleared variables_;
    LoaderPlatformRecorder platform_;
    EventRecorder events_;
    ComPtr<RecordingHostHandler> host_;
};

// --- before anything else -----------------------------------------------------------------------

TEST_F(CreateEnvironment, NullHandlerIsRefusedBeforeAnythingIsRead) {
    const std::wstring runtime = FakeRuntimeFolder(L"refusing_unloadable");
    ScopedEnvironmentVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", runtime.c_str());
    const ComPtr<CountingOptions> options = AdoptComPtr(new CountingOptions());

    EXPECT_EQ(CreateCoreWebView2EnvironmentWithOptions(nullptr, L"C:\\data", options.Get(), nullptr),
              E_POINTER);
    EXPECT_EQ(options->queries, 0);
    EXPECT_EQ(platform_.RegistryOpens(), 0);
    EXPECT_EQ(platform_.DebuggerCalls(), 0);
    EXPECT_EQ(events_.Registrations(), 0);

    // With a handler the same call asks the options object, looks for policies and reaches the runtime,
    // so the observations above can tell.
    EXPECT_EQ(Create(nullptr, L"C:\\data", options.Get()), FAKE_RUNTIME_REFUSAL);
    EXPECT_GT(options->queries, 0);
    EXPECT_GT(platform_.RegistryOpens(), 0);
    ExpectEvents(2, FAKE_RUNTIME_REFUSAL, 1, 0);
}

// --- nothing to load ----------------------------------------------------------------------------

TEST_F(CreateEnvironment, NoInstalledRuntimeFailsTwiceWithTextsAndEvents) {
    ScopedEnvironmentVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L" , "); // selects no channel

    EXPECT_EQ(Create(nullptr, L"C:\\data"), kFileNotFound);
    EXPECT_EQ(platform_.DebuggerText(), Twice(kNoRuntimeText));
    ExpectEvents(2, kFileNotFound, 0, 1);
    DrainMessages();
    EXPECT_TRUE(host_->invocations.empty());
    EXPECT_EQ(host_->references(), 1u); // the retry handler is gone and let go of the host's handler
}

TEST_F(CreateEnvironment, FixedFolderWithoutClientDllFailsTwice) {
    const std::wstring folder = FakeRuntimeFolder(L"empty");

    EXPECT_EQ(Create(folder.c_str()), kFileNotFound);
    EXPECT_EQ(platform_.DebuggerText(), Twice(L"WebView2: Failed to find the WebView2 client dll at: " +
                                              ClientDllPath(folder) + L"\n"));
    ExpectEvents(2, kFileNotFound, 0, 0);
    DrainMessages();
    EXPECT_TRUE(host_->invocations.empty());
}

// --- client libraries that fail at once ---------------------------------------------------------

struct ImmediateFailureCase {
    const wchar_t* runtime;
    HRESULT expected; // S_OK: any failure other than ERROR_MOD_NOT_FOUND (the system's code for a bad image)
    enum class Text { None, LoadLibrary, CallInto } text;
    enum class Stays { Loaded, Unloaded, NotApplicable } stays;
};

class ImmediateFailure : public CreateEnvironment,
                         public ::testing::WithParamInterface<ImmediateFailureCase> {};

TEST_P(ImmediateFailure, IsTriedTwiceWithTextsAndEventsAndNoCompletion) {
    const ImmediateFailureCase& c = GetParam();
    const std::wstring folder = FakeRuntimeFolder(c.runtime);
    const std::wstring dllPath = ClientDllPath(folder);

    const HRESULT hr = Create(folder.c_str(), L"C:\\data");
    ASSERT_TRUE(FAILED(hr));
    if (c.expected != S_OK) {
        EXPECT_EQ(hr, c.expected) << std::hex << hr;
    } else {
        EXPECT_NE(hr, kModuleNotFound);
    }

    std::wstring text;
    if (c.text == ImmediateFailureCase::Text::LoadLibrary) {
        text = LoadLibraryText(hr, dllPath);
    } else if (c.text == ImmediateFailureCase::Text::CallInto) {
        text = CallIntoText(hr);
    }
    EXPECT_EQ(platform_.DebuggerText(), Twice(text));
    ExpectEvents(2, hr, 1, 0);

    if (c.stays == ImmediateFailureCase::Stays::Loaded) {
        EXPECT_TRUE(IsLibraryLoaded(dllPath));
    } else if (c.stays == ImmediateFailureCase::Stays::Unloaded) {
        EXPECT_FALSE(IsLibraryLoaded(dllPath));
    }
    DrainMessages();
    EXPECT_TRUE(host_->invocations.empty());
    EXPECT_EQ(host_->references(), 1u);
}

using Text = ImmediateFailureCase::Text;
using Stays = ImmediateFailureCase::Stays;
INSTANTIATE_TEST_SUITE_P(
    ClientLibraries, ImmediateFailure,
    ::testing::Values(
        // Without DllCanUnloadNow the library stays loaded; with it, the loader lets go.
        ImmediateFailureCase{L"refusing", FAKE_RUNTIME_REFUSAL, Text::None, Stays::Loaded},
        ImmediateFailureCase{L"refusing_unloadable", FAKE_RUNTIME_REFUSAL, Text::None, Stays::Unloaded},
        ImmediateFailureCase{L"no_export", kProcNotFound, Text::CallInto, Stays::Loaded},
        ImmediateFailureCase{L"not_a_library", S_OK, Text::LoadLibrary, Stays::NotApplicable},
        ImmediateFailureCase{L"missing_dependency", kModuleNotFound, Text::LoadLibrary, Stays::Unloaded}));

// --- client libraries that complete later ---------------------------------------------------------

TEST_F(CreateEnvironment, AcceptedRequestCompletesThroughTheMessageLoop) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset();
    const ComPtr<CountingOptions> options = AdoptComPtr(new CountingOptions());

    ASSERT_EQ(Create(runtime.Folder().c_str(), L"C:\\Users\\me\\data", options.Get()), S_OK);
    EXPECT_TRUE(host_->invocations.empty()); // the environment arrives later
    ASSERT_TRUE(AwaitHostInvocations(1));

    ASSERT_EQ(host_->invocations.size(), 1u);
    EXPECT_EQ(host_->invocations[0].code, S_OK);
    EXPECT_EQ(VersionOf(host_->invocations[0].environment.Get()), FAKE_RUNTIME_BROWSER_VERSION);

    ASSERT_EQ(runtime.CallCount(), 1);
    const FakeRuntimeCall call = runtime.Call(0);
    EXPECT_EQ(call.firstArgument, 1);
    EXPECT_EQ(call.runtimeKind, 1);
    EXPECT_TRUE(call.userDataFolderPresent);
    EXPECT_STREQ(call.userDataFolder, L"C:\\Users\\me\\data");
    EXPECT_EQ(call.environmentOptions, static_cast<IUnknown*>(options.Get()));
    EXPECT_NE(call.handler, nullptr);
    EXPECT_NE(call.handler, static_cast<const void*>(host_.Get())); // the loader's own handler sits between

    EXPECT_EQ(platform_.DebuggerText(), L"");
    EXPECT_TRUE(events_.Writes().empty());
    EXPECT_TRUE(IsLibraryLoaded(ClientDllPath(runtime.Folder())));

    // Everything the loader held is let go once the completion has passed.
    host_->invocations.clear();
    EXPECT_EQ(host_->references(), 1u);
    EXPECT_EQ(options->references(), 1u);
}

TEST_F(CreateEnvironment, NullUserDataFolderIsPassedOnAsNull) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset();
    ASSERT_EQ(Create(runtime.Folder().c_str()), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    ASSERT_EQ(runtime.CallCount(), 1);
    EXPECT_FALSE(runtime.Call(0).userDataFolderPresent);
    EXPECT_EQ(runtime.Call(0).environmentOptions, nullptr);
}

TEST_F(CreateEnvironment, FailureCodeOnceIsRetriedThroughTheSameHandler) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{S_OK, kFirstFailure}, {S_OK, S_OK}});

    ASSERT_EQ(Create(runtime.Folder().c_str(), L"C:\\data"), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    DrainMessages();

    ASSERT_EQ(host_->invocations.size(), 1u);
    EXPECT_EQ(host_->invocations[0].code, S_OK);
    EXPECT_EQ(VersionOf(host_->invocations[0].environment.Get()), FAKE_RUNTIME_BROWSER_VERSION);
    ASSERT_EQ(runtime.CallCount(), 2);
    EXPECT_EQ(runtime.Call(1).handler, runtime.Call(0).handler);
    EXPECT_EQ(runtime.Call(1).runtimeKind, 1);
    EXPECT_STREQ(runtime.Call(1).userDataFolder, L"C:\\data");
    EXPECT_TRUE(events_.Writes().empty()); // a completion's failure is no failed attempt
}

TEST_F(CreateEnvironment, FailureCodeTwiceReachesTheHostWithNullEnvironment) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{S_OK, kFirstFailure}, {S_OK, kSecondFailure}});

    ASSERT_EQ(Create(runtime.Folder().c_str()), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    DrainMessages();

    ASSERT_EQ(host_->invocations.size(), 1u);
    EXPECT_EQ(host_->invocations[0].code, kSecondFailure);
    EXPECT_EQ(host_->invocations[0].environment, nullptr);
    EXPECT_EQ(runtime.CallCount(), 2); // one retry only
    EXPECT_EQ(runtime.PendingCount(), 0);
    host_->invocations.clear();
    EXPECT_EQ(host_->references(), 1u);
}

TEST_F(CreateEnvironment, RetryRefusedAtOnceReachesTheHostWithItsError) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{S_OK, kFirstFailure}, {kRefusedAtOnce, S_OK}});

    ASSERT_EQ(Create(runtime.Folder().c_str()), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    DrainMessages();

    ASSERT_EQ(host_->invocations.size(), 1u);
    EXPECT_EQ(host_->invocations[0].code, kRefusedAtOnce);
    EXPECT_EQ(host_->invocations[0].environment, nullptr);
    EXPECT_EQ(runtime.CallCount(), 2);
    ExpectEvents(1, kRefusedAtOnce, 1, 0); // only the retry itself was a failed attempt
}

TEST_F(CreateEnvironment, ImmediateRefusalIsTriedAgainAtOnce) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{kRefusedAtOnce, S_OK}, {S_OK, S_OK}});

    ASSERT_EQ(Create(runtime.Folder().c_str()), S_OK);
    EXPECT_EQ(runtime.CallCount(), 2);
    ExpectEvents(1, kRefusedAtOnce, 1, 0);
    ASSERT_TRUE(AwaitHostInvocations(1));
    EXPECT_EQ(host_->invocations[0].code, S_OK);
}

// --- the retry keeps the first call's settings ------------------------------------------------------

TEST_F(CreateEnvironment, RetryUsesTheFirstCallsArgumentsAfterTheCallerFreedThem) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{S_OK, kFirstFailure}, {S_OK, S_OK}});
    auto folder = std::make_unique<std::wstring>(runtime.Folder());
    auto userData = std::make_unique<std::wstring>(L"D:\\from-argument");

    ASSERT_EQ(Create(folder->c_str(), userData->c_str()), S_OK);
    std::fill(folder->begin(), folder->end(), L'#');
    std::fill(userData->begin(), userData->end(), L'#');
    folder.reset();
    userData.reset();
    // Were the settings read again, the retry would reach this other runtime instead.
    ScopedEnvironmentVariable redirect(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                       FakeRuntimeFolder(L"refusing").c_str());

    ASSERT_TRUE(AwaitHostInvocations(1));
    EXPECT_EQ(host_->invocations[0].code, S_OK);
    ASSERT_EQ(runtime.CallCount(), 2);
    EXPECT_STREQ(runtime.Call(1).userDataFolder, L"D:\\from-argument");
    EXPECT_EQ(runtime.Call(1).runtimeKind, 1);
}

TEST_F(CreateEnvironment, RetryUsesTheFirstCallsOverridesAfterTheyChanged) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{S_OK, kFirstFailure}, {S_OK, S_OK}});
    ScopedEnvironmentVariable folder(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", runtime.Folder().c_str());
    ScopedEnvironmentVariable userData(L"WEBVIEW2_USER_DATA_FOLDER", L"D:\\from-variable");

    ASSERT_EQ(Create(nullptr, L"D:\\from-argument"), S_OK);
    folder.Set(FakeRuntimeFolder(L"refusing").c_str());
    userData.Set(L"D:\\changed");

    ASSERT_TRUE(AwaitHostInvocations(1));
    EXPECT_EQ(host_->invocations[0].code, S_OK);
    ASSERT_EQ(runtime.CallCount(), 2);
    EXPECT_STREQ(runtime.Call(0).userDataFolder, L"D:\\from-variable");
    EXPECT_STREQ(runtime.Call(1).userDataFolder, L"D:\\from-variable");
}

// --- installed runtimes and Edge-view mode --------------------------------------------------------

TEST_F(CreateEnvironment, InstalledRuntimeIsKindZero) {
    ScriptedRuntime runtime(L"installed\\120.0.1.2");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset();
    ScopedRuntimeRegistration registration(kStableClientState, {{L"EBWebView", runtime.Folder()}});
    ASSERT_TRUE(registration.Written());
    ScopedEnvironmentVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0");

    ASSERT_EQ(Create(nullptr, L"C:\\data"), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    ASSERT_EQ(runtime.CallCount(), 1);
    EXPECT_EQ(runtime.Call(0).runtimeKind, 0);
}

TEST_F(CreateEnvironment, InstalledRuntimeThatRefusesReportsInstalledRuntime) {
    ScriptedRuntime runtime(L"installed\\120.0.1.2");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset({{kRefusedAtOnce, S_OK}, {kRefusedAtOnce, S_OK}});
    ScopedRuntimeRegistration registration(kStableClientState, {{L"EBWebView", runtime.Folder()}});
    ASSERT_TRUE(registration.Written());
    ScopedEnvironmentVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0");

    EXPECT_EQ(Create(nullptr), kRefusedAtOnce);
    ExpectEvents(2, kRefusedAtOnce, 1, 1);
}

TEST_F(CreateEnvironment, EdgeViewIsKindTwoOnTheFixedFolderRoad) {
    ScriptedRuntime runtime(L"scripted");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset();
    ScopedEnvironmentVariable edgeView(L"WEBVIEW2_USE_EDGE_VIEW", L"1");

    ASSERT_EQ(Create(runtime.Folder().c_str()), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    ASSERT_EQ(runtime.CallCount(), 1);
    EXPECT_EQ(runtime.Call(0).runtimeKind, 2);
}

TEST_F(CreateEnvironment, EdgeViewIsKindTwoOnTheInstalledRoad) {
    ScriptedRuntime runtime(L"installed\\120.0.1.2");
    ASSERT_TRUE(runtime.Loaded());
    runtime.Reset();
    ScopedRuntimeRegistration registration(
        kEdgeClient, {{L"location", FakeRuntimeFolder(L"installed")}, {L"pv", L"120.0.1.2"}});
    ASSERT_TRUE(registration.Written());
    ScopedEnvironmentVariable edgeView(L"WEBVIEW2_USE_EDGE_VIEW", L"1");
    ScopedEnvironmentVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L"0");

    ASSERT_EQ(Create(nullptr), S_OK);
    ASSERT_TRUE(AwaitHostInvocations(1));
    ASSERT_EQ(runtime.CallCount(), 1);
    EXPECT_EQ(runtime.Call(0).runtimeKind, 2);
}

TEST_F(CreateEnvironment, EdgeViewFailuresWriteTextsButNoEvent) {
    ScopedEnvironmentVariable edgeView(L"WEBVIEW2_USE_EDGE_VIEW", L"1");
    {
        ScopedEnvironmentVariable channels(L"WEBVIEW2_RELEASE_CHANNELS", L" , ");
        EXPECT_EQ(Create(nullptr), kFileNotFound);
        EXPECT_EQ(platform_.DebuggerText(), Twice(kNoRuntimeText));
    }
    const std::wstring noExport = FakeRuntimeFolder(L"no_export");
    EXPECT_EQ(Create(noExport.c_str()), kProcNotFound);
    EXPECT_EQ(events_.Registrations(), 0);
    EXPECT_TRUE(events_.Writes().empty());
}

} // namespace
