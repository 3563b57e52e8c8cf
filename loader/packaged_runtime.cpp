#include "loader/packaged_runtime.h"

#include "loader/platform_seam.h"
#include "loader/runtime_candidate.h"
#include "loader/runtime_channels.h"

#include <memory>
#include <new>

namespace {

constexpr UINT32 kPackageInfoFlags = kPackageFilterStatic | kPackageFilterDynamic | kPackagePropertyFramework;

struct HeapStringDeleter {
    void operator()(wchar_t* text) const noexcept { ::HeapFree(::GetProcessHeap(), 0, text); }
};
using UniqueHeapString = std::unique_ptr<wchar_t, HeapStringDeleter>;

// A package added this way may also be a dependency of the process already, so a failure here does
// not end the search; and the dependency is never removed, it lasts as long as the process.
void AddRuntimePackageDependency(const LoaderPlatform& platform, PCWSTR familyName) noexcept {
    PWSTR rawId = nullptr;
    const PackageVersion anyVersion = {};
    const HRESULT hr = platform.tryCreatePackageDependency(
        nullptr, familyName, anyVersion, kPackageDependencyArchitecturesNone,
        kPackageDependencyLifetimeProcess, nullptr, kCreatePackageDependencyOptionsNone, &rawId);
    const UniqueHeapString dependencyId(rawId);
    if (FAILED(hr)) {
        return;
    }
    PackageDependencyContext context = nullptr;
    platform.addPackageDependency(dependencyId.get(), kPackageDependencyRankDefault,
                                  kAddPackageDependencyOptionsNone, &context, nullptr);
}

} // namespace

bool FindPackagedRuntime(size_t channel, std::wstring& dllPath) noexcept {
    const LoaderPlatform& platform = GetLoaderPlatform();
    if (channel >= kRuntimeChannels.size() || platform.tryCreatePackageDependency == nullptr ||
        platform.addPackageDependency == nullptr) {
        return false;
    }
    const PCWSTR familyName = kRuntimeChannels[channel].packageFamilyName;
    AddRuntimePackageDependency(platform, familyName);

    if (platform.getCurrentPackageInfo == nullptr) {
        return false;
    }
    UINT32 length = 0;
    UINT32 count = 0;
    if (platform.getCurrentPackageInfo(kPackageInfoFlags, &length, nullptr, &count) !=
            ERROR_INSUFFICIENT_BUFFER ||
        length == 0) {
        return false;
    }
    // operator new aligns for any fundamental type, so the entries can be read in place.
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[length]);
    if (!buffer) {
        return false;
    }
    const UINT32 capacity = length;
    count = 0;
    if (platform.getCurrentPackageInfo(kPackageInfoFlags, &length, buffer.get(), &count) != ERROR_SUCCESS ||
        count == 0) {
        return false;
    }
    // Never walk past what was allocated, whatever count the call reports.
    const size_t entries = count <= capacity / sizeof(PackageInfo) ? count : capacity / sizeof(PackageInfo);
    const auto* packages = reinterpret_cast<const PackageInfo*>(buffer.get());
    for (size_t i = 0; i < entries; ++i) {
        const PackageInfo& package = packages[i];
        if (package.packageFamilyName == nullptr ||
            ::CompareStringOrdinal(package.packageFamilyName, -1, familyName, -1, TRUE) != CSTR_EQUAL) {
            continue;
        }
        if (package.path == nullptr) {
            return false;
        }
        const PackageVersionParts& parts = package.packageId.version.parts;
        const RuntimeVersion version = {parts.major, parts.minor, parts.build, parts.revision};
        try {
            dllPath = package.path;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return AcceptRuntimeCandidate(version, dllPath);
    }
    return false;
}
