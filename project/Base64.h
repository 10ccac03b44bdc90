#pragma once
// The Base64 form of icon files in the project file: the standard alphabet,
// three bytes to four characters, no padding and no line breaks.
#include "common/ChangeTypes.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

std::wstring EncodeBase64(const void* data, std::size_t size);

// The inverse of EncodeBase64, lenient as the project file may have been
// edited by hand: characters of the standard alphabet are taken in groups of
// four, any other character ("=" padding and line breaks included) is skipped
// without counting, a NUL where a group would begin ends the text, and a
// final group of two or three characters gives one or two bytes (a lone
// final character gives nothing).
std::vector<unsigned char> DecodeBase64(std::wstring_view text);

// Writes the bytes that `record`'s Data encodes to `path` (created or
// truncated), as a binary file. false when the file cannot be written.
[[nodiscard]] bool WriteIconFile(const IconRecord& record, const std::wstring& path);

// Reads an icon file into a record: Data = its bytes in Base64, Size = the
// length of Data in characters (decimal). Executables are left as they are.
// false (record untouched) when the file cannot be read.
[[nodiscard]] bool ReadIconFile(const std::wstring& path, IconRecord& record);
