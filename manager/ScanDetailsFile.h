#pragma once
// "ScanDetails.txt": the folders, registry roots, setup program and product
// information of a pending capture, kept so that a restart can resume it.
// A sequence of records: category code (int32 LE), byte length (int32 LE), and
// that many bytes of UTF-8 text.
#include "common/ChangeTypes.h"
#include "common/Result.h"

#include <string>

inline constexpr const wchar_t* ScanDetailsFileName = L"ScanDetails.txt";
inline constexpr int MaxScanDetailsBytes = 1023;

// Writes the map in category-name order. Strings longer than 1023 bytes cannot
// be read back and are left out with a log line. A failure, logged with the
// system's code and text, when the file cannot be written.
Result WriteScanDetailsFile(const std::wstring& file, const ScanDetails& details);

// Reads the records back. A missing file gives an empty map; a record that is
// cut short, or whose length is negative or over 1023 bytes, ends the reading
// with a log line (what was read before it is kept).
ScanDetails ReadScanDetailsFile(const std::wstring& file);
