// The writers that give the project file and the change documents their shape.
// Every writer saves once, at its end: the file on disk is always a complete
// document.
#include "project/ProjectWriters.h"

#include "common/FileNames.h"
#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/StopToken.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "project/XmlInternal.h"

#include <algorithm>

using Microsoft::WRL::ComPtr;
using namespace XmlInternal;

namespace {

const std::wstring DirectoryWriter = L"CXMLDocumentHandler::InsertDirectoryAndFileInXML";
const std::wstring RegistryWriter = L"CXMLDocumentHandler::InsertRegistryKeyAndValueInXML";
const std::wstring IniWriter = L"CXMLDocumentHandler::InsertINIKeyAndValueInXML";
const std::wstring ShortcutWriter = L"CXMLDocumentHandler::InsertShortcutInXML";
const std::wstring IconWriter = L"CXMLDocumentHandler::InsertShortcutICONInXML";
const std::wstring ProductWriter = L"CXMLDocumentHandler::InsertProductInfoInXML";

const std::wstring NotLoaded = L" XML File Not Loaded";
const std::wstring SaveFailed = L" Unable to save XML File";

// The "find" messages keep the tab and blank runs of the original wording.
std::wstring DirectoryListMissing(const std::wstring& listPath)
{
    return DirectoryWriter + L" Unable to " + std::wstring(8, L'\t') + L"find " + listPath + L" node in XML file";
}
std::wstring KeyOrIniListMissing(const std::wstring& writer, const std::wstring& listPath)
{
    return writer + L" Unable to " + std::wstring(7, L'\t') + L"    find " + listPath + L" node in XML file";
}

// A file goes into the package only if it exists, can be read, and is no
// temporary file or shell link.
bool IsPackable(const std::wstring& tokenPath, const FolderTokenValues& tokens)
{
    std::wstring path = tokenPath;
    ToRealPath(path, tokens);
    if (IsTemporaryOrLinkFile(path)) {
        LogError(L"CXMLDocumentHandler::InsertDirectoryAndFileInXML: " + path +
                 L" is a temporary file or a shell link; left out");
        return false;
    }
    // The change documents only need to know that the file is still there:
    // its attributes answer that without opening it, which matters for the
    // hundred thousand files of a large capture. Whether it can be read is
    // decided where it is read, by the package build, which opens every file
    // and leaves out (and logs) what it cannot read.
    // On 64-bit Windows a captured System32 path names the real System32.
    WIN32_FILE_ATTRIBUTE_DATA data;
    BOOL found;
    {
        const CFsRedirectionOff realFolders;
        found = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    }
    return found && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// True when no other folder of the map lies below the entry's folder.
bool IsLeafFolder(const DirectoryChangeMap& map, DirectoryChangeMap::const_iterator entry)
{
    const std::wstring below = entry->first + L"\\";
    const auto next = map.lower_bound(below);
    return next == map.end() || next->first.compare(0, below.size(), below) != 0;
}

bool EndsWith(const std::wstring& text, std::wstring_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring LastComponent(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Adds elements under one parent, each before the one added last: O(1) per
// element, with no lookup of the parent or its children.
class FirstChildInserter
{
public:
    FirstChildInserter(IXMLDOMDocument* document, IXMLDOMNode* parent, const wchar_t* name, bool appendToEmpty = false)
        : m_document(document), m_parent(parent), m_name(name)
    {
        // The list may already hold elements from an earlier call: start in
        // front of them.
        if (m_parent && !appendToEmpty && m_parent->get_firstChild(m_first.GetAddressOf()) != S_OK)
            m_first.Reset();
    }

    // The new element, or null.
    IXMLDOMNode* Add()
    {
        ComPtr<IXMLDOMNode> created;
        if (!InsertElement(m_document, m_parent, m_name.Get(), m_first.Get(), created))
            return nullptr;
        m_first = created;
        return m_first.Get();
    }

private:
    IXMLDOMDocument* m_document;
    IXMLDOMNode* m_parent;
    Bstr m_name;
    ComPtr<IXMLDOMNode> m_first;
};

// A writer's failure that no system call reported, logged.
Result Failed(const std::wstring& line)
{
    return LogFailure(Result::Failure(ERROR_INVALID_DATA, line));
}

// A writer stopped by an exception (out of memory), logged with its old line.
Result Thrown(const std::wstring& writer)
{
    return LogFailure(Result::Failure(ERROR_NOT_ENOUGH_MEMORY, writer + SaveFailed));
}

// Saves the document a writer filled; logs "<writer> Unable to save XML File"
// with the system's code and text when it cannot.
Result SaveWritten(XmlDocument& document, const std::wstring& savePath, const std::wstring& writer)
{
    if (Result saved = document.Save(savePath); !saved)
        return LogFailure(Result::Because(writer + SaveFailed, saved));
    return Result::Ok();
}

// Stopped: nothing saved and nothing logged; the caller reports it and
// removes what an earlier writer saved.
Result Stopped(const std::wstring& writer)
{
    return Result::Failure(ERROR_CANCELLED, writer + L" Stopped before the document was saved");
}

} // namespace

Result WriteFileList(XmlDocument& document, ChangeOrigin origin, DirectoryChangeMap& map,
                     const FolderTokenValues& tokens, const std::wstring& savePath, FileListMode mode,
                     std::vector<std::wstring>* addedExecutables)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(DirectoryWriter + NotLoaded);
        }
        const std::wstring listPath = ListPathOf(ChangeArea::Files, origin);
        const XmlNode list = document.Select(listPath);
        if (list.IsNull()) {
            return Failed(DirectoryListMissing(listPath));
        }
        const bool keepAll = mode == FileListMode::KeepAll;
        const bool collectExecutables = !keepAll && origin == ChangeOrigin::Added && addedExecutables;
        const Bstr nameAttribute(L"Name");
        FirstChildInserter directories(document.Dom(), list.Get(), L"Directory");

        for (auto it = map.begin(); it != map.end();) {
            if (StopRequested())
                return Stopped(DirectoryWriter);
            std::vector<std::wstring>& files = it->second;
            // A folder the setup created and left empty is written without
            // files, so that the package creates it too.
            const bool emptyFolder = files.empty() && origin == ChangeOrigin::Added && IsLeafFolder(map, it);
            if (!keepAll) {
                // Files that cannot be packed leave the caller's list.
                files.erase(std::remove_if(files.begin(), files.end(),
                                           [&](const std::wstring& file) { return !IsPackable(file, tokens); }),
                            files.end());
            }
            if (files.empty() && !emptyFolder) {
                it = map.erase(it);
                continue;
            }
            IXMLDOMNode* directory = directories.Add();
            if (!directory) {
                LogError(DirectoryWriter + L" Unable to Insert Directory node in XML file");
                ++it;
                continue;
            }
            std::wstring folder = it->first;
            ToTokenPath(folder, tokens);
            (void)SetElementAttribute(directory, nameAttribute.Get(), folder);

            FirstChildInserter fileElements(document.Dom(), directory, L"File", true);
            for (const std::wstring& file : files) {
                IXMLDOMNode* element = fileElements.Add();
                if (!element) {
                    LogError(DirectoryWriter + L" Unable to insert File node in XML file");
                    continue;
                }
                (void)SetElementAttribute(element, nameAttribute.Get(), LastComponent(file));
                if (collectExecutables && EndsWith(file, L".exe"))
                    addedExecutables->push_back(file);
            }
            ++it;
        }
        return SaveWritten(document, savePath, DirectoryWriter);
    } catch (...) {
        return Thrown(DirectoryWriter);
    }
}

