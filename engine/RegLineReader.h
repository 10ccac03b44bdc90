#pragma once
// Reads a registry snapshot file (UTF-16LE with a byte order mark) line by
// line for the comparison. The file is read through a window of a few hundred
// kilobytes, whatever its size; lines are handed out as views into that
// window (valid until the next line is read), so nothing is allocated per
// line. Only key lines ("[") and value lines ('"' or "@") are significant;
// empty lines and the header line are passed over.
#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

class CRegLineReader
{
public:
    // Opens the file (an existing one only) and reads its first window.
    // Returns 0 or the platform error code. The reader is then positioned
    // before the first line.
    [[nodiscard]] DWORD Open(const std::wstring& path);
    // 0, or the platform error code of a read that failed after Open; the
    // reader then ends as if the file ended there.
    DWORD ReadError() const { return m_readError; }
    // Takes the text itself (for files already in memory).
    void Assign(std::wstring text);

    // Moves to the next significant line; false (and AtEnd) when there is none.
    bool Next();
    bool AtEnd() const { return m_atEnd; }

    std::wstring_view Line() const { return m_line; }
    bool IsKey() const { return !m_line.empty() && m_line.front() == L'['; }
    // Key line: the path between the brackets.
    std::wstring_view KeyPath() const;

    // Value line: the name part as written ("\"name\"" or "@"), the escaped
    // name between the quotes (empty for the default value), whether it is the
    // default value, and the data after the "=" (empty when there is no "=").
    std::wstring_view NamePart() const { return m_line.substr(0, m_nameEnd); }
    std::wstring_view EscapedName() const { return m_escapedName; }
    bool IsDefault() const { return m_isDefault; }
    bool HasEquals() const { return m_nameEnd < m_line.size(); }
    std::wstring_view Data() const { return HasEquals() ? m_line.substr(m_nameEnd + 1) : std::wstring_view(); }

    // The last key line the reader has moved past: the key that the current
    // value line belongs to. Valid until the reader moves past another key.
    std::wstring_view CurrentKeyLine() const { return m_currentKey; }

private:
    void ParseValueLine();
    // Moves the unread text to the front of the window and reads more after
    // it. False when nothing more could be read.
    bool Refill();

    UniqueFile m_file;
    DWORD m_readError = 0;
    std::wstring m_text;        // the window; its characters up to m_filled hold text
    std::size_t m_filled = 0;   // characters of m_text read from the file
    char m_oddByte = 0;         // the first half of a character cut by a read
    bool m_hasOddByte = false;
    std::wstring m_currentKeyText;
    std::size_t m_position = 0;
    std::wstring_view m_line;
    std::wstring_view m_currentKey;
    std::wstring_view m_escapedName;
    std::size_t m_nameEnd = 0;
    bool m_isDefault = false;
    bool m_atEnd = false;
};
