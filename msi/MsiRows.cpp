// The registry, property, shortcut, icon and INI rows, and the summary
// information of the package.
#include "msi/MSIHandler.h"

#include "common/FolderTokens.h"
#include "common/NameUuid.h"
#include "common/RegistryTypes.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "msi/MsiPlatform.h"
#include "msi/FileRules.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <msidefs.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <utility>
#include <cwctype>

namespace {

// The Windows Installer root codes.
int RootNumber(const std::wstring& root)
{
    if (root == L"HKEY_CLASSES_ROOT")
        return 0;
    if (root == L"HKEY_CURRENT_USER")
        return 1;
    if (root == L"HKEY_LOCAL_MACHINE")
        return 2;
    if (root == L"HKEY_USERS")
        return 3;
    return -2;
}

std::wstring Hex(const BYTE* data, std::size_t size)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

} // namespace

// The build machine's folders in a value become the installer's folder
// properties, so the value points to the right place on the target machine
// (MachineValues.h).
std::wstring ReplaceFolderPaths(std::wstring value)
{
    return ReplaceFolderPaths(std::move(value), CaptureMachine::Current().folders);
}

// A formatted string as a Registry value: a leading "#" doubled so that it is
// not taken for a type prefix.
static std::wstring StringValue(std::wstring value)
{
    if (!value.empty() && value[0] == L'#')
        value.insert(0, 1, L'#');
    return value;
}

// The Registry table's Value text of a value as the registry holds it; false
// for the types Windows Installer cannot write (REG_QWORD, REG_NONE,
// REG_DWORD_BIG_ENDIAN, REG_LINK, the resource lists and any other).
bool RegistryValueField(DWORD type, const BYTE* data, std::size_t size, std::wstring& value,
                        std::size_t& emptyStringsDropped, const ValueFormatter& formatted)
{
    auto text = [&](const std::wstring& raw) {
        return formatted ? formatted(raw) : ReplaceFolderPaths(EscapeFormatted(raw));
    };
    value.clear();
    emptyStringsDropped = 0;
    // Strings may lack their terminator: the size decides, not the NUL.
    const wchar_t* chars = reinterpret_cast<const wchar_t*>(data);
    const std::size_t count = size / sizeof(wchar_t);
    auto firstString = [&] { return std::wstring(chars, wcsnlen(chars, count)); };
    switch (type) {
    case REG_SZ:
        value = StringValue(text(firstString()));
        return true;
    case REG_EXPAND_SZ:
        value = L"#%" + text(firstString());
        return true;
    case REG_MULTI_SZ: {
        // "a[~]b[~]c"; one string alone is framed so it is still a list. An
        // empty string cannot stand inside a multi-string: it is dropped.
        std::size_t end = count;
        while (end > 0 && chars[end - 1] == L'\0')
            --end;
        std::vector<std::wstring> strings;
        for (std::size_t start = 0; start < end;) {
            const std::size_t length = wcsnlen(chars + start, end - start);
            if (length == 0)
                ++emptyStringsDropped;
            else
                strings.emplace_back(chars + start, length);
            start += length + 1;
        }
        if (strings.size() == 1)
            value = L"[~]" + text(strings[0]) + L"[~]";
        else if (strings.empty())
            value = L"[~]";
        for (std::size_t i = 0; strings.size() > 1 && i < strings.size(); ++i) {
            if (i)
                value += L"[~]";
            value += text(strings[i]);
        }
        return true;
    }
    case REG_BINARY:
        value = L"#x" + Hex(data, size);
        return true;
    case REG_DWORD: {
        if (size != 4)
            return false;
        std::int32_t number;
        std::memcpy(&number, data, 4);
        value = L"#" + std::to_wstring(number);
        return true;
    }
    default:
        return false;
    }
}

