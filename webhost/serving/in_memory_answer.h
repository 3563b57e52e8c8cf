// The answers the program keeps in memory: the page at its address and each library the page loads
// from the program's origin at its own. Neither waits on a disk, so they may be made on any thread, the
// user-interface thread included.
#pragma once

#include "webhost/serving/resource_answer.h"

#include <string>
#include <string_view>

// Fills `answer` and returns S_OK when `uri` is the page's address (with or without a query) or a
// library's exact address; returns S_FALSE, leaving `answer` alone, for any other address. `page` is
// the page's UTF-8 text; a library is an RCDATA resource of the running executable (see
// embedded_resource.h), "not found" when absent. Fails only when out of memory. The method is not looked at:
// that is the caller's.
HRESULT AnswerFromMemory(std::wstring_view uri, const std::string& page, ResourceAnswer& answer) noexcept;
