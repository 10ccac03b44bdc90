#pragma once
// The included and excluded folders and registry keys of the include/exclude
// file: one selection of four maps keyed by the upper-cased name (so names
// that differ only in case are one entry; the first one read wins), and the
// reader and writers between it and the file. The run's selection is held by
// its session.
#include <map>
#include <string>

class XmlDocument;
struct WorkPaths;

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

struct IncludeExcludeSelection
{
    IncludedItemMap FilesIncluded;
    IncludedItemMap RegistryIncluded;
    ExcludedItemMap FilesExcluded;
    ExcludedItemMap RegistryExcluded;

    // The map that belongs to a list path (IncludeExcludePath), or null for
    // any other path.
    IncludedItemMap* IncludedFor(const std::wstring& listPath) noexcept;
    ExcludedItemMap* ExcludedFor(const std::wstring& listPath) noexcept;
    const IncludedItemMap* IncludedFor(const std::wstring& listPath) const noexcept
    {
        return const_cast<IncludeExcludeSelection*>(this)->IncludedFor(listPath);
    }
    const ExcludedItemMap* ExcludedFor(const std::wstring& listPath) const noexcept
    {
        return const_cast<IncludeExcludeSelection*>(this)->ExcludedFor(listPath);
    }

    friend bool operator==(const IncludeExcludeSelection&, const IncludeExcludeSelection&) = default;
};

// Reads the entries of one list of a loaded document into its map of
// `selection`; entries already in the map (by upper-cased name) are kept.
void ReadIncludeExcludeList(const XmlDocument& document, const std::wstring& listPath,
                            IncludeExcludeSelection& selection);

// Mode 0 rewrites the included lists, mode 1 the excluded lists of a loaded
// include/exclude document from `selection`, and saves. A target
// named "UpdatedIncludeExclude.xml" (or "DefaultIncludeExclude.xml") switches
// `includeExcludePath` to that file of `workPaths` first, whichever mode it is;
// the saves go to `includeExcludePath`.
void RegenerateIncludeExcludeFile(XmlDocument& document, const IncludeExcludeSelection& selection, int mode,
                                  const std::wstring& targetName, const WorkPaths& workPaths,
                                  std::wstring& includeExcludePath);
// Writes the entries of the map of `selection` that belongs to the list path
// and saves to `savePath`.
void WriteIncludeExcludeEntries(XmlDocument& document, const IncludeExcludeSelection& selection,
                                const std::wstring& listPath, const std::wstring& savePath);