// True when a type name of the project file stands for the live type: its own
// name, or, for project files written before the types had names of their
// own, REG_SZ for the string and hex types and REG_DWORD for big-endian.
bool RecordedTypeCovers(const std::wstring& recorded, DWORD actual)
{
    if (recorded == RegistryTypeName(actual))
        return true;
    if (recorded == L"REG_SZ")
        return actual != REG_BINARY && actual != REG_DWORD && actual != REG_QWORD;
    if (recorded == L"REG_DWORD")
        return actual == REG_DWORD_BIG_ENDIAN;
    return false;
}

std::wstring CMSIHandler::MachineValue(const std::wstring& raw, const std::wstring& where)
{
    if (!m_machineValues)
        m_machineValues = std::make_unique<CMachineValues>(CaptureMachine::Current());
    return m_machineValues->Formatted(raw, where);
}

int CMSIHandler::QueryKey(const std::wstring& root, const std::wstring& key, const std::wstring& name,
                          const std::wstring& type, std::wstring& value)
{
    value.clear();
    const auto hive = HiveNames().find(root);
    UniqueHKey opened;
    if (hive == HiveNames().end() ||
        // A capture of 64-bit Windows recorded the 64-bit view, the 32-bit one below WOW6432Node.
        RegOpenKeyExW(hive->second, key.c_str(), 0, KEY_READ | (m_x64Capture ? RegistryViewAccess() : 0),
                      opened.put()) != ERROR_SUCCESS) {
        opened.reset();
        LogError(L"CMSIHandler::QueryKey Unable to Open " + root + L"\\" + key);
        return 1;
    }
    // A value without a type name creates its key alone.
    if (type.empty())
        return 0;
    const std::wstring where = root + L"\\" + key + L" value \"" + name + L"\"";
    DWORD actual = 0, size = 0;
    LSTATUS rc = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &actual, nullptr, &size);
    std::vector<BYTE> data(size + sizeof(wchar_t) * 2);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &actual, data.data(), &size);
    if (rc != ERROR_SUCCESS) {
        LogError(L"CMSIHandler::QueryKey Unable to read " + where + L" (error " + std::to_wstring(rc) + L"); left out");
        return static_cast<int>(rc);
    }
    if (!RecordedTypeCovers(type, actual)) {
        LogError(L"CMSIHandler::QueryKey " + where + L" was captured as " + type + L" and is now " +
                 RegistryTypeName(actual) + L"; left out");
        return ERROR_INVALID_DATA;
    }
    std::size_t dropped = 0;
    const std::wstring valuePath = root + L"\\" + key + L"\\" + (name.empty() ? L"(Default)" : name);
    if (!RegistryValueField(actual, data.data(), size, value, dropped,
                            [&](const std::wstring& text) { return MachineValue(text, valuePath); })) {
        LogError(L"CMSIHandler::QueryKey " + where + L" is of type " + RegistryTypeName(actual) +
                 L", which Windows Installer cannot write; left out");
        return ERROR_INVALID_DATA;
    }
    if (dropped > 0)
        LogError(L"CMSIHandler::QueryKey " + where + L": " + std::to_wstring(dropped) +
                 L" empty string(s) of the multi-string dropped (a multi-string cannot hold one)");
    return 0;
}

