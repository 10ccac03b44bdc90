#include "engine/IniBackupPack.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr std::size_t BufferBytes = 256 * 1024;
constexpr std::size_t HeaderBytes = 8;
// The longest path Windows has (a "\\?\" path of 32,767 characters).
constexpr std::uint32_t MaxPathUnits = 32767;

// Reads a file front to back through a window; Skip passes over contents
// without copying them.
class CPackReader
{
public:
    explicit CPackReader(HANDLE file) : m_file(file), m_window(BufferBytes) {}

    [[nodiscard]] bool Read(void* out, std::size_t bytes)
    {
        char* target = static_cast<char*>(out);
        while (bytes > 0) {
            if (m_begin == m_end && !Fill())
                return false;
            const std::size_t take = std::min(bytes, m_end - m_begin);
            std::memcpy(target, m_window.data() + m_begin, take);
            m_begin += take;
            m_offset += take;
            target += take;
            bytes -= take;
        }
        return true;
    }

    [[nodiscard]] bool Skip(std::uint64_t bytes)
    {
        const std::size_t inWindow = m_end - m_begin;
        if (bytes <= inWindow) {
            m_begin += static_cast<std::size_t>(bytes);
            m_offset += bytes;
            return true;
        }
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(m_offset + bytes);
        m_begin = m_end = 0;
        if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN))
            return false;
        m_offset += bytes;
        return m_offset <= m_size;
    }

    void SetSize(std::uint64_t size) noexcept { m_size = size; }
    std::uint64_t Offset() const noexcept { return m_offset; }
    bool AtEnd() const noexcept { return m_offset >= m_size; }

private:
    bool Fill()
    {
        DWORD got = 0;
        if (!ReadFile(m_file, m_window.data(), static_cast<DWORD>(m_window.size()), &got, nullptr) || got == 0)
            return false;
        m_begin = 0;
        m_end = got;
        return true;
    }

    HANDLE m_file;
    std::vector<char> m_window;
    std::size_t m_begin = 0, m_end = 0;
    std::uint64_t m_offset = 0;
    std::uint64_t m_size = 0;
};

// The index's key of a path: FNV-1a over its UTF-16 units.
std::uint64_t KeyOf(std::wstring_view path) noexcept
{
    std::uint64_t key = 14695981039346656037ull;
    for (const wchar_t unit : path) {
        key ^= static_cast<std::uint16_t>(unit);
        key *= 1099511628211ull;
    }
    return key;
}

// The path of `units` UTF-16 units stored just before the contents at
// `contentsOffset`; afterwards the file pointer is at the contents. Nothing
// when it cannot be read.
std::optional<std::wstring> ReadPathBefore(HANDLE pack, std::uint64_t contentsOffset, std::uint32_t units)
{
    std::wstring path(units, L'\0');
    const DWORD bytes = units * static_cast<DWORD>(sizeof(wchar_t));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(contentsOffset - bytes);
    DWORD got = 0;
    if (!SetFilePointerEx(pack, at, nullptr, FILE_BEGIN) ||
        (bytes > 0 && (!ReadFile(pack, path.data(), bytes, &got, nullptr) || got != bytes)))
        return std::nullopt;
    return path;
}

} // namespace

std::wstring CIniBackupPack::PackPathIn(const std::wstring& backupFolder)
{
    return backupFolder + L"\\INIBackup.pack";
}

