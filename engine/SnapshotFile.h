#pragma once
// Snapshot files: writing their entries in the record layout, UTF-8 paths,
// through one large buffer with the checksum of the completion record, and
// reading them back into a snapshot map.
#include "common/Result.h"
#include "common/SnapshotSeal.h"
#include "common/UniqueHandle.h"
#include "engine/SnapshotRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// One entry of a snapshot file: the record length and the record.
inline constexpr std::size_t SnapshotEntryBytes = sizeof(std::uint32_t) + sizeof(SnapshotRecord);
// Snapshot files are written and read in blocks of this many entries.
inline constexpr std::size_t SnapshotEntriesPerBlock = 1024;

// UTF-16 to UTF-8 straight into a fixed buffer. Returns the byte count, or
// npos when the text needs more than `capacity` bytes. An unpaired surrogate
// becomes U+FFFD (as ToUtf8 does) and sets `replaced`.
std::size_t EncodeUtf8(std::wstring_view text, char* out, std::size_t capacity, bool& replaced) noexcept;

// Writes snapshot entries through a large buffer. A file that could not be
// created, or a write that failed, turns the writer into a sink that only
// remembers the failure.
class CSnapshotFileWriter
{
public:
    // Ok, or "Unable to create the snapshot file <path>" with the system's
    // code and text.
    Result Create(const std::wstring& path);

    void Append(const char* path, std::size_t pathBytes, std::int64_t creationTime, const SnapshotEntry& entry)
    {
        if (m_failed)
            return;
        if (m_used + SnapshotEntryBytes > m_buffer.size())
            Flush();
        char* p = m_buffer.data() + m_used;
        const std::uint32_t length = SnapshotRecordLength;
        std::memcpy(p, &length, sizeof length);
        p += sizeof length;
        std::memcpy(p, path, pathBytes);
        std::memset(p + pathBytes, 0, sizeof(SnapshotRecord::Path) - pathBytes);
        p += offsetof(SnapshotRecord, CreationTime);
        std::memcpy(p, &creationTime, 8);
        std::memcpy(p + 8, &entry.LastWriteTime, 8);
        std::memcpy(p + 16, &entry.Size, 8);
        p[24] = entry.IsDirectory ? 1 : 0;
        std::memset(p + 25, 0, 7);
        m_used += SnapshotEntryBytes;
    }

    // Writes what is buffered and closes the file. Ok, or "Unable to write the
    // snapshot file <path>" with the code of the first failed write (that of
    // the failed creation when the file never opened).
    Result Close()
    {
        Flush();
        m_file.reset();
        if (!m_failed)
            return Result::Ok();
        return Result::Win32(m_error, L"Unable to write the snapshot file " + m_path);
    }

    // Size and CRC-32 of what was written, for the completion record.
    const CSnapshotChecksum& Checksum() const noexcept { return m_checksum; }

private:
    void Flush();

    UniqueFile m_file;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_failed = true;
    DWORD m_error = ERROR_INVALID_HANDLE; // why m_failed, for Close
    std::wstring m_path;
    CSnapshotChecksum m_checksum;
};

// Reads the snapshot file `source` into `map`. An entry that is cut short or
// damaged ends the reading (logged); the entries before it are kept and the
// result is Ok. A file that cannot be opened is a failure (logged, with the
// system's code and text) and leaves `map` as it was.
Result ReadSnapshotFile(const std::wstring& source, SnapshotMap& map);
