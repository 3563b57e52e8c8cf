// Where the browser control keeps its profile: <local application data>\Tallowmere\WebView2.
#pragma once

#include <string>
#include <string_view>

// The folder below `localAppData`, joined with one backslash and nothing normalised. When the local
// application-data folder is unknown (empty), the same suffix goes below `tempFolder` instead (its
// trailing backslash dropped), so the profile still lands in a per-user, writable place rather than
// in a root-relative "\Tallowmere\WebView2" on whatever drive is current. Both unknown: empty, and the
// runtime picks its own default.
std::wstring ChooseUserDataFolder(std::wstring_view localAppData, std::wstring_view tempFolder);

// Asks the platform for both folders and chooses as above.
std::wstring UserDataFolder();
