#include "engine/SnapshotFile.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <windows.h>

// UTF-16 to UTF-8 straight into a fixed buffer. Returns the byte count, or
// npos when the text needs more than `capacity` bytes. An unpaired surrogate
// becomes U+FFFD (as ToUtf8 does) and sets `replaced`.
std::size_t EncodeUtf8(std::wstring_view text, char* out, std::size_t capacity, bool& replaced) noexcept
{
    constexpr std::size_t npos = std::wstring_view::npos;
    std::size_t n = 0;
    replaced = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint16_t>(text[i]);
        if (c < 0x80) {
            if (n + 1 > capacity)
                return npos;
            out[n++] = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const std::uint32_t low = static_cast<std::uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
            replaced = true;
        }
        if (c < 0x800) {
            if (n + 2 > capacity)
                return npos;
            out[n++] = static_cast<char>(0xC0 | (c >> 6));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            if (n + 3 > capacity)
                return npos;
            out[n++] = static_cast<char>(0xE0 | (c >> 12));
            out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            if (n + 4 > capacity)
                return npos;
            out[n++] = static_cast<char>(0xF0 | (c >> 18));
            out[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return n;
}

Result CSnapshotFileWriter::Create(const std::wstring& path)
{
    m_path = path;
    m_file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    m_failed = !m_file;
    if (m_failed) {
        m_error = GetLastError();
        return Result::Win32(m_error, L"Unable to create the snapshot file " + path);
    }
    m_buffer.resize(SnapshotEntryBytes * SnapshotEntriesPerBlock);
    return Result::Ok();
}

void CSnapshotFileWriter::Flush()
{
    if (!m_failed)
        m_checksum.Add(m_buffer.data(), m_used);
    std::size_t done = 0;
    while (!m_failed && done < m_used) {
        DWORD written = 0;
        if (!WriteFile(m_file.get(), m_buffer.data() + done, static_cast<DWORD>(m_used - done), &written, nullptr)) {
            m_error = GetLastError();
            m_failed = true;
        } else if (written == 0) {
            m_error = ERROR_WRITE_FAULT;
            m_failed = true;
        }
        done += written;
    }
    m_used = 0;
}

Result ReadSnapshotFile(const std::wstring& source, SnapshotMap& map)
{
    UniqueFile file(CreateFileW(source.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return LogFailure(
            Result::LastError(L"CFileEnumerate::ReadFirstSnapshot: Unable to open the snapshot file " + source));

    std::vector<char> buffer(SnapshotEntryBytes * SnapshotEntriesPerBlock);
    std::size_t begin = 0, end = 0;
    bool atEnd = false;
    // Makes at least `need` bytes available from `begin`; false at the end of the file.
    auto fill = [&](std::size_t need) {
        while (end - begin < need && !atEnd) {
            if (begin > 0) {
                std::memmove(buffer.data(), buffer.data() + begin, end - begin);
                end -= begin;
                begin = 0;
            }
            DWORD got = 0;
            if (!ReadFile(file.get(), buffer.data() + end, static_cast<DWORD>(buffer.size() - end), &got, nullptr) ||
                got == 0)
                atEnd = true;
            end += got;
        }
        return end - begin >= need;
    };

    std::uint64_t offset = 0;
    for (;;) {
        if (!fill(sizeof(std::uint32_t))) {
            if (end > begin)
                LogError(L"CFileEnumerate::ReadFirstSnapshot: Cut entry at offset " + std::to_wstring(offset) +
                         L" of " + source + L"; the rest is ignored");
            break;
        }
        std::uint32_t length = 0;
        std::memcpy(&length, buffer.data() + begin, sizeof length);
        if (length != SnapshotRecordLength) {
            LogError(L"CFileEnumerate::ReadFirstSnapshot: Bad record length " + std::to_wstring(length) +
                     L" at offset " + std::to_wstring(offset) + L" of " + source + L"; the rest is ignored");
            break;
        }
        if (!fill(SnapshotEntryBytes)) {
            LogError(L"CFileEnumerate::ReadFirstSnapshot: Cut entry at offset " + std::to_wstring(offset) + L" of " +
                     source + L"; the rest is ignored");
            break;
        }
        const char* record = buffer.data() + begin + sizeof length;
        const std::size_t pathBytes = strnlen(record, sizeof(SnapshotRecord::Path));
        if (pathBytes == sizeof(SnapshotRecord::Path)) {
            LogError(L"CFileEnumerate::ReadFirstSnapshot: Unterminated path at offset " + std::to_wstring(offset) +
                     L" of " + source + L"; the rest is ignored");
            break;
        }
        if (pathBytes > 0) {
            SnapshotEntry entry;
            std::memcpy(&entry.LastWriteTime, record + offsetof(SnapshotRecord, LastWriteTime), 8);
            std::memcpy(&entry.Size, record + offsetof(SnapshotRecord, Size), 8);
            entry.IsDirectory = record[offsetof(SnapshotRecord, IsDirectory)] != 0;
            map.insert_or_assign(FromUtf8(std::string_view(record, pathBytes)), entry);
        }
        begin += SnapshotEntryBytes;
        offset += SnapshotEntryBytes;
    }
    return Result::Ok();
}
