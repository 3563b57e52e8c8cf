// A web view that only records what the host posts to it.
#pragma once

#include "support/com_stubs.h"

#include <string>
#include <vector>

class RecordingWebView : public StubWebView {
public:
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) override {
        posted.emplace_back(json != nullptr ? json : L"<null>");
        return result;
    }

    std::vector<std::wstring> posted;
    HRESULT result = S_OK;
};