Result CIniBackupPack::Create(const std::wstring& packPath)
{
    Unload();
    m_packPath = packPath;
    m_checksum = CSnapshotChecksum();
    RemoveSnapshotSeal(packPath);
    m_file.reset(CreateFileW(packPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    m_failed = !m_file;
    m_buffer.clear();
    if (m_failed) {
        m_error = GetLastError();
        return LogFailure(Result::Win32(m_error, L"CIniBackupPack::Create: Unable to create " + packPath +
                                                     L"; INI files are not backed up"));
    }
    m_buffer.reserve(BufferBytes);
    return Result::Ok();
}

void CIniBackupPack::Add(const std::wstring& path, std::uint64_t sizeHint)
{
    if (m_failed)
        return;
    {
        UniqueFile in(CreateFileW(path.c_str(), FILE_READ_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!in)
            return;
        // One read more than the size the walk saw tells the end of the file
        // without a second call; a file that has grown since is read on.
        std::size_t ask = static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint, 1u << 30)) + 1;
        m_contents.clear();
        for (;;) {
            const std::size_t used = m_contents.size();
            m_contents.resize(used + ask);
            DWORD got = 0;
            if (!ReadFile(in.get(), m_contents.data() + used, static_cast<DWORD>(ask), &got, nullptr))
                return;
            m_contents.resize(used + got);
            if (got < ask)
                break;
            if (m_contents.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
                LogError(L"CIniBackupPack::Add: " + path + L" is too large to back up");
                return;
            }
            ask = std::max<std::size_t>(65536, m_contents.size());
        }
    }
    const std::uint32_t pathUnits = static_cast<std::uint32_t>(path.size());
    const std::uint32_t bytes = static_cast<std::uint32_t>(m_contents.size());
    const std::size_t record = HeaderBytes + pathUnits * sizeof(wchar_t) + bytes;
    if (m_buffer.size() + record > BufferBytes)
        Flush();
    const std::size_t at = m_buffer.size();
    m_buffer.resize(at + HeaderBytes + pathUnits * sizeof(wchar_t));
    std::memcpy(m_buffer.data() + at, &pathUnits, 4);
    std::memcpy(m_buffer.data() + at + 4, &bytes, 4);
    std::memcpy(m_buffer.data() + at + HeaderBytes, path.data(), pathUnits * sizeof(wchar_t));
    m_buffer.insert(m_buffer.end(), m_contents.begin(), m_contents.end());
    if (m_buffer.size() >= BufferBytes)
        Flush(); // one large file: the buffer does not keep it
}

void CIniBackupPack::Flush()
{
    if (!m_failed)
        m_checksum.Add(m_buffer.data(), m_buffer.size());
    std::size_t done = 0;
    while (!m_failed && done < m_buffer.size()) {
        DWORD written = 0;
        if (!WriteFile(m_file.get(), m_buffer.data() + done, static_cast<DWORD>(m_buffer.size() - done), &written,
                       nullptr)) {
            m_error = GetLastError();
            m_failed = true;
        } else if (written == 0) {
            m_error = ERROR_WRITE_FAULT;
            m_failed = true;
        }
        done += written;
    }
    m_buffer.clear();
    if (m_buffer.capacity() > BufferBytes)
        m_buffer.shrink_to_fit();
}

Result CIniBackupPack::Close()
{
    if (!m_file) // not created (logged then) or closed already
        return Result::Win32(ERROR_INVALID_HANDLE, L"CIniBackupPack::Close: No pack is open");
    Flush();
    m_file.reset();
    ReleaseBuffers();
    if (m_failed) {
        DeleteFileW(m_packPath.c_str());
        return LogFailure(Result::Win32(m_error, L"CIniBackupPack::Close: Unable to write " + m_packPath +
                                                     L"; INI files are not backed up"));
    }
    m_failed = true; // closed: later Adds go nowhere
    if (!WriteSnapshotSeal(m_packPath, m_checksum.Size(), m_checksum.Crc())) // logged by the seal
        return Result::Win32(ERROR_WRITE_FAULT, L"CIniBackupPack::Close: Unable to seal " + m_packPath);
    return Result::Ok();
}

void CIniBackupPack::Discard()
{
    ReleaseBuffers();
    m_failed = true;
    if (m_file) {
        m_file.reset();
        DeleteFileW(m_packPath.c_str());
    }
}

void CIniBackupPack::ReleaseBuffers()
{
    // The second capture holds two snapshots: the pack gives its memory back.
    std::vector<char>().swap(m_buffer);
    std::string().swap(m_contents);
}

Result CIniBackupPack::Load(const std::wstring& packPath)
{
    Unload();
    m_packPath = packPath;
    const std::wstring& wide = packPath;
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Result::LastError(L"CIniBackupPack::Load: No pack " + packPath); // nothing backed up this way
    m_found = true;
    if (!CheckSnapshotSeal(packPath))
        return LogFailure(Result::Failure(ERROR_FILE_CORRUPT, L"CIniBackupPack::Load: The INI backups in " + packPath +
                                                                  L" are not used; changed INI files compare as new"));
    UniqueFile file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        return LogFailure(Result::LastError(L"CIniBackupPack::Load: Unable to read " + packPath));
    CPackReader reader(file.get());
    reader.SetSize(static_cast<std::uint64_t>(size.QuadPart));
    std::wstring path;
    while (!reader.AtEnd()) {
        std::uint32_t header[2];
        if (!reader.Read(header, sizeof header) || header[0] > MaxPathUnits) {
            std::vector<Slot>().swap(m_index);
            return Damaged(packPath);
        }
        path.resize(header[0]);
        Slot slot{};
        slot.Bytes = header[1];
        if (!reader.Read(path.data(), path.size() * sizeof(wchar_t)) ||
            (slot.Offset = reader.Offset(), !reader.Skip(slot.Bytes))) {
            std::vector<Slot>().swap(m_index);
            return Damaged(packPath);
        }
        slot.Key = KeyOf(path);
        slot.PathUnits = header[0];
        m_index.push_back(slot);
    }
    // A path backed up twice is found at its last backup (Contents looks
    // from the end of a run of equal keys).
    std::stable_sort(m_index.begin(), m_index.end(),
                     [](const Slot& a, const Slot& b) { return a.Key < b.Key; });
    m_index.shrink_to_fit();
    m_loaded = true;
    return Result::Ok();
}

Result CIniBackupPack::Damaged(const std::wstring& packPath)
{
    return LogFailure(Result::Failure(
        ERROR_FILE_CORRUPT, L"CIniBackupPack::Load: " + packPath + L" is damaged; its INI backups are not used"));
}

std::optional<std::string> CIniBackupPack::Contents(const std::wstring& path) const
{
    const std::uint64_t key = KeyOf(path);
    auto [first, last] = std::equal_range(m_index.begin(), m_index.end(), Slot{key, 0, 0, 0},
                                          [](const Slot& a, const Slot& b) { return a.Key < b.Key; });
    if (first == last)
        return std::nullopt;
    UniqueFile file(CreateFileW(m_packPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    const auto unreadable = [&](DWORD code) {
        LogError(Result::Win32(code, L"CIniBackupPack::Contents: Unable to read the backup of " + path + L" from " +
                                         m_packPath)
                     .Text());
        return std::nullopt;
    };
    if (!file)
        return unreadable(GetLastError());
    while (last != first) {
        const Slot& slot = *--last;
        if (slot.PathUnits != path.size())
            continue;
        const std::optional<std::wstring> stored = ReadPathBefore(file.get(), slot.Offset, slot.PathUnits);
        if (!stored)
            return unreadable(ERROR_HANDLE_EOF);
        if (*stored != path)
            continue;
        std::string contents(slot.Bytes, '\0');
        DWORD got = 0;
        if (!contents.empty() && !ReadFile(file.get(), contents.data(), slot.Bytes, &got, nullptr))
            return unreadable(GetLastError());
        if (got != slot.Bytes)
            return unreadable(ERROR_HANDLE_EOF);
        return contents;
    }
    return std::nullopt;
}

void CIniBackupPack::Unload()
{
    m_loaded = false;
    m_found = false;
    std::vector<Slot>().swap(m_index);
}
