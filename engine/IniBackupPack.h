#pragma once
// The INI backups of a first capture, held in one file, "INIBackup.pack", in
// the INI backup folder, instead of one copy per INI file: a capture meets
// thousands of INI files and only the few that the setup changes are ever
// compared, so creating (and later removing) a file per backup was most of
// the capture's cost.
//
// Layout, little-endian: per backed-up file, the path's length in UTF-16
// units (4 bytes), the contents' length in bytes (4 bytes), the path (real,
// UTF-16) and the contents. The pack is sealed like the snapshot files
// (SnapshotSeal.h) once it is complete; an unsealed pack is never read.
//
// The comparison writes the backup of a changed INI file out to its backup
// path (IniBackupPathOf, FileEnumerate.h) and compares that copy, so only the
// compared files ever become files of their own.
#include "common/Result.h"
#include "common/SnapshotSeal.h"
#include "common/UniqueHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CIniBackupPack
{
public:
    // The pack's path in `backupFolder`.
    static std::wstring PackPathIn(const std::wstring& backupFolder);

    // ---- Writing (first capture) ------------------------------------------
    // Starts an empty pack (removing an earlier one and its seal). A failure
    // (logged, with the system's code and text) when the file cannot be
    // created; every Add is then ignored.
    Result Create(const std::wstring& packPath);
    // Appends the contents of the file `path`, whose size the walk saw as
    // `sizeHint`. A file that cannot be read is left out, as a failed copy
    // was: its comparison finds no backup.
    void Add(const std::wstring& path, std::uint64_t sizeHint = 0);
    // Writes what is buffered, closes and seals the pack. A failure (with a
    // log line, and the code of the first failed write) when a write failed
    // or the seal could not be written; a pack that was never created fails
    // without a line (Create logged it).
    Result Close();
    // Closes and removes an unfinished pack (a stopped capture).
    void Discard();

    // ---- Reading (comparison) ---------------------------------------------
    // Reads the index of a sealed pack. A failure when there is no pack (not
    // logged), or (with a log line) when it is unsealed, changed or damaged;
    // nothing is then found in it.
    Result Load(const std::wstring& packPath);
    bool Loaded() const noexcept { return m_loaded; }
    // True when the last Load found a pack, trusted or not.
    bool Found() const noexcept { return m_found; }
    // The backed-up contents of `path` (the real path as the walk met it),
    // or nothing when the pack holds no backup of it.
    std::optional<std::string> Contents(const std::wstring& path) const;
    // Forgets the index (the pack may be removed afterwards).
    void Unload();

private:
    void Flush();
    void ReleaseBuffers();
    // Logs and returns the failure of a damaged pack.
    static Result Damaged(const std::wstring& packPath);

    std::wstring m_packPath;
    UniqueFile m_file;
    std::vector<char> m_buffer;
    std::string m_contents; // the file being added
    bool m_failed = true;
    DWORD m_error = ERROR_INVALID_HANDLE; // why m_failed, for Close
    CSnapshotChecksum m_checksum;

    // Where one backup lies in the pack. The index keeps a key of each path
    // rather than the path: a capture meets thousands of INI files, and their
    // paths, read while the comparison frees the snapshots, would stay
    // scattered over the freed memory and keep it from the system. A path is
    // told from another of the same key by reading it back from the pack.
    struct Slot
    {
        std::uint64_t Key;
        std::uint64_t Offset; // of the contents; the path lies just before
        std::uint32_t Bytes;
        std::uint32_t PathUnits;
    };

    bool m_loaded = false;
    bool m_found = false;
    std::vector<Slot> m_index; // ordered by key, then as in the pack
};