void CMSIHandler::AddRegistryRows(const RegistryChangeMap& keys, int& number, bool keptOnRemoval)
{
    CTableInserter& components = Table(TableId::Component);
    CTableInserter& registry = Table(TableId::Registry);
    if (!std::exchange(m_registryComponentAdded, true)) {
        (void)components.Insert({L"REGDIFFCOMP", ComponentId(FixedComponentIdentity(L"REGDIFFCOMP")),
                                 L"ProgramFilesFolder", 8 | RegistryKeyPathAttribute,
                                 AddKeyPathValue(L"REGDIFFCOMP", L"Registry")});
    }

    for (const auto& [path, records] : keys) {
        for (const RegistryChangeEntry& record : records) {
            const int n = number++;
            if (record.TypeName.empty() && record.ValueName.empty())
                continue;
            std::wstring key = record.KeyLine;
            if (key.size() >= 2 && key.front() == L'[' && key.back() == L']')
                key = key.substr(1, key.size() - 2);
            const auto slash = key.find(L'\\');
            const std::wstring root = key.substr(0, slash);
            key = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);

            std::wstring name = record.ValueName;
            if (name == L"@")
                name.clear();
            else if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"')
                name = name.substr(1, name.size() - 2);

            const int rootNumber = RootNumber(root);
            if (rootNumber < 0) {
                LogError(L"CMSIHandler::AddRegistryRows: " + root + L" has no installer root; " +
                         key + L" left out");
                ++m_counts.RegistryLeftOut;
                continue;
            }
            std::wstring value;
            if (QueryKey(root, key, name, record.TypeName, value) != 0) {
                ++m_counts.RegistryLeftOut;
                continue;
            }
            if (!FitsCodePage(key) || !FitsCodePage(name) || !FitsCodePage(value)) {
                LogError(L"CMSIHandler::AddRegistryRows: " + root + L"\\" + key + L" " + name +
                         L" cannot be written in the package's code page; left out");
                ++m_counts.RegistryLeftOut;
                continue;
            }
            // Written in its own view: without WOW6432Node by a 32-bit component.
            // A key both views share is written by a 32-bit component too, so
            // that a 32-bit application stays an Intel package.
            const std::wstring fullKey = key;
            const bool is64Bit =
                TakeRegistryKeyView(root, key, m_x64Capture) && !IsSharedRegistryKey(root, fullKey);
            wchar_t id[40];
            std::swprintf(id, 40, L"CorvaneRegistry%d", n);
            const std::wstring component = keptOnRemoval ? KeptRegistryComponent(is64Bit) : RegistryComponent(is64Bit);
            if (registry.Insert({id, rootNumber, EscapeFormatted(key), EscapeFormatted(name), value, component})) {
                ++m_counts.RegistryRows;
                if (keptOnRemoval) {
                    ++m_counts.RegistryKept;
                    AddKeptRegistryComponent(is64Bit, id);
                }
            }
        }
    }
}

// ---- What removal keeps ---------------------------------------------------------
// Values, INI entries and files that the machine had before the setup changed
// them belong to the machine: their components are permanent, so removing
// the package leaves them (with the setup's data) instead of deleting what
// was there first.

std::wstring CMSIHandler::KeptRegistryComponent(bool is64Bit) const
{
    return is64Bit ? L"REGKEEPCOMP64" : L"REGKEEPCOMP";
}

// The component row once its first value is in: that value is its key path
// (it lives on after removal anyway, so no value of the product's own is left).
void CMSIHandler::AddKeptRegistryComponent(bool is64Bit, const std::wstring& firstRow)
{
    bool& added = is64Bit ? m_keptRegistry64ComponentAdded : m_keptRegistryComponentAdded;
    if (std::exchange(added, true))
        return;
    const std::wstring component = KeptRegistryComponent(is64Bit);
    if (is64Bit)
        EnsurePlatformFolderRow(L"ProgramFiles64Folder");
    (void)Table(TableId::Component)
        .Insert({component, ComponentId(FixedComponentIdentity(component)),
                 is64Bit ? L"ProgramFiles64Folder" : L"ProgramFilesFolder",
                 msidbComponentAttributesPermanent | RegistryKeyPathAttribute |
                     (is64Bit ? msidbComponentAttributes64bit : 0),
                 firstRow});
    (void)Table(TableId::FeatureComponent).Insert({L"MSIFeature", component});
    m_has64BitComponent = m_has64BitComponent || is64Bit;
}

std::wstring CMSIHandler::IniComponent(bool keptOnRemoval)
{
    if (!keptOnRemoval)
        return L"INIHANDLECOMP";
    if (!std::exchange(m_keptIniComponentAdded, true)) {
        (void)Table(TableId::Component)
            .Insert({L"INIKEEPCOMP", ComponentId(FixedComponentIdentity(L"INIKEEPCOMP")), L"INSTALLDIR",
                     msidbComponentAttributesPermanent | RegistryKeyPathAttribute,
                     AddKeyPathValue(L"INIKEEPCOMP", L"IniFilesKept")});
        (void)Table(TableId::FeatureComponent).Insert({L"MSIFeature", L"INIKEEPCOMP"});
    }
    return L"INIKEEPCOMP";
}

