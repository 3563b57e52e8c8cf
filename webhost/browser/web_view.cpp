#include "webhost/browser/web_view.h"

#include "loader/create_environment.h"
#include "webhost/browser/environment_completed_handler.h"
#include "webhost/browser/environment_failure.h"
#include "webhost/browser/user_data_folder.h"
#include "webhost/serving/viewer_page.h"

#include <string>

void InitWebView(HWND mainWindow, PageMessageActions actions) noexcept {
    HRESULT result = E_OUTOFMEMORY;
    try {
        const std::wstring userDataFolder = UserDataFolder();
        std::wstring pageText = LoadViewerPageText();
        InjectImageDataUri(pageText, LoadImageDataUri());

        // The handler owns the page text from here on; start-up continues in it.
        const auto handler =
            MakeCallback<EnvironmentCompletedHandler>(mainWindow, std::move(pageText), actions);
        result = CreateCoreWebView2EnvironmentWithOptions(
            nullptr, userDataFolder.empty() ? nullptr : userDataFolder.c_str(), nullptr, handler.Get());
    } catch (...) {
        // No memory to prepare the page: the environment cannot be asked for, which the user is
        // told exactly as if it had been refused.
    }
    if (FAILED(result)) {
        // No completion will come for a refused request.
        ShowEnvironmentFailure(mainWindow);
    }
}
