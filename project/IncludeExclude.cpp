#include "project/IncludeExclude.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "project/XMLDocumentHandler.h"

IncludedItemMap& FileIncludedItems()
{
    static IncludedItemMap map;
    return map;
}

IncludedItemMap& RegistryIncludedItems()
{
    static IncludedItemMap map;
    return map;
}

ExcludedItemMap& FileExcludedItems()
{
    static ExcludedItemMap map;
    return map;
}

ExcludedItemMap& RegistryExcludedItems()
{
    static ExcludedItemMap map;
    return map;
}

IncludedItemMap* IncludedMapFor(const std::wstring& listPath)
{
    if (listPath == IncludeExcludePath::FilesIncluded)
        return &FileIncludedItems();
    if (listPath == IncludeExcludePath::RegistryIncluded)
        return &RegistryIncludedItems();
    return nullptr;
}

ExcludedItemMap* ExcludedMapFor(const std::wstring& listPath)
{
    if (listPath == IncludeExcludePath::FilesExcluded)
        return &FileExcludedItems();
    if (listPath == IncludeExcludePath::RegistryExcluded)
        return &RegistryExcludedItems();
    return nullptr;
}

void ReadIncludeExcludeList(const CXMLDocumentHandler& document, const std::wstring& listPath)
{
    const XmlNode list = document.GetRootNode().SelectSingleNode(listPath);
    if (list.IsNull())
        return;
    IncludedItemMap* included = IncludedMapFor(listPath);
    ExcludedItemMap* excluded = ExcludedMapFor(listPath);
    for (XmlNode entry = list.GetFirstChild(); !entry.IsNull(); entry = entry.GetNextSibling()) {
        if (!entry.IsElement())
            continue;
        const std::wstring name = entry.GetNamedAttribute(L"Name");
        if (name.empty()) {
            // An empty name would stand for the root of the drive, walked past
            // every exclusion.
            LogError(L"ReadIncludeExcludeList: An entry of " + listPath + L" has no name; skipped");
            continue;
        }
        const std::wstring key = ToUpperAscii(name);
        if (included)
            included->emplace(key, name);
        else if (excluded)
            excluded->emplace(key, ExcludedItem{name, entry.GetNamedAttribute(L"Description")});
    }
}

void CXMLDocumentHandler::RegenerateIncludeExcludeFile(int mode, const std::wstring& targetName)
{
    const wchar_t* listName = nullptr;
    const wchar_t* paths[2] = {};
    if (mode == 0) {
        listName = L"IncludedItems";
        paths[0] = IncludeExcludePath::FilesIncluded;
        paths[1] = IncludeExcludePath::RegistryIncluded;
    } else if (mode == 1) {
        listName = L"ExcludedItems";
        paths[0] = IncludeExcludePath::FilesExcluded;
        paths[1] = IncludeExcludePath::RegistryExcluded;
    } else {
        return;
    }
    if (!IsLoaded()) {
        WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile XML File Not Loaded");
        return;
    }

    XmlNode root = GetRootNode();
    for (const wchar_t* section : {L"FileSystem", L"RegistrySystem"}) {
        root.RemoveNodes(std::wstring(section) + L"//" + listName);
        XmlNode sectionNode = root.SelectSingleNode(section);
        if (sectionNode.AddChildElement(listName).IsNull())
            WriteError(std::wstring(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to insert ") +
                       listName + L" node in XML file");
    }

    // Each save goes to its own target, whichever file the document came from.
    if (targetName == UpdatedIncludeExcludeName)
        SetIncludeExcludePath(Paths().UpdatedIncludeExcludePath);
    else if (targetName == DefaultIncludeExcludeName)
        SetIncludeExcludePath(Paths().DefaultIncludeExcludePath);
    if (!Save(GetIncludeExcludePath()))
        WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to save XML File");

    WriteIncludeExcludeEntries(paths[0]);
    WriteIncludeExcludeEntries(paths[1]);
}

void CXMLDocumentHandler::WriteIncludeExcludeEntries(const std::wstring& listPath)
{
    if (!IsLoaded()) {
        WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile XML File Not Loaded");
        return;
    }
    XmlNode list = GetRootNode().SelectSingleNode(listPath);
    if (list.IsNull()) {
        WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to \t\t\t\t\t\t\t   find " +
                   listPath + L" node in XML file");
        return;
    }
    if (const ExcludedItemMap* excluded = ExcludedMapFor(listPath)) {
        for (const auto& [key, item] : *excluded) {
            XmlNode entry = list.AddChildElement(L"ExcludedEntry");
            if (entry.IsNull()) {
                WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to Insert ExcludedEntry node in "
                           L"XML file");
                continue;
            }
            entry.SetAttribute(L"Name", item.Name);
            entry.SetAttribute(L"Description", item.Description);
        }
    } else if (const IncludedItemMap* included = IncludedMapFor(listPath)) {
        for (const auto& [key, name] : *included) {
            XmlNode entry = list.AddChildElement(L"IncludedEntry");
            if (!entry.IsNull())
                entry.SetAttribute(L"Name", name);
        }
    }
    if (!Save(GetIncludeExcludePath()))
        WriteError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to save XML File");
}
