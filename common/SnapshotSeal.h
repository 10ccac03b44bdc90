#pragma once
// Completion records of snapshot files. A snapshot file is complete only once
// its record stands beside it: "<file>.complete", written after the file was
// closed, holds the file's size and CRC-32. A file cut short, changed, or
// left without a record by a run that ended early is never compared.
#include <cstddef>
#include <cstdint>
#include <string>

// The size and CRC-32 of bytes as they are written, so that a writer can seal
// its file without reading it back.
class CSnapshotChecksum
{
public:
    void Add(const void* data, std::size_t size) noexcept;
    std::uint64_t Size() const noexcept { return m_size; }
    std::uint32_t Crc() const noexcept { return m_state ^ 0xFFFFFFFFu; }

private:
    std::uint32_t m_state = 0xFFFFFFFFu;
    std::uint64_t m_size = 0;
};

// Writes the record of `file`. False (with a log line) when the
// file cannot be read or the record cannot be written.
[[nodiscard]] bool WriteSnapshotSeal(const std::wstring& file);
// The same for a file whose size and CRC-32 its writer counted.
[[nodiscard]] bool WriteSnapshotSeal(const std::wstring& file, std::uint64_t size, std::uint32_t crc);

// True when the record of `file` exists and matches the file. Otherwise false,
// with a log line naming the file and what is wrong.
[[nodiscard]] bool CheckSnapshotSeal(const std::wstring& file);

// Removes the record of `file` (before the file is written again).
void RemoveSnapshotSeal(const std::wstring& file);

// The record's path.
std::wstring SnapshotSealPath(const std::wstring& file);
