#pragma once
// The two registry views of 64-bit Windows, as key paths of the 64-bit view:
// the 32-bit view lies below SOFTWARE\WOW6432Node of HKEY_LOCAL_MACHINE (with
// the machine's classes below SOFTWARE\Classes\WOW6432Node), below
// Software\Classes\WOW6432Node of HKEY_CURRENT_USER and below WOW6432Node of
// HKEY_CLASSES_ROOT. Roots are long hive names; comparisons ignore case.
#include <string>
#include <string_view>
#include <vector>

// The same key in the 32-bit view, for a key path with its root
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Vendor" -> "...\SOFTWARE\WOW6432Node\Vendor",
// and "...\SOFTWARE\Classes\WOW6432Node\X" too for a key below Classes).
// Empty for keys that the views share and for keys already in the 32-bit view.
std::vector<std::wstring> Wow6432NodeTwins(std::wstring_view keyPath);

// Removes the WOW6432Node level from a key (without its root) of the 32-bit
// view: "SOFTWARE\WOW6432Node\Vendor" under HKEY_LOCAL_MACHINE becomes
// "SOFTWARE\Vendor". False, and the key unchanged, for any other key.
bool StripWow6432Node(const std::wstring& root, std::wstring& key);

// True for a key path with its root that lies in the 32-bit view (below a
// WOW6432Node level), the node itself excluded.
bool IsIn32BitView(std::wstring_view keyPath);

// True for a key (without its root) that only a 64-bit program sees there:
// redirected on 64-bit Windows and not in the 32-bit view. Shared keys
// (HKEY_CURRENT_USER\Software, HKEY_LOCAL_MACHINE\SYSTEM) are false.
bool IsOnly64BitViewKey(const std::wstring& root, const std::wstring& key);
