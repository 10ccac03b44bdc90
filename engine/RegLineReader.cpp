#include "engine/RegLineReader.h"

#include "common/UniqueHandle.h"

#include <new>

DWORD CRegLineReader::Open(const std::wstring& path)
{
    m_text.clear();
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return GetLastError();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        return GetLastError();
    if (size.QuadPart > 0x7FFFFFF0LL)
        return ERROR_FILE_TOO_LARGE;

    std::wstring text;
    try {
        // An odd last byte cannot be half a character: it is left out.
        text.resize(static_cast<std::size_t>(size.QuadPart) / 2);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    char* bytes = reinterpret_cast<char*>(text.data());
    std::size_t left = text.size() * sizeof(wchar_t);
    while (left > 0) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes, static_cast<DWORD>(left), &got, nullptr))
            return GetLastError();
        if (got == 0) {
            // The file shrank meanwhile: keep what was read.
            text.resize((text.size() * sizeof(wchar_t) - left) / sizeof(wchar_t));
            break;
        }
        bytes += got;
        left -= got;
    }
    Assign(std::move(text));
    return 0;
}

void CRegLineReader::Assign(std::wstring text)
{
    m_text = std::move(text);
    m_position = (!m_text.empty() && m_text.front() == L'\xFEFF') ? 1 : 0;
    m_line = {};
    m_currentKey = {};
    m_escapedName = {};
    m_nameEnd = 0;
    m_isDefault = false;
    m_atEnd = false;
}

std::wstring_view CRegLineReader::KeyPath() const
{
    std::wstring_view path = m_line.substr(1);
    if (!path.empty() && path.back() == L']')
        path.remove_suffix(1);
    return path;
}

bool CRegLineReader::Next()
{
    if (IsKey())
        m_currentKey = m_line;
    const std::wstring_view all(m_text);
    while (m_position < all.size()) {
        std::size_t end = all.find_first_of(L"\r\n", m_position);
        if (end == std::wstring_view::npos)
            end = all.size();
        const std::wstring_view line = all.substr(m_position, end - m_position);
        m_position = end;
        if (m_position < all.size() && all[m_position] == L'\r')
            ++m_position;
        if (m_position < all.size() && all[m_position] == L'\n')
            ++m_position;
        if (line.empty())
            continue;
        const wchar_t first = line.front();
        if (first != L'[' && first != L'"' && first != L'@')
            continue;
        m_line = line;
        if (!IsKey())
            ParseValueLine();
        return true;
    }
    m_line = {};
    m_atEnd = true;
    return false;
}

void CRegLineReader::ParseValueLine()
{
    m_isDefault = false;
    m_escapedName = {};
    if (m_line.front() == L'@') {
        m_isDefault = true;
        m_nameEnd = m_line.size() > 1 && m_line[1] == L'=' ? 1 : m_line.find(L'=');
    } else {
        // The name ends at the first quote that is not escaped.
        std::size_t i = 1;
        while (i < m_line.size() && m_line[i] != L'"')
            i += m_line[i] == L'\\' ? 2 : 1;
        if (i < m_line.size()) {
            m_escapedName = m_line.substr(1, i - 1);
            m_nameEnd = i + 1 < m_line.size() && m_line[i + 1] == L'=' ? i + 1 : m_line.find(L'=', i);
        } else {
            // No closing quote: not a line this program writes; take what there is.
            m_escapedName = m_line.substr(1);
            m_nameEnd = m_line.find(L'=');
        }
    }
    if (m_nameEnd == std::wstring_view::npos)
        m_nameEnd = m_line.size();
}
