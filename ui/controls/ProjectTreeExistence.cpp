// The existence check of the project tree: a fill hands the paths of its
// files (keys) to a worker, which looks them up between stop requests and
// posts its findings to the tree window; there the items are coloured and
// counted in the fill's order, and the owner's handler is told.
#include "ui/controls/ProjectTreeCtrl.h"

#include "common/Paths.h"
#include "common/StopToken.h"
#include "common/UniqueHandle.h"

bool RegistryKeyExists(const std::wstring& keyPath)
{
    const auto separator = keyPath.find(L'\\');
    const std::wstring hive = keyPath.substr(0, separator);
    const auto root = HiveNames().find(hive);
    if (root == HiveNames().end())
        return false;
    const std::wstring rest = separator == std::wstring::npos ? std::wstring() : keyPath.substr(separator + 1);
    UniqueHKey key;
    return RegOpenKeyExW(root->second, rest.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void CProjectTreeCtrl::StartExistenceCheck()
{
    const WPARAM generation = ++m_generation;
    const bool registry = m_registry;
    // The worker gets its own copy of the paths and the shared findings, never the tree.
    m_worker.Start([check = m_check, paths = m_check->paths, registry, window = m_tree, generation] {
        const std::stop_token stop = CurrentStopToken();
        check->found.reserve(paths.size());
        for (const std::wstring& path : paths) {
            if (stop.stop_requested())
                return 0;
            check->found.push_back(registry ? RegistryKeyExists(path)
                                            : GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
        }
        check->complete.store(true);
        PostMessageW(window, ExistenceCheckedMessage, generation, 0);
        return 1;
    });
}

void CProjectTreeCtrl::StopExistenceCheck()
{
    ++m_generation;
    m_worker.RequestStop();
    m_worker.Join();
    m_check.reset();
}

void CProjectTreeCtrl::WaitForExistenceCheck()
{
    if (!m_check)
        return;
    m_worker.Join();
    ApplyExistenceCheck();
}

void CProjectTreeCtrl::ApplyExistenceCheck()
{
    // Taken first: the handler may fill the tree again.
    const std::shared_ptr<ExistenceCheck> check = std::move(m_check);
    m_check.reset();
    if (!check || !check->complete.load())
        return;
    // In the fill's order, so that a found folder or key drawn green turns
    // red again when an entry below it is missing.
    for (std::size_t i = 0; i < check->entries.size(); ++i) {
        const ExistenceCheck::Entry& entry = check->entries[i];
        if (check->found[i]) {
            if (!IsMarkedMissing(entry.Item))
                SetItemColor(entry.Item, ExistingColor);
            continue;
        }
        MarkMissing(entry.Item);
        auto& files = m_found.Entries[entry.Key];
        if (!m_registry)
            files.push_back(entry.File);
        ++m_found.Missing;
    }
    if (m_tree)
        InvalidateRect(m_tree, nullptr, FALSE);
    if (m_onChecked)
        m_onChecked();
}
