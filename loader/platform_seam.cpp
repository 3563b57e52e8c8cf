#include "loader/platform_seam.h"

#include "platform/module_export.h"

#include <atomic>

namespace {

std::atomic<const LoaderPlatform*> g_override{nullptr};

LoaderPlatform ResolveRealPlatform() noexcept {
    LoaderPlatform platform;
    platform.outputDebugStringA = &::OutputDebugStringA;
    platform.outputDebugStringW = &::OutputDebugStringW;
    platform.regOpenKeyExW = &::RegOpenKeyExW;

    // Both modules are loaded in every process; their handles need no reference of ours.
    const HMODULE kernelBase = ::GetModuleHandleW(L"kernelbase.dll");
    platform.tryCreatePackageDependency =
        FindExport<TryCreatePackageDependencyFn>(kernelBase, "TryCreatePackageDependency");
    platform.addPackageDependency = FindExport<AddPackageDependencyFn>(kernelBase, "AddPackageDependency");
    platform.getCurrentPackageInfo = FindExport<GetCurrentPackageInfoFn>(kernelBase, "GetCurrentPackageInfo");
    const HMODULE kernel32 = ::GetModuleHandleW(L"Kernel32.dll");
    platform.getCurrentApplicationUserModelId =
        FindExport<GetCurrentApplicationUserModelIdFn>(kernel32, "GetCurrentApplicationUserModelId");

    // The remembered entry point must stay valid for the life of the process, so this module
    // reference is deliberately never released.
    const HMODULE shell32 = ::LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    platform.getCurrentProcessExplicitAppUserModelId = FindExport<GetCurrentProcessExplicitAppUserModelIdFn>(
        shell32, "GetCurrentProcessExplicitAppUserModelID");
    return platform;
}

} // namespace

const LoaderPlatform& RealLoaderPlatform() noexcept {
    static const LoaderPlatform real = ResolveRealPlatform();
    return real;
}

const LoaderPlatform& GetLoaderPlatform() noexcept {
    const LoaderPlatform* installed = g_override.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : RealLoaderPlatform();
}

void WriteDebuggerTextA(LPCSTR text) noexcept {
    GetLoaderPlatform().outputDebugStringA(text);
}

void WriteDebuggerTextW(LPCWSTR text) noexcept {
    GetLoaderPlatform().outputDebugStringW(text);
}

ScopedLoaderPlatformOverride::ScopedLoaderPlatformOverride(const LoaderPlatform& platform) noexcept
    : platform_(platform), previous_(g_override.exchange(&platform_, std::memory_order_acq_rel)) {
}

ScopedLoaderPlatformOverride::~ScopedLoaderPlatformOverride() {
    g_override.store(previous_, std::memory_order_release);
}
