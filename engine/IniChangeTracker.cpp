#include "engine/IniChangeTracker.h"

#include "common/FolderTokens.h"
#include "common/Paths.h"

#include <windows.h>

#include <vector>

namespace {

// The profile functions answer "buffer too small" by filling it up to
// size - 2 characters; grow and ask again until the answer fits.
template <typename Query>
std::vector<wchar_t> ReadMultiString(DWORD initialSize, Query query)
{
    std::vector<wchar_t> buffer(initialSize);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD got = query(buffer.data(), size);
        if (got + 2 < size || size >= (1u << 24)) {
            buffer.resize(got < size ? got : size);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

// Splits a "name\0name\0" list (without the final extra terminator).
std::vector<std::wstring> SplitMultiString(const std::vector<wchar_t>& text)
{
    std::vector<std::wstring> items;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\0') {
            if (i > start)
                items.emplace_back(text.data() + start, i - start);
            start = i + 1;
        }
    }
    if (start < text.size())
        items.emplace_back(text.data() + start, text.size() - start);
    return items;
}

// key=value with the usual reading: leading "=" are skipped, the key ends at
// the first "=", the value starts after the "=" run and ends at the next "=".
// Returns false when there is no key or no value.
bool SplitEntry(const std::wstring& entry, std::wstring& key, std::wstring& value)
{
    std::size_t at = entry.find_first_not_of(L'=');
    if (at == std::wstring::npos)
        return false;
    const std::size_t keyEnd = entry.find(L'=', at);
    if (keyEnd == std::wstring::npos)
        return false;
    key.assign(entry, at, keyEnd - at);
    at = entry.find_first_not_of(L'=', keyEnd);
    if (at == std::wstring::npos)
        return false;
    const std::size_t valueEnd = entry.find(L'=', at);
    value.assign(entry, at, valueEnd == std::wstring::npos ? std::wstring::npos : valueEnd - at);
    return true;
}

} // namespace

int CIniChangeTracker::Initialize()
{
    m_loaded = m_document.Load(Paths().RawProjectFilePath) == 1;
    return m_loaded ? 1 : 0;
}

IniSectionMap CIniChangeTracker::ReadIniFile(const std::wstring& path)
{
    IniSectionMap sections;
    const wchar_t* file = path.c_str();
    const auto names = SplitMultiString(ReadMultiString(1024, [file](wchar_t* buffer, DWORD size) {
        return GetPrivateProfileSectionNamesW(buffer, size, file);
    }));
    std::wstring key, value;
    for (const std::wstring& name : names) {
        const auto entries = SplitMultiString(ReadMultiString(8192, [&name, file](wchar_t* buffer, DWORD size) {
            return GetPrivateProfileSectionW(name.c_str(), buffer, size, file);
        }));
        std::map<std::wstring, std::wstring> keys;
        for (const std::wstring& entry : entries) {
            if (SplitEntry(entry, key, value))
                keys.emplace(key, value);
        }
        if (!keys.empty())
            sections.emplace(name, std::move(keys));
    }
    return sections;
}

int CIniChangeTracker::CompareINIFile(const std::wstring& backupPath, const std::wstring& currentPath)
{
    m_oldSections = ReadIniFile(backupPath);
    m_newSections = ReadIniFile(currentPath);
    m_currentPath = currentPath;
    ToTokenPath(m_currentPath);

    for (auto it = m_oldSections.begin(); it != m_oldSections.end();) {
        const auto match = m_newSections.find(it->first);
        if (match == m_newSections.end()) {
            ++it;
            continue;
        }
        CompareSections(it->first, it->second, match->second);
        m_newSections.erase(match);
        it = m_oldSections.erase(it);
    }
    for (const auto& [section, keys] : m_oldSections)
        for (const auto& [key, value] : keys)
            AddINIChange(NodePath::IniDeleted, {section, key, value});
    m_oldSections.clear();
    for (const auto& [section, keys] : m_newSections)
        for (const auto& [key, value] : keys)
            AddINIChange(NodePath::IniAdded, {section, key, value});
    m_newSections.clear();
    return 1;
}

void CIniChangeTracker::CompareSections(const std::wstring& section, std::map<std::wstring, std::wstring>& oldKeys,
                                        std::map<std::wstring, std::wstring>& newKeys)
{
    for (auto it = oldKeys.begin(); it != oldKeys.end();) {
        const auto match = newKeys.find(it->first);
        if (match == newKeys.end()) {
            ++it;
            continue;
        }
        if (match->second != it->second)
            AddINIChange(NodePath::IniModified, {section, it->first, match->second});
        newKeys.erase(match);
        it = oldKeys.erase(it);
    }
    for (const auto& [key, value] : oldKeys)
        AddINIChange(NodePath::IniDeleted, {section, key, value});
    for (const auto& [key, value] : newKeys)
        AddINIChange(NodePath::IniAdded, {section, key, value});
}

void CIniChangeTracker::AddINIChange(const std::wstring& category, const IniChangeEntry& entry)
{
    IniChangeMap* map = nullptr;
    if (category == NodePath::IniAdded)
        map = &m_added;
    else if (category == NodePath::IniModified)
        map = &m_modified;
    else if (category == NodePath::IniDeleted)
        map = &m_deleted;
    else
        return;
    (*map)[m_currentPath].push_back(entry);
}

int CIniChangeTracker::WriteINIChanges()
{
    if (!m_loaded)
        return 0;
    // Start from the empty skeleton each time, so that a second comparison in
    // the same run does not leave the first one's elements in the document.
    if (m_document.Load(Paths().RawProjectFilePath) != 1)
        return 0;
    const std::string& target = Paths().IniChangesPath;
    bool saved = m_document.InsertINIKeyAndValueInXML(NodePath::IniAdded, m_added, target);
    saved = m_document.InsertINIKeyAndValueInXML(NodePath::IniDeleted, m_deleted, target) && saved;
    saved = m_document.InsertINIKeyAndValueInXML(NodePath::IniModified, m_modified, target) && saved;
    return saved ? 1 : 0;
}

void CIniChangeTracker::Reset()
{
    m_currentPath.clear();
    m_oldSections.clear();
    m_newSections.clear();
    m_added.clear();
    m_modified.clear();
    m_deleted.clear();
}
