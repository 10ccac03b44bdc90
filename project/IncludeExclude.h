#pragma once
// The included and excluded folders and registry keys of the include/exclude
// file, held in four process-wide maps keyed by the upper-cased name (so names
// that differ only in case are one entry; the first one read wins).
//
// Threads: the maps have no lock. They are written only while no capture
// worker runs: on the window thread, or by the advanced sheet's loader while
// that sheet (modal, its OK and Cancel disabled) is open. A capture worker
// reads the excluded maps when it starts (CEnumerateWrapper::CaptureSnapshot).
#include <map>
#include <string>

class CXMLDocumentHandler;

namespace IncludeExcludePath {
inline constexpr const wchar_t* FilesIncluded = L"FileSystem//IncludedItems";
inline constexpr const wchar_t* FilesExcluded = L"FileSystem//ExcludedItems";
inline constexpr const wchar_t* RegistryIncluded = L"RegistrySystem//IncludedItems";
inline constexpr const wchar_t* RegistryExcluded = L"RegistrySystem//ExcludedItems";
} // namespace IncludeExcludePath

inline constexpr const wchar_t* DefaultIncludeExcludeName = L"DefaultIncludeExclude.xml";
inline constexpr const wchar_t* UpdatedIncludeExcludeName = L"UpdatedIncludeExclude.xml";

// Upper-cased name -> name as read.
using IncludedItemMap = std::map<std::wstring, std::wstring>;

struct ExcludedItem
{
    std::wstring Name;
    std::wstring Description;

    friend bool operator==(const ExcludedItem&, const ExcludedItem&) = default;
};
// Upper-cased name -> name as read and its description.
using ExcludedItemMap = std::map<std::wstring, ExcludedItem>;

IncludedItemMap& FileIncludedItems();
IncludedItemMap& RegistryIncludedItems();
ExcludedItemMap& FileExcludedItems();
ExcludedItemMap& RegistryExcludedItems();

// The maps that belong to a list path, or null for any other path.
IncludedItemMap* IncludedMapFor(const std::wstring& listPath);
ExcludedItemMap* ExcludedMapFor(const std::wstring& listPath);

// Reads the entries of one list of a loaded document into its map; entries
// already in the map (by upper-cased name) are kept.
void ReadIncludeExcludeList(const CXMLDocumentHandler& document, const std::wstring& listPath);
