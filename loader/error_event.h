// The loader's one event-tracing event: "CreateWebViewEnvironmentError" of the provider
// "Microsoft.MSEdgeWebView.Loader", written when an attempt to create the environment fails.
#pragma once

#include <windows.h>

// Registers the provider for the span of this one event, writes the event when a listener has enabled
// error level and the measures keyword, and unregisters again. Calls from several threads take turns.
// Writes nothing when the tracing functions are unavailable; never fails.
void ReportCreateEnvironmentError(HRESULT hr, bool clientDllFound, bool installedRuntime) noexcept;
