#include "msi/RegistryRows.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/RegistryTypes.h"
#include "common/RegistryViews.h"
#include "common/Result.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "msi/BuildContext.h"
#include "msi/DirectoryRows.h"
#include "msi/MachineValues.h"
#include "msi/MsiPlatform.h"
#include "msi/MsiTableIds.h"
#include "msi/MsiTables.h"
#include "msi/Upgrade.h"

#include <msidefs.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

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

// A formatted string as a Registry value: a leading "#" doubled so that it is
// not taken for a type prefix.
std::wstring StringValue(std::wstring value)
{
    if (!value.empty() && value[0] == L'#')
        value.insert(0, 1, L'#');
    return value;
}

// "a[~]b[~]c"; one string alone is framed so it is still a list. An empty
// string cannot stand inside a multi-string: it is dropped.
std::wstring MultiStringField(const wchar_t* chars, std::size_t count, std::size_t& emptyStringsDropped,
                              const ValueFormatter& text)
{
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
    std::wstring value;
    if (strings.size() == 1)
        value = L"[~]" + text(strings[0]) + L"[~]";
    else if (strings.empty())
        value = L"[~]";
    for (std::size_t i = 0; strings.size() > 1 && i < strings.size(); ++i) {
        if (i)
            value += L"[~]";
        value += text(strings[i]);
    }
    return value;
}

} // namespace

// The Registry table's Value text of a value as the registry holds it; false
// for the types Windows Installer cannot write (REG_QWORD, REG_NONE,
// REG_DWORD_BIG_ENDIAN, REG_LINK, the resource lists and any other).
bool RegistryValueField(DWORD type, const BYTE* data, std::size_t size, std::wstring& value,
                        std::size_t& emptyStringsDropped, const ValueFormatter& formatted)
{
    const ValueFormatter text = [&](const std::wstring& raw) {
        return formatted ? formatted(raw) : EscapeFormatted(raw);
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
    case REG_MULTI_SZ:
        value = MultiStringField(chars, count, emptyStringsDropped, text);
        return true;
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

CRegistryRows::CRegistryRows(BuildContext& build, CDirectoryRows& directories)
    : m_build(build), m_directories(directories)
{
}

Result CRegistryRows::QueryKey(const std::wstring& root, const std::wstring& key, const std::wstring& name,
                               const std::wstring& type, std::wstring& value)
{
    const auto leftOut = [](DWORD code, const std::string& line) {
        LogError(FromUtf8(line));
        return Result::Failure(code, FromUtf8(line));
    };
    value.clear();
    const auto hive = HiveNames().find(root);
    UniqueHKey opened;
    LSTATUS openError = ERROR_INVALID_HANDLE; // a root without a hive
    if (hive == HiveNames().end() ||
        // A capture of 64-bit Windows recorded the 64-bit view, the 32-bit one below WOW6432Node.
        (openError = RegOpenKeyExW(hive->second, key.c_str(), 0,
                                   KEY_READ | (m_build.x64Capture ? RegistryViewAccess() : 0), opened.put())) !=
            ERROR_SUCCESS) {
        opened.reset();
        return leftOut(static_cast<DWORD>(openError), "CMSIHandler::QueryKey Unable to Open " + ToUtf8(root) + "\\" +
                                                          ToUtf8(key) +
                                                          ToUtf8(Result::Suffix(static_cast<DWORD>(openError))));
    }
    // A value without a type name creates its key alone.
    if (type.empty())
        return Result::Ok();
    const std::string where = ToUtf8(root) + "\\" + ToUtf8(key) + " value \"" + ToUtf8(name) + "\"";
    DWORD actual = 0, size = 0;
    LSTATUS rc = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &actual, nullptr, &size);
    std::vector<BYTE> data(size + sizeof(wchar_t) * 2);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &actual, data.data(), &size);
    if (rc != ERROR_SUCCESS) {
        return leftOut(static_cast<DWORD>(rc), "CMSIHandler::QueryKey Unable to read " + where +
                                                   ToUtf8(Result::Suffix(static_cast<DWORD>(rc))) + "; left out");
    }
    if (!RecordedTypeCovers(type, actual)) {
        return leftOut(ERROR_INVALID_DATA, "CMSIHandler::QueryKey " + where + " was captured as " + ToUtf8(type) +
                                               " and is now " + ToUtf8(RegistryTypeName(actual)) + "; left out");
    }
    std::size_t dropped = 0;
    const std::wstring valuePath = root + L"\\" + key + L"\\" + (name.empty() ? L"(Default)" : name);
    if (!RegistryValueField(actual, data.data(), size, value, dropped,
                            [&](const std::wstring& text) { return m_build.MachineValue(text, valuePath); })) {
        return leftOut(ERROR_INVALID_DATA, "CMSIHandler::QueryKey " + where + " is of type " +
                                               ToUtf8(RegistryTypeName(actual)) +
                                               ", which Windows Installer cannot write; left out");
    }
    if (dropped > 0)
        LogError(FromUtf8("CMSIHandler::QueryKey " + where + ": " + std::to_string(dropped) +
                 " empty string(s) of the multi-string dropped (a multi-string cannot hold one)"));
    return Result::Ok();
}