Result WriteRegistryList(XmlDocument& document, ChangeOrigin origin, const RegistryChangeMap& map,
                         const std::wstring& savePath)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(RegistryWriter + NotLoaded);
        }
        const std::wstring listPath = ListPathOf(ChangeArea::Registry, origin);
        const XmlNode list = document.Select(listPath);
        if (list.IsNull()) {
            return Failed(KeyOrIniListMissing(RegistryWriter, listPath));
        }
        const Bstr nameAttribute(L"Name");
        const Bstr typeAttribute(L"Type");
        FirstChildInserter keys(document.Dom(), list.Get(), L"SubKey");
        for (const auto& [key, values] : map) {
            if (StopRequested())
                return Stopped(RegistryWriter);
            // A key alone (no value records) writes nothing.
            if (values.empty())
                continue;
            IXMLDOMNode* subKey = keys.Add();
            if (!subKey) {
                LogError(RegistryWriter + L" Unable to Insert SubKey node in XML file");
                continue;
            }
            (void)SetElementAttribute(subKey, nameAttribute.Get(), key);
            FirstChildInserter valueElements(document.Dom(), subKey, L"Value", true);
            for (const RegistryChangeEntry& value : values) {
                IXMLDOMNode* element = valueElements.Add();
                if (!element) {
                    LogError(RegistryWriter + L" Unable to Insert Value node in XML file");
                    continue;
                }
                (void)SetElementAttribute(element, nameAttribute.Get(), value.ValueName);
                (void)SetElementAttribute(element, typeAttribute.Get(), value.TypeName);
            }
        }
        return SaveWritten(document, savePath, RegistryWriter);
    } catch (...) {
        return Thrown(RegistryWriter);
    }
}

