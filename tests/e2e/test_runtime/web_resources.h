// The test runtime's side of web-resource requests, navigation starts and new-window requests: raising
// them on the program's handlers and logging what the program answered.
#pragma once

#include "support/com_stubs.h"
#include "support/web_resource_objects.h"

#include <wrl/client.h>

#include <string>
#include <vector>

namespace test_runtime {

// Raises one web-resource request on `handlers` and logs the answer: "request" (uri, method, Range
// header), then "response" (status, reason, headers, body length, SHA-256 of the body in hex, the body
// itself when it is at most 4096 bytes), "response-unset" (it would go to the network),
// "request-unfiltered" (no filter matched: likewise), or "stream-failed".
void RaiseResourceRequest(
    ICoreWebView2* sender, const stand_in::RequestFilters& filters,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2WebResourceRequestedEventHandler>>& handlers,
    const std::wstring& uri, const std::wstring& method, const std::wstring& range);

// Raises a navigation start on `handlers`; true when one of them cancelled it.
bool RaiseNavigationStarting(
    ICoreWebView2* sender,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2NavigationStartingEventHandler>>& handlers,
    const std::wstring& uri, bool userInitiated);

// Raises a new-window request on `handlers`; true when one of them handled it (or gave a window).
bool RaiseNewWindowRequested(
    ICoreWebView2* sender,
    const std::vector<Microsoft::WRL::ComPtr<ICoreWebView2NewWindowRequestedEventHandler>>& handlers,
    const std::wstring& uri, bool userInitiated);

} // namespace test_runtime
