#include "msi/WixRows.h"

#include <cwchar>
#include <utility>
#include <vector>

namespace {

unsigned Number(const std::wstring& text)
{
    return static_cast<unsigned>(std::wcstoul(text.c_str(), nullptr, 10));
}

// The parts of a text between "[~]" separators, empty ones left out.
std::vector<std::wstring> ListParts(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(L"[~]", start);
        const std::wstring part = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!part.empty())
            parts.push_back(part);
        if (end == std::wstring::npos)
            return parts;
        start = end + 3;
    }
}

const wchar_t* RootName(const std::wstring& root)
{
    if (root == L"-1")
        return L"HKMU";
    if (root == L"0")
        return L"HKCR";
    if (root == L"1")
        return L"HKCU";
    if (root == L"3")
        return L"HKU";
    return L"HKLM";
}

// The Type and Value attributes (or MultiStringValue children) of a Registry
// row's Value column, undoing its prefixes: "#x" binary, "#%" expandable, "#"
// a number, "##" a text beginning with "#", "[~]" a list.
void SetRegistryValue(WixElement& element, const std::wstring& value)
{
    std::wstring type = L"string";
    std::wstring text = value;
    if (value.starts_with(L"##")) {
        text = value.substr(1);
    } else if (value.starts_with(L"#x")) {
        type = L"binary";
        text = value.substr(2);
    } else if (value.starts_with(L"#%")) {
        type = L"expandable";
        text = value.substr(2);
    } else if (value.starts_with(L"#")) {
        type = L"integer";
        text = value.substr(1);
    } else if (value.find(L"[~]") != std::wstring::npos) {
        element.Set(L"Type", L"multiString").Set(L"Action", L"write");
        for (const std::wstring& part : ListParts(value))
            element.Add({L"MultiStringValue", {}, {}, part});
        return;
    }
    element.Set(L"Type", type);
    element.attributes.emplace_back(L"Value", text); // kept when empty: an empty text is a value
}

const wchar_t* IniAction(const std::wstring& action)
{
    switch (Number(action)) {
    case 1: return L"createLine";
    case 2: return L"removeLine";
    case 3: return L"addTag";
    case 4: return L"removeTag";
    default: return L"addLine";
    }
}

const wchar_t* InstallMode(const std::wstring& mode)
{
    switch (Number(mode)) {
    case 1: return L"install";
    case 3: return L"both";
    default: return L"uninstall";
    }
}

const wchar_t* ServiceType(unsigned type)
{
    switch (type & 0xFF) {
    case 0x1: return L"kernelDriver";
    case 0x2: return L"systemDriver";
    case 0x20: return L"shareProcess";
    default: return L"ownProcess";
    }
}

const wchar_t* StartType(const std::wstring& start)
{
    switch (Number(start)) {
    case 0: return L"boot";
    case 1: return L"system";
    case 2: return L"auto";
    case 4: return L"disabled";
    default: return L"demand";
    }
}

const wchar_t* ErrorControl(unsigned errorControl)
{
    switch (errorControl & 0x7FFF) {
    case 0: return L"ignore";
    case 3: return L"critical";
    default: return L"normal";
    }
}

// "install", "uninstall", "both" or "" for the two event bits of one kind.
const wchar_t* ControlEvent(unsigned events, unsigned onInstall, unsigned onUninstall)
{
    const bool install = events & onInstall;
    const bool uninstall = events & onUninstall;
    return install && uninstall ? L"both" : install ? L"install" : uninstall ? L"uninstall" : L"";
}

} // namespace

void SetDirectoryNames(WixElement& element, const std::wstring& defaultDir)
{
    const std::size_t colon = defaultDir.find(L':');
    const std::wstring target = defaultDir.substr(0, colon);
    const std::wstring source = colon == std::wstring::npos ? std::wstring() : defaultDir.substr(colon + 1);
    const auto set = [&](const std::wstring& names, const wchar_t* longAttribute, const wchar_t* shortAttribute) {
        if (names.empty() || names == L".")
            return;
        const std::size_t bar = names.find(L'|');
        if (bar == std::wstring::npos) {
            element.Set(longAttribute, names);
            return;
        }
        element.Set(longAttribute, names.substr(bar + 1)).Set(shortAttribute, names.substr(0, bar));
    };
    set(target, L"Name", L"ShortName");
    set(source, L"SourceName", L"ShortSourceName");
}

void SetFileNames(WixElement& element, const std::wstring& fileName)
{
    const std::size_t bar = fileName.find(L'|');
    if (bar == std::wstring::npos)
        element.Set(L"Name", fileName);
    else
        element.Set(L"Name", fileName.substr(bar + 1)).Set(L"ShortName", fileName.substr(0, bar));
}

WixElement FileElement(const PackageRow& file, const std::wstring& source, bool keyPath)
{
    WixElement element{L"File"};
    element.Set(L"Id", file[0]);
    SetFileNames(element, file[2]);
    element.Set(L"Source", source).Set(L"KeyPath", keyPath ? L"yes" : L"");
    const unsigned attributes = Number(file[3]);
    element.Set(L"ReadOnly", attributes & 0x1 ? L"yes" : L"")
        .Set(L"Hidden", attributes & 0x2 ? L"yes" : L"")
        .Set(L"System", attributes & 0x4 ? L"yes" : L"");
    return element;
}

