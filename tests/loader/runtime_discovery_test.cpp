#include "loader/runtime_channels.h"
#include "loader/runtime_discovery.h"
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const std::wstring kNoRuntimeText =
    L"WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge installation.\n";
const std::wstring kIncompatible = L"WebView2: skipped an incompatible version ";
const std::wstring kInaccessible = L"WebView2: skipped inaccessible ";

LoaderSettings Channels(uint32_t mask, int32_t searchKind = 0) {
    LoaderSettings settings;
    settings.releaseChannels = mask;
    settings.releaseChannelsSet = true;
    settings.channelSearchKind = searchKind;
    return settings;
}

// Registrations made by one test, in either hive, removed when the test ends.
class Registrations {
public:
    void Add(HKEY hive, size_t channel, const std::wstring& folder, bool withTerminator = true) {
        keys_.push_back(std::make_unique<RegistryKeyGuard>(hive, kRuntimeChannels[channel].clientStateKey,
                                                           kRegistrationView));
        keys_.back()->SetString(L"EBWebView", folder, withTerminator);
    }
    const RegistryKeyGuard& AddEdge(HKEY hive) {
        keys_.push_back(std::make_unique<RegistryKeyGuard>(hive, kEdgeClientKey, kRegistrationView));
        return *keys_.back();
    }

private:
    std::vector<std::unique_ptr<RegistryKeyGuard>> keys_;
};

class InstalledRuntimeTest : public testing::Test {
protected:
    CapturingPlatform platform_;
    TempFolder temp_;
    Registrations registry_;
    std::wstring dllPath_;
};

TEST(ChannelSearchOrder, FollowsMaskAndDirection) {
    struct Case {
        bool set;
        uint32_t mask;
        int32_t kind;
        std::vector<size_t> order;
    };
    const Case cases[] = {
        {false, 0, 0, {0, 1, 2, 3, 4}},
        {false, 0, 1, {4, 3, 2, 1, 0}},
        {false, 0, 2, {0, 1, 2, 3, 4}},   // only 1 reverses
        {true, 0x0F, 0, {0, 1, 2, 3, 4}}, // all public channels admit Internal
        {true, 0x0F, 1, {4, 3, 2, 1, 0}},
        {true, 0x06, 0, {1, 2}},
        {true, 0x06, 1, {2, 1}},
        {true, 0x10, 0, {4}},
        {true, 0x07, 0, {0, 1, 2}},
        {true, 0x2F, 0, {0, 1, 2, 3}},
        {true, 0, 0, {}},
    };
    for (const Case& c : cases) {
        LoaderSettings settings;
        settings.releaseChannelsSet = c.set;
        settings.releaseChannels = c.mask;
        settings.channelSearchKind = c.kind;
        std::array<size_t, kRuntimeChannelCount> channels = {};
        const size_t count = GetChannelSearchOrder(settings, channels);
        EXPECT_EQ(std::vector<size_t>(channels.begin(), channels.begin() + count), c.order)
            << "mask " << c.mask << " set " << c.set << " kind " << c.kind;
    }
}

