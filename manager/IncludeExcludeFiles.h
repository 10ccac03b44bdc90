#pragma once
// The include/exclude files of the program folder as a new capture and the
// advanced sheet use them: an included or excluded list read into its
// process-wide map, and the lists of one mode saved into one target file.
//
// Threads: the loads and the saves take turns (any thread); the advanced
// sheet's two pages load on their own workers.
#include "common/Paths.h"
#include "project/IncludeExclude.h"
#include "project/XmlDocument.h"

#include <mutex>
#include <string>

class CIncludeExcludeFiles
{
public:
    // The files are those of `paths` (the session's), which outlive this.
    explicit CIncludeExcludeFiles(const WorkPaths& paths);

    // Loads `file` and reads an excluded list (file-system or registry) into its
    // process-wide map. Null when the file cannot be loaded or the path names no
    // excluded list.
    ExcludedItemMap* LoadExcludedItems(const std::wstring& listPath, const std::wstring& file);
    // Loads the default include/exclude file and reads an included list.
    IncludedItemMap* LoadIncludedItems(const std::wstring& listPath);
    // Both excluded lists, from the file the user's exclusions live in:
    // "UpdatedIncludeExclude.xml" once an inclusion save switched to it, else
    // the default file.
    void LoadExcludedLists();
    // Mode 0: included lists, 1: excluded lists; saved into exactly the file
    // `targetName` names ("UpdatedIncludeExclude.xml" or
    // "DefaultIncludeExclude.xml"), whose other lists stay as they were.
    void Save(int mode, const std::wstring& targetName);
    // Copies an excluded list into `destination` (replacing its content).
    static void CopyExcludedItems(const std::wstring& listPath, ExcludedItemMap& destination);

    // The file of the last load or save.
    std::wstring LoadedPath() const;

private:
    const WorkPaths& m_paths;
    XmlDocument m_document;
    // The file the last save went to (the default file until then).
    std::wstring m_includeExcludePath;
    mutable std::mutex m_lock;
};
