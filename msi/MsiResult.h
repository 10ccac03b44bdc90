#pragma once
// Results of msi.dll calls: the code, the system's text for it and, where
// Windows Installer kept one, the fields of its last error record.
#include "common/Result.h"
#include "common/Utf.h"
#include "msi/MsiHandle.h"

#include <string>
#include <string_view>

// The fields of the thread's last Windows Installer error record ("" when
// there is none), as MsiFormatRecordW writes a record without a template.
inline std::wstring InstallerErrorDetail()
{
    UniqueMsiHandle record(MsiGetLastErrorRecord());
    if (!record)
        return {};
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiFormatRecordW(0, record.get(), none, &size) != ERROR_MORE_DATA && size == 0)
        return {};
    std::wstring text(size + 1, L'\0');
    ++size;
    if (MsiFormatRecordW(0, record.get(), text.data(), &size) != ERROR_SUCCESS)
        return {};
    text.resize(size);
    return text;
}

// Ok for ERROR_SUCCESS; else `what` with the code, its text and the detail.
inline Result InstallerResult(UINT code, std::wstring_view what)
{
    if (code == ERROR_SUCCESS)
        return Result::Ok();
    return Result::Installer(code, what, InstallerErrorDetail());
}

// " (error <code>: <text>[; <detail>])" for the end of a log line.
inline std::wstring InstallerSuffix(UINT code)
{
    return Result::Installer(code == ERROR_SUCCESS ? ERROR_GEN_FAILURE : code, L"", InstallerErrorDetail()).Text();
}
