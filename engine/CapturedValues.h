#pragma once
// The data of a captured value as the registry comparison keeps it (quoted
// text for REG_SZ, the hexadecimal digits of the bytes for REG_EXPAND_SZ and
// the other hex types, the hexadecimal number for REG_DWORD), read back.
#include "common/ChangeTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The text of a REG_SZ or REG_EXPAND_SZ value (not expanded); none for other types.
std::optional<std::wstring> CapturedText(const RegistryChangeEntry& value);
// The strings of a REG_MULTI_SZ value (or the text of a string value as one);
// none for other types.
std::optional<std::vector<std::wstring>> CapturedStrings(const RegistryChangeEntry& value);
// The number of a REG_DWORD value; none for other types.
std::optional<std::uint32_t> CapturedNumber(const RegistryChangeEntry& value);
// The value name without its quotes ("" for the default value).
std::wstring CapturedValueName(const RegistryChangeEntry& value);
