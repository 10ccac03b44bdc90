#include "manager/ScanDetailsFile.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

struct Category
{
    const wchar_t* name;
    std::int32_t code;
};
constexpr Category Categories[] = {
    {L"File", 1}, {L"Registry", 2}, {L"SetupFilePath", 3}, {L"SetupFileInfo", 4},
};

std::int32_t CodeOf(const std::wstring& name)
{
    for (const auto& c : Categories)
        if (name == c.name)
            return c.code;
    return 0;
}

void AppendInt(std::string& out, std::int32_t value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xff);
    out.append(bytes, 4);
}

std::int32_t ReadInt(const char* p)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

} // namespace

Result WriteScanDetailsFile(const std::wstring& file, const ScanDetails& details)
{
    std::string out;
    for (const auto& [category, strings] : details) {
        const std::int32_t code = CodeOf(category);
        if (code == 0)
            continue;
        for (const auto& text : strings) {
            const std::string bytes = ToUtf8(text);
            if (bytes.size() > static_cast<std::size_t>(MaxScanDetailsBytes)) {
                LogError(L"CUIManager::WriteScanDetails String longer than 1023 bytes left out: " + text);
                continue;
            }
            AppendInt(out, code);
            AppendInt(out, static_cast<std::int32_t>(bytes.size()));
            out += bytes;
        }
    }

    const std::wstring failed = L"CUIManager::WriteScanDetails Unable to write " + file;
    UniqueFile handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return LogFailure(Result::LastError(failed));
    DWORD written = 0;
    if (!WriteFile(handle.get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr))
        return LogFailure(Result::LastError(failed));
    if (written != out.size())
        return LogFailure(Result::Win32(ERROR_WRITE_FAULT, failed));
    return Result::Ok();
}

ScanDetails ReadScanDetailsFile(const std::wstring& file)
{
    ScanDetails details;
    UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return details;
    std::string data;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        data.append(buffer, got);

    std::size_t at = 0;
    while (at < data.size()) {
        if (data.size() - at < 8) {
            LogError(L"CUIManager::ReadScanDetails Record cut short in " + file);
            break;
        }
        const std::int32_t code = ReadInt(data.data() + at);
        const std::int32_t length = ReadInt(data.data() + at + 4);
        at += 8;
        if (length < 0 || length > MaxScanDetailsBytes || data.size() - at < static_cast<std::size_t>(length)) {
            LogError(L"CUIManager::ReadScanDetails Damaged record (length " + std::to_wstring(length) + L") in " +
                     file);
            break;
        }
        const std::string text = data.substr(at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
        for (const auto& c : Categories)
            if (c.code == code)
                details[c.name].push_back(FromUtf8(text));
    }
    return details;
}
