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

const std::array<std::uint32_t, 256>& CrcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// Size and CRC-32 of the file; false when it cannot be read to the end.
bool Measure(const std::string& file, std::uint64_t& size, std::uint32_t& crc)
{
    UniqueFile handle(CreateFileW(FromUtf8(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle)
        return false;
    const auto& table = CrcTable();
    std::vector<unsigned char> buffer(1 << 20);
    std::uint32_t c = 0xFFFFFFFFu;
    size = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        for (DWORD i = 0; i < got; ++i)
            c = table[(c ^ buffer[i]) & 0xFF] ^ (c >> 8);
        size += got;
    }
    crc = c ^ 0xFFFFFFFFu;
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

std::string SnapshotSealPath(const std::string& file)
{
    return file + ".complete";
}

bool WriteSnapshotSeal(const std::string& file)
{
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!Measure(file, size, crc)) {
        LogError("WriteSnapshotSeal: Unable to read the snapshot file " + file);
        return false;
    }
    const std::string text = RecordText(size, crc);
    UniqueFile record(CreateFileW(FromUtf8(SnapshotSealPath(file)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!record || !WriteFile(record.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(record.get())) {
        record.reset();
        DeleteFileW(FromUtf8(SnapshotSealPath(file)).c_str());
        LogError("WriteSnapshotSeal: Unable to write the completion record of " + file);
        return false;
    }
    return true;
}

bool CheckSnapshotSeal(const std::string& file)
{
    std::string stored;
    {
        UniqueFile record(CreateFileW(FromUtf8(SnapshotSealPath(file)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!record) {
            LogError("The snapshot file " + file +
                     " has no completion record: it was not finished and cannot be compared");
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
        LogError("The snapshot file " + file + " cannot be read and cannot be compared");
        return false;
    }
    if (stored != RecordText(size, crc)) {
        LogError("The snapshot file " + file +
                 " does not match its completion record (cut short or changed) and cannot be compared");
        return false;
    }
    return true;
}

void RemoveSnapshotSeal(const std::string& file)
{
    DeleteFileW(FromUtf8(SnapshotSealPath(file)).c_str());
}
