#include "platform/device_removal.h"

UniqueDeviceNotification NotifyBeforeRemoval(HWND window, HANDLE openOnDevice) noexcept {
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof(filter);
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = openOnDevice;
    return UniqueDeviceNotification(
        ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

const DEV_BROADCAST_HANDLE* HandleNotice(LPARAM lParam) noexcept {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_HANDLE ||
        header->dbch_size < offsetof(DEV_BROADCAST_HANDLE, dbch_eventguid)) {
        return nullptr;
    }
    return reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header);
}
