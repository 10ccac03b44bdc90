#pragma once
// The data handed between the snapshot engine, the XML writers and readers,
// the review pages and the MSI builder. All maps are ordered by plain
// comparison of 16-bit character values (std::wstring's operator<).
#include <map>
#include <string>
#include <vector>

// Folder path (real form, no trailing backslash) to the full paths of the
// changed files directly inside it, in the order they were filed.
using DirectoryChangeMap = std::map<std::wstring, std::vector<std::wstring>>;

// One registry change: the key line "[path]", the value name part as written
// in the export ("\"name\"", "@", or empty for a key alone), the type name
// (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_QWORD) and the data text.
struct RegistryChangeEntry
{
    std::wstring KeyLine;
    std::wstring ValueName;
    std::wstring TypeName;
    std::wstring Data;

    friend bool operator==(const RegistryChangeEntry&, const RegistryChangeEntry&) = default;
};
// Key path (without brackets) to its changed values, in the order found.
using RegistryChangeMap = std::map<std::wstring, std::vector<RegistryChangeEntry>>;

// One INI change: section, key and value.
struct IniChangeEntry
{
    std::wstring Section;
    std::wstring Key;
    std::wstring Value;

    friend bool operator==(const IniChangeEntry&, const IniChangeEntry&) = default;
};
// INI file path (token form) to its changed entries, in the order found.
using IniChangeMap = std::map<std::wstring, std::vector<IniChangeEntry>>;

struct ShortcutRecord
{
    std::wstring Name;
    std::wstring ExeName;
    std::wstring Directory;
    std::wstring Icon;
    std::wstring IconIndex;
    // Optional; empty in shortcuts chosen on the project page and in project
    // files written before they were kept. A captured shortcut's Start-menu
    // subfolder below its Directory (Vendor\App), arguments, working folder,
    // description and show command ("3" maximised, "7" minimised; empty: normal).
    std::wstring Subfolder = {};
    std::wstring Arguments = {};
    std::wstring WorkingFolder = {};
    std::wstring Description = {};
    std::wstring ShowCommand = {};

    friend bool operator==(const ShortcutRecord&, const ShortcutRecord&) = default;
};
using ShortcutList = std::vector<ShortcutRecord>;

// An icon file used by shortcuts: the length of Data in characters, the file's
// bytes in Base64, and the executables whose shortcuts use it.
struct IconRecord
{
    std::wstring Size;
    std::wstring Data;
    std::vector<std::wstring> Executables;

    friend bool operator==(const IconRecord&, const IconRecord&) = default;
};
using IconMap = std::map<std::wstring, IconRecord>;

struct ProductInfo
{
    std::wstring ApplicationName;
    std::wstring Version;
    std::wstring CompanyName;
    // Optional: the product's UpgradeCode as the project file pins it; empty
    // when the project file names none (the build then derives it).
    std::wstring UpgradeCode = {};
    // "x64" when the capture ran on 64-bit Windows; empty otherwise (and in
    // project files written before the platform was recorded).
    std::wstring Platform = {};

    friend bool operator==(const ProductInfo&, const ProductInfo&) = default;
};

// Category ("File", "Registry", "SetupFilePath", "SetupFileInfo") to its strings.
using ScanDetails = std::map<std::wstring, std::vector<std::wstring>>;

// The list paths of the project file; they double as change categories.
namespace NodePath {
inline constexpr const wchar_t* FilesAdded = L"FileSystem//AddedItems//DirectoryList";
inline constexpr const wchar_t* FilesModified = L"FileSystem//ModifiedItems//DirectoryList";
inline constexpr const wchar_t* FilesDeleted = L"FileSystem//DeletedItems//DirectoryList";
inline constexpr const wchar_t* RegistryAdded = L"RegistrySystem//AddedItems//SubKeyList";
inline constexpr const wchar_t* RegistryModified = L"RegistrySystem//ModifiedItems//SubKeyList";
inline constexpr const wchar_t* RegistryDeleted = L"RegistrySystem//DeletedItems//SubKeyList";
inline constexpr const wchar_t* IniAdded = L"INIFileSystem//AddedItems//FileList";
inline constexpr const wchar_t* IniModified = L"INIFileSystem//ModifiedItems//FileList";
inline constexpr const wchar_t* IniDeleted = L"INIFileSystem//DeletedItems//FileList";
inline constexpr const wchar_t* Shortcuts = L"ShortcutList";
inline constexpr const wchar_t* ShortcutIcons = L"ShortcutICONs";
inline constexpr const wchar_t* Product = L"ProductInformation";
} // namespace NodePath