void CRegistryRows::Add(const RegistryChangeMap& keys, bool keptOnRemoval)
{
    CTableInserter& components = m_build.Table(TableId::Component);
    (void)m_build.Table(TableId::Registry);
    if (!std::exchange(m_componentAdded, true)) {
        (void)components.Insert({L"REGDIFFCOMP", m_build.ComponentId(FixedComponentIdentity(L"REGDIFFCOMP")),
                                 L"ProgramFilesFolder", 8 | RegistryKeyPathAttribute,
                                 m_build.AddKeyPathValue(L"REGDIFFCOMP", L"Registry")});
    }
    for (const auto& [path, records] : keys)
        for (const RegistryChangeEntry& record : records) {
            const int n = m_number++;
            if (record.TypeName.empty() && record.ValueName.empty())
                continue;
            AddValue(record, n, keptOnRemoval);
        }
}

void CRegistryRows::AddValue(const RegistryChangeEntry& record, int number, bool keptOnRemoval)
{
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
        LogError(L"CMSIHandler::AddRegistryRows: " + root + L" has no installer root; " + key +
                 L" left out");
        m_build.LeftOut(L"Registry value", root + L"\\" + key + L" " + name, L"no installer root");
        ++m_build.counts.RegistryLeftOut;
        return;
    }
    std::wstring value;
    if (const Result read = QueryKey(root, key, name, record.TypeName, value); !read) {
        // The log line without the name of the function that wrote it.
        const std::wstring_view reason = read.Text();
        m_build.LeftOut(L"Registry value", root + L"\\" + key + L" " + name,
                        std::wstring(reason.substr(reason.find(L' ') + 1)));
        ++m_build.counts.RegistryLeftOut;
        return;
    }
    if (!m_build.FitsCodePage(key) || !m_build.FitsCodePage(name) || !m_build.FitsCodePage(value)) {
        LogError(L"CMSIHandler::AddRegistryRows: " + root + L"\\" + key + L" " + name +
                 L" cannot be written in the package's code page; left out");
        m_build.LeftOut(L"Registry value", root + L"\\" + key + L" " + name, L"not in the package's code page");
        ++m_build.counts.RegistryLeftOut;
        return;
    }
    // Written in its own view: without WOW6432Node by a 32-bit component.
    // A key both views share is written by a 32-bit component too, so
    // that a 32-bit application stays an Intel package.
    const std::wstring fullKey = key;
    const bool is64Bit = TakeRegistryKeyView(root, key, m_build.x64Capture) && !IsSharedKey(root, fullKey);
    wchar_t id[40];
    std::swprintf(id, 40, L"CorvaneRegistry%d", number);
    const std::wstring component =
        keptOnRemoval ? std::wstring(is64Bit ? L"REGKEEPCOMP64" : L"REGKEEPCOMP") : Component(is64Bit);
    if (m_build.Table(TableId::Registry)
            .Insert({id, rootNumber, EscapeFormatted(key), EscapeFormatted(name), value, component})) {
        ++m_build.counts.RegistryRows;
        if (keptOnRemoval) {
            ++m_build.counts.RegistryKept;
            AddKeptComponent(is64Bit, id);
        }
    }
}

