#pragma once
// The Base64 form of icon files in the project file: the standard alphabet,
// three bytes to four characters, no padding and no line breaks.
#include "common/ChangeTypes.h"

#include <cstddef>
#include <string>

std::wstring EncodeBase64(const void* data, std::size_t size);

// Reads an icon file into a record: Data = its bytes in Base64, Size = the
// length of Data in characters (decimal). Executables are left as they are.
// false (record untouched) when the file cannot be read.
[[nodiscard]] bool ReadIconFile(const std::wstring& path, IconRecord& record);
