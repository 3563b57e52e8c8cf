#include "loader/app_user_model_id.h"
#include "loader/loader_options.h"
#include "loader/loader_overrides.h"
#include "loader/runtime_discovery.h"
#include "fake_options.h"
#include "loader_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr PCWSTR kPolicyRootKey = L"Software\\Policies\\Microsoft\\Edge\\WebView2";
constexpr PCWSTR kVariables[] = {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER",
                                 L"WEBVIEW2_USER_DATA_FOLDER",
                                 L"WEBVIEW2_USE_EDGE_VIEW",
                                 L"WEBVIEW2_RELEASE_CHANNELS",
                                 L"WEBVIEW2_CHANNEL_SEARCH_KIND",
                                 L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"};

// Settles the settings the way the entry does, from a clean environment: none of the variables set,
// no policy root in either hive unless a test creates one.
class OverridesTest : public testing::Test {
protected:
    void SetUp() override {
        for (const PCWSTR name : kVariables) {
            variables_.push_back(std::make_unique<EnvironmentVariableGuard>(name, std::nullopt));
        }
        exeName_ = ExecutableFileName();
    }

    void SetVariable(PCWSTR name, const std::wstring& value) {
        variables_.push_back(std::make_unique<EnvironmentVariableGuard>(name, value));
    }

    const RegistryKeyGuard& PolicyRoot(HKEY hive) {
        policies_.push_back(std::make_unique<RegistryKeyGuard>(hive, kPolicyRootKey));
        return *policies_.back();
    }

    void Settle(PCWSTR browserFolder = nullptr, PCWSTR userDataFolder = nullptr,
                IUnknown* options = nullptr) {
        storage_ = {};
        settings_ = {};
        settings_.browserExecutableFolder = browserFolder;
        settings_.userDataFolder = userDataFolder;
        settings_.environmentOptions = options;
        settings_.useEdgeView = ReadEdgeViewOption(options);
        ReadLoaderOverrides(settings_, storage_);
        ReadOptionsChannelSettings(options, settings_);
    }

    std::wstring Text(PCWSTR field) const { return field == nullptr ? L"<null>" : field; }

    CapturingPlatform platform_;
    std::wstring exeName_;
    LoaderOverrideStorage storage_;
    LoaderSettings settings_;

private:
    std::vector<std::unique_ptr<EnvironmentVariableGuard>> variables_;
    std::vector<std::unique_ptr<RegistryKeyGuard>> policies_;
};

TEST_F(OverridesTest, HostArgumentsStandWithoutOverrides) {
    Settle(L"C:\\host-rt", L"C:\\host-data");
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\host-rt");
    EXPECT_EQ(Text(settings_.userDataFolder), L"C:\\host-data");
    EXPECT_FALSE(settings_.useEdgeView || settings_.releaseChannelsSet || settings_.channelSearchKindSet);
    EXPECT_EQ(settings_.channelSearchKind, 0);
    EXPECT_TRUE(platform_.output.empty());
}

TEST_F(OverridesTest, UserDataFolderFromVariableOrExecutablePolicyButNeverWildcard) {
    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    policy.SetSubKeyString(L"UserDataFolder", L"*", L"C:\\wildcard-data");
    Settle(nullptr, L"C:\\host-data");
    EXPECT_EQ(Text(settings_.userDataFolder), L"C:\\host-data");

    policy.SetSubKeyString(L"UserDataFolder", exeName_.c_str(), L"C:\\policy-data");
    Settle(nullptr, L"C:\\host-data");
    EXPECT_EQ(Text(settings_.userDataFolder), L"C:\\policy-data");
    EXPECT_EQ(settings_.userDataFolder, storage_.userDataFolder.c_str());

    SetVariable(L"WEBVIEW2_USER_DATA_FOLDER", L"C:\\env-data");
    Settle(nullptr, L"C:\\host-data");
    EXPECT_EQ(Text(settings_.userDataFolder), L"C:\\env-data");
}

TEST_F(OverridesTest, BrowserFolderWildcardAppliesAndEmptyVariableTurnsFolderOff) {
    PolicyRoot(HKEY_LOCAL_MACHINE).SetSubKeyString(L"BrowserExecutableFolder", L"*", L"C:\\policy-rt");
    Settle(L"C:\\host-rt");
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\policy-rt");

    SetVariable(L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"");
    Settle(L"C:\\host-rt");
    ASSERT_NE(settings_.browserExecutableFolder, nullptr);
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"");
}

