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

bool ReadIconFile(const std::wstring& path, IconRecord& record)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    // Icon files are small; anything beyond 64 MB is no icon.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 64 * 1024 * 1024)
        return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                           got != bytes.size()))
        return false;
    record.Data = EncodeBase64(bytes.data(), bytes.size());
    record.Size = std::to_wstring(record.Data.size());
    return true;
}
