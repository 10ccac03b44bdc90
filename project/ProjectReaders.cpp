// The readers that turn a project file back into values, and the rebuild of
// a project file from a model. Lists are walked sibling by sibling (indexing a
// child list is linear per item); only elements count.
#include "project/ProjectReaders.h"

#include "common/FolderTokens.h"
#include "common/Log.h"
#include "project/ProjectWriters.h"
#include "project/SystemSettings.h"

namespace {

// Calls `visit` for each element child of `parent`, in document order.
template <typename Visit>
void ForEachElement(const XmlNode& parent, Visit&& visit)
{
    for (XmlNode child = parent.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling()) {
        if (child.IsElement())
            visit(child);
    }
}

} // namespace

void ReadProjectLists(const XmlDocument& document, ProjectModel& model)
{
    model.AllFiles.clear();
    model.AllFolders.clear();
    model.AllRegistryKeys.clear();
    for (const ChangeOrigin origin : Origins)
        ReadFileList(document, origin, model);
    for (const ChangeOrigin origin : Origins)
        ReadRegistryList(document, origin, model);
}

void ReadFileList(const XmlDocument& document, ChangeOrigin origin, ProjectModel& model)
{
    DirectoryChangeMap& map = model.Changes.Files(origin);
    map.clear();
    try {
        const XmlNode list = document.Select(ListPathOf(ChangeArea::Files, origin));
        ForEachElement(list, [&](const XmlNode& directory) {
            const std::wstring folder = directory.GetNamedAttribute(L"Name");
            model.AllFolders.push_back(folder);
            // The entry exists even for a folder without files.
            std::vector<std::wstring>& files = map[folder];
            ForEachElement(directory, [&](const XmlNode& file) {
                std::wstring full = folder + L"\\" + file.GetNamedAttribute(L"Name");
                model.AllFiles.push_back(full);
                files.push_back(std::move(full));
            });
        });
    } catch (...) {
        LogError(L"CXMLDocumentHandler::ReadDirectoryList Out of memory");
    }
}

void ReadRegistryList(const XmlDocument& document, ChangeOrigin origin, ProjectModel& model)
{
    RegistryChangeMap& map = model.Changes.Registry(origin);
    map.clear();
    try {
        const XmlNode list = document.Select(ListPathOf(ChangeArea::Registry, origin));
        ForEachElement(list, [&](const XmlNode& subKey) {
            const std::wstring key = subKey.GetNamedAttribute(L"Name");
            model.AllRegistryKeys.push_back(key);
            std::vector<RegistryChangeEntry>& values = map[key];
            ForEachElement(subKey, [&](const XmlNode& value) {
                values.push_back({key, value.GetNamedAttribute(L"Name"), value.GetNamedAttribute(L"Type"),
                                  value.GetNamedAttribute(L"Data")});
            });
        });
    } catch (...) {
        LogError(L"CXMLDocumentHandler::ReadSubKeyList Out of memory");
    }
}

IniChangeMap ReadIniList(const XmlDocument& document, ChangeOrigin origin)
{
    IniChangeMap map;
    try {
        const XmlNode list = document.Select(ListPathOf(ChangeArea::Ini, origin));
        ForEachElement(list, [&](const XmlNode& iniFile) {
            std::vector<IniChangeEntry>& entries = map[iniFile.GetNamedAttribute(L"Name")];
            ForEachElement(iniFile, [&](const XmlNode& section) {
                entries.push_back({section.GetNamedAttribute(L"Name"), section.GetNamedAttribute(L"Key"),
                                   section.GetNamedAttribute(L"Value")});
            });
        });
    } catch (...) {
        LogError(L"CXMLDocumentHandler::ReadINIFileList Out of memory");
    }
    return map;
}

void ReadShortcutList(const XmlDocument& document, ShortcutList& destination, const FolderTokenValues& tokens)
{
    try {
        const XmlNode list = document.Select(NodePath::Shortcuts);
        ForEachElement(list, [&](const XmlNode& shortcut) {
            ShortcutRecord record{shortcut.GetNamedAttribute(L"Name"), shortcut.GetNamedAttribute(L"ExeName"),
                                  shortcut.GetNamedAttribute(L"Directory"), shortcut.GetNamedAttribute(L"Icon"),
                                  shortcut.GetNamedAttribute(L"IconIndex")};
            ToRealPath(record.Icon, tokens);
            record.Subfolder = shortcut.GetNamedAttribute(L"Subfolder");
            record.Arguments = shortcut.GetNamedAttribute(L"Arguments");
            record.WorkingFolder = shortcut.GetNamedAttribute(L"WorkingFolder");
            ToRealPath(record.WorkingFolder, tokens);
            record.Description = shortcut.GetNamedAttribute(L"Description");
            record.ShowCommand = shortcut.GetNamedAttribute(L"ShowCmd");
            destination.push_back(std::move(record));
        });
    } catch (...) {
        LogError(L"CXMLDocumentHandler::ReadShortcutList Out of memory");
    }
}

