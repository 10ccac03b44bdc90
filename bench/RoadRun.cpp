// road_run.exe - runs one command line and reports what the process cost:
//   road_run.exe <program> [arguments...]
// The child inherits the console, so its own lines pass through. At the end
// one line: "road_run: exit=E wall_ms=W cpu_ms=C peak_ws_mib=P peak_private_mib=Q".
// The peaks are the process's own high-water marks (GetProcessMemoryInfo),
// read every 20 ms while it runs: both only ever grow, so the last reading
// before the end holds them unless the process grew in its last 20 ms.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"

namespace {

std::wstring Quote(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, L'\\');
    return quoted + L'"';
}

double Milliseconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: road_run <program> [arguments...]\n");
        return 2;
    }
    std::wstring commandLine;
    for (int i = 1; i < argc; ++i)
        commandLine += (i > 1 ? L" " : L"") + Quote(argv[i]);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const double start = Now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "road_run: cannot start the command (error %lu)\n", GetLastError());
        return 2;
    }
    // ROAD_RUN_SAMPLES=1: one line per second with the working set, to see
    // which step holds the memory.
    wchar_t samples[8] = {};
    const bool sample = GetEnvironmentVariableW(L"ROAD_RUN_SAMPLES", samples, 8) > 0 && samples[0] == L'1';
    double nextSample = start;
    SIZE_T peakWorkingSet = 0, peakPrivate = 0;
    for (;;) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
            peakWorkingSet = std::max(peakWorkingSet, counters.PeakWorkingSetSize);
            peakPrivate = std::max(peakPrivate, counters.PeakPagefileUsage);
            if (sample && Now() >= nextSample) {
                std::printf("road_run: sample working_set_mib=%.1f private_mib=%.1f\n",
                            static_cast<double>(counters.WorkingSetSize) / 1048576.0,
                            static_cast<double>(counters.PagefileUsage) / 1048576.0);
                std::fflush(stdout);
                nextSample += 1000.0;
            }
        }
        if (WaitForSingleObject(process.hProcess, 20) != WAIT_TIMEOUT)
            break;
    }
    const double wall = Now() - start;
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    FILETIME created{}, ended{}, kernel{}, user{};
    const double cpu = GetProcessTimes(process.hProcess, &created, &ended, &kernel, &user)
                           ? Milliseconds(kernel) + Milliseconds(user)
                           : -1.0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fflush(stdout);
    std::printf("road_run: exit=%lu wall_ms=%.0f cpu_ms=%.0f peak_ws_mib=%.1f peak_private_mib=%.1f\n", exitCode,
                wall, cpu, static_cast<double>(peakWorkingSet) / 1048576.0,
                static_cast<double>(peakPrivate) / 1048576.0);
    return static_cast<int>(exitCode);
}
