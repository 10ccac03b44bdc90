#include "engine/RegFileWriter.h"

#include "common/StopToken.h"
#include "common/RegistryViews.h"
#include "common/Wow64.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace RegOrder {

namespace {

std::unique_ptr<wchar_t[]> BuildFoldTable()
{
    auto table = std::make_unique<wchar_t[]>(65536);
    for (unsigned i = 0; i < 65536; ++i)
        table[i] = static_cast<wchar_t>(i);
    CharUpperBuffW(table.get() + 1, 65535);
    // Surrogate halves fold to themselves; the buffer call may have paired them up.
    for (unsigned i = 0xD800; i <= 0xDFFF; ++i)
        table[i] = static_cast<wchar_t>(i);
    return table;
}

const wchar_t* FoldTable()
{
    static const std::unique_ptr<wchar_t[]> table = BuildFoldTable();
    return table.get();
}

} // namespace

wchar_t Fold(wchar_t c) noexcept
{
    return FoldTable()[static_cast<unsigned short>(c)];
}

int CompareKeyPaths(std::wstring_view a, std::wstring_view b) noexcept
{
    const wchar_t* fold = FoldTable();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t ca = a[i];
        const wchar_t cb = b[i];
        if (ca == cb)
            continue;
        // The separator sorts below everything, so that a key's subtree comes
        // right after it and before any sibling that merely extends its name.
        if (ca == L'\\')
            return -1;
        if (cb == L'\\')
            return 1;
        const wchar_t fa = fold[static_cast<unsigned short>(ca)];
        const wchar_t fb = fold[static_cast<unsigned short>(cb)];
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool IsBelow(std::wstring_view path, std::wstring_view parent) noexcept
{
    return path.size() > parent.size() && path[parent.size()] == L'\\' &&
           CompareKeyPaths(path.substr(0, parent.size()), parent) == 0;
}

int CompareValueNames(std::wstring_view a, bool aIsDefault, std::wstring_view b, bool bIsDefault) noexcept
{
    if (aIsDefault || bIsDefault)
        return aIsDefault == bIsDefault ? 0 : (aIsDefault ? -1 : 1);
    const wchar_t* fold = FoldTable();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const wchar_t fa = fold[static_cast<unsigned short>(a[i])];
        const wchar_t fb = fold[static_cast<unsigned short>(b[i])];
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void AppendEscapedName(std::wstring& out, std::wstring_view name)
{
    for (const wchar_t c : name) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'"': out += L"\\\""; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        default: out += c; break;
        }
    }
}

std::wstring Unescape(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\\' && i + 1 < text.size()) {
            c = text[++i];
            if (c == L'r')
                c = L'\r';
            else if (c == L'n')
                c = L'\n';
        }
        out += c;
    }
    return out;
}

} // namespace RegOrder

namespace {

constexpr std::size_t FlushThreshold = 1 << 17; // characters
constexpr wchar_t HexDigits[] = L"0123456789abcdef";
constexpr std::wstring_view Header = L"\xFEFF"
                                     L"Windows Registry Editor Version 5.00\r\n\r\n";

wchar_t ReadChar(const BYTE* data, std::size_t index)
{
    wchar_t c;
    std::memcpy(&c, data + index * 2, sizeof c);
    return c;
}

} // namespace

RegFileWriter::RegFileWriter(const std::set<std::wstring>* excludedKeys, long* keysOpened, CProgressState* progress)
    : m_excluded(excludedKeys), m_keysOpened(keysOpened), m_progress(progress), m_stop(CurrentStopToken())
{
}

bool RegFileWriter::Stopped()
{
    if (!m_stopped && m_stop.stop_requested())
        m_stopped = true;
    return m_stopped;
}

RegFileWriter::~RegFileWriter()
{
    if (m_file)
        (void)Close();
}

std::wstring_view RegFileWriter::LongHiveName(HKEY hive) noexcept
{
    if (hive == HKEY_CLASSES_ROOT)
        return L"HKEY_CLASSES_ROOT";
    if (hive == HKEY_CURRENT_CONFIG)
        return L"HKEY_CURRENT_CONFIG";
    if (hive == HKEY_CURRENT_USER)
        return L"HKEY_CURRENT_USER";
    if (hive == HKEY_LOCAL_MACHINE)
        return L"HKEY_LOCAL_MACHINE";
    if (hive == HKEY_USERS)
        return L"HKEY_USERS";
    return {};
}

