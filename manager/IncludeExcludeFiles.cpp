#include "manager/IncludeExcludeFiles.h"

#include "project/IncludeExcludeLists.h"
#include "common/Log.h"

CIncludeExcludeFiles::CIncludeExcludeFiles(const WorkPaths& paths)
    : m_paths(paths), m_includeExcludePath(paths.DefaultIncludeExcludePath)
{
}

ExcludedItemMap* CIncludeExcludeFiles::LoadExcludedItems(const std::wstring& listPath, const std::wstring& file)
{
    const std::lock_guard lock(m_lock);
    if (!m_document.Load(file)) {
        LogError(L" Unable to Load " + file + L" File");
        return nullptr;
    }
    ExcludedItemMap* map = ExcludedMapFor(listPath);
    if (map)
        ReadIncludeExcludeList(m_document, listPath, IncludeExcludeLists());
    return map;
}

IncludedItemMap* CIncludeExcludeFiles::LoadIncludedItems(const std::wstring& listPath)
{
    const std::lock_guard lock(m_lock);
    if (!m_document.Load(m_paths.DefaultIncludeExcludePath)) {
        LogError(L" Unable to Load " + m_paths.DefaultIncludeExcludePath + L" File");
        return nullptr;
    }
    IncludedItemMap* map = IncludedMapFor(listPath);
    if (map)
        ReadIncludeExcludeList(m_document, listPath, IncludeExcludeLists());
    return map;
}

void CIncludeExcludeFiles::LoadExcludedLists()
{
    const std::wstring updated = m_paths.UpdatedIncludeExcludePath;
    const std::wstring file = GetFileAttributesW(updated.c_str()) != INVALID_FILE_ATTRIBUTES
                                  ? updated
                                  : m_paths.DefaultIncludeExcludePath;
    LoadExcludedItems(IncludeExcludePath::FilesExcluded, file);
    LoadExcludedItems(IncludeExcludePath::RegistryExcluded, file);
}

void CIncludeExcludeFiles::Save(int mode, const std::wstring& targetName)
{
    const std::lock_guard lock(m_lock);
    // A save rewrites the lists of one mode in its own target and keeps the
    // other lists as that target has them: it starts from the target itself
    // (from the default file while the target does not exist yet). Starting
    // from another file would carry that file's lists into the target (the
    // user's updated exclusions into the default file, say).
    const std::wstring target = targetName == UpdatedIncludeExcludeName ? m_paths.UpdatedIncludeExcludePath
                                                                        : m_paths.DefaultIncludeExcludePath;
    const std::wstring source = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
                                    ? target
                                    : m_paths.DefaultIncludeExcludePath;
    if (m_document.Load(source))
        RegenerateIncludeExcludeFile(m_document, IncludeExcludeLists(), mode, targetName, m_paths, m_includeExcludePath);
}

void CIncludeExcludeFiles::CopyExcludedItems(const std::wstring& listPath, ExcludedItemMap& destination)
{
    ExcludedItemMap* source = ExcludedMapFor(listPath);
    if (!source || source == &destination)
        return;
    destination = *source;
}

std::wstring CIncludeExcludeFiles::LoadedPath() const
{
    const std::lock_guard lock(m_lock);
    return m_includeExcludePath;
}
