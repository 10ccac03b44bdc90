#pragma once
// One package row as the WiX 3 element that makes it. Each function takes a
// row of the columns PackageTableLayouts() reads for its table.
#include "msi/PackageTables.h"
#include "msi/WixElement.h"

#include <string>

// The Name, ShortName, SourceName and ShortSourceName attributes of a
// DefaultDir column ("short|long", "target:source"; "." sets none).
void SetDirectoryNames(WixElement& element, const std::wstring& defaultDir);
// The Name and ShortName attributes of a file name column ("short|long").
void SetFileNames(WixElement& element, const std::wstring& fileName);

WixElement FileElement(const PackageRow& file, const std::wstring& source, bool keyPath);
// A RegistryValue, or a RegistryKey for a row that only creates its key.
WixElement RegistryElement(const PackageRow& registry, bool keyPath);
WixElement ShortcutElement(const PackageRow& shortcut);
// An IniFile of the IniFile or the RemoveIniFile table.
WixElement IniFileElement(const PackageRow& ini);
// A RemoveFolder for a row without a file name, else a RemoveFile.
WixElement RemoveFileElement(const PackageRow& removeFile);
WixElement ServiceInstallElement(const PackageRow& service);
WixElement ServiceControlElement(const PackageRow& control);
WixElement EnvironmentElement(const PackageRow& environment);
