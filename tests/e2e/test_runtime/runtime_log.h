// The runtime's record of every call it receives, one line per event, appended to the file named by
// TALLOWMERE_TEST_RUNTIME_LOG.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace test_runtime {

// Appends "tag field field ..." and a line feed. Each field must already be in the line format
// (EscapeField, NumberField, HresultField). The file is opened for each line, so the log stays complete
// even when the process is ended abruptly.
void Log(std::string_view tag, std::initializer_list<std::string> fields = {}) noexcept;
void Log(std::string_view tag, const std::vector<std::string>& fields) noexcept;

std::string NumberField(long long value);
std::string HresultField(HRESULT value);  // 8 upper-case hexadecimal digits
std::string RectFields(const RECT& rect); // left top right bottom, as four fields joined by spaces

} // namespace test_runtime
