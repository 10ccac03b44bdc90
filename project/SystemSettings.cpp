#include "project/SystemSettings.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <windows.h>

#include <cwchar>

namespace {

bool StartsWithNoCase(const std::wstring& text, const std::wstring& head)
{
    return text.size() >= head.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(head.size()), head.c_str(),
                                static_cast<int>(head.size()), TRUE) == CSTR_EQUAL;
}

// Entries joined with ";", which no entry of a list variable holds and no
// service or group name does either.
std::wstring Join(const std::vector<std::wstring>& items)
{
    std::wstring text;
    for (const std::wstring& item : items) {
        if (!text.empty())
            text += L';';
        text += item;
    }
    return text;
}

std::vector<std::wstring> Split(const std::wstring& text)
{
    std::vector<std::wstring> items;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L';', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::uint32_t Number(const std::wstring& text, std::uint32_t fallback)
{
    if (text.empty())
        return fallback;
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    return end && *end == L'\0' ? static_cast<std::uint32_t>(value) : fallback;
}

const wchar_t* ActionName(EnvironmentAction action)
{
    switch (action) {
    case EnvironmentAction::Extend:
        return L"extend";
    case EnvironmentAction::Set:
        return L"set";
    case EnvironmentAction::Create:
        break;
    }
    return L"create";
}

// The section below the root, emptied; added when missing.
XmlNode EmptySection(XmlDocument& document, const wchar_t* name)
{
    XmlNode root = document.Root();
    XmlNode section = root.SelectSingleNode(name);
    if (section.IsNull())
        return root.InsertChildElement(name, XmlNode());
    for (XmlNode child = section.GetFirstChild(); !child.IsNull(); child = section.GetFirstChild())
        if (!section.RemoveChild(child))
            break;
    return section;
}

// Every element below the section, in document order.
template <typename Visit>
void ForEachRecord(const XmlDocument& document, const wchar_t* name, Visit&& visit)
{
    if (!document.IsLoaded())
        return;
    const XmlNode section = document.Root().SelectSingleNode(name);
    for (XmlNode child = section.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling())
        if (child.IsElement())
            visit(child);
}

Result Finish(XmlDocument& document, bool written, const std::wstring& savePath, const wchar_t* writer)
{
    if (!written)
        return LogFailure(
            Result::Failure(ERROR_INVALID_DATA, std::wstring(writer) + L" Unable to insert the section in XML file"));
    if (Result saved = document.Save(savePath); !saved)
        return LogFailure(Result::Because(std::wstring(writer) + L" Unable to save XML File", saved));
    return Result::Ok();
}

} // namespace

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring ControlSetRelativePath(const std::wstring& keyPath)
{
    const std::wstring system = L"HKEY_LOCAL_MACHINE\\SYSTEM\\";
    if (!StartsWithNoCase(keyPath, system))
        return L"";
    const std::size_t setStart = system.size();
    const std::size_t setEnd = keyPath.find(L'\\', setStart);
    if (setEnd == std::wstring::npos)
        return L"";
    const std::wstring set = keyPath.substr(setStart, setEnd - setStart);
    bool numbered = set.size() == 13 && StartsWithNoCase(set, L"ControlSet");
    for (std::size_t i = 10; numbered && i < set.size(); ++i)
        numbered = set[i] >= L'0' && set[i] <= L'9';
    if (!numbered && !SameName(set, L"CurrentControlSet"))
        return L"";
    return keyPath.substr(setEnd + 1);
}

bool IsEnvironmentKey(const std::wstring& keyPath, bool* system)
{
    if (SameName(ControlSetRelativePath(keyPath), L"Control\\Session Manager\\Environment")) {
        if (system)
            *system = true;
        return true;
    }
    if (SameName(keyPath, L"HKEY_CURRENT_USER\\Environment")) {
        if (system)
            *system = false;
        return true;
    }
    return false;
}

std::wstring ServiceOfKey(const std::wstring& keyPath, bool* ownKey)
{
    const std::wstring relative = ControlSetRelativePath(keyPath);
    const std::wstring services = L"Services\\";
    if (!StartsWithNoCase(relative, services) || relative.size() == services.size())
        return L"";
    const std::size_t end = relative.find(L'\\', services.size());
    if (ownKey)
        *ownKey = end == std::wstring::npos;
    return relative.substr(services.size(), end == std::wstring::npos ? std::wstring::npos : end - services.size());
}