// ---- What removal keeps ---------------------------------------------------------
// Values that the machine had before the setup changed them belong to the
// machine: their components are permanent, so removing the package leaves
// them (with the setup's data) instead of deleting what was there first.

// The component row once its first value is in: that value is its key path
// (it lives on after removal anyway, so no value of the product's own is left).
void CRegistryRows::AddKeptComponent(bool is64Bit, const std::wstring& firstRow)
{
    bool& added = is64Bit ? m_keptComponent64Added : m_keptComponentAdded;
    if (std::exchange(added, true))
        return;
    const std::wstring component = is64Bit ? L"REGKEEPCOMP64" : L"REGKEEPCOMP";
    if (is64Bit)
        m_directories.EnsurePlatformFolderRow(L"ProgramFiles64Folder");
    (void)m_build.Table(TableId::Component)
        .Insert({component, m_build.ComponentId(FixedComponentIdentity(component)),
                 is64Bit ? L"ProgramFiles64Folder" : L"ProgramFilesFolder",
                 msidbComponentAttributesPermanent | RegistryKeyPathAttribute |
                     (is64Bit ? msidbComponentAttributes64bit : 0),
                 firstRow});
    (void)m_build.Table(TableId::FeatureComponent).Insert({L"MSIFeature", component});
    m_build.has64BitComponent = m_build.has64BitComponent || is64Bit;
}

std::wstring CRegistryRows::Component(bool is64Bit)
{
    if (!is64Bit)
        return L"REGDIFFCOMP";
    if (!std::exchange(m_component64Added, true)) {
        m_directories.EnsurePlatformFolderRow(L"ProgramFiles64Folder");
        (void)m_build.Table(TableId::Component)
            .Insert({L"REGDIFFCOMP64", m_build.ComponentId(FixedComponentIdentity(L"REGDIFFCOMP64")),
                     L"ProgramFiles64Folder", 8 | RegistryKeyPathAttribute | msidbComponentAttributes64bit,
                     m_build.AddKeyPathValue(L"REGDIFFCOMP64", L"Registry64")});
        (void)m_build.Table(TableId::FeatureComponent).Insert({L"MSIFeature", L"REGDIFFCOMP64"});
        m_build.has64BitComponent = true;
    }
    return L"REGDIFFCOMP64";
}

bool CRegistryRows::IsSharedKey(const std::wstring& root, const std::wstring& key)
{
    if (!IsWow64Windows())
        return false;
    const auto hive = HiveNames().find(root);
    if (hive == HiveNames().end())
        return false;
    const std::wstring path = root + L"\\" + key;
    if (const auto known = m_sharedKeys.find(UpperKey(path)); known != m_sharedKeys.end())
        return known->second;
    bool shared = false;
    // The key's place in the 32-bit view, or a key above it there, is a link
    // to the same place in the 64-bit view. (Other links lead elsewhere:
    // SOFTWARE\WOW6432Node\Classes to SOFTWARE\Classes\WOW6432Node.)
    for (const std::wstring& twin : Wow6432NodeTwins(path)) {
        const std::wstring subkey = twin.substr(root.size() + 1);
        const std::size_t node = UpperKey(subkey).find(L"WOW6432NODE");
        for (std::size_t end = subkey.find(L'\\', node);; end = subkey.find(L'\\', end + 1)) {
            std::wstring level = subkey.substr(0, end);
            const std::wstring target = UpperKey(RegistryLinkTarget(hive->second, level));
            if (!target.empty()) {
                (void)StripWow6432Node(root, level); // the same key in the 64-bit view
                const std::wstring own = L"\\" + UpperKey(level);
                shared = target.size() >= own.size() && target.compare(target.size() - own.size(), own.size(), own) == 0;
                break;
            }
            if (end == std::wstring::npos)
                break;
        }
        if (shared)
            break;
    }
    m_sharedKeys.emplace(UpperKey(path), shared);
    return shared;
}
