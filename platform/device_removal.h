// A device that the user asks to remove (a USB drive, a card) is removed only once nobody holds a file
// or folder open on it. A program that keeps a handle open there for its own reasons asks the system to
// tell its window first (WM_DEVICECHANGE), so that it can let go in time.
#pragma once

#include "platform/unique_handle.h"

#include <windows.h>
#include <dbt.h>

// Asks that `window` hear of the removal of the device holding `openOnDevice` (an open file or folder):
// DBT_DEVICEQUERYREMOVE before it, then DBT_DEVICEQUERYREMOVEFAILED or DBT_DEVICEREMOVECOMPLETE. Empty
// where the system offers no such notice.
UniqueDeviceNotification NotifyBeforeRemoval(HWND window, HANDLE openOnDevice) noexcept;

// The handle notice that a WM_DEVICECHANGE carries in its lParam; null for every other kind of notice.
const DEV_BROADCAST_HANDLE* HandleNotice(LPARAM lParam) noexcept;
