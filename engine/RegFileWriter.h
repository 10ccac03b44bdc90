#pragma once
// The registry snapshot file: the registry editor's version 5 export format,
// UTF-16LE with a byte order mark, CR LF line ends, one section per key in
// depth-first pre-order. RegFileWriter writes one such file per registry root;
// the ordering helpers below are shared with the comparison, which merges two
// files in one forward pass and so must agree with the writer on every order.
#include <windows.h>

#include "common/Progress.h"
#include "common/UniqueHandle.h"

#include <cstdint>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace RegOrder {

// Case folding used for key paths and value names (the registry treats both
// case-insensitively). One table built from the system's upper-casing.
wchar_t Fold(wchar_t c) noexcept;

// Key paths, component by component, ignoring case: a parent sorts before its
// children, and "Run\X" before "RunOnce" (the backslash sorts below every
// other character). Returns <0, 0 or >0.
int CompareKeyPaths(std::wstring_view a, std::wstring_view b) noexcept;

// True when `path` lies strictly below `parent` (ignoring case).
bool IsBelow(std::wstring_view path, std::wstring_view parent) noexcept;

// Value names in their escaped form (the text between the quotes of a value
// line; empty for the default value, which sorts first), ignoring case.
int CompareValueNames(std::wstring_view a, bool aIsDefault, std::wstring_view b, bool bIsDefault) noexcept;

// Appends `name` escaped as in a value line: \\ and \" (and \r, \n so that a
// value always stays on one line).
void AppendEscapedName(std::wstring& out, std::wstring_view name);
// Reverses the escapes of a value name or of quoted string data.
std::wstring Unescape(std::wstring_view text);

} // namespace RegOrder

// Writes one snapshot file. Create it, write the header, export the key tree,
// then Close. Output is gathered in memory and written in large chunks; the
// first failed write is kept (WriteError) and ends the export.
class RegFileWriter
{
public:
    // `excludedKeys`: upper-case full key paths (long hive names) to leave out
    // together with their subtrees; may be null. `keysOpened`: counter raised
    // for each key opened; may be null. `progress`: shows the count as its
    // detail text; may be null.
    RegFileWriter(const std::set<std::wstring>* excludedKeys, long* keysOpened, CProgressState* progress = nullptr);
    ~RegFileWriter();
    RegFileWriter(const RegFileWriter&) = delete;
    RegFileWriter& operator=(const RegFileWriter&) = delete;

    // Creates or replaces the file (other readers allowed). Returns 0 or the
    // platform error code.
    [[nodiscard]] DWORD Create(const std::wstring& path);
    bool IsOpen() const { return m_file.valid(); }

    // The byte order mark, "Windows Registry Editor Version 5.00" and an empty line.
    void WriteHeader();
    // Buffered output of raw text.
    void Write(std::wstring_view text);

    // Exports the key `subkey` of `hive` (empty: the hive itself) and its
    // subtree. Returns 0 or the platform error code of the last key that could
    // not be read (the rest of the tree is still exported). Write failures are
    // reported by WriteError, not here. A stop request of the creating
    // thread's token (StopToken.h) ends the export between keys with
    // ERROR_CANCELLED; the file then holds a cut tree.
    DWORD ExportKeyTree(HKEY hive, std::wstring_view subkey);
    // True once the export saw a stop request.
    bool Stopped();

    // Flushes and closes. Returns 0 or the first write error.
    [[nodiscard]] DWORD Close();
    DWORD WriteError() const { return m_writeError; }

    // The long name of a predefined root ("HKEY_CURRENT_USER"...), or empty.
    static std::wstring_view LongHiveName(HKEY hive) noexcept;

private:
    struct ValueSlot
    {
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint32_t dataOffset;
        std::uint32_t dataLength;
        DWORD type;
    };
    // Subkey names of one key, kept while its children are exported.
    struct Level
    {
        std::vector<wchar_t> names;
        std::vector<std::uint32_t> offsets; // start of each name, plus the end
        std::vector<std::uint32_t> order;
    };

    DWORD ExportOpenKey(HKEY key, std::size_t depth);
    DWORD WriteValues(HKEY key, DWORD valueCount, DWORD maxNameLength, DWORD maxDataLength);
    DWORD ExportSubkeys(HKEY key, DWORD subkeyCount, DWORD maxNameLength, std::size_t depth);
    void WriteValueData(DWORD type, const BYTE* data, std::uint32_t length);
    void WriteHexBytes(const BYTE* data, std::uint32_t length);
    bool IsExcluded();
    void Flush();
    void KeyOpened();

    UniqueFile m_file;
    std::wstring m_path; // full path of the key being exported
    std::wstring m_out;
    std::wstring m_upperPath;
    DWORD m_writeError = 0;
    const std::set<std::wstring>* m_excluded;
    long* m_keysOpened;
    CProgressState* m_progress;
    std::stop_token m_stop;
    bool m_stopped = false;

    // Reused for every key: no allocation per value once they have grown.
    std::vector<wchar_t> m_nameBuffer;
    std::vector<BYTE> m_dataBuffer;
    std::wstring m_valueNames; // escaped names of the current key, back to back
    std::vector<BYTE> m_valueData;
    std::vector<ValueSlot> m_values;
    std::vector<std::uint32_t> m_valueOrder;
    std::vector<std::unique_ptr<Level>> m_levels;
};