// Every registration is too old, so each one the search visits leaves its folder in the debugger
// output: the output is the walk.
TEST_F(InstalledRuntimeTest, WalksChannelsThenMachineUserAndPackage) {
    platform_.ProvidePackageFunctions();
    for (size_t n = 0; n < kRuntimeChannelCount; ++n) {
        registry_.Add(HKEY_LOCAL_MACHINE, n,
                      temp_.path() + L"\\machine" + std::to_wstring(n) + L"\\85.0.0.0");
        registry_.Add(HKEY_CURRENT_USER, n, temp_.path() + L"\\user" + std::to_wstring(n) + L"\\85.0.0.0");
        platform_.packages.push_back({kRuntimeChannels[n].packageFamilyName,
                                      temp_.path() + L"\\package" + std::to_wstring(n),
                                      {0, 0, 0, 85}});
    }
    struct Case {
        LoaderSettings settings;
        std::vector<size_t> walk;
    };
    const Case cases[] = {
        {LoaderSettings{}, {0, 1, 2, 3, 4}},
        {Channels(0, 1), {}},
        {[] {
             LoaderSettings s;
             s.channelSearchKind = 1;
             return s;
         }(),
         {4, 3, 2, 1, 0}},
        {Channels(0x06), {1, 2}},
        {Channels(0x06, 1), {2, 1}},
    };
    for (const Case& c : cases) {
        platform_.output.clear();
        platform_.dependencyRequests.clear();
        std::vector<DebugPiece> expected;
        std::vector<std::wstring> requested;
        for (const size_t n : c.walk) {
            for (const std::wstring place : {L"machine", L"user"}) {
                expected.push_back({'A', kIncompatible});
                expected.push_back({'W', temp_.path() + L"\\" + place + std::to_wstring(n) + L"\\85.0.0.0"});
                expected.push_back({'A', L"\n"});
            }
            expected.push_back({'A', kIncompatible});
            expected.push_back({'W', temp_.path() + L"\\package" + std::to_wstring(n)});
            expected.push_back({'A', L"\n"});
            requested.push_back(kRuntimeChannels[n].packageFamilyName);
        }
        expected.push_back({'A', kNoRuntimeText});
        EXPECT_EQ(FindInstalledClientDll(c.settings, dllPath_), kNotFound);
        EXPECT_EQ(platform_.output, expected);
        EXPECT_EQ(platform_.dependencyRequests, requested);
    }
}

TEST_F(InstalledRuntimeTest, PerMachineBeatsPerUserBeatsPackageEvenWhenOlder) {
    platform_.ProvidePackageFunctions();
    const std::wstring machine = temp_.AddRuntime(L"machine\\90.0.0.0");
    const std::wstring user = temp_.AddRuntime(L"user\\120.0.0.0");
    const std::wstring package = temp_.AddRuntime(L"package");
    platform_.packages.push_back({kRuntimeChannels[0].packageFamilyName, package, {0, 0, 0, 130}});
    {
        Registrations registry;
        registry.Add(HKEY_LOCAL_MACHINE, 0, machine);
        registry.Add(HKEY_CURRENT_USER, 0, user);
        EXPECT_EQ(FindInstalledClientDll(LoaderSettings{}, dllPath_), S_OK);
        EXPECT_EQ(dllPath_, ClientDllPath(machine));
    }
    {
        Registrations registry;
        registry.Add(HKEY_CURRENT_USER, 0, user);
        EXPECT_EQ(FindInstalledClientDll(LoaderSettings{}, dllPath_), S_OK);
        EXPECT_EQ(dllPath_, ClientDllPath(user));
    }
    EXPECT_EQ(FindInstalledClientDll(LoaderSettings{}, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(package));
    EXPECT_TRUE(platform_.output.empty());
}

TEST_F(InstalledRuntimeTest, ChannelOrderComesBeforeHive) {
    const std::wstring beta = temp_.AddRuntime(L"beta\\120.0.0.0");
    const std::wstring stable = temp_.AddRuntime(L"stable\\100.0.0.0");
    registry_.Add(HKEY_LOCAL_MACHINE, 1, beta);
    registry_.Add(HKEY_CURRENT_USER, 0, stable);
    EXPECT_EQ(FindInstalledClientDll(LoaderSettings{}, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(stable));
    EXPECT_EQ(FindInstalledClientDll(Channels(0x1F, 1), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(beta));
}

TEST_F(InstalledRuntimeTest, RegistrationsAreReadInThe32BitView) {
    const std::wstring folder = temp_.AddRuntime(L"120.0.0.0");
    RegistryKeyGuard native(HKEY_LOCAL_MACHINE, kRuntimeChannels[0].clientStateKey, KEY_WOW64_64KEY);
    native.SetString(L"EBWebView", folder);
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), kNotFound);
    registry_.Add(HKEY_LOCAL_MACHINE, 0, folder);
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(folder));
}

