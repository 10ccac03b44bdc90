// The coordinator's clean-up of a compared capture: the setup's own uninstall
// registration left out, its shortcut files read as shortcuts.
#include "engine/EnumerateWrapper.h"

#include "common/FolderTokens.h"
#include "common/Utf.h"

void CEnumerateWrapper::CleanCapture()
{
    m_uninstallEntries = MoveOutUninstallRegistration(m_changes.Files(ChangeOrigin::Added),
                                                      m_changes.Registry(ChangeOrigin::Added));
    // Filed with the other excluded changes: the review pages list them with
    // their description, and "<<" puts them back into the added maps.
    for (const MovedChangeEntry& entry : m_uninstallEntries) {
        if (entry.Origin.Area == ChangeArea::Files)
            m_exclusions.Files.Add({ChangeOrigin::Added, entry.Location, false, {entry.FilePath}, entry.Description});
        else if (entry.Value == RegistryChangeEntry{})
            m_exclusions.Registry.Add({ChangeOrigin::Added, entry.Location, true, {}, entry.Description});
        else
            m_exclusions.Registry.Add({ChangeOrigin::Added, entry.Location, true, {entry.Value}, entry.Description});
    }
    if (!m_uninstallEntries.empty()) {
        // Each side logs a failure of its own.
        (void)m_files.WriteFileChanges();
        (void)m_registry.WriteRegistryChanges();
    }

    ClassifySystemSettings();

    // A shortcut is kept when the package installs its target: an added or
    // modified file that the change document kept.
    std::vector<std::wstring> captured;
    for (const DirectoryChangeMap* map : {&m_changes.Files(ChangeOrigin::Added), &m_changes.Files(ChangeOrigin::Modified)})
        for (const auto& [folder, files] : *map)
            captured.insert(captured.end(), files.begin(), files.end());
    m_capturedShortcuts = ShortcutsFromLinks(m_files.AddedNotes().Links, ShortcutPlacesOfThisMachine(), captured);
    for (ShortcutRecord& record : m_capturedShortcuts.Shortcuts)
        ToTokenPath(record.ExeName, m_tokens);
    MergeShortcuts(m_shortcuts, m_capturedShortcuts.Shortcuts);
}