TEST_F(OverridesTest, PerMachinePolicyBeatsPerUser) {
    PolicyRoot(HKEY_CURRENT_USER)
        .SetSubKeyString(L"BrowserExecutableFolder", exeName_.c_str(), L"C:\\user-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\user-rt");
    // The per-machine "*" value still wins over a per-user value named after the executable.
    PolicyRoot(HKEY_LOCAL_MACHINE).SetSubKeyString(L"BrowserExecutableFolder", L"*", L"C:\\machine-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\machine-rt");
}

TEST_F(OverridesTest, ValueNamesAppUserModelIdThenExecutableThenWildcard) {
    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"*", L"C:\\wildcard-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\wildcard-rt");
    policy.SetSubKeyString(L"BrowserExecutableFolder", exeName_.c_str(), L"C:\\exe-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\exe-rt");
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"Contoso.Viewer", L"C:\\app-rt");
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"Contoso.Explicit", L"C:\\explicit-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\exe-rt");

    platform_.ProvideAppUserModelIdFunctions(L"Contoso.Viewer", L"Contoso.Explicit");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\app-rt");
    // Without a packaged application the process's explicit ID names the value.
    platform_.ProvideAppUserModelIdFunctions(std::nullopt, L"Contoso.Explicit");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\explicit-rt");

    // With no ID at all, the key's unnamed default value comes before the executable's.
    platform_.ProvideAppUserModelIdFunctions(std::nullopt, std::nullopt);
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"", L"C:\\default-rt");
    Settle();
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\default-rt");
}

