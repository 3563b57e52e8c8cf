#include "webhost/browser/environment_failure.h"

MessageBoxFunction g_environmentFailureMessageBox = ::MessageBoxW;

void ShowEnvironmentFailure(HWND owner) noexcept {
    g_environmentFailureMessageBox(owner, kEnvironmentFailureText, kEnvironmentFailureCaption,
                                   kEnvironmentFailureStyle);
}
