#pragma once
// Shared by the benchmarks: a millisecond clock and the build's bin folder.
#include <windows.h>

#include <string>

inline double Now()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// build\bin, where the build puts the program and the files shipped beside it;
// the benchmarks themselves run from build\bench.
inline std::wstring BuildBinFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p = path;
    p = p.substr(0, p.find_last_of(L'\\'));
    return p.substr(0, p.find_last_of(L'\\')) + L"\\bin";
}