Result WriteEnvironmentList(XmlDocument& document, const EnvironmentList& variables, const std::wstring& savePath)
{
    const wchar_t* writer = L"WriteEnvironmentList:";
    if (!document.IsLoaded())
        return LogFailure(Result::Failure(ERROR_INVALID_DATA, std::wstring(writer) + L" XML File Not Loaded"));
    XmlNode section = EmptySection(document, SystemSection::Environment);
    bool written = !section.IsNull();
    for (const EnvironmentRecord& variable : variables) {
        if (!written)
            break;
        XmlNode element = section.InsertChildElement(L"Variable", XmlNode());
        written = !element.IsNull() && element.SetAttribute(L"Key", variable.Key) &&
                  element.SetAttribute(L"Name", variable.Name) &&
                  element.SetAttribute(L"System", variable.System ? L"1" : L"0") &&
                  element.SetAttribute(L"Action", ActionName(variable.Action)) &&
                  element.SetAttribute(L"Value", variable.Value) &&
                  element.SetAttribute(L"Prepend", Join(variable.Prepend)) &&
                  element.SetAttribute(L"Append", Join(variable.Append));
    }
    return Finish(document, written, savePath, writer);
}

Result WriteServiceList(XmlDocument& document, const ServiceList& services, const std::wstring& savePath)
{
    const wchar_t* writer = L"WriteServiceList:";
    if (!document.IsLoaded())
        return LogFailure(Result::Failure(ERROR_INVALID_DATA, std::wstring(writer) + L" XML File Not Loaded"));
    XmlNode section = EmptySection(document, SystemSection::Services);
    bool written = !section.IsNull();
    for (const ServiceRecord& service : services) {
        if (!written)
            break;
        XmlNode element = section.InsertChildElement(L"Service", XmlNode());
        const std::pair<const wchar_t*, std::wstring> attributes[] = {
            {L"Key", service.Key},
            {L"Name", service.Name},
            {L"DisplayName", service.DisplayName},
            {L"Description", service.Description},
            {L"Type", std::to_wstring(service.Type)},
            {L"Start", std::to_wstring(service.Start)},
            {L"ErrorControl", std::to_wstring(service.ErrorControl)},
            {L"Group", service.Group},
            {L"DependOnService", Join(service.DependOnService)},
            {L"DependOnGroup", Join(service.DependOnGroup)},
            {L"Account", service.Account},
            {L"Program", service.Program},
            {L"Arguments", service.Arguments},
        };
        written = !element.IsNull();
        for (const auto& [name, value] : attributes)
            written = written && element.SetAttribute(name, value);
    }
    return Finish(document, written, savePath, writer);
}

EnvironmentList ReadEnvironmentList(const XmlDocument& document)
{
    EnvironmentList variables;
    ForEachRecord(document, SystemSection::Environment, [&](const XmlNode& element) {
        EnvironmentRecord variable;
        variable.Key = element.GetNamedAttribute(L"Key");
        variable.Name = element.GetNamedAttribute(L"Name");
        variable.System = element.GetNamedAttribute(L"System") == L"1";
        const std::wstring action = element.GetNamedAttribute(L"Action");
        variable.Action = action == L"extend" ? EnvironmentAction::Extend
                          : action == L"set"  ? EnvironmentAction::Set
                                              : EnvironmentAction::Create;
        variable.Value = element.GetNamedAttribute(L"Value");
        variable.Prepend = Split(element.GetNamedAttribute(L"Prepend"));
        variable.Append = Split(element.GetNamedAttribute(L"Append"));
        if (!variable.Name.empty())
            variables.push_back(std::move(variable));
    });
    return variables;
}

ServiceList ReadServiceList(const XmlDocument& document)
{
    ServiceList services;
    ForEachRecord(document, SystemSection::Services, [&](const XmlNode& element) {
        ServiceRecord service;
        service.Key = element.GetNamedAttribute(L"Key");
        service.Name = element.GetNamedAttribute(L"Name");
        service.DisplayName = element.GetNamedAttribute(L"DisplayName");
        service.Description = element.GetNamedAttribute(L"Description");
        service.Type = Number(element.GetNamedAttribute(L"Type"), 0);
        service.Start = Number(element.GetNamedAttribute(L"Start"), 3);
        service.ErrorControl = Number(element.GetNamedAttribute(L"ErrorControl"), 1);
        service.Group = element.GetNamedAttribute(L"Group");
        service.DependOnService = Split(element.GetNamedAttribute(L"DependOnService"));
        service.DependOnGroup = Split(element.GetNamedAttribute(L"DependOnGroup"));
        service.Account = element.GetNamedAttribute(L"Account");
        service.Program = element.GetNamedAttribute(L"Program");
        service.Arguments = element.GetNamedAttribute(L"Arguments");
        if (!service.Name.empty())
            services.push_back(std::move(service));
    });
    return services;
}
