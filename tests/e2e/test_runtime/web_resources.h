// Logging what the program answered to a web-resource request: status, headers and the body (its
// length, its SHA-256 and, when short, the bytes themselves).
#pragma once

#include "support/web_resource_objects.h"

namespace test_runtime {

// Reads the response's body as the real runtime does (rewound, whole, on a worker thread) and logs
// "response" (status, reason, headers, body length, SHA-256 of the body in hex, the body itself when it
// is at most 4096 bytes), or "stream-failed" when the body cannot be read. Then lets go of the
// response, which must be the last reference to its body: a body the program still holds once its
// request is over leaks, and "stream-leaked" (the address, the references left) says so.
void LogResponse(Microsoft::WRL::ComPtr<stand_in::StandInResponse> response, const std::wstring& uri);

} // namespace test_runtime