Result WriteIniList(XmlDocument& document, ChangeOrigin origin, const IniChangeMap& map, const std::wstring& savePath)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(IniWriter + NotLoaded);
        }
        const std::wstring listPath = ListPathOf(ChangeArea::Ini, origin);
        const XmlNode list = document.Select(listPath);
        if (list.IsNull()) {
            return Failed(KeyOrIniListMissing(IniWriter, listPath));
        }
        const Bstr nameAttribute(L"Name");
        const Bstr keyAttribute(L"Key");
        const Bstr valueAttribute(L"Value");
        FirstChildInserter iniFiles(document.Dom(), list.Get(), L"File");
        for (const auto& [iniFile, entries] : map) {
            IXMLDOMNode* fileElement = iniFiles.Add();
            if (!fileElement) {
                LogError(IniWriter + L" Unable to Insert File node in XML file");
                continue;
            }
            (void)SetElementAttribute(fileElement, nameAttribute.Get(), iniFile);
            FirstChildInserter sections(document.Dom(), fileElement, L"Section", true);
            for (const IniChangeEntry& entry : entries) {
                IXMLDOMNode* section = sections.Add();
                if (!section) {
                    LogError(IniWriter + L" Unable to Insert Key node in XML file");
                    continue;
                }
                (void)SetElementAttribute(section, nameAttribute.Get(), entry.Section);
                (void)SetElementAttribute(section, keyAttribute.Get(), entry.Key);
                (void)SetElementAttribute(section, valueAttribute.Get(), entry.Value);
            }
        }
        return SaveWritten(document, savePath, IniWriter);
    } catch (...) {
        return Thrown(IniWriter);
    }
}

namespace {

// The attributes of a captured shortcut, after the five every reader takes by
// position; written only when set, so that a project without them reads as
// before.
void SetOptionalShortcutAttributes(IXMLDOMNode* element, const ShortcutRecord& shortcut,
                                   const FolderTokenValues& tokens)
{
    std::wstring workingFolder = shortcut.WorkingFolder;
    ToTokenPath(workingFolder, tokens);
    const std::pair<const wchar_t*, const std::wstring*> optional[] = {
        {L"Subfolder", &shortcut.Subfolder},     {L"Arguments", &shortcut.Arguments},
        {L"WorkingFolder", &workingFolder},      {L"Description", &shortcut.Description},
        {L"ShowCmd", &shortcut.ShowCommand},
    };
    for (const auto& [name, value] : optional)
        if (!value->empty())
            (void)SetElementAttribute(element, Bstr(name).Get(), *value);
}

} // namespace

Result WriteShortcutList(XmlDocument& document, const ShortcutList& shortcuts, const FolderTokenValues& tokens,
                         const std::wstring& savePath)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(ShortcutWriter + NotLoaded);
        }
        const XmlNode list = document.Select(NodePath::Shortcuts);
        if (list.IsNull()) {
            return Failed(ShortcutWriter + L" Unable to find node in XML file");
        }
        FirstChildInserter elements(document.Dom(), list.Get(), L"Shortcut");
        const Bstr names[] = {Bstr(L"Name"), Bstr(L"ExeName"), Bstr(L"Directory"), Bstr(L"Icon"), Bstr(L"IconIndex")};
        for (const ShortcutRecord& shortcut : shortcuts) {
            IXMLDOMNode* element = elements.Add();
            if (!element) {
                LogError(ShortcutWriter + L" Unable to insert Shortcut node in XML file");
                continue;
            }
            std::wstring icon = shortcut.Icon;
            ToTokenPath(icon, tokens);
            (void)SetElementAttribute(element, names[0].Get(), shortcut.Name);
            (void)SetElementAttribute(element, names[1].Get(), shortcut.ExeName);
            (void)SetElementAttribute(element, names[2].Get(), shortcut.Directory);
            (void)SetElementAttribute(element, names[3].Get(), icon);
            (void)SetElementAttribute(element, names[4].Get(), shortcut.IconIndex);
            SetOptionalShortcutAttributes(element, shortcut, tokens);
        }
        return SaveWritten(document, savePath, ShortcutWriter);
    } catch (...) {
        return Thrown(ShortcutWriter);
    }
}