// An INI value as the IniFile table's Value: an empty value is written as a
// reference to a property that is never set, which formats to nothing (a null
// Value would make the line be removed instead of written as "key=").
std::wstring IniValueField(const std::wstring& value, int action, const ValueFormatter& formatted)
{
    if (value.empty() && action == 0)
        return L"[CORVANEEMPTYINIVALUE]";
    return formatted ? formatted(value) : ReplaceFolderPaths(EscapeFormatted(value));
}

void CMSIHandler::AddProperties()
{
    CTableInserter& table = Table(TableId::Property);
    (void)table.Insert({L"ProductName", m_productInfo.ApplicationName});
    (void)table.Insert({L"Manufacturer", m_productInfo.CompanyName});
    (void)table.Insert({L"ProductVersion", m_productVersion});
    (void)table.Insert({L"ProductCode", NewGuidString()});
    (void)table.Insert({L"UpgradeCode", m_upgradeCode});
}

// ---- Key paths and the package check -----------------------------------------

// A value of the component's own below the product's key: it exists exactly
// while the component is installed, so the installer can tell that it is.
std::wstring CMSIHandler::AddKeyPathValue(const std::wstring& component, const std::wstring& valueName)
{
    std::wstring key = L"Software";
    if (!m_productInfo.CompanyName.empty())
        key += L"\\[Manufacturer]";
    key += m_productInfo.ApplicationName.empty() ? L"\\Corvane Repackager" : L"\\[ProductName]";
    const std::wstring id = L"CorvaneKeyPath" + component;
    constexpr int UserOrMachine = -1; // HKCU or HKLM, as ALLUSERS decides
    if (!Table(TableId::Registry).Insert({id, UserOrMachine, key, valueName, L"[ProductVersion]", component}))
        return L"";
    return id;
}

// What Windows Installer's validation would reject in the rows just written:
// each finding goes to the log, their number to the notes.
void CMSIHandler::CheckOwnRows()
{
    const std::vector<std::wstring> findings = CheckPackageRules(m_database.get());
    for (const std::wstring& finding : findings)
        LogError(L"CMSIHandler::CheckPackage: " + finding);
    m_counts.RuleFindings = findings.size();
    if (!findings.empty())
        Note(L"The package check found " + std::to_wstring(findings.size()) +
             L" row problem(s) that Windows Installer's validation would reject; see the error log.");
}

// ---- Upgrades ----------------------------------------------------------------

void CMSIHandler::Note(const std::wstring& line)
{
    LogError(L"CMSIHandler::BuildMSI: " + line);
    m_notes.push_back(line);
}

void CMSIHandler::ResolveUpgradeCodeAndVersion()
{
    const std::wstring derived = DeriveUpgradeCode(m_productInfo.CompanyName, m_productInfo.ApplicationName);
    // A hand-edited attribute may carry blanks around the code.
    std::wstring pinned = m_productInfo.UpgradeCode;
    pinned.erase(0, pinned.find_first_not_of(L" \t\r\n"));
    pinned.erase(pinned.find_last_not_of(L" \t\r\n") + 1);
    GUID code{};
    if (!pinned.empty() && ParseGuid(pinned, code)) {
        m_upgradeCode = GuidToText(code);
    } else {
        m_upgradeCode = derived.empty() ? NewGuidString() : derived;
        if (!pinned.empty())
            Note(L"The UpgradeCode \"" + pinned + L"\" of the project file is not a GUID; the package uses " +
                 m_upgradeCode + L".");
        else if (derived.empty())
            Note(L"No UpgradeCode could be derived; the package uses " + m_upgradeCode +
                 L" and will not replace earlier versions.");
    }
    m_productVersion = NormalizeProductVersion(m_productInfo.Version);
    if (m_productVersion != m_productInfo.Version)
        Note(L"The version \"" + m_productInfo.Version + L"\" is written as ProductVersion " + m_productVersion +
             L".");
}

