#include "project/Base64.h"

#include "common/UniqueHandle.h"

#include <windows.h>

#include <vector>

std::wstring EncodeBase64(const void* data, std::size_t size)
{
    static constexpr wchar_t Alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::wstring text;
    text.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        text += Alphabet[(group >> 18) & 63];
        text += Alphabet[(group >> 12) & 63];
        text += Alphabet[(group >> 6) & 63];
        text += Alphabet[group & 63];
    }
    // A final group of one byte gives two characters, of two bytes three.
    if (size - i == 1) {
        const unsigned group = bytes[i] << 16;
        text += Alphabet[(group >> 18) & 63];
        text += Alphabet[(group >> 12) & 63];
    } else if (size - i == 2) {
        const unsigned group = (bytes[i] << 16) | (bytes[i + 1] << 8);
        text += Alphabet[(group >> 18) & 63];
        text += Alphabet[(group >> 12) & 63];
        text += Alphabet[(group >> 6) & 63];
    }
    return text;
}

std::vector<unsigned char> DecodeBase64(std::wstring_view text)
{
    auto value = [](wchar_t c) -> int {
        if (c >= L'A' && c <= L'Z')
            return c - L'A';
        if (c >= L'a' && c <= L'z')
            return c - L'a' + 26;
        if (c >= L'0' && c <= L'9')
            return c - L'0' + 52;
        if (c == L'+')
            return 62;
        if (c == L'/')
            return 63;
        return -1;
    };
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3 + 2);
    unsigned group = 0;
    int count = 0;
    for (const wchar_t c : text) {
        if (c == L'\0' && count == 0)
            break;
        const int v = value(c);
        if (v < 0)
            continue;
        group = (group << 6) | static_cast<unsigned>(v);
        if (++count == 4) {
            bytes.push_back(static_cast<unsigned char>(group >> 16));
            bytes.push_back(static_cast<unsigned char>(group >> 8));
            bytes.push_back(static_cast<unsigned char>(group));
            group = 0;
            count = 0;
        }
    }
    // Two characters carry one byte (12 bits, 4 of them filler), three carry two.
    if (count == 2) {
        bytes.push_back(static_cast<unsigned char>(group >> 4));
    } else if (count == 3) {
        bytes.push_back(static_cast<unsigned char>(group >> 10));
        bytes.push_back(static_cast<unsigned char>(group >> 2));
    }
    return bytes;
}

Result WriteIconFile(const IconRecord& record, const std::wstring& path)
{
    const std::vector<unsigned char> bytes = DecodeBase64(record.Data);
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Result::LastError(L"Unable to create " + path);
    DWORD written = 0;
    if (bytes.empty())
        return Result::Ok();
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return Result::LastError(L"Unable to write " + path);
    if (written != bytes.size())
        return Result::Win32(ERROR_WRITE_FAULT, L"Unable to write " + path);
    return Result::Ok();
}

Result ReadIconFile(const std::wstring& path, IconRecord& record)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return Result::LastError(L"Unable to open " + path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return Result::LastError(L"Unable to read " + path);
    // Icon files are small; anything beyond 64 MB is no icon.
    if (size.QuadPart < 0 || size.QuadPart > 64 * 1024 * 1024)
        return Result::Win32(ERROR_FILE_TOO_LARGE, L"Unable to read " + path);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        return Result::LastError(L"Unable to read " + path);
    if (got != bytes.size())
        return Result::Win32(ERROR_HANDLE_EOF, L"Unable to read " + path);
    record.Data = EncodeBase64(bytes.data(), bytes.size());
    record.Size = std::to_wstring(record.Data.size());
    return Result::Ok();
}