TEST_F(InstalledRuntimeTest, MinimumVersionBoundary) {
    struct Case {
        const wchar_t* version;
        bool accepted;
    };
    for (const Case c : {Case{L"85.0.564.40", false}, Case{L"86.0.615.999", false}, Case{L"86.0.616.0", true},
                         Case{L"87.0.0.0", true}}) {
        const std::wstring folder = temp_.AddRuntime(c.version);
        Registrations registry;
        registry.Add(HKEY_CURRENT_USER, 0, folder);
        platform_.output.clear();
        if (c.accepted) {
            EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), S_OK) << c.version;
            EXPECT_EQ(dllPath_, ClientDllPath(folder));
            EXPECT_TRUE(platform_.output.empty());
        } else {
            EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), kNotFound) << c.version;
            EXPECT_EQ(platform_.output,
                      Pieces({{'A', kIncompatible}, {'W', folder}, {'A', L"\n"}, {'A', kNoRuntimeText}}));
        }
    }
}

TEST_F(InstalledRuntimeTest, UnusableRegistrationsAreSkippedSilently) {
    const std::wstring notVersion = temp_.AddRuntime(L"Edge\\Application");
    const std::wstring noLibrary = temp_.path() + L"\\120.0.0.0";
    const std::wstring tooLong = std::wstring(L"C:\\") + std::wstring(250, L'x') + L"\\120.0.0.0";
    for (const std::wstring& folder :
         {notVersion, noLibrary, std::wstring(L"120.0.0.0"), std::wstring(L""), tooLong}) {
        Registrations registry;
        registry.Add(HKEY_CURRENT_USER, 0, folder);
        platform_.output.clear();
        EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), kNotFound) << testing::PrintToString(folder);
        EXPECT_EQ(platform_.output, Pieces({{'A', kNoRuntimeText}}));
    }
}

TEST_F(InstalledRuntimeTest, FolderStoredWithoutTerminatorIsRead) {
    const std::wstring folder = temp_.AddRuntime(L"120.0.0.0");
    registry_.Add(HKEY_CURRENT_USER, 0, folder, false);
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(folder));
}

TEST_F(InstalledRuntimeTest, InaccessibleLibraryIsReportedAndTheSearchGoesOn) {
    const std::wstring blocked = temp_.AddUnopenableRuntime(L"blocked\\120.0.0.0");
    const std::wstring usable = temp_.AddRuntime(L"usable\\110.0.0.0");
    registry_.Add(HKEY_LOCAL_MACHINE, 0, blocked);
    registry_.Add(HKEY_CURRENT_USER, 0, usable);
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(usable));
    EXPECT_EQ(platform_.output, Pieces({{'A', kInaccessible}, {'W', ClientDllPath(blocked)}, {'A', L"\n"}}));
}

