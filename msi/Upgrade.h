#pragma once
// What makes a package replace an earlier one of the same product: the
// ProductVersion Windows Installer compares, and component codes that stay
// with their files from build to build and from version to version.
#include <string>
#include <string_view>

// The action properties of the package's Upgrade rows; the template lists
// both in SecureCustomProperties.
inline constexpr const wchar_t* PreviousVersionsProperty = L"PREVIOUSVERSIONSINSTALLED";
inline constexpr const wchar_t* NewerVersionProperty = L"NEWERVERSIONDETECTED";

// The ProductVersion for a version text: its leading numbers (characters
// before the first digit are passed over), at most three fields, major and
// minor at most 255 and build at most 65535 (larger numbers are lowered to
// the limit), at least two fields. "2.5 beta" gives "2.5", "1.2.3.4" gives
// "1.2.3", "7" gives "7.0", a text without a digit gives "0.0".
std::wstring NormalizeProductVersion(std::wstring_view text);

// A component's code: the name-based UUID of its identity, compared without
// regard to case, in the namespace of the product's UpgradeCode. Empty when
// the UpgradeCode is not a GUID or the code cannot be made.
std::wstring ComponentCode(std::wstring_view upgradeCode, std::wstring_view identity);

// The identity of a file's component: its folder in token form and its name.
std::wstring FileComponentIdentity(std::wstring_view tokenFolder, std::wstring_view fileName);
// The identity of one of the fixed components (registry, INI): its name and
// the package's platform.
std::wstring FixedComponentIdentity(std::wstring_view componentName);
