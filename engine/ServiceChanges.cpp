#include "engine/ServiceChanges.h"

#include "common/FolderTokens.h"
#include "engine/CapturedValues.h"

#include <windows.h>

#include <algorithm>

namespace {

std::wstring Trimmed(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return L"";
    const auto last = text.find_last_not_of(L" \t");
    return text.substr(first, last - first + 1);
}

std::wstring Expanded(const std::wstring& text)
{
    if (text.find(L'%') == std::wstring::npos)
        return text;
    std::wstring buffer(32768, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length > buffer.size())
        return text;
    buffer.resize(length - 1);
    return buffer;
}

} // namespace

ImagePathParts SplitImagePath(const std::wstring& imagePath)
{
    const std::wstring text = Trimmed(imagePath);
    ImagePathParts parts;
    std::size_t end = 0;
    if (!text.empty() && text[0] == L'"') {
        const std::size_t close = text.find(L'"', 1);
        parts.Program = text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
        end = close == std::wstring::npos ? text.size() : close + 1;
    } else {
        std::wstring lower = text;
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        std::size_t exe = lower.find(L".exe");
        while (exe != std::wstring::npos && exe + 4 < text.size() && text[exe + 4] != L' ' && text[exe + 4] != L'\t')
            exe = lower.find(L".exe", exe + 1);
        end = exe != std::wstring::npos ? exe + 4 : std::min(text.find_first_of(L" \t"), text.size());
        parts.Program = text.substr(0, end);
    }
    parts.Arguments = Trimmed(text.substr(std::min(end, text.size())));
    parts.Program = Expanded(parts.Program);
    if (parts.Program.starts_with(L"\\??\\"))
        parts.Program.erase(0, 4);
    return parts;
}

ServiceList ServiceChangesOf(const RegistryChangeMap& added, const FolderTokenValues& tokens)
{
    ServiceList services;
    for (const auto& [key, values] : added) {
        bool ownKey = false;
        const std::wstring name = ServiceOfKey(key, &ownKey);
        if (name.empty() || !ownKey)
            continue;
        if (std::any_of(services.begin(), services.end(), [&](const ServiceRecord& s) { return SameName(s.Name, name); }))
            continue;
        ServiceRecord service;
        service.Key = key;
        service.Name = name;
        bool typed = false;
        for (const RegistryChangeEntry& value : values) {
            const std::wstring valueName = CapturedValueName(value);
            const auto text = CapturedText(value);
            const auto number = CapturedNumber(value);
            if (SameName(valueName, L"Type") && number) {
                service.Type = *number;
                typed = true;
            } else if (SameName(valueName, L"Start") && number) {
                service.Start = *number;
            } else if (SameName(valueName, L"ErrorControl") && number) {
                service.ErrorControl = *number;
            } else if (SameName(valueName, L"ImagePath") && text) {
                ImagePathParts parts = SplitImagePath(*text);
                ToTokenPath(parts.Program, tokens);
                service.Program = std::move(parts.Program);
                service.Arguments = std::move(parts.Arguments);
            } else if (SameName(valueName, L"DisplayName") && text) {
                service.DisplayName = *text;
            } else if (SameName(valueName, L"Description") && text) {
                service.Description = *text;
            } else if (SameName(valueName, L"ObjectName") && text) {
                service.Account = *text;
            } else if (SameName(valueName, L"Group") && text) {
                service.Group = *text;
            } else if (SameName(valueName, L"DependOnService")) {
                service.DependOnService = CapturedStrings(value).value_or(std::vector<std::wstring>());
            } else if (SameName(valueName, L"DependOnGroup")) {
                service.DependOnGroup = CapturedStrings(value).value_or(std::vector<std::wstring>());
            }
        }
        if (typed)
            services.push_back(std::move(service));
    }
    return services;
}