TEST_F(InstalledRuntimeTest, EdgeViewReadsTheBrowserKeyForStableOnly) {
    const std::wstring edge = temp_.AddRuntime(L"Edge\\Application\\120.0.1.2");
    const std::wstring stable = temp_.AddRuntime(L"stable\\121.0.0.0");
    const std::wstring beta = temp_.AddRuntime(L"beta\\122.0.0.0");
    registry_.Add(HKEY_LOCAL_MACHINE, 0, stable);
    registry_.Add(HKEY_LOCAL_MACHINE, 1, beta);

    LoaderSettings settings;
    settings.useEdgeView = true;
    // The browser key without a version is no candidate; Stable's own key is not read in this mode.
    const RegistryKeyGuard& browser = registry_.AddEdge(HKEY_CURRENT_USER);
    browser.SetString(L"location", temp_.path() + L"\\Edge\\Application");
    EXPECT_EQ(FindInstalledClientDll(settings, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(beta));

    browser.SetString(L"pv", L"120.0.1.2");
    EXPECT_EQ(FindInstalledClientDll(settings, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(edge));

    settings.useEdgeView = false;
    EXPECT_EQ(FindInstalledClientDll(settings, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(stable));
}

TEST_F(InstalledRuntimeTest, PackagesMatchFamilyIgnoringCaseAndTakeTheirVersion) {
    platform_.ProvidePackageFunctions();
    const std::wstring dev = temp_.AddRuntime(L"dev-package");
    platform_.packages.push_back(
        {L"Some.Other.Package_8wekyb3d8bbwe", temp_.AddRuntime(L"other"), {0, 0, 0, 120}});
    platform_.packages.push_back({L"MICROSOFT.WEBVIEW2RUNTIME.dev_8WEKYB3D8BBWE", dev, {4, 3, 2, 120}});
    EXPECT_EQ(FindInstalledClientDll(LoaderSettings{}, dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(dev));
    EXPECT_EQ(platform_.dependenciesAdded,
              (std::vector<std::wstring>{L"dependency:Microsoft.WebView2Runtime.Stable_8wekyb3d8bbwe",
                                         L"dependency:Microsoft.WebView2Runtime.Beta_8wekyb3d8bbwe",
                                         L"dependency:Microsoft.WebView2Runtime.Dev_8wekyb3d8bbwe"}));

    // The version comes from the package id, not from the folder name.
    platform_.packages[1].version = {0, 616, 0, 86};
    EXPECT_EQ(FindInstalledClientDll(Channels(0x04), dllPath_), S_OK);
    platform_.packages[1].version = {999, 615, 0, 86};
    platform_.output.clear();
    EXPECT_EQ(FindInstalledClientDll(Channels(0x04), dllPath_), kNotFound);
    EXPECT_EQ(platform_.output,
              Pieces({{'A', kIncompatible}, {'W', dev}, {'A', L"\n"}, {'A', kNoRuntimeText}}));
}

TEST_F(InstalledRuntimeTest, OnlyTheFirstMatchingPackageCounts) {
    platform_.ProvidePackageFunctions();
    const std::wstring older = temp_.AddRuntime(L"older");
    platform_.packages.push_back({kRuntimeChannels[0].packageFamilyName, older, {0, 0, 0, 80}});
    platform_.packages.push_back(
        {kRuntimeChannels[0].packageFamilyName, temp_.AddRuntime(L"newer"), {0, 0, 0, 120}});
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), kNotFound);
    EXPECT_EQ(platform_.output,
              Pieces({{'A', kIncompatible}, {'W', older}, {'A', L"\n"}, {'A', kNoRuntimeText}}));
}

TEST_F(InstalledRuntimeTest, FailedDependencyStillLooksAtThePackages) {
    platform_.ProvidePackageFunctions();
    platform_.tryCreateResult = E_ACCESSDENIED;
    const std::wstring stable = temp_.AddRuntime(L"stable-package");
    platform_.packages.push_back({kRuntimeChannels[0].packageFamilyName, stable, {0, 0, 0, 120}});
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), S_OK);
    EXPECT_EQ(dllPath_, ClientDllPath(stable));
    EXPECT_TRUE(platform_.dependenciesAdded.empty());
}

TEST_F(InstalledRuntimeTest, WithoutPackageFunctionsNothingIsFound) {
    platform_.packages.push_back(
        {kRuntimeChannels[0].packageFamilyName, temp_.AddRuntime(L"p"), {0, 0, 0, 120}});
    EXPECT_EQ(FindInstalledClientDll(Channels(1), dllPath_), kNotFound);
    EXPECT_TRUE(platform_.dependencyRequests.empty());
    EXPECT_EQ(platform_.output, Pieces({{'A', kNoRuntimeText}}));
}

} // namespace
