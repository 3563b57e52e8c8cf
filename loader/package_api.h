// App-package and application-user-model declarations that the mingw-w64 headers lack, written from
// the platform's published x64 layouts. The names differ from the system headers' on purpose, so that
// a tool chain that does declare them (MSVC's appmodel.h) cannot clash with these.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct PackageVersionParts {
    UINT16 revision;
    UINT16 build;
    UINT16 minor;
    UINT16 major;
};

// Passed by value as one 8-byte integer, so it must stay exactly eight bytes.
union PackageVersion {
    UINT64 version;
    PackageVersionParts parts;
};

struct PackageId {
    UINT32 reserved;
    UINT32 processorArchitecture;
    PackageVersion version;
    PWSTR name;
    PWSTR publisher;
    PWSTR resourceId;
    PWSTR publisherId;
};

struct PackageInfo {
    UINT32 reserved;
    UINT32 flags;
    PWSTR path;
    PWSTR packageFullName;
    PWSTR packageFamilyName;
    PackageId packageId;
};

static_assert(sizeof(PackageVersion) == 8);
static_assert(offsetof(PackageVersionParts, build) == 2 && offsetof(PackageVersionParts, major) == 6);
static_assert(sizeof(PackageId) == 48);
static_assert(offsetof(PackageId, version) == 8 && offsetof(PackageId, name) == 16 &&
              offsetof(PackageId, publisherId) == 40);
static_assert(sizeof(PackageInfo) == 80);
static_assert(offsetof(PackageInfo, path) == 8 && offsetof(PackageInfo, packageFamilyName) == 24 &&
              offsetof(PackageInfo, packageId) == 32);

// An opaque, pointer-sized handle for an added package dependency.
using PackageDependencyContext = struct PackageDependencyContextTag*;

inline constexpr UINT32 kPackageDependencyArchitecturesNone = 0;
inline constexpr UINT32 kPackageDependencyLifetimeProcess = 0;
inline constexpr UINT32 kCreatePackageDependencyOptionsNone = 0;
inline constexpr UINT32 kAddPackageDependencyOptionsNone = 0;
inline constexpr INT32 kPackageDependencyRankDefault = 0;

inline constexpr UINT32 kPackageFilterStatic = 0x00080000;
inline constexpr UINT32 kPackageFilterDynamic = 0x00100000;
inline constexpr UINT32 kPackagePropertyFramework = 0x00000001;

inline constexpr LONG kAppModelErrorNoPackage = 15700;
inline constexpr LONG kAppModelErrorNoApplication = 15703;

// The longest application user model ID, terminator included.
inline constexpr UINT32 kAppUserModelIdMaxLength = 130;

// kernelbase.dll; the dependency id is freed with HeapFree(GetProcessHeap(), 0, id).
using TryCreatePackageDependencyFn = HRESULT(WINAPI*)(PSID user, PCWSTR packageFamilyName,
                                                      PackageVersion minVersion, UINT32 architectures,
                                                      UINT32 lifetimeKind, PCWSTR lifetimeArtifact,
                                                      UINT32 options, PWSTR* packageDependencyId);
using AddPackageDependencyFn = HRESULT(WINAPI*)(PCWSTR packageDependencyId, INT32 rank, UINT32 options,
                                                PackageDependencyContext* context, PWSTR* packageFullName);
using GetCurrentPackageInfoFn = LONG(WINAPI*)(UINT32 flags, UINT32* bufferLength, BYTE* buffer,
                                              UINT32* count);

// kernel32.dll
using GetCurrentApplicationUserModelIdFn = LONG(WINAPI*)(UINT32* applicationUserModelIdLength,
                                                         PWSTR applicationUserModelId);
// shell32.dll; the id is freed with CoTaskMemFree.
using GetCurrentProcessExplicitAppUserModelIdFn = HRESULT(WINAPI*)(PWSTR* appId);