DWORD RegFileWriter::Create(const std::wstring& path)
{
    m_file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return GetLastError();
    m_writeError = 0;
    m_out.clear();
    m_out.reserve(FlushThreshold + 4096);
    return 0;
}

void RegFileWriter::WriteHeader()
{
    Write(Header);
}

void RegFileWriter::Write(std::wstring_view text)
{
    m_out.append(text);
    if (m_out.size() >= FlushThreshold)
        Flush();
}

void RegFileWriter::Flush()
{
    if (m_writeError != 0 || !m_file) {
        m_out.clear();
        return;
    }
    const char* bytes = reinterpret_cast<const char*>(m_out.data());
    std::size_t left = m_out.size() * sizeof(wchar_t);
    while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(m_file.get(), bytes, chunk, &written, nullptr) || written == 0) {
            m_writeError = GetLastError();
            if (m_writeError == 0)
                m_writeError = ERROR_WRITE_FAULT;
            break;
        }
        bytes += written;
        left -= written;
    }
    m_out.clear();
}

DWORD RegFileWriter::Close()
{
    if (m_file) {
        Flush();
        m_file.reset();
    }
    return m_writeError;
}

void RegFileWriter::KeyOpened()
{
    if (!m_keysOpened)
        return;
    ++*m_keysOpened;
    wchar_t text[64];
    std::swprintf(text, 64, L"Registries Scanned: %ld", *m_keysOpened);
    if (m_progress)
        m_progress->SetDetailText(text);
}

bool RegFileWriter::IsExcluded()
{
    if (!m_excluded || m_excluded->empty())
        return false;
    m_upperPath.assign(m_path);
    for (wchar_t& c : m_upperPath)
        c = RegOrder::Fold(c);
    return m_excluded->count(m_upperPath) != 0;
}

DWORD RegFileWriter::ExportKeyTree(HKEY hive, std::wstring_view subkey)
{
    const std::wstring_view hiveName = LongHiveName(hive);
    if (hiveName.empty())
        return ERROR_INVALID_HANDLE;
    while (!subkey.empty() && subkey.back() == L'\\')
        subkey.remove_suffix(1);
    m_path.assign(hiveName);
    if (!subkey.empty()) {
        m_path += L'\\';
        m_path.append(subkey);
    }
    if (IsExcluded())
        return 0;

    const std::wstring subkeyText(subkey);
    UniqueHKey key;
    const LONG rc = RegOpenKeyExW(hive, subkeyText.c_str(), 0, KEY_READ | RegistryViewAccess(), key.put());
    if (rc != ERROR_SUCCESS)
        return static_cast<DWORD>(rc);
    const DWORD result = ExportOpenKey(key.get(), 0);
    return m_stopped ? ERROR_CANCELLED : result;
}

DWORD RegFileWriter::ExportOpenKey(HKEY key, std::size_t depth)
{
    KeyOpened();
    m_out += L'[';
    m_out += m_path;
    m_out += L"]\r\n";

    DWORD subkeyCount = 0, maxSubkeyLength = 0, valueCount = 0, maxValueNameLength = 0, maxValueLength = 0;
    LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeyCount, &maxSubkeyLength, nullptr, &valueCount,
                               &maxValueNameLength, &maxValueLength, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) {
        Write(L"\r\n");
        return static_cast<DWORD>(rc);
    }

    DWORD result = 0;
    if (valueCount > 0)
        result = WriteValues(key, valueCount, maxValueNameLength, maxValueLength);
    Write(L"\r\n");
    if (m_writeError != 0)
        return result;
    if (subkeyCount > 0) {
        const DWORD sub = ExportSubkeys(key, subkeyCount, maxSubkeyLength, depth);
        if (sub != 0)
            result = sub;
    }
    return result;
}

