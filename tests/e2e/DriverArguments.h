#pragma once
// The command-line arguments of an end-to-end driver, gtest's own left out.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

inline std::vector<std::wstring> ProgramArguments()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> rest;
    for (int i = 1; arguments && i < count; ++i)
        if (std::wstring(arguments[i]).rfind(L"--gtest", 0) != 0)
            rest.emplace_back(arguments[i]);
    if (arguments)
        LocalFree(arguments);
    return rest;
}
