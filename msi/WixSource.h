#pragma once
// The package as WiX source (the WiX 3 schema): the rows of the finished
// package read back and written as the elements that make them, so that the
// keys, component codes and values are the ones the build chose. What the
// package does not keep, where each packed file and each icon was read, comes
// from the build.
#include "common/Result.h"
#include "msi/BuildCounts.h"
#include "msi/PackageTables.h"
#include "msi/WixElement.h"

#include <string>

inline constexpr const wchar_t* WixNamespace = L"http://schemas.microsoft.com/wix/2006/wi";

// The WiX source beside a package: the package's path with ".wxs" in place
// of its extension.
std::wstring WixSourcePath(const std::wstring& packagePath);

// The Wix element of a package's rows.
WixElement WixSourceOf(const PackageTables& tables, const PackageSources& sources);

// Reads the package at `packagePath` and writes its WiX source to `wxsPath`
// (UTF-8), replacing an earlier one. A failure is logged with the system's or
// Windows Installer's code and text.
Result WriteWixSource(const std::wstring& packagePath, const PackageSources& sources, const std::wstring& wxsPath);
