#pragma once
// The Base64 form of icon files in the project file: the standard alphabet,
// three bytes to four characters, no padding and no line breaks.
#include "common/ChangeTypes.h"
#include "common/Result.h"

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
// truncated), as a binary file. A failure names the file, with the system's
// code and text, when it cannot be written; nothing is logged.
Result WriteIconFile(const IconRecord& record, const std::wstring& path);

// Reads an icon file into a record: Data = its bytes in Base64, Size = the
// length of Data in characters (decimal). Executables are left as they are.
// A failure (record untouched, nothing logged) names the file, with the
// system's code and text, when it cannot be read.
Result ReadIconFile(const std::wstring& path, IconRecord& record);
