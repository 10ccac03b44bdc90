#pragma once
// Plain file names: one name inside a folder, never a path, a device or a name
// the file system would change. Package and project file names pass through
// here before they are joined to the output folder.
#include <string>

// Why `name` is not one plain file name ("" when it is): path separators or a
// drive prefix, "." or "..", a reserved device name (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with or without an extension), a character that file names
// cannot hold, trailing dots or blanks, or nothing at all.
std::wstring PlainFileNameProblem(const std::wstring& name);

// `name` made plain: every character a file name cannot hold (separators and
// drive colons included) and trailing dots and blanks become "_", a reserved
// device name gets "_" after its base name, an empty name becomes "_".
std::wstring MakePlainFileName(const std::wstring& name);

// True for a captured file that is never packaged: a temporary file or a shell
// link, told by the extension of the last path component alone (".tmp" or
// ".lnk", any letter case). "layout.tmpl", "my.lnkhelper.dll" and
// "cache.tmpdir\data.bin" are ordinary files.
bool IsTemporaryOrLinkFile(const std::wstring& path);
