#include "engine/RegLineReader.h"

#include "common/UniqueHandle.h"

#include <cstring>
#include <new>

namespace {

// Characters of the reading window: large enough that a snapshot is read in
// few calls, small enough to stay in the heap's ordinary blocks.
constexpr std::size_t WindowChars = 1 << 17;

} // namespace

DWORD CRegLineReader::Open(const std::wstring& path)
{
    Assign(std::wstring());
    m_file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return GetLastError();
    try {
        m_text.assign(WindowChars, L'\0');
    } catch (const std::bad_alloc&) {
        m_file.reset();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    m_filled = 0;
    while (m_filled == 0 && Refill()) {
    }
    if (m_readError != 0)
        return m_readError;
    m_position = (m_filled > 0 && m_text[0] == L'\xFEFF') ? 1 : 0;
    return 0;
}

void CRegLineReader::Assign(std::wstring text)
{
    m_file.reset();
    m_readError = 0;
    m_hasOddByte = false;
    m_text = std::move(text);
    m_filled = m_text.size();
    m_position = (!m_text.empty() && m_text.front() == L'\xFEFF') ? 1 : 0;
    m_line = {};
    m_currentKeyText.clear();
    m_currentKey = {};
    m_escapedName = {};
    m_nameEnd = 0;
    m_isDefault = false;
    m_atEnd = false;
}

bool CRegLineReader::Refill()
{
    if (!m_file)
        return false;
    const std::size_t keep = m_filled - m_position;
    if (m_position > 0 && keep > 0)
        std::memmove(m_text.data(), m_text.data() + m_position, keep * sizeof(wchar_t));
    m_filled = keep;
    m_position = 0;
    if (m_filled == m_text.size())
        m_text.resize(m_text.size() * 2); // one line longer than the window
    char* bytes = reinterpret_cast<char*>(m_text.data() + m_filled);
    const std::size_t room = (m_text.size() - m_filled) * sizeof(wchar_t);
    std::size_t have = 0;
    if (m_hasOddByte) {
        bytes[have++] = m_oddByte;
        m_hasOddByte = false;
    }
    DWORD got = 0;
    if (!ReadFile(m_file.get(), bytes + have, static_cast<DWORD>(room - have), &got, nullptr)) {
        m_readError = GetLastError() != 0 ? GetLastError() : ERROR_READ_FAULT;
        got = 0;
    }
    if (got == 0) {
        // The end (an odd last byte cannot be half a character: it is left out).
        m_file.reset();
        return false;
    }
    have += got;
    m_filled += have / sizeof(wchar_t);
    if (have % sizeof(wchar_t) != 0) {
        m_oddByte = bytes[have - 1];
        m_hasOddByte = true;
    }
    return true;
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
    if (IsKey()) {
        m_currentKeyText.assign(m_line);
        m_currentKey = m_currentKeyText;
    }
    for (;;) {
        const std::wstring_view all(m_text.data(), m_filled);
        std::size_t end = all.find_first_of(L"\r\n", m_position);
        if (end == std::wstring_view::npos) {
            // The line may go on in the part of the file not read yet.
            if (Refill())
                continue;
            if (m_position >= m_filled)
                break;
            end = m_filled;
        }
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