std::wstring CMSIHandler::ComponentId(std::wstring_view identity) const
{
    std::wstring code = ComponentCode(m_upgradeCode, identity);
    return code.empty() ? NewGuidString() : code;
}

// Two rows for the product's UpgradeCode: every installed version up to this
// one (this one included, so that a rebuild of the same version replaces the
// installed build) is found and removed; a newer one is only detected, and
// the template's PreventDowngrade action then stops the installation.
void CMSIHandler::AddUpgradeRows()
{
    CTableInserter& table = Table(TableId::Upgrade);
    constexpr int OnlyDetect = 0x2;           // msidbUpgradeAttributesOnlyDetect
    constexpr int VersionMaxInclusive = 0x200; // msidbUpgradeAttributesVersionMaxInclusive
    (void)table.Insert({m_upgradeCode, L"", m_productVersion, L"", VersionMaxInclusive, L"", PreviousVersionsProperty});
    (void)table.Insert({m_upgradeCode, m_productVersion, L"", L"", OnlyDetect, L"", NewerVersionProperty});
}

std::wstring CMSIHandler::AddIconRow(const std::wstring& path)
{
    if (path.empty())
        return L"";
    if (auto known = m_iconNumbers.find(UpperKey(path)); known != m_iconNumbers.end())
        return L"Icon" + std::to_wstring(known->second);
    const int number = static_cast<int>(m_iconNumbers.size()) + 1;
    m_iconNumbers.emplace(UpperKey(path), number);
    const std::wstring key = L"Icon" + std::to_wstring(number);
    (void)Table(TableId::Icon).InsertWithStream({key}, path, IconStreamFailure);
    return key;
}

// The folder of a captured shortcut's Start-menu subfolder (Vendor\App below
// ProgramMenuFolder): one Directory row per level, shared by the shortcuts in
// it, and a RemoveFile row per level so that uninstall takes the folders away.
std::wstring CMSIHandler::ShortcutFolderKey(const std::wstring& place, const std::wstring& subfolder,
                                            const std::wstring& component)
{
    if (place == L"StartMenuFolder" && m_shortcutFolderKeys.emplace(L"\\StartMenuFolder", place).second)
        (void)Table(TableId::Directory).Insert({place, L"TARGETDIR", L"."});
    std::wstring parent = place;
    std::wstring path = place;
    std::size_t start = 0;
    while (start <= subfolder.size()) {
        const auto end = std::min(subfolder.find(L'\\', start), subfolder.size());
        const std::wstring name = subfolder.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;
        path += L"\\" + name;
        const auto known = m_shortcutFolderKeys.find(UpperKey(path));
        if (known != m_shortcutFolderKeys.end()) {
            parent = known->second;
            continue;
        }
        const std::wstring key =
            UpperKey(MakeUniqueName(MsiIdentifier(name), m_usedDirectoryKeys, m_directoryNameCounts));
        m_shortcutFolderKeys.emplace(UpperKey(path), key);
        if (Table(TableId::Directory).Insert({key, parent, name}))
            ++m_counts.DirectoryRows;
        (void)Table(TableId::RemoveFile).Insert({L"Remove" + key, component, L"", key, 2});
        parent = key;
    }
    return parent;
}

