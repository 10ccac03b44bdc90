#pragma once
// Row insertion into a Windows Installer database: one prepared INSERT view per
// table, executed with a record per row. Every text reaches msi.dll as a record
// field, never pasted into the statement, so quotes and other characters in
// names and values are kept exactly.
#include "msi/MsiHandle.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One column value of a row: text (empty text is stored as null) or a number.
using MsiField = std::variant<std::wstring_view, int>;

class CTableInserter
{
public:
    // Prepares "INSERT INTO `table` (`c1`,...) VALUES (?,...)". When the view
    // cannot be opened, `openFailure` is written to the log once and every
    // Insert fails.
    CTableInserter(MSIHANDLE database, std::wstring_view table, const std::vector<const wchar_t*>& columns,
                   const char* openFailure);
    CTableInserter(const CTableInserter&) = delete;
    CTableInserter& operator=(const CTableInserter&) = delete;

    [[nodiscard]] bool IsOpen() const noexcept { return m_view.valid(); }

    // Inserts one row; the fields are given in column order. A rejected row
    // (duplicate key, wrong type) is logged with its first field and gives false.
    [[nodiscard]] bool Insert(std::initializer_list<MsiField> fields);
    // As Insert, with the contents of `streamPath` as the last column.
    [[nodiscard]] bool InsertWithStream(std::initializer_list<MsiField> fields, const std::wstring& streamPath,
                                        const char* streamFailure);

    std::size_t Inserted() const noexcept { return m_inserted; }
    std::size_t Rejected() const noexcept { return m_rejected; }

private:
    [[nodiscard]] bool SetFields(std::initializer_list<MsiField> fields);
    [[nodiscard]] bool Execute(std::wstring_view firstField);

    std::wstring m_table;
    std::size_t m_columns = 0;
    UniqueMsiHandle m_view;
    UniqueMsiHandle m_record;
    std::size_t m_inserted = 0;
    std::size_t m_rejected = 0;
};

// A record's field as text: numbers in decimal, a null field (or one that
// cannot be read) "".
std::wstring RecordFieldText(MSIHANDLE record, unsigned field);

// A new GUID in registry form: braces, upper-case hexadecimal.
std::wstring NewGuidString();

// Upper-case form used for installer keys and for comparing names without
// regard to case (all letters, not only A to Z).
std::wstring UpperKey(std::wstring_view text);

// Escapes the characters that formatted columns would otherwise interpret:
// "[" and "]" become "[\[]" and "[\]]".
std::wstring EscapeFormatted(std::wstring_view text);
