#pragma once
// Per-user data of a capture: files below the capturing user's profile and
// values below HKEY_CURRENT_USER. The package installs them for the user who
// installs it (as the setup did for the user who ran it); the count tells the
// administrator how much of the package is of that kind.
#include "common/ChangeTypes.h"

#include <string>
#include <vector>

struct PerUserDataCount
{
    long long files = 0;  // added and modified files below the profile
    long long values = 0; // added and modified values below HKEY_CURRENT_USER
};

// Counts in `fileMaps` the files whose folder is `profile` or lies below it
// (without regard to case) and in `keyMaps` the values (entries with a value
// name) of keys below HKEY_CURRENT_USER.
PerUserDataCount CountPerUserData(const std::vector<const DirectoryChangeMap*>& fileMaps,
                                  const std::vector<const RegistryChangeMap*>& keyMaps, const std::wstring& profile);

// "Per-user data: 2 files in the user profile, 1 HKEY_CURRENT_USER value (installed for the user who
// installs the package)."
std::wstring PerUserDataLine(const PerUserDataCount& count);