void CMSIHandler::AddShortcutRows(const ShortcutList& shortcuts)
{
    CTableInserter& table = Table(TableId::Shortcut);
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        const ShortcutRecord& record = shortcuts[i];
        std::wstring exe = record.ExeName;
        if (const auto slash = exe.find_last_of(L'\\'); slash != std::wstring::npos)
            exe = exe.substr(slash + 1);
        const auto file = m_firstKeyOfName.find(UpperKey(exe));
        if (file == m_firstKeyOfName.end()) {
            LogError(L"CMSIHandler::AddShortcutRows: " + record.Name + L" points to " + exe +
                     L", which is not in the package; left out");
            ++m_counts.OtherLeftOut;
            continue;
        }
        if (!FitsCodePage(record.Name) || !FitsCodePage(record.Subfolder) || !FitsCodePage(record.Arguments) ||
            !FitsCodePage(record.Description)) {
            LogError(L"CMSIHandler::AddShortcutRows: " + record.Name +
                     L" cannot be written in the package's code page; left out");
            ++m_counts.OtherLeftOut;
            continue;
        }
        const std::wstring target = L"[#" + file->second + L"]";
        const std::wstring shortcut = L"Shortcut" + std::to_wstring(i);
        const std::wstring component = UpperKey(file->second + L"Comp");
        const std::wstring directory =
            record.Subfolder.empty() && record.Directory != L"StartMenuFolder"
                ? record.Directory
                : ShortcutFolderKey(record.Directory, record.Subfolder, component);
        const std::wstring icon = AddIconRow(record.Icon);
        // The working folder is named by its Directory key: a captured folder's.
        std::wstring workingFolder;
        if (!record.WorkingFolder.empty()) {
            std::wstring token = record.WorkingFolder;
            ToTokenPath(token);
            if (auto known = m_directoryKeys.find(UpperKey(token)); known != m_directoryKeys.end())
                workingFolder = known->second;
        }
        const std::wstring arguments =
            MachineValue(record.Arguments, L"the arguments of the shortcut " + record.Name);
        wchar_t* end = nullptr;
        const long show = std::wcstol(record.ShowCommand.c_str(), &end, 10);
        const MsiField showCommand = !record.ShowCommand.empty() && end && *end == L'\0'
                                         ? MsiField(static_cast<int>(show))
                                         : MsiField(std::wstring_view());
        end = nullptr;
        const long index = std::wcstol(record.IconIndex.c_str(), &end, 10);
        const MsiField iconIndex = !record.IconIndex.empty() && end && *end == L'\0'
                                       ? MsiField(static_cast<int>(index))
                                       : MsiField(std::wstring_view());
        if (table.Insert({shortcut, directory, record.Name, component, target, icon, iconIndex, arguments,
                          record.Description, showCommand, workingFolder}))
            ++m_counts.ShortcutRows;
    }
}

void CMSIHandler::AddIniRows()
{
    (void)Table(TableId::Component)
        .Insert({L"INIHANDLECOMP", ComponentId(FixedComponentIdentity(L"INIHANDLECOMP")), L"INSTALLDIR",
                 RegistryKeyPathAttribute, AddKeyPathValue(L"INIHANDLECOMP", L"IniFiles")});
    for (const wchar_t* list : {NodePath::IniAdded, NodePath::IniModified, NodePath::IniDeleted})
        m_project->ReadINIFileList(list);

    std::vector<std::wstring> folders;
    for (const IniChangeMap* map : {&m_project->AddedIni(), &m_project->ModifiedIni(), &m_project->DeletedIni()})
        for (const auto& [file, entries] : *map) {
            const auto slash = file.find_last_of(L'\\');
            if (slash != std::wstring::npos)
                folders.push_back(file.substr(0, slash));
        }
    AddDirectoryRows(folders);

    int number = 1;
    AddIniListRows(m_project->AddedIni(), Table(TableId::IniFile), 0, number);
    AddIniListRows(m_project->ModifiedIni(), Table(TableId::IniFile), 0, number, true);
    number = 1;
    AddIniListRows(m_project->DeletedIni(), Table(TableId::RemoveIniFile), 2, number);
}

