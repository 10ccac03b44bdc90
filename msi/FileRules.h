#pragma once
// What Windows Installer decides file actions and validity from: the File
// table's Version and Language of a versioned file, the MsiFileHash row of an
// unversioned one, and a check of a database's own rows against the rules
// the installer's validation applies.
#include "msi/MsiHandle.h"

#include <string>
#include <string_view>
#include <vector>

// The File table's Version and Language of a file: the fixed file version as
// "a.b.c.d" and the language ids of the version resource's translation table,
// in decimal, comma-separated, each once. False, with both empty, when the
// file has no version resource.
bool ReadFileVersionColumns(const std::wstring& path, std::wstring& version, std::wstring& language);

// The four parts of the file's hash as msi.dll computes it for the
// MsiFileHash table. False after one log line when the file cannot be read.
bool ReadFileHash(const std::wstring& path, int (&parts)[4]);

// One read of a file for its MsiFileHash row: an executable image (a file
// that starts with "MZ") is left to ReadFileVersionColumns, which answers
// whether it needs a hash at all; any other file has no version resource and
// is hashed in the same read, as msi.dll hashes it.
// `file` is open for reading at its start; `path` names it.
enum class FileHashRead { Hashed, Image, Failed };
// With `images` set, an executable image is hashed too (one without a
// version); the handle must then be at the file's start again.
FileHashRead HashUnlessImage(HANDLE file, const std::wstring& path, int (&parts)[4], bool images = false);

// True when the text is an installer identifier: an ASCII letter or "_"
// first, then ASCII letters, digits, "_" and ".".
bool IsInstallerIdentifier(std::wstring_view text);

// What the installer's validation would reject in the database's rows, one
// line each: identifiers that are not identifiers (every column the
// _Validation table calls Identifier), components without a key path, two
// components with one ComponentId, a KeyPath naming a row of another
// component or no row, a Directory_Parent without a row.
std::vector<std::wstring> CheckPackageRules(MSIHANDLE database);