WixElement RegistryElement(const PackageRow& registry, bool keyPath)
{
    const std::wstring& name = registry[3];
    const std::wstring& value = registry[4];
    if (value.empty() && (name == L"+" || name == L"*")) {
        WixElement key{L"RegistryKey"};
        key.Set(L"Id", registry[0]).Set(L"Root", RootName(registry[1])).Set(L"Key", registry[2]);
        key.Set(L"Action", name == L"*" ? L"createAndRemoveOnUninstall" : L"create");
        return key;
    }
    WixElement element{L"RegistryValue"};
    element.Set(L"Id", registry[0]).Set(L"Root", RootName(registry[1])).Set(L"Key", registry[2]).Set(L"Name", name);
    SetRegistryValue(element, value);
    element.Set(L"KeyPath", keyPath ? L"yes" : L"");
    return element;
}

WixElement ShortcutElement(const PackageRow& shortcut)
{
    WixElement element{L"Shortcut"};
    element.Set(L"Id", shortcut[0]).Set(L"Directory", shortcut[1]);
    SetFileNames(element, shortcut[2]);
    element.Set(L"Target", shortcut[4]).Set(L"Icon", shortcut[5]).Set(L"IconIndex", shortcut[6]);
    element.Set(L"Arguments", shortcut[7]).Set(L"Description", shortcut[8]);
    const std::wstring& show = shortcut[9];
    element.Set(L"Show", show == L"3" ? L"maximized" : show == L"7" ? L"minimized" : show.empty() ? L"" : L"normal");
    element.Set(L"WorkingDirectory", shortcut[10]);
    return element;
}

WixElement IniFileElement(const PackageRow& ini)
{
    WixElement element{L"IniFile"};
    element.Set(L"Id", ini[0]).Set(L"Action", IniAction(ini[6]));
    SetFileNames(element, ini[1]);
    element.Set(L"Directory", ini[2]).Set(L"Section", ini[3]).Set(L"Key", ini[4]).Set(L"Value", ini[5]);
    return element;
}

WixElement RemoveFileElement(const PackageRow& removeFile)
{
    const bool folder = removeFile[2].empty();
    WixElement element{folder ? L"RemoveFolder" : L"RemoveFile"};
    element.Set(L"Id", removeFile[0]);
    if (!folder)
        SetFileNames(element, removeFile[2]);
    element.Set(L"Directory", removeFile[3]).Set(L"On", InstallMode(removeFile[4]));
    return element;
}

WixElement ServiceInstallElement(const PackageRow& service)
{
    const unsigned type = Number(service[3]);
    WixElement element{L"ServiceInstall"};
    element.Set(L"Id", service[0]).Set(L"Name", service[1]).Set(L"DisplayName", service[2]);
    element.Set(L"Description", service[12]).Set(L"Type", ServiceType(type));
    element.Set(L"Interactive", type & 0x100 ? L"yes" : L"");
    element.Set(L"Start", StartType(service[4])).Set(L"ErrorControl", ErrorControl(Number(service[5])));
    element.Set(L"LoadOrderGroup", service[6]).Set(L"Account", service[8]).Set(L"Password", service[9]);
    element.Set(L"Arguments", service[10]);
    // Groups are the dependencies named with a leading "+".
    for (const std::wstring& dependency : ListParts(service[7])) {
        WixElement& child = element.Add({L"ServiceDependency"});
        if (dependency.starts_with(L"+"))
            child.Set(L"Id", dependency.substr(1)).Set(L"Group", L"yes");
        else
            child.Set(L"Id", dependency);
    }
    return element;
}

WixElement ServiceControlElement(const PackageRow& control)
{
    const unsigned events = Number(control[2]);
    WixElement element{L"ServiceControl"};
    element.Set(L"Id", control[0]).Set(L"Name", control[1]);
    // msidbServiceControlEvent: start 0x1/0x10, stop 0x2/0x20, delete 0x8/0x80 (install/uninstall).
    element.Set(L"Start", ControlEvent(events, 0x1, 0x10))
        .Set(L"Stop", ControlEvent(events, 0x2, 0x20))
        .Set(L"Remove", ControlEvent(events, 0x8, 0x80));
    element.Set(L"Wait", control[4] == L"1" ? L"yes" : control[4] == L"0" ? L"no" : L"");
    for (const std::wstring& argument : ListParts(control[3]))
        element.Add({L"ServiceArgument", {}, {}, argument});
    return element;
}

// The Name column's leading characters: "=" set, "+" create, "!" remove,
// "-" removed on uninstall, "*" the machine's variable. A Value that starts
// with "[~]" and a separator appends to the existing value, one that ends
// with a separator and "[~]" puts itself in front.
WixElement EnvironmentElement(const PackageRow& environment)
{
    std::wstring name = environment[1];
    const std::size_t nameStart = name.find_first_not_of(L"=+-!*");
    const std::wstring flags = name.substr(0, std::min(nameStart, name.size()));
    name.erase(0, flags.size());
    const auto has = [&](wchar_t c) { return flags.find(c) != std::wstring::npos; };
    WixElement element{L"Environment"};
    element.Set(L"Id", environment[0]).Set(L"Name", name);
    element.Set(L"Action", has(L'!') ? L"remove" : has(L'+') ? L"create" : L"set");
    std::wstring value = environment[2];
    std::wstring part = L"all";
    std::wstring separator;
    if (value.size() > 3 && value.starts_with(L"[~]")) {
        part = L"last";
        separator = value.substr(3, 1);
        value.erase(0, 4);
    } else if (value.size() > 3 && value.ends_with(L"[~]")) {
        part = L"first";
        separator = value.substr(value.size() - 4, 1);
        value.erase(value.size() - 4);
    }
    element.Set(L"Value", value).Set(L"Part", part).Set(L"Separator", separator);
    element.Set(L"Permanent", has(L'-') ? L"no" : L"yes").Set(L"System", has(L'*') ? L"yes" : L"no");
    return element;
}