void ReadShortcutIcons(const XmlDocument& document, IconMap& destination)
{
    try {
        const XmlNode list = document.Select(NodePath::ShortcutIcons);
        ForEachElement(list, [&](const XmlNode& icon) {
            IconRecord& record = destination[icon.GetNamedAttribute(L"Name")];
            record.Size = icon.GetNamedAttribute(L"Size");
            record.Data = icon.GetNamedAttribute(L"Data");
            ForEachElement(icon, [&](const XmlNode& exe) { record.Executables.push_back(exe.GetNamedAttribute(L"Name")); });
        });
    } catch (...) {
        LogError(L"CXMLDocumentHandler::ReadShortcutICONs Out of memory");
    }
}

Result ReadProductInfo(const XmlDocument& document, ProductInfo& destination)
{
    try {
        const XmlNode section = document.Select(NodePath::Product);
        // The newest product information stands first.
        for (XmlNode child = section.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling()) {
            if (!child.IsElement())
                continue;
            // UpgradeCode and Platform are optional (empty when absent).
            destination = {child.GetNamedAttribute(L"ApplicationName"), child.GetNamedAttribute(L"Version"),
                           child.GetNamedAttribute(L"CompanyName"), child.GetNamedAttribute(L"UpgradeCode"),
                           child.GetNamedAttribute(L"Platform")};
            return Result::Ok();
        }
    } catch (...) {
        return LogFailure(
            Result::Failure(ERROR_NOT_ENOUGH_MEMORY, L"CXMLDocumentHandler::ReadProductInfo Out of memory"));
    }
    return Result::Failure(ERROR_NOT_FOUND, L"CXMLDocumentHandler::ReadProductInfo No product information");
}

namespace {

// What the file-system and registry lists do not hold, read into the model.
void ReadTheRest(const XmlDocument& document, ProjectModel& model, const FolderTokenValues& tokens)
{
    model.Shortcuts.clear();
    ReadShortcutList(document, model.Shortcuts, tokens);
    model.Icons.clear();
    ReadShortcutIcons(document, model.Icons);
    for (const ChangeOrigin origin : Origins)
        model.Changes.Ini(origin) = ReadIniList(document, origin);
    ProductInfo product;
    if (ReadProductInfo(document, product))
        model.Product = product;
    // Services and variables go as they are; a file without their sections
    // gets none (and builds as before).
    model.HasSystemSettings = !document.Select(SystemSection::Services).IsNull();
    model.Services = ReadServiceList(document);
    model.Environment = ReadEnvironmentList(document);
}

// Writes every section of the model; each step saves the whole file. Ok, or
// the first step's failure (each one logged by its writer).
Result WriteModel(XmlDocument& document, ProjectModel& model, const FolderTokenValues& tokens,
                  const std::wstring& projectFile)
{
    Result written = Result::Ok();
    const auto step = [&written](Result result) {
        if (written && !result)
            written = std::move(result);
    };
    for (const ChangeOrigin origin : Origins)
        step(WriteFileList(document, origin, model.Changes.Files(origin), tokens, projectFile,
                           FileListMode::KeepAll));
    for (const ChangeOrigin origin : Origins)
        step(WriteRegistryList(document, origin, model.Changes.Registry(origin), projectFile));
    for (const ChangeOrigin origin : Origins)
        step(WriteIniList(document, origin, model.Changes.Ini(origin), projectFile));
    step(WriteShortcutList(document, model.Shortcuts, tokens, projectFile));
    step(WriteShortcutIcons(document, model.Icons, projectFile));
    step(WriteProductInfo(document, model.Product, projectFile));
    if (model.HasSystemSettings) {
        step(WriteServiceList(document, model.Services, projectFile));
        step(WriteEnvironmentList(document, model.Environment, projectFile));
    }
    return written;
}

} // namespace

ProjectModel ReadProjectModel(const XmlDocument& document, const FolderTokenValues& tokens)
{
    ProjectModel model;
    ReadProjectLists(document, model);
    ReadTheRest(document, model, tokens);
    return model;
}

Result RegenerateProjectFile(XmlDocument& document, ProjectModel& model, const FolderTokenValues& tokens,
                             const std::wstring& rawProjectFile, const std::wstring& projectFile)
{
    const std::wstring writer = L"CXMLDocumentHandler::RegenerateProjectFile";
    try {
        if (!document.IsLoaded())
            return LogFailure(Result::Failure(ERROR_INVALID_DATA, writer + L" XML File Not Loaded"));
        // What the file-system and registry model does not hold comes from the
        // loaded file, before it is replaced by the skeleton.
        ReadTheRest(document, model, tokens);
        if (Result loaded = document.Load(rawProjectFile); !loaded)
            return LogFailure(Result::Because(writer + L" Unable to Load " + rawProjectFile + L" File", loaded));
        // Every step saves the whole file: it holds the repairs only when each
        // step succeeded (a read-only file fails them all).
        const Result written = WriteModel(document, model, tokens, projectFile);
        // The document now stands for the project file; a later Save() must
        // never write over the raw project file.
        document.SetPath(projectFile);
        return written; // a failed step logged its line
    } catch (...) {
        return LogFailure(Result::Failure(ERROR_NOT_ENOUGH_MEMORY, writer + L" Out of memory"));
    }
}
