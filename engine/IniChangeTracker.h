#pragma once
// INI change tracking: compares the backup copy of an INI file, made during
// the first capture, with the file as the installation left it, and files the
// differences per section and key into three change maps (added, modified,
// deleted), keyed by the INI file's path in token form. The maps are written
// into "INIChanges.xml".
#include "common/ChangeTypes.h"
#include "common/Paths.h"
#include "project/ChangeSet.h"
#include "project/XmlDocument.h"

#include <map>
#include <string>

// One "key=value" line of a section: the key up to the first "=" (leading "="
// skipped), the value all the rest, "=" and emptiness included. False for a
// line without "=" or without a key.
bool SplitIniEntry(const std::wstring& entry, std::wstring& key, std::wstring& value);

// What the IniFile table cannot hold of an INI file's text: a section that
// appears twice, a key repeated in a section, a line without "=" or a line
// outside any section (comments and blank lines aside). The first such thing
// found, described for the log; "" when entries express the whole file.
std::wstring IniTextBeyondEntries(const std::wstring& text);
// The same for a file (UTF-16 with its byte order mark, or 8-bit text).
std::wstring IniFileBeyondEntries(const std::wstring& path);

// Section name to (key to value); plain 16-bit ordering, so case-sensitive.
using IniSectionMap = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

class CIniChangeTracker
{
public:
    // Files the changes into the INI area of `changes`, which outlives it.
    // `paths` (the raw project file and the INI change document) and `tokens`
    // (the folders of the token paths) outlive it too and are read when used,
    // not copied.
    CIniChangeTracker(ChangeSet& changes, const WorkPaths& paths, const FolderTokenValues& tokens)
        : m_paths(paths), m_tokens(tokens), m_changes(changes)
    {
    }
    // Files the changes into a change set of its own.
    CIniChangeTracker(const WorkPaths& paths, const FolderTokenValues& tokens)
        : m_paths(paths), m_tokens(tokens), m_changes(m_ownChanges)
    {
    }
    CIniChangeTracker(const CIniChangeTracker&) = delete;
    CIniChangeTracker& operator=(const CIniChangeTracker&) = delete;

    // Loads the raw project file into the tracker's document; the result
    // (not logged) is the "loaded" flag that WriteINIChanges checks.
    Result Initialize();
    bool IsLoaded() const noexcept { return m_loaded; }

    // Reads both files (a missing file reads as empty), makes `currentPath`
    // (token form) the current INI file and files the differences. Always Ok.
    Result CompareINIFile(const std::wstring& backupPath, const std::wstring& currentPath);

    // Files one entry of that origin under the current INI file.
    void AddINIChange(ChangeOrigin origin, const IniChangeEntry& entry);

    // When loaded: writes the added, deleted and modified maps, in this order,
    // into the INI change document (IniChangesPath), starting from a fresh copy
    // of the raw project file. Ok when written; else the failure: the raw
    // project file's load (not loaded, or not again; not logged) or the
    // first writer's (logged by the writer).
    Result WriteINIChanges();

    // Empties the INI area of the change set, the section maps and the current path.
    void Reset();

    // Reads one INI file through the private-profile functions. Entries of
    // the form key=value are kept (SplitIniEntry), empty values included. A
    // section enters the map only with at least one kept entry; a repeated key
    // keeps its first value.
    static IniSectionMap ReadIniFile(const std::wstring& path);

    IniChangeMap& AddedItems() noexcept { return m_changes.Ini(ChangeOrigin::Added); }
    IniChangeMap& ModifiedItems() noexcept { return m_changes.Ini(ChangeOrigin::Modified); }
    IniChangeMap& DeletedItems() noexcept { return m_changes.Ini(ChangeOrigin::Deleted); }
    const std::wstring& CurrentPath() const noexcept { return m_currentPath; }

private:
    void CompareSections(const std::wstring& section, std::map<std::wstring, std::wstring>& oldKeys,
                         std::map<std::wstring, std::wstring>& newKeys);

    const WorkPaths& m_paths;
    const FolderTokenValues& m_tokens;
    bool m_loaded = false;
    Result m_load = Result::Ok();
    std::wstring m_currentPath;
    IniSectionMap m_oldSections;
    IniSectionMap m_newSections;
    ChangeSet m_ownChanges;
    ChangeSet& m_changes;
    XmlDocument m_document;
};
