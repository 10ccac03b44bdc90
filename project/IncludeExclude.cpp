#include "project/IncludeExclude.h"

#include "common/Log.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "project/XmlDocument.h"

IncludedItemMap* IncludeExcludeSelection::IncludedFor(const std::wstring& listPath) noexcept
{
    if (listPath == IncludeExcludePath::FilesIncluded)
        return &FilesIncluded;
    if (listPath == IncludeExcludePath::RegistryIncluded)
        return &RegistryIncluded;
    return nullptr;
}

ExcludedItemMap* IncludeExcludeSelection::ExcludedFor(const std::wstring& listPath) noexcept
{
    if (listPath == IncludeExcludePath::FilesExcluded)
        return &FilesExcluded;
    if (listPath == IncludeExcludePath::RegistryExcluded)
        return &RegistryExcluded;
    return nullptr;
}

void ReadIncludeExcludeList(const XmlDocument& document, const std::wstring& listPath,
                            IncludeExcludeSelection& selection)
{
    const XmlNode list = document.Select(listPath);
    if (list.IsNull())
        return;
    IncludedItemMap* included = selection.IncludedFor(listPath);
    ExcludedItemMap* excluded = selection.ExcludedFor(listPath);
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

void RegenerateIncludeExcludeFile(XmlDocument& document, const IncludeExcludeSelection& selection, int mode,
                                  const std::wstring& targetName, const WorkPaths& workPaths,
                                  std::wstring& includeExcludePath)
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
    if (!document.IsLoaded()) {
        LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile XML File Not Loaded");
        return;
    }

    XmlNode root = document.Root();
    for (const wchar_t* section : {L"FileSystem", L"RegistrySystem"}) {
        root.RemoveNodes(std::wstring(section) + L"//" + listName);
        XmlNode sectionNode = root.SelectSingleNode(section);
        if (sectionNode.AddChildElement(listName).IsNull())
            LogError(std::wstring(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to insert ") +
                       listName + L" node in XML file");
    }

    // Each save goes to its own target, whichever file the document came from.
    if (targetName == UpdatedIncludeExcludeName)
        includeExcludePath = workPaths.UpdatedIncludeExcludePath;
    else if (targetName == DefaultIncludeExcludeName)
        includeExcludePath = workPaths.DefaultIncludeExcludePath;
    if (!document.Save(includeExcludePath))
        LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to save XML File");

    WriteIncludeExcludeEntries(document, selection, paths[0], includeExcludePath);
    WriteIncludeExcludeEntries(document, selection, paths[1], includeExcludePath);
}

void WriteIncludeExcludeEntries(XmlDocument& document, const IncludeExcludeSelection& selection,
                                const std::wstring& listPath, const std::wstring& savePath)
{
    if (!document.IsLoaded()) {
        LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile XML File Not Loaded");
        return;
    }
    XmlNode list = document.Select(listPath);
    if (list.IsNull()) {
        LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to \t\t\t\t\t\t\t   find " +
                   listPath + L" node in XML file");
        return;
    }
    if (const ExcludedItemMap* excluded = selection.ExcludedFor(listPath)) {
        for (const auto& [key, item] : *excluded) {
            XmlNode entry = list.AddChildElement(L"ExcludedEntry");
            if (entry.IsNull()) {
                LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to Insert ExcludedEntry node in "
                         L"XML file");
                continue;
            }
            entry.SetAttribute(L"Name", item.Name);
            entry.SetAttribute(L"Description", item.Description);
        }
    } else if (const IncludedItemMap* included = selection.IncludedFor(listPath)) {
        for (const auto& [key, name] : *included) {
            XmlNode entry = list.AddChildElement(L"IncludedEntry");
            if (!entry.IsNull())
                entry.SetAttribute(L"Name", name);
        }
    }
    if (!document.Save(savePath))
        LogError(L"CXMLDocumentHandler::RegenerateIncludeExcludeFile Unable to save XML File");
}
