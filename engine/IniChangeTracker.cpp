#include "engine/IniChangeTracker.h"
#include "project/ProjectWriters.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "common/Wow64.h"

#include <windows.h>

#include <set>
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

} // namespace

Result CIniChangeTracker::Initialize()
{
    m_load = m_document.Load(m_paths.RawProjectFilePath);
    m_loaded = static_cast<bool>(m_load);
    return m_load;
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
            if (SplitIniEntry(entry, key, value))
                keys.emplace(key, value);
        }
        if (!keys.empty())
            sections.emplace(name, std::move(keys));
    }
    return sections;
}

Result CIniChangeTracker::CompareINIFile(const std::wstring& backupPath, const std::wstring& currentPath)
{
    m_oldSections = ReadIniFile(backupPath);
    m_newSections = ReadIniFile(currentPath);
    m_currentPath = currentPath;
    ToTokenPath(m_currentPath, m_tokens);

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
            AddINIChange(ChangeOrigin::Deleted, {section, key, value});
    m_oldSections.clear();
    for (const auto& [section, keys] : m_newSections)
        for (const auto& [key, value] : keys)
            AddINIChange(ChangeOrigin::Added, {section, key, value});
    m_newSections.clear();
    return Result::Ok();
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
            AddINIChange(ChangeOrigin::Modified, {section, it->first, match->second});
        newKeys.erase(match);
        it = oldKeys.erase(it);
    }
    for (const auto& [key, value] : oldKeys)
        AddINIChange(ChangeOrigin::Deleted, {section, key, value});
    for (const auto& [key, value] : newKeys)
        AddINIChange(ChangeOrigin::Added, {section, key, value});
}

void CIniChangeTracker::AddINIChange(ChangeOrigin origin, const IniChangeEntry& entry)
{
    m_changes.Ini(origin)[m_currentPath].push_back(entry);
}

Result CIniChangeTracker::WriteINIChanges()
{
    if (!m_loaded) // why the raw project file did not load, unless Initialize never ran
        return m_load ? Result::Failure(ERROR_INVALID_STATE, L"CIniChangeTracker::WriteINIChanges: Not initialized")
                      : m_load;
    // Start from the empty skeleton each time, so that a second comparison in
    // the same run does not leave the first one's elements in the document.
    if (Result loaded = m_document.Load(m_paths.RawProjectFilePath); !loaded)
        return loaded;
    const std::wstring& target = m_paths.IniChangesPath;
    // Every list is written; the first failure (logged by its writer) is the result.
    Result saved = Result::Ok();
    for (const ChangeOrigin origin : {ChangeOrigin::Added, ChangeOrigin::Deleted, ChangeOrigin::Modified})
        if (Result list = WriteIniList(m_document, origin, m_changes.Ini(origin), target); !list && saved)
            saved = std::move(list);
    return saved;
}

void CIniChangeTracker::Reset()
{
    m_currentPath.clear();
    m_oldSections.clear();
    m_newSections.clear();
    for (IniChangeMap& map : m_changes.IniMaps)
        map.clear();
}

// Read as the profile functions read a line: leading "=" are skipped, the key
// ends at the first "=" and the value is everything after it, further "="
// included; an empty value is a value.
bool SplitIniEntry(const std::wstring& entry, std::wstring& key, std::wstring& value)
{
    const std::size_t at = entry.find_first_not_of(L'=');
    if (at == std::wstring::npos)
        return false;
    const std::size_t keyEnd = entry.find(L'=', at);
    if (keyEnd == std::wstring::npos)
        return false;
    key.assign(entry, at, keyEnd - at);
    value.assign(entry, keyEnd + 1);
    return true;
}

namespace {

std::wstring Trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return L"";
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The profile functions match section and key names without regard to case.
std::wstring Folded(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

} // namespace

std::wstring IniTextBeyondEntries(const std::wstring& text)
{
    std::set<std::wstring> sections;
    std::set<std::wstring> keys;
    std::wstring section;
    bool inSection = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == L';' || line[0] == L'#')
            continue;
        if (line[0] == L'[') {
            const auto close = line.find(L']');
            section = Trimmed(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            if (!sections.insert(Folded(section)).second)
                return L"section [" + section + L"] appears twice";
            inSection = true;
            keys.clear();
            continue;
        }
        if (!inSection)
            return L"the line \"" + line + L"\" stands outside any section";
        const auto equals = line.find(L'=');
        if (equals == std::wstring::npos)
            return L"the line \"" + line + L"\" of [" + section + L"] has no \"=\"";
        const std::wstring key = Trimmed(line.substr(0, equals));
        if (!keys.insert(Folded(key)).second)
            return L"key " + key + L" appears twice in [" + section + L"]";
    }
    return L"";
}

std::wstring IniFileBeyondEntries(const std::wstring& path)
{
    std::string bytes;
    {
        const CFsRedirectionOff realFolders; // the file may lie in System32
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > (16 << 20))
            return L"";
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                               got != bytes.size()))
            return L"";
    }
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    else
        text.assign(bytes.begin(), bytes.end()); // the structure lies in ASCII characters
    return IniTextBeyondEntries(text);
}