DWORD RegFileWriter::WriteValues(HKEY key, DWORD valueCount, DWORD maxNameLength, DWORD maxDataLength)
{
    m_values.clear();
    m_valueNames.clear();
    m_valueData.clear();
    if (m_nameBuffer.size() < maxNameLength + 2)
        m_nameBuffer.resize(maxNameLength + 2);
    if (m_dataBuffer.size() < maxDataLength + 2)
        m_dataBuffer.resize(maxDataLength + 2);
    m_values.reserve(valueCount);

    DWORD result = 0;
    int retries = 0;
    // Up to the count the key reported: asking once more only to hear that
    // there are no more values would cost a call per key.
    for (DWORD index = 0; index < valueCount;) {
        DWORD nameLength = static_cast<DWORD>(m_nameBuffer.size());
        DWORD dataLength = static_cast<DWORD>(m_dataBuffer.size());
        DWORD type = 0;
        const LONG rc = RegEnumValueW(key, index, m_nameBuffer.data(), &nameLength, nullptr, &type,
                                      m_dataBuffer.data(), &dataLength);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA && retries < 8) {
            // The value grew since the key was queried: widen the buffers, read it again.
            ++retries;
            m_nameBuffer.resize(std::min<std::size_t>(m_nameBuffer.size() * 2, 32770));
            m_dataBuffer.resize(std::max<std::size_t>(m_dataBuffer.size() * 2, std::size_t(dataLength) + 2));
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            result = static_cast<DWORD>(rc);
            break;
        }
        retries = 0;
        ++index;
        dataLength = std::min<DWORD>(dataLength, static_cast<DWORD>(m_dataBuffer.size()));

        ValueSlot slot;
        slot.nameOffset = static_cast<std::uint32_t>(m_valueNames.size());
        RegOrder::AppendEscapedName(m_valueNames, std::wstring_view(m_nameBuffer.data(), nameLength));
        slot.nameLength = static_cast<std::uint32_t>(m_valueNames.size()) - slot.nameOffset;
        slot.dataOffset = static_cast<std::uint32_t>(m_valueData.size());
        slot.dataLength = dataLength;
        slot.type = type;
        m_valueData.insert(m_valueData.end(), m_dataBuffer.data(), m_dataBuffer.data() + dataLength);
        m_values.push_back(slot);
    }

    m_valueOrder.resize(m_values.size());
    for (std::uint32_t i = 0; i < m_valueOrder.size(); ++i)
        m_valueOrder[i] = i;
    const auto nameOf = [this](const ValueSlot& s) {
        return std::wstring_view(m_valueNames.data() + s.nameOffset, s.nameLength);
    };
    std::sort(m_valueOrder.begin(), m_valueOrder.end(), [&](std::uint32_t x, std::uint32_t y) {
        const std::wstring_view a = nameOf(m_values[x]);
        const std::wstring_view b = nameOf(m_values[y]);
        const int c = RegOrder::CompareValueNames(a, a.empty(), b, b.empty());
        return c != 0 ? c < 0 : a < b;
    });

    for (const std::uint32_t i : m_valueOrder) {
        const ValueSlot& s = m_values[i];
        if (s.nameLength == 0) {
            m_out += L"@=";
        } else {
            m_out += L'"';
            m_out += nameOf(s);
            m_out += L"\"=";
        }
        WriteValueData(s.type, m_valueData.data() + s.dataOffset, s.dataLength);
        m_out += L"\r\n";
        if (m_out.size() >= FlushThreshold)
            Flush();
    }
    return result;
}

void RegFileWriter::WriteHexBytes(const BYTE* data, std::uint32_t length)
{
    if (length == 0)
        return;
    const std::size_t start = m_out.size();
    m_out.resize(start + std::size_t(length) * 3 - 1);
    wchar_t* p = m_out.data() + start;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (i > 0)
            *p++ = L',';
        *p++ = HexDigits[data[i] >> 4];
        *p++ = HexDigits[data[i] & 15];
    }
}

