#pragma once
// Reads rows of a package in GUI and end-to-end tests.
#include "common/Utf.h"
#include "msi/MsiHandle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The rows of `sql` as texts; with `streamSizes`, the last column is a stream
// whose size is collected there instead.
inline std::vector<std::vector<std::wstring>> Query(MSIHANDLE database, const wchar_t* sql, std::vector<DWORD>* streamSizes)
{
    std::vector<std::vector<std::wstring>> rows;
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql, view.put()) != ERROR_SUCCESS || MsiViewExecute(view.get(), 0)) {
        ADD_FAILURE() << "cannot query " << ToUtf8(sql);
        return rows;
    }
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        std::vector<std::wstring> row;
        const UINT fields = MsiRecordGetFieldCount(record.get());
        for (UINT i = 1; i <= fields; ++i) {
            if (streamSizes && i == fields) {
                streamSizes->push_back(MsiRecordDataSize(record.get(), i));
                continue;
            }
            wchar_t text[1024] = {};
            DWORD size = 1024;
            MsiRecordGetStringW(record.get(), i, text, &size);
            row.push_back(text);
        }
        rows.push_back(row);
    }
    MsiViewClose(view.get());
    return rows;
}
