#pragma once
// What a captured item becomes in a package built from a capture of 64-bit
// Windows (project file Platform="x64"): 64-bit components for the 64-bit
// Program Files, the real System32 and the keys only the 64-bit registry view
// has; 32-bit components for everything else. Without Platform="x64" every
// answer is the 32-bit one, as for packages built before.
#include <string>

// "x64" (any case) in the project file's platform attribute.
[[nodiscard]] bool IsX64Platform(const std::wstring& platform);

// True when files of the folder (token form) belong in 64-bit components:
// %PROGRAMFILES64% and %WINDIR%\System32 and everything below them.
[[nodiscard]] bool IsFolder64Bit(const std::wstring& folder, bool x64Capture);

// The installer folder that stands for the whole folder (token form) in a
// capture of 64-bit Windows: ProgramFiles64Folder, System64Folder for the real
// System32, SystemFolder for SysWOW64 (the 32-bit system folder wherever the
// package is installed). "" for any other folder, and for every folder of a
// 32-bit capture.
[[nodiscard]] std::wstring PlatformFolderProperty(const std::wstring& folder, bool x64Capture);

// True for %WINDIR%\System32 and the folders below it (token form, any case).
[[nodiscard]] bool IsInRealSystem32(const std::wstring& folder);

// Decides a registry value's component for a key path without its root as the
// capture recorded it (the 64-bit view on 64-bit Windows). A key of the 32-bit
// view loses its WOW6432Node level and is 32-bit; a key only the 64-bit view
// has is 64-bit. Returns true for 64-bit.
[[nodiscard]] bool TakeRegistryKeyView(const std::wstring& root, std::wstring& key, bool x64Capture);
