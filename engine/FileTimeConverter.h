#pragma once
// File times as the snapshot records hold them: seconds since 1970.
#include <windows.h>

#include <array>
#include <cstdint>
#include <limits>

// Converts file times to seconds since 1970 the way the snapshot format
// defines them: to local time with the current bias (as FileTimeToLocalFileTime
// does), cut to whole seconds (FileTimeToSystemTime), then back to a calendar
// time with the C runtime's local-time rules (mktime). The bias is taken once
// per converter and mktime's offset is cached per local day, which gives the
// same results as calling the three functions for every time, many times faster.
class CFileTimeConverter
{
public:
    CFileTimeConverter();

    // 0 when the time cannot be converted.
    std::int64_t ToSeconds(const FILETIME& time);

private:
    struct DayOffset
    {
        std::int64_t Day = std::numeric_limits<std::int64_t>::min();
        std::int64_t Offset = 0;
        bool Uniform = false;
    };

    std::int64_t LocalToUtc(std::int64_t localSeconds);

    // mktime of the calendar fields of `localSeconds` (seconds since 1970 as if
    // the local time were UTC); -1 when mktime cannot convert it.
    static std::int64_t MkTime(std::int64_t localSeconds);

    std::int64_t m_bias = 0;
    std::array<DayOffset, 256> m_days{};
};