void CMSIHandler::AddIniListRows(const IniChangeMap& list, CTableInserter& table, int action, int& number,
                                 bool keptOnRemoval)
{
    for (const auto& [file, entries] : list) {
        const auto slash = file.find_last_of(L'\\');
        const std::wstring fileName = slash == std::wstring::npos ? file : file.substr(slash + 1);
        const std::wstring folder = slash == std::wstring::npos ? std::wstring() : file.substr(0, slash);
        if (m_leftOutFolders.count(UpperKey(folder))) {
            for (const IniChangeEntry& entry : entries)
                LogError(L"CMSIHandler::AddIniListRows: " + file + L" [" + entry.Section + L"] " +
                         entry.Key + L" left out with its folder");
            m_counts.OtherLeftOut += entries.size();
            continue;
        }
        const std::wstring directory = ComponentDirectory(folder);
        for (const IniChangeEntry& entry : entries) {
            if (!FitsCodePage(file) || !FitsCodePage(entry.Section) || !FitsCodePage(entry.Key) ||
                !FitsCodePage(entry.Value)) {
                LogError(L"CMSIHandler::AddIniListRows: " + file + L" [" + entry.Section + L"] " +
                         entry.Key + L" cannot be written in the package's code page; left out");
                ++m_counts.OtherLeftOut;
                continue;
            }
            const std::wstring key = L"INIFile" + std::to_wstring(number++);
            if (table.Insert({key, fileName, directory, EscapeFormatted(entry.Section), EscapeFormatted(entry.Key),
                              IniValueField(entry.Value, action, [&](const std::wstring& text) {
                                  return MachineValue(text, file + L" [" + entry.Section + L"] " + entry.Key);
                              }), action, IniComponent(keptOnRemoval)})) {
                ++m_counts.IniRows;
                m_counts.IniKept += keptOnRemoval ? 1 : 0;
            }
        }
    }
}

void CMSIHandler::WriteSummaryInformation(const std::wstring& title, const std::wstring& subject,
                                          const std::wstring& author, const std::wstring& comments)
{
    UniqueMsiHandle summary;
    if (MsiGetSummaryInformationW(m_database.get(), nullptr, 10, summary.put()) != ERROR_SUCCESS) {
        summary.reset();
        LogError(L"CMSIHandler::WriteSummaryInformation: Unable to open the summary information");
        return;
    }
    const std::wstring revision = NewGuidString();
    const std::pair<UINT, const std::wstring*> values[] = {
        {2, &title}, {3, &subject}, {4, &author}, {6, &comments}, {9, &revision},
    };
    const std::wstring empty;
    const std::wstring application = L"Corvane Repackager Installation Database";
    // The summary information's strings are kept in its own code page.
    if (m_codePage == CP_UTF8)
        MsiSummaryInfoSetPropertyW(summary.get(), 1, VT_I2, static_cast<INT>(CP_UTF8), nullptr, nullptr);
    // Windows keeps the strings in the code page of PID_CODEPAGE; Wine's
    // msi.dll converts wide strings with the ANSI code page whatever it says,
    // so under Wine a UTF-8 package's strings go in as UTF-8 bytes.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const bool utf8Bytes = m_codePage == CP_UTF8 && ntdll && GetProcAddress(ntdll, "wine_get_version");
    auto setText = [&](UINT id, const std::wstring& text) {
        if (utf8Bytes)
            MsiSummaryInfoSetPropertyA(summary.get(), id, VT_LPSTR, 0, nullptr, ToUtf8(text).c_str());
        else
            MsiSummaryInfoSetPropertyW(summary.get(), id, VT_LPSTR, 0, nullptr, text.c_str());
    };
    for (const auto& [id, text] : values)
        setText(id, *text);
    setText(8, empty);
    setText(18, application);
    // A package with a 64-bit component is an x64 package (schema 200, as
    // the template's); without one it stays the template's Intel package.
    m_counts.Platform = m_has64BitComponent ? L"x64" : L"Intel";
    if (m_has64BitComponent) {
        const std::wstring platform = L"x64;1033";
        MsiSummaryInfoSetPropertyW(summary.get(), 7, VT_LPSTR, 0, nullptr, platform.c_str());
        MsiSummaryInfoSetPropertyW(summary.get(), 14, VT_I4, 200, nullptr, nullptr);
    }
    if (MsiSummaryInfoPersist(summary.get()) != ERROR_SUCCESS)
        LogError(L"CMSIHandler::WriteSummaryInformation: Unable to save the summary information");
}
