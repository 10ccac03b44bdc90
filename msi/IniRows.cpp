#include "msi/IniRows.h"
#include "project/ProjectReaders.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "msi/BuildContext.h"
#include "msi/DirectoryRows.h"
#include "msi/MachineValues.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <msidefs.h>

#include <utility>
#include <vector>

// An INI value as the IniFile table's Value: an empty value is written as a
// reference to a property that is never set, which formats to nothing (a null
// Value would make the line be removed instead of written as "key=").
std::wstring IniValueField(const std::wstring& value, int action, const ValueFormatter& formatted)
{
    if (value.empty() && action == 0)
        return L"[CORVANEEMPTYINIVALUE]";
    return formatted ? formatted(value) : EscapeFormatted(value);
}

CIniRows::CIniRows(BuildContext& build, CDirectoryRows& directories) : m_build(build), m_directories(directories)
{
}

// Entries that the machine had before the setup changed them belong to the
// machine: their component is permanent.
std::wstring CIniRows::Component(bool keptOnRemoval)
{
    if (!keptOnRemoval)
        return L"INIHANDLECOMP";
    if (!std::exchange(m_keptComponentAdded, true)) {
        (void)m_build.Table(TableId::Component)
            .Insert({L"INIKEEPCOMP", m_build.ComponentId(FixedComponentIdentity(L"INIKEEPCOMP")), L"INSTALLDIR",
                     msidbComponentAttributesPermanent | RegistryKeyPathAttribute,
                     m_build.AddKeyPathValue(L"INIKEEPCOMP", L"IniFilesKept")});
        (void)m_build.Table(TableId::FeatureComponent).Insert({L"MSIFeature", L"INIKEEPCOMP"});
    }
    return L"INIKEEPCOMP";
}

void CIniRows::Add()
{
    ChangeSet& changes = m_build.project.Changes;
    (void)m_build.Table(TableId::Component)
        .Insert({L"INIHANDLECOMP", m_build.ComponentId(FixedComponentIdentity(L"INIHANDLECOMP")), L"INSTALLDIR",
                 RegistryKeyPathAttribute, m_build.AddKeyPathValue(L"INIHANDLECOMP", L"IniFiles")});
    for (const ChangeOrigin origin : Origins)
        changes.Ini(origin) = ReadIniList(m_build.document, origin);

    std::vector<std::wstring> folders;
    for (const IniChangeMap* map : {&changes.Ini(ChangeOrigin::Added), &changes.Ini(ChangeOrigin::Modified),
                                 &changes.Ini(ChangeOrigin::Deleted)})
        for (const auto& [file, entries] : *map) {
            const auto slash = file.find_last_of(L'\\');
            if (slash != std::wstring::npos)
                folders.push_back(file.substr(0, slash));
        }
    m_directories.AddFolders(folders);

    int number = 1;
    AddList(changes.Ini(ChangeOrigin::Added), TableId::IniFile, 0, number);
    AddList(changes.Ini(ChangeOrigin::Modified), TableId::IniFile, 0, number, true);
    number = 1;
    AddList(changes.Ini(ChangeOrigin::Deleted), TableId::RemoveIniFile, 2, number);
}

void CIniRows::AddList(const IniChangeMap& list, int tableId, int action, int& number, bool keptOnRemoval)
{
    CTableInserter& table = m_build.Table(tableId);
    for (const auto& [file, entries] : list) {
        const auto slash = file.find_last_of(L'\\');
        const std::wstring fileName = slash == std::wstring::npos ? file : file.substr(slash + 1);
        const std::wstring folder = slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
        if (m_build.IsLeftOutFolder(folder)) {
            for (const IniChangeEntry& entry : entries)
                LogError(L"CMSIHandler::AddIniListRows: " + file + L" [" + entry.Section + L"] " +
                         entry.Key + L" left out with its folder");
            for (const IniChangeEntry& entry : entries)
                m_build.LeftOut(L"INI entry", file + L" [" + entry.Section + L"] " + entry.Key,
                                L"on another drive than the system drive");
            m_build.counts.OtherLeftOut += entries.size();
            continue;
        }
        const std::wstring directory = m_directories.ComponentDirectory(folder);
        for (const IniChangeEntry& entry : entries) {
            if (!m_build.FitsCodePage(file) || !m_build.FitsCodePage(entry.Section) ||
                !m_build.FitsCodePage(entry.Key) || !m_build.FitsCodePage(entry.Value)) {
                LogError(L"CMSIHandler::AddIniListRows: " + file + L" [" + entry.Section + L"] " +
                         entry.Key + L" cannot be written in the package's code page; left out");
                m_build.LeftOut(L"INI entry", file + L" [" + entry.Section + L"] " + entry.Key,
                                L"not in the package's code page");
                ++m_build.counts.OtherLeftOut;
                continue;
            }
            const std::wstring key = L"INIFile" + std::to_wstring(number++);
            if (table.Insert({key, fileName, directory, EscapeFormatted(entry.Section), EscapeFormatted(entry.Key),
                              IniValueField(entry.Value, action, [&](const std::wstring& text) {
                                  return m_build.MachineValue(text, file + L" [" + entry.Section + L"] " + entry.Key);
                              }), action, Component(keptOnRemoval)})) {
                ++m_build.counts.IniRows;
                m_build.counts.IniKept += keptOnRemoval ? 1 : 0;
            }
        }
    }
}
