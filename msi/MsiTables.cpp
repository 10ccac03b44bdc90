#include "msi/MsiTables.h"

#include "common/Log.h"
#include "common/Utf.h"
#include "msi/MsiResult.h"

#include <rpc.h>

#include <cwchar>

CTableInserter::CTableInserter(MSIHANDLE database, std::wstring_view table,
                               const std::vector<const wchar_t*>& columns, const char* openFailure)
    : m_table(table), m_columns(columns.size())
{
    std::wstring sql = L"INSERT INTO `" + m_table + L"` (";
    std::wstring marks;
    bool first = true;
    for (const wchar_t* column : columns) {
        if (!first) {
            sql += L',';
            marks += L',';
        }
        first = false;
        sql += L'`';
        sql += column;
        sql += L'`';
        marks += L'?';
    }
    sql += L") VALUES (" + marks + L")";
    if (const UINT rc = MsiDatabaseOpenViewW(database, sql.c_str(), m_view.put()); rc != ERROR_SUCCESS) {
        m_view.reset();
        LogError(FromUtf8(openFailure) + InstallerSuffix(rc));
        return;
    }
    m_record.reset(MsiCreateRecord(static_cast<UINT>(m_columns)));
}

bool CTableInserter::SetFields(std::initializer_list<MsiField> fields)
{
    if (!m_view || !m_record)
        return false;
    UINT index = 1;
    for (const MsiField& field : fields) {
        UINT rc;
        if (const int* number = std::get_if<int>(&field)) {
            rc = MsiRecordSetInteger(m_record.get(), index, *number);
        } else {
            const std::wstring text(std::get<std::wstring_view>(field));
            rc = MsiRecordSetStringW(m_record.get(), index, text.c_str());
        }
        if (rc != ERROR_SUCCESS)
            return false;
        ++index;
    }
    return true;
}

bool CTableInserter::Execute(std::wstring_view firstField)
{
    const UINT rc = MsiViewExecute(m_view.get(), m_record.get());
    MsiViewClose(m_view.get());
    if (rc == ERROR_SUCCESS) {
        ++m_inserted;
        return true;
    }
    ++m_rejected;
    LogError(L"CMSIHandler::PopulateMSITable: row " + std::wstring(firstField) + L" rejected by the " + m_table +
             L" table" + InstallerSuffix(rc));
    return false;
}

bool CTableInserter::Insert(std::initializer_list<MsiField> fields)
{
    if (!SetFields(fields))
        return false;
    const MsiField& first = *fields.begin();
    const std::wstring_view* key = std::get_if<std::wstring_view>(&first);
    return Execute(key ? *key : std::wstring_view(L"?"));
}

bool CTableInserter::InsertWithStream(std::initializer_list<MsiField> fields, const std::wstring& streamPath,
                                      const char* streamFailure)
{
    if (!SetFields(fields))
        return false;
    if (const UINT rc = MsiRecordSetStreamW(m_record.get(), static_cast<UINT>(fields.size() + 1), streamPath.c_str());
        rc != ERROR_SUCCESS) {
        LogError(FromUtf8(streamFailure) + InstallerSuffix(rc));
        return false;
    }
    const std::wstring_view* key = std::get_if<std::wstring_view>(fields.begin());
    const bool ok = Execute(key ? *key : std::wstring_view(L"?"));
    // Drop the stream so the next row does not carry it.
    MsiRecordSetStringW(m_record.get(), static_cast<UINT>(fields.size() + 1), L"");
    return ok;
}

std::wstring RecordFieldText(MSIHANDLE record, unsigned field)
{
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiRecordGetStringW(record, field, none, &size) != ERROR_MORE_DATA || size == 0)
        return L"";
    std::wstring text(size + 1, L'\0');
    ++size;
    if (MsiRecordGetStringW(record, field, text.data(), &size) != ERROR_SUCCESS)
        return L"";
    text.resize(size);
    return text;
}

std::wstring NewGuidString()
{
    UUID id{};
    if (UuidCreate(&id) != RPC_S_OK)
        UuidCreateSequential(&id);
    wchar_t text[40];
    std::swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

std::wstring UpperKey(std::wstring_view text)
{
    std::wstring upper(text);
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

std::wstring EscapeFormatted(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'[')
            out += L"[\\[]";
        else if (c == L']')
            out += L"[\\]]";
        else
            out += c;
    }
    return out;
}