TEST(AppUserModelId, PrefersTheApplicationIdThenTheExplicitOne) {
    CapturingPlatform platform;
    std::wstring id = L"stale";
    EXPECT_EQ(GetAppUserModelId(id), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
    EXPECT_EQ(id, L"");

    const std::wstring longest(kAppUserModelIdMaxLength - 1, L'a');
    platform.ProvideAppUserModelIdFunctions(longest, L"Explicit");
    EXPECT_EQ(GetAppUserModelId(id), S_OK);
    EXPECT_EQ(id, longest);

    platform.ProvideAppUserModelIdFunctions(std::nullopt, L"Explicit");
    EXPECT_EQ(GetAppUserModelId(id), S_OK);
    EXPECT_EQ(id, L"Explicit");

    platform.ProvideAppUserModelIdFunctions(std::nullopt, std::nullopt);
    EXPECT_EQ(GetAppUserModelId(id), E_NOTIMPL);
    EXPECT_EQ(id, L"");
}

TEST_F(OverridesTest, EdgeViewVariableMustBeExactlyOne) {
    FakeOptions options;
    options.edgeView = 1;
    struct Case {
        std::optional<std::wstring> value;
        bool optionsSay;
        bool expected;
    };
    const Case cases[] = {
        {L"1", false, true},  {L"true", true, false},     {L" 1", true, false},         {L"", true, false},
        {L"01", true, false}, {std::nullopt, true, true}, {std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        EnvironmentVariableGuard variable(L"WEBVIEW2_USE_EDGE_VIEW", c.value);
        options.edgeView = c.optionsSay ? 1 : 0;
        Settle(nullptr, nullptr, options.unknown());
        EXPECT_EQ(settings_.useEdgeView, c.expected) << testing::PrintToString(c.value.value_or(L"<absent>"));
    }
    EXPECT_EQ(options.references(), 1u);
}

TEST_F(OverridesTest, EdgeViewIgnoresWildcardChannelPolicies) {
    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    policy.SetSubKeyString(L"ReleaseChannels", L"*", L"2");
    policy.SetSubKeyString(L"ChannelSearchKind", L"*", L"1");
    policy.SetSubKeyDword(L"ReleaseChannelPreference", L"*", 1);
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"*", L"C:\\wildcard-rt");

    Settle();
    EXPECT_TRUE(settings_.releaseChannelsSet);
    EXPECT_EQ(settings_.releaseChannels, 0x04u);
    EXPECT_EQ(settings_.channelSearchKind, 1);

    SetVariable(L"WEBVIEW2_USE_EDGE_VIEW", L"1");
    Settle();
    EXPECT_TRUE(settings_.useEdgeView);
    EXPECT_FALSE(settings_.releaseChannelsSet);
    EXPECT_FALSE(settings_.channelSearchKindSet);
    EXPECT_EQ(settings_.channelSearchKind, 0);
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\wildcard-rt"); // not a channel row

    policy.SetSubKeyString(L"ReleaseChannels", exeName_.c_str(), L"3");
    policy.SetSubKeyString(L"ReleaseChannelPreference", exeName_.c_str(), L"1");
    Settle();
    EXPECT_EQ(settings_.releaseChannels, 0x08u);
    EXPECT_TRUE(settings_.channelSearchKindSet);
    EXPECT_EQ(settings_.channelSearchKind, 1);
}

TEST_F(OverridesTest, ReleaseChannelVariable) {
    const std::pair<const wchar_t*, uint32_t> cases[] = {
        {L"2, 3", 0x0C}, {L"1,x", 0x03}, {L"7", 0x01}, {L" , ", 0}};
    for (const auto& [value, mask] : cases) {
        EnvironmentVariableGuard variable(L"WEBVIEW2_RELEASE_CHANNELS", std::wstring(value));
        Settle();
        EXPECT_TRUE(settings_.releaseChannelsSet) << testing::PrintToString(std::wstring(value));
        EXPECT_EQ(settings_.releaseChannels, mask) << testing::PrintToString(std::wstring(value));
    }
    // A selection of nothing finds nothing, without looking at any registration.
    SetVariable(L"WEBVIEW2_RELEASE_CHANNELS", L" , ");
    Settle();
    std::wstring dllPath;
    EXPECT_EQ(FindInstalledClientDll(settings_, dllPath), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(
        platform_.output,
        Pieces({{'A', L"WebView2: Failed to find an installed WebView2 runtime or non-stable Microsoft Edge "
                      L"installation.\n"}}));
}

TEST_F(OverridesTest, EmptyChannelVariableChangesNothingAndHidesThePolicy) {
    PolicyRoot(HKEY_CURRENT_USER).SetSubKeyString(L"ReleaseChannels", L"*", L"2");
    FakeOptions options;
    options.releaseChannels = 0x08;
    SetVariable(L"WEBVIEW2_RELEASE_CHANNELS", L"");
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_TRUE(settings_.releaseChannelsSet);
    EXPECT_EQ(settings_.releaseChannels, 0x08u); // from the options object, not the policy
}

TEST_F(OverridesTest, SearchKindVariableAndPreferenceAlias) {
    struct Case {
        std::optional<std::wstring> kind;
        std::optional<std::wstring> preference;
        int32_t expected;
        bool set;
    };
    const Case cases[] = {
        {L"1", std::nullopt, 1, true}, {L" +01", std::nullopt, 1, true},
        {L"0", L"1", 0, true},         {L"2", L"1", 0, true},
        {L"", L"1", 0, true},          {std::nullopt, L"1", 1, true},
        {std::nullopt, L"0", 0, true}, {std::nullopt, std::nullopt, 0, false},
    };
    for (const Case& c : cases) {
        EnvironmentVariableGuard kind(L"WEBVIEW2_CHANNEL_SEARCH_KIND", c.kind);
        EnvironmentVariableGuard preference(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", c.preference);
        Settle();
        EXPECT_EQ(settings_.channelSearchKind, c.expected)
            << testing::PrintToString(c.kind.value_or(L"<absent>"));
        EXPECT_EQ(settings_.channelSearchKindSet, c.set);
    }
}

TEST_F(OverridesTest, SearchKindPolicyAsNumberOrText) {
    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    policy.SetSubKeyDword(L"ReleaseChannelPreference", exeName_.c_str(), 1);
    policy.SetSubKeyDword(L"ChannelSearchKind", exeName_.c_str(), 1);
    Settle();
    EXPECT_EQ(settings_.channelSearchKind, 1);

    policy.SetSubKeyString(L"ChannelSearchKind", exeName_.c_str(), L"1");
    Settle();
    EXPECT_EQ(settings_.channelSearchKind, 1);

    // An explicit "most stable first" also keeps the preference alias from being read.
    policy.SetSubKeyDword(L"ChannelSearchKind", exeName_.c_str(), 0);
    Settle();
    EXPECT_EQ(settings_.channelSearchKind, 0);
    EXPECT_TRUE(settings_.channelSearchKindSet);

    policy.SetSubKeyString(L"ChannelSearchKind", exeName_.c_str(), L"least");
    Settle();
    EXPECT_EQ(settings_.channelSearchKind, 0);
    EXPECT_TRUE(settings_.channelSearchKindSet);
}

TEST_F(OverridesTest, VariableBeatsPolicyBeatsOptions) {
    FakeOptions options;
    options.releaseChannels = 0x10;
    options.channelSearchKind = 1;
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_EQ(settings_.releaseChannels, 0x10u);
    EXPECT_EQ(settings_.channelSearchKind, 1);
    EXPECT_FALSE(settings_.channelSearchKindSet);

    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    policy.SetSubKeyString(L"ReleaseChannels", L"*", L"2");
    policy.SetSubKeyDword(L"ChannelSearchKind", L"*", 0);
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_EQ(settings_.releaseChannels, 0x04u);
    EXPECT_EQ(settings_.channelSearchKind, 0);

    SetVariable(L"WEBVIEW2_RELEASE_CHANNELS", L"1");
    SetVariable(L"WEBVIEW2_CHANNEL_SEARCH_KIND", L"1");
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_EQ(settings_.releaseChannels, 0x02u);
    EXPECT_EQ(settings_.channelSearchKind, 1);
    EXPECT_EQ(options.channelQueries, 1); // not asked once both were settled
}

TEST_F(OverridesTest, OptionsObjectContributesOnlyWhatItReallySays) {
    FakeOptions options;
    options.releaseChannels = 0; // no selection: all channels
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_FALSE(settings_.releaseChannelsSet);

    options.releaseChannels = 0x06;
    options.channelSearchKind = 1;
    options.channelGetResult = E_FAIL;
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_FALSE(settings_.releaseChannelsSet);
    EXPECT_EQ(settings_.channelSearchKind, 0);

    options.channelGetResult = S_OK;
    options.hasChannelOptions = false;
    Settle(nullptr, nullptr, options.unknown());
    EXPECT_FALSE(settings_.releaseChannelsSet);
    EXPECT_EQ(options.references(), 1u);
}

TEST(ReadEdgeViewOption, OnlyAnExactYes) {
    EXPECT_FALSE(ReadEdgeViewOption(nullptr));
    struct Case {
        HRESULT query;
        HRESULT get;
        INT32 value;
        bool expected;
    };
    const Case cases[] = {
        {S_OK, S_OK, 1, true},     {S_OK, S_OK, 2, false},          {S_OK, S_FALSE, 1, false},
        {S_FALSE, S_OK, 1, false}, {E_NOINTERFACE, S_OK, 1, false},
    };
    for (const Case& c : cases) {
        FakeOptions options;
        options.edgeViewQueryResult = c.query;
        options.edgeViewGetResult = c.get;
        options.edgeView = c.value;
        EXPECT_EQ(ReadEdgeViewOption(options.unknown()), c.expected) << std::hex << c.query << " " << c.get;
        EXPECT_EQ(options.references(), 1u);
    }
}

TEST_F(OverridesTest, NoPolicyRootMeansNoPolicyKeyIsOpened) {
    Settle();
    EXPECT_EQ(platform_.openedPolicyKeys,
              (std::vector<std::wstring>{L"HKCU\\Software\\Policies\\Microsoft\\Edge\\WebView2\\",
                                         L"HKLM\\Software\\Policies\\Microsoft\\Edge\\WebView2\\"}));
}

// With a root, every row looks at the roots afresh and reads the per-machine key before the per-user
// one; without one again, the next creation stops after the first look.
TEST_F(OverridesTest, EachCreationLooksForThePolicyRootAfresh) {
    const std::wstring root = L"Software\\Policies\\Microsoft\\Edge\\WebView2\\";
    {
        RegistryKeyGuard userRoot(HKEY_CURRENT_USER, kPolicyRootKey);
        Settle();
        std::vector<std::wstring> expected;
        for (const wchar_t* key : {L"BrowserExecutableFolder", L"UserDataFolder", L"ReleaseChannels",
                                   L"ChannelSearchKind", L"ReleaseChannelPreference"}) {
            expected.push_back(L"HKCU\\" + root);
            expected.push_back(L"HKLM\\" + root + key);
            expected.push_back(L"HKCU\\" + root + key);
        }
        EXPECT_EQ(platform_.openedPolicyKeys, expected);
    }
    platform_.openedPolicyKeys.clear();
    Settle();
    EXPECT_EQ(platform_.openedPolicyKeys, (std::vector<std::wstring>{L"HKCU\\" + root, L"HKLM\\" + root}));
}

TEST_F(OverridesTest, PolicyTextsLongerThan259CharactersAreIgnored) {
    const RegistryKeyGuard& policy = PolicyRoot(HKEY_CURRENT_USER);
    const std::wstring fits = L"C:\\" + std::wstring(256, L'f');
    policy.SetSubKeyString(L"BrowserExecutableFolder", L"*", fits);
    Settle(L"C:\\host-rt");
    EXPECT_EQ(Text(settings_.browserExecutableFolder), fits);

    policy.SetSubKeyString(L"BrowserExecutableFolder", L"*", fits + L"g");
    Settle(L"C:\\host-rt");
    EXPECT_EQ(Text(settings_.browserExecutableFolder), L"C:\\host-rt");
}

} // namespace
