#include "engine/FileTimeConverter.h"

#include <ctime>

namespace {

std::uint64_t ToUInt64(const FILETIME& time) noexcept
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) noexcept
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

CFileTimeConverter::CFileTimeConverter()
{
    FILETIME now{}, local{};
    GetSystemTimeAsFileTime(&now);
    if (FileTimeToLocalFileTime(&now, &local))
        m_bias = static_cast<std::int64_t>(ToUInt64(local) - ToUInt64(now));
}

std::int64_t CFileTimeConverter::ToSeconds(const FILETIME& time)
{
    constexpr std::uint64_t Limit = 0x8000000000000000ull; // FileTimeToSystemTime's range
    const std::uint64_t utc = ToUInt64(time);
    if (utc >= Limit)
        return 0;
    const std::uint64_t local = utc + static_cast<std::uint64_t>(m_bias); // wraps like the API
    if (local >= Limit)
        return 0;
    constexpr std::int64_t SecondsFrom1601To1970 = 11644473600;
    const std::int64_t localSeconds = static_cast<std::int64_t>(local / 10000000) - SecondsFrom1601To1970;
    return LocalToUtc(localSeconds);
}

std::int64_t CFileTimeConverter::LocalToUtc(std::int64_t localSeconds)
{
    const std::int64_t day = FloorDiv(localSeconds, 86400);
    DayOffset& slot = m_days[static_cast<std::size_t>(day) & (m_days.size() - 1)];
    if (slot.Day != day) {
        slot.Day = day;
        const std::int64_t first = day * 86400, last = first + 86399;
        const std::int64_t a = MkTime(first), b = MkTime(last);
        slot.Uniform = a != -1 && b != -1 && first - a == last - b;
        slot.Offset = first - a;
    }
    if (slot.Uniform)
        return localSeconds - slot.Offset;
    // A day with a daylight-saving change, or at the edge of mktime's range.
    const std::int64_t result = MkTime(localSeconds);
    return result == -1 ? 0 : result;
}

std::int64_t CFileTimeConverter::MkTime(std::int64_t localSeconds)
{
    const std::int64_t days = FloorDiv(localSeconds, 86400);
    const std::int64_t secondsOfDay = localSeconds - days * 86400;
    // Civil date from a day count (proleptic Gregorian).
    const std::int64_t z = days + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    if (y < 1900 || y > 30000)
        return -1;
    std::tm fields{};
    fields.tm_year = static_cast<int>(y - 1900);
    fields.tm_mon = static_cast<int>(m - 1);
    fields.tm_mday = static_cast<int>(d);
    fields.tm_hour = static_cast<int>(secondsOfDay / 3600);
    fields.tm_min = static_cast<int>(secondsOfDay / 60 % 60);
    fields.tm_sec = static_cast<int>(secondsOfDay % 60);
    fields.tm_isdst = -1;
    return static_cast<std::int64_t>(_mktime64(&fields));
}