void RegFileWriter::WriteValueData(DWORD type, const BYTE* data, std::uint32_t length)
{
    switch (type) {
    case REG_SZ: {
        // One quoted line when that keeps the text intact; otherwise (line
        // breaks, embedded NULs, odd length) the bytes, as the editor's hex(1).
        bool asText = length % 2 == 0;
        std::size_t count = length / 2;
        // Terminating NULs (one, or the padding some programs add) are not text.
        while (asText && count > 0 && ReadChar(data, count - 1) == 0)
            --count;
        for (std::size_t i = 0; asText && i < count; ++i) {
            const wchar_t c = ReadChar(data, i);
            asText = c != 0 && c != L'\r' && c != L'\n';
        }
        if (!asText) {
            m_out += L"hex(1):";
            WriteHexBytes(data, length);
            return;
        }
        m_out += L'"';
        for (std::size_t i = 0; i < count; ++i) {
            const wchar_t c = ReadChar(data, i);
            if (c == L'\\' || c == L'"')
                m_out += L'\\';
            m_out += c;
        }
        m_out += L'"';
        return;
    }
    case REG_BINARY:
        m_out += L"hex:";
        WriteHexBytes(data, length);
        return;
    case REG_DWORD:
        if (length == 4) {
            DWORD value;
            std::memcpy(&value, data, 4);
            m_out += L"dword:";
            for (int shift = 28; shift >= 0; shift -= 4)
                m_out += HexDigits[(value >> shift) & 15];
            return;
        }
        break;
    // REG_DWORD_BIG_ENDIAN and the other types go out as hex(<type>): bytes,
    // so the comparison can tell their true type.
    default:
        break;
    }
    wchar_t prefix[24];
    std::swprintf(prefix, 24, L"hex(%lx):", static_cast<unsigned long>(type));
    m_out += prefix;
    WriteHexBytes(data, length);
}

namespace {

// A key opened with REG_OPTION_OPEN_LINK that is a link and not a key of its own.
bool IsLinkKey(HKEY key)
{
    DWORD type = 0;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

} // namespace

DWORD RegFileWriter::ExportSubkeys(HKEY key, DWORD subkeyCount, DWORD maxNameLength, std::size_t depth)
{
    while (m_levels.size() <= depth)
        m_levels.push_back(std::make_unique<Level>());
    Level& level = *m_levels[depth];
    level.names.clear();
    level.offsets.clear();

    if (m_nameBuffer.size() < std::max<std::size_t>(256, maxNameLength + 2))
        m_nameBuffer.resize(std::max<std::size_t>(256, maxNameLength + 2));

    DWORD result = 0;
    int retries = 0;
    for (DWORD index = 0; index < subkeyCount;) {
        DWORD length = static_cast<DWORD>(m_nameBuffer.size());
        const LONG rc = RegEnumKeyExW(key, index, m_nameBuffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA && retries < 8) {
            ++retries;
            m_nameBuffer.resize(std::min<std::size_t>(m_nameBuffer.size() * 2, 32770));
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            result = static_cast<DWORD>(rc);
            break;
        }
        retries = 0;
        ++index;
        level.offsets.push_back(static_cast<std::uint32_t>(level.names.size()));
        level.names.insert(level.names.end(), m_nameBuffer.data(), m_nameBuffer.data() + length);
        level.names.push_back(L'\0');
    }
    const std::size_t count = level.offsets.size();
    level.offsets.push_back(static_cast<std::uint32_t>(level.names.size()));

    const auto nameOf = [&level](std::uint32_t i) {
        return std::wstring_view(level.names.data() + level.offsets[i], level.offsets[i + 1] - level.offsets[i] - 1);
    };
    level.order.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        level.order[i] = i;
    std::sort(level.order.begin(), level.order.end(), [&](std::uint32_t x, std::uint32_t y) {
        const std::wstring_view a = nameOf(x);
        const std::wstring_view b = nameOf(y);
        const int c = RegOrder::CompareKeyPaths(a, b);
        return c != 0 ? c < 0 : a < b;
    });

    for (std::size_t n = 0; n < count && m_writeError == 0 && !Stopped(); ++n) {
        const std::uint32_t i = level.order[n];
        const std::size_t parentLength = m_path.size();
        m_path += L'\\';
        m_path.append(nameOf(i));
        if (!IsExcluded()) {
            // The keys that the 32-bit view shares with the 64-bit one are links
            // below WOW6432Node: they are walked where they lie, not again here.
            const bool mayBeLink = IsWow64Windows() && IsIn32BitView(m_path);
            UniqueHKey child;
            const LONG rc = RegOpenKeyExW(key, level.names.data() + level.offsets[i],
                                          mayBeLink ? REG_OPTION_OPEN_LINK : 0, KEY_READ | RegistryViewAccess(),
                                          child.put());
            // A key that cannot be read (access denied) is left out with its subtree.
            if (rc != ERROR_SUCCESS)
                result = static_cast<DWORD>(rc);
            else if (!mayBeLink || !IsLinkKey(child.get()))
                result = ExportOpenKey(child.get(), depth + 1);
        }
        m_path.resize(parentLength);
    }
    return result;
}
