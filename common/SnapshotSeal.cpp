#include "common/SnapshotSeal.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// Eight tables for the CRC-32 (reflected, 0xEDB88320) eight bytes at a time.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

const CrcTables& CrcTable()
{
    static const CrcTables tables = [] {
        CrcTables t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        return t;
    }();
    return tables;
}

// Size and CRC-32 of the file; false when it cannot be read to the end.
bool Measure(const std::wstring& file, std::uint64_t& size, std::uint32_t& crc)
{
    UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle)
        return false;
    std::vector<unsigned char> buffer(1 << 20);
    CSnapshotChecksum sum;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        sum.Add(buffer.data(), got);
    }
    size = sum.Size();
    crc = sum.Crc();
    return true;
}

std::string RecordText(std::uint64_t size, std::uint32_t crc)
{
    char text[64];
    std::snprintf(text, sizeof text, "size=%llu\r\ncrc32=%08x\r\n", static_cast<unsigned long long>(size),
                  static_cast<unsigned>(crc));
    return text;
}

} // namespace

void CSnapshotChecksum::Add(const void* data, std::size_t size) noexcept
{
    const CrcTables& t = CrcTable();
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = m_state;
    m_size += size;
    for (; size >= 8; size -= 8, p += 8) {
        const std::uint32_t low = c ^ (static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                       static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^ t[3][p[4]] ^
            t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    m_state = c;
}

std::wstring SnapshotSealPath(const std::wstring& file)
{
    return file + L".complete";
}

bool WriteSnapshotSeal(const std::wstring& file)
{
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!Measure(file, size, crc)) {
        LogError(L"WriteSnapshotSeal: Unable to read the snapshot file " + file);
        return false;
    }
    return WriteSnapshotSeal(file, size, crc);
}

bool WriteSnapshotSeal(const std::wstring& file, std::uint64_t size, std::uint32_t crc)
{
    const std::string text = RecordText(size, crc);
    UniqueFile record(CreateFileW(SnapshotSealPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!record || !WriteFile(record.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(record.get())) {
        record.reset();
        DeleteFileW(SnapshotSealPath(file).c_str());
        LogError(L"WriteSnapshotSeal: Unable to write the completion record of " + file);
        return false;
    }
    return true;
}

bool CheckSnapshotSeal(const std::wstring& file)
{
    std::string stored;
    {
        UniqueFile record(CreateFileW(SnapshotSealPath(file).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!record) {
            LogError(L"The snapshot file " + file +
                     L" has no completion record: it was not finished and cannot be compared");
            return false;
        }
        char text[128] = {};
        DWORD got = 0;
        if (ReadFile(record.get(), text, sizeof text - 1, &got, nullptr))
            stored.assign(text, got);
    }
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!Measure(file, size, crc)) {
        LogError(L"The snapshot file " + file + L" cannot be read and cannot be compared");
        return false;
    }
    if (stored != RecordText(size, crc)) {
        LogError(L"The snapshot file " + file +
                 L" does not match its completion record (cut short or changed) and cannot be compared");
        return false;
    }
    return true;
}

void RemoveSnapshotSeal(const std::wstring& file)
{
    DeleteFileW(SnapshotSealPath(file).c_str());
}
