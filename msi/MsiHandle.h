#pragma once
// Move-only owner of a Windows Installer handle (database, view, record,
// summary information). Close it on the thread that opened it.
#include <windows.h>
#include <msiquery.h>

#include "common/UniqueHandle.h"

struct MsiHandleTraits
{
    using Type = MSIHANDLE;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type h) noexcept { MsiCloseHandle(h); }
};

using UniqueMsiHandle = UniqueHandle<MsiHandleTraits>;