Result WriteShortcutIcons(XmlDocument& document, const IconMap& icons, const std::wstring& savePath)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(IconWriter + NotLoaded);
        }
        const XmlNode list = document.Select(NodePath::ShortcutIcons);
        if (list.IsNull())
            return Result::Ok(); // nothing to write
        const Bstr nameAttribute(L"Name");
        const Bstr sizeAttribute(L"Size");
        const Bstr dataAttribute(L"Data");
        FirstChildInserter iconElements(document.Dom(), list.Get(), L"Icon");
        for (const auto& [path, icon] : icons) {
            IXMLDOMNode* element = iconElements.Add();
            if (!element) {
                LogError(IconWriter + L" Unable to Insert Icon node in XML file");
                continue;
            }
            (void)SetElementAttribute(element, nameAttribute.Get(), path);
            (void)SetElementAttribute(element, sizeAttribute.Get(), icon.Size);
            (void)SetElementAttribute(element, dataAttribute.Get(), icon.Data);
            FirstChildInserter executables(document.Dom(), element, L"EXE", true);
            for (const std::wstring& executable : icon.Executables) {
                IXMLDOMNode* exe = executables.Add();
                if (!exe) {
                    LogError(IconWriter + L" Unable to Insert EXE node in XML file");
                    continue;
                }
                (void)SetElementAttribute(exe, nameAttribute.Get(), executable);
            }
        }
        return SaveWritten(document, savePath, IconWriter);
    } catch (...) {
        return Thrown(IconWriter);
    }
}

Result WriteProductInfo(XmlDocument& document, const ProductInfo& product, const std::wstring& savePath)
{
    try {
        if (!document.IsLoaded()) {
            return Failed(ProductWriter + NotLoaded);
        }
        XmlNode section = document.Select(NodePath::Product);
        if (section.IsNull()) {
            return Failed(ProductWriter + L" Unable to find node in XML file");
        }
        XmlNode element = section.AddChildElement(L"ProductInformation");
        if (element.IsNull()) {
            return Failed(ProductWriter + L" Unable to insert ProductInfo node in XML file");
        }
        element.SetAttribute(L"ApplicationName", product.ApplicationName);
        element.SetAttribute(L"Version", product.Version);
        element.SetAttribute(L"CompanyName", product.CompanyName);
        if (!product.UpgradeCode.empty())
            element.SetAttribute(L"UpgradeCode", product.UpgradeCode);
        if (!product.Platform.empty())
            element.SetAttribute(L"Platform", product.Platform);
        return SaveWritten(document, savePath, ProductWriter);
    } catch (...) {
        return Thrown(ProductWriter);
    }
}

namespace {

// Removes every child of the list element (text and comments included).
void EmptyList(const XmlNode& root, const std::wstring& listPath)
{
    XmlNode list = root.SelectSingleNode(listPath);
    for (XmlNode child = list.GetFirstChild(); !child.IsNull(); child = list.GetFirstChild()) {
        if (!list.RemoveChild(child))
            break;
    }
}

} // namespace

Result ReplaceShortcutList(XmlDocument& document, const ShortcutList& shortcuts, const FolderTokenValues& tokens,
                           const std::wstring& savePath)
{
    if (document.IsLoaded())
        EmptyList(document.Root(), NodePath::Shortcuts);
    return WriteShortcutList(document, shortcuts, tokens, savePath);
}

Result ReplaceShortcutIcons(XmlDocument& document, const IconMap& icons, const std::wstring& savePath)
{
    if (document.IsLoaded())
        EmptyList(document.Root(), NodePath::ShortcutIcons);
    return WriteShortcutIcons(document, icons, savePath);
}
