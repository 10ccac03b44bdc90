#pragma once
// The record of one file or folder in a file system snapshot, in the exact
// layout of the snapshot files ("FirstSnapShot.txt", "SecondSnapShot.txt"),
// and the compact form the in-memory snapshots keep instead.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Little-endian, 1056 bytes. `Path` holds the full real path in UTF-8,
// NUL-terminated, the rest of the field zero. Times are seconds since
// 1970-01-01 00:00 UTC (0 when they cannot be converted); Size is 0 for folders.
struct SnapshotRecord
{
    char Path[1024];
    std::int64_t CreationTime;
    std::int64_t LastWriteTime;
    std::uint64_t Size;
    std::uint8_t IsDirectory;
    std::uint8_t Padding[7];
};
static_assert(sizeof(SnapshotRecord) == 1056);
static_assert(offsetof(SnapshotRecord, CreationTime) == 1024);
static_assert(offsetof(SnapshotRecord, LastWriteTime) == 1032);
static_assert(offsetof(SnapshotRecord, Size) == 1040);
static_assert(offsetof(SnapshotRecord, IsDirectory) == 1048);

// Every entry of a snapshot file is this length (4 bytes, little-endian)
// followed by one record.
inline constexpr std::uint32_t SnapshotRecordLength = sizeof(SnapshotRecord);
// Longest path the record holds, in UTF-8 bytes, terminator excluded.
inline constexpr std::size_t SnapshotPathCapacity = sizeof(SnapshotRecord::Path) - 1;

// What an in-memory snapshot keeps per entry; the path is the map key. The
// creation time goes to the snapshot file only: the comparison never looks at
// it, and two maps of every entry are the capture's largest memory.
struct SnapshotEntry
{
    std::int64_t LastWriteTime = 0;
    std::uint64_t Size = 0;
    bool IsDirectory = false;

    friend bool operator==(const SnapshotEntry&, const SnapshotEntry&) = default;
};
// A map node of 64 bytes: 8 fewer per entry on the heap than with the creation time.
static_assert(sizeof(SnapshotEntry) == 24);

// Full real path (wide) to its entry, ordered by plain 16-bit comparison.
using SnapshotMap = std::map<std::wstring, SnapshotEntry>;
