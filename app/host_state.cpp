#include "app/host_state.h"

HWND g_mainWindow = nullptr;
std::wstring g_pendingDocumentPath;
bool g_pageReady = false;
